// The result window on the offscreen platform: layout, focus, lines, resizing
// and the failure path.

#include "ExampleData.h"
#include "FormWindow.h"
#include "StartRoutine.h"
#include "Surroundings.h"
#include "TestSupport.h"
#include "frmQuorvale.h"
#include "platform/FocusMark.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QHelpEvent>
#include <QListView>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

struct ExpectedControl {
    const char* frame;
    const char* caption;
    QRect frameRect; // in the client area
    const char* list;
    const char* accessibleName;
};

// Pixels at 15 twips per pixel.
const QRect ListInFrame(10, 18, 139, 264);
const std::vector<ExpectedControl> Designed = {
    {"Frame1", "Input Data:", QRect(4, 6, 159, 295), "lstInput", "Input Data"},
    {"Frame2", "Output Data:", QRect(166, 6, 159, 295), "lstOutput", "Output Data"},
    {"Frame3", "Not Placed Data:", QRect(328, 6, 159, 295), "lstNotPlaced", "Not Placed Data"},
    {"Frame4", "Errors:", QRect(490, 6, 159, 295), "lstErrors", "Errors"},
};

QStringList LinesOf(const QListView& view) {
    QStringList lines;
    const QAbstractItemModel* model = view.model();
    for (int row = 0; row < model->rowCount(); ++row) {
        lines << model->index(row, 0).data().toString();
    }
    return lines;
}

QListView* List(QWidget& window, const char* name) {
    return window.findChild<QListView*>(name);
}

// The window engine as the program makes it, with a dialog that is only
// counted.
std::unique_ptr<platform::QtWindowEngine> TestEngine(const platform::EngineHost& host,
                                                     platform::FailureDialog dialog) {
    return std::make_unique<platform::QtWindowEngine>(host, std::move(dialog));
}

// Runs the program's own load in a scratch directory holding this Data.txt,
// and shows its window through the engine, without the event loop.
class WindowRun {
public:
    explicit WindowRun(const char* data) {
        dir_.Write("Data.txt", data);
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(dir_.Path());
        const platform::ProjectDescription project = QuorvaleProject();
        engine_ = TestEngine({project.name, project.title, project.version}, nullptr);
        char name[] = "quorvale";
        char* argv[] = {name, nullptr};
        int argc = 1;
        EXPECT_EQ(engine_->Open(argc, argv), "");
        form_ = std::make_unique<platform::Form>(project.startupForm, true);
        project.load(*form_);
        EXPECT_EQ(engine_->ShowForm(*form_), "");
        std::filesystem::current_path(previous);
    }

    platform::FormWindow* Window() const { return engine_->Window(); }

private:
    testing_support::ScratchDir dir_;
    std::unique_ptr<platform::Form> form_; // outlives the window
    std::unique_ptr<platform::QtWindowEngine> engine_;
};

constexpr const char* WorkedExample = "7\n12,1,4,0\n12,2,4,0\n99,2,8,0\n12,3,4,0\n"
                                      "12,5,4,0\n7,6,-1,0\n12,7,4,0\n";

bool AnyTopLevelVisible() {
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) {
            return true;
        }
    }
    return false;
}

TEST(WindowLayout, ClientAreaFramesListsAndCaptionsAsDesigned) {
    WindowRun run(WorkedExample);
    QWidget& window = *run.Window();
    EXPECT_EQ(window.windowTitle(), "Quorvale");
    EXPECT_EQ(window.size(), QSize(655, 309));
    EXPECT_EQ(window.minimumSize(), QSize(655, 309));
    for (const auto& expected : Designed) {
        SCOPED_TRACE(expected.frame);
        auto* frame = window.findChild<QGroupBox*>(expected.frame);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->parentWidget(), &window);
        EXPECT_EQ(frame->title(), expected.caption);
        EXPECT_EQ(frame->geometry(), expected.frameRect);
        EXPECT_EQ(frame->focusPolicy(), Qt::NoFocus);
        QListView* list = List(window, expected.list);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->parentWidget(), frame);
        EXPECT_EQ(list->geometry(), ListInFrame);
    }
}

TEST(WindowLayout, ListsAreUnsortedSingleSelectionAndReadOnly) {
    WindowRun run(WorkedExample);
    for (const auto& expected : Designed) {
        SCOPED_TRACE(expected.list);
        QListView* list = List(*run.Window(), expected.list);
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
        EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_TRUE(list->uniformItemSizes());
        EXPECT_EQ(list->viewMode(), QListView::ListMode);
        EXPECT_EQ(list->model()->columnCount(), 1);
    }
}

TEST(WindowLayout, EnlargingSharesWidthEquallyAndKeepsListMargins) {
    WindowRun run(WorkedExample);
    QWidget& window = *run.Window();
    window.resize(655 + 40, 309 + 30); // 10 px more per frame
    const int frameLefts[] = {4, 176, 348, 520};
    for (std::size_t i = 0; i < Designed.size(); ++i) {
        SCOPED_TRACE(Designed[i].frame);
        EXPECT_EQ(window.findChild<QGroupBox*>(Designed[i].frame)->geometry(),
                  QRect(frameLefts[i], 6, 169, 325));
        EXPECT_EQ(List(window, Designed[i].list)->geometry(), QRect(10, 18, 149, 294));
    }
    window.resize(600, 200);
    EXPECT_EQ(window.size(), QSize(655, 309));
}

TEST(WindowAccessibility, EachListIsNamedAfterItsFrameAndDescribed) {
    WindowRun run(WorkedExample);
    QStringList descriptions;
    for (const auto& expected : Designed) {
        SCOPED_TRACE(expected.list);
        QListView* list = List(*run.Window(), expected.list);
        EXPECT_EQ(list->accessibleName(), expected.accessibleName);
        // What a screen reader gets through the accessibility interface.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(list);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), expected.accessibleName);
        EXPECT_FALSE(accessible->text(QAccessible::Description).isEmpty());
        descriptions << list->accessibleDescription();
    }
    descriptions.removeDuplicates();
    EXPECT_EQ(descriptions.size(), 4) << "each list says what it shows";
}

TEST(WindowIcon, WindowIconComesFromTheBuiltInResources) {
    WindowRun run(WorkedExample);
    const QIcon icon = run.Window()->windowIcon();
    ASSERT_FALSE(icon.isNull());
    // Drawn from the PNGs without any image plugin or icon theme.
    for (const int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(icon.pixmap(size, size).size(), QSize(size, size));
        EXPECT_FALSE(icon.pixmap(size, size).toImage().isNull());
    }
    EXPECT_FALSE(QIcon(":/quorvale/icons/quorvale-16.png").isNull());
}

TEST(WindowApplication, NamedVersionedAndIconedAfterTheProject) {
    const platform::ProjectDescription project = QuorvaleProject();
    platform::DescribeApplication({project.name, project.title, project.version});
    EXPECT_EQ(QCoreApplication::applicationName(), "quorvale");
    EXPECT_FALSE(QCoreApplication::applicationVersion().isEmpty());
    EXPECT_EQ(QCoreApplication::applicationVersion().toStdString(), QuorvaleProject().version);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Quorvale");
    EXPECT_EQ(QGuiApplication::desktopFileName(), "quorvale");
    EXPECT_FALSE(QApplication::windowIcon().isNull());
}

TEST(WindowFocus, TabMovesFromListToListInOrder) {
    WindowRun run(WorkedExample);
    QWidget& window = *run.Window();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    List(window, "lstInput")->setFocus();
    const char* order[] = {"lstInput", "lstOutput", "lstNotPlaced", "lstErrors", "lstInput"};
    for (const char* name : order) {
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), name);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST(WindowLines, EachListShowsItsLinesInOrder) {
    WindowRun run(WorkedExample);
    QWidget& window = *run.Window();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(
        LinesOf(*List(window, "lstInput")),
        QStringList({"[00000]   12-1-4", "[00001]   12-2-4", "[00002]   99-2-8", "[00003]   12-3-4",
                     "[00004]   12-5-4", "[00005]   7-6--1", "[00006]   12-7-4"}));
    EXPECT_EQ(LinesOf(*List(window, "lstOutput")),
              QStringList({"Output List 1", "[00000]   12-1-4", "[00001]   12-2-4",
                           "[00003]   12-3-4", "[00004]   12-5-4", "[00006]   12-7-4", " "}));
    EXPECT_EQ(LinesOf(*List(window, "lstNotPlaced")), QStringList({"[00005]   7-6--1"}));
    EXPECT_EQ(LinesOf(*List(window, "lstErrors")), QStringList({"[00002]   99-2-8"}));
}

QString TipOf(QWidget& window, const char* list, int row) {
    return List(window, list)->model()->index(row, 0).data(Qt::ToolTipRole).toString();
}

// The tooltip that hovering over this point of a widget brings up.
QString HoverTip(QWidget& widget, QPoint at) {
    QToolTip::hideText();
    if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); })) {
        return "(the previous tip stayed)";
    }
    QHelpEvent hover(QEvent::ToolTip, at, widget.mapToGlobal(at));
    QApplication::sendEvent(&widget, &hover);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// The tooltip that hovering over a row brings up.
QString HoverTip(QListView& list, int row) {
    // A tip hides after a delay; the next must not be taken for it.
    QToolTip::hideText();
    if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); })) {
        return "(the previous tip stayed)";
    }
    const QPoint at = list.visualRect(list.model()->index(row, 0)).center();
    QHelpEvent hover(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.viewport(), &hover);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST(WindowTips, EveryRecordLineTellsItsFateHeadersNothing) {
    WindowRun run(WorkedExample);
    QWidget& window = *run.Window();
    EXPECT_EQ(TipOf(window, "lstNotPlaced", 0),
              "its group [00005] of 1 needed a group of 4: no later group of 4");
    EXPECT_EQ(TipOf(window, "lstErrors", 0), "Value1 99 is outside 1 to 48");
    EXPECT_EQ(TipOf(window, "lstInput", 2), "rejected because Value1 99 is outside 1 to 48");
    EXPECT_EQ(TipOf(window, "lstInput", 3), "placed in Output List 1, line 3");
    EXPECT_EQ(TipOf(window, "lstInput", 5), "not placed because its group [00005] of 1 needed a "
                                            "group of 4: no later group of 4");
    EXPECT_EQ(TipOf(window, "lstOutput", 0), "");
    EXPECT_EQ(TipOf(window, "lstOutput", 1), "a full group of 5");
    EXPECT_EQ(TipOf(window, "lstOutput", 6), "");

    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(HoverTip(*List(window, "lstErrors"), 0), "Value1 99 is outside 1 to 48");
    EXPECT_EQ(HoverTip(*List(window, "lstInput"), 3), "placed in Output List 1, line 3");
    EXPECT_EQ(HoverTip(*List(window, "lstOutput"), 0), "");
    // Hovering changes nothing in the lists.
    EXPECT_EQ(LinesOf(*List(window, "lstErrors")), QStringList({"[00002]   99-2-8"}));
    EXPECT_TRUE(List(window, "lstErrors")->selectionModel()->selectedIndexes().isEmpty());
    QToolTip::hideText();
}

// The window active and this list focused on this row (none: no current row).
QListView& Focus(QWidget& window, const char* name, int row = -1) {
    QApplication::setActiveWindow(&window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    QListView& list = *List(window, name);
    list.setFocus();
    if (row >= 0) {
        list.setCurrentIndex(list.model()->index(row, 0));
    }
    QApplication::processEvents();
    return list;
}

QWidget* ShownTip() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

// Shift+F1 shows the current line's tip beside that line; a line without
// a tip shows none.
TEST(WindowKeys, ShiftF1ShowsTheCurrentLinesTipAtTheLine) {
    WindowRun run(WorkedExample);
    QToolTip::hideText();
    QListView& notPlaced = Focus(*run.Window(), "lstNotPlaced", 0);
    QTest::keyClick(&notPlaced, Qt::Key_F1, Qt::ShiftModifier);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "its group [00005] of 1 needed a group of 4: no later group of 4");
    const QRect line = notPlaced.visualRect(notPlaced.currentIndex());
    const QPoint lineAt = notPlaced.viewport()->mapToGlobal(line.topLeft());
    const QWidget* tip = ShownTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_LE(std::abs(tip->x() - lineAt.x()), 8) << "beside the line";
    EXPECT_GE(tip->y(), lineAt.y());
    EXPECT_LE(tip->y(), lineAt.y() + line.height() + 20);

    QListView& output = Focus(*run.Window(), "lstOutput", 0);
    QTest::keyClick(&output, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
    EXPECT_EQ(LinesOf(notPlaced), QStringList({"[00005]   7-6--1"}));
}

// A screen reader reads a line's tip as the line's description.
TEST(WindowAccessibility, EachLineIsDescribedByItsTip) {
    WindowRun run(WorkedExample);
    for (const char* name : {"lstInput", "lstOutput", "lstNotPlaced", "lstErrors"}) {
        SCOPED_TRACE(name);
        QListView* list = List(*run.Window(), name);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(list);
        ASSERT_NE(accessible, nullptr);
        ASSERT_EQ(accessible->childCount(), list->model()->rowCount());
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            QAccessibleInterface* line = accessible->child(row);
            ASSERT_NE(line, nullptr);
            EXPECT_EQ(line->text(QAccessible::Name), LinesOf(*list)[row]);
            EXPECT_EQ(line->text(QAccessible::Description), TipOf(*run.Window(), name, row));
        }
    }
    QAccessibleInterface* errors =
        QAccessible::queryAccessibleInterface(List(*run.Window(), "lstErrors"));
    EXPECT_EQ(errors->child(0)->text(QAccessible::Description), "Value1 99 is outside 1 to 48");
}

// The focus events that assistive technology is told of, in order: the
// object's name and the child (-1 for the object itself).
std::vector<std::pair<std::string, int>> toldFocus;

void RecordFocus(QAccessibleEvent* event) {
    if (event->type() == QAccessible::Focus && event->object() != nullptr) {
        toldFocus.emplace_back(event->object()->objectName().toStdString(), event->child());
    }
}

// Tab into a list: the last focus a screen reader is told of is the list's
// current line, as with the arrow keys, not the list itself; the first
// time the first line becomes the current one, later the one left there.
// Qt tells only an accessibility bus: the window stage runs this with one.
TEST(WindowAccessibility, TabIntoAListTellsItsCurrentLineLast) {
    WindowRun run(WorkedExample);
    // The bridge to the accessibility bus turns on once the bus answers.
    if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, 3000)) {
        GTEST_SKIP() << "no accessibility bus; the window stage runs this with one";
    }
    const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(RecordFocus);
    // On X without a window manager the window is active only in Qt's eyes.
    QApplication::setActiveWindow(run.Window());
    QListView& input = *List(*run.Window(), "lstInput");
    QListView& output = *List(*run.Window(), "lstOutput");
    for (const auto& [row, expected] : {std::pair{-1, 0}, std::pair{2, 2}}) {
        if (row >= 0) {
            output.setCurrentIndex(output.model()->index(row, 0));
        }
        input.setFocus();
        QApplication::processEvents();
        toldFocus.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), &output);
        ASSERT_FALSE(toldFocus.empty());
        EXPECT_EQ(toldFocus.back(), std::make_pair(std::string("lstOutput"), expected));
    }
    QAccessible::installUpdateHandler(previous);
}

// Ctrl+Shift+C copies the whole list as shown, headings and blank lines
// too; Ctrl+C still copies the current line.
TEST(WindowKeys, CtrlShiftCCopiesEveryLineCtrlCTheCurrentOne) {
    WindowRun run(WorkedExample);
    QClipboard& clipboard = *QGuiApplication::clipboard();
    QListView& output = Focus(*run.Window(), "lstOutput", 2);
    QTest::keyClick(&output, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(clipboard.text(), "Output List 1\n[00000]   12-1-4\n[00001]   12-2-4\n"
                                "[00003]   12-3-4\n[00004]   12-5-4\n[00006]   12-7-4\n \n");
    QTest::keyClick(&output, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard.text(), "[00001]   12-2-4");
    QListView& errors = Focus(*run.Window(), "lstErrors");
    QTest::keyClick(&errors, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(clipboard.text(), "[00002]   99-2-8\n");
}

// The current line of the list with the focus: "lstOutput 1 [00002]   30-1-102",
// selected and in view, or what is wrong.
std::string FocusedLine() {
    auto* list = qobject_cast<QListView*>(QApplication::focusWidget());
    if (list == nullptr) {
        return "<no list has the focus>";
    }
    const QModelIndex current = list->currentIndex();
    std::string line = list->objectName().toStdString() + " " + std::to_string(current.row()) +
                       " " + current.data().toString().toStdString();
    if (!list->selectionModel()->isSelected(current)) {
        line += " <not selected>";
    }
    if (!list->viewport()->rect().contains(list->visualRect(current))) {
        line += " <out of view>";
    }
    return line;
}

// On the shipped example, with the keyboard only: [00002] from "Input
// Data:" to its output line with Enter and back with Alt+Left; headings lead
// nowhere; a far line comes into view; Backspace goes back too.
TEST(WindowNavigation, EnterFollowsARecordAltLeftAndBackspaceReturn) {
    WindowRun run(ExampleData);
    QWidget& window = *run.Window();
    QListView& input = Focus(window, "lstInput", 2);
    QTest::keyClick(&input, Qt::Key_Return);
    EXPECT_EQ(FocusedLine(), "lstOutput 1 [00002]   30-1-102");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(FocusedLine(), "lstInput 2 [00002]   30-1-102");

    // Output List 3, line 5: below the first screenful.
    Focus(window, "lstInput", 44);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(FocusedLine(), "lstOutput 19 [00044]   46-7-207");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(FocusedLine(), "lstInput 44 [00044]   46-7-207");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(FocusedLine(), "lstOutput 19 [00044]   46-7-207");

    QListView& output = Focus(window, "lstOutput", 7);
    QTest::keyClick(&output, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), &output);
    EXPECT_EQ(output.currentIndex().row(), 7) << "a heading leads nowhere";
    // A double-click on a not-placed line leads to its input line.
    QListView& notPlaced = *List(window, "lstNotPlaced");
    const QRect line = notPlaced.visualRect(notPlaced.model()->index(3, 0));
    QTest::mouseClick(notPlaced.viewport(), Qt::LeftButton, Qt::NoModifier, line.center());
    QTest::mouseDClick(notPlaced.viewport(), Qt::LeftButton, Qt::NoModifier, line.center());
    EXPECT_EQ(FocusedLine(), "lstInput 43 [00043]   30-7-102");
}

// Typing 26 in "Errors:" reaches [00026], whose Enter leads to its input
// line. Digits typed after a pause start a new number; a position without
// a line here moves nothing; letters still search the lines.
TEST(WindowNavigation, TypedDigitsGoToThePositionsLine) {
    WindowRun run(ExampleData);
    QWidget& window = *run.Window();
    QListView& errors = Focus(window, "lstErrors", 0);
    QTest::keyClicks(&errors, "26");
    EXPECT_EQ(FocusedLine(), "lstErrors 4 [00026]   60-4-601");
    QTest::keyClick(&errors, Qt::Key_Return);
    EXPECT_EQ(FocusedLine(), "lstInput 26 [00026]   60-4-601");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(FocusedLine(), "lstErrors 4 [00026]   60-4-601");
    QTest::keyClick(&errors, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(FocusedLine(), "lstErrors 0 [00011]   49-2-402") << "before the typed move";

    QTest::keyClick(&errors, Qt::Key_3);
    EXPECT_EQ(FocusedLine(), "lstErrors 0 [00011]   49-2-402") << "[00003] is no error";
    QTest::qWait(1100);
    QTest::keyClick(&errors, Qt::Key_6, Qt::KeypadModifier);
    EXPECT_EQ(FocusedLine(), "lstErrors 7 [00006]   17-1-501") << "6 alone, not 36";

    QListView& input = Focus(window, "lstInput", 0);
    QTest::keyClicks(&input, "045");
    EXPECT_EQ(FocusedLine(), "lstInput 45 [00045]   10-8-403");
    QTest::keyClicks(&input, "9");
    EXPECT_EQ(FocusedLine(), "lstInput 45 [00045]   10-8-403") << "no position 459";

    QListView& output = Focus(window, "lstOutput", 1);
    QTest::keyClicks(&output, "O");
    EXPECT_EQ(output.currentIndex().data().toString(), "Output List 2");
}

QString AccessibleDescriptionOf(QWidget& widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&widget);
    return accessible != nullptr ? accessible->text(QAccessible::Description) : QString();
}

// Each list's counts: over its frame's caption, which keeps its text, and
// after what the list shows in the description a screen reader hears with
// its name.
TEST(WindowAccessibility, EachListTellsItsCountsOnItsFrameAndInItsDescription) {
    WindowRun run(ExampleData);
    QApplication::setActiveWindow(run.Window());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(run.Window()));
    const std::pair<const char*, const char*> counts[] = {
        {"lstInput", "46 records, 12 rejected"},
        {"lstOutput", "6 output lists of 5 records: 2 full groups, 4 pairs"},
        {"lstNotPlaced", "4 records of 3 groups"},
        {"lstErrors", "12 records: 5 out of range, 7 for their key"},
    };
    for (std::size_t i = 0; i < std::size(counts); ++i) {
        SCOPED_TRACE(counts[i].first);
        QListView& list = *List(*run.Window(), counts[i].first);
        auto* frame = qobject_cast<QGroupBox*>(list.parentWidget());
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->toolTip(), counts[i].second);
        EXPECT_EQ(frame->title(), Designed[i].caption);
        EXPECT_EQ(HoverTip(*frame, QPoint(30, 6)), counts[i].second) << "over the caption";
        const QString description = AccessibleDescriptionOf(list);
        EXPECT_TRUE(description.endsWith(QString(". ") + counts[i].second))
            << description.toStdString();
        EXPECT_GT(description.size(), qsizetype(std::strlen(counts[i].second) + 10))
            << "what it shows first";
    }
    QToolTip::hideText();
}

// A screen reader hears the line a move lands on, with its fate: what it
// reads on the focus event is the list's focused line, described by its
// tip. (The event itself is sent only to a running accessibility bridge,
// which the offscreen platform has not.)
TEST(WindowAccessibility, AMoveLeavesTheFocusOnTheLineItLandsOn) {
    WindowRun run(ExampleData);
    QWidget& window = *run.Window();
    QListView& errors = Focus(window, "lstErrors", 4);
    QTest::keyClick(&errors, Qt::Key_Return);
    QListView* input = List(window, "lstInput");
    ASSERT_EQ(QApplication::focusWidget(), input);
    QAccessibleInterface* line = QAccessible::queryAccessibleInterface(input)->focusChild();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(QAccessible::Name), "[00026]   60-4-601");
    EXPECT_EQ(line->text(QAccessible::Description),
              "rejected because GroupKey 601 is used with Value1 60 and 22 (record [00009])");
}

constexpr const char* NothingLeftOver = "5\n12,1,4,0\n12,2,4,0\n12,3,4,0\n12,5,4,0\n12,7,4,0\n";

platform::Rgb ToRgb(QRgb pixel) {
    return {qRed(pixel), qGreen(pixel), qBlue(pixel)};
}

// An empty list with the focus is framed all round, two pixels deep, in a
// colour that stands out from its background; without the focus it is not.
TEST(WindowFocus, FocusedEmptyListIsFramedInAColourThatStandsOut) {
    WindowRun run(NothingLeftOver);
    QListView* errors = List(*run.Window(), "lstErrors");
    ASSERT_EQ(errors->model()->rowCount(), 0);
    Focus(*run.Window(), "lstInput");
    const QImage resting = errors->grab().toImage();
    Focus(*run.Window(), "lstErrors");
    const QImage focused = errors->grab().toImage();
    ASSERT_EQ(resting.size(), focused.size());

    const QRect area = errors->viewport()->geometry();
    const QRgb mark = focused.pixel(area.left(), area.center().y());
    const platform::Rgb base = ToRgb(errors->palette().color(QPalette::Base).rgb());
    EXPECT_GE(platform::ContrastRatio(ToRgb(mark), base), 3.0);
    const QPoint edges[] = {
        {area.left(), area.center().y()},   {area.right(), area.center().y()},
        {area.center().x(), area.top()},    {area.center().x(), area.bottom()},
        {area.left() + 1, area.top() + 20}, {area.right() - 1, area.bottom() - 20},
        {area.left() + 30, area.top() + 1}, {area.left() + 30, area.bottom() - 1}};
    for (const QPoint& at : edges) {
        SCOPED_TRACE(testing::Message() << at.x() << "," << at.y());
        EXPECT_EQ(focused.pixel(at), mark);
        EXPECT_NE(resting.pixel(at), mark);
    }
    // Inside the frame, the list looks as it did.
    EXPECT_EQ(focused.pixel(area.center()), resting.pixel(area.center()));
    EXPECT_EQ(focused.pixel(area.left() + 2, area.center().y()),
              resting.pixel(area.left() + 2, area.center().y()));
}

// The colour most of a line is drawn in: its background.
QRgb LineBackground(QListView& list, int row) {
    const QImage image = list.viewport()->grab().toImage();
    std::map<QRgb, int> counts;
    const QRect line = list.visualRect(list.model()->index(row, 0)).adjusted(3, 3, -3, -3);
    for (int y = line.top(); y <= line.bottom(); ++y) {
        for (int x = line.left(); x <= line.right(); ++x) {
            ++counts[image.pixel(x, y)];
        }
    }
    return std::max_element(counts.begin(), counts.end(),
                            [](auto& a, auto& b) { return a.second < b.second; })
        ->first;
}

// How far apart two colours are: the sum of the differences of their channels.
int Distance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
           std::abs(qBlue(a) - qBlue(b));
}

// The selected line of the focused list is drawn in the selection colour;
// once the focus moves on, in a clearly other one, which still differs from
// the lines that are not selected.
TEST(WindowFocus, SelectionWithoutTheFocusLooksAtRest) {
    WindowRun run(WorkedExample);
    QListView& output = Focus(*run.Window(), "lstOutput", 1);
    const QRgb active = LineBackground(output, 1);
    // The style may shade it a little.
    EXPECT_LE(Distance(active, output.palette().color(QPalette::Highlight).rgb()), 12);
    Focus(*run.Window(), "lstInput");
    const QRgb resting = LineBackground(output, 1);
    EXPECT_GE(Distance(resting, active), 100);
    EXPECT_GE(Distance(resting, LineBackground(output, 2)), 100);
}

// The window opens within the screen's available area: at its designed
// size where there is room (as on the usual offscreen screen), or as large
// as the area allows, frames side by side within it (ctest runs this again
// on a screen of 600 x 280).
TEST(WindowFit, OpensWithinTheAvailableArea) {
    WindowRun run(WorkedExample);
    QWidget& window = *run.Window();
    const QSize available = window.screen()->availableSize();
    const QSize expected = QSize(655, 309).boundedTo(available);
    EXPECT_EQ(window.size(), expected);
    EXPECT_EQ(window.minimumSize(), expected);
    int previousRight = 0;
    for (const auto& control : Designed) {
        SCOPED_TRACE(control.frame);
        const QRect frame = window.findChild<QGroupBox*>(control.frame)->geometry();
        EXPECT_GT(frame.left(), previousRight);
        EXPECT_LE(frame.right(), expected.width());
        EXPECT_LE(frame.bottom(), expected.height());
        EXPECT_NEAR(frame.width(), 159.0 * expected.width() / 655, 1.0) << "in proportion";
        previousRight = frame.right();
        const QRect list = List(window, control.list)->geometry();
        EXPECT_EQ(list.topLeft(), ListInFrame.topLeft());
        EXPECT_EQ(frame.width() - list.width(), 159 - 139);
        EXPECT_EQ(frame.height() - list.height(), 295 - 264);
    }
}

TEST(WindowLines, LongestLineSetsTheScrollWidth) {
    // Short lines first: the width must not come from the first row.
    WindowRun run("4\n1,1,1,0\n1,1,1,0\n1,1,1,0\n48,7,2000000000,0\n");
    QListView* list = List(*run.Window(), "lstInput");
    QApplication::processEvents();
    const int longestWidth = list->fontMetrics().horizontalAdvance("[00003]   48-7-2000000000");
    EXPECT_GE(list->sizeHintForIndex(list->model()->index(0, 0)).width(), longestWidth);
    ASSERT_GT(longestWidth, list->viewport()->width());
    EXPECT_GE(list->horizontalScrollBar()->maximum(), longestWidth - list->viewport()->width());
}

// The form's own font, 8 points in the geometry's unit (10 2/3 of the
// window's pixels), on its frames and lists; the example's lines fit their
// lists at the window's natural size, with no horizontal scroll bar.
void ExpectTheExampleFits(QWidget& window) {
    QApplication::processEvents();
    for (const auto& control : Designed) {
        SCOPED_TRACE(control.list);
        for (const QWidget* widget :
             {static_cast<QWidget*>(window.findChild<QGroupBox*>(control.frame)),
              static_cast<QWidget*>(List(window, control.list))}) {
            const double pixels = widget->font().pointSizeF() * widget->logicalDpiY() / 72.0;
            EXPECT_NEAR(pixels, 8.0 * 20 / 15, 0.01) << widget->objectName().toStdString();
        }
        QListView& list = *List(window, control.list);
        int widest = 0;
        for (const QString& line : LinesOf(list)) {
            widest = std::max(widest, list.fontMetrics().horizontalAdvance(line));
        }
        EXPECT_LE(widest, list.viewport()->width());
        EXPECT_FALSE(list.horizontalScrollBar()->isVisible());
    }
}

// The window stage runs this again under GNOME's theme: QUORVALE_THEME names
// the platform theme plugin that must be loaded, QUORVALE_THEME_FONT the
// desktop font it must have set ("Cantarell 11").
TEST(WindowFont, TheExampleFitsAtTheFormsOwnSize) {
    if (const char* theme = std::getenv("QUORVALE_THEME")) {
        std::ifstream maps("/proc/self/maps");
        const std::string mapped((std::istreambuf_iterator<char>(maps)), {});
        EXPECT_NE(mapped.find(std::string("/platformthemes/libq") + theme + ".so"),
                  std::string::npos)
            << "the " << theme << " platform theme is not loaded";
    }
    if (const char* font = std::getenv("QUORVALE_THEME_FONT")) {
        const QFont desktop = QApplication::font();
        EXPECT_EQ(QString("%1 %2").arg(desktop.family()).arg(desktop.pointSize()).toStdString(),
                  font);
    }
    WindowRun run(ExampleData);
    ExpectTheExampleFits(*run.Window());
}

TEST(WindowFont, ALargerDesktopFontLeavesTheFormsOwn) {
    const QFont desktop = QApplication::font();
    QFont large = desktop;
    large.setPointSize(14);
    QApplication::setFont(large);
    {
        WindowRun run(ExampleData);
        ExpectTheExampleFits(*run.Window());
        EXPECT_EQ(List(*run.Window(), "lstInput")->font().family(), large.family());
    }
    QApplication::setFont(desktop);
}

// Ctrl+Q and Ctrl+W close the window, and the run ends with status 0.
TEST(WindowKeys, CtrlQAndCtrlWCloseTheWindowWithStatusZero) {
    for (const Qt::Key key : {Qt::Key_Q, Qt::Key_W}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        testing_support::ScratchDir dir;
        dir.Write("Data.txt", WorkedExample);
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.Path());
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, [key] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->isVisible() && widget->windowTitle() == "Quorvale") {
                    QApplication::setActiveWindow(widget);
                    QWidget* focus = widget->focusWidget();
                    QTest::keyClick(focus != nullptr ? focus : widget, key, Qt::ControlModifier);
                }
            }
        });
        press.start(50);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QApplication::exit(99); });
        guard.start(5000);
        char name[] = "quorvale";
        char* argv[] = {name, nullptr};
        const int status = platform::RunProgram(
            QuorvaleProject(), 1, argv,
            [](const platform::EngineHost& host, std::string&) { return TestEngine(host, {}); });
        std::filesystem::current_path(previous);
        EXPECT_EQ(status, 0);
        EXPECT_FALSE(AnyTopLevelVisible());
    }
}

// The program's one start sequence with the Qt engine: a load that fails
// goes to standard error and to the dialog, and no window is shown.
TEST(WindowFailure, MissingDataFileEndsWithTheDialogAndNoWindow) {
    testing_support::ScratchDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const std::string looked = (std::filesystem::current_path() / "Data.txt").string();
    std::vector<std::pair<QString, QString>> dialogs;
    char name[] = "quorvale";
    char* argv[] = {name, nullptr};
    testing::internal::CaptureStderr();
    const int status = platform::RunProgram(
        QuorvaleProject(), 1, argv, [&](const platform::EngineHost& host, std::string&) {
            return TestEngine(host, [&](auto& title, auto& text) {
                dialogs.push_back({title, text});
            });
        });
    const std::string stderrText = testing::internal::GetCapturedStderr();
    std::filesystem::current_path(previous);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(AnyTopLevelVisible());
    ASSERT_EQ(dialogs.size(), 1U);
    EXPECT_EQ(dialogs[0].first, "Quorvale");
    const std::string message = dialogs[0].second.toStdString();
    // The dialog names the folder where the program looked; standard error
    // the name as given.
    EXPECT_EQ(message.rfind(looked + ": cannot open for reading", 0), 0U) << message;
    EXPECT_EQ(stderrText, "quorvale: Data.txt" + message.substr(looked.size()) + "\n");
}

// Qt's own words when a display connection breaks or cannot be made, as
// the program reports them: Wayland is named as such, also where Qt fell
// back to X11 after it.
TEST(WindowSurroundings, LostAndFailedWaylandConnectionsAreNamed) {
    EXPECT_EQ(platform::LostDisplayReason(
                  "The Wayland connection broke. Did the Wayland compositor die?"),
              "the Wayland compositor closed the connection or is gone");
    EXPECT_EQ(platform::LostDisplayReason(
                  "The Wayland connection experienced a fatal error: Protocol error"),
              "the Wayland connection failed: Protocol error");
    EXPECT_EQ(
        platform::LostDisplayReason("The X11 connection broke (error 1). Did the X11 server die?"),
        "the X server closed the connection or is gone");
    EXPECT_EQ(platform::LostDisplayReason("QStandardPaths: XDG_RUNTIME_DIR not set"), "");

    const std::string noSocket = "Failed to create wl_display (No such file or directory)";
    EXPECT_EQ(platform::NoWindowReason("could not connect to display :77", "", nullptr),
              "could not connect to display :77");
    EXPECT_EQ(platform::NoWindowReason("could not connect to display ", noSocket, "wayland-9"),
              "the Wayland display wayland-9: " + noSocket +
                  ", and then X11: could not connect to display ");
    EXPECT_EQ(platform::NoWindowReason(noSocket, noSocket, nullptr),
              "the Wayland display wayland-0: " + noSocket);
}

TEST(WindowFailure, DialogShowsMarkupAsPlainText) {
    const QString message = "Data.txt, line 2, value 2: \"<h1>HUGE</h1>\" is not a whole number";
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            format = box->textFormat();
            shown = box->text();
            box->accept();
        }
    });
    platform::ShowFailureDialog("Quorvale", message);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, message);
}

} // namespace

int main(int argc, char** argv) {
    // Test discovery and CI have no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
