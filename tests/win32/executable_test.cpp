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

// The program these tests run is the shipped 32-bit one, or its x86-64 build
// where Wine runs only 64-bit programs; the 32-bit file is also read natively
// on every machine (tests/win32/shipped_exe_test.py).
#ifdef _WIN64
constexpr WORD kMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr WORD kOptionalHeaderMagic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
#else
constexpr WORD kMachine = IMAGE_FILE_MACHINE_I386;
constexpr WORD kOptionalHeaderMagic = IMAGE_NT_OPTIONAL_HDR32_MAGIC;
#endif

TEST(Executable, IsASmallGuiProgramForTheMachineOfThisBuild) {
    const auto image = ReadProgram();
    ASSERT_GT(image.size(), 1024u);
    EXPECT_LE(image.size(), 256u * 1024u) << "the size budget is 256 KB";
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
    ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt->FileHeader.Machine, kMachine);
    EXPECT_EQ(nt->OptionalHeader.Magic, kOptionalHeaderMagic);
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
