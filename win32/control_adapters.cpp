#include "window/win32_controls.hpp"

#include <commdlg.h>

#include <cstring>

#include "colour/colour.hpp"

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
            const COLORREF inside = (fill & kHasFill) ? static_cast<COLORREF>(fill & 0x00FFFFFF)
                                                      : GetSysColor(COLOR_BTNFACE);
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

// ---- ComDlgColorDialog -------------------------------------------------------

ComDlgColorDialog::ComDlgColorDialog(HWND owner) : owner_(owner) {
    custom_colors_.fill(RGB(255, 255, 255));
}

ComDlgColorDialog::~ComDlgColorDialog() {
    if (comdlg32_) FreeLibrary(comdlg32_);
}

void ComDlgColorDialog::ShowColor() {
    if (!choose_color_) {
        if (!comdlg32_) {
            // From the system directory only, never from beside the program.
            wchar_t path[MAX_PATH] = {};
            const UINT length = GetSystemDirectoryW(path, MAX_PATH);
            if (length == 0 || length + 14 >= MAX_PATH) RaiseLastError("Finding the colour dialog");
            wcscat(path, L"\\comdlg32.dll");
            comdlg32_ = LoadLibraryW(path);
            if (!comdlg32_) RaiseLastError("Loading the colour dialog");
        }
        const auto choose_color = reinterpret_cast<ChooseColorFn>(
            reinterpret_cast<void*>(GetProcAddress(comdlg32_, "ChooseColorW")));
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

// ---- SystemClipboardPort -----------------------------------------------------

void SystemClipboardPort::Open() {
    if (!OpenClipboard(owner_)) RaiseLastError("Opening the clipboard");
}

void SystemClipboardPort::Close() noexcept { CloseClipboard(); }

void SystemClipboardPort::Empty() {
    if (!EmptyClipboard()) RaiseLastError("Emptying the clipboard");
}

void* SystemClipboardPort::AllocateText(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);  // the terminator too
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block) RaiseLastError("Allocating memory for the clipboard");
    auto* target = static_cast<wchar_t*>(GlobalLock(block));
    if (!target) {
        const DWORD error = GetLastError();
        GlobalFree(block);
        Raise(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE, "Allocating memory for the clipboard");
    }
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(block);
    return block;
}

void SystemClipboardPort::SetUnicodeText(void* block) {
    if (!SetClipboardData(CF_UNICODETEXT, static_cast<HGLOBAL>(block))) {
        RaiseLastError("Putting the text on the clipboard");
    }
}

void SystemClipboardPort::Free(void* block) noexcept { GlobalFree(static_cast<HGLOBAL>(block)); }

void SystemClipboardPort::Sleep(unsigned milliseconds) noexcept { ::Sleep(milliseconds); }

}  // namespace quill::win32
