#pragma once

#include <QWidget>

class QPushButton;

namespace kestrova {

// The support window's content: one column of buttons for starting over, the debug report (copy, mail),
// crash-report help and feedback. The reset asks first; cancelling changes nothing. Main thread only.
class UserDebugView : public QWidget {
    Q_OBJECT
public:
    explicit UserDebugView(QWidget *parent = nullptr);

    // Whether the delete question or the crash-report help is showing right now.
    bool isConfirmationDialogPresented() const { return m_isConfirmationDialogPresented; }
    bool isCrashLogInstructionsPresented() const { return m_isCrashLogInstructionsPresented; }

private:
    void confirmDeletion();
    void showCrashLogInstructions();

    bool m_isConfirmationDialogPresented = false;
    bool m_isCrashLogInstructionsPresented = false;
};

} // namespace kestrova
