// The Win32 window engine: what assistive technology and the shell read from
// the window, through the same interfaces they use.

#include "FormWindow.h"
#include "frmQuorvale.h"

#include <gtest/gtest.h>
#include <oleacc.h>
#include <string>
#include <vector>

namespace {

class ComApartment {
public:
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

// The list views among the window's children, in creation (tab) order.
std::vector<HWND> ListViewsOf(HWND window) {
    std::vector<HWND> lists;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[64] = {};
        GetClassNameW(child, className, 64);
        if (std::wstring(className) == WC_LISTVIEWW) {
            lists.push_back(child);
        }
    }
    return lists;
}

// The name a screen reader announces for the window's client object.
std::wstring AccessibleNameOf(HWND window) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible)))) {
        return L"<no accessible object>";
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring result = L"<no name>";
    if (accessible->get_accName(self, &name) == S_OK && name != nullptr) {
        result.assign(name, SysStringLen(name));
        SysFreeString(name);
    }
    accessible->Release();
    return result;
}

class Win32Accessibility : public testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        ASSERT_NE(window_.Create(GetModuleHandleW(nullptr)), nullptr);
    }

    ComApartment apartment_;
    platform::Form form_{QuorvaleProject().startupForm};
    platform::FormWindow window_{form_};
};

TEST_F(Win32Accessibility, ListViewsAreNamedAfterTheirFramesInTabOrder) {
    const std::vector<HWND> lists = ListViewsOf(window_.Handle());
    ASSERT_EQ(lists.size(), 4U);
    const wchar_t* expected[] = {L"Input Data", L"Output Data", L"Not Placed Data", L"Errors"};
    for (std::size_t i = 0; i < lists.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(AccessibleNameOf(lists[i]), expected[i]);
    }
}

TEST_F(Win32Accessibility, WindowClassCarriesTheProgramIcon) {
    const auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(window_.Handle(), GCLP_HICON));
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(icon, LoadIconW(nullptr, MAKEINTRESOURCEW(32512))); // not IDI_APPLICATION
    EXPECT_NE(FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(platform::ProgramIconId),
                            MAKEINTRESOURCEW(14)), // RT_GROUP_ICON
              nullptr);
}

} // namespace
