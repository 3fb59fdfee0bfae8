// The launcher's windows while a control's own code runs: the splash steps
// aside for the control's boxes and is topmost again afterwards, and the
// queue is served between controls without taking the quit or running away.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "components/ocx_registration.h"
#include "registration_fixture.h"

namespace {

using ::testing::IsEmpty;

constexpr UINT kFromA = WM_USER + 5;

// What the splash was while a control's code ran; nothing when it was gone.
struct SplashSeen {
  bool up = false;
  bool topmost = false;
};

SplashSeen SeeSplash() {
  SplashSeen seen;
  for (const sim::WindowRecord& window : sim::Windows()) {
    if (window.class_name != "SplashLogo") continue;
    seen.up = true;
    seen.topmost = (window.ex_style & WS_EX_TOPMOST) != 0;
  }
  return seen;
}

size_t CountDispatched(UINT message) {
  size_t count = 0;
  for (const MSG& msg : sim::DispatchedMessages()) count += msg.message == message;
  return count;
}

class ControlCodeTest : public RegistrationTest {
 protected:
  void SetUp() override {
    RegistrationTest::SetUp();
    sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  }

  // Controls A.OCX ({L}, {C}) and B.OCX ({M}, {D}) in [SystemOcx], each
  // registering itself after doing what the test asks.
  void ArrangeTwoControls(std::function<void()> during_a, std::function<void()> during_b) {
    WriteIni("[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n[SystemOcx]\n" +
             Entry("1", "A.OCX") +
             "Ocx2=B.OCX\nOcx2TypeLib={M}\\1.0\\0\\win32\nOcx2Clsid={D}\nOcx2Version=1.0\n");
    AddControlDoing("D:\\SETUP\\A.OCX", kLib, "{C}", std::move(during_a));
    AddControlDoing("D:\\SETUP\\B.OCX", "{M}\\1.0\\0\\win32", "{D}", std::move(during_b));
  }

  // The steps of WinMain up to the registrations, with the splash up when it has its bitmap.
  void RegisterControls(bool splash = true) {
    ASSERT_NE(0u, GetIniFileName(Instance()));
    CreateApplicationKeys();
    if (splash) InstallSplash();
    EXPECT_EQ(splash, SplashOn(Instance()) != nullptr);
    EXPECT_EQ(1, RegisterOCXs());
  }

  static void AddControlDoing(const std::string& path, const std::string& type_library,
                              const std::string& clsid, std::function<void()> during) {
    PutVersionData(path, kNew);
    sim::AddLibrary(path, {{"DllRegisterServer", [=]() {
                              during();
                              Register(type_library, clsid, path);
                              return 0;
                            }}});
  }
};

// ---- the splash steps aside ----

enum class During { kShowsABox, kClosesTheSplash };

struct StepAsideCase {
  const char* name;
  bool splash;
  During during;
  bool fail_z_order;           // every SetWindowPos fails
  SplashSeen seen_during;      // by the control's code
  size_t covered_boxes;        // the control's boxes under a topmost window
  size_t z_order_calls;        // SetWindowPos
  SplashSeen seen_afterwards;  // once the registrations are over
};

class StepAsideTest : public ControlCodeTest,
                      public ::testing::WithParamInterface<StepAsideCase> {};

TEST_P(StepAsideTest, TheSplashIsNotTopmostWhileAControlRuns) {
  const StepAsideCase& c = GetParam();
  static SplashSeen seen_during;
  seen_during = SplashSeen{true, true};
  std::function<void()> during = [&c]() {
    seen_during = SeeSplash();
    if (c.during == During::kClosesTheSplash) {
      sim::SendToWindow(SplashWindow(), WM_CLOSE, 0, 0);
    } else {
      ShowMessageBox(nullptr, "Registered", "A.OCX", MB_OK);
    }
  };
  WriteIni("[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n[SystemOcx]\n" +
           Entry("1", "A.OCX"));
  AddControlDoing("D:\\SETUP\\A.OCX", kLib, "{C}", during);
  if (c.fail_z_order) sim::FailCall("SetWindowPos", ERROR_ACCESS_DENIED);
  RegisterControls(c.splash);

  EXPECT_EQ(c.seen_during.up, seen_during.up);
  EXPECT_EQ(c.seen_during.topmost, seen_during.topmost);
  size_t covered = 0;
  for (const sim::MessageBoxRecord& box : sim::MessageBoxes()) covered += !box.covered_by.empty();
  EXPECT_EQ(c.covered_boxes, covered);
  EXPECT_EQ(c.z_order_calls, sim::CallsTo("SetWindowPos").size());
  SplashSeen afterwards = SeeSplash();
  EXPECT_EQ(c.seen_afterwards.up, afterwards.up);
  EXPECT_EQ(c.seen_afterwards.topmost, afterwards.topmost);
  // The control was registered all the same, and nothing is left behind.
  EXPECT_EQ("D:\\SETUP\\A.OCX", sim::RegistryText(HKEY_CLASSES_ROOT, "TypeLib\\" + kLib, ""));
  EXPECT_EQ(0, OpenAtExit());
}

INSTANTIATE_TEST_SUITE_P(ControlCode, StepAsideTest,
                         ::testing::Values(StepAsideCase{"ABoxComesAboveTheSplash",
                                                         true,
                                                         During::kShowsABox,
                                                         false,
                                                         {true, false},
                                                         0,
                                                         2,
                                                         {true, true}},
                                           StepAsideCase{"NoSplashNothingToMove",
                                                         false,
                                                         During::kShowsABox,
                                                         false,
                                                         {false, false},
                                                         0,
                                                         0,
                                                         {false, false}},
                                           // Gone meanwhile, the splash is not asked for again.
                                           StepAsideCase{"TheControlClosesTheSplash",
                                                         true,
                                                         During::kClosesTheSplash,
                                                         false,
                                                         {true, false},
                                                         0,
                                                         1,
                                                         {false, false}},
                                           // Still topmost: it is not made so a second time.
                                           StepAsideCase{"TheSplashCannotStepAside",
                                                         true,
                                                         During::kShowsABox,
                                                         true,
                                                         {true, true},
                                                         1,
                                                         1,
                                                         {true, true}}),
                         [](const ::testing::TestParamInfo<StepAsideCase>& info) {
                           return info.param.name;
                         });

// A splash still up when the application has ended (its delay is longer)
// steps aside for an older control's own box at exit too.
TEST_F(ControlCodeTest, AReplacedControlsBoxAtExitComesAboveTheSplash) {
  WriteIni(
      "[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\nSplashOffTime=60000\n"
      "[SystemOcx]\nOcx1=A.OCX\nOcx1TypeLib=" +
      kLib + "\nOcx1Clsid={C}\nOcx1Version=2.0\n");
  InstallSplash();
  static SplashSeen seen_during;
  seen_during = SplashSeen{};
  PutVersionData("C:\\OLD\\A.OCX", kOld);
  sim::AddLibrary("C:\\OLD\\A.OCX", {{"DllUnregisterServer", []() {
                                        seen_during = SeeSplash();
                                        ShowMessageBox(nullptr, "Unregistered", "A.OCX", MB_OK);
                                        return 0;
                                      }}});
  Register(kLib, "{C}", "C:\\OLD\\A.OCX");
  AddControl("D:\\SETUP\\A.OCX", kLib, "{C}", kNew);
  EXPECT_EQ(0, Run());
  EXPECT_TRUE(seen_during.up);
  EXPECT_FALSE(seen_during.topmost);
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_THAT(sim::MessageBoxes()[0].covered_by, IsEmpty());
  EXPECT_TRUE(SeeSplash().topmost);
  EXPECT_EQ(0, OpenAtExit());
}

// ---- the queue between controls ----

TEST_F(ControlCodeTest, TheSplashIsPaintedAndPostedMessagesServedBetweenControls) {
  static size_t paints_before_a, from_a_before_b;
  paints_before_a = from_a_before_b = 99;
  ArrangeTwoControls(
      []() {
        paints_before_a = CountDispatched(WM_PAINT);
        sim::PostQueueMessage(SplashWindow(), kFromA, 1, 2);
      },
      []() { from_a_before_b = CountDispatched(kFromA); });
  RegisterControls();
  EXPECT_EQ(1u, paints_before_a);
  EXPECT_EQ(1u, from_a_before_b);
  // The splash's procedure had it: its default procedure saw the message.
  bool seen = false;
  for (const sim::Call& call : sim::CallsTo("DefWindowProcA"))
    seen |= call.args[1] == std::to_string(kFromA);
  EXPECT_TRUE(seen);
}

struct TakeDownCase {
  const char* name;
  std::function<void()> during_a;
  UINT dispatched;  // the message that took the splash down
};

class TakeDownTest : public ControlCodeTest, public ::testing::WithParamInterface<TakeDownCase> {};

// The splash's own ways down keep working between controls.
TEST_P(TakeDownTest, TheSplashGoesBetweenControls) {
  static SplashSeen at_b;
  at_b = SplashSeen{true, true};
  ArrangeTwoControls(GetParam().during_a, []() { at_b = SeeSplash(); });
  RegisterControls();
  EXPECT_FALSE(at_b.up);
  EXPECT_EQ(1u, CountDispatched(GetParam().dispatched));
  EXPECT_EQ(0, OpenAtExit());
}

INSTANTIATE_TEST_SUITE_P(ControlCode, TakeDownTest,
                         ::testing::Values(TakeDownCase{"TheCloseMessage",
                                                        []() {
                                                          sim::PostQueueMessage(SplashWindow(),
                                                                                kSplashCloseMessage,
                                                                                0, 0);
                                                        },
                                                        kSplashCloseMessage},
                                           TakeDownCase{"TheDelayRunningOut",
                                                        []() {
                                                          SplashOff(3000);
                                                          sim::AdvanceClock(3000);
                                                        },
                                                        WM_TIMER}),
                         [](const ::testing::TestParamInfo<TakeDownCase>& info) {
                           return info.param.name;
                         });

// The wait for the application is the launcher's outer loop: a quit a
// control asks for is left for it, and the controls after it still register.
TEST_F(ControlCodeTest, AQuitPostedByAControlIsLeftForTheWaitForTheApplication) {
  static bool quit_pending_at_b;
  static int code_at_b;
  static size_t from_a_before_b;
  quit_pending_at_b = false;
  code_at_b = 0;
  from_a_before_b = 99;
  ArrangeTwoControls(
      []() {
        PostQuitMessage(3);
        sim::PostQueueMessage(SplashWindow(), kFromA, 0, 0);
      },
      []() {
        from_a_before_b = CountDispatched(kFromA);
        quit_pending_at_b = sim::QuitPending(&code_at_b);
      });
  InstallSplash();
  static bool waited_on;
  waited_on = false;
  sim::ScriptProcess(1, [](int) { waited_on = true; });
  EXPECT_EQ(0, Run());
  // Posted messages come before the quit and were served.
  EXPECT_EQ(1u, from_a_before_b);
  EXPECT_TRUE(quit_pending_at_b);
  EXPECT_EQ(3, code_at_b);
  EXPECT_EQ("D:\\SETUP\\B.OCX",
            sim::RegistryText(HKEY_CLASSES_ROOT, "TypeLib\\{M}\\1.0\\0\\win32", ""));
  // The wait took it once the application had started, and went on waiting.
  ASSERT_EQ(1u, sim::Processes().size());
  ASSERT_EQ(1u, CountDispatched(WM_QUIT));
  size_t started = 0, quit = 0;
  for (size_t i = 0; i < sim::Calls().size(); ++i) {
    const sim::Call& call = sim::Calls()[i];
    if (call.name == "StartProcess") started = i;
    if (call.name == "DispatchMessageA" && call.args[1] == std::to_string(WM_QUIT)) quit = i;
  }
  EXPECT_LT(started, quit);
  EXPECT_TRUE(waited_on);
  int code = 0;
  EXPECT_FALSE(sim::QuitPending(&code));
  EXPECT_EQ(0, OpenAtExit());
}

struct FloodCase {
  const char* name;
  bool posted;  // else a paint that never validates
  UINT message;
  size_t served_before_b;  // of that message
};

class ControlFloodTest : public ControlCodeTest, public ::testing::WithParamInterface<FloodCase> {};

// Each pause between controls serves a bounded number of messages: the
// registrations go on however much keeps coming.
TEST_P(ControlFloodTest, AQueueThatNeverEmptiesDoesNotHoldTheRegistrationsUp) {
  const FloodCase& c = GetParam();
  static size_t served_before_b;
  static UINT message;
  message = c.message;
  served_before_b = 0;
  if (!c.posted) {
    sim::FailCall("BeginPaint", ERROR_NOT_ENOUGH_MEMORY);
    sim::FailCall("ValidateRect", ERROR_NOT_ENOUGH_MEMORY);
  }
  ArrangeTwoControls(
      [posted = c.posted]() {
        for (int i = 0; posted && i < 150000; ++i) sim::PostQueueMessage(nullptr, kFromA, 0, 0);
      },
      []() { served_before_b = CountDispatched(message); });
  RegisterControls();
  EXPECT_FALSE(sim::QueueRanAway());
  EXPECT_EQ(c.served_before_b, served_before_b);
  EXPECT_EQ("D:\\SETUP\\B.OCX",
            sim::RegistryText(HKEY_CLASSES_ROOT, "TypeLib\\{M}\\1.0\\0\\win32", ""));
}

INSTANTIATE_TEST_SUITE_P(
    ControlCode, ControlFloodTest,
    ::testing::Values(
        // Before A, after A and before B.
        FloodCase{"PaintThatNeverValidates", false, WM_PAINT, 3 * kMostMessagesServed},
        // After A and before B.
        FloodCase{"PostedMessages", true, kFromA, 2 * kMostMessagesServed}),
    [](const ::testing::TestParamInfo<FloodCase>& info) { return info.param.name; });

}  // namespace
