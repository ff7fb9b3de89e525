// Quillantern: pick a colour, read it as decimal, channels and HTML code.
// The program takes no arguments and reads no files, settings or environment.
#include "win32/dll_search.hpp"
#include "win32/form_window.hpp"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    // Before anything loads a DLL: never from the folder the program lies in.
    quill::win32::RestrictDllSearch(quill::win32::SystemDllSearchApi());
    return quill::win32::FormWindow::Run(instance, show_command);
}
