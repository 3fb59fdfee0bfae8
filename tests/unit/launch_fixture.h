// A simulated machine with a launcher at D:\SETUP.EXE and its home folder.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "base/message.h"
#include "checks/single_instance.h"
#include "checks/thread_slot.h"
#include "components/app_registry.h"
#include "components/control_code_hooks.h"
#include "components/refused_writes.h"
#include "platform/host/sim.h"
#include "process_state.h"
#include "splash/splash.h"

constexpr int kBitmapResource = 2;  // RT_BITMAP

// A packed 8-bit DIB of the splash layout: colour i is (blue i, green 255 - i,
// red i / 2), pixel (x, y) holds (x + 3 * y) % 256.
inline std::vector<BYTE> MakeSplashBitmap(LONG width, LONG height) {
  DWORD row = SplashRowBytes(width);
  std::vector<BYTE> bytes(kSplashHeaderCopySize +
                          row * static_cast<DWORD>(height < 0 ? -height : height));
  BITMAPINFOHEADER header = {
      40, width, height, 1, 8, BI_RGB, row * static_cast<DWORD>(height < 0 ? -height : height),
      0,  0,     256,    0};
  memcpy(bytes.data(), &header, sizeof header);
  for (unsigned i = 0; i < 256; ++i) {
    BYTE* colour = &bytes[40 + 4 * i];
    colour[0] = static_cast<BYTE>(i);
    colour[1] = static_cast<BYTE>(255 - i);
    colour[2] = static_cast<BYTE>(i / 2);
    colour[3] = 0x5A;  // reserved: must be ignored
  }
  for (size_t i = kSplashHeaderCopySize; i < bytes.size(); ++i) {
    size_t offset = i - kSplashHeaderCopySize;
    bytes[i] = static_cast<BYTE>(offset % row + 3 * (offset / row));
  }
  return bytes;
}

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override { StartFreshMachine(); }

  // A machine on which no launcher has run yet, with the launcher's file and a
  // launcher process just started.
  void StartFreshMachine() {
    sim::Reset();
    ResetSharedSectionForTests();
    sim::SetModuleFileName("D:\\SETUP.EXE");
    sim::WriteFile("D:\\SETUP.EXE", "MZ");
    StartFreshProcess();
  }

  // A newly started launcher process on the machine as it is.
  void StartFreshProcess() {
    ResetProcessStateForTests();
    // As WinMain does first, for the tests that call the launcher's steps themselves.
    SetBeforeMessageHook(SplashOffForMessage);
    SetControlCodeHook(SplashAroundControl);
  }

  // The launcher's process ends; the machine stays as it left it.
  void EndProcess() {
    sim::EndLauncherProcess();
    StartFreshProcess();
  }

  static HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(0x400000); }

  void InstallSplash(LONG width = 450, LONG height = 300) {
    sim::SetResource(kBitmapResource, kSplashResourceId, MakeSplashBitmap(width, height));
  }

  // Handles still open once the process has ended and its windows went away.
  int OpenAtExit() {
    sim::DestroyRemainingWindows();
    return sim::OpenHandleCount();
  }

  // The application's identity (its registry key's names) comes with every
  // configuration: each name the body leaves out is added to its [Application].
  void WriteIni(const std::string& body) {
    std::string lower = body;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    std::string identity;
    if (lower.find("companyname=") == std::string::npos) identity += "CompanyName=Maker\n";
    if (lower.find("applicationname=") == std::string::npos)
      identity += "ApplicationName=Product\n";
    if (lower.find("applicationversion=") == std::string::npos)
      identity += "ApplicationVersion=2.0\n";
    const std::string section = "[application]\n";
    size_t at = lower.find(section);
    if (at == std::string::npos) return WriteRawIni(body + "\n[Application]\n" + identity);
    WriteRawIni(body.substr(0, at + section.size()) + identity + body.substr(at + section.size()));
  }
  void WriteRawIni(const std::string& body) { sim::WriteFile("D:\\SETUP\\SETUP.ini", body); }

  int Run(const char* arguments = "") {
    static char text[512];
    snprintf(text, sizeof text, "%s", arguments);
    return WinMain(Instance(), nullptr, text, 1);
  }

  // The trace texts written, without their time stamps.
  std::vector<std::string> TraceTexts() const {
    std::vector<std::string> texts;
    for (const std::string& line : sim::DebugOutput()) {
      const std::string prefix = "CurrentTime: ";
      if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 10) continue;
      std::string text = line.substr(prefix.size() + 9);
      if (!text.empty() && text.back() == '\n') text.pop_back();
      texts.push_back(text);
    }
    return texts;
  }
};
