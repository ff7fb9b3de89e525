#include "win32/color_dialog.hpp"

#include "colour/colour.hpp"
#include "win32/dll_search.hpp"
#include "win32/system_error.hpp"

namespace quill::win32 {

ComDlgColorDialog::ComDlgColorDialog(HWND owner) : owner_(owner) { custom_colors_.fill(RGB(255, 255, 255)); }

ComDlgColorDialog::~ComDlgColorDialog() {
    if (comdlg32_) FreeLibrary(comdlg32_);
}

void ComDlgColorDialog::ShowColor() {
    if (!choose_color_) {
        if (!comdlg32_) {
            // From the system directory only, never from beside the program.
            comdlg32_ = LoadSystemLibrary(L"comdlg32.dll");
            if (!comdlg32_) RaiseLastError("Loading the colour dialog");
        }
        const auto choose_color =
            reinterpret_cast<ChooseColorFn>(reinterpret_cast<void*>(GetProcAddress(comdlg32_, "ChooseColorW")));
        const auto extended_error = reinterpret_cast<ExtendedErrorFn>(
            reinterpret_cast<void*>(GetProcAddress(comdlg32_, "CommDlgExtendedError")));
        if (!choose_color || !extended_error) RaiseLastError("Loading the colour dialog");
        choose_color_ = choose_color;
        extended_error_ = extended_error;
    }

    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.rgbResult = color_;
    dialog.lpCustColors = custom_colors_.data();
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    if (choose_color_(&dialog)) {
        color_ = dialog.rgbResult;
        return;
    }
    // Cancel leaves everything as it was. (Some systems write the colour the
    // user was pointing at into rgbResult even then; it is not taken.)
    if (const DWORD error = extended_error_(); error != 0) {
        throw Failure(error, "The colour dialog failed (common dialog error " +
                                 FormatDecimal(static_cast<std::int32_t>(error)) + ")");
    }
}

}  // namespace quill::win32
