#include "exe_driver.hpp"

#include <cstring>
#include <cwchar>
#include <thread>

#include "form/layout.hpp"

namespace quill::test {

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir + L"Quillantern.exe";
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"<hung>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text.resize(copied);
    return text;
}

RECT ClientRectOnScreen(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT RectInParent(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

namespace {

INPUT Key(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Lets the target process take in what was sent before the next input.
void Settle() { std::this_thread::sleep_for(60ms); }

}  // namespace

void PressKey(WORD key, bool shift, bool control) {
    std::vector<INPUT> inputs;
    if (control) inputs.push_back(Key(VK_CONTROL, false));
    if (shift) inputs.push_back(Key(VK_SHIFT, false));
    inputs.push_back(Key(key, false));
    inputs.push_back(Key(key, true));
    if (shift) inputs.push_back(Key(VK_SHIFT, true));
    if (control) inputs.push_back(Key(VK_CONTROL, true));
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Settle();
}

void TypeText(const std::wstring& text) {
    for (const wchar_t ch : text) {
        INPUT input[2] = {};
        for (int i = 0; i < 2; ++i) {
            input[i].type = INPUT_KEYBOARD;
            input[i].ki.wScan = ch;
            input[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0);
        }
        SendInput(2, input, sizeof(INPUT));
    }
    Settle();
}

void ClickAt(POINT p) {
    // Absolute coordinates are in 0..65535 across the primary screen.
    INPUT input[3] = {};
    for (auto& i : input) {
        i.type = INPUT_MOUSE;
        i.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        i.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    // Wine drops the very first move of a new desktop: move until the
    // pointer is really there, then press.
    WaitUntil(
        [&] {
            SendInput(1, &input[0], sizeof(INPUT));
            Settle();
            POINT at{};
            GetCursorPos(&at);
            return at.x == p.x && at.y == p.y;
        },
        3s);
    SendInput(2, &input[1], sizeof(INPUT));
    Settle();
}

COLORREF PixelAt(POINT p) {
    HDC screen = GetDC(nullptr);
    const COLORREF color = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return color;
}

HWND VisibleFormWindowOf(DWORD pid) {
    HWND found = nullptr;
    while ((found = FindWindowExW(nullptr, found, L"frmQuillantern", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(found, &owner);
        if (owner == pid && IsWindowVisible(found)) return found;
    }
    return nullptr;
}

namespace {

bool OpenClipboardPatiently() {
    return WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2s);
}

}  // namespace

bool ReadClipboardText(std::wstring& text, UINT format) {
    if (!OpenClipboardPatiently()) return false;
    bool ok = false;
    if (HANDLE data = GetClipboardData(format)) {
        if (const void* p = GlobalLock(data)) {
            if (format == CF_TEXT) {
                const std::string narrow(static_cast<const char*>(p));
                text.assign(narrow.begin(), narrow.end());
            } else {
                text = static_cast<const wchar_t*>(p);
            }
            GlobalUnlock(data);
            ok = true;
        }
    }
    CloseClipboard();
    return ok;
}

bool PutClipboardText(const std::wstring& text) {
    if (!OpenClipboardPatiently()) return false;
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool ok = false;
    if (block) {
        std::memcpy(GlobalLock(block), text.c_str(), bytes);
        GlobalUnlock(block);
        ok = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
        if (!ok) GlobalFree(block);
    }
    CloseClipboard();
    return ok;
}

// ---- ExeDriver --------------------------------------------------------------------

ExeDriver::ExeDriver(const std::wstring& program) {
    std::wstring command = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
        return;
    }
    WaitUntil([this] { return (main_ = VisibleFormWindowOf(info_.dwProcessId)) != nullptr; });
    if (main_) {
        // Ready once it answers messages.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    }
}

ExeDriver::~ExeDriver() {
    if (info_.hProcess) {
        if (Running()) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

HWND ExeDriver::Control(int id) const { return GetDlgItem(main_, id); }

HWND ExeDriver::Focus() const {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (!GetGUIThreadInfo(info_.dwThreadId, &gui)) return nullptr;
    return gui.hwndFocus;
}

bool ExeDriver::Activate() {
    SetForegroundWindow(main_);
    return WaitUntil([this] { return GetForegroundWindow() == main_; }, 3s);
}

bool ExeDriver::Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

DWORD ExeDriver::WaitForExit(std::chrono::milliseconds timeout) {
    if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        return STILL_ACTIVE;
    }
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void ExeDriver::PostClick(int id) const {
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(id)));
}

HWND ExeDriver::OwnedWindow(const wchar_t* window_class) const {
    HWND found = nullptr;
    while ((found = FindWindowExW(nullptr, found, window_class, nullptr)) != nullptr) {
        if (GetWindow(found, GW_OWNER) == main_ && IsWindowVisible(found)) return found;
    }
    return nullptr;
}

HWND ExeDriver::ColorDialog() const { return OwnedWindow(L"#32770"); }

HWND ExeDriver::MessageBox() const { return OwnedWindow(L"#32770"); }

HWND ExeDriver::WaitForColorDialog(std::chrono::milliseconds timeout) const {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = ColorDialog()) != nullptr; }, timeout);
    return dialog;
}

bool ExeDriver::CancelDialog(HWND dialog) const {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    return WaitUntil([&] { return !IsWindow(dialog); });
}

bool ExeDriver::Pick(int red, int green, int blue) {
    PostClick(kIdCommand1);
    HWND dialog = WaitForColorDialog();
    if (!dialog) return false;
    // The colour dialog's red, green and blue boxes.
    SetDlgItemTextW(dialog, 706, std::to_wstring(red).c_str());
    SetDlgItemTextW(dialog, 707, std::to_wstring(green).c_str());
    SetDlgItemTextW(dialog, 708, std::to_wstring(blue).c_str());
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    const int color = red | (green << 8) | (blue << 16);
    wchar_t hex[8] = {};
    swprintf(hex, 8, L"%02X%02X%02X", red, green, blue);
    return WaitUntil([&] {
        return !IsWindow(dialog) && Text(kIdTxtHexa) == hex && Text(kIdTxtColor) == std::to_wstring(color) &&
               Text(kIdTxtBlue) == std::to_wstring(blue);
    });
}

}  // namespace quill::test
