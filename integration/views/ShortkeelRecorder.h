#pragma once

#include "store/Shortkeel.h"

#include "platform/menus/MenuItem.h"

#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <set>

namespace kestrova::platform {
class Alert;
class Menu;
} // namespace kestrova::platform

namespace kestrova::Shortkeel {

struct Key;

// The field in which the user sets, changes or clears the shortcut of one name: a search-style line edit
// that shows the stored shortcut's description, records while it has the focus and stores the first
// acceptable combination through setShortcut. The clear button or Delete clears it. While it records, no
// hot key runs its listeners and a grabbed combination comes to this field instead (the recording sink
// of CarbonShortkeel); both end however recording ends: focus lost, the window hidden or closed, the field
// destroyed. The field owns nothing in the store: what it recorded stays after it is gone. Main thread only.
class RecorderCocoa final : public QLineEdit {
    Q_OBJECT
public:
    using OnChange = std::function<void(const std::optional<Shortcut> &)>;

    static constexpr int kMinimumWidth = 130;

    explicit RecorderCocoa(Name name, OnChange onChange = {}, QWidget *parent = nullptr);
    ~RecorderCocoa() override;

    const Name &shortcutName() const { return m_shortcutName; }
    // Another name: the text follows it and a recording in progress ends on the next turn.
    void setShortcutName(Name name);
    bool isRecording() const { return m_isRecording; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The menu whose key equivalents a recorded shortcut may not take (the application's own menu); none
    // where the application has no such menu.
    static void setMainMenu(std::weak_ptr<platform::Menu> menu);

protected:
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void startRecording();
    void endRecording();
    // Ends recording by giving up the focus.
    void stopRecording();
    // The key handler: what one pressed key with its modifiers does while recording.
    void handleKey(std::optional<Key> key, platform::Modifiers modifiers);
    void clearShortcut();
    // Ends recording, shows why the combination is refused and records again once it is dismissed.
    void refuse(std::shared_ptr<platform::Alert> alert);

    Name m_shortcutName;
    OnChange m_onChange;
    bool m_isRecording = false;
    bool m_isShowingAlert = false;
    // X key codes held down: a repeat of a held key is no new combination.
    std::set<int> m_heldKeys;
    std::uint64_t m_observer = 0;
    std::uint64_t m_assignedObserver = 0;
};

// The recorder in a form row, after its label when it has one ("Toggle menu:").
class Recorder final : public QWidget {
    Q_OBJECT
public:
    explicit Recorder(Name name, RecorderCocoa::OnChange onChange = {}, QWidget *parent = nullptr);
    Recorder(const QString &title, Name name, RecorderCocoa::OnChange onChange = {},
             QWidget *parent = nullptr);
    // Takes ownership of `label`.
    Recorder(QWidget *label, Name name, RecorderCocoa::OnChange onChange = {}, QWidget *parent = nullptr);

    RecorderCocoa *control() const { return m_control; }
    QWidget *label() const { return m_label; }
    void setName(Name name) { m_control->setShortcutName(std::move(name)); }

private:
    RecorderCocoa *m_control = nullptr;
    QWidget *m_label = nullptr;
};

} // namespace kestrova::Shortkeel
