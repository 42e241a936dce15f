#include "platform/menus/MenuBuildingWait.h"

#include <QCoreApplication>
#include <QTimer>

#include <deque>
#include <utility>

namespace kestrova::platform {

namespace {

struct Kept {
    QPointer<const QObject> context;
    std::function<void()> call;
};

int s_depth = 0;
bool s_isAnsweredLater = false;
bool s_isReplayScheduled = false;

std::deque<Kept> &kept() {
    static std::deque<Kept> calls;
    return calls;
}

void replayKept();

void scheduleReplay() {
    if (s_isReplayScheduled || kept().empty())
        return;
    s_isReplayScheduled = true;
    // On a later turn: the code that waited returns to whoever asked for the menu first.
    QTimer::singleShot(0, QCoreApplication::instance(), replayKept);
}

void replayKept() {
    s_isReplayScheduled = false;
    // One at a time: a kept call may start a wait of its own, which keeps the rest for after it.
    while (s_depth == 0 && !kept().empty()) {
        Kept next = std::move(kept().front());
        kept().pop_front();
        if (next.context)
            next.call();
    }
}

} // namespace

MenuBuildingWait::Scope::Scope() {
    ++s_depth;
}

MenuBuildingWait::Scope::~Scope() {
    if (--s_depth == 0)
        scheduleReplay();
}

MenuBuildingWait::AnsweredLater::AnsweredLater()
    : m_wasAnsweredLater(std::exchange(s_isAnsweredLater, true)) {}

MenuBuildingWait::AnsweredLater::~AnsweredLater() {
    s_isAnsweredLater = m_wasAnsweredLater;
}

bool MenuBuildingWait::isAnsweredLater() {
    // A wait that runs already answers nothing later: what it builds must be complete when it ends.
    return s_isAnsweredLater && s_depth == 0;
}

bool MenuBuildingWait::holdsRequests() {
    return s_depth > 0 || !kept().empty();
}

void MenuBuildingWait::runWhenMenusAreBuilt(const QObject *context, std::function<void()> call) {
    if (!holdsRequests()) {
        call();
        return;
    }
    kept().push_back({context, std::move(call)});
    if (s_depth == 0)
        scheduleReplay();
}

} // namespace kestrova::platform
