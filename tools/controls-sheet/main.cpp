// One window holding every form control of the kit, as the settings and configuration windows use them,
// with the help popover and a tooltip open over it. With KESTROVA_SCREENSHOT_DIR set it saves the whole
// screen there as "controls-sheet.png" and quits; otherwise it stays up until the window is closed.
// Run it under Xvfb for real X11 windows: xvfb-run -a build/tools/kestrova_controls_sheet
#include "integration/views/ShortkeelRecorder.h"
#include "platform/defaults/UserDefaults.h"
#include "ui-kit/views/AutoselectOnFocusTextField.h"
#include "ui-kit/views/Buttons.h"
#include "ui-kit/views/CocoaButton.h"
#include "ui-kit/views/CocoaLabel.h"
#include "ui-kit/views/EnumPicker.h"
#include "ui-kit/views/ExpansionTextField.h"
#include "ui-kit/views/FormRow.h"
#include "ui-kit/views/HoverableTableView.h"
#include "ui-kit/views/IconButtonStyle.h"
#include "ui-kit/views/IntTextField.h"
#include "ui-kit/views/LayerHostingView.h"
#include "ui-kit/views/NativeTextField.h"
#include "ui-kit/views/SearchField.h"
#include "ui-kit/views/SecondaryTextStyleModifier.h"
#include "ui-kit/views/SettingsTabType.h"
#include "ui-kit/views/TextFieldClearButton.h"
#include "ui-kit/windows/InfoPopoverButton.h"
#include "ui-kit/windows/Tooltip.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QScreen>
#include <QSet>
#include <QStringListModel>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

using namespace kestrova;

namespace {

enum class SortOrder { name, dateAdded, dateModified, kind };

template <typename Value> platform::Binding<Value> bindingTo(Value &storage) {
    return platform::Binding<Value>([&storage] { return storage; },
                                    [&storage](const Value &value) { storage = value; });
}

struct Values {
    QString title = QStringLiteral("Documents");
    QString search = QStringLiteral("report");
    QString clearable = QStringLiteral("Projects");
    SortOrder sortOrder = SortOrder::dateModified;
};

QWidget *makeGeneralPage(Values &values) {
    auto *page = new QWidget;
    QFormLayout *form = makeAlignedForm(page);
    addFormRow(form, QStringLiteral("Title:"), new NativeTextField(bindingTo(values.title)));
    auto *sort = new EnumPicker<SortOrder>(
        bindingTo(values.sortOrder),
        {SortOrder::name, SortOrder::dateAdded, SortOrder::dateModified, SortOrder::kind},
        [](SortOrder order, bool) {
            return QStringList{"Name", "Date Added", "Date Modified", "Kind"}[int(order)];
        });
    addFormRow(form, QStringLiteral("Sort by:"), sort);
    auto *limit = new IntTextField;
    limit->setText(QStringLiteral("50"));
    limit->minMax = std::pair<std::int64_t, std::int64_t>(1, 1000);
    addFormRow(form, QStringLiteral("Item limit:"), limit);
    addFormRow(form, QStringLiteral("Hidden items:"), new QCheckBox(QStringLiteral("Show hidden items")),
               true);
    addFormRow(form, QStringLiteral("Toggle menu:"),
               new Shortkeel::RecorderCocoa(Shortkeel::Name(QStringLiteral("controlsSheet"))));
    auto *searchRow = new QWidget;
    auto *searchLayout = new QHBoxLayout(searchRow);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    searchLayout->addWidget(
        new SearchField(bindingTo(values.search), {.placeholder = QStringLiteral("Search")}));
    addFormRow(form, QStringLiteral("Search:"), searchRow);
    addFormRow(form, QStringLiteral("Folder name:"),
               new TextFieldClearButton(new AutoselectOnFocusTextField(values.clearable)));
    auto *path =
        new ExpansionTextField(QStringLiteral("/home/someone/Documents/Projects/2026/Quarterly reports"));
    path->setMaximumWidth(180);
    addFormRow(form, QStringLiteral("Path:"), path);
    auto *note = new CocoaLabel(QStringLiteral("Changes are saved at once."));
    applySecondaryTextStyle(note);
    form->addRow(QString(), note);
    auto *disabled = new CocoaLabel(QStringLiteral("A disabled label"));
    disabled->setEnabled(false);
    form->addRow(QString(), disabled);
    auto *iconRow = new QWidget;
    auto *iconLayout = new QHBoxLayout(iconRow);
    iconLayout->setContentsMargins(0, 0, 0, 0);
    iconLayout->addWidget(new CloseOrClearButton(QStringLiteral("Clear"), {}));
    iconLayout->addWidget(new ResetOrUndoButton(QStringLiteral("Reset"), {}));
    auto *help = new InfoPopoverButton(
        QStringLiteral("A symbol is drawn in the panel's own colour. A custom image keeps its own colours "
                       "unless it is marked as a template."),
        260);
    help->setObjectName(QStringLiteral("help"));
    iconLayout->addWidget(help);
    iconLayout->addStretch();
    addFormRow(form, QStringLiteral("Icon:"), iconRow);
    return page;
}

QWidget *makeListPage() {
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *table = new HoverableTableView;
    table->setModel(new QStringListModel({"Documents", "Downloads", "Pictures", "Projects"}, table));
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->selectRow(1);
    layout->addWidget(table);
    auto *swatch = new LayerHostingView;
    swatch->setFixedHeight(24);
    swatch->setLayer([](QPainter &painter, const QRect &bounds) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0, 122, 255));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(bounds.adjusted(2, 2, -2, -2), 6, 6);
    });
    layout->addWidget(swatch);
    return page;
}

} // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrova"));

    Values values;
    QWidget window;
    window.setWindowTitle(QStringLiteral("Kestrova Controls"));
    auto *layout = new QVBoxLayout(&window);
    auto *columns = new QHBoxLayout;
    layout->addLayout(columns);
    auto *tabs = new QTabWidget;
    tabs->setMinimumWidth(400);
    auto *list = makeListPage();
    addSettingsTab(tabs, makeGeneralPage(values), SettingsTabType::general);
    addSettingsTab(tabs, list, SettingsTabType::menuBar);
    addSettingsTab(tabs, new QWidget, SettingsTabType::shortcuts);
    columns->addWidget(tabs);
    // The list page's controls beside the form, so that one picture shows them all.
    auto *side = makeListPage();
    side->setFixedWidth(240);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(
        new CocoaButton({.title = QStringLiteral("Remove Folder"), .hasDestructiveAction = true}));
    buttons->addWidget(new CocoaButton(
        {.title = QStringLiteral("Done"), .keyEquivalent = CocoaButton::KeyEquivalent::return_}));
    buttons->addStretch();
    buttons->addWidget(new Buttons::Quit);
    columns->addWidget(side, 0, Qt::AlignTop);
    layout->addLayout(buttons);
    window.move(20, 20);
    window.show();

    // The tooltip's counter goes to memory: the sheet must not leave settings behind.
    Tooltip tooltip(QStringLiteral("controlsSheet"), QStringLiteral("Drag a folder here to add it."),
                    {.closeOnClick = false,
                     .maxWidth = 220,
                     .contentInsets = QMargins(10, 8, 10, 8),
                     .suite = std::make_shared<platform::UserDefaults>(QString())});
    QTimer::singleShot(300, &window, [&] {
        window.findChild<InfoPopoverButton *>(QStringLiteral("help"))->click();
        tooltip.showFor(side->findChild<LayerHostingView *>());
    });

    const QString directory = qEnvironmentVariable("KESTROVA_SCREENSHOT_DIR");
    if (!directory.isEmpty()) {
        QTimer::singleShot(1200, &application, [&] {
            QDir().mkpath(directory);
            const QString file = directory + QStringLiteral("/controls-sheet.png");
            const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            // A screen of a handful of colours means the controls were not drawn.
            QSet<QRgb> colours;
            for (int y = 0; y < screen.height(); y += 3) {
                for (int x = 0; x < screen.width(); x += 3)
                    colours.insert(screen.pixel(x, y));
            }
            if (colours.size() < 20) {
                std::fprintf(stderr, "the screen shows %lld colours: nothing was drawn\n",
                             qlonglong(colours.size()));
                QCoreApplication::exit(3);
                return;
            }
            const bool saved = screen.save(file);
            std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(file));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return application.exec();
}
