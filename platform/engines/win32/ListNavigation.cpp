#include "ListNavigation.h"

#include "FormWindow.h"

#include <commctrl.h>

namespace platform {

namespace {

bool Held(int key) {
    return GetKeyState(key) < 0;
}

int FocusedRow(HWND list) {
    return ListView_GetNextItem(list, -1, LVNI_FOCUSED);
}

} // namespace

void ListNavigation::Start(HWND form, const Form& lines, const std::vector<HWND>& controls) {
    form_ = form;
    const auto& descriptions = lines.Description().controls;
    std::map<std::string, HWND> byControl;
    for (std::size_t i = 0; i < descriptions.size(); ++i) {
        byControl[descriptions[i].name] = controls[i];
    }
    for (const ControlDescription& control : descriptions) {
        if (control.kind != ControlKind::ListBox || !lines.ListBoxNamed(control.name).Navigates()) {
            continue;
        }
        const ListBox& list = lines.ListBoxNamed(control.name);
        const HWND handle = byControl.at(control.name);
        byName_[control.name] = handle;
        lines_[handle] = &list;
        const std::string counts = list.Counts();
        descriptions_[handle] = Widen(DescriptionWithCounts(control.description, counts));
        if (const auto frame = byControl.find(control.container); frame != byControl.end()) {
            captions_.push_back({frame->second, handle, Widen(counts)});
        }
    }
    if (captions_.empty()) {
        return;
    }
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    // A frame lets the mouse through to the form: the tools are parts of it.
    for (std::size_t i = 0; i < captions_.size(); ++i) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = form;
        tool.uId = i;
        tool.lpszText = captions_[i].counts.data();
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

// Over each frame from its top edge down to its list: the caption.
void ListNavigation::PlaceCaptionTips() {
    for (std::size_t i = 0; tips_ != nullptr && i < captions_.size(); ++i) {
        RECT frame{};
        GetWindowRect(captions_[i].frame, &frame);
        RECT list{};
        GetWindowRect(captions_[i].list, &list);
        frame.bottom = list.top;
        MapWindowPoints(HWND_DESKTOP, form_, reinterpret_cast<POINT*>(&frame), 2);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = form_;
        tool.uId = i;
        tool.rect = frame;
        SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

bool ListNavigation::WantsMessage(HWND list, const MSG* message) const {
    return message != nullptr && lines_.count(list) != 0 && message->message == WM_KEYDOWN &&
           message->wParam == VK_RETURN;
}

bool ListNavigation::OnMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (lines_.count(list) == 0) {
        return false;
    }
    const bool control = Held(VK_CONTROL);
    const bool shift = Held(VK_SHIFT);
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_RETURN && !control && !shift) {
            Follow(list, FocusedRow(list));
            return true;
        }
        if (wParam == VK_BACK && !control && !shift) {
            GoBack();
            return true;
        }
        return false;
    case WM_SYSKEYDOWN: // a key with Alt held
        if (wParam == VK_LEFT && (lParam & (1 << 29)) != 0 && !control && !shift) {
            GoBack();
            return true;
        }
        return false;
    case WM_CHAR:
        // Before the view's own type-ahead, which would look for the digit
        // at the start of a line; Enter and Backspace were taken as keys.
        if (wParam >= L'0' && wParam <= L'9' && !control) {
            GoToTyped(list, static_cast<int>(wParam - L'0'));
            return true;
        }
        return wParam == L'\r' || wParam == L'\b';
    default:
        return false;
    }
}

std::wstring ListNavigation::Description(HWND list) const {
    const auto description = descriptions_.find(list);
    return description != descriptions_.end() ? description->second : std::wstring();
}

void ListNavigation::OnDoubleClick(HWND list, int row) {
    if (lines_.count(list) != 0 && row >= 0) {
        Follow(list, row);
    }
}

void ListNavigation::Follow(HWND list, int row) {
    const ListBox::LineInList to = lines_.at(list)->Follow(row);
    if (to.list == nullptr) {
        return; // a heading, a blank line
    }
    const auto target = byName_.find(to.list);
    if (target == byName_.end()) {
        return;
    }
    history_.Push({list, row});
    MoveTo(target->second, to.index);
}

void ListNavigation::GoBack() {
    if (const std::optional<Line> line = history_.Pop()) {
        MoveTo(line->list, line->row);
    }
}

// Type-ahead: the line of the record at the position typed so far, or the
// system's beep and no move when this list has none.
void ListNavigation::GoToTyped(HWND list, int digit) {
    const std::int32_t position = typed_.Add(list, digit, TypedPosition::Clock::now());
    const std::int32_t line = position >= 0 ? lines_.at(list)->LineOfPosition(position) : -1;
    if (line < 0) {
        MessageBeep(MB_OK);
        return;
    }
    const int current = FocusedRow(list);
    if (line == current) {
        return;
    }
    if (typed_.FirstMove() && current >= 0) {
        history_.Push({list, current});
    }
    MoveTo(list, line);
}

// Focuses the list on the line, selected and in view, and tells a screen
// reader about the line as an arrow key would: it reads the line and its
// tip.
void ListNavigation::MoveTo(HWND list, int row) {
    if (row < 0 || row >= ListView_GetItemCount(list)) {
        return;
    }
    SetFocus(list);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    const UINT state = LVIS_FOCUSED | LVIS_SELECTED;
    ListView_SetItemState(list, row, state, state);
    ListView_SetSelectionMark(list, row);
    ListView_EnsureVisible(list, row, FALSE);
    NotifyWinEvent(EVENT_OBJECT_FOCUS, list, OBJID_CLIENT, row + 1);
}

} // namespace platform
