// Where the simulated loader looks for a library's imports, by the flags of
// the load and the process's search settings.
#include <gtest/gtest.h>

#include <string>

#include "platform/host/sim.h"

namespace {

constexpr DWORD kControlFlags =
    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32;

// kNarrowed: SetDefaultDllDirectories(SYSTEM32) took first; kOld: kernel32
// lacks it.
enum class Loader { kNarrowed, kStandard, kOld };

struct SearchCase {
  const char* name;
  Loader loader;
  const char* dll_directory;  // SetLibraryFolder's folder; nullptr: never called
  const char* path;           // what LoadLibraryFrom is given
  DWORD flags;
  const char* import_at;  // the one import's file
  DWORD error;            // 0: the library loads
};

class SimSearchTest : public ::testing::TestWithParam<SearchCase> {
 protected:
  void SetUp() override { sim::Reset(); }
};

TEST_P(SimSearchTest, FindsImportsWhereTheLoaderLooks) {
  const SearchCase& c = GetParam();
  sim::SetModuleFileName("D:\\SETUP.EXE");
  sim::MakeDirectory("D:\\LIB");
  sim::MakeDirectory("D:\\CTRL");
  ASSERT_TRUE(SetWorkingFolder("D:\\CTRL"));
  sim::AddLibrary("D:\\LIB\\A.OCX", {}, {"HELPER.DLL"});
  sim::AddLibrary(c.import_at, {});
  sim::SetDefaultDllDirectoriesPresent(c.loader != Loader::kOld);
  if (c.loader == Loader::kNarrowed) {
    FARPROC entry = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    ASSERT_NE(nullptr, entry);
    using Proc = BOOL(WINAPI*)(DWORD);
    ASSERT_TRUE(
        reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(entry))(LOAD_LIBRARY_SEARCH_SYSTEM32));
  }
  if (c.dll_directory != nullptr) {
    ASSERT_TRUE(SetLibraryFolder(c.dll_directory));
  }
  HMODULE library = LoadLibraryFrom(c.path, nullptr, c.flags);
  EXPECT_EQ(c.error == 0, library != nullptr);
  if (c.error != 0) {
    EXPECT_EQ(c.error, GetLastError());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SimSearchTest,
    ::testing::Values(
        SearchCase{"FlagsOwnFolder", Loader::kNarrowed, "D:\\CTRL", "D:\\LIB\\A.OCX", kControlFlags,
                   "D:\\LIB\\HELPER.DLL", 0},
        SearchCase{"FlagsDllDirectory", Loader::kNarrowed, "D:\\CTRL", "D:\\LIB\\A.OCX",
                   kControlFlags, "D:\\CTRL\\HELPER.DLL", 0},
        SearchCase{"FlagsSystemFolder", Loader::kNarrowed, "", "D:\\LIB\\A.OCX", kControlFlags,
                   "C:\\WINDOWS\\SYSTEM32\\HELPER.DLL", 0},
        // Neither the exe's folder nor the working directory is searched.
        SearchCase{"FlagsNotTheExesFolder", Loader::kNarrowed, "", "D:\\LIB\\A.OCX", kControlFlags,
                   "D:\\HELPER.DLL", ERROR_MOD_NOT_FOUND},
        SearchCase{"FlagsNotTheWorkingDirectory", Loader::kNarrowed, "", "D:\\LIB\\A.OCX",
                   kControlFlags, "D:\\CTRL\\HELPER.DLL", ERROR_MOD_NOT_FOUND},
        SearchCase{"FlagsNeedAFullPath", Loader::kNarrowed, "D:\\CTRL", "..\\LIB\\A.OCX",
                   kControlFlags, "D:\\LIB\\HELPER.DLL", ERROR_INVALID_PARAMETER},
        SearchCase{"FlagsDoNotMixWithTheAlteredOrder", Loader::kNarrowed, nullptr, "D:\\LIB\\A.OCX",
                   kControlFlags | LOAD_WITH_ALTERED_SEARCH_PATH, "D:\\LIB\\HELPER.DLL",
                   ERROR_INVALID_PARAMETER},
        SearchCase{"FlagsUnknownToAnOldLoader", Loader::kOld, nullptr, "D:\\LIB\\A.OCX",
                   kControlFlags, "D:\\LIB\\HELPER.DLL", ERROR_INVALID_PARAMETER},
        // Narrowed: a load without flags searches the system folder only.
        SearchCase{"NarrowedPlainLoad", Loader::kNarrowed, nullptr, "D:\\LIB\\A.OCX", 0,
                   "D:\\HELPER.DLL", ERROR_MOD_NOT_FOUND},
        SearchCase{"PlainLoadExesFolder", Loader::kStandard, nullptr, "D:\\LIB\\A.OCX", 0,
                   "D:\\HELPER.DLL", 0},
        SearchCase{"AlteredWorkingDirectory", Loader::kStandard, nullptr, "D:\\LIB\\A.OCX",
                   LOAD_WITH_ALTERED_SEARCH_PATH, "D:\\CTRL\\HELPER.DLL", 0},
        // An empty DLL directory takes the working directory out.
        SearchCase{"AlteredEmptyDllDirectory", Loader::kStandard, "", "D:\\LIB\\A.OCX",
                   LOAD_WITH_ALTERED_SEARCH_PATH, "D:\\CTRL\\HELPER.DLL", ERROR_MOD_NOT_FOUND},
        SearchCase{"AlteredDllDirectory", Loader::kStandard, "D:\\CTRL", "D:\\LIB\\A.OCX",
                   LOAD_WITH_ALTERED_SEARCH_PATH, "D:\\CTRL\\HELPER.DLL", 0}),
    [](const ::testing::TestParamInfo<SearchCase>& info) { return info.param.name; });

}  // namespace
