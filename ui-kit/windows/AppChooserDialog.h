#pragma once

#include "platform/workspace/ApplicationRegistry.h"

#include <QDialog>

#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kestrova {

// Lets the user pick one of the installed applications by name and icon. Typing in the filter field above
// the list keeps only the applications whose name (or desktop file id) contains the text, whatever its
// case; Up and Down there move through what is left, and Return, "Open" or a double click choose it.
// Escape and "Cancel" choose nothing. The dialog owns nothing but its widgets.
class AppChooserDialog final : public QDialog {
    Q_OBJECT
public:
    AppChooserDialog(std::vector<platform::Application> applications, const QString &message,
                     QWidget *parent = nullptr);
    ~AppChooserDialog() override;

    // The application chosen, once the dialog was accepted; none before or when it was cancelled.
    const std::optional<platform::Application> &chosenApplication() const { return m_chosen; }
    // The names the list shows now, in order.
    QStringList visibleNames() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyFilter(const QString &text);
    void moveSelection(int step);
    void choose();

    std::vector<platform::Application> m_applications;
    std::optional<platform::Application> m_chosen;
    QLineEdit *m_filter;
    QListWidget *m_list;
    QPushButton *m_openButton;
};

} // namespace kestrova
