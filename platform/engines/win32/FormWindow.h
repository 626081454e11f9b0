#pragma once

// Internal to the platform layer and its own tests: the Win32 realisation of
// a loaded form.

#include "ListNavigation.h"
#include "WindowEngine.h"
#include "platform/Form.h"

// commctrl.h needs the types of windows.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <functional>
#include <map>
#include <memory>
#include <optional>
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
// here. Each list view carries its accessible name and description, and its
// lines' tips as theirs. Besides the list views' own keys, Shift+F1 shows the
// focused line's tip at the line, Ctrl+C copies that line and Ctrl+Shift+C
// every line of the list. The list with the focus has its edge drawn in a
// colour that stands out. Needs the list view class registered
// (InitCommonControlsEx).
class FormWindow {
public:
    explicit FormWindow(const Form& form) : form_(form) {}
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;
    ~FormWindow();

    // Creates the window and its controls, not yet shown, within the work
    // area of its monitor. Null on failure.
    HWND Create(HINSTANCE instance);
    HWND Handle() const { return window_; }
    // Makes the window fit this area of the screen: never larger than it,
    // nor smaller than designed where it has room, and inside it.
    void FitInto(const RECT& workArea);

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK ListProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR id, DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnListKey(HWND list, WPARAM key);
    SIZE SmallestSize() const;
    void CreateControls(HINSTANCE instance);
    void DescribeForAccessibility(HWND list, const ControlDescription& control) const;
    void UpdateFont();
    void Arrange();
    void ShowLine(NMLVDISPINFOW& info) const;
    void ShowTip(NMLVGETINFOTIPW& info) const;
    void ShowTipAtFocusedLine(HWND list);
    void HideTip();
    void CopyLines(HWND list, bool all) const;
    void PaintFocusMark(HWND list, HDC dc) const;

    const Form& form_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    UINT dpi_ = DesignDpi;
    std::vector<HWND> controls_; // parallel to the description's controls
    std::map<HWND, const ListBox*> lines_;
    HWND lastFocus_ = nullptr;
    HWND tip_ = nullptr;   // the tip that Shift+F1 shows, made when first asked for
    SIZE workArea_{};      // the screen's room for the window
    bool closing_ = false; // destroyed by its owner, not by the user
    ListNavigation navigation_;
};

// UTF-8 to UTF-16.
std::wstring Widen(std::string_view text);

// Shows a fatal error to the user: title and message.
using FailureDialog = std::function<void(const std::wstring& title, const std::wstring& message)>;

// The modal message box that the program uses.
void ShowFailureDialog(const std::wstring& title, const std::wstring& message);

// COM for the thread, as long as it lives: assistive technology talks to
// the lists through it.
class ComApartment {
public:
    ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment();

private:
    bool initialised_;
};

// The window engine on Win32, linked into the program.
class Win32WindowEngine : public WindowEngine {
public:
    Win32WindowEngine(EngineHost host, FailureDialog dialog);
    ~Win32WindowEngine() override;

    std::string Open(int& argc, char** argv) override;
    void ShowFailure(const std::string& message) override;
    std::string ShowForm(const Form& form) override;
    int Run() override;

    FormWindow* Window() const { return window_.get(); }

private:
    EngineHost host_;
    FailureDialog dialog_;
    std::optional<ComApartment> apartment_;
    std::unique_ptr<FormWindow> window_; // goes before the apartment
};

} // namespace platform
