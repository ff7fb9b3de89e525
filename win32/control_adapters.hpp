// The form's controls over real Win32 windows and system services.
#pragma once

#include "window/win32_util.hpp"

#include <commdlg.h>

#include <array>
#include <string>

#include "window/clipboard_writer.hpp"
#include "window/controls.hpp"

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

// The colour dialog component over ChooseColorW. comdlg32 is loaded the first
// time the dialog is shown, not at start-up, and stays loaded for the run.
// The component keeps its colour and its custom colours between uses; only a
// confirmed dialog changes the colour.
class ComDlgColorDialog final : public ColorDialog {
public:
    explicit ComDlgColorDialog(HWND owner);
    ~ComDlgColorDialog() override;
    ComDlgColorDialog(const ComDlgColorDialog&) = delete;
    ComDlgColorDialog& operator=(const ComDlgColorDialog&) = delete;

    void ShowColor() override;
    std::int32_t Color() const override { return static_cast<std::int32_t>(color_); }

private:
    using ChooseColorFn = BOOL(WINAPI*)(CHOOSECOLORW*);
    using ExtendedErrorFn = DWORD(WINAPI*)();

    HWND owner_;
    HMODULE comdlg32_ = nullptr;  // with its two entry points, once first needed
    ChooseColorFn choose_color_ = nullptr;
    ExtendedErrorFn extended_error_ = nullptr;
    COLORREF color_ = RGB(0, 0, 0);
    std::array<COLORREF, 16> custom_colors_;
};

// The clipboard operations over the Win32 clipboard API.
class SystemClipboardPort final : public ClipboardPort {
public:
    explicit SystemClipboardPort(HWND owner) : owner_(owner) {}
    void Open() override;
    void Close() noexcept override;
    void Empty() override;
    void* AllocateText(const std::wstring& text) override;
    void SetUnicodeText(void* block) override;
    void Free(void* block) noexcept override;
    void Sleep(unsigned milliseconds) noexcept override;

private:
    HWND owner_;
};

class SystemClipboard final : public Clipboard {
public:
    explicit SystemClipboard(HWND owner) : port_(owner) {}
    void SetText(const std::wstring& text) override { WriteClipboardText(port_, text); }

private:
    SystemClipboardPort port_;
};

}  // namespace quill::win32
