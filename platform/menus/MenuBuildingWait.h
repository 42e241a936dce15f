#pragma once

#include <QPointer>

#include <functional>

namespace kestrova::platform {

// A menu that is being built may have to wait for something slow (a folder's listing) in a nested event
// loop. That loop keeps the desktop answered (the tray, pings, timers, repaints), but everything else it
// would deliver could reach the half-built menu: a tray click that opens another menu, a menu row chosen
// over the bus, a rebuild of the status items that frees the menu's owner. Such requests go through
// runWhenMenusAreBuilt: while any wait runs they are kept, and once the outermost wait has ended they run
// on a later turn, in the order they came. Main thread only.
class MenuBuildingWait {
public:
    // Marks a nested wait for as long as it lives; waits nest.
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;
    };

    // Marks, for as long as it lives, a presenter that can give its answer once the rows are there (a tray
    // host asking to show a menu is answered by a delayed reply): builders do not wait for rows that are
    // slow to come, but leave them out, mark the menu Menu::isAwaitingContents() and build it again when
    // they are there. Without such a scope a builder waits for its rows (see Scope).
    class AnsweredLater {
    public:
        AnsweredLater();
        ~AnsweredLater();
        AnsweredLater(const AnsweredLater &) = delete;
        AnsweredLater &operator=(const AnsweredLater &) = delete;

    private:
        bool m_wasAnsweredLater;
    };
    static bool isAnsweredLater();

    // Whether requests are kept now: a menu waits, or what was kept while one waited has still to run.
    static bool holdsRequests();
    // Runs `call` at once when no menu waits and nothing kept earlier is still to run; otherwise keeps it
    // and runs it after those. A call whose `context` is gone by then is dropped.
    static void runWhenMenusAreBuilt(const QObject *context, std::function<void()> call);
};

} // namespace kestrova::platform
