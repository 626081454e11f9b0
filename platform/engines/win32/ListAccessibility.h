#pragma once

// Internal to the Win32 engine: what a screen reader reads from a list view.

#include "platform/Form.h"

#include <string>
#include <windows.h>

namespace platform {

// The answer to WM_GETOBJECT for a list view's client object: the system's
// own object for it, with each line's tip as that line's description, and
// `description` (if any) as the list's own. Zero where that cannot be had;
// the system answers then.
LRESULT AccessibleListObject(HWND list, WPARAM wParam, const ListBox& lines,
                             const std::wstring& description);

} // namespace platform
