#pragma once

#include <QObject>

#include <functional>
#include <vector>

namespace kestrova {

// The object and its parents, innermost first: the chain along which unhandled input travels. An object
// without a parent gives itself alone; null gives nothing.
std::vector<QObject *> responderChain(QObject *object);

// Runs `work` once, when the event loop has started (or on its next turn when it already runs).
void onDidFinishLaunching(std::function<void()> work);

} // namespace kestrova
