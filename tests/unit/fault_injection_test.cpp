// Fails each platform call of a whole launch in turn, once and from then on,
// and checks that every run ends the documented way with nothing left open.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "launch_fixture.h"

namespace {

struct LaunchCase {
  const char* name;
  const char* arguments;
  // Another launcher's application shows its window: the launch ends at the
  // guard. Otherwise the other launcher ends after the first probe, and Retry
  // goes on.
  bool window_up;
};

class FaultInjectionTest : public LaunchTest, public ::testing::WithParamInterface<LaunchCase> {
 protected:
  void Prepare() {
    SetUp();
    WriteIni(
        "[Application]\nApplicationName=Game\nWinClass=GameWindow\nWinText=Game\nMegRequired=64\n"
        "ProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=OCX\n");
    sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
    sim::MakeDirectory("D:\\SETUP\\OCX");
    sim::SetClockStep(7);
    sim::ScriptProcess(3, [](int wake) { sim::PostQueueMessage(nullptr, 0x400, static_cast<WPARAM>(wake), 0); });
    StoreSharedThreadId(0x500);
    sim::AddThreadWindow({0x500, "Tooltip", "", false});
    sim::AddThreadWindow({0x500, "GameWindow", "Notes", false});
    if (GetParam().window_up) {
      sim::HoldSemaphore("Game");
      sim::AddThreadWindow({0x500, "GameWindow", "The Game", false});
    } else {
      sim::HoldSemaphore("Game", 1);
      sim::QueueAnswer(IDRETRY);
    }
  }
};

const std::set<std::string> kKnownCaptions = {"GetIniFileName", "GetPrivateProfileString",
                                              "WinExecAndWait", "Information", "Error"};

TEST_P(FaultInjectionTest, EveryCallFailingEndsCleanly) {
  Prepare();
  ASSERT_EQ(GetParam().window_up ? 1 : 0, Run(GetParam().arguments));
  const size_t total = sim::Calls().size();
  ASSERT_GT(total, 10u);

  for (int persistent = 0; persistent <= 1; ++persistent) {
    for (size_t index = 1; index <= total; ++index) {
      Prepare();
      sim::FailFromCall(index, ERROR_ACCESS_DENIED, persistent != 0);
      int status = Run(GetParam().arguments);
      std::string where = std::string(persistent ? "persistent" : "transient") + " failure of call " +
                          std::to_string(index);
      EXPECT_TRUE(status == 0 || status == 1) << where;
      EXPECT_EQ(0, sim::OpenHandleCount()) << where;
      EXPECT_LE(sim::OpenSemaphoreHandleCount(), 1) << where;
      EXPECT_LE(sim::Processes().size(), 1u) << where;
      EXPECT_LE(sim::CallsTo("SetForegroundWindow").size(), 1u) << where;
      for (const sim::MessageBoxRecord& box : sim::MessageBoxes()) {
        EXPECT_TRUE(kKnownCaptions.count(box.caption) == 1) << where << ": " << box.caption;
      }
      // Status 0 means the application was tried: started, or refused with a message.
      if (status == 0 && sim::Processes().empty()) {
        ASSERT_FALSE(sim::CallsTo("MessageBoxA").empty()) << where;
        EXPECT_EQ("WinExecAndWait", sim::CallsTo("MessageBoxA").back().args[2]) << where;
      }
      // A started application is always waited for and its handles closed.
      if (!sim::Processes().empty()) {
        EXPECT_EQ(0, status) << where;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Launch, FaultInjectionTest,
    ::testing::Values(LaunchCase{"AloneAfterRetry", "", false},
                      LaunchCase{"AloneAfterRetryTracedSlowLoad", "/Debug /SlowLoad", false},
                      LaunchCase{"AnotherCopyShowsItsWindow", "/Debug", true}),
    [](const ::testing::TestParamInfo<LaunchCase>& info) { return info.param.name; });

}  // namespace
