#include "MessageBoxAlertPresenter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWindow>

namespace kestrova::platform::desktop {
namespace {

constexpr auto kButtonIndexProperty = "kestrovaButtonIndex";
constexpr int kDetailTextMinimumHeight = 120;

QMessageBox::Icon iconFor(Alert::Style style) {
    switch (style) {
    case Alert::Style::informational:
        return QMessageBox::Information;
    case Alert::Style::critical:
        return QMessageBox::Critical;
    case Alert::Style::warning:
        break;
    }
    return QMessageBox::Warning;
}

// Puts the detail text between the message and the buttons. Must run after every other setter of the box,
// since those rebuild its layout and would drop the text.
void addDetailText(QMessageBox &box, const Alert::Accessory &accessory) {
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid || !accessory.detailText)
        return;
    auto *text = new QPlainTextEdit(*accessory.detailText, &box);
    text->setObjectName(QStringLiteral("detailText"));
    text->setReadOnly(true);
    text->setMinimumHeight(std::max(kDetailTextMinimumHeight, int(accessory.height)));
    if (accessory.width)
        text->setMinimumWidth(int(*accessory.width));

    // The button row is the grid's last row: take it out, add the text, then put the buttons back below.
    const int lastRow = grid->rowCount() - 1;
    QLayoutItem *buttonRow = nullptr;
    for (int index = 0; index < grid->count(); ++index) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        if (row == lastRow && qobject_cast<QDialogButtonBox *>(grid->itemAt(index)->widget())) {
            buttonRow = grid->takeAt(index);
            break;
        }
    }
    grid->addWidget(text, grid->rowCount(), 0, 1, grid->columnCount());
    if (buttonRow)
        grid->addItem(buttonRow, grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

std::unique_ptr<QMessageBox> MessageBoxAlertPresenter::makeMessageBox(const Alert &alert) {
    auto box = std::make_unique<QMessageBox>();
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    if (!alert.icon.isNull())
        box->setIconPixmap(
            QPixmap::fromImage(alert.icon).scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    else
        box->setIcon(iconFor(alert.alertStyle));

    std::vector<Alert::Button> buttons = alert.buttons;
    // An alert without buttons gets the desktop's single confirming button.
    if (buttons.empty())
        buttons.push_back({QStringLiteral("OK"), QStringLiteral("\r"), false});

    QPushButton *defaultButton = nullptr;
    QPushButton *escapeButton = nullptr;
    // The first button sits rightmost, where the eye ends a row of buttons, and the others follow it to
    // the left. Buttons of one role are laid out in the order they were added, so they go in last first.
    for (std::size_t index = buttons.size(); index-- > 0;) {
        const Alert::Button &model = buttons[index];
        QPushButton *button = box->addButton(model.title, QMessageBox::ActionRole);
        button->setProperty(kButtonIndexProperty, int(index));
        // Otherwise a focused button would take Return.
        button->setAutoDefault(false);
        button->setDefault(false);
        // Walking backwards, the last match is the one nearest the front of the alert's list.
        if (model.keyEquivalent == QStringLiteral("\r") && !model.hasDestructiveAction)
            defaultButton = button;
        if (model.keyEquivalent == QStringLiteral("\x1b"))
            escapeButton = button;
    }
    if (defaultButton) {
        box->setDefaultButton(defaultButton);
        defaultButton->setFocus();
    }
    // A null escape button lets Escape close nothing rather than pick a button for the user.
    box->setEscapeButton(escapeButton);

    if (alert.showsSuppressionButton) {
        auto *checkBox = new QCheckBox(alert.suppressionButtonTitle, box.get());
        checkBox->setChecked(alert.suppressionButtonChecked);
        box->setCheckBox(checkBox);
    }
    if (alert.accessory)
        addDetailText(*box, *alert.accessory);
    return box;
}

int MessageBoxAlertPresenter::responseOf(const QMessageBox &box) {
    const QAbstractButton *clicked = box.clickedButton();
    if (!clicked)
        return ModalResponse::abort;
    const QVariant index = clicked->property(kButtonIndexProperty);
    return index.isValid() ? Alert::responseForButton(std::size_t(index.toInt())) : ModalResponse::abort;
}

int MessageBoxAlertPresenter::runModal(Alert &alert) {
    const auto box = makeMessageBox(alert);
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
    if (box->checkBox())
        alert.suppressionButtonChecked = box->checkBox()->isChecked();
    return responseOf(*box);
}

void MessageBoxAlertPresenter::beginSheet(Alert &alert, QWindow *window,
                                          std::function<void(int response)> completion) {
    QMessageBox *box = makeMessageBox(alert).release();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    if (window) {
        box->winId(); // creates the native window, so that it can be tied to its parent
        box->windowHandle()->setTransientParent(window);
    }
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, &alert, completion = std::move(completion)](int) {
                         if (box->checkBox())
                             alert.suppressionButtonChecked = box->checkBox()->isChecked();
                         if (completion)
                             completion(responseOf(*box));
                     });
    box->open();
}

} // namespace kestrova::platform::desktop
