// frmQuillantern's Win32 window: the frame, the fifteen child controls laid
// out from the twips table, the message loop and the top-level error report.
#pragma once

#include "win32/windows_api.hpp"

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "base/failure.hpp"
#include "form/form.hpp"
#include "form/layout.hpp"
#include "win32/accessible_names.hpp"
#include "win32/clipboard_port.hpp"
#include "win32/color_dialog.hpp"
#include "win32/control_adapters.hpp"
#include "win32/gdi_object.hpp"

namespace quill::win32 {

class FormWindow {
public:
    static constexpr const wchar_t* kClassName = L"frmQuillantern";
    static constexpr const wchar_t* kTitle = L"Quillantern";

    // Creates the window centred on the screen, shows it, and runs the message
    // loop until the window is gone. Returns the program's exit code: 0 after
    // a normal close, non-zero after a failure was reported.
    static int Run(HINSTANCE instance, int show_command);

    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

private:
    static constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    static constexpr DWORD kExStyle = 0;
    static constexpr int kFailureExitCode = 1;

    FormWindow() = default;

    static void RegisterClass(HINSTANCE instance);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

    void OnCreate();
    void OnCommand(int id, int notification);
    LRESULT OnCtlColor(HDC dc);
    void OnActivate(bool active);
    void OnDpiChanged(UINT dpi, const RECT& suggested);

    void CreateControls();
    // Sets the children's font for dpi and lays them out at layout_dpi_: dpi,
    // or as at a higher DPI where a label's or button's text would not fit
    // in that font (the window grows; no text is clipped).
    void ApplyDpi(UINT dpi);
    // What each label's and button's text needs to show whole on one line
    // in font (form/layout.hpp's LayoutDpiForTexts finds the layout for
    // it); nothing without a font or a device context to measure in.
    using TextNeeds = std::array<PixelSize, kControls.size()>;
    std::optional<TextNeeds> MeasureTexts(HFONT font) const;
    // Sizes the frame so that the client area is 4800 x 2760 twips at the
    // layout DPI, its frame that of dpi, then moves it to top_left, or
    // centres it on the screen when null.
    void PlaceWithClientSize(UINT dpi, const POINT* top_left);
    HWND Control(ControlId id) const;

    // The top-level error report: a modal message with the failure's number
    // and description, after which the window is destroyed and the program
    // ends with kFailureExitCode.
    void ReportAndEnd(std::uint32_t number, const std::string& description);

    HWND window_ = nullptr;
    std::array<HWND, kControls.size()> controls_{};
    UniqueFont font_;
    UINT layout_dpi_ = 96;
    HWND focus_ = nullptr;  // the control to give focus back to on activation
    int exit_code_ = 0;
    bool ending_ = false;
    std::optional<Failure> create_failure_;

    std::optional<SwatchWindow> sh_;
    std::unique_ptr<ComDlgColorDialog> cmDlg_;
    std::optional<EditTextBox> txtColor_, txtRed_, txtGreen_, txtBlue_, txtHexa_;
    std::optional<SystemClipboard> clipboard_;
    std::optional<frmQuillantern> form_;
    std::array<AccessibleName, kLabelledBoxes.size()> accessible_names_;
};

}  // namespace quill::win32
