// The program never loads a DLL that merely lies beside it, as happens in a
// download folder; and the restriction is chosen right on every system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exe_driver.hpp"
// After windows.h, which it needs.
#include <tlhelp32.h>
#include "win32/dll_search.hpp"

namespace quill::test {
namespace {

// ---- the choice at program entry, over fake kernel32 entry points ----------

struct FakeKernel {
    static inline BOOL default_result, directory_result;
    static inline std::vector<std::wstring> calls;
    static BOOL WINAPI SetDefault(DWORD flags) {
        calls.push_back(L"default:" + std::to_wstring(flags));
        return default_result;
    }
    static BOOL WINAPI SetDirectory(LPCWSTR path) {
        calls.push_back(L"directory:" + std::wstring(path ? path : L"(null)"));
        return directory_result;
    }
};

TEST(DllSearch, RestrictsToTheSystemFolderElseDropsTheCurrentFolder) {
    using win32::DllSearch;
    const std::wstring system32 = L"default:" + std::to_wstring(LOAD_LIBRARY_SEARCH_SYSTEM32);
    struct Case {
        bool has_default;
        BOOL default_result, directory_result;
        DllSearch expected;
        std::vector<std::wstring> calls;
    } cases[] = {
        {true, TRUE, TRUE, DllSearch::SystemFolderOnly, {system32}},
        {false, FALSE, TRUE, DllSearch::WithoutCurrentFolder, {L"directory:"}},
        {true, FALSE, TRUE, DllSearch::WithoutCurrentFolder, {system32, L"directory:"}},
        {false, FALSE, FALSE, DllSearch::Unrestricted, {L"directory:"}},
    };
    for (const Case& c : cases) {
        FakeKernel::default_result = c.default_result;
        FakeKernel::directory_result = c.directory_result;
        FakeKernel::calls.clear();
        win32::DllSearchApi api;
        api.set_default_dll_directories = c.has_default ? &FakeKernel::SetDefault : nullptr;
        api.set_dll_directory = &FakeKernel::SetDirectory;
        EXPECT_EQ(win32::RestrictDllSearch(api), c.expected) << c.has_default << c.default_result;
        EXPECT_EQ(FakeKernel::calls, c.calls);
    }
    // The real system (Wine, like Windows 8 and later) has the first.
    EXPECT_NE(win32::SystemDllSearchApi().set_default_dll_directories, nullptr);
}

// ---- a download folder with planted DLLs -----------------------------------

// DLLs that comdlg32, comctl32, shell32 and their dependencies load by name
// and that are not the system's known DLLs.
const wchar_t* const kPlantedNames[] = {
    L"shcore.dll",  L"uxtheme.dll",  L"dwmapi.dll",   L"propsys.dll", L"cryptbase.dll",
    L"version.dll", L"winspool.drv", L"comctl32.dll", L"shell32.dll", L"shlwapi.dll",
};

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

class DownloadFolder {
public:
    DownloadFolder() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"quill-download-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~DownloadFolder() {
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((path_ + L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((path_ + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// The modules of process that were loaded from folder.
std::vector<std::wstring> ModulesFrom(DWORD process, const std::wstring& folder) {
    std::vector<std::wstring> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    for (BOOL more = Module32FirstW(snapshot, &module); more; more = Module32NextW(snapshot, &module)) {
        if (lstrcmpiW(Folder(module.szExePath).c_str(), folder.c_str()) == 0 &&
            lstrcmpiW(module.szModule, L"Quillantern.exe") != 0) {
            found.push_back(module.szModule);
        }
    }
    CloseHandle(snapshot);
    return found;
}

TEST(SafeLoading, DllsBesideTheProgramAreNeverLoaded) {
    DownloadFolder download;
    const std::wstring program = download.path() + L"Quillantern.exe";
    ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), program.c_str(), FALSE));
    const std::wstring planted = Folder(ProgramPath()) + L"planted.dll";
    for (const wchar_t* name : kPlantedNames) {
        ASSERT_TRUE(CopyFileW(planted.c_str(), (download.path() + name).c_str(), FALSE)) << name;
    }
    {
        ExeDriver app(program);
        ASSERT_NE(app.main(), nullptr) << "the copy in the download folder did not start";
        EXPECT_TRUE(app.Pick(255, 128, 0)) << "a pick through the real dialog works there";
        // Wine lists a DLL that it found beside the program but serves from its
        // own built-in code under the path it found; its start-up maps
        // version.dll so before the program's first instruction (Windows'
        // start-up loads no such DLL for this program). Anything else listed
        // was loaded through a search the program should have restricted.
        std::vector<std::wstring> loaded = ModulesFrom(app.process_id(), download.path());
        std::erase_if(loaded, [](const std::wstring& name) { return lstrcmpiW(name.c_str(), L"version.dll") == 0; });
        EXPECT_EQ(loaded, std::vector<std::wstring>{});
        PostMessageW(app.main(), WM_CLOSE, 0, 0);
        EXPECT_EQ(app.WaitForExit(), 0u);
    }
    for (const wchar_t* name : kPlantedNames) {
        const std::wstring marker = download.path() + name + L".loaded";
        EXPECT_EQ(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES)
            << "loaded from beside the program: " << std::string(name, name + wcslen(name));
    }
}

}  // namespace
}  // namespace quill::test
