#pragma once

#include "platform/alerts/Alert.h"

#include <set>

class QWindow;

namespace kestrova {

// Shows the alert as a sheet of `window` and keeps that window modal until the sheet ends; returns the
// clicked button's response. A sheet that ends before the modal loop would start (a key already queued,
// a presenter that answers at once) leaves no loop behind.
int runModalSheet(platform::Alert &alert, QWindow *window);

// The function keys F1 to F35 as Qt key codes.
const std::set<int> &functionKeys();

} // namespace kestrova
