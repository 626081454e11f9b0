#include "FormWindow.h"
#include "ListAccessibility.h"
#include "WindowEngine.h"
#include "platform/FocusMark.h"
#include "platform/Form.h"
#include "platform/FormLayout.h"

#include <algorithm>
#include <cstdio>
#include <initguid.h> // defines the IDs of oleacc.h here
#include <map>
#include <memory>
#include <oleacc.h>
#include <optional>
#include <string>
#include <vector>

namespace platform {

std::wstring Widen(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

namespace {

constexpr DWORD FormStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD FormExStyle = WS_EX_CONTROLPARENT;

// The per-monitor DPI functions exist from Windows 10 on; older systems fall
// back to the system DPI.
struct DpiFunctions {
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
    BOOL(WINAPI* adjustWindowRectExForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;

    DpiFunctions() {
        if (const HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
            getDpiForWindow = reinterpret_cast<decltype(getDpiForWindow)>(
                reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
            adjustWindowRectExForDpi = reinterpret_cast<decltype(adjustWindowRectExForDpi)>(
                reinterpret_cast<void*>(GetProcAddress(user32, "AdjustWindowRectExForDpi")));
        }
    }
};

const DpiFunctions& Dpi() {
    static const DpiFunctions functions;
    return functions;
}

UINT DpiOf(HWND window) {
    if (Dpi().getDpiForWindow != nullptr) {
        if (const UINT dpi = Dpi().getDpiForWindow(window); dpi != 0) {
            return dpi;
        }
    }
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : DesignDpi;
}

int TwipsToPixels(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), TwipsPerInch);
}

int PixelsToTwips(int pixels, UINT dpi) {
    return MulDiv(pixels, TwipsPerInch, static_cast<int>(dpi));
}

// The outer window size that gives a client area of the given twips.
SIZE OuterSize(int clientWidth, int clientHeight, UINT dpi) {
    RECT rect{0, 0, TwipsToPixels(clientWidth, dpi), TwipsToPixels(clientHeight, dpi)};
    if (Dpi().adjustWindowRectExForDpi != nullptr) {
        Dpi().adjustWindowRectExForDpi(&rect, FormStyle, FALSE, FormExStyle, dpi);
    } else {
        AdjustWindowRectEx(&rect, FormStyle, FALSE, FormExStyle);
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// The part of the screen that windows may take on the window's monitor;
// false if the system cannot tell.
bool WorkAreaOf(HWND window, RECT& area) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return false;
    }
    area = monitor.rcWork;
    return true;
}

// The one tool of the tip that Shift+F1 shows: placed by hand.
TTTOOLINFOW TrackedTool(HWND owner) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = owner;
    return tool;
}

// Text for the clipboard: UTF-16 with Windows line ends, in memory that the
// clipboard takes over. Null if there is no memory for it.
HGLOBAL ClipboardText(std::string_view text) {
    const std::wstring wide = Widen(text);
    const auto lineEnds = static_cast<std::size_t>(std::count(wide.begin(), wide.end(), L'\n'));
    const HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE, (wide.size() + lineEnds + 1) * sizeof(wchar_t));
    if (memory == nullptr) {
        return nullptr;
    }
    auto* out = static_cast<wchar_t*>(GlobalLock(memory));
    for (const wchar_t c : wide) {
        if (c == L'\n') {
            *out++ = L'\r';
        }
        *out++ = c;
    }
    *out = L'\0';
    GlobalUnlock(memory);
    return memory;
}

Rgb ToRgb(COLORREF colour) {
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

// A COM apartment for the thread, while it lives; the accessibility
// annotations and objects need one.

} // namespace

FormWindow::~FormWindow() {
    if (window_ != nullptr && IsWindow(window_)) {
        closing_ = true;
        DestroyWindow(window_);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

HWND FormWindow::Create(HINSTANCE instance) {
    const FormDescription& description = form_.Description();
    const std::wstring className = Widen(description.name);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(ProgramIconId));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(ProgramIconId),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    if (windowClass.hIcon == nullptr) {
        windowClass.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512)); // IDI_APPLICATION
    }
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className.c_str();
    RegisterClassExW(&windowClass);

    window_ = CreateWindowExW(FormExStyle, className.c_str(), Widen(description.caption).c_str(),
                              FormStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return nullptr;
    }
    dpi_ = DpiOf(window_);
    UpdateFont();
    CreateControls(instance);
    navigation_.Start(window_, form_, controls_);
    const SIZE size = OuterSize(description.clientWidth, description.clientHeight, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (RECT workArea{}; WorkAreaOf(window_, workArea)) {
        FitInto(workArea);
    }
    Arrange();
    return window_;
}

void FormWindow::FitInto(const RECT& workArea) {
    workArea_ = {workArea.right - workArea.left, workArea.bottom - workArea.top};
    const SIZE size = SmallestSize();
    RECT outer{};
    GetWindowRect(window_, &outer);
    // The top left corner last, so that the title bar is always in reach.
    const LONG left = std::max(std::min(outer.left, workArea.right - size.cx), workArea.left);
    const LONG top = std::max(std::min(outer.top, workArea.bottom - size.cy), workArea.top);
    SetWindowPos(window_, nullptr, left, top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The designed size, or on a screen too small for it, the room there is.
SIZE FormWindow::SmallestSize() const {
    const FormDescription& description = form_.Description();
    const SIZE designed = OuterSize(description.clientWidth, description.clientHeight, dpi_);
    if (workArea_.cx <= 0 || workArea_.cy <= 0) {
        return designed;
    }
    return {std::min(designed.cx, workArea_.cx), std::min(designed.cy, workArea_.cy)};
}

void FormWindow::UpdateFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    // The system metrics are for the system DPI; scale to this window's.
    const HDC screen = GetDC(nullptr);
    const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    metrics.lfMessageFont.lfHeight =
        MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi_), systemDpi);
    // The form's own size, scaled as its geometry is; the face stays the
    // system's.
    if (const int points = form_.Description().fontPoints; points > 0) {
        metrics.lfMessageFont.lfHeight = -MulDiv(points, static_cast<int>(dpi_), 72);
    }
    const HFONT previous = font_;
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);
    for (const HWND control : controls_) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    if (previous != nullptr) {
        DeleteObject(previous);
    }
}

void FormWindow::CreateControls(HINSTANCE instance) {
    const auto& controls = form_.Description().controls;
    controls_.assign(controls.size(), nullptr);
    // The dialog manager tabs through the children in creation order.
    std::multimap<int, std::size_t> byTabIndex;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        byTabIndex.emplace(controls[i].tabIndex, i);
    }
    for (const auto& [tabIndex, i] : byTabIndex) {
        const ControlDescription& control = controls[i];
        HWND handle = nullptr;
        if (control.kind == ControlKind::Frame) {
            handle = CreateWindowExW(0, L"BUTTON", Widen(control.caption).c_str(),
                                     WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0, 0, 0, window_,
                                     nullptr, instance, nullptr);
        } else {
            // Owner data: the view asks for the lines it shows, so a million
            // lines cost nothing up front.
            // The window text is never drawn; accessibility reads it as the name.
            handle = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW,
                                     Widen(AccessibleName(form_.Description(), control)).c_str(),
                                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS |
                                         LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL |
                                         LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                                     0, 0, 0, 0, window_, nullptr, instance, nullptr);
            const ListBox& lines = form_.ListBoxNamed(control.name);
            // Info tips ask for a line's tip when the mouse rests on it.
            ListView_SetExtendedListViewStyle(handle, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER |
                                                          (lines.HasTips() ? LVS_EX_INFOTIP : 0));
            LVCOLUMNW column{};
            column.mask = LVCF_WIDTH;
            ListView_InsertColumn(handle, 0, &column);
            ListView_SetItemCountEx(handle, lines.ListCount(), LVSICF_NOINVALIDATEALL);
            lines_[handle] = &lines;
            // Its keys, its focus mark and its accessible lines are the form's.
            SetWindowSubclass(handle, ListProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
            DescribeForAccessibility(handle, control);
        }
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        controls_[i] = handle;
    }
    // Frames go to the bottom so that they never paint over their lists.
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].kind == ControlKind::Frame) {
            SetWindowPos(controls_[i], HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

// Screen readers take a list view's name from a label beside it, which a
// frame is not; annotating the list gives the name and the description
// directly. Without the annotation service the window text still names it.
void FormWindow::DescribeForAccessibility(HWND list, const ControlDescription& control) const {
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
        return;
    }
    const std::wstring name = Widen(AccessibleName(form_.Description(), control));
    // What the list holds follows what it shows.
    const std::wstring description = Widen(
        DescriptionWithCounts(control.description, form_.ListBoxNamed(control.name).Counts()));
    services->SetHwndPropStr(list, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                             name.c_str());
    if (!description.empty()) {
        services->SetHwndPropStr(list, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                 PROPID_ACC_DESCRIPTION, description.c_str());
    }
    services->Release();
}

void FormWindow::Arrange() {
    RECT client{};
    GetClientRect(window_, &client);
    const FormDescription& description = form_.Description();
    const std::vector<TwipRect> rects = LayoutForm(description, PixelsToTwips(client.right, dpi_),
                                                   PixelsToTwips(client.bottom, dpi_));
    std::map<std::string, std::pair<int, int>> origins; // container -> twips from the client
    origins[std::string()] = {0, 0};
    HDWP positions = BeginDeferWindowPos(static_cast<int>(rects.size()));
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const ControlDescription& control = description.controls[i];
        const auto [originLeft, originTop] = origins.at(control.container);
        const int left = originLeft + rects[i].left;
        const int top = originTop + rects[i].top;
        origins[control.name] = {left, top};
        // Convert the edges, not the sizes, so that neighbours never drift.
        const int x = TwipsToPixels(left, dpi_);
        const int y = TwipsToPixels(top, dpi_);
        const int width = TwipsToPixels(left + rects[i].width, dpi_) - x;
        const int height = TwipsToPixels(top + rects[i].height, dpi_) - y;
        positions = DeferWindowPos(positions, controls_[i], nullptr, x, y, width, height,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    EndDeferWindowPos(positions);
    for (const auto& [list, lines] : lines_) {
        RECT listClient{};
        GetClientRect(list, &listClient);
        ListView_SetColumnWidth(list, 0, listClient.right);
    }
    navigation_.PlaceCaptionTips();
}

void FormWindow::ShowLine(NMLVDISPINFOW& info) const {
    if ((info.item.mask & LVIF_TEXT) == 0 || info.item.cchTextMax <= 0) {
        return;
    }
    const ListBox* lines = lines_.at(info.hdr.hwndFrom);
    ListBox::LineBuffer scratch;
    const std::string_view line = lines->Line(info.item.iItem, scratch);
    const int length = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                           info.item.pszText, info.item.cchTextMax - 1);
    info.item.pszText[length] = L'\0';
}

void FormWindow::ShowTip(NMLVGETINFOTIPW& info) const {
    if (info.pszText == nullptr || info.cchTextMax <= 0) {
        return;
    }
    const ListBox* lines = lines_.at(info.hdr.hwndFrom);
    const std::string tip = lines->HasTips() ? lines->Tip(info.iItem) : std::string();
    const int length = MultiByteToWideChar(CP_UTF8, 0, tip.data(), static_cast<int>(tip.size()),
                                           info.pszText, info.cchTextMax - 1);
    info.pszText[length] = L'\0';
}

LRESULT CALLBACK FormWindow::ListProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR /*id*/, DWORD_PTR self) {
    return reinterpret_cast<FormWindow*>(self)->OnListMessage(list, message, wParam, lParam);
}

LRESULT FormWindow::OnListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETDLGCODE &&
        navigation_.WantsMessage(list, reinterpret_cast<MSG*>(lParam))) {
        return DefSubclassProc(list, message, wParam, lParam) | DLGC_WANTMESSAGE;
    }
    if (navigation_.OnMessage(list, message, wParam, lParam)) {
        HideTip();
        return 0;
    }
    switch (message) {
    case WM_KEYDOWN:
        if (OnListKey(list, wParam)) {
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MOUSEWHEEL:
    case WM_VSCROLL:
    case WM_HSCROLL:
        HideTip();
        break;
    case WM_SETFOCUS:
        // As in the Qt window, a list reached by Tab has a current line at
        // once, for Shift+F1 and Ctrl+C; it is not selected.
        if (ListView_GetNextItem(list, -1, LVNI_FOCUSED) < 0 && ListView_GetItemCount(list) > 0) {
            ListView_SetItemState(list, 0, LVIS_FOCUSED, LVIS_FOCUSED);
        }
        [[fallthrough]];
    case WM_KILLFOCUS: {
        HideTip();
        const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
        RedrawWindow(list, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE); // the focus mark
        return result;
    }
    case WM_NCPAINT: {
        const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
        if (const HDC dc = GetWindowDC(list)) {
            PaintFocusMark(list, dc);
            ReleaseDC(list, dc);
        }
        return result;
    }
    case WM_PRINT: {
        const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
        if ((lParam & PRF_NONCLIENT) != 0) {
            PaintFocusMark(list, reinterpret_cast<HDC>(wParam));
        }
        return result;
    }
    case WM_GETOBJECT:
        // Compared as 32 bits: 64-bit Windows may pass the ID sign-extended or not.
        if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT) &&
            lines_.at(list)->HasTips()) {
            if (const LRESULT object = AccessibleListObject(list, wParam, *lines_.at(list),
                                                            navigation_.Description(list))) {
                return object;
            }
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, ListProcedure, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

// True for the keys that the form handles itself.
bool FormWindow::OnListKey(HWND list, WPARAM key) {
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (key == VK_F1 && shift && !control) {
        ShowTipAtFocusedLine(list);
        return true;
    }
    if (key == 'C' && control) {
        CopyLines(list, shift);
        return true;
    }
    // Ctrl+Q and Ctrl+W close the window, as in other programs.
    if ((key == 'Q' || key == 'W') && control && !shift) {
        DestroyWindow(window_);
        return true;
    }
    if (key != VK_SHIFT && key != VK_CONTROL) {
        HideTip();
    }
    return false;
}

// Below the line, where the mouse would bring up its info tip.
void FormWindow::ShowTipAtFocusedLine(HWND list) {
    const ListBox& lines = *lines_.at(list);
    const int row = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    std::wstring tip = row >= 0 && lines.HasTips() ? Widen(lines.Tip(row)) : std::wstring();
    if (tip.empty()) {
        HideTip();
        return;
    }
    if (tip_ == nullptr) {
        tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
        if (tip_ == nullptr) {
            return;
        }
        TTTOOLINFOW tool = TrackedTool(window_);
        SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        // Long reasons wrap, at about half the window's width.
        SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0,
                     TwipsToPixels(form_.Description().clientWidth / 2, dpi_));
    }
    ListView_EnsureVisible(list, row, FALSE);
    RECT line{};
    ListView_GetItemRect(list, row, &line, LVIR_BOUNDS);
    POINT below{line.left, line.bottom};
    ClientToScreen(list, &below);
    TTTOOLINFOW tool = TrackedTool(window_);
    tool.lpszText = tip.data();
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(below.x, below.y));
    SendMessageW(tip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void FormWindow::HideTip() {
    if (tip_ != nullptr) {
        TTTOOLINFOW tool = TrackedTool(window_);
        SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    }
}

// The focused line, or every line, as shown. When another program holds
// the clipboard, nothing is copied, as in any program.
void FormWindow::CopyLines(HWND list, bool all) const {
    const ListBox& lines = *lines_.at(list);
    const int row = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    if (!all && row < 0) {
        return;
    }
    const HGLOBAL text = ClipboardText(all ? lines.AllLines() : lines.List(row));
    if (text == nullptr || !OpenClipboard(window_)) {
        GlobalFree(text);
        return;
    }
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, text) == nullptr) {
        GlobalFree(text);
    }
    CloseClipboard();
}

// Over the list's sunken edge, outside its lines and scroll bars, so that
// scrolling never moves it and it shows in an empty list too.
void FormWindow::PaintFocusMark(HWND list, HDC dc) const {
    if (GetFocus() != list) {
        return;
    }
    RECT outer{};
    GetWindowRect(list, &outer);
    POINT client{0, 0};
    ClientToScreen(list, &client);
    const int edge = client.y - outer.top;
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    COLORREF background = ListView_GetBkColor(list);
    if (background == CLR_NONE) {
        background = GetSysColor(COLOR_WINDOW);
    }
    const Rgb mark = FocusMarkColour(ToRgb(GetSysColor(COLOR_HIGHLIGHT)),
                                     ToRgb(GetSysColor(COLOR_WINDOWTEXT)), ToRgb(background));
    const HBRUSH brush = CreateSolidBrush(RGB(mark.red, mark.green, mark.blue));
    const RECT bands[] = {{0, 0, width, edge},
                          {0, height - edge, width, height},
                          {0, 0, edge, height},
                          {width - edge, 0, width, height}};
    for (const RECT& band : bands) {
        FillRect(dc, &band, brush);
    }
    DeleteObject(brush);
}

LRESULT CALLBACK FormWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<FormWindow*>(create->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self != nullptr ? self->OnMessage(message, wParam, lParam)
                           : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT FormWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        HideTip();
        if (!controls_.empty()) {
            Arrange();
        }
        return 0;
    case WM_GETMINMAXINFO: {
        const SIZE size = SmallestSize();
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {size.cx, size.cy};
        return 0;
    }
    case WM_MOVE:
        HideTip(); // it would stay where the line was
        break;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        UpdateFont();
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == LVN_GETDISPINFOW && lines_.count(header->hwndFrom) != 0) {
            ShowLine(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
        } else if (header->code == LVN_GETINFOTIPW && lines_.count(header->hwndFrom) != 0) {
            ShowTip(*reinterpret_cast<NMLVGETINFOTIPW*>(lParam));
        } else if (header->code == NM_DBLCLK) {
            navigation_.OnDoubleClick(header->hwndFrom,
                                      reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem);
        }
        return 0;
    }
    case WM_ACTIVATE:
        // Give the focus back to the list that had it, as a dialog does.
        if (LOWORD(wParam) == WA_INACTIVE) {
            lastFocus_ = GetFocus();
        } else if (lastFocus_ != nullptr) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_ENDSESSION:
        // The session ends, and the process with it: close now, as the user
        // would, rather than be ended in the middle of the loop.
        if (wParam != FALSE) {
            DestroyWindow(window_);
        }
        return 0;
    case WM_DESTROY:
        // Also when another program sends it: the window is gone either way.
        if (!closing_) {
            PostQuitMessage(0);
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

namespace {

// A console that exists only for this process (started from Explorer) is
// no use to a window; one shared with a shell keeps its output.
void ReleaseOwnConsole() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) {
        FreeConsole();
    }
}

int RunMessageLoop(HWND window) {
    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) {
            return 1;
        }
        // Tab and Shift+Tab move between the lists in their tab order.
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

} // namespace

void ShowFailureDialog(const std::wstring& title, const std::wstring& message) {
    MessageBoxW(nullptr, message.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

ComApartment::ComApartment()
    : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
    if (initialised_) {
        CoUninitialize();
    }
}

Win32WindowEngine::Win32WindowEngine(EngineHost host, FailureDialog dialog)
    : host_(std::move(host)), dialog_(std::move(dialog)) {}

Win32WindowEngine::~Win32WindowEngine() = default;

std::string Win32WindowEngine::Open(int& /*argc*/, char** /*argv*/) {
    apartment_.emplace();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return {};
}

void Win32WindowEngine::ShowFailure(const std::string& message) {
    dialog_(Widen(host_.title), Widen(message));
}

std::string Win32WindowEngine::ShowForm(const Form& form) {
    ReleaseOwnConsole();
    window_ = std::make_unique<FormWindow>(form);
    if (window_->Create(GetModuleHandleW(nullptr)) == nullptr) {
        return "cannot create the window (error " + std::to_string(GetLastError()) + ")";
    }
    ShowWindow(window_->Handle(), SW_SHOWDEFAULT);
    UpdateWindow(window_->Handle());
    SetFocus(GetNextDlgTabItem(window_->Handle(), nullptr, FALSE));
    return {};
}

int Win32WindowEngine::Run() {
    return RunMessageLoop(window_->Handle());
}

std::unique_ptr<WindowEngine> CreateWindowEngine(const EngineHost& host, std::string& /*failure*/) {
    return std::make_unique<Win32WindowEngine>(host, ShowFailureDialog);
}

} // namespace platform
