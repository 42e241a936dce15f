// The form controls as the settings and configuration windows hold them: shown in a window, driven with the
// keys and clicks a person uses, checked by what the window shows and what the bound values hold.
#include "ui-kit/views/CocoaButton.h"
#include "ui-kit/views/CocoaLabel.h"
#include "ui-kit/views/EnumPicker.h"
#include "ui-kit/views/ExpansionTextField.h"
#include "ui-kit/views/FormRow.h"
#include "ui-kit/views/HoverableTableView.h"
#include "ui-kit/views/IntTextField.h"
#include "ui-kit/views/ListEditing.h"
#include "ui-kit/views/NativeTextField.h"
#include "ui-kit/views/SearchField.h"
#include "ui-kit/views/SecondaryTextStyleModifier.h"
#include "ui-kit/views/TextFieldClearButton.h"
#include "ui-kit/views/ViewModifiers.h"
#include "ui-kit/views/IconButtonStyle.h"
#include "ui-kit/views/AutoselectOnFocusTextField.h"
#include "ui-kit/views/Buttons.h"
#include "ui-kit/views/TrackingArea.h"
#include "ui-kit/views/ViewHelpers.h"
#include "ui-kit/views/EitherShape.h"
#include "ui-kit/views/EverySecondTimelineSchedule.h"
#include "ui-kit/views/SettingsTabType.h"
#include "ui-kit/utilities/EmptyInitializable.h"
#include "ui-kit/utilities/OptionalObservedObject.h"
#include "foundation/observation/ObservableObjects.h"

#include "WindowTestSupport_p.h"

#include <QAbstractAnimation>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QListView>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QTabWidget>
#include <QPainterPath>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <limits>

using namespace kestrova;
using kestrova::testing::processEventsUntil;

namespace {

// A shown, active window holding `controls` one below the other.
class FormWindow {
public:
    explicit FormWindow(std::initializer_list<QWidget *> controls) {
        auto *layout = new QVBoxLayout(&window);
        for (QWidget *control : controls)
            layout->addWidget(control);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    QWidget window;
};

template <typename Value> platform::Binding<Value> bindingTo(Value &storage, int *writes = nullptr) {
    return platform::Binding<Value>([&storage] { return storage; },
                                    [&storage, writes](const Value &value) {
                                        storage = value;
                                        if (writes)
                                            ++*writes;
                                    });
}

} // namespace

TEST(IntTextFieldTest, ArrowsStepTheNumberAndReportWhatAPersonWouldExpect) {
    auto *field = new IntTextField;
    std::vector<std::int64_t> changes;
    std::vector<std::int64_t> blurs;
    field->onValueChange = [&](std::int64_t value) { changes.push_back(value); };
    field->onBlur = [&](std::int64_t value) { blurs.push_back(value); };
    auto *next = new QLineEdit;
    FormWindow form({field, next});
    field->setFocus();
    ASSERT_TRUE(processEventsUntil([&] { return field->hasFocus(); }));

    struct Step {
        QString text;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString expected;
    };
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    const std::vector<Step> steps = {
        {QStringLiteral("7"), Qt::Key_Up, Qt::NoModifier, QStringLiteral("8")},
        {QStringLiteral("7"), Qt::Key_Up, Qt::AltModifier, QStringLiteral("17")},
        {QStringLiteral("7"), Qt::Key_Up, Qt::AltModifier | Qt::ShiftModifier, QStringLiteral("8")},
        {QString(), Qt::Key_Down, Qt::NoModifier, QStringLiteral("-1")},
        {QStringLiteral("abc"), Qt::Key_Down, Qt::NoModifier, QStringLiteral("-1")},
        {QString::number(max), Qt::Key_Up, Qt::NoModifier, QString::number(max)},
        {QString::number(std::numeric_limits<std::int64_t>::min()), Qt::Key_Down, Qt::AltModifier,
         QString::number(std::numeric_limits<std::int64_t>::min())},
    };
    for (const Step &step : steps) {
        field->setText(step.text);
        QTest::keyClick(field, step.key, step.modifiers);
        EXPECT_EQ(field->text(), step.expected) << step.text.toStdString();
    }
    EXPECT_EQ(changes.size(), steps.size());

    // A range of 10…20: typing towards it reports nothing; inside it reports; outside it shakes and reports.
    field->minMax = std::pair<std::int64_t, std::int64_t>(10, 20);
    changes.clear();
    field->clear();
    QTest::keyClicks(field, QStringLiteral("1"));
    EXPECT_TRUE(changes.empty());
    QTest::keyClicks(field, QStringLiteral("5"));
    EXPECT_EQ(changes, std::vector<std::int64_t>{15});
    QTest::keyClicks(field, QStringLiteral("0"));
    EXPECT_EQ(changes.back(), 150);
    EXPECT_TRUE(field->isOutOfRange());
    field->setText(QStringLiteral("5"));
    QTest::keyClick(field, Qt::Key_Tab);
    ASSERT_TRUE(processEventsUntil([&] { return next->hasFocus(); }));
    EXPECT_EQ(blurs, std::vector<std::int64_t>{5});
    // Arrows do nothing special without the focus: the text is left alone.
    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(field->text(), QStringLiteral("5"));
}

TEST(IntTextFieldTest, AShakeEndsWhereTheFieldRests) {
    kestrova::testing::QuickWindowAnimations quick;
    auto *field = new IntTextField;
    field->minMax = std::pair<std::int64_t, std::int64_t>(1, 3);
    FormWindow form({field});
    const QPoint rest = field->pos();
    field->setFocus();
    field->setText(QStringLiteral("3"));
    QTest::keyClick(field, Qt::Key_Up);
    QTest::keyClick(field, Qt::Key_Up);
    const auto shaking = [&] {
        const auto animations = field->findChildren<QAbstractAnimation *>();
        return std::any_of(animations.begin(), animations.end(), [](const QAbstractAnimation *animation) {
            return animation->state() == QAbstractAnimation::Running;
        });
    };
    EXPECT_TRUE(shaking());
    EXPECT_TRUE(processEventsUntil([&] { return !shaking(); }));
    EXPECT_EQ(field->pos(), rest);
}

TEST(EnumPickerTest, RowsFollowTheCasesAndChoosingWritesTheBinding) {
    enum class Size { small, medium, large };
    Size size = Size::medium;
    int writes = 0;
    std::vector<std::pair<Size, bool>> told;
    auto *picker = new EnumPicker<Size>(bindingTo(size, &writes), {Size::small, Size::medium, Size::large},
                                        [&](Size value, bool isSelected) {
                                            told.emplace_back(value, isSelected);
                                            return QStringList{"Small", "Medium", "Large"}[int(value)];
                                        });
    FormWindow form({picker});
    EXPECT_EQ(picker->count(), 3);
    EXPECT_EQ(picker->itemText(0), QStringLiteral("Small"));
    EXPECT_EQ(picker->currentText(), QStringLiteral("Medium"));
    EXPECT_EQ(std::count_if(told.begin(), told.end(), [](const auto &row) { return row.second; }), 1);

    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Down);
    EXPECT_EQ(size, Size::large);
    EXPECT_EQ(writes, 1);
    size = Size::small;
    picker->refresh();
    EXPECT_EQ(picker->currentIndex(), 0);
}

TEST(CocoaButtonTest, KeysTitlesAndTheLatestActionFollowEachUpdate) {
    int first = 0;
    int second = 0;
    auto *button = new CocoaButton({.title = QStringLiteral("Delete"),
                                    .keyEquivalent = CocoaButton::KeyEquivalent::return_,
                                    .hasDestructiveAction = true,
                                    .action = [&] { ++first; }});
    auto *field = new QLineEdit;
    FormWindow form({field, button});
    EXPECT_EQ(button->palette().color(QPalette::ButtonText), CocoaButton::destructiveTitleColor());
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(processEventsUntil([&] { return first == 1; }));

    button->update({.title = QStringLiteral("Cancel"),
                    .keyEquivalent = CocoaButton::KeyEquivalent::escape,
                    .isResizable = true,
                    .action = [&] { ++second; }});
    EXPECT_EQ(button->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(button->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    EXPECT_NE(button->palette().color(QPalette::ButtonText), CocoaButton::destructiveTitleColor());
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(processEventsUntil([&] { return second == 1; }));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(first, 1);

    button->update({.title = QStringLiteral("Plain")});
    QTest::keyClick(field, Qt::Key_Escape);
    QTest::keyClick(field, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(second, 2);
    EXPECT_EQ(CocoaButton::keyEquivalentFromRawValue(QStringLiteral("\u001B")),
              CocoaButton::KeyEquivalent::escape);
    EXPECT_FALSE(CocoaButton::keyEquivalentFromRawValue(QStringLiteral("x")));
}

TEST(TextFieldsTest, BoundFieldsStoreEachEditAndLeaveTheCaretAloneOnAnEqualText) {
    QString query = QStringLiteral("rep");
    QString title;
    auto *search = new SearchField(bindingTo(query), {.placeholder = QStringLiteral("Search")});
    auto *native = new NativeTextField(bindingTo(title), {.isFirstResponder = true});
    FormWindow form({search, native});
    // The native field asks for the focus once, after the search field took it on showing.
    ASSERT_TRUE(processEventsUntil([&] { return native->didBecomeFirstResponder(); }));
    search->setFocus();
    search->setCursorPosition(1);
    search->update();
    EXPECT_EQ(search->cursorPosition(), 1);
    search->end(false);
    QTest::keyClicks(search, QStringLiteral("ort"));
    EXPECT_EQ(query, QStringLiteral("report"));
    query = QStringLiteral("other");
    search->update();
    EXPECT_EQ(search->text(), QStringLiteral("other"));

    // Moved away by the user, the focus is not taken back by later updates.
    native->update();
    QCoreApplication::processEvents();
    EXPECT_TRUE(search->hasFocus());
    native->setFocus();
    QTest::keyClicks(native, QStringLiteral("Docs"));
    EXPECT_EQ(title, QStringLiteral("Docs"));

    // The clear button shows only with text (fading out and in) and stores the empty text; typing again
    // while it fades out brings it back for good.
    QString name = QStringLiteral("x");
    auto *field = new NativeTextField(bindingTo(name));
    auto *clearable = new TextFieldClearButton(field);
    FormWindow second({clearable});
    QWidget *clear = clearable->clearButton();
    EXPECT_TRUE(clear->isVisible());
    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_EQ(name, QString());
    EXPECT_TRUE(clear->isVisible() && clear->graphicsEffect()) << "it fades out rather than vanishing";
    EXPECT_TRUE(processEventsUntil([clear] { return !clear->isVisible(); }));
    QTest::keyClicks(field, QStringLiteral("y"));
    EXPECT_TRUE(clear->isVisible());
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QStringLiteral("z"));
    EXPECT_TRUE(processEventsUntil([clear] { return !clear->graphicsEffect(); })) << "the fade ends";
    EXPECT_TRUE(clear->isVisible());
}

TEST(FormLayoutTest, ControlsLineUpAndWidthsGrowToTheWidest) {
    auto *page = new QWidget;
    QFormLayout *form = makeAlignedForm(page);
    auto *title = new QLineEdit;
    auto *colour = new QComboBox;
    auto *hidden = new QCheckBox(QStringLiteral("Show hidden items"));
    addFormRow(form, QStringLiteral("Title:"), title);
    addFormRow(form, QStringLiteral("Icon color:"), colour);
    addFormRow(form, QStringLiteral("Hidden items:"), hidden, /*hidesControlLabel=*/true);
    FormWindow window({page});
    EXPECT_EQ(title->mapTo(page, QPoint()).x(), colour->mapTo(page, QPoint()).x());
    EXPECT_EQ(title->mapTo(page, QPoint()).x(), hidden->mapTo(page, QPoint()).x());
    EXPECT_TRUE(hidden->text().isEmpty());
    EXPECT_EQ(hidden->accessibleName(), QStringLiteral("Show hidden items"));

    std::optional<double> width;
    auto *narrow = new QLabel(QStringLiteral("ab"));
    auto *wide = new QLabel(QStringLiteral("a much wider label"));
    auto *middle = new QLabel(QStringLiteral("middle one"));
    EqualWidthWithBinding equal(bindingTo(width));
    FormWindow labels({narrow, wide, middle});
    for (QLabel *label : {narrow, wide, middle})
        equal.add(label);
    EXPECT_EQ(*width, wide->sizeHint().width());
    EXPECT_GE(narrow->width(), wide->sizeHint().width());
    wide->setText(QStringLiteral("w"));
    QCoreApplication::processEvents();
    EXPECT_EQ(*width, double(wide->minimumWidth()));

    // A secondary label is smaller and fainter than the text beside it.
    CocoaLabel secondary(QStringLiteral("Explains the row"));
    applySecondaryTextStyle(&secondary);
    EXPECT_LT(secondary.font().pointSizeF(), QLabel().font().pointSizeF());
    EXPECT_LT(secondary.palette().color(QPalette::WindowText).alphaF(), 1.0);
}

TEST(CocoaLabelTest, FollowsItsEnabledStateAndSizesToItsText) {
    QWidget parent;
    auto *label = new CocoaLabel(QStringLiteral("A label of some length"));
    label->resize(5, 5);
    label->setParent(&parent);
    EXPECT_EQ(label->size(), label->sizeHint());
    const QColor enabled = label->palette().color(QPalette::Active, QPalette::WindowText);
    label->setEnabled(false);
    EXPECT_EQ(label->palette().color(QPalette::Disabled, QPalette::WindowText),
              secondaryLabelColor(QPalette()));
    label->setEnabled(true);
    EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText), enabled);
}

TEST(ExpansionTextFieldTest, ShowsItsWholeTextAsTooltipOnlyWhileCut) {
    auto *field = new ExpansionTextField(QStringLiteral("/home/someone/Documents/Projects/Quarterly"));
    FormWindow form({field});
    form.window.resize(field->sizeHint().width() + 40, 60);
    ASSERT_TRUE(processEventsUntil([&] { return !field->isTruncated(); }));
    EXPECT_TRUE(field->toolTip().isEmpty());
    form.window.resize(60, 60);
    ASSERT_TRUE(processEventsUntil([&] { return field->isTruncated(); }));
    EXPECT_EQ(field->toolTip(), field->fullText());
    EXPECT_TRUE(field->text().endsWith(QStringLiteral("…")));
}

TEST(HoverableTableViewTest, SelectionFollowsArrowsReturnAndReloads) {
    QStringListModel model({"a", "b", "c", "d"});
    auto *table = new HoverableTableView;
    table->setModel(&model);
    FormWindow form({table});
    table->setFocus();
    table->selectRow(3);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(table->selectedRow(), 0);
    QTest::keyClick(table, Qt::Key_Up);
    EXPECT_EQ(table->selectedRow(), 3);
    QTest::keyClick(table, Qt::Key_Up);
    EXPECT_EQ(table->selectedRow(), 2);

    std::vector<int> clicked;
    QObject::connect(table, &HoverableTableView::action, table,
                     [&](int, int) { clicked.push_back(table->clickedRow()); });
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(clicked, std::vector<int>{2});
    EXPECT_NE(table->clickedRow(), 2);

    QTest::mouseMove(table->viewport(), table->visualRect(model.index(1, 0)).center());
    EXPECT_TRUE(processEventsUntil([&] { return table->selectedRow() == 1; }));

    table->selectRow(3);
    model.setStringList({"x", "y"});
    EXPECT_EQ(table->selectedRow(), 1);
    model.setStringList({});
    EXPECT_EQ(table->selectedRow(), -1);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(table->selectedRow(), -1);

    table->shouldCycle = false;
    model.setStringList({"a", "b"});
    table->selectRow(1);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(table->selectedRow(), 1);
}

TEST(ListEditingTest, EachMoveOrDeleteIsOneWriteOfTheCollection) {
    std::vector<QString> folders{"A", "B", "C", "D"};
    int writes = 0;
    const auto binding = bindingTo(folders, &writes);
    moveElements(binding, {0}, 3);
    EXPECT_EQ(folders, (std::vector<QString>{"B", "C", "A", "D"}));
    moveElements(binding, {1}, 1);
    EXPECT_EQ(folders, (std::vector<QString>{"B", "C", "A", "D"}));
    removeElements(binding, {0, 3});
    EXPECT_EQ(folders, (std::vector<QString>{"C", "A"}));
    insertElements(binding, 99, {QStringLiteral("E")});
    EXPECT_EQ(folders, (std::vector<QString>{"C", "A", "E"}));
    EXPECT_EQ(writes, 4);

    // The rows of a list view: a reorder of its model and Delete on a selected row reach the collection.
    QStringListModel rows({"C", "A", "E"});
    auto *view = new QListView;
    view->setModel(&rows);
    onMoveAndDelete(
        view, {.move = [&](const std::set<int> &offsets, int to) { moveElements(binding, offsets, to); },
               .remove = [&](const std::set<int> &offsets) { removeElements(binding, offsets); }});
    FormWindow form({view});
    rows.moveRows(QModelIndex(), 2, 1, QModelIndex(), 0);
    EXPECT_EQ(folders, (std::vector<QString>{"E", "C", "A"}));
    view->setCurrentIndex(rows.index(1));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(folders, (std::vector<QString>{"E", "A"}));

    QWidget masked;
    masked.resize(20, 20);
    reverseMask(&masked, QRegion(0, 0, 10, 20));
    EXPECT_FALSE(masked.mask().contains(QPoint(5, 5)));
    EXPECT_TRUE(masked.mask().contains(QPoint(15, 5)));
    reverseMask(&masked, QRegion());
    EXPECT_TRUE(masked.mask().isEmpty());
}

TEST(ViewModifiersTest, AnEqualValueKeepsTheContentAndACancelledTaskStoresNoError) {
    int built = 0;
    EquatableView<int> row(
        [&](const int &value) {
            ++built;
            return new QLabel(QString::number(value));
        },
        1);
    EXPECT_FALSE(row.update(1));
    EXPECT_TRUE(row.update(2));
    EXPECT_EQ(built, 2);

    std::optional<Error> error;
    QObject context;
    runStoringError(
        []() -> QCoro::Task<> {
            throw CancellationError();
            co_return;
        }(),
        bindingTo(error), &context);
    runStoringError(
        []() -> QCoro::Task<> {
            throw Error(QStringLiteral("test"), 7);
            co_return;
        }(),
        bindingTo(error), &context);
    ASSERT_TRUE(processEventsUntil([&] { return error.has_value(); }));
    EXPECT_EQ(error->code(), 7);
}

TEST(SmallControlsTest, TabLabelsShapesTimelinesAndObservedObjects) {
    EXPECT_EQ(settingsTabLabel(SettingsTabType::general).symbolName, QStringLiteral("gearshape"));
    EXPECT_EQ(settingsTabLabel(SettingsTabType::menuBar).title, QStringLiteral("Menu Bar"));
    EXPECT_EQ(settingsTabLabel(SettingsTabType::browsers).symbolName,
              settingsTabLabel(SettingsTabType::timeZones).symbolName);
    QTabWidget tabs;
    addSettingsTab(&tabs, new QWidget, SettingsTabType::exclude);
    EXPECT_EQ(tabs.tabText(0), QStringLiteral("Exclude"));
    EXPECT_FALSE(tabs.tabIcon(0).isNull());

    EitherShape shape{true,
                      [](const QRectF &rect) {
                          QPainterPath path;
                          path.addEllipse(rect);
                          return path;
                      },
                      [](const QRectF &rect) {
                          QPainterPath path;
                          path.addRect(rect);
                          return path;
                      }};
    const QRectF square(0, 0, 10, 10);
    EXPECT_FALSE(shape.path(square).contains(QPointF(0.5, 0.5)));
    shape.toggle = false;
    EXPECT_TRUE(shape.path(square).contains(QPointF(0.5, 0.5)));
    EXPECT_EQ(shape.inset(2).path(square).boundingRect(), QRectF(2, 2, 6, 6));

    const QDateTime now(QDate(2026, 1, 1), QTime(12, 0, 0));
    const auto normal = EverySecondTimelineSchedule::entries(
        now.addMSecs(1500), EverySecondTimelineSchedule::Mode::normal, 2, now);
    EXPECT_EQ(normal, (std::vector<QDateTime>{now.addSecs(2), now.addSecs(3)}));
    const auto low = EverySecondTimelineSchedule::entries(
        now.addSecs(-100), EverySecondTimelineSchedule::Mode::lowFrequency, 2, now);
    EXPECT_EQ(low, (std::vector<QDateTime>{now, now.addSecs(30)}));

    int changes = 0;
    auto first = std::make_unique<ObservableObject>();
    ObservableObject second;
    OptionalObservedObject<ObservableObject> observed(first.get(), [&] { ++changes; });
    Q_EMIT first->objectWillChange();
    ASSERT_TRUE(processEventsUntil([&] { return changes == 1; }));
    observed.setWrappedValue(first.get());
    EXPECT_TRUE(observed.isSubscribed());
    observed.setWrappedValue(nullptr);
    Q_EMIT first->objectWillChange();
    observed.setWrappedValue(&second);
    Q_EMIT second.objectWillChange();
    ASSERT_TRUE(processEventsUntil([&] { return changes == 2; }));
    first.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(changes, 2);

    EXPECT_EQ(emptyValue<QUrl>().toString(), QStringLiteral("."));
    EXPECT_EQ(emptyValue<int>(), 0);
}

TEST(FocusAndPointerTest, FieldsTakeFocusAndSelectionAndAreasSeeThePointer) {
    auto *autofocused = new AutofocusedTextField(QStringLiteral("first"));
    auto *selecting = new AutoselectOnFocusTextField(QStringLiteral("Quarterly"));
    auto *quit = new Buttons::Quit;
    auto *area = new QWidget;
    area->setFixedSize(100, 40);
    FormWindow form({autofocused, selecting, quit, area});
    ASSERT_TRUE(processEventsUntil([&] { return autofocused->hasFocus(); }));
    QTest::keyClick(autofocused, Qt::Key_Tab);
    ASSERT_TRUE(processEventsUntil([&] { return selecting->hasSelectedText(); }));
    EXPECT_EQ(selecting->selectedText(), QStringLiteral("Quarterly"));
    QTest::keyClicks(selecting, QStringLiteral("Yearly"));
    EXPECT_EQ(selecting->text(), QStringLiteral("Yearly"));
    EXPECT_EQ(quit->text(), QStringLiteral("Quit Kestrova"));
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    TrackingArea tracking(area, QRect(50, 0, 50, 40));
    std::vector<QString> events;
    QObject::connect(&tracking, &TrackingArea::entered, [&] { events.push_back(QStringLiteral("entered")); });
    QObject::connect(&tracking, &TrackingArea::exited, [&] { events.push_back(QStringLiteral("exited")); });
    QTest::mouseMove(area, QPoint(10, 10));
    QTest::mouseMove(area, QPoint(70, 10));
    QTest::mouseMove(area, QPoint(80, 20));
    QTest::mouseMove(area, QPoint(20, 20));
    EXPECT_TRUE(processEventsUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(events, (std::vector<QString>{"entered", "exited"}));

    // A view laid over its container follows the container's size, inside the insets.
    QWidget container;
    container.resize(200, 100);
    auto *cover = new QWidget;
    constrainEdges(cover, &container, QMargins(10, 5, 10, 5));
    container.show();
    ASSERT_TRUE(processEventsUntil([&] { return cover->geometry() == QRect(10, 5, 180, 90); }));
    container.resize(300, 100);
    EXPECT_TRUE(processEventsUntil([&] { return cover->width() == 280; }));
}
