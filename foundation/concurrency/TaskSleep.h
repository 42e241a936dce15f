#pragma once

#include "CancellationToken.h"

#include <QCoro/QCoroTask>

#include <chrono>

namespace kestrova {

// Suspends the awaiting coroutine for `duration` on the monotonic clock, without blocking its thread (whose
// event loop must run). Throws `CancellationError` when `token` is cancelled before or during the wait, as
// soon as the thread's event loop gets to it rather than at the end of the duration.
QCoro::Task<> sleepFor(std::chrono::nanoseconds duration,
                       const CancellationToken &token = CancellationToken());

} // namespace kestrova
