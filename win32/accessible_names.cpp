#include "win32/accessible_names.hpp"

// GUIDs defined here, not taken from an import library.
#include <initguid.h>
#include <ole2.h>
#include <oleacc.h>

#include <new>
#include <utility>

#include "win32/dll_search.hpp"

namespace quill::win32 {

namespace {

// oleacc, ole32 and oleaut32, loaded from the system folder with the first
// request of a screen reader, never at start-up.
struct AccessibilityApi {
    decltype(&CreateStdAccessibleObject) create_std_accessible = nullptr;
    decltype(&LresultFromObject) lresult_from_object = nullptr;
    decltype(&CoCreateInstance) co_create_instance = nullptr;
    decltype(&SysAllocString) sys_alloc_string = nullptr;

    // Null when any of it is unavailable.
    static const AccessibilityApi* Get() {
        static const AccessibilityApi* const api = Load();
        return api;
    }

private:
    template <typename Function>
    static void Find(HMODULE module, const char* name, Function& function) {
        function = module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    }

    static const AccessibilityApi* Load() {
        static AccessibilityApi api;
        const HMODULE oleacc = LoadSystemLibrary(L"oleacc.dll");
        const HMODULE ole32 = LoadSystemLibrary(L"ole32.dll");
        const HMODULE oleaut32 = LoadSystemLibrary(L"oleaut32.dll");
        Find(oleacc, "CreateStdAccessibleObject", api.create_std_accessible);
        Find(oleacc, "LresultFromObject", api.lresult_from_object);
        Find(ole32, "CoCreateInstance", api.co_create_instance);
        Find(oleaut32, "SysAllocString", api.sys_alloc_string);
        decltype(&CoInitializeEx) co_initialize = nullptr;
        Find(ole32, "CoInitializeEx", co_initialize);
        if (!api.create_std_accessible || !api.lresult_from_object || !api.co_create_instance ||
            !api.sys_alloc_string || !co_initialize) {
            return nullptr;
        }
        // Handing an object to a client marshals it: the thread needs COM.
        // It stays initialised for the rest of the run.
        const HRESULT com = co_initialize(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(com) && com != RPC_E_CHANGED_MODE) return nullptr;
        return &api;
    }
};

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The system's standard accessible object for a text box, with the box's
// name replaced; everything else is the standard object's own answer.
class NamedAccessible final : public IAccessible {
public:
    NamedAccessible(IAccessible* standard, const std::wstring& name, const AccessibilityApi& api)
        : standard_(standard), name_(name), api_(api) {}

    // IUnknown. Other interfaces (IEnumVARIANT, IOleWindow, ...) are the
    // standard object's.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return standard_->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // The name.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!IsSelf(child)) return standard_->get_accName(child, name);
        if (!name) return E_POINTER;
        *name = api_.sys_alloc_string(name_.c_str());
        return *name ? S_OK : E_OUTOFMEMORY;
    }

    // IDispatch and the rest of IAccessible: the standard object's answers.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argument) override {
        return standard_->Invoke(id, iid, locale, flags, params, result, exception, argument);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return standard_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return standard_->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return standard_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return standard_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return standard_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return standard_->get_accFocus(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return standard_->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return standard_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return standard_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

private:
    ~NamedAccessible() { standard_->Release(); }

    LONG references_ = 1;
    IAccessible* standard_;
    std::wstring name_;
    const AccessibilityApi& api_;
};

// Dynamic Annotation: the name for clients that read it instead of asking
// the box (UI Automation's proxies on Windows). Wine answers E_NOTIMPL; the
// WM_GETOBJECT answer covers it there. Best effort, once per box.
void Annotate(HWND box, const std::wstring& name, const AccessibilityApi& api) {
    IAccPropServices* services = nullptr;
    if (SUCCEEDED(api.co_create_instance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                         reinterpret_cast<void**>(&services)))) {
        services->SetHwndPropStr(box, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name.c_str());
        services->Release();
    }
}

}  // namespace

AccessibleName::~AccessibleName() {
    if (box_ && original_ && IsWindow(box_)) {
        SetWindowLongPtrW(box_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        SetWindowLongPtrW(box_, GWLP_USERDATA, 0);
    }
}

void AccessibleName::Attach(HWND box, std::wstring name) {
    box_ = box;
    name_ = std::move(name);
    SetWindowLongPtrW(box_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(box_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AccessibleName::Procedure)));
}

LRESULT CALLBACK AccessibleName::Procedure(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<AccessibleName*>(GetWindowLongPtrW(box, GWLP_USERDATA));
    if (!self) return DefWindowProcW(box, message, wparam, lparam);
    if (message == WM_GETOBJECT) {
        if (const LRESULT answer = self->OnGetObject(wparam, lparam)) return answer;
    }
    return CallWindowProcW(self->original_, box, message, wparam, lparam);
}

LRESULT AccessibleName::OnGetObject(WPARAM wparam, LPARAM lparam) {
    const AccessibilityApi* api = AccessibilityApi::Get();
    if (!api) return 0;  // the standard answer, unnamed, is still better than none
    if (!annotated_) {
        annotated_ = true;
        Annotate(box_, name_, *api);
    }
    if (static_cast<LONG>(lparam) != static_cast<LONG>(OBJID_CLIENT)) return 0;
    IAccessible* standard = nullptr;
    if (FAILED(api->create_std_accessible(box_, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&standard))) ||
        !standard) {
        return 0;
    }
    auto* named = new (std::nothrow) NamedAccessible(standard, name_, *api);
    if (!named) {
        standard->Release();
        return 0;
    }
    const LRESULT answer = api->lresult_from_object(__uuidof(IAccessible), wparam, named);
    named->Release();
    return answer > 0 ? answer : 0;
}

}  // namespace quill::win32
