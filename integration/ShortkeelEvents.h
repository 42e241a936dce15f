#pragma once

#include "foundation/concurrency/AsyncStream.h"
#include "foundation/concurrency/CancellationToken.h"
#include "store/ShortkeelHandlers.h"

#include <QCoro/QCoroTask>

#include <functional>

// The presses and releases of a named shortcut as asynchronous streams. A stream starts listening on the
// main thread's next turn (a press before that is not delivered) and makes the name's hot key live then;
// when it ends (its consumer cancels or goes) it stops listening on a later turn, and the hot key goes down
// unless another listener of the same shortcut remains. Made on the main thread; consumed on any thread
// with an event loop.
namespace kestrova::Shortkeel {

// Every press and release, buffered without limit.
AsyncStream<EventType> events(const Name &name);
// Only the events of one type.
AsyncStream<EventType> events(EventType type, const Name &name);

// Runs `action` on the calling thread for each event of `type`, until the stream ends: `token`
// cancelled ends it.
QCoro::Task<> awaitEvents(EventType type, const Name &name, std::function<void()> action,
                          const CancellationToken &token = CancellationToken());

} // namespace kestrova::Shortkeel
