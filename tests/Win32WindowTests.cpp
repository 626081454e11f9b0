// The Win32 window engine, run under Wine or on Windows: the form's geometry
// at 96 dpi, its captions and tab order, the owner-data rows of its lists,
// and the report and message box of a fatal error.

#include "FormWindow.h"
#include "TestSupport.h"
#include "WindowEngine.h"
#include "frmQuorvale.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct ExpectedControl {
    const char* caption;
    RECT frame; // in the client area
};

// Pixels at 96 dpi: 15 twips each. Lists sit 10, 18 inside their frames.
const std::vector<ExpectedControl> Designed = {
    {"Input Data:", {4, 6, 4 + 159, 6 + 295}},
    {"Output Data:", {166, 6, 166 + 159, 6 + 295}},
    {"Not Placed Data:", {328, 6, 328 + 159, 6 + 295}},
    {"Errors:", {490, 6, 490 + 159, 6 + 295}},
};
constexpr int ListLeft = 10;
constexpr int ListTop = 18;
constexpr int ListWidth = 139;
constexpr int ListHeight = 264;

constexpr const char* WorkedExample = "7\n12,1,4,0\n12,2,4,0\n99,2,8,0\n12,3,4,0\n"
                                      "12,5,4,0\n7,6,-1,0\n12,7,4,0\n";

std::string Narrow(const wchar_t* text) {
    std::string result;
    for (; *text != L'\0'; ++text) {
        result.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    }
    return result;
}

std::string TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return Narrow(text);
}

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Narrow(name);
}

// The children of the form in creation order.
std::vector<HWND> Children(HWND form) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(form, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

RECT RectInClient(HWND form, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string Describe(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
           std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
}

// The program's own load on this Data.txt, then the window created (not
// shown) from the loaded form.
class Win32Run {
public:
    explicit Win32Run(const char* data, bool showsTips = false)
        : form_(frmQuorvale::Layout(), showsTips) {
        dir_.Write("Data.txt", data);
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(dir_.Path());
        QuorvaleProject().load(form_);
        std::filesystem::current_path(previous);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        window_ = std::make_unique<platform::FormWindow>(form_);
        handle_ = window_->Create(GetModuleHandleW(nullptr));
    }
    ~Win32Run() {
        if (handle_ != nullptr) {
            DestroyWindow(handle_);
        }
        // WM_DESTROY posts a quit message; leave none behind for the next run.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    HWND Handle() const { return handle_; }
    const platform::Form& Form() const { return form_; }

private:
    testing_support::ScratchDir dir_;
    platform::Form form_;
    std::unique_ptr<platform::FormWindow> window_;
    HWND handle_ = nullptr;
};

std::vector<HWND> ChildrenOfClass(HWND form, const char* className) {
    std::vector<HWND> found;
    for (const HWND child : Children(form)) {
        if (ClassOf(child) == className) {
            found.push_back(child);
        }
    }
    return found;
}

// The children of one class by place, left to right: for lists lstInput,
// lstOutput, lstNotPlaced, lstErrors.
std::vector<HWND> LeftToRight(HWND form, const char* className) {
    std::vector<HWND> found = ChildrenOfClass(form, className);
    std::sort(found.begin(), found.end(), [&](HWND a, HWND b) {
        return RectInClient(form, a).left < RectInClient(form, b).left;
    });
    return found;
}

TEST(Win32Window, ClientAreaFramesAndListsAsDesignedAt96Dpi) {
    const Win32Run run(WorkedExample);
    ASSERT_NE(run.Handle(), nullptr);
    EXPECT_EQ(TextOf(run.Handle()), "Quorvale");
    RECT client{};
    GetClientRect(run.Handle(), &client);
    EXPECT_EQ(client.right, 655);
    EXPECT_EQ(client.bottom, 309);

    const std::vector<HWND> frames = LeftToRight(run.Handle(), "Button");
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    ASSERT_EQ(frames.size(), Designed.size());
    ASSERT_EQ(lists.size(), Designed.size());
    for (std::size_t i = 0; i < Designed.size(); ++i) {
        const ExpectedControl& expected = Designed[i];
        EXPECT_EQ(TextOf(frames[i]), expected.caption);
        EXPECT_EQ(Describe(RectInClient(run.Handle(), frames[i])), Describe(expected.frame))
            << expected.caption;
        const RECT list{expected.frame.left + ListLeft, expected.frame.top + ListTop,
                        expected.frame.left + ListLeft + ListWidth,
                        expected.frame.top + ListTop + ListHeight};
        EXPECT_EQ(Describe(RectInClient(run.Handle(), lists[i])), Describe(list))
            << "list in " << expected.caption;
    }
}

TEST(Win32Window, TabMovesFromListToListInOrderAndWraps) {
    const Win32Run run(WorkedExample);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    ASSERT_EQ(lists.size(), 4U);
    for (std::size_t i = 0; i < lists.size(); ++i) {
        EXPECT_TRUE(GetWindowLongW(lists[i], GWL_STYLE) & WS_TABSTOP);
        EXPECT_EQ(GetNextDlgTabItem(run.Handle(), lists[i], FALSE), lists[(i + 1) % lists.size()])
            << "after list " << i;
        EXPECT_EQ(GetNextDlgTabItem(run.Handle(), lists[(i + 1) % lists.size()], TRUE), lists[i])
            << "Shift+Tab back to list " << i;
    }
    // Frames take no focus.
    for (const HWND frame : ChildrenOfClass(run.Handle(), "Button")) {
        EXPECT_FALSE(GetWindowLongW(frame, GWL_STYLE) & WS_TABSTOP);
    }
}

TEST(Win32Window, OwnerDataRowsShowTheFormsLines) {
    const Win32Run run(WorkedExample);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    const char* names[] = {"lstInput", "lstOutput", "lstNotPlaced", "lstErrors"};
    ASSERT_EQ(lists.size(), std::size(names));
    std::size_t rowsSeen = 0;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        EXPECT_TRUE(GetWindowLongW(lists[i], GWL_STYLE) & LVS_OWNERDATA);
        const platform::ListBox& lines = run.Form().ListBoxNamed(names[i]);
        ASSERT_EQ(ListView_GetItemCount(lists[i]), lines.ListCount()) << names[i];
        for (int row = 0; row < lines.ListCount(); ++row) {
            wchar_t text[128] = {};
            // Asks the form for the row through LVN_GETDISPINFO.
            ListView_GetItemText(lists[i], row, 0, text, 128);
            EXPECT_EQ(Narrow(text), std::string(lines.List(row))) << names[i] << " row " << row;
            ++rowsSeen;
        }
    }
    // The worked example: 7 input lines, one output list, 1 not placed, 1 error.
    EXPECT_EQ(rowsSeen, 7U + 7U + 1U + 1U);
}

// What the list view asks its parent when the mouse rests on a row.
std::string InfoTip(HWND form, HWND list, int row) {
    wchar_t text[256] = L"unchanged";
    NMLVGETINFOTIPW tip{};
    tip.hdr.hwndFrom = list;
    tip.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
    tip.hdr.code = LVN_GETINFOTIPW;
    tip.pszText = text;
    tip.cchTextMax = 256;
    tip.iItem = row;
    SendMessageW(form, WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
    return Narrow(text);
}

TEST(Win32Window, InfoTipsOnNotPlacedAndErrorLinesOnly) {
    modQuorvale::ResetModule();
    const Win32Run run(WorkedExample, true);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    ASSERT_EQ(lists.size(), 4U);
    const bool infoTips[] = {false, false, true, true};
    for (std::size_t i = 0; i < lists.size(); ++i) {
        EXPECT_EQ((ListView_GetExtendedListViewStyle(lists[i]) & LVS_EX_INFOTIP) != 0, infoTips[i])
            << "list " << i;
    }
    EXPECT_EQ(InfoTip(run.Handle(), lists[2], 0),
              "its group [00005] of 1 needed a group of 4: no later group of 4");
    EXPECT_EQ(InfoTip(run.Handle(), lists[3], 0), "Value1 99 is outside 1 to 48");
    modQuorvale::ResetModule();
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int WindowsOfThisThread() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST(Win32Failure, MissingDataFileGoesToTheDialogAndStandardError) {
    testing_support::ScratchDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    int dialogs = 0;
    std::string title;
    std::string text;
    char name[] = "quorvale";
    char* argv[] = {name, nullptr};
    testing::internal::CaptureStderr();
    const int status =
        platform::RunFormWindow(QuorvaleProject(), 1, argv,
                                [&](const std::wstring& shownTitle, const std::wstring& message) {
                                    ++dialogs;
                                    title = Narrow(shownTitle.c_str());
                                    text = Narrow(message.c_str());
                                });
    const std::string stderrText = testing::internal::GetCapturedStderr();
    std::filesystem::current_path(previous);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(title, "Quorvale");
    EXPECT_EQ(text.rfind("Data.txt: cannot open for reading: ", 0), 0U) << text;
    EXPECT_EQ(stderrText, "quorvale: " + text + "\n");
    EXPECT_EQ(WindowsOfThisThread(), 0) << "a window after a failed load";
}

// The whole window run on the example data, with a message sent to the form
// from outside once it is shown: by a timer of the thread that runs the
// loop. A run that does not end within five seconds ends with status 99.
UINT endingMessage = 0;
WPARAM endingParameter = 0;

BOOL CALLBACK SendEndingMessage(HWND window, LPARAM sent) {
    if (!IsWindowVisible(window) || TextOf(window) != "Quorvale") {
        return TRUE;
    }
    SendMessageW(window, endingMessage, endingParameter, 0);
    *reinterpret_cast<bool*>(sent) = true;
    return FALSE;
}

void CALLBACK EndTheShownForm(HWND, UINT, UINT_PTR timer, DWORD) {
    bool sent = false;
    EnumThreadWindows(GetCurrentThreadId(), SendEndingMessage, reinterpret_cast<LPARAM>(&sent));
    if (sent) {
        KillTimer(nullptr, timer);
    }
}

void CALLBACK GiveUp(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    PostQuitMessage(99);
}

int RunUntilSent(UINT message, WPARAM parameter) {
    testing_support::ScratchDir dir;
    dir.Write("Data.txt", WorkedExample);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    endingMessage = message;
    endingParameter = parameter;
    const UINT_PTR sender = SetTimer(nullptr, 0, 100, EndTheShownForm);
    const UINT_PTR guard = SetTimer(nullptr, 0, 5000, GiveUp);
    char name[] = "quorvale";
    char* argv[] = {name, nullptr};
    const int status = platform::RunFormWindow(QuorvaleProject(), 1, argv,
                                               [](const std::wstring&, const std::wstring&) {});
    KillTimer(nullptr, sender);
    KillTimer(nullptr, guard);
    std::filesystem::current_path(previous);
    MSG left;
    while (PeekMessageW(&left, nullptr, 0, 0, PM_REMOVE)) {
    }
    return status;
}

TEST(Win32Window, EndsAsClosedWhenTheSessionEnds) {
    EXPECT_EQ(RunUntilSent(WM_ENDSESSION, TRUE), 0);
    EXPECT_EQ(WindowsOfThisThread(), 0);
}

TEST(Win32Window, EndsAsClosedOnADestroyMessageFromOutside) {
    EXPECT_EQ(RunUntilSent(WM_DESTROY, 0), 0);
}

// What the message box showed, read by a timer of the thread that shows it:
// the box's own message loop runs the timer.
struct MessageBoxSeen {
    std::string title;
    std::string text;
};
MessageBoxSeen seenBox;

BOOL CALLBACK ReadAndCloseMessageBox(HWND window, LPARAM found) {
    if (ClassOf(window) != "#32770") {
        return TRUE;
    }
    seenBox.title = TextOf(window);
    // A message box's text is the static control with id 0xFFFF.
    wchar_t text[512] = {};
    GetDlgItemTextW(window, 0xFFFF, text, 512);
    seenBox.text = Narrow(text);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

void CALLBACK LookForMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), ReadAndCloseMessageBox,
                      reinterpret_cast<LPARAM>(&found));
    if (found) {
        KillTimer(nullptr, timer);
    }
}

TEST(Win32Failure, MessageBoxShowsTitleAndMessage) {
    seenBox = {};
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, LookForMessageBox);
    ASSERT_NE(timer, 0U);
    platform::ShowFailureDialog(L"Quorvale", L"Data.txt: cannot open for reading: <b>no</b>");
    KillTimer(nullptr, timer);
    EXPECT_EQ(seenBox.title, "Quorvale");
    EXPECT_EQ(seenBox.text, "Data.txt: cannot open for reading: <b>no</b>");
}

} // namespace
