#include "platform/status/PanelAppearance.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QPalette>

#include <map>

namespace kestrova::platform {

namespace {

std::shared_ptr<PanelAppearance> &sharedAppearance() {
    static std::shared_ptr<PanelAppearance> appearance = std::make_shared<PanelAppearance>();
    return appearance;
}

} // namespace

// The handlers, and a filter that hears the application's palette change: a desktop without a stated
// preference changes its look only through the palette.
struct PanelAppearance::Observers : QObject {
    std::map<int, std::function<void()>> handlers;
    int nextId = 0;

    void notify() {
        // A handler may drop its own subscription (or another) while the list is walked.
        const auto snapshot = handlers;
        for (const auto &[id, handler] : snapshot) {
            if (handlers.contains(id))
                handler();
        }
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange)
            notify();
        return false;
    }
};

PanelAppearance::~PanelAppearance() {
    if (m_observers && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(m_observers.get());
}

SymbolImage::Appearance PanelAppearance::appearance() const {
    return preferredAppearance().value_or(paletteAppearance());
}

SymbolImage::Appearance PanelAppearance::paletteAppearance() {
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return window.lightness() < 128 ? SymbolImage::Appearance::dark : SymbolImage::Appearance::light;
}

std::shared_ptr<PanelAppearance::Observers> PanelAppearance::observers() {
    if (!m_observers) {
        m_observers = std::make_shared<Observers>();
        if (QCoreApplication::instance())
            QCoreApplication::instance()->installEventFilter(m_observers.get());
    }
    return m_observers;
}

Subscription PanelAppearance::observe(std::function<void()> handler) {
    const auto list = observers();
    const int id = list->nextId++;
    list->handlers.emplace(id, std::move(handler));
    return Subscription([weak = std::weak_ptr<Observers>(list), id] {
        if (const auto strong = weak.lock())
            strong->handlers.erase(id);
    });
}

void PanelAppearance::notifyChange() {
    if (m_observers)
        m_observers->notify();
}

PanelAppearance &PanelAppearance::shared() {
    return *sharedAppearance();
}

void PanelAppearance::setShared(std::shared_ptr<PanelAppearance> appearance) {
    sharedAppearance() = appearance ? std::move(appearance) : std::make_shared<PanelAppearance>();
}

} // namespace kestrova::platform
