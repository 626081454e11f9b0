#include "ListAccessibility.h"

#include "FormWindow.h"

#include <oleacc.h>
#include <string>
#include <utility>

namespace platform {

namespace {

// Loaded when assistive technology first asks, so that a run without any
// loads neither library.
struct AccessibilityFunctions {
    decltype(&CreateStdAccessibleObject) createStandardObject = nullptr;
    decltype(&LresultFromObject) resultFromObject = nullptr;
    decltype(&SysAllocStringLen) allocateString = nullptr;

    AccessibilityFunctions() {
        const HMODULE oleacc = LoadLibraryW(L"oleacc.dll");
        const HMODULE oleaut32 = LoadLibraryW(L"oleaut32.dll");
        if (oleacc == nullptr || oleaut32 == nullptr) {
            return;
        }
        Find(oleacc, "CreateStdAccessibleObject", createStandardObject);
        Find(oleacc, "LresultFromObject", resultFromObject);
        Find(oleaut32, "SysAllocStringLen", allocateString);
    }
    bool Loaded() const {
        return createStandardObject != nullptr && resultFromObject != nullptr &&
               allocateString != nullptr;
    }

private:
    template <typename Function>
    static void Find(HMODULE library, const char* name, Function& function) {
        function =
            reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    }
};

const AccessibilityFunctions& Functions() {
    static const AccessibilityFunctions functions;
    return functions;
}

// The system's object for a list view, which knows its lines as children
// 1 to n, with each line's tip as its description. Everything else is the
// system object's: this one only adds.
class DescribedList final : public IAccessible {
public:
    DescribedList(IAccessible* system, const ListBox& lines, std::wstring description)
        : system_(system), lines_(lines), description_(std::move(description)) {}
    DescribedList(const DescribedList&) = delete;
    DescribedList& operator=(const DescribedList&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == IID_IUnknown || id == IID_IDispatch || id == IID_IAccessible) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        // Its children's enumeration and its window are the system object's.
        return system_->QueryInterface(id, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        // The list's own, with its counts: annotations need not reach
        // through this object.
        if (child.vt == VT_I4 && child.lVal == CHILDID_SELF && !description_.empty()) {
            *description = Functions().allocateString(description_.data(),
                                                      static_cast<UINT>(description_.size()));
            return *description != nullptr ? S_OK : E_OUTOFMEMORY;
        }
        if (child.vt == VT_I4 && child.lVal > 0 && child.lVal <= lines_.ListCount()) {
            const std::wstring tip = Widen(lines_.Tip(child.lVal - 1));
            if (!tip.empty()) {
                *description =
                    Functions().allocateString(tip.data(), static_cast<UINT>(tip.size()));
                return *description != nullptr ? S_OK : E_OUTOFMEMORY;
            }
        }
        return system_->get_accDescription(child, description);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return system_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return system_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return system_->GetIDsOfNames(id, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        return system_->Invoke(member, id, locale, flags, parameters, result, exception,
                               argumentError);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return system_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        return system_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return system_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return system_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return system_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return system_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return system_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return system_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return system_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return system_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return system_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return system_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return system_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return system_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        return system_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return system_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
        return system_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return system_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return system_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return system_->put_accValue(child, value);
    }

private:
    ~DescribedList() { system_->Release(); }

    IAccessible* system_;
    const ListBox& lines_;
    std::wstring description_;
    LONG references_ = 1;
};

} // namespace

LRESULT AccessibleListObject(HWND list, WPARAM wParam, const ListBox& lines,
                             const std::wstring& description) {
    if (!Functions().Loaded()) {
        return 0;
    }
    IAccessible* system = nullptr;
    if (FAILED(Functions().createStandardObject(list, OBJID_CLIENT, IID_IAccessible,
                                                reinterpret_cast<void**>(&system)))) {
        return 0;
    }
    auto* described = new DescribedList(system, lines, description);
    const LRESULT result = Functions().resultFromObject(IID_IAccessible, wParam, described);
    described->Release();
    return result > 0 ? result : 0;
}

} // namespace platform
