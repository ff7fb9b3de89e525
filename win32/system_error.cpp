#include "window/win32_util.hpp"

#include <cwchar>

#include "colour/colour.hpp"

namespace quill::win32 {

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                            nullptr);
    }
    return out;
}

std::wstring ToWide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

std::string SystemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer) text.assign(buffer, length);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    if (text.empty()) return "Error " + FormatDecimal(static_cast<std::int32_t>(error));
    return ToUtf8(text);
}

void Raise(DWORD error, std::string_view operation) {
    throw Failure(error, std::string(operation) + ": " + SystemMessage(error));
}

void RaiseLastError(std::string_view operation) {
    const DWORD error = GetLastError();
    Raise(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE, operation);
}

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
