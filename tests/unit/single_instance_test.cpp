// The single-instance guard: the marker, the prompt, and which window of the
// running application comes forward.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks/single_instance.h"
#include "config/ini.h"
#include "launch_fixture.h"

namespace {

using ::testing::ElementsAre;

const char kPrompt[] = "Game is already running.\nWould you like to try running it anyway ?";
constexpr DWORD kAppThread = 0x500;

class GuardTest : public LaunchTest {
 protected:
  void SetUp() override {
    LaunchTest::SetUp();
    UseIni("WinClass=GameWindow\nWinText=Game\n");
    sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
    StoreSharedThreadId(kAppThread);
  }

  void UseIni(const std::string& keys) {
    WriteIni(
        "[Application]\nSplashWaveFile=intro.wav\nApplicationName=Game\nProgramName=GAME.EXE\n" +
        keys);
  }

  HWND Window(const std::string& class_name, const std::string& title, bool iconic = false) {
    return sim::AddThreadWindow({kAppThread, class_name, title, iconic});
  }

  // The calls that change the window's state, with their arguments.
  static std::vector<std::string> ActivationCalls() {
    std::vector<std::string> calls;
    for (const sim::Call& call : sim::Calls()) {
      if (call.name != "ShowWindowAsync" && call.name != "SetWindowPos" &&
          call.name != "SetForegroundWindow")
        continue;
      std::string text = call.name;
      for (const std::string& arg : call.args) text += " " + arg;
      calls.push_back(text);
    }
    return calls;
  }

  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (const sim::MessageBoxRecord& box : sim::MessageBoxes()) captions.push_back(box.caption);
    return captions;
  }
};

enum class Other { kNone, kLauncher, kLauncherEndingAfterFirstProbe, kOtherObject };

struct StateCase {
  const char* name;
  Other other;
  bool window_up;
  std::vector<int> answers;  // 0: the box fails
  int status;
  size_t prompts;
  int markers_held;
};

class GuardStateTest : public GuardTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(GuardStateTest, EndsOrGoesOnAsTheOtherLauncherAndTheUserDecide) {
  const StateCase& c = GetParam();
  if (c.other == Other::kLauncher) sim::HoldSemaphore("Game");
  if (c.other == Other::kLauncherEndingAfterFirstProbe) sim::HoldSemaphore("Game", 1);
  if (c.other == Other::kOtherObject) sim::HoldOtherObject("Game");
  HWND window = c.window_up ? Window("GameWindow", "The Game") : nullptr;
  for (int answer : c.answers) {
    if (answer == 0) {
      sim::FailCall("ShowMessageBox", ERROR_NOT_ENOUGH_MEMORY);
    } else {
      sim::QueueAnswer(answer);
    }
  }

  EXPECT_EQ(c.status, Run());
  EXPECT_EQ(c.status == 0 ? 1u : 0u, sim::Processes().size());
  auto prompts = sim::CallsTo("ShowMessageBox");
  ASSERT_EQ(c.prompts, prompts.size());
  for (const sim::Call& prompt : prompts) {
    EXPECT_THAT(prompt.args, ElementsAre("0x0", kPrompt, "Error", "325"));  // 0x145
  }
  EXPECT_EQ(c.markers_held, sim::OpenSemaphoreHandleCount());
  EXPECT_EQ(0, sim::OpenHandleCount());
  EXPECT_EQ(window, sim::ForegroundWindow());
  for (const sim::Call& probe : sim::CallsTo("CreateNamedSemaphore")) {
    EXPECT_THAT(probe.args, ElementsAre("0x0", "0", "1", "Game"));
  }
  // The guard reads the name once however often the user retries; the
  // registry step before it reads it once too.
  int name_reads = 0;
  for (const sim::Call& read : sim::CallsTo("ReadProfileText")) {
    name_reads += read.args[1] == "ApplicationName" ? 1 : 0;
  }
  EXPECT_EQ(2, name_reads);
}

INSTANTIATE_TEST_SUITE_P(
    Guard, GuardStateTest,
    ::testing::Values(
        StateCase{"Alone", Other::kNone, false, {}, 0, 0, 1},
        StateCase{"NameTakenByAnotherKindOfObject", Other::kOtherObject, false, {}, 0, 0, 0},
        StateCase{"ApplicationWindowUp", Other::kLauncher, true, {}, 1, 0, 0},
        StateCase{"NoWindowCancel", Other::kLauncher, false, {IDCANCEL}, 1, 1, 0},
        StateCase{"NoWindowDefaultButton", Other::kLauncher, false, {}, 1, 1, 0},
        StateCase{"NoWindowBoxFails", Other::kLauncher, false, {0}, 1, 1, 0},
        StateCase{"RetryWhileStillRunning",
                  Other::kLauncher,
                  false,
                  {IDRETRY, IDRETRY, IDCANCEL},
                  1,
                  3,
                  0},
        StateCase{"RetryAfterTheOtherEnded",
                  Other::kLauncherEndingAfterFirstProbe,
                  false,
                  {IDRETRY},
                  0,
                  1,
                  1}),
    [](const ::testing::TestParamInfo<StateCase>& info) { return info.param.name; });

TEST_F(GuardTest, WithoutApplicationNameTheLauncherEndsAfterTheComplaint) {
  WriteIni("[Application]\nSplashWaveFile=intro.wav\nApplicationName=\nProgramName=GAME.EXE\n");
  EXPECT_EQ(1, Run());
  // The registry step complains and goes on; the guard complains and ends.
  ASSERT_EQ(2u, sim::MessageBoxes().size());
  for (const sim::MessageBoxRecord& box : sim::MessageBoxes()) {
    EXPECT_EQ(
        "Failed to find label: ApplicationName in Section: Application\n INIFile: "
        "D:\\SETUP\\SETUP.ini",
        box.text);
  }
  EXPECT_TRUE(sim::CallsTo("CreateNamedSemaphore").empty());
  EXPECT_TRUE(sim::CallsTo("RegOpenKeyA").empty());
}

TEST_F(GuardTest, AMarkerThatCannotBeMadeLetsTheLaunchGoOn) {
  WriteIni(
      "[Application]\nSplashWaveFile=intro.wav\nApplicationName=Games\\Game\nProgramName=GAME."
      "EXE\n");
  EXPECT_EQ(0, Run());
  EXPECT_EQ(1u, sim::CallsTo("CreateNamedSemaphore").size());
  EXPECT_EQ(0, sim::OpenSemaphoreHandleCount());
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(GuardTest, MarkerNamesCompareWithCase) {
  sim::HoldSemaphore("GAME");
  EXPECT_EQ(0, Run());
  EXPECT_EQ(1, sim::OpenSemaphoreHandleCount());
}

TEST_F(GuardTest, TheSlotsThreadIsTheOneEnumerated) {
  sim::HoldSemaphore("Game");
  sim::AddThreadWindow({0x600, "GameWindow", "The Game", false});
  EXPECT_EQ(1, Run());  // the prompt, answered Cancel
  auto enumerations = sim::CallsTo("EnumThreadWindows");
  ASSERT_EQ(1u, enumerations.size());
  EXPECT_EQ(std::to_string(kAppThread), enumerations[0].args[0]);
  EXPECT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ(nullptr, sim::ForegroundWindow());
}

// Until a launcher of this file has started its application the slot holds
// 0, which names no thread: the platform may hand over every top-level window
// for it, and another program's window of the class must not come forward.
TEST_F(GuardTest, WithAnEmptySlotTheLauncherAsksWithoutLookingAtAnyWindow) {
  StoreSharedThreadId(0);
  sim::HoldSemaphore("Game");
  sim::AddThreadWindow({0x600, "GameWindow", "The Game", false});
  sim::AddThreadWindow({0x700, "GameWindow", "", true});
  EXPECT_EQ(1, Run());  // the prompt, answered Cancel
  EXPECT_TRUE(sim::CallsTo("EnumThreadWindows").empty());
  EXPECT_THAT(Captions(), ElementsAre("Error"));
  EXPECT_EQ(kPrompt, sim::MessageBoxes()[0].text);
  EXPECT_TRUE(ActivationCalls().empty());
  EXPECT_EQ(nullptr, sim::ForegroundWindow());
}

struct MatchCase {
  const char* name;
  std::vector<sim::WindowSetup> windows;
  int matched;  // index into windows, -1: none
};

class MatchTest : public GuardTest, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(MatchTest, TheFirstWindowOfTheClassWhoseTitleHoldsWinTextComesForward) {
  sim::HoldSemaphore("Game");
  std::vector<HWND> windows;
  for (const sim::WindowSetup& setup : GetParam().windows)
    windows.push_back(sim::AddThreadWindow(setup));
  Run();
  int matched = GetParam().matched;
  EXPECT_EQ(matched < 0 ? nullptr : windows[matched], sim::ForegroundWindow());
  EXPECT_EQ(matched < 0 ? 1u : 0u, sim::MessageBoxes().size());
  EXPECT_EQ(matched < 0 ? 0u : 1u, sim::CallsTo("SetForegroundWindow").size());
}

const std::string k300 = std::string(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Guard, MatchTest,
    ::testing::Values(
        MatchCase{"ExactClassAndTitle", {{kAppThread, "GameWindow", "Game", false}}, 0},
        MatchCase{"ClassInOtherCase", {{kAppThread, "gAMEwINDOW", "The Game v2", false}}, 0},
        MatchCase{"TitleInOtherCase", {{kAppThread, "GameWindow", "The GAME", false}}, -1},
        MatchCase{"ClassOnlyAPrefix", {{kAppThread, "GameWindowX", "Game", false}}, -1},
        MatchCase{"NoTitle", {{kAppThread, "GameWindow", "", false}}, 0},
        MatchCase{"ClassUnreadable", {{kAppThread, "", "Game", false}}, -1},
        MatchCase{"SeveralMatches",
                  {{kAppThread, "Tooltip", "Game", false},
                   {kAppThread, "GameWindow", "Game one", false},
                   {kAppThread, "GameWindow", "Game two", false}},
                  1},
        // A title is searched in its first 259 characters only.
        MatchCase{"WinTextEndingAtCharacter259",
                  {{kAppThread, "GameWindow", k300.substr(0, 255) + "Game" + k300, false}},
                  0},
        MatchCase{"WinTextEndingAtCharacter260",
                  {{kAppThread, "GameWindow", k300.substr(0, 256) + "Game" + k300, false}},
                  -1}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return info.param.name; });

// The running application's thread may be frozen: nothing may wait for it.
TEST_F(GuardTest, AMinimisedWindowIsShownWithoutActivationThenMadeForeground) {
  sim::HoldSemaphore("Game");
  HWND window = Window("GameWindow", "The Game", true);
  EXPECT_EQ(1, Run());
  EXPECT_THAT(ActivationCalls(),
              ElementsAre("ShowWindowAsync 0x20000 4", "SetForegroundWindow 0x20000"));
  EXPECT_FALSE(sim::WindowIsIconic(window));
  EXPECT_EQ(nullptr, sim::TopWindow());
}

TEST_F(GuardTest, AWindowThatIsNotMinimisedIsRaisedThenMadeForeground) {
  sim::HoldSemaphore("Game");
  HWND window = Window("GameWindow", "The Game");
  EXPECT_EQ(1, Run());
  // HWND_TOP, SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS
  EXPECT_THAT(ActivationCalls(), ElementsAre("SetWindowPos 0x20000 0x0 0 0 0 0 0x4003",
                                             "SetForegroundWindow 0x20000"));
  EXPECT_EQ(window, sim::TopWindow());
  EXPECT_EQ(window, sim::ForegroundWindow());
  EXPECT_TRUE(sim::DebugOutput().empty());
}

struct TraceCase {
  const char* name;
  std::string class_name;
  std::string title;
  std::string expected;  // the match line without its final line break
};

class MatchTraceTest : public GuardTest, public ::testing::WithParamInterface<TraceCase> {};

TEST_P(MatchTraceTest, TheMatchIsTracedWithTheWindowsOwnClassAndTitle) {
  const TraceCase& c = GetParam();
  UseIni("WinClass=" + c.class_name +
         "\nWinText=" + (c.title.empty() ? "x" : c.title.substr(0, 1)) + "\n");
  sim::HoldSemaphore("Game");
  Window(c.class_name, c.title);
  EXPECT_EQ(1, Run("/Debug"));
  EXPECT_THAT(TraceTexts(),
              ElementsAre("Application Start", "CreateApplicationKeys", "Create Company Key: 0",
                          "SetValue: 0", "IsAutoRunDisabled", c.expected + "\n"));
  EXPECT_LE(c.expected.size() + 1, 259u);
}

const std::string kHead = "ShowWindow hwnd: 00020000 ClassName: ";

INSTANTIATE_TEST_SUITE_P(
    Guard, MatchTraceTest,
    ::testing::Values(
        TraceCase{"Plain", "GameWindow", "The Game", kHead + "GameWindow\n WinText: The Game"},
        TraceCase{"NoTitle", "GameWindow", "", kHead + "GameWindow\n WinText: "},
        // 210 characters are left for class and title: the title gives way first.
        TraceCase{"LongTitleIsCut", std::string(100, 'C'), std::string(259, 't'),
                  kHead + std::string(100, 'C') + "\n WinText: " + std::string(110, 't')},
        TraceCase{"BothJustFit", std::string(10, 'C'), std::string(200, 't'),
                  kHead + std::string(10, 'C') + "\n WinText: " + std::string(200, 't')},
        TraceCase{"LongClassLeavesNoTitle", std::string(250, 'C'), "title",
                  kHead + std::string(210, 'C') + "\n WinText: "}),
    [](const ::testing::TestParamInfo<TraceCase>& info) { return info.param.name; });

TEST_F(GuardTest, WithoutWinClassNoWindowMatchesAndNothingComplains) {
  UseIni("WinText=Game\n");
  sim::HoldSemaphore("Game");
  Window("GameWindow", "The Game");
  EXPECT_EQ(1, Run());
  EXPECT_THAT(Captions(), ElementsAre("Error"));
  EXPECT_EQ(nullptr, sim::ForegroundWindow());
}

TEST_F(GuardTest, WithoutWinTextEachWindowOfTheClassComplainsBeforeThePrompt) {
  UseIni("WinClass=GameWindow\n");
  sim::HoldSemaphore("Game");
  Window("GameWindow", "The Game");
  Window("Tooltip", "The Game");
  Window("gamewindow", "");
  EXPECT_EQ(1, Run());
  EXPECT_THAT(Captions(),
              ElementsAre("GetPrivateProfileString", "GetPrivateProfileString", "Error"));
  EXPECT_EQ("Failed to find label: WinText in Section: Application\n INIFile: D:\\SETUP\\SETUP.ini",
            sim::MessageBoxes()[0].text);
}

struct PromptCase {
  size_t name_length;
  size_t shown_length;
};

class PromptTest : public GuardTest, public ::testing::WithParamInterface<PromptCase> {};

// The name gives way so that the question always shows whole.
TEST_P(PromptTest, ALongApplicationNameIsCutToFitThePrompt) {
  std::string name(GetParam().name_length, 'n');
  WriteIni("[Application]\nSplashWaveFile=intro.wav\nApplicationName=" + name +
           "\nProgramName=GAME.EXE\n");
  sim::HoldSemaphore(name.substr(0, 511));
  EXPECT_EQ(1, Run());
  // Past 239 characters the name no longer fits a registry key path either,
  // which is said first.
  ASSERT_EQ(GetParam().name_length > 239 ? 2u : 1u, sim::MessageBoxes().size());
  EXPECT_EQ(std::string(GetParam().shown_length, 'n') +
                " is already running.\nWould you like to try running it anyway ?",
            sim::MessageBoxes().back().text);
  EXPECT_EQ(name.substr(0, 511), sim::CallsTo("CreateNamedSemaphore")[0].args[3]);
}

INSTANTIATE_TEST_SUITE_P(Guard, PromptTest,
                         ::testing::Values(PromptCase{1, 1}, PromptCase{197, 197},
                                           PromptCase{198, 197}, PromptCase{511, 197},
                                           PromptCase{600, 197}));

struct PublishCase {
  const char* name;
  const char* keys;  // besides ApplicationName, ProgramName, WinClass and WinText
  int bitmap_bits;   // 0: no bitmap resource
};

class PublishTest : public GuardTest, public ::testing::WithParamInterface<PublishCase> {
 protected:
  // Another launcher of the same file starts while this one's application
  // runs: the marker and the slot stay as the first launcher left them.
  int RunSecondLauncher() {
    StartFreshProcess();
    return Run();
  }
};

// Whether the launcher's queue ever wakes its wait must not matter: with no
// splash to paint it may never wake before the application ends.
TEST_P(PublishTest, ASecondLauncherBringsTheRunningWindowForwardWhetherOrNotTheWaitWoke) {
  const PublishCase& c = GetParam();
  WriteIni(
      std::string("[Application]\nApplicationName=Game\nProgramName=GAME.EXE\nWinClass=GameWindow\n"
                  "WinText=Game\n") +
      c.keys);
  if (c.bitmap_bits != 0) {
    std::vector<BYTE> bitmap = MakeSplashBitmap(450, 300);
    bitmap[14] = static_cast<BYTE>(c.bitmap_bits);  // biBitCount
    sim::SetResource(kBitmapResource, kSplashResourceId, bitmap);
  }
  StoreSharedThreadId(0x777);  // left by an earlier launcher of the file
  sim::ScriptProcess(0);
  ASSERT_EQ(0, Run());
  ASSERT_EQ(1u, sim::Processes().size());
  const DWORD application_thread = sim::Processes()[0].thread_id;
  EXPECT_EQ(application_thread, LoadSharedThreadId());

  HWND window = sim::AddThreadWindow({application_thread, "GameWindow", "The Game", false});
  size_t boxes_before = sim::MessageBoxes().size();
  EXPECT_EQ(1, RunSecondLauncher());
  EXPECT_EQ(window, sim::ForegroundWindow());
  EXPECT_EQ(boxes_before, sim::MessageBoxes().size());
  EXPECT_EQ(1u, sim::Processes().size());
}

INSTANTIATE_TEST_SUITE_P(
    Guard, PublishTest,
    ::testing::Values(PublishCase{"SplashStaysUp", "SplashWaveFile=intro.wav\n", 8},
                      PublishCase{"SplashOffTimeZero",
                                  "SplashWaveFile=intro.wav\nSplashOffTime=0\n", 8},
                      PublishCase{"NoBitmap", "SplashWaveFile=intro.wav\n", 0},
                      PublishCase{"MalformedBitmap", "SplashWaveFile=intro.wav\n", 4},
                      PublishCase{"SplashTakenDownByAMessage", "", 8}),
    [](const ::testing::TestParamInfo<PublishCase>& info) { return info.param.name; });

TEST_F(GuardTest, EveryWakeOfTheWaitPublishesTheThreadAgain) {
  sim::ScriptProcess(2, [](int wake) {
    if (wake == 2) StoreSharedThreadId(0x999);  // another launcher of the file published meanwhile
  });
  ASSERT_EQ(0, Run());
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ(sim::Processes()[0].thread_id, LoadSharedThreadId());
}

}  // namespace
