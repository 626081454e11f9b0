// The Win32 window engine, run under Wine or on Windows: the form's geometry
// at 96 dpi, its captions and tab order, the owner-data rows of its lists,
// and the report and message box of a fatal error.

#include "ExampleData.h"
#include "FormWindow.h"
#include "StartRoutine.h"
#include "TestSupport.h"
#include "WindowEngine.h"
#include "frmQuorvale.h"
#include "platform/FocusMark.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <initializer_list>
#include <oleacc.h>
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
    platform::FormWindow& Window() { return *window_; }

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

// The form's own font, 8 points at the window's DPI, whatever the system's
// message font; the example's lines fit their lists' one column, which
// spans the list but for its scroll bar, so no horizontal scroll bar shows.
TEST(Win32Window, TheExampleFitsAtTheFormsOwnFont) {
    const Win32Run run(ExampleData);
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (const HWND list : LeftToRight(run.Handle(), "SysListView32")) {
        const auto font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
        LOGFONTW described{};
        ASSERT_EQ(GetObjectW(font, sizeof described, &described),
                  static_cast<int>(sizeof described));
        EXPECT_EQ(described.lfHeight, -MulDiv(8, dpi, 72));
        const int column = ListView_GetColumnWidth(list, 0);
        int widest = 0;
        wchar_t text[64];
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            ListView_GetItemText(list, row, 0, text, 64);
            widest = std::max(widest, ListView_GetStringWidth(list, text));
        }
        EXPECT_GT(widest, 0);
        // The list view leaves a few pixels beside a label's text.
        EXPECT_LE(widest + 6, column) << TextOf(list);
        EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL, 0) << TextOf(list);
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

TEST(Win32Window, InfoTipsOnEveryList) {
    modQuorvale::ResetModule();
    const Win32Run run(WorkedExample, true);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    ASSERT_EQ(lists.size(), 4U);
    for (std::size_t i = 0; i < lists.size(); ++i) {
        EXPECT_NE(ListView_GetExtendedListViewStyle(lists[i]) & LVS_EX_INFOTIP, 0U) << "list " << i;
    }
    EXPECT_EQ(InfoTip(run.Handle(), lists[0], 3), "placed in Output List 1, line 3");
    EXPECT_EQ(InfoTip(run.Handle(), lists[1], 1), "a full group of 5");
    EXPECT_EQ(InfoTip(run.Handle(), lists[2], 0),
              "its group [00005] of 1 needed a group of 4: no later group of 4");
    EXPECT_EQ(InfoTip(run.Handle(), lists[3], 0), "Value1 99 is outside 1 to 48");
    modQuorvale::ResetModule();
}

constexpr const char* NothingLeftOver = "5\n12,1,4,0\n12,2,4,0\n12,3,4,0\n12,5,4,0\n12,7,4,0\n";

// Sends a key press to a control with these keys held down.
void PressKey(HWND control, WPARAM key, std::initializer_list<int> held = {}) {
    BYTE saved[256] = {};
    GetKeyboardState(saved);
    BYTE state[256];
    std::memcpy(state, saved, sizeof state);
    for (const int k : held) {
        state[k] = 0x80;
    }
    SetKeyboardState(state);
    SendMessageW(control, WM_KEYDOWN, key, 1);
    SetKeyboardState(saved);
}

void FocusLine(HWND list, int row) {
    SetFocus(list);
    const UINT flags = LVIS_FOCUSED | LVIS_SELECTED;
    ListView_SetItemState(list, row, flags, flags);
}

BOOL CALLBACK FindShownTip(HWND window, LPARAM found) {
    if (ClassOf(window) == "tooltips_class32" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND ShownTip() {
    HWND tip = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindShownTip, reinterpret_cast<LPARAM>(&tip));
    return tip;
}

std::string TextOfTip(HWND tip, HWND form) {
    wchar_t text[512] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = form;
    tool.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    return Narrow(text);
}

// Shift+F1 shows the focused line's tip below that line, any other key
// hides it; a line without a tip shows none.
TEST(Win32Keys, ShiftF1ShowsTheFocusedLinesTipAtTheLine) {
    const Win32Run run(WorkedExample, true);
    ShowWindow(run.Handle(), SW_SHOWNOACTIVATE);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    FocusLine(lists[2], 0);
    PressKey(lists[2], VK_F1, {VK_SHIFT});
    const HWND tip = ShownTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(TextOfTip(tip, run.Handle()),
              "its group [00005] of 1 needed a group of 4: no later group of 4");
    RECT line{};
    ListView_GetItemRect(lists[2], 0, &line, LVIR_BOUNDS);
    MapWindowPoints(lists[2], HWND_DESKTOP, reinterpret_cast<POINT*>(&line), 2);
    RECT shown{};
    GetWindowRect(tip, &shown);
    EXPECT_NEAR(shown.left, line.left, 8) << Describe(shown) << " for the line " << Describe(line);
    EXPECT_NEAR(shown.top, line.bottom, 8);
    PressKey(lists[2], VK_DOWN);
    EXPECT_EQ(ShownTip(), nullptr) << "still shown after another key";

    // Reached without a line chosen: the first line is the current one.
    SetFocus(lists[3]);
    PressKey(lists[3], VK_F1, {VK_SHIFT});
    ASSERT_NE(ShownTip(), nullptr);
    EXPECT_EQ(TextOfTip(ShownTip(), run.Handle()), "Value1 99 is outside 1 to 48");
    EXPECT_EQ(ListView_GetSelectedCount(lists[3]), 0U);

    // An input line tells its record's fate.
    FocusLine(lists[0], 2);
    PressKey(lists[0], VK_F1, {VK_SHIFT});
    ASSERT_NE(ShownTip(), nullptr);
    EXPECT_EQ(TextOfTip(ShownTip(), run.Handle()), "rejected because Value1 99 is outside 1 to 48");
    modQuorvale::KeepReasons = false;
}

std::string ClipboardText() {
    std::string text = "<nothing>";
    if (!OpenClipboard(nullptr)) {
        return "<clipboard busy>";
    }
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = Narrow(static_cast<const wchar_t*>(GlobalLock(data)));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// Ctrl+Shift+C copies every line of the list as shown, headings and blank
// lines too, with Windows line ends; Ctrl+C the focused line.
TEST(Win32Keys, CtrlShiftCCopiesEveryLineCtrlCTheFocusedOne) {
    const Win32Run run(WorkedExample);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    FocusLine(lists[1], 2);
    PressKey(lists[1], 'C', {VK_CONTROL, VK_SHIFT});
    EXPECT_EQ(ClipboardText(), "Output List 1\r\n[00000]   12-1-4\r\n[00001]   12-2-4\r\n"
                               "[00003]   12-3-4\r\n[00004]   12-5-4\r\n[00006]   12-7-4\r\n \r\n");
    PressKey(lists[1], 'C', {VK_CONTROL});
    EXPECT_EQ(ClipboardText(), "[00001]   12-2-4");
    PressKey(lists[3], 'C', {VK_CONTROL, VK_SHIFT});
    EXPECT_EQ(ClipboardText(), "[00002]   99-2-8\r\n");
}

class ComApartment {
public:
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

// What a screen reader reads for a line of a list (its child id is the
// 1-based line number): the line's tip, as its description.
std::string AccessibleDescription(HWND list, long child) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(list, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible)))) {
        return "<no accessible object>";
    }
    VARIANT line;
    VariantInit(&line);
    line.vt = VT_I4;
    line.lVal = child;
    BSTR description = nullptr;
    std::string result;
    if (accessible->get_accDescription(line, &description) == S_OK && description != nullptr) {
        result = Narrow(description);
        SysFreeString(description);
    }
    accessible->Release();
    return result;
}

TEST(Win32Lines, EachIsDescribedByItsTipForAScreenReader) {
    const ComApartment apartment;
    const Win32Run run(WorkedExample, true);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    EXPECT_EQ(AccessibleDescription(lists[2], 1),
              "its group [00005] of 1 needed a group of 4: no later group of 4");
    EXPECT_EQ(AccessibleDescription(lists[3], 1), "Value1 99 is outside 1 to 48");
    // Child ids count lines from 1.
    EXPECT_EQ(AccessibleDescription(lists[0], 3), "rejected because Value1 99 is outside 1 to 48");
    EXPECT_EQ(AccessibleDescription(lists[0], 4), "placed in Output List 1, line 3");
    EXPECT_EQ(AccessibleDescription(lists[1], 1), "") << "a heading has no tip";
    EXPECT_EQ(AccessibleDescription(lists[1], 2), "a full group of 5");
    modQuorvale::KeepReasons = false;
}

// The focused list's focused line: "lstOutput 1 [00002]   30-1-102", selected
// and in view, or what is wrong.
std::string FocusedLine(HWND form) {
    const char* names[] = {"lstInput", "lstOutput", "lstNotPlaced", "lstErrors"};
    const std::vector<HWND> lists = LeftToRight(form, "SysListView32");
    const auto list = std::find(lists.begin(), lists.end(), GetFocus());
    if (list == lists.end()) {
        return "<no list has the focus>";
    }
    const int row = ListView_GetNextItem(*list, -1, LVNI_FOCUSED);
    wchar_t text[128] = {};
    ListView_GetItemText(*list, row, 0, text, 128);
    std::string line =
        std::string(names[list - lists.begin()]) + " " + std::to_string(row) + " " + Narrow(text);
    if (ListView_GetItemState(*list, row, LVIS_SELECTED) == 0 ||
        ListView_GetSelectedCount(*list) != 1) {
        line += " <not the one selected>";
    }
    RECT item{};
    RECT client{};
    ListView_GetItemRect(*list, row, &item, LVIR_BOUNDS);
    GetClientRect(*list, &client);
    if (item.top < client.top || item.bottom > client.bottom) {
        line += " <out of view>";
    }
    return line;
}

void PressAltLeft(HWND list) {
    SendMessageW(list, WM_SYSKEYDOWN, VK_LEFT, 1 | 1 << 29); // bit 29: Alt is held
}

void Type(HWND list, const char* digits) {
    for (; *digits != '\0'; ++digits) {
        SendMessageW(list, WM_CHAR, static_cast<WPARAM>(*digits), 1);
    }
}

// On the shipped example, with the keyboard only: [00002] from "Input
// Data:" to its output line with Enter and back with Alt+Left; a far line
// comes into view; headings lead nowhere; Backspace goes back too; the
// dialog manager leaves Enter to the list.
TEST(Win32Navigation, EnterFollowsARecordAltLeftAndBackspaceReturn) {
    const Win32Run run(ExampleData, true);
    ShowWindow(run.Handle(), SW_SHOWNOACTIVATE);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    FocusLine(lists[0], 2);
    MSG enter{lists[0], WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    EXPECT_NE(SendMessageW(lists[0], WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) &
                  DLGC_WANTMESSAGE,
              0);
    PressKey(lists[0], VK_RETURN);
    EXPECT_EQ(FocusedLine(run.Handle()), "lstOutput 1 [00002]   30-1-102");
    PressAltLeft(GetFocus());
    EXPECT_EQ(FocusedLine(run.Handle()), "lstInput 2 [00002]   30-1-102");

    FocusLine(lists[0], 44);
    PressKey(lists[0], VK_RETURN);
    EXPECT_EQ(FocusedLine(run.Handle()), "lstOutput 19 [00044]   46-7-207");
    PressKey(lists[1], VK_RETURN);
    EXPECT_EQ(FocusedLine(run.Handle()), "lstInput 44 [00044]   46-7-207");
    PressKey(lists[0], VK_BACK);
    EXPECT_EQ(FocusedLine(run.Handle()), "lstOutput 19 [00044]   46-7-207");

    FocusLine(lists[1], 7);
    PressKey(lists[1], VK_RETURN);
    EXPECT_EQ(FocusedLine(run.Handle()), "lstOutput 7 Output List 2") << "a heading leads nowhere";

    // A double-click on a not-placed line leads to its input line.
    RECT line{};
    ListView_GetItemRect(lists[2], 3, &line, LVIR_BOUNDS);
    const LPARAM at = MAKELPARAM(line.left + 20, (line.top + line.bottom) / 2);
    SendMessageW(lists[2], WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(lists[2], WM_LBUTTONUP, 0, at);
    SendMessageW(lists[2], WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(lists[2], WM_LBUTTONUP, 0, at);
    EXPECT_EQ(FocusedLine(run.Handle()), "lstInput 43 [00043]   30-7-102");
    modQuorvale::KeepReasons = false;
}

// Typing 26 in "Errors:" reaches [00026], whose Enter leads to its input
// line; a position without a line in the list moves nothing.
TEST(Win32Navigation, TypedDigitsGoToThePositionsLine) {
    const Win32Run run(ExampleData, true);
    ShowWindow(run.Handle(), SW_SHOWNOACTIVATE);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    FocusLine(lists[3], 0);
    Type(lists[3], "26");
    EXPECT_EQ(FocusedLine(run.Handle()), "lstErrors 4 [00026]   60-4-601");
    PressKey(lists[3], VK_RETURN);
    EXPECT_EQ(FocusedLine(run.Handle()), "lstInput 26 [00026]   60-4-601");
    PressAltLeft(lists[0]);
    PressAltLeft(lists[3]);
    EXPECT_EQ(FocusedLine(run.Handle()), "lstErrors 0 [00011]   49-2-402") << "before typing";
    Sleep(1100);
    Type(lists[3], "3");
    EXPECT_EQ(FocusedLine(run.Handle()), "lstErrors 0 [00011]   49-2-402") << "[00003] is no error";

    FocusLine(lists[0], 0);
    Type(lists[0], "045");
    EXPECT_EQ(FocusedLine(run.Handle()), "lstInput 45 [00045]   10-8-403");
    modQuorvale::KeepReasons = false;
}

// The tip a tooltip control shows at this point of the form, "" for none.
std::string CaptionTipAt(HWND tips, HWND form, POINT at) {
    TTHITTESTINFOW hit{};
    hit.hwnd = form;
    hit.pt = at;
    hit.ti.cbSize = sizeof hit.ti;
    if (!SendMessageW(tips, TTM_HITTESTW, 0, reinterpret_cast<LPARAM>(&hit))) {
        return "";
    }
    wchar_t text[256] = {};
    hit.ti.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&hit.ti));
    return Narrow(text);
}

BOOL CALLBACK FindCaptionTips(HWND window, LPARAM found) {
    if (ClassOf(window) == "tooltips_class32" &&
        SendMessageW(window, TTM_GETTOOLCOUNT, 0, 0) == 4) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Each list's counts: in a tip over its frame's caption, which keeps its
// text, and after what the list shows in its accessible description.
TEST(Win32Navigation, EachListTellsItsCountsOverItsCaptionAndInItsDescription) {
    const ComApartment apartment;
    const Win32Run run(ExampleData, true);
    const std::vector<HWND> frames = LeftToRight(run.Handle(), "Button");
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    HWND tips = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindCaptionTips, reinterpret_cast<LPARAM>(&tips));
    ASSERT_NE(tips, nullptr);
    const char* counts[] = {"46 records, 12 rejected",
                            "6 output lists of 5 records: 2 full groups, 4 pairs",
                            "4 records of 3 groups", "12 records: 5 out of range, 7 for their key"};
    for (std::size_t i = 0; i < std::size(counts); ++i) {
        SCOPED_TRACE(counts[i]);
        const RECT frame = RectInClient(run.Handle(), frames[i]);
        const RECT list = RectInClient(run.Handle(), lists[i]);
        EXPECT_EQ(CaptionTipAt(tips, run.Handle(), {frame.left + 30, frame.top + 6}), counts[i]);
        EXPECT_EQ(CaptionTipAt(tips, run.Handle(), {list.left + 30, list.top + 30}), "");
        EXPECT_EQ(TextOf(frames[i]), Designed[i].caption);
        const std::string description = AccessibleDescription(lists[i], CHILDID_SELF);
        EXPECT_GT(description.size(), std::strlen(counts[i]) + 10) << description;
        EXPECT_EQ(description.substr(description.size() - std::strlen(counts[i]) - 2),
                  std::string(". ") + counts[i]);
    }
    modQuorvale::KeepReasons = false;
}

struct HeardFocus {
    HWND window;
    LONG object;
    LONG child;
};
std::vector<HeardFocus> heardFocus;

void CALLBACK HearFocus(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    heardFocus.push_back({window, object, child});
}

// A screen reader hears the line a move lands on, with its fate: the focus
// event names the line, whose description is its tip.
TEST(Win32Navigation, AMoveAnnouncesTheLineItLandsOn) {
    const ComApartment apartment;
    const Win32Run run(ExampleData, true);
    ShowWindow(run.Handle(), SW_SHOWNOACTIVATE);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    FocusLine(lists[3], 4);
    heardFocus.clear();
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, HearFocus,
                        GetCurrentProcessId(), GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    PressKey(lists[3], VK_RETURN);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
    UnhookWinEvent(hook);
    ASSERT_FALSE(heardFocus.empty());
    const HeardFocus last = heardFocus.back();
    EXPECT_EQ(last.window, lists[0]);
    EXPECT_EQ(last.object, OBJID_CLIENT);
    EXPECT_EQ(last.child, 27) << "line 26, counted from 1";
    IAccessible* accessible = nullptr;
    VARIANT child;
    VariantInit(&child);
    ASSERT_EQ(AccessibleObjectFromEvent(last.window, static_cast<DWORD>(last.object),
                                        static_cast<DWORD>(last.child), &accessible, &child),
              S_OK);
    BSTR description = nullptr;
    ASSERT_EQ(accessible->get_accDescription(child, &description), S_OK);
    EXPECT_EQ(Narrow(description),
              "rejected because GroupKey 601 is used with Value1 60 and 22 (record [00009])");
    SysFreeString(description);
    accessible->Release();
    modQuorvale::KeepReasons = false;
}

// A control as it draws itself, edge included: 0xRRGGBB by row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    platform::Rgb At(int x, int y) const {
        const std::uint32_t p = pixels[static_cast<std::size_t>(y * width + x)];
        return {static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF),
                static_cast<int>(p & 0xFF)};
    }
};

Picture Print(HWND control) {
    RECT outer{};
    GetWindowRect(control, &outer);
    Picture picture;
    picture.width = outer.right - outer.left;
    picture.height = outer.bottom - outer.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                 PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    picture.pixels.assign(first, first + picture.width * picture.height);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return picture;
}

bool Same(platform::Rgb a, platform::Rgb b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// The focused list's edge, all round, in a colour that stands out 3:1 from
// its background, also when it is empty; without the focus, no such edge.
TEST(Win32Focus, FocusedEmptyListHasItsEdgeMarked) {
    const Win32Run run(NothingLeftOver);
    ShowWindow(run.Handle(), SW_SHOWNOACTIVATE);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    ASSERT_EQ(ListView_GetItemCount(lists[3]), 0);
    SetFocus(lists[0]);
    const Picture resting = Print(lists[3]);
    SetFocus(lists[3]);
    ASSERT_EQ(GetFocus(), lists[3]);
    const Picture focused = Print(lists[3]);

    const platform::Rgb background = [&] {
        const COLORREF colour = ListView_GetBkColor(lists[3]);
        return platform::Rgb{GetRValue(colour), GetGValue(colour), GetBValue(colour)};
    }();
    const int w = focused.width;
    const int h = focused.height;
    const platform::Rgb mark = focused.At(0, h / 2);
    EXPECT_GE(platform::ContrastRatio(mark, background), 3.0);
    const std::pair<int, int> edge[] = {{0, h / 2}, {1, h / 2}, {w - 1, h / 2}, {w - 2, 10},
                                        {w / 2, 0}, {w / 2, 1}, {30, h - 1},    {w / 2, h - 2}};
    for (const auto& [x, y] : edge) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        EXPECT_TRUE(Same(focused.At(x, y), mark));
        EXPECT_FALSE(Same(resting.At(x, y), mark));
    }
    EXPECT_TRUE(Same(focused.At(w / 2, h / 2), resting.At(w / 2, h / 2))) << "inside the edge";
}

// The selected line of a list without the focus is drawn otherwise than
// that of the focused list.
TEST(Win32Focus, SelectionWithoutTheFocusLooksAtRest) {
    const Win32Run run(WorkedExample);
    ShowWindow(run.Handle(), SW_SHOWNOACTIVATE);
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    FocusLine(lists[3], 0);
    RECT line{};
    ListView_GetItemRect(lists[3], 0, &line, LVIR_BOUNDS);
    POINT at{line.right - 4, (line.top + line.bottom) / 2}; // past the text
    ClientToScreen(lists[3], &at);
    RECT outer{};
    GetWindowRect(lists[3], &outer);
    const platform::Rgb focused = Print(lists[3]).At(at.x - outer.left, at.y - outer.top);
    SetFocus(lists[0]);
    const platform::Rgb resting = Print(lists[3]).At(at.x - outer.left, at.y - outer.top);
    EXPECT_FALSE(Same(focused, resting));
    const COLORREF background = ListView_GetBkColor(lists[3]);
    EXPECT_FALSE(
        Same(resting, {GetRValue(background), GetGValue(background), GetBValue(background)}))
        << "the selection still shows";
}

// On a screen smaller than the window, it opens within the room there is,
// frames side by side in it, and cannot be made larger than the room by
// its minimum size.
TEST(Win32Fit, WindowShrinksIntoASmallWorkArea) {
    Win32Run run(WorkedExample);
    const RECT area{20, 10, 20 + 500, 10 + 260};
    run.Window().FitInto(area);
    RECT outer{};
    GetWindowRect(run.Handle(), &outer);
    EXPECT_EQ(Describe(outer), Describe(area));
    MINMAXINFO limits{};
    SendMessageW(run.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 500);
    EXPECT_EQ(limits.ptMinTrackSize.y, 260);

    RECT client{};
    GetClientRect(run.Handle(), &client);
    const std::vector<HWND> frames = LeftToRight(run.Handle(), "Button");
    const std::vector<HWND> lists = LeftToRight(run.Handle(), "SysListView32");
    LONG previousRight = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        const RECT frame = RectInClient(run.Handle(), frames[i]);
        EXPECT_GT(frame.left, previousRight);
        EXPECT_LE(frame.right, client.right);
        EXPECT_LE(frame.bottom, client.bottom);
        EXPECT_NEAR(frame.right - frame.left, 159.0 * client.right / 655, 1.0);
        previousRight = frame.right;
        const RECT list = RectInClient(run.Handle(), lists[i]);
        EXPECT_EQ(list.left - frame.left, ListLeft);
        EXPECT_EQ((frame.right - frame.left) - (list.right - list.left), 159 - ListWidth);
    }
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

// The program's one start sequence with the Win32 engine and this dialog.
int RunWithDialog(char** argv, platform::FailureDialog dialog) {
    return platform::RunProgram(
        QuorvaleProject(), 1, argv, [&](const platform::EngineHost& host, std::string&) {
            return std::make_unique<platform::Win32WindowEngine>(host, dialog);
        });
}

TEST(Win32Failure, MissingDataFileGoesToTheDialogAndStandardError) {
    testing_support::ScratchDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const std::string looked = (std::filesystem::current_path() / "Data.txt").string();
    int dialogs = 0;
    std::string title;
    std::string text;
    char name[] = "quorvale";
    char* argv[] = {name, nullptr};
    testing::internal::CaptureStderr();
    const int status =
        RunWithDialog(argv, [&](const std::wstring& shownTitle, const std::wstring& message) {
            ++dialogs;
            title = Narrow(shownTitle.c_str());
            text = Narrow(message.c_str());
        });
    const std::string stderrText = testing::internal::GetCapturedStderr();
    std::filesystem::current_path(previous);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(title, "Quorvale");
    // The dialog names the folder where the program looked; standard error
    // the name as given.
    EXPECT_EQ(text.rfind(looked + ": cannot open for reading: ", 0), 0U) << text;
    EXPECT_EQ(stderrText, "quorvale: Data.txt" + text.substr(looked.size()) + "\n");
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
    // A key goes, with Ctrl held, to the list that has the focus.
    if (endingMessage == WM_KEYDOWN) {
        PressKey(GetFocus(), endingParameter, {VK_CONTROL});
    } else {
        SendMessageW(window, endingMessage, endingParameter, 0);
    }
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
    const int status = RunWithDialog(argv, [](const std::wstring&, const std::wstring&) {});
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

TEST(Win32Keys, CtrlQAndCtrlWCloseTheWindowWithStatusZero) {
    for (const WPARAM key : {'Q', 'W'}) {
        EXPECT_EQ(RunUntilSent(WM_KEYDOWN, key), 0) << static_cast<char>(key);
        EXPECT_EQ(WindowsOfThisThread(), 0);
    }
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
