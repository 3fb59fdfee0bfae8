// CompareFileVersion and SupportsSelfRegister over real version resources.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "base/trace.h"
#include "components/file_version.h"
#include "launch_fixture.h"
#include "version_data.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kFile = "C:\\WINDOWS\\SYSTEM32\\RUNTIME.DLL";

class FileVersionTest : public LaunchTest {
 protected:
  void SetUp() override {
    LaunchTest::SetUp();
    TraceStart(1);
  }
  std::vector<std::string> TracesAfterStart() {
    std::vector<std::string> texts = TraceTexts();
    if (!texts.empty() && texts[0] == "Application Start") texts.erase(texts.begin());
    return texts;
  }
};

struct VersionCase {
  const char* required;
  int result;
};

class CompareTest : public FileVersionTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(CompareTest, FileVersion2_10_0_5AgainstTheRequiredVersion) {
  PutVersionData(kFile, "versioned.dll");
  EXPECT_EQ(GetParam().result, CompareFileVersion(kFile, GetParam().required));
  EXPECT_THAT(TracesAfterStart(),
              ElementsAre(std::string("CompareFileVersion: ") + kFile,
                          std::string("Version: 2.10.0.5 INIVersion: ") + GetParam().required +
                              " Result: " + std::to_string(GetParam().result)));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, CompareTest,
    ::testing::Values(VersionCase{"2.10.0.5", 1}, VersionCase{"2.9.9.9", 1},
                      VersionCase{"1.99.99.99", 1}, VersionCase{"2.10.0.6", 0},
                      VersionCase{"2.10.1.0", 0}, VersionCase{"3.0.0.0", 0},
                      VersionCase{"2.10.0.-1", 0}, VersionCase{"-1.0.0.0", 0},
                      // numbers, not text: 2.10 is newer than 2.9, 08 is eight
                      VersionCase{"2.9.0.0", 1}, VersionCase{"02.010.00.05", 1},
                      VersionCase{"08.0.0.0", 0}, VersionCase{"+2. 10.\t0.5", 1},
                      // above 65535 is never met, and never wraps round to a small number
                      VersionCase{"2.10.0.65541", 0}, VersionCase{"2.65546.0.0", 0},
                      VersionCase{"4294967298.0.0.0", 0},
                      VersionCase{"2.10.0.99999999999999999999", 0},
                      VersionCase{"2.10.0.-4294967295", 0},
                      // numbers the scan does not reach count as 0
                      VersionCase{"", 1}, VersionCase{"2.10", 1}, VersionCase{"2,71", 1},
                      VersionCase{"4,71", 0}, VersionCase{"2 .99", 1}, VersionCase{"2.10.x.9", 1},
                      VersionCase{"2.10.0.5.9", 1}, VersionCase{"2.10.0.5 beta", 1}));

struct MissingCase {
  const char* name;
  const char* data;  // nullptr: no file; "" a file that is no image
  const char* failing_call;
  const char* trace;
};

class NoVersionTest : public FileVersionTest, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(NoVersionTest, CountsAsNotCurrentAndSaysWhy) {
  const MissingCase& c = GetParam();
  if (c.data != nullptr && c.data[0] != '\0') PutVersionData(kFile, c.data);
  if (c.data != nullptr && c.data[0] == '\0') sim::WriteFile(kFile, "MZ but no image");
  if (c.failing_call != nullptr) sim::FailCall(c.failing_call, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(0, CompareFileVersion(kFile, ""));
  EXPECT_THAT(TracesAfterStart(),
              ElementsAre(std::string("CompareFileVersion: ") + kFile, c.trace));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, NoVersionTest,
    ::testing::Values(
        MissingCase{"MissingFile", nullptr, nullptr, "FileVersionInfoSize zip"},
        MissingCase{"NotAnImage", "", nullptr, "FileVersionInfoSize zip"},
        MissingCase{"NoVersionResource", "no_version.dll", nullptr, "FileVersionInfoSize zip"},
        MissingCase{"UnreadableBlock", "versioned.dll", "GetVersionInfo",
                    "FileVersionInfo empty"},
        MissingCase{"NoMemoryForTheBlock", "versioned.dll", "HeapAlloc", "FileVersionInfo empty"},
        MissingCase{"NoFixedInfo", "versioned.dll", "VerQueryValueA", "VS_FIXEDFILEINFO Missing"}),
    [](const ::testing::TestParamInfo<MissingCase>& info) { return info.param.name; });

TEST_F(FileVersionTest, TheBlockHasTheReportedSizeAndIsFreedOnce) {
  PutVersionData(kFile, "versioned.dll");
  CompareFileVersion(kFile, "1.0.0.0");
  DWORD handle = 7;
  DWORD size = GetVersionInfoSize(kFile, &handle);
  EXPECT_EQ(0u, handle);
  ASSERT_EQ(1u, sim::CallsTo("HeapAlloc").size());
  EXPECT_EQ(std::to_string(size), sim::CallsTo("HeapAlloc")[0].args[1]);
  EXPECT_EQ(std::to_string(size), sim::CallsTo("GetVersionInfo")[0].args[2]);
  EXPECT_EQ(1u, sim::CallsTo("HeapFree").size());
}

struct ProbeCase {
  const char* name;
  const char* data;  // nullptr: no file
  const char* failing_call;
  std::vector<std::string> traces;  // after "SupportsSelfRegister"
  std::vector<std::string> queries;
};

class SelfRegisterTest : public FileVersionTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(SelfRegisterTest, TracesWhatItFindsAndAlwaysGoesOn) {
  const ProbeCase& c = GetParam();
  if (c.data != nullptr) PutVersionData(kFile, c.data);
  if (c.failing_call != nullptr) sim::FailCall(c.failing_call, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(1, SupportsSelfRegister(kFile));
  std::vector<std::string> expected = {"SupportsSelfRegister"};
  expected.insert(expected.end(), c.traces.begin(), c.traces.end());
  EXPECT_EQ(expected, TracesAfterStart());
  std::vector<std::string> queries;
  for (const sim::Call& call : sim::CallsTo("VerQueryValueA")) queries.push_back(call.args[0]);
  EXPECT_EQ(c.queries, queries);
  EXPECT_EQ(0, sim::OpenHandleCount());
}

const char* const kTranslation = "\\VarFileInfo\\Translation";

INSTANTIATE_TEST_SUITE_P(
    Probe, SelfRegisterTest,
    ::testing::Values(
        ProbeCase{"MissingFile", nullptr, nullptr, {"OCX FileVersionInfoSize zip"}, {}},
        ProbeCase{
            "NoVersionResource", "no_version.dll", nullptr, {"OCX FileVersionInfoSize zip"}, {}},
        ProbeCase{"UnreadableBlock",
                  "versioned.dll",
                  "GetVersionInfo",
                  {"OCX FileVersionInfo empty"},
                  {}},
        ProbeCase{
            "NoMemoryForTheBlock", "versioned.dll", "HeapAlloc", {"OCX FileVersionInfo empty"}, {}},
        ProbeCase{"NoTranslation",
                  "no_translation.dll",
                  nullptr,
                  {"OCX VarFileInfo\\Translation Missing"},
                  {kTranslation}},
        ProbeCase{"EmptyTranslation",
                  "empty_translation.dll",
                  nullptr,
                  {"OCX VarFileInfo\\Translation empty string"},
                  {kTranslation}},
        ProbeCase{"StringPresent",
                  "versioned.dll",
                  nullptr,
                  {},
                  {kTranslation, "\\StringFileInfo\\040904B0\\OLESelfRegister"}},
        ProbeCase{"LanguageFirstInUpperCaseHex",
                  "first_translation.dll",
                  nullptr,
                  {},
                  {kTranslation, "\\StringFileInfo\\0C0A04E4\\OLESelfRegister"}},
        ProbeCase{"OnlyTheFirstTranslationCounts",
                  "second_translation.dll",
                  nullptr,
                  {"OLESelfRegister string Missing"},
                  {kTranslation, "\\StringFileInfo\\040904B0\\OLESelfRegister"}}),
    [](const ::testing::TestParamInfo<ProbeCase>& info) { return info.param.name; });

TEST_F(FileVersionTest, WithTheTraceOffTheProbeLeavesTheFileAlone) {
  TraceStart(0);
  const size_t lines = sim::DebugOutput().size();
  PutVersionData(kFile, "versioned.dll");
  EXPECT_EQ(1, SupportsSelfRegister(kFile));
  EXPECT_THAT(sim::CallsTo("GetVersionInfoSize"), IsEmpty());
  EXPECT_EQ(lines, sim::DebugOutput().size());
}

}  // namespace
