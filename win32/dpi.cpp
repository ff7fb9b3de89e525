#include "win32/dpi.hpp"

#include <cwchar>

namespace quill::win32 {

namespace {

// Entry points that only newer Windows has, looked up once by name so that
// the program still loads where they are missing.
struct DpiFunctions {
    UINT(WINAPI* get_dpi_for_window)(HWND) = nullptr;
    BOOL(WINAPI* adjust_window_rect_ex_for_dpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;

    DpiFunctions() {
        if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
            get_dpi_for_window = reinterpret_cast<decltype(get_dpi_for_window)>(
                reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
            adjust_window_rect_ex_for_dpi = reinterpret_cast<decltype(adjust_window_rect_ex_for_dpi)>(
                reinterpret_cast<void*>(GetProcAddress(user32, "AdjustWindowRectExForDpi")));
        }
    }
};

const DpiFunctions& Dpi() {
    static const DpiFunctions functions;
    return functions;
}

}  // namespace

UINT DpiForWindow(HWND window) {
    if (Dpi().get_dpi_for_window && window) {
        if (const UINT dpi = Dpi().get_dpi_for_window(window)) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96u;
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD ex_style, UINT dpi) {
    if (Dpi().adjust_window_rect_ex_for_dpi &&
        Dpi().adjust_window_rect_ex_for_dpi(&rect, style, FALSE, ex_style, dpi)) {
        return;
    }
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
}

UniqueFont CreateDialogFont(UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(8, static_cast<int>(dpi), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    wcscpy(font.lfFaceName, L"MS Sans Serif");
    return UniqueFont(CreateFontIndirectW(&font));
}

}  // namespace quill::win32
