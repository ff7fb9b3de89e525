// The start-up baseline: the least Win32 program that shows the same fixed
// window as Quillantern, with the same fifteen plain child controls and font,
// and nothing else (no commands, no DPI handling, no error handling).
#include <windows.h>

namespace {

struct Child {
    const wchar_t* cls;
    DWORD style;
    DWORD ex_style;
    int x, y, w, h;  // pixels at 96 DPI
    const wchar_t* text;
};

const Child kChildren[] = {
    {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, 184, 8, 129, 25, L"Selecteaza culoarea.."},
    {L"EDIT", ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 64, 40, 113, 19, L""},
    {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, 184, 37, 129, 25, L"Copiaza in clipboard"},
    {L"STATIC", SS_NOPREFIX, 0, 8, 41, 41, 17, L"Zecimal:"},
    {L"EDIT", ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 64, 80, 113, 19, L""},
    {L"STATIC", SS_NOPREFIX, 0, 8, 81, 41, 17, L"Red:"},
    {L"EDIT", ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 64, 104, 113, 19, L""},
    {L"STATIC", SS_NOPREFIX, 0, 8, 105, 41, 17, L"Green:"},
    {L"EDIT", ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 64, 128, 113, 19, L""},
    {L"STATIC", SS_NOPREFIX, 0, 8, 129, 41, 17, L"Blue:"},
    {L"EDIT", ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 80, 160, 97, 19, L""},
    {L"STATIC", SS_NOPREFIX, 0, 8, 161, 73, 17, L"Hexa (HTML):"},
    {L"STATIC", SS_BLACKFRAME, 0, 8, 8, 169, 25, L""},
    {L"STATIC", SS_BLACKRECT, 0, 8, 72, 304, 1, L""},
    {L"STATIC", SS_BLACKRECT, 0, 8, 152, 304, 1, L""},
};

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"QuillBaseline";
    RegisterClassW(&wc);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT r{0, 0, 320, 184};
    AdjustWindowRect(&r, style, FALSE);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Baseline", style, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr, instance, nullptr);
    LOGFONTW lf{};
    lf.lfHeight = -11;
    lstrcpyW(lf.lfFaceName, L"MS Sans Serif");
    HFONT font = CreateFontIndirectW(&lf);
    for (const Child& c : kChildren) {
        HWND child = CreateWindowExW(c.ex_style, c.cls, c.text, WS_CHILD | WS_VISIBLE | c.style, c.x, c.y, c.w, c.h,
                                     window, nullptr, instance, nullptr);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DeleteObject(font);
    return 0;
}
