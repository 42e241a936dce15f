#pragma once

#include <QPushButton>

class QShortcut;

#include <functional>
#include <optional>

namespace kestrova {

// A push button configured as a whole from one value and re-configured from each new value: its title,
// the key that presses it (Escape or Return anywhere in its window), how it is drawn, whether it performs a
// destructive action (a muted red title), whether it may stretch, its size, and what a click runs (always
// the latest value's action). This is the control itself here; nothing else hosts it.
class CocoaButton final : public QPushButton {
    Q_OBJECT
public:
    enum class KeyEquivalent { escape, return_ };
    // U+001B and U+000D; nothing for any other text.
    static std::optional<KeyEquivalent> keyEquivalentFromRawValue(const QString &rawValue);
    static QString rawValue(KeyEquivalent key);

    enum class BezelStyle { push, flexiblePush, help, inline_, borderless };
    enum class ControlSize { mini, small, regular, large };

    struct Configuration {
        std::optional<QString> title = {};
        // Rich text; shown in place of the title when given (the title is then only its accessible name).
        std::optional<QString> attributedTitle = {};
        std::optional<KeyEquivalent> keyEquivalent = {};
        BezelStyle bezelStyle = BezelStyle::push;
        bool hasDestructiveAction = false;
        bool isResizable = false;
        // None leaves the size as it is.
        std::optional<ControlSize> controlSize = {};
        std::function<void()> action = {};
    };

    explicit CocoaButton(Configuration configuration, QWidget *parent = nullptr);
    explicit CocoaButton(QWidget *parent = nullptr);

    // Applies every field of `configuration`.
    void update(Configuration configuration);
    const Configuration &configuration() const { return m_configuration; }
    // The title colour of a destructive button.
    static QColor destructiveTitleColor();

private:
    Configuration m_configuration;
    QShortcut *m_keyShortcut = nullptr;
};

} // namespace kestrova
