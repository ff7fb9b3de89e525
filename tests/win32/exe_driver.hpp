// Drives a real Quillantern.exe from another process, the way a person or an
// accessibility tool would: finds its windows, reads texts and rectangles,
// presses keys and the mouse, reads pixels and the clipboard. Every wait is
// bounded; the process is ended when the ExeDriver goes out of scope.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quill::test {

using namespace std::chrono_literals;

// The program under test, beside this test program.
std::wstring ProgramPath();

// Polls until done() is true or timeout passes; returns done()'s last answer.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s);

std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);  // WM_GETTEXT, which works across processes
RECT ClientRectOnScreen(HWND window);
RECT RectInParent(HWND child);  // the child's window rectangle in its parent's client coordinates

// Real input, delivered to whatever has the focus.
void PressKey(WORD key, bool shift = false, bool control = false);
void TypeText(const std::wstring& text);
void ClickAt(POINT screen_point);

COLORREF PixelAt(POINT screen_point);

// The visible frmQuillantern window of process pid, if there is one.
HWND VisibleFormWindowOf(DWORD pid);

// Clipboard access that retries briefly while another program holds it.
bool ReadClipboardText(std::wstring& text, UINT format = CF_UNICODETEXT);
bool PutClipboardText(const std::wstring& text);

class ExeDriver {
public:
    // Launches program (by default the Quillantern.exe beside the tests) and
    // waits for its window to be shown.
    explicit ExeDriver(const std::wstring& program = ProgramPath());
    ~ExeDriver();
    ExeDriver(const ExeDriver&) = delete;
    ExeDriver& operator=(const ExeDriver&) = delete;

    HWND main() const { return main_; }
    HWND Control(int id) const;
    std::wstring Text(int id) const { return TextOf(Control(id)); }
    HWND Focus() const;  // the control with keyboard focus
    bool Activate();     // brings the window to the front for input
    bool Running() const;
    DWORD WaitForExit(std::chrono::milliseconds timeout = 10s);  // the exit code; STILL_ACTIVE on timeout
    DWORD process_id() const { return info_.dwProcessId; }
    HANDLE process() const { return info_.hProcess; }

    // Posts a button's click, as the button itself reports one.
    void PostClick(int id) const;

    // The colour dialog, when it is showing (owned by the main window).
    HWND ColorDialog() const;
    HWND WaitForColorDialog(std::chrono::milliseconds timeout = 10s) const;
    // The first message box the program shows, when it is showing.
    HWND MessageBox() const;

    // Picks a colour through the real colour dialog: opens it, types the
    // channels, confirms, and waits until all read-outs show the pick.
    // Returns false if any of that did not happen in time.
    bool Pick(int red, int green, int blue);
    bool CancelDialog(HWND dialog) const;

private:
    HWND OwnedWindow(const wchar_t* window_class) const;

    PROCESS_INFORMATION info_{};
    HWND main_ = nullptr;
};

}  // namespace quill::test
