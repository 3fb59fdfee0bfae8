// A simulated machine with a launcher at D:\SETUP.EXE and its home folder.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "checks/single_instance.h"
#include "launch/thread_slot.h"
#include "platform/host/sim.h"

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    ResetSingleInstanceForTests();
    ResetThreadSlotForTests();
    sim::SetModuleFileName("D:\\SETUP.EXE");
    sim::WriteFile("D:\\SETUP.EXE", "MZ");
  }

  void WriteIni(const std::string& body) { sim::WriteFile("D:\\SETUP\\SETUP.ini", body); }

  int Run(const char* arguments = "") {
    static char text[512];
    snprintf(text, sizeof text, "%s", arguments);
    return WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, text, 1);
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
