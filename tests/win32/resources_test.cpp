// The executable's version record and icon group.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exe_driver.hpp"

namespace quill::test {
namespace {

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value) return L"<missing>";
    return static_cast<const wchar_t*>(value);
}

TEST(Resources, VersionRecordNamesTheProgramAndVersion) {
    const std::wstring path = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    EXPECT_EQ(VersionString(block, L"FileVersion"), L"1.00");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), L"1.00");
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Quillantern");
    EXPECT_EQ(VersionString(block, L"InternalName"), L"Quillantern");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"Quillantern.exe");
    EXPECT_EQ(VersionString(block, L"CompanyName"), L"the Quillantern authors");
    EXPECT_EQ(VersionString(block, L"LegalCopyright"), L"Copyright (c) 2026 the Quillantern authors. MIT licence.");

    struct Translation {
        WORD language, code_page;
    }* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(
        VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, sizeof(Translation));
    EXPECT_EQ(translation->language, 0x0409);
    EXPECT_EQ(translation->code_page, 0x04B0);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bit_count;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(Resources, IconGroupHoldsTheThreeClassicImages) {
    HMODULE exe = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    ASSERT_NE(found, nullptr);
    const auto* group = static_cast<const WORD*>(LockResource(LoadResource(exe, found)));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group[2], 3) << "images in the group";
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(group + 3);
    std::vector<std::pair<int, int>> images;  // size, bits per pixel
    for (int i = 0; i < 3; ++i) {
        images.emplace_back(entries[i].width, entries[i].bit_count);
        EXPECT_NE(FindResourceW(exe, MAKEINTRESOURCEW(entries[i].id), reinterpret_cast<LPCWSTR>(RT_ICON)), nullptr);
    }
    EXPECT_EQ(images, (std::vector<std::pair<int, int>>{{32, 1}, {32, 4}, {16, 4}}));
    FreeLibrary(exe);
}

}  // namespace
}  // namespace quill::test
