// Quillantern.exe stays one small file that needs nothing but Windows.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "exe_driver.hpp"
#include "pe_imports.hpp"

namespace quill::test {
namespace {

std::vector<unsigned char> ReadProgram() { return ReadWholeFile(ProgramPath()); }

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
