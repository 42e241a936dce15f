#include "MenuItem.h"

#include "Menu.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QStringList>

namespace kestrova::platform {

Q_LOGGING_CATEGORY(lcMenuItem, "kestrova.platform.menu")

QString modifiersDescription(Modifiers modifiers) {
    QStringList names;
    if (modifiers & Modifier::shift)
        names << QStringLiteral("Shift");
    if (modifiers & Modifier::control)
        names << QStringLiteral("Control");
    if (modifiers & Modifier::option)
        names << QStringLiteral("Option");
    if (modifiers & Modifier::command)
        names << QStringLiteral("Command");
    return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char('+'));
}

namespace {

class EmptyHostedView final : public HostedViewFactory {
public:
    QString description() const override { return QStringLiteral("empty view"); }
};

// Runs `work` on a later turn of the main event loop; at once when there is no event loop to post to.
void postToMainLoop(std::function<void()> work) {
    auto *application = QCoreApplication::instance();
    if (!application) {
        work();
        return;
    }
    QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

void takeRowsAsTheyCome(const std::shared_ptr<Menu> &submenu, const std::shared_ptr<Menu> &built,
                        const std::shared_ptr<std::shared_ptr<Menu>> &latest) {
    // The builder left rows for later (a listing that has not ended): the submenu waits with it and
    // takes them as they come, unless it was emptied and built again meanwhile. The built menu is held
    // by the item's submenu closure, not by its own observer, so a listing that never ends (a quit while
    // a mount hangs) leaves nothing behind.
    submenu->setAwaitingContents(true);
    *latest = built;
    auto watch = std::make_shared<Subscription>();
    *watch = built->observeAwaitingContents([weakSubmenu = std::weak_ptr(submenu), builtMenu = built.get(),
                                             weakLatest = std::weak_ptr(latest), watch](bool isAwaiting) {
        if (isAwaiting)
            return;
        watch->cancel();
        const auto submenu = weakSubmenu.lock();
        const auto latest = weakLatest.lock();
        if (!submenu || !latest || latest->get() != builtMenu)
            return;
        submenu->takeContentsOf(*builtMenu);
        submenu->setAwaitingContents(false);
    });
}

} // namespace

std::shared_ptr<const HostedViewFactory> HostedViewFactory::empty() {
    static const auto view = std::make_shared<const EmptyHostedView>();
    return view;
}

MenuItem::MenuItem(QString title)
    : m_title(std::move(title)) {}

MenuItem::Extras &MenuItem::extras() {
    if (!m_extras)
        m_extras = std::make_unique<Extras>();
    return *m_extras;
}

template <typename T> const T &MenuItem::extra(T Extras::*field) const {
    static const T none{};
    return m_extras ? (*m_extras).*field : none;
}

template <typename T> void MenuItem::setExtra(T Extras::*field, T value, bool isSet) {
    // Nothing is made to hold a value that is none.
    if (isSet || m_extras)
        extras().*field = std::move(value);
}

const std::optional<AttributedText> &MenuItem::attributedTitle() const {
    return extra(&Extras::attributedTitle);
}

void MenuItem::setAttributedTitle(std::optional<AttributedText> title) {
    const bool isSet = title.has_value();
    setExtra(&Extras::attributedTitle, std::move(title), isSet);
}

const QString &MenuItem::accessibilityDescription() const {
    return extra(&Extras::accessibilityDescription);
}

void MenuItem::setAccessibilityDescription(const QString &text) {
    setExtra(&Extras::accessibilityDescription, text, !text.isEmpty());
}

const QString &MenuItem::toolTip() const {
    return extra(&Extras::toolTip);
}

void MenuItem::setToolTip(const QString &toolTip) {
    setExtra(&Extras::toolTip, toolTip, !toolTip.isEmpty());
}

const QString &MenuItem::keyEquivalent() const {
    return extra(&Extras::keyEquivalent);
}

void MenuItem::setKeyEquivalent(const QString &key) {
    setExtra(&Extras::keyEquivalent, key, !key.isEmpty());
}

qint64 MenuItem::tag() const {
    return extra(&Extras::tag);
}

void MenuItem::setTag(qint64 tag) {
    setExtra(&Extras::tag, tag, tag != 0);
}

const std::any &MenuItem::representedObject() const {
    return extra(&Extras::representedObject);
}

void MenuItem::setRepresentedObject(std::any object) {
    const bool isSet = object.has_value();
    setExtra(&Extras::representedObject, std::move(object), isSet);
}

const std::shared_ptr<const HostedViewFactory> &MenuItem::hostedView() const {
    return extra(&Extras::hostedView);
}

void MenuItem::setHostedView(std::shared_ptr<const HostedViewFactory> view) {
    const bool isSet = bool(view);
    setExtra(&Extras::hostedView, std::move(view), isSet);
}

MenuItem::~MenuItem() {
    if (m_submenu)
        m_submenu->m_supermenuItem = nullptr;
}

std::shared_ptr<MenuItem> MenuItem::separator() {
    auto item = std::make_shared<MenuItem>();
    item->m_isSeparator = true;
    item->m_isEnabled = false;
    return item;
}

QString MenuItem::displayedTitle() const {
    const auto &attributed = attributedTitle();
    return attributed ? attributed->text() : m_title;
}

void MenuItem::setAction(std::function<void()> action) {
    m_action = action ? std::make_shared<std::function<void()>>(std::move(action)) : nullptr;
}

bool MenuItem::performAction() {
    if (!m_isEnabled || !m_action)
        return false;
    const auto action = m_action;
    (*action)();
    return true;
}

const std::shared_ptr<Menu> &MenuItem::submenu() const {
    if (m_deferredSubmenu) {
        // Made on first sight; to the caller the item always had it.
        auto *self = const_cast<MenuItem *>(this);
        const std::unique_ptr<DeferredSubmenu> deferred = std::move(self->m_deferredSubmenu);
        self->setLazySubmenu(deferred->make(), std::move(deferred->lazy));
    }
    return m_submenu;
}

void MenuItem::setDeferredLazySubmenu(std::shared_ptr<Menu> (*makeSubmenu)(), LazySubmenu lazy) {
    if (!makeSubmenu)
        return;
    if (!m_isEnabled) {
        // Stays empty for good: nothing worth deferring.
        setLazySubmenu(makeSubmenu(), std::move(lazy));
        return;
    }
    setSubmenu(nullptr);
    m_deferredSubmenu = std::make_unique<DeferredSubmenu>(DeferredSubmenu{makeSubmenu, std::move(lazy)});
}

bool MenuItem::setSubmenu(std::shared_ptr<Menu> submenu) {
    m_deferredSubmenu.reset();
    if (submenu == m_submenu)
        return true;
    if (submenu) {
        for (const Menu *ancestor = menu(); ancestor; ancestor = ancestor->supermenu()) {
            if (ancestor == submenu.get()) {
                qCWarning(lcMenuItem)
                    << "Refused a submenu that would contain its own item:" << submenu->title();
                return false;
            }
        }
        if (MenuItem *previousHolder = submenu->m_supermenuItem) {
            previousHolder->m_submenu.reset();
            previousHolder->m_hasLazySubmenu = false;
        }
    }
    if (m_submenu)
        m_submenu->m_supermenuItem = nullptr;
    m_submenu = std::move(submenu);
    m_hasLazySubmenu = false;
    if (m_submenu)
        m_submenu->m_supermenuItem = this;
    return true;
}

void MenuItem::setLazySubmenu(std::shared_ptr<Menu> submenu, LazySubmenu lazy) {
    if (!setSubmenu(submenu) || !submenu)
        return;
    m_hasLazySubmenu = true;
    if (!m_isEnabled)
        return;

    // A clear posted after one closing must not empty a later opening: a reopening in the same turn
    // clears (and rebuilds) at once, and the posted clear then finds nothing to do.
    auto clearPending = std::make_shared<bool>(false);
    // The build whose rows come later, and no earlier one, fills the submenu.
    auto latestLaterBuild = std::make_shared<std::shared_ptr<Menu>>();
    const std::weak_ptr<Menu> weakSubmenu = submenu;
    retain(submenu->observeOpenState(
        [weakSubmenu, lazy = std::move(lazy), clearPending, latestLaterBuild](bool isOpen) {
            if (lazy.onOpenChange)
                lazy.onOpenChange(isOpen);
            const auto submenu = weakSubmenu.lock();
            if (!submenu)
                return;
            if (lazy.clearsOnClose && !isOpen) {
                *clearPending = true;
                postToMainLoop([weakSubmenu, clearPending, latestLaterBuild] {
                    if (!*clearPending)
                        return;
                    *clearPending = false;
                    // Rows of a build that are still to come have no menu to go to any more.
                    latestLaterBuild->reset();
                    if (const auto submenu = weakSubmenu.lock()) {
                        submenu->removeAllItems();
                        submenu->setAwaitingContents(false);
                    }
                });
                return;
            }
            if (!isOpen)
                return;
            if (*clearPending) {
                *clearPending = false;
                submenu->removeAllItems();
            }
            if (!submenu->isEmpty() || !lazy.build)
                return;
            latestLaterBuild->reset();
            if (const auto built = lazy.build()) {
                submenu->takeContentsOf(*built);
                if (built->isAwaitingContents())
                    takeRowsAsTheyCome(submenu, built, latestLaterBuild);
            }
        }));
}

} // namespace kestrova::platform
