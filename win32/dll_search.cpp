#include "win32/dll_search.hpp"

#include <string>

namespace quill::win32 {

DllSearchApi SystemDllSearchApi() {
    DllSearchApi api;
    if (HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll")) {
        api.set_default_dll_directories = reinterpret_cast<decltype(api.set_default_dll_directories)>(
            reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
        api.set_dll_directory = reinterpret_cast<decltype(api.set_dll_directory)>(
            reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDllDirectoryW")));
    }
    return api;
}

DllSearch RestrictDllSearch(const DllSearchApi& api) noexcept {
    if (api.set_default_dll_directories && api.set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return DllSearch::SystemFolderOnly;
    }
    // SetDllDirectoryW("") takes the current folder out of the search order.
    // It does not take out the program's own folder, which the system always
    // searches first: on such an old system that stays a risk, and the one
    // library the program loads itself (comdlg32) is loaded by full path.
    if (api.set_dll_directory && api.set_dll_directory(L"")) return DllSearch::WithoutCurrentFolder;
    return DllSearch::Unrestricted;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return LoadLibraryW(path.c_str());
}

}  // namespace quill::win32
