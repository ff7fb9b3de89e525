// Where the program's DLLs may come from. A program that is run from a
// download folder must not load a DLL that merely lies beside it (binary
// planting): the system loads DLLs that our dependencies (comdlg32,
// comctl32, shell32, ...) ask for by name from the program's folder first,
// unless the default search was restricted before.
#pragma once

#include "win32/windows_api.hpp"

namespace quill::win32 {

// The two kernel32 entry points; set_default_dll_directories is null where
// the system lacks it (Windows 7 without KB2533623).
struct DllSearchApi {
    BOOL(WINAPI* set_default_dll_directories)(DWORD flags) = nullptr;
    BOOL(WINAPI* set_dll_directory)(LPCWSTR path) = nullptr;
};

enum class DllSearch {
    SystemFolderOnly,      // every later load searches the system folder only
    WithoutCurrentFolder,  // fallback: the current folder is out of the search
    Unrestricted,          // neither call was available or succeeded
};

// The running system's entry points, looked up by name so that the program
// still starts where one is missing.
DllSearchApi SystemDllSearchApi();

// Restricts the default DLL search as far as api allows. Call it first thing
// at program entry, before anything loads a DLL.
DllSearch RestrictDllSearch(const DllSearchApi& api) noexcept;

// Loads the system's own copy of a DLL, by its full path in the system
// folder; null (with the last error set) when that fails.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace quill::win32
