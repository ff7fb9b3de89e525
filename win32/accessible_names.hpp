// Screen readers name a text box by its own label.
//
// The system's accessibility proxy names an Edit control that has no name of
// its own after the nearest static text before it in z-order. Where the
// layout cannot put a box's label right before it (txtHexa must lie above
// Label5 where the two overlap), the box answers WM_GETOBJECT itself: the
// standard proxy for the box, with its name replaced by the label's text.
// On Windows the name is also set through Dynamic Annotation, which UI
// Automation's proxies read as well (Wine has no Dynamic Annotation).
//
// Nothing is loaded before a client asks: oleacc and COM come with the first
// WM_GETOBJECT that any box receives.
#pragma once

#include <string>

#include "win32/windows_api.hpp"

namespace quill::win32 {

class AccessibleName {
public:
    AccessibleName() = default;
    AccessibleName(const AccessibleName&) = delete;
    AccessibleName& operator=(const AccessibleName&) = delete;
    ~AccessibleName();

    // From now on screen readers name box `name`. The box is not given to
    // another AccessibleName.
    void Attach(HWND box, std::wstring name);

private:
    static LRESULT CALLBACK Procedure(HWND box, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnGetObject(WPARAM wparam, LPARAM lparam);

    HWND box_ = nullptr;
    WNDPROC original_ = nullptr;
    std::wstring name_;
    bool annotated_ = false;
};

}  // namespace quill::win32
