// The simulation reads version resources as Windows does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "components/file_version.h"
#include "platform/host/sim.h"
#include "tests/unit/version_data.h"

namespace {

constexpr const char* kFile = "C:\\WINDOWS\\SYSTEM32\\RUNTIME.DLL";

class VersionResourceTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::Reset(); }
  std::string block_;
  void Load(const char* data) {
    PutVersionData(kFile, data);
    DWORD handle = 0;
    DWORD size = GetVersionInfoSize(kFile, &handle);
    ASSERT_GT(size, 0u);
    block_.assign(size, '\0');
    ASSERT_TRUE(GetVersionInfo(kFile, handle, size, &block_[0]));
  }
  std::string Text(const char* sub_block) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(&block_[0], sub_block, &value, &length)) return "(absent)";
    return std::string(static_cast<const char*>(value));
  }
};

TEST_F(VersionResourceTest, StringsComeOutAsAnsiAndKeysIgnoreCase) {
  Load("versioned.dll");
  EXPECT_EQ("prelaunch test component", Text("\\StringFileInfo\\040904B0\\FileDescription"));
  EXPECT_EQ("2.10.0.5", Text("\\stringfileinfo\\040904b0\\FILEVERSION"));
  EXPECT_EQ("2.10.0.5", Text("StringFileInfo\\\\040904B0\\FileVersion\\"));
  EXPECT_EQ("", Text("\\StringFileInfo\\040904B0\\OLESelfRegister"));
  EXPECT_EQ("(absent)", Text("\\StringFileInfo\\040904B0\\FileVersio"));
  EXPECT_EQ("(absent)", Text("\\StringFileInfo\\040904B0\\FileVersionX"));
  EXPECT_EQ("(absent)", Text("\\StringFileInfo\\0C0A04E4\\FileVersion"));
}

TEST_F(VersionResourceTest, FixedInfoAndTranslationsAreBinary) {
  Load("first_translation.dll");
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(&block_[0], "\\", &value, &length));
  ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
  VS_FIXEDFILEINFO info;
  memcpy(&info, value, sizeof info);
  EXPECT_EQ(0xFEEF04BDu, info.dwSignature);
  EXPECT_EQ(0x0002000Au, info.dwFileVersionMS);
  EXPECT_EQ(0x00000005u, info.dwFileVersionLS);
  EXPECT_EQ(0x00070007u, info.dwProductVersionMS);
  ASSERT_TRUE(VerQueryValueA(&block_[0], "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(8u, length);
  DWORD translations[2];
  memcpy(translations, value, sizeof translations);
  EXPECT_EQ(0x04E40C0Au, translations[0]);
  EXPECT_EQ(0x04B00409u, translations[1]);
}

// A file cut anywhere is read without a fault: it has no version
// information, or (once the resource is whole) all of it.
TEST_F(VersionResourceTest, ACutFileNeverReadsPastItsEnd) {
  const std::string whole = VersionData("versioned.dll");
  DWORD handle = 0;
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    sim::WriteFile(kFile, whole.substr(0, cut));
    DWORD size = GetVersionInfoSize(kFile, &handle);
    if (size == 0) continue;
    std::string block(size, '\0');
    ASSERT_TRUE(GetVersionInfo(kFile, handle, size, &block[0])) << cut;
    EXPECT_EQ(1, CompareFileVersion(kFile, "2.10.0.5")) << cut;
  }
}

TEST_F(VersionResourceTest, TheSystemDirectoryFitsOrAsksForRoom) {
  sim::SetSystemDirectory("C:\\WINNT\\SYSTEM32");
  char buffer[18];
  EXPECT_EQ(18u, GetSystemFolder(buffer, 17));
  EXPECT_EQ(17u, GetSystemFolder(buffer, sizeof buffer));
  EXPECT_STREQ("C:\\WINNT\\SYSTEM32", buffer);
}

}  // namespace
