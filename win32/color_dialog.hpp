// cmDlg, the colour dialog component, over the system's ChooseColorW.
#pragma once

#include "win32/windows_api.hpp"

#include <commdlg.h>

#include <array>

#include "form/controls.hpp"

namespace quill::win32 {

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

}  // namespace quill::win32
