// The form's text boxes and swatch over real Win32 child windows.
#pragma once

#include <string>

#include "form/controls.hpp"
#include "win32/windows_api.hpp"

namespace quill::win32 {

// A read-only Edit control.
class EditTextBox final : public TextBox {
public:
    EditTextBox(HWND edit, const char* name) : edit_(edit), name_(name) {}
    std::wstring Text() const override;
    void SetText(const std::wstring& text) override;

private:
    HWND edit_;
    const char* name_;
};

// The swatch: a child window of its own class that paints an opaque
// rectangle with a thin border, filled with the colour it was last given
// (the button-face colour until then).
class SwatchWindow final : public Swatch {
public:
    static constexpr const wchar_t* kClassName = L"QuillanternSwatch";
    static void RegisterClass(HINSTANCE instance);

    explicit SwatchWindow(HWND window) : window_(window) {}
    void SetFillColor(std::int32_t color) override;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    HWND window_;
};

}  // namespace quill::win32
