#pragma once

#include "Popover.h"

#include <QToolButton>

#include <functional>
#include <memory>
#include <optional>

namespace kestrova {

// The small round help button that shows an explanation in a popover below itself when clicked (the
// folder configuration's icon settings put one beside their picker). The popover closes when the user
// clicks anywhere else. `onAction` is told each click, with true (the popover shows).
class InfoPopoverButton final : public QToolButton {
    Q_OBJECT
public:
    using ContentFactory = std::function<QWidget *()>;

    // A text explanation that wraps at `maxWidth` when given.
    InfoPopoverButton(const QString &text, std::optional<int> maxWidth = std::nullopt,
                      std::function<void(bool)> onAction = {}, QWidget *parent = nullptr);
    // Any content, made when the popover first shows, at most `maxWidth` wide when given.
    InfoPopoverButton(ContentFactory content, std::optional<int> maxWidth = std::nullopt,
                      std::function<void(bool)> onAction = {}, QWidget *parent = nullptr);
    ~InfoPopoverButton() override;

    bool isPopoverPresented() const;
    Popover *popover() const { return m_popover.get(); }

    // The default space around the content, with 4 more pixels at the bottom.
    static QMargins contentInsets();

private:
    void present();

    ContentFactory m_content;
    std::optional<int> m_maxWidth;
    std::function<void(bool)> m_onAction;
    std::unique_ptr<Popover> m_popover;
};

// The view given to `transform` with `value` when there is one, else the view as it is.
template <typename Value, typename View, typename Transform>
View *ifLet(View *view, const std::optional<Value> &value, Transform &&transform) {
    if (value)
        transform(view, *value);
    return view;
}

} // namespace kestrova
