#pragma once

// Internal to the Win32 engine: Enter or a double-click from a record's line
// to its other line, Alt+Left and Backspace back, typed positions, and each
// list's counts over its frame's caption.

#include "platform/Form.h"
#include "platform/ListNavigation.h"

#include <map>
#include <string>
#include <vector>
#include <windows.h>

namespace platform {

class ListNavigation {
public:
    ListNavigation() = default;
    ListNavigation(const ListNavigation&) = delete;
    ListNavigation& operator=(const ListNavigation&) = delete;

    // The form's list views that lead somewhere, and the counts over their
    // frames; `controls` are the form's windows, parallel to its controls.
    void Start(HWND form, const Form& lines, const std::vector<HWND>& controls);
    // The caption tips where the frames now are.
    void PlaceCaptionTips();
    // For WM_GETDLGCODE: Enter goes to the list, not to the dialog manager.
    bool WantsMessage(HWND list, const MSG* message) const;
    // Enter, Alt+Left, Backspace and digits: true for a message taken.
    bool OnMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    // A double-click on a line does what Enter does.
    void OnDoubleClick(HWND list, int row);
    // What the list shows, then its counts; "" for a list without.
    std::wstring Description(HWND list) const;

private:
    struct Line {
        HWND list;
        int row;
    };
    struct Caption {
        HWND frame;
        HWND list;
        std::wstring counts;
    };
    void Follow(HWND list, int row);
    void GoBack();
    void GoToTyped(HWND list, int digit);
    static void MoveTo(HWND list, int row);

    HWND form_ = nullptr;
    HWND tips_ = nullptr; // the caption tips, when a list has counts
    std::map<std::string, HWND> byName_;
    std::map<HWND, const ListBox*> lines_;
    std::map<HWND, std::wstring> descriptions_;
    std::vector<Caption> captions_;
    BackHistory<Line> history_;
    TypedPosition typed_;
};

} // namespace platform
