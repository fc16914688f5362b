// The resources of the built program, read back through the Windows API the way Explorer and
// installers read them. The programs to check are named on the command line.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Version.h"

namespace {

std::vector<std::string> gPrograms;

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct GroupIconHeader {
  WORD reserved, type, count;
};
#pragma pack(pop)

class ProgramResources : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    module = ::LoadLibraryExA(GetParam().c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << GetParam() << ": error " << ::GetLastError();
  }
  void TearDown() override {
    if (module != nullptr) ::FreeLibrary(module);
  }
  std::string Resource(LPCSTR type, LPCSTR name) {
    HRSRC found = ::FindResourceA(module, name, type);
    if (found == nullptr) return {};
    const auto* data = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    return std::string(data, ::SizeofResource(module, found));
  }
  HMODULE module = nullptr;
};

TEST_P(ProgramResources, VersionResourceNamesTheProductAndItsVersion) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(GetParam().c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(::GetFileVersionInfoA(GetParam().c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  // The version in CMakeLists.txt, as its generated header gives it.
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(QUILLET_VERSION_MS));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(QUILLET_VERSION_LS));
  EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(QUILLET_VERSION_MS));
  EXPECT_EQ(fixed->dwProductVersionLS, static_cast<DWORD>(QUILLET_VERSION_LS));

  WORD* translation = nullptr;
  ASSERT_TRUE(::VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0409) << "English (United States)";
  EXPECT_EQ(translation[1], 1200) << "code page 1200";

  for (const auto& [name, expected] : std::vector<std::pair<std::string, std::string>>{
           {"FileVersion", QUILLET_VERSION_TEXT}, {"ProductVersion", QUILLET_VERSION_TEXT},
           {"ProductName", "Setup"}}) {
    char* value = nullptr;
    const std::string path = "\\StringFileInfo\\040904b0\\" + name;
    ASSERT_TRUE(::VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
        << name;
    EXPECT_EQ(std::string(value), expected) << name;
  }
}

TEST_P(ProgramResources, OneIconGroupWithTheThreeClassicImages) {
  std::vector<std::string> groups;
  ::EnumResourceNamesA(
      module, RT_GROUP_ICON,
      [](HMODULE, LPCSTR, LPSTR name, LONG_PTR found) -> BOOL {
        reinterpret_cast<std::vector<std::string>*>(found)->push_back(
            IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&groups));
  ASSERT_EQ(groups.size(), 1u);

  const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(1));
  ASSERT_GE(group.size(), sizeof(GroupIconHeader));
  const auto* header = reinterpret_cast<const GroupIconHeader*>(group.data());
  ASSERT_EQ(header->count, 3);
  const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
  const struct {
    int size, colours, bits;
  } expected[] = {{32, 16, 4}, {32, 2, 1}, {16, 16, 4}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(entries[i].width, expected[i].size) << "image " << i;
    EXPECT_EQ(entries[i].height, expected[i].size) << "image " << i;
    EXPECT_EQ(entries[i].colourCount, expected[i].colours) << "image " << i;
    EXPECT_EQ(entries[i].bitCount, expected[i].bits) << "image " << i;
    const std::string image = Resource(RT_ICON, MAKEINTRESOURCEA(entries[i].id));
    EXPECT_EQ(image.size(), entries[i].bytes) << "image " << i;
    HICON icon = ::CreateIconFromResourceEx(
        reinterpret_cast<PBYTE>(const_cast<char*>(image.data())), static_cast<DWORD>(image.size()),
        TRUE, 0x00030000, expected[i].size, expected[i].size, LR_DEFAULTCOLOR);
    EXPECT_NE(icon, nullptr) << "image " << i << " is a valid icon";
    if (icon != nullptr) ::DestroyIcon(icon);
  }
}

TEST_P(ProgramResources, ManifestAsksForAdministratorRights) {
  const std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1));
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
}

INSTANTIATE_TEST_SUITE_P(Built, ProgramResources, ::testing::ValuesIn(gPrograms));

}  // namespace

int main(int argc, char** argv) {
  // The programs are known before the parameterised tests are registered by InitGoogleTest.
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]).rfind("--", 0) != 0) gPrograms.emplace_back(argv[i]);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
