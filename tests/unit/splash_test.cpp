// The splash window: bitmap layout, palettes, drawing, the state table, the
// sound path and the ways the splash comes down in a whole launch.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "base/message.h"
#include "base/trace.h"
#include "config/ini.h"
#include "config/paths.h"
#include "launch_fixture.h"

namespace {

using ::testing::ElementsAre;

std::vector<PALETTEENTRY> Converted(const BYTE* colour_table) {
  std::vector<PALETTEENTRY> entries(256);
  ConvertColourTable(colour_table, entries.data());
  return entries;
}

bool SameEntries(const std::vector<PALETTEENTRY>& a, const std::vector<PALETTEENTRY>& b) {
  return a.size() == b.size() && memcmp(a.data(), b.data(), a.size() * sizeof(PALETTEENTRY)) == 0;
}

std::string HexText(const void* pointer) {
  char text[32];
  snprintf(text, sizeof text, "0x%llx",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
  return text;
}

// Index of a call in the recorded run, or -1.
int CallIndex(const std::string& name, int occurrence = 1) {
  int seen = 0;
  for (size_t i = 0; i < sim::Calls().size(); ++i) {
    if (sim::Calls()[i].name == name && ++seen == occurrence) return static_cast<int>(i);
  }
  return -1;
}

class SplashTest : public LaunchTest {
 protected:
  void SetUp() override {
    LaunchTest::SetUp();
    Configure("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\n");
    InstallSplash();
  }

  void Configure(const std::string& ini) {
    WriteIni(ini);
    ASSERT_NE(0u, GetIniFileName(Instance()));
    TraceStart(1);
  }

  // What the launcher's wait loop does with its queue.
  static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  static HWND OnlyWindow() {
    std::vector<sim::WindowRecord> windows = sim::Windows();
    return windows.size() == 1 ? windows[0].handle : nullptr;
  }

  static bool ClassUp() { return sim::ClassRegistered("SplashLogo", Instance()); }

  static const BYTE* Resource() { return sim::ResourceBytes(kBitmapResource, kSplashResourceId); }
};

// --- Data transformations ---

struct CentreCase {
  int screen_width, screen_height;
  LONG width, height;
  LONG x, y;
};

class CentreTest : public SplashTest, public ::testing::WithParamInterface<CentreCase> {};

TEST_P(CentreTest, TheWindowIsTheBitmapCentredWithEachHalfTruncated) {
  const CentreCase& c = GetParam();
  POINT at = CentreOnScreen(c.screen_width, c.screen_height, c.width, c.height);
  EXPECT_EQ(c.x, at.x);
  EXPECT_EQ(c.y, at.y);

  sim::SetScreenSize(c.screen_width, c.screen_height);
  InstallSplash(c.width, c.height);
  HWND window = SplashOn(Instance());
  ASSERT_NE(nullptr, window);
  std::vector<sim::WindowRecord> windows = sim::Windows();
  ASSERT_EQ(1u, windows.size());
  EXPECT_EQ(c.x, windows[0].x);
  EXPECT_EQ(c.y, windows[0].y);
  EXPECT_EQ(c.width, windows[0].width);
  EXPECT_EQ(c.height, windows[0].height);
  EXPECT_EQ("SplashLogo", windows[0].class_name);
  EXPECT_EQ("", windows[0].title);
  EXPECT_EQ(0x88u, windows[0].ex_style);
  EXPECT_EQ(0x90000000u, windows[0].style);
}

INSTANTIATE_TEST_SUITE_P(Splash, CentreTest,
                         ::testing::Values(CentreCase{1024, 768, 450, 300, 287, 234},
                                           CentreCase{800, 600, 450, 300, 175, 150},
                                           CentreCase{640, 480, 450, 300, 95, 90},
                                           CentreCase{1024, 768, 451, 301, 287, 234},
                                           CentreCase{1023, 767, 451, 301, 286, 233},
                                           CentreCase{640, 480, 800, 600, -80, -60}));

TEST(ColourTable, BlueGreenRedBecomesRedGreenBlueWithNoFlags) {
  BYTE table[256 * 4] = {};
  const BYTE first[4] = {0x10, 0x20, 0x30, 0x00};
  const BYTE last[4] = {0xFE, 0x01, 0x80, 0xFF};  // the reserved byte is not a flag
  memcpy(table, first, 4);
  memcpy(table + 255 * 4, last, 4);
  std::vector<PALETTEENTRY> entries = Converted(table);
  EXPECT_EQ(0x30, entries[0].peRed);
  EXPECT_EQ(0x20, entries[0].peGreen);
  EXPECT_EQ(0x10, entries[0].peBlue);
  EXPECT_EQ(0, entries[0].peFlags);
  EXPECT_EQ(0x80, entries[255].peRed);
  EXPECT_EQ(0x01, entries[255].peGreen);
  EXPECT_EQ(0xFE, entries[255].peBlue);
  EXPECT_EQ(0, entries[255].peFlags);
}

struct LayoutCase {
  const char* name;
  size_t field_offset;  // into the header; SIZE_MAX: change nothing there
  DWORD value;
  long size_change;  // bytes added to (or taken from) the resource
  bool accepted;
};

class LayoutTest : public SplashTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutTest, OnlyTheSplashLayoutShowsAWindow) {
  const LayoutCase& c = GetParam();
  std::vector<BYTE> bytes = MakeSplashBitmap(451, 3);  // rows of 452 bytes
  if (c.field_offset != SIZE_MAX) {
    size_t width = c.field_offset == 14 ? 2 : 4;  // biBitCount is a WORD
    memcpy(&bytes[c.field_offset], &c.value, width);
  }
  bytes.resize(static_cast<size_t>(static_cast<long>(bytes.size()) + c.size_change));
  sim::SetResource(kBitmapResource, kSplashResourceId, bytes);

  SplashBitmap bitmap;
  EXPECT_EQ(c.accepted ? 1 : 0,
            ReadSplashHeader(Resource(), static_cast<DWORD>(bytes.size()), &bitmap));
  HWND window = SplashOn(Instance());
  EXPECT_EQ(c.accepted, window != nullptr);
  EXPECT_EQ(c.accepted ? 1u : 0u, sim::CallsTo("CreateWindowExA").size());
  EXPECT_EQ(1u, sim::Sounds().size());  // the sound plays either way
  EXPECT_THAT(TraceTexts(), ElementsAre("Application Start", "SplashOn", "SplashOn Exit"));
  EXPECT_EQ(0, OpenAtExit());
}

INSTANTIATE_TEST_SUITE_P(
    Splash, LayoutTest,
    ::testing::Values(
        LayoutCase{"Shipped", SIZE_MAX, 0, 0, true},
        LayoutCase{"NoColourCountMeansAll", 32, 0, 0, true},
        LayoutCase{"TrailingBytes", SIZE_MAX, 0, 7, true},
        LayoutCase{"CoreHeader", 0, 12, 0, false}, LayoutCase{"V5Header", 0, 124, 0, false},
        LayoutCase{"FourBits", 14, 4, 0, false}, LayoutCase{"TwentyFourBits", 14, 24, 0, false},
        LayoutCase{"RunLength", 16, 1, 0, false}, LayoutCase{"SixteenColours", 32, 16, 0, false},
        LayoutCase{"TooManyColours", 32, 257, 0, false},
        LayoutCase{"TopDown", 8, static_cast<DWORD>(-3), 0, false},
        LayoutCase{"NoRows", 8, 0, 0, false}, LayoutCase{"NoWidth", 4, 0, 0, false},
        LayoutCase{"OneByteShort", SIZE_MAX, 0, -1, false},
        LayoutCase{"HugeHeight", 8, 0x7FFFFFFF, 0, false},
        LayoutCase{"OnlyTheHeader", SIZE_MAX, 0, -3 * 452 - 1000, false}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

TEST_F(SplashTest, TheShippedBitmapIsOneTheLauncherShows) {
  std::ifstream file(PRELAUNCH_SOURCE_DIR "/resources/splash.bmp", std::ios::binary);
  std::vector<BYTE> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 14u);
  bytes.erase(bytes.begin(), bytes.begin() + 14);  // the resource holds no file header
  sim::SetResource(kBitmapResource, kSplashResourceId, bytes);
  ASSERT_NE(nullptr, SplashOn(Instance()));
  ASSERT_EQ(1u, sim::Windows().size());
  EXPECT_EQ(287, sim::Windows()[0].x);
  EXPECT_EQ(234, sim::Windows()[0].y);
  EXPECT_EQ(450, sim::Windows()[0].width);
  EXPECT_EQ(300, sim::Windows()[0].height);
  ASSERT_EQ(1u, sim::Draws().size());
  EXPECT_EQ(300u * 452u, bytes.size() - 1064);
}

TEST_F(SplashTest, NoBitmapResourceMeansNoWindowNorTimerButTheSoundStillPlays) {
  StartFreshMachine();
  Configure("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\n");
  EXPECT_EQ(nullptr, SplashOn(Instance()));
  EXPECT_EQ(1u, sim::Sounds().size());
  // A delay without a window starts no timer that would only wake the launcher.
  SplashOff(3000);
  EXPECT_TRUE(sim::CallsTo("SetTimer").empty());
  SplashOff(0);
  EXPECT_TRUE(sim::CallsTo("DestroyWindow").empty());
  EXPECT_EQ(0, OpenAtExit());
}

// --- Palettes and drawing ---

TEST_F(SplashTest, WithoutAHardwarePaletteTheSplashPaletteIsTheBitmapsColours) {
  ASSERT_NE(nullptr, SplashOn(Instance()));
  EXPECT_EQ(-1, CallIndex("GetSystemPaletteEntries"));
  ASSERT_EQ(1u, sim::Palettes().size());
  const sim::PaletteInfo& splash = sim::Palettes()[0];
  EXPECT_EQ(0x300, splash.version);
  EXPECT_TRUE(SameEntries(Converted(Resource() + 40), splash.entries));
  EXPECT_FALSE(splash.deleted);
}

TEST_F(SplashTest, OnAPaletteDeviceTheSplashKeepsTheSystemPaletteReadBackAfterItsColours) {
  sim::SetPaletteDevice(true);
  ASSERT_NE(nullptr, SplashOn(Instance()));
  ASSERT_EQ(3u, sim::Palettes().size());
  const sim::PaletteInfo& flush = sim::Palettes()[0];
  const sim::PaletteInfo& colours = sim::Palettes()[1];
  const sim::PaletteInfo& splash = sim::Palettes()[2];
  for (const PALETTEENTRY& entry : flush.entries) {
    EXPECT_EQ(0, entry.peRed | entry.peGreen | entry.peBlue);
    EXPECT_EQ(PC_NOCOLLAPSE, entry.peFlags);
  }
  EXPECT_TRUE(flush.deleted);
  EXPECT_EQ(1, flush.realized);
  EXPECT_TRUE(SameEntries(Converted(Resource() + 40), colours.entries));
  EXPECT_TRUE(colours.deleted);
  // The flush is over before the bitmap's colours are realised.
  EXPECT_LT(CallIndex("DeleteObject", 1), CallIndex("CreatePalette", 2));
  EXPECT_LT(CallIndex("RealizePalette", 2), CallIndex("GetSystemPaletteEntries"));
  // The static colours at both ends show that this is the read-back, not the table.
  EXPECT_TRUE(SameEntries(sim::SystemPalette(), splash.entries));
  EXPECT_FALSE(SameEntries(colours.entries, splash.entries));
  EXPECT_FALSE(splash.deleted);
  EXPECT_EQ(0, sim::PalettesDeletedWhileSelected());
  EXPECT_EQ(0, sim::DcsReleasedWithAPaletteSelected());
}

TEST_F(SplashTest, ThePictureIsDrawnFromTheResourcesOwnRowsAndTheHeaderCopy) {
  sim::SetPaletteDevice(true);
  HWND window = SplashOn(Instance());
  ASSERT_NE(nullptr, window);
  ASSERT_EQ(1u, sim::Draws().size());
  const sim::DrawRecord& draw = sim::Draws()[0];
  EXPECT_EQ(window, draw.window);
  EXPECT_EQ(Resource() + 1064, draw.bits);
  EXPECT_NE(static_cast<const void*>(Resource()), static_cast<const void*>(draw.info));
  EXPECT_EQ(0, memcmp(Resource() + 40, draw.colour_table.data(), 1024));
  EXPECT_EQ(0, draw.x);
  EXPECT_EQ(0, draw.y);
  EXPECT_EQ(450u, draw.width);
  EXPECT_EQ(300u, draw.height);
  EXPECT_EQ(0, draw.source_x);
  EXPECT_EQ(0, draw.source_y);
  EXPECT_EQ(0u, draw.start_scan);
  EXPECT_EQ(300u, draw.lines);
  EXPECT_EQ(static_cast<UINT>(DIB_RGB_COLORS), draw.colour_use);
  EXPECT_EQ(sim::Palettes()[2].handle, draw.palette);
  EXPECT_EQ(0, sim::DcsReleasedWithAPaletteSelected());
  // Drawn before SplashOn returns: no message loop has run.
  EXPECT_TRUE(sim::DispatchedMessages().empty());
  EXPECT_EQ(3, sim::OpenHandleCount());  // window, palette, header copy
}

struct PaletteChangeCase {
  const char* name;
  bool from_splash;
  size_t draws;
};

class PaletteChangeTest : public SplashTest,
                          public ::testing::WithParamInterface<PaletteChangeCase> {};

TEST_P(PaletteChangeTest, OnlyAnotherWindowsPaletteChangeRedraws) {
  HWND window = SplashOn(Instance());
  ASSERT_NE(nullptr, window);
  HWND changed_by = GetParam().from_splash ? window : reinterpret_cast<HWND>(0x7770);
  EXPECT_EQ(0,
            sim::SendToWindow(window, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(changed_by), 0));
  ASSERT_EQ(GetParam().draws, sim::Draws().size());
  if (GetParam().draws == 2) {
    EXPECT_EQ(Resource() + 1064, sim::Draws()[1].bits);
    EXPECT_EQ(300u, sim::Draws()[1].lines);
  }
  EXPECT_EQ(3, sim::OpenHandleCount());                      // the context was given back
  EXPECT_TRUE(sim::CallsTo("DefWindowProcA").size() == 2u);  // only WM_NCCREATE and WM_CREATE
}

INSTANTIATE_TEST_SUITE_P(Splash, PaletteChangeTest,
                         ::testing::Values(PaletteChangeCase{"FromTheSplash", true, 1},
                                           PaletteChangeCase{"FromAnotherWindow", false, 2}),
                         [](const ::testing::TestParamInfo<PaletteChangeCase>& info) {
                           return info.param.name;
                         });

TEST_F(SplashTest, APaintMessageRedrawsTheWholeBitmapAndValidates) {
  HWND window = SplashOn(Instance());
  Pump();  // the window was created visible: one WM_PAINT is due
  ASSERT_EQ(1u, sim::DispatchedMessages().size());
  EXPECT_EQ(static_cast<UINT>(WM_PAINT), sim::DispatchedMessages()[0].message);
  std::vector<sim::Call> invalidations = sim::CallsTo("InvalidateRect");
  ASSERT_EQ(1u, invalidations.size());
  EXPECT_THAT(invalidations[0].args, ElementsAre(HexText(window), "0x0", "0"));
  EXPECT_LT(CallIndex("InvalidateRect"), CallIndex("BeginPaint"));
  ASSERT_EQ(2u, sim::Draws().size());
  EXPECT_EQ(window, sim::Draws()[1].window);
  EXPECT_EQ(300u, sim::Draws()[1].lines);
  EXPECT_EQ(1u, sim::CallsTo("EndPaint").size());
  Pump();
  EXPECT_EQ(1u, sim::DispatchedMessages().size());
}

struct PaintCase {
  const char* name;
  bool begin_fails;
  size_t validations;
};

class PaintTest : public SplashTest, public ::testing::WithParamInterface<PaintCase> {};

// A window that stays invalid gets WM_PAINT again at once, for ever.
TEST_P(PaintTest, APaintMessageLeavesTheWindowValidWhetherOrNotPaintingBegan) {
  if (GetParam().begin_fails) sim::FailCall("BeginPaint", ERROR_NOT_ENOUGH_MEMORY);
  HWND window = SplashOn(Instance());
  Pump();
  Pump();
  EXPECT_EQ(1u, sim::DispatchedMessages().size());
  EXPECT_FALSE(sim::QueueRanAway());
  std::vector<sim::Call> validations = sim::CallsTo("ValidateRect");
  ASSERT_EQ(GetParam().validations, validations.size());
  if (!validations.empty()) {
    EXPECT_THAT(validations[0].args, ElementsAre(HexText(window), "0x0"));
  }
  EXPECT_EQ(GetParam().begin_fails ? 0u : 1u, sim::CallsTo("EndPaint").size());
}

INSTANTIATE_TEST_SUITE_P(Splash, PaintTest,
                         ::testing::Values(PaintCase{"PaintingBegins", false, 0},
                                           PaintCase{"PaintingCannotBegin", true, 1}),
                         [](const ::testing::TestParamInfo<PaintCase>& info) {
                           return info.param.name;
                         });

TEST_F(SplashTest, UnhandledMessagesGoToTheDefaultProcedure) {
  HWND window = SplashOn(Instance());
  sim::SendToWindow(window, WM_USER + 1, 5, 6);
  ASSERT_FALSE(sim::CallsTo("DefWindowProcA").empty());
  EXPECT_THAT(sim::CallsTo("DefWindowProcA").back().args,
              ElementsAre(HexText(window), std::to_string(WM_USER + 1), "5", "6"));
}

// --- The state table ---

enum Step {
  kOn,
  kOnAgain,
  kOff0,
  kOffDelay,
  kCloseMessage,
  kElapse2999,
  kElapse1,
  kWmClose,
  kMessageBox
};

struct StateCase {
  const char* name;
  std::vector<Step> steps;
  bool window;
  bool class_registered;
  bool timer;
  size_t destroy_calls;
  size_t splash_off_traces;
};

class StateTest : public SplashTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(StateTest, EndsInItsState) {
  const StateCase& c = GetParam();
  HWND first = nullptr;
  for (Step step : c.steps) {
    switch (step) {
      case kOn:
        first = SplashOn(Instance());
        ASSERT_NE(nullptr, first);
        break;
      case kOnAgain:
        EXPECT_EQ(nullptr, SplashOn(Instance()));
        break;
      case kOff0:
        SplashOff(0);
        break;
      case kOffDelay:
        SplashOff(3000);
        break;
      case kCloseMessage:
        sim::PostQueueMessage(first, kSplashCloseMessage, 1, 2);
        Pump();
        break;
      case kElapse2999:
        sim::AdvanceClock(2999);
        Pump();
        break;
      case kElapse1:
        sim::AdvanceClock(1);
        Pump();
        break;
      case kWmClose:
        sim::SendToWindow(first, WM_CLOSE, 0, 0);
        break;
      case kMessageBox:
        ShowMessage(nullptr, "text", "caption", kMessageOk);
        break;
    }
  }
  std::vector<sim::WindowRecord> windows = sim::Windows();
  EXPECT_EQ(c.window ? 1u : 0u, windows.size());
  EXPECT_EQ(c.class_registered, ClassUp());
  EXPECT_EQ(c.timer, !windows.empty() && !windows[0].timers.empty());
  if (c.timer && !windows.empty()) {
    EXPECT_THAT(windows[0].timers, ElementsAre(std::make_pair(UINT_PTR{1}, 3000u)));
  }
  EXPECT_EQ(c.destroy_calls, sim::CallsTo("DestroyWindow").size());
  size_t offs = 0;
  for (const std::string& text : TraceTexts()) offs += text == "SplashOff";
  EXPECT_EQ(c.splash_off_traces, offs);
  EXPECT_EQ(1u, sim::CallsTo("CreateWindowExA").size());
  // The window's palette and header copy go with the window.
  EXPECT_EQ(c.window ? 3 : 0, sim::OpenHandleCount());
  EXPECT_EQ(0, OpenAtExit());
}

INSTANTIATE_TEST_SUITE_P(
    Splash, StateTest,
    ::testing::Values(
        StateCase{"Showing", {kOn}, true, true, false, 0, 0},
        StateCase{"ClosedAtOnce", {kOn, kOff0}, false, false, false, 1, 1},
        StateCase{
            "OffTwiceOnlyTracesTheSecondTime", {kOn, kOff0, kOff0}, false, false, false, 1, 2},
        StateCase{"OffBeforeOnOnlyTraces", {kOff0, kOn}, true, true, false, 0, 1},
        StateCase{"Closing", {kOn, kOffDelay}, true, true, true, 0, 1},
        StateCase{"ClosingIgnoresTheCloseMessage",
                  {kOn, kOffDelay, kCloseMessage},
                  true,
                  true,
                  true,
                  0,
                  2},
        StateCase{"ClosingIgnoresOffAtOnce", {kOn, kOffDelay, kOff0}, true, true, true, 0, 2},
        // A box must never sit under the topmost splash, pending delay or not.
        StateCase{"MessageBoxWhileShowing", {kOn, kMessageBox}, false, false, false, 1, 1},
        StateCase{
            "MessageBoxWhileClosing", {kOn, kOffDelay, kMessageBox}, false, false, false, 1, 2},
        StateCase{"MessageBoxAfterTheTimerKeepsTheClass",
                  {kOn, kOffDelay, kElapse2999, kElapse1, kMessageBox},
                  false,
                  true,
                  false,
                  1,
                  2},
        StateCase{"MessageBoxBeforeOn", {kMessageBox, kOn}, true, true, false, 0, 1},
        StateCase{"TimerNotYetDue", {kOn, kOffDelay, kElapse2999}, true, true, true, 0, 1},
        StateCase{"ClosedByTimerKeepsTheClass",
                  {kOn, kOffDelay, kCloseMessage, kElapse2999, kElapse1},
                  false,
                  true,
                  false,
                  1,
                  2},
        StateCase{"CloseMessageWhileShowing", {kOn, kCloseMessage}, false, false, false, 1, 1},
        StateCase{"SecondOnChangesNothing", {kOn, kOnAgain}, true, true, false, 0, 0},
        StateCase{
            "OnWhileClosingChangesNothing", {kOn, kOffDelay, kOnAgain}, true, true, true, 0, 1},
        StateCase{"DestroyedByOtherMeans", {kOn, kWmClose}, false, true, false, 1, 0},
        StateCase{
            "DestroyedByOtherMeansThenOff", {kOn, kWmClose, kOff0}, false, false, false, 1, 1}),
    [](const ::testing::TestParamInfo<StateCase>& info) { return info.param.name; });

TEST_F(SplashTest, AbortStopsTheSoundThenTakesTheSplashDown) {
  ASSERT_NE(nullptr, SplashOn(Instance()));
  SplashAbort();
  ASSERT_EQ(2u, sim::Sounds().size());
  EXPECT_EQ("(null)", sim::Sounds()[1].sound);
  EXPECT_EQ(nullptr, sim::Sounds()[1].module);
  EXPECT_EQ(0x40u, sim::Sounds()[1].flags);
  EXPECT_LT(CallIndex("PlaySoundFile", 2), CallIndex("DestroyWindow"));
  EXPECT_FALSE(ClassUp());
}

TEST_F(SplashTest, AFailedWindowCreationGivesTheHeaderCopyBack) {
  sim::FailCall("CreateWindowExA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(nullptr, SplashOn(Instance()));
  EXPECT_EQ(0, sim::OpenHandleCount());
  EXPECT_TRUE(ClassUp());
  SplashOff(0);
  EXPECT_FALSE(ClassUp());
}

TEST_F(SplashTest, WithoutADrawingContextTheFirstPaintMessageDrawsTheBitmapsColours) {
  sim::SetPaletteDevice(true);
  sim::FailCall("GetDC", ERROR_NOT_ENOUGH_MEMORY);
  ASSERT_NE(nullptr, SplashOn(Instance()));
  EXPECT_TRUE(sim::Draws().empty());
  ASSERT_EQ(1u, sim::Palettes().size());
  EXPECT_TRUE(SameEntries(Converted(Resource() + 40), sim::Palettes()[0].entries));
  Pump();
  ASSERT_EQ(1u, sim::Draws().size());
  EXPECT_EQ(sim::Palettes()[0].handle, sim::Draws()[0].palette);
}

// --- The sound ---

struct SoundCase {
  const char* value;
  const char* path;
};

class SoundTest : public SplashTest, public ::testing::WithParamInterface<SoundCase> {};

TEST_P(SoundTest, SplashWaveFileResolvesAgainstTheHomeDirectory) {
  char path[kPathCapacity];
  ASSERT_EQ(1, ResolveSoundPath(path, sizeof path, "D:\\SETUP\\", GetParam().value));
  EXPECT_STREQ(GetParam().path, path);

  Configure(std::string("[Application]\nApplicationName=Game\nSplashWaveFile=") + GetParam().value +
            "\n");
  SplashOn(Instance());
  ASSERT_EQ(1u, sim::Sounds().size());
  EXPECT_EQ(GetParam().path, sim::Sounds()[0].sound);
  EXPECT_EQ(nullptr, sim::Sounds()[0].module);
  EXPECT_EQ(0x22001u, sim::Sounds()[0].flags);
}

INSTANTIATE_TEST_SUITE_P(Splash, SoundTest,
                         ::testing::Values(SoundCase{"intro.wav", "D:\\SETUP\\intro.wav"},
                                           SoundCase{"SOUNDS\\intro.wav", "D:\\SETUP\\intro.wav"},
                                           SoundCase{"\\MEDIA\\intro.wav", "D:\\SETUP\\intro.wav"},
                                           SoundCase{"E:\\MEDIA\\intro.wav",
                                                     "E:\\MEDIA\\intro.wav"},
                                           SoundCase{"E:intro.wav", "E:intro.wav"}));

TEST_F(SplashTest, ASoundPathOfMoreThan259CharactersPlaysNothing) {
  // Home D:\ + 240 + \SETUP\ is 250 characters.
  std::string folder = "D:\\" + std::string(240, 'f');
  for (const char* value : {"intro.wav", "intros.wav"}) {
    StartFreshMachine();
    sim::SetModuleFileName(folder + "\\SETUP.EXE");
    sim::WriteFile(
        folder + "\\SETUP\\SETUP.ini",
        std::string("[Application]\nApplicationName=Game\nSplashWaveFile=") + value + "\n");
    ASSERT_NE(0u, GetIniFileName(Instance()));
    SplashOn(Instance());
    bool fits = strlen(value) == 9;
    ASSERT_EQ(fits ? 1u : 0u, sim::Sounds().size()) << value;
    if (fits) {
      EXPECT_EQ(259u, sim::Sounds()[0].sound.size());
    }
    EXPECT_TRUE(sim::MessageBoxes().empty());
  }
}

// --- In a whole launch ---

class SplashLaunchTest : public LaunchTest {
 protected:
  void SetUp() override {
    LaunchTest::SetUp();
    InstallSplash();
    sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  }
  static std::string HandleSwitch(HWND window) {
    char text[16];
    snprintf(text, sizeof text, " /%08x",
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)));
    return text;
  }
};

TEST_F(SplashLaunchTest, TheApplicationGetsTheHandleAndItsCloseMessageTakesTheSplashDown) {
  WriteIni("[Application]\nApplicationName=Game\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n");
  static HWND splash;
  static bool up_before_close;
  splash = nullptr;
  sim::ScriptProcess(2, [](int wake) {
    if (wake != 1) return;
    splash = sim::Windows().empty() ? nullptr : sim::Windows()[0].handle;
    up_before_close = splash != nullptr;
    sim::PostQueueMessage(splash, kSplashCloseMessage, 0, 0);
  });
  EXPECT_EQ(0, Run());
  EXPECT_TRUE(up_before_close);
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ("D:\\SETUP\\GAME.EXE" + HandleSwitch(splash), sim::Processes()[0].command_line);
  EXPECT_TRUE(sim::Windows().empty());
  EXPECT_FALSE(sim::ClassRegistered("SplashLogo", Instance()));
  EXPECT_EQ(0, sim::OpenHandleCount());
  EXPECT_EQ("D:\\SETUP\\intro.wav", sim::Sounds().at(0).sound);
}

struct OffTimeCase {
  const char* name;
  const char* off_time;  // nullptr: absent
  bool gone_before_start;
  bool gone_at_end;
};

class OffTimeTest : public SplashLaunchTest, public ::testing::WithParamInterface<OffTimeCase> {};

TEST_P(OffTimeTest, SplashOffTimeDecidesWhenTheSplashGoes) {
  const OffTimeCase& c = GetParam();
  std::string ini =
      "[Application]\nApplicationName=Game\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n";
  if (c.off_time != nullptr) ini += std::string("SplashOffTime=") + c.off_time + "\n";
  WriteIni(ini);
  static size_t windows_at_start;
  static HWND splash_at_start;
  windows_at_start = 99;
  splash_at_start = nullptr;
  sim::ScriptProcess(2, [](int wake) {
    if (wake == 1) {
      windows_at_start = sim::Windows().size();
      if (windows_at_start != 0) splash_at_start = sim::Windows()[0].handle;
    }
    sim::AdvanceClock(2000);
  });
  EXPECT_EQ(0, Run());
  EXPECT_EQ(c.gone_before_start ? 0u : 1u, windows_at_start);
  EXPECT_EQ(c.gone_at_end ? 0u : 1u, sim::Windows().size());
  ASSERT_EQ(1u, sim::Processes().size());
  // Only a splash still up when the application starts is named to it.
  EXPECT_EQ(c.gone_before_start, splash_at_start == nullptr);
  EXPECT_EQ("D:\\SETUP\\GAME.EXE" + HandleSwitch(splash_at_start),
            sim::Processes()[0].command_line);
  EXPECT_EQ(0, OpenAtExit());
}

INSTANTIATE_TEST_SUITE_P(
    Splash, OffTimeTest,
    ::testing::Values(OffTimeCase{"Absent", nullptr, false, false},
                      OffTimeCase{"StaysUp", "65535", false, false},
                      OffTimeCase{"AtOnce", "0", true, true},
                      OffTimeCase{"AfterThreeSeconds", "3000", false, true},
                      OffTimeCase{"LongerThanTheApplication", "60000", false, false},
                      // Numbers as the platform reads them.
                      OffTimeCase{"NotANumber", "abc", true, true},
                      OffTimeCase{"DigitsThenText", "3000ms", false, true},
                      OffTimeCase{"WrapsToStaysUp", "4295032831", false, false},
                      OffTimeCase{"PastTwentyNineCharacters", "00000000000000000000000000000065535",
                                  true, true}),
    [](const ::testing::TestParamInfo<OffTimeCase>& info) { return info.param.name; });

// A box before the start took the splash down: its old handle may already
// name another program's window.
TEST_F(SplashLaunchTest, ASplashTakenDownByABoxIsNotNamedToTheApplication) {
  WriteIni(
      "[Application]\nApplicationName=Game\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n"
      "[SystemOcx]\nOcx1=A.OCX\nOcx1TypeLib={L}\nOcx1Clsid={C}\nOcx1Version=1.0\n");
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("LoadLibrary Failed", sim::MessageBoxes()[0].caption);
  EXPECT_TRUE(sim::Windows().empty());
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ("D:\\SETUP\\GAME.EXE /00000000", sim::Processes()[0].command_line);
}

TEST_F(SplashLaunchTest, AMissingSplashWaveFileTakesTheSplashDownForItsMessage) {
  WriteIni("[Application]\nApplicationName=Game\nProgramName=GAME.EXE\n");
  EXPECT_EQ(0, Run("/Debug"));
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("GetPrivateProfileString", sim::MessageBoxes()[0].caption);
  EXPECT_EQ(
      "Failed to find label: SplashWaveFile in Section: Application\n INIFile: "
      "D:\\SETUP\\SETUP.ini",
      sim::MessageBoxes()[0].text);
  EXPECT_EQ(0x40u, sim::MessageBoxes()[0].type);
  EXPECT_LT(CallIndex("DestroyWindow"), CallIndex("ShowMessageBox"));
  EXPECT_LT(CallIndex("UnregisterClassA"), CallIndex("ShowMessageBox"));
  EXPECT_TRUE(sim::Sounds().empty());
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ("D:\\SETUP\\GAME.EXE /00000000", sim::Processes()[0].command_line);
  EXPECT_THAT(TraceTexts(),
              ElementsAre("Application Start", "CreateApplicationKeys", "Create Company Key: 0",
                          "SetValue: 0", "IsAutoRunDisabled", "SplashOn", "SplashOff",
                          "SplashOn Exit", "CheckCoreComponents", "RegisterOCXs",
                          "RegisterOCX Type: SystemOcx", "RegisterOCX Type: ApplicationOcx",
                          "WinExec", "WinExec Process Started", "Process Exited", "UnRegisterOCXs",
                          "DeleteAppRegisteredOCX", "Application Stop"));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

class MessageBoxLaunchTest : public SplashLaunchTest,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(MessageBoxLaunchTest, EveryMessageBoxTakesTheSplashDownFirst) {
  WriteIni(std::string("[Application]\nApplicationName=Game\nProgramName=NOGAME."
                       "EXE\nSplashWaveFile=intro.wav\n") +
           GetParam());
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("WinExecAndWait", sim::MessageBoxes()[0].caption);
  EXPECT_TRUE(sim::MessageBoxes()[0].windows_up.empty());
  EXPECT_LT(CallIndex("DestroyWindow"), CallIndex("ShowMessageBox"));
  EXPECT_LT(CallIndex("UnregisterClassA"), CallIndex("ShowMessageBox"));
  // The failed start's message names the handle of a splash already gone.
  EXPECT_EQ(std::string::npos, sim::MessageBoxes()[0].text.find("/00000000"));
  EXPECT_TRUE(sim::Windows().empty());
  EXPECT_FALSE(sim::ClassRegistered("SplashLogo", Instance()));
}

INSTANTIATE_TEST_SUITE_P(Splash, MessageBoxLaunchTest,
                         ::testing::Values("", "SplashOffTime=65535\n", "SplashOffTime=60000\n"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param).empty()
                                      ? std::string("NoSplashOffTime")
                                      : "SplashOffTime" + std::string(info.param).substr(14, 5);
                         });

}  // namespace
