// make bench: start-up time of Quillantern against the baseline, the time
// the colour dialog takes to appear and the read-outs to fill, and the
// executable's size and imports. Measures and prints; asserts nothing.
//   bench_launcher.exe [ROUNDS]     (default 40, after 3 warm-up rounds each)
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "form/layout.hpp"
#include "tests/win32/exe_driver.hpp"
#include "tests/win32/pe_imports.hpp"

namespace {

std::wstring Beside(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir + name;
}

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Found {
    DWORD pid;
    HWND window;
};

BOOL CALLBACK FindVisibleTopLevel(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == found->pid && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// Milliseconds from process creation until its main window is visible,
// answers a message and has nothing left to paint. Leaves the process
// running; returns its window through window_out.
double StartUntilReady(const std::wstring& exe, PROCESS_INFORMATION& info, HWND& window_out) {
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const double start = Now();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "cannot start %ls\n", exe.c_str());
        std::exit(1);
    }
    Found found{info.dwProcessId, nullptr};
    while (Now() - start < 20000) {
        found.window = nullptr;
        EnumWindows(FindVisibleTopLevel, reinterpret_cast<LPARAM>(&found));
        if (found.window) {
            DWORD_PTR ignored = 0;
            if (SendMessageTimeoutW(found.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) &&
                !GetUpdateRect(found.window, nullptr, FALSE)) {
                window_out = found.window;
                return Now() - start;
            }
        }
        Sleep(1);
    }
    std::fprintf(stderr, "%ls did not become ready in 20 s\n", exe.c_str());
    std::exit(1);
}

void Stop(PROCESS_INFORMATION& info, HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A distribution-free 95% confidence interval for the median, from order
// statistics (normal approximation to the binomial).
std::pair<double, double> MedianInterval(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const double n = static_cast<double>(v.size());
    const double half = 1.96 * std::sqrt(n) / 2;
    const auto lo = static_cast<std::size_t>(std::max(0.0, std::floor(n / 2 - half)));
    const auto hi = static_cast<std::size_t>(std::min(n - 1, std::ceil(n / 2 + half)));
    return {v[lo], v[hi]};
}

HWND OwnedDialog(HWND owner) {
    HWND found = nullptr;
    while ((found = FindWindowExW(nullptr, found, L"#32770", nullptr)) != nullptr) {
        if (GetWindow(found, GW_OWNER) == owner && IsWindowVisible(found)) return found;
    }
    return nullptr;
}

// Times the choose-colour command: click -> dialog visible, OK -> read-outs.
void TimeDialog(const std::wstring& exe, int rounds) {
    PROCESS_INFORMATION info{};
    HWND window = nullptr;
    StartUntilReady(exe, info, window);
    std::vector<double> open_ms, fill_ms;
    for (int i = 0; i < rounds; ++i) {
        HWND button = GetDlgItem(window, quill::kIdCommand1);
        const double click = Now();
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(quill::kIdCommand1, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        HWND dialog = nullptr;
        while (!(dialog = OwnedDialog(window)) && Now() - click < 10000) Sleep(1);
        if (!dialog) break;
        open_ms.push_back(Now() - click);
        const int red = (i * 53) % 256;
        wchar_t hex[8];
        swprintf(hex, 8, L"%02X%02X%02X", red, 0, 0);
        SetDlgItemTextW(dialog, 706, std::to_wstring(red).c_str());
        SetDlgItemTextW(dialog, 707, L"0");
        SetDlgItemTextW(dialog, 708, L"0");
        const double ok = Now();
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        while (quill::test::TextOf(GetDlgItem(window, quill::kIdTxtHexa)) != hex && Now() - ok < 10000) Sleep(1);
        fill_ms.push_back(Now() - ok);
    }
    Stop(info, window);
    if (open_ms.empty() || fill_ms.empty()) {
        std::printf("colour dialog: did not open\n");
        return;
    }
    std::printf("click -> colour dialog visible: first %.1f ms, then median %.1f ms (%zu opens)\n", open_ms[0],
                Median(std::vector<double>(open_ms.begin() + 1, open_ms.end())), open_ms.size() - 1);
    std::printf("OK -> all five read-outs filled: median %.1f ms\n", Median(fill_ms));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(5, _wtoi(argv[1])) : 40;
    const std::wstring program = Beside(L"Quillantern.exe"), baseline = Beside(L"bench_baseline.exe");

    std::vector<double> ours, base, ratios;
    for (int i = -3; i < rounds; ++i) {  // three warm-up rounds
        PROCESS_INFORMATION info{};
        HWND window = nullptr;
        const double b = StartUntilReady(baseline, info, window);
        Stop(info, window);
        const double q = StartUntilReady(program, info, window);
        Stop(info, window);
        if (i < 0) continue;
        base.push_back(b);
        ours.push_back(q);
        ratios.push_back(q / b);
    }
    const auto [lo, hi] = MedianInterval(ratios);
    std::printf("start-up to a visible, painted, answering window (%d rounds, alternating):\n", rounds);
    std::printf("  Quillantern median %.1f ms, baseline median %.1f ms\n", Median(ours), Median(base));
    std::printf("  ratio median %.3f (95%% CI %.3f .. %.3f); budget 1.10\n", Median(ratios), lo, hi);

    TimeDialog(program, 21);

    const auto image = quill::test::ReadWholeFile(program);
    std::printf("Quillantern.exe: %zu bytes (%.1f KB; budget 256 KB), imports:", image.size(),
                static_cast<double>(image.size()) / 1024.0);
    for (const auto& dll : quill::test::ImportedDlls(image)) std::printf(" %s", dll.c_str());
    std::printf("\n");
    return 0;
}
