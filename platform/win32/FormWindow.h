#pragma once

// Internal to the platform layer and its own tests: the Win32 realisation of
// a loaded form.

#include "platform/Form.h"

// commctrl.h needs the types of windows.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace platform {

// The DPI that the form's twips are laid out for: 15 twips per pixel.
inline constexpr UINT DesignDpi = 96;

// The resource ID of the program's icon.
inline constexpr int ProgramIconId = 1;

// The window frmQuorvale and its controls, as a top-level window. Every
// control is a direct child of the form, so that the list views'
// notifications reach it; a list box's place inside its frame is added up
// here. Each list view carries its accessible name and description. Needs the
// list view class registered (InitCommonControlsEx).
class FormWindow {
public:
    explicit FormWindow(const Form& form) : form_(form) {}
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;
    ~FormWindow();

    // Creates the window and its controls, not yet shown. Null on failure.
    HWND Create(HINSTANCE instance);
    HWND Handle() const { return window_; }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls(HINSTANCE instance);
    void DescribeForAccessibility(HWND list, const ControlDescription& control) const;
    void UpdateFont();
    void Arrange();
    void ShowLine(NMLVDISPINFOW& info) const;
    void ShowTip(NMLVGETINFOTIPW& info) const;

    const Form& form_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    UINT dpi_ = DesignDpi;
    std::vector<HWND> controls_; // parallel to the description's controls
    std::map<HWND, const ListBox*> lines_;
    HWND lastFocus_ = nullptr;
    bool closing_ = false; // destroyed by its owner, not by the user
};

// Shows a fatal error to the user: title and message.
using FailureDialog = std::function<void(const std::wstring& title, const std::wstring& message)>;

// The modal message box that the program uses.
void ShowFailureDialog(const std::wstring& title, const std::wstring& message);

// The whole window run: load, show, run until closed. On a failure of the
// load the report goes to standard error and to the dialog, and no window is
// created. Returns the exit status.
int RunFormWindow(const ProjectDescription& project, int argc, char** argv,
                  const FailureDialog& dialog);

} // namespace platform
