// The result window on the offscreen platform: layout, focus, lines, resizing
// and the failure path.

#include "FormWindow.h"
#include "TestSupport.h"
#include "frmQuorvale.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QHelpEvent>
#include <QListView>
#include <QMessageBox>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
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

// Runs the program's own load in a scratch directory holding this Data.txt.
class WindowRun {
public:
    explicit WindowRun(const char* data) {
        if (data != nullptr) {
            dir_.Write("Data.txt", data);
        }
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(dir_.Path());
        window_ = platform::LoadAndShow(QuorvaleProject(), form_, [this](auto& title, auto& text) {
            dialogs_.push_back({title, text});
        });
        std::filesystem::current_path(previous);
    }

    platform::FormWindow* Window() const { return window_.get(); }
    const std::vector<std::pair<QString, QString>>& Dialogs() const { return dialogs_; }

private:
    testing_support::ScratchDir dir_;
    std::unique_ptr<platform::Form> form_;
    std::unique_ptr<platform::FormWindow> window_;
    std::vector<std::pair<QString, QString>> dialogs_;
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
    platform::DescribeApplication(QuorvaleProject());
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

TEST(WindowTips, NotPlacedAndErrorLinesTellWhyOthersNothing) {
    WindowRun run(WorkedExample);
    QWidget& window = *run.Window();
    EXPECT_EQ(TipOf(window, "lstNotPlaced", 0),
              "its group [00005] of 1 needed a group of 4: no later group of 4");
    EXPECT_EQ(TipOf(window, "lstErrors", 0), "Value1 99 is outside 1 to 48");
    EXPECT_EQ(TipOf(window, "lstInput", 2), "");
    EXPECT_EQ(TipOf(window, "lstOutput", 1), "");

    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(HoverTip(*List(window, "lstErrors"), 0), "Value1 99 is outside 1 to 48");
    EXPECT_EQ(HoverTip(*List(window, "lstInput"), 2), "");
    // Hovering changes nothing in the lists.
    EXPECT_EQ(LinesOf(*List(window, "lstErrors")), QStringList({"[00002]   99-2-8"}));
    EXPECT_TRUE(List(window, "lstErrors")->selectionModel()->selectedIndexes().isEmpty());
    QToolTip::hideText();
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

TEST(WindowFailure, MissingDataFileShowsDialogAndNoWindow) {
    testing::internal::CaptureStderr();
    WindowRun run(nullptr);
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(run.Window(), nullptr);
    EXPECT_FALSE(AnyTopLevelVisible());
    ASSERT_EQ(run.Dialogs().size(), 1U);
    EXPECT_EQ(run.Dialogs()[0].first, "Quorvale");
    const std::string message = run.Dialogs()[0].second.toStdString();
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(stderrText, "quorvale: " + message + "\n");
}

TEST(WindowFailure, RunEndsWithStatusOneWithoutShowingAWindow) {
    testing_support::ScratchDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    int dialogs = 0;
    char name[] = "quorvale";
    char* argv[] = {name, nullptr};
    testing::internal::CaptureStderr();
    const int status =
        platform::RunFormWindow(QuorvaleProject(), 1, argv, [&](auto&, auto&) { ++dialogs; });
    testing::internal::GetCapturedStderr();
    std::filesystem::current_path(previous);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(AnyTopLevelVisible());
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
