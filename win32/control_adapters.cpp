#include "win32/control_adapters.hpp"

#include "win32/dpi.hpp"
#include "win32/system_error.hpp"

namespace quill::win32 {

// ---- EditTextBox -----------------------------------------------------------

std::wstring EditTextBox::Text() const {
    SetLastError(ERROR_SUCCESS);
    const int length = GetWindowTextLengthW(edit_);
    if (length == 0 && GetLastError() != ERROR_SUCCESS) RaiseLastError(std::string("Reading ") + name_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SetLastError(ERROR_SUCCESS);
    const int copied = GetWindowTextW(edit_, text.data(), length + 1);
    if (copied == 0 && GetLastError() != ERROR_SUCCESS) RaiseLastError(std::string("Reading ") + name_);
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

void EditTextBox::SetText(const std::wstring& text) {
    if (!SetWindowTextW(edit_, text.c_str())) RaiseLastError(std::string("Writing ") + name_);
}

// ---- SwatchWindow ------------------------------------------------------------

namespace {

// The swatch keeps its fill in its window's extra bytes: the colour in the
// low 24 bits, and kHasFill once it was given one.
constexpr LONG_PTR kHasFill = 0x01000000;

}  // namespace

void SwatchWindow::RegisterClass(HINSTANCE instance) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &SwatchWindow::Procedure;
    window_class.cbWndExtra = sizeof(LONG_PTR);
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kClassName;
    if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        RaiseLastError("Registering the swatch");
    }
}

void SwatchWindow::SetFillColor(std::int32_t color) {
    SetLastError(ERROR_SUCCESS);
    const LONG_PTR fill = kHasFill | (static_cast<LONG_PTR>(color) & 0x00FFFFFF);
    if (!SetWindowLongPtrW(window_, 0, fill) && GetLastError() != ERROR_SUCCESS) {
        RaiseLastError("Filling the swatch");
    }
    if (!InvalidateRect(window_, nullptr, FALSE)) RaiseLastError("Filling the swatch");
    UpdateWindow(window_);
}

LRESULT CALLBACK SwatchWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT:
        case WM_PRINTCLIENT: {
            PAINTSTRUCT paint{};
            HDC dc = message == WM_PAINT ? BeginPaint(window, &paint) : reinterpret_cast<HDC>(wparam);
            RECT rect{};
            GetClientRect(window, &rect);
            const LONG_PTR fill = GetWindowLongPtrW(window, 0);
            const COLORREF inside =
                (fill & kHasFill) ? static_cast<COLORREF>(fill & 0x00FFFFFF) : GetSysColor(COLOR_BTNFACE);
            // A border one pixel thick per 96 DPI, in the window-text colour.
            const int border = static_cast<int>((DpiForWindow(window) + 48) / 96);
            HGDIOBJ old_brush = SelectObject(dc, GetStockObject(DC_BRUSH));
            SetDCBrushColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            PatBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, PATCOPY);
            SetDCBrushColor(dc, inside);
            PatBlt(dc, rect.left + border, rect.top + border, rect.right - rect.left - 2 * border,
                   rect.bottom - rect.top - 2 * border, PATCOPY);
            SelectObject(dc, old_brush);
            if (message == WM_PAINT) EndPaint(window, &paint);
            return 0;
        }
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace quill::win32
