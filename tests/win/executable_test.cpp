// Quillantern.exe stays one small file that needs nothing but Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "app.hpp"

namespace quill::test {
namespace {

std::vector<unsigned char> ReadProgram() {
    std::vector<unsigned char> bytes;
    HANDLE file = CreateFileW(ProgramPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

// The names of the DLLs the executable imports, read from its PE headers.
std::set<std::string> ImportedDlls(const std::vector<unsigned char>& image) {
    std::set<std::string> names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    const auto to_offset = [&](DWORD rva) -> std::size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const auto& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData)) {
                return rva - s.VirtualAddress + s.PointerToRawData;
            }
        }
        return 0;
    };
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + to_offset(dir.VirtualAddress));
         d->Name != 0; ++d) {
        std::string name(reinterpret_cast<const char*>(image.data() + to_offset(d->Name)));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        names.insert(name);
    }
    return names;
}

TEST(Executable, IsASmall32BitGuiProgram) {
    const auto image = ReadProgram();
    ASSERT_GT(image.size(), 1024u);
    EXPECT_LE(image.size(), 256u * 1024u) << "the size budget is 256 KB";
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST(Executable, ImportsOnlyWindowsSystemDlls) {
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"};
    const std::set<std::string> imports = ImportedDlls(ReadProgram());
    EXPECT_TRUE(imports.count("kernel32.dll") && imports.count("user32.dll")) << "imports were not read";
    for (const std::string& name : imports) {
        EXPECT_TRUE(system.count(name)) << name << " is not one of the expected system DLLs";
    }
    // The colour dialog's DLL is loaded when first needed, not at start-up.
    EXPECT_FALSE(imports.count("comdlg32.dll"));
}

}  // namespace
}  // namespace quill::test
