// The simulation reads integer keys as the platform does: the table in
// tests/contract/profile_numbers.ini is also checked against Wine, end to end.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/sim.h"

namespace {

const char* const kTable = PRELAUNCH_SOURCE_DIR "/tests/contract/profile_numbers.ini";

// key=value lines of one section, in order, read without the simulation.
std::vector<std::pair<std::string, std::string>> Section(const std::string& wanted) {
  std::ifstream in(kTable);
  std::vector<std::pair<std::string, std::string>> entries;
  std::string line, section;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    size_t equals = line.find('=');
    if (section == wanted && equals != std::string::npos) {
      entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
  }
  return entries;
}

TEST(ProfileNumbersTest, IntegerKeysReadAsThePlatformReadsThem) {
  sim::Reset();
  std::ifstream in(kTable);
  ASSERT_TRUE(in.good()) << kTable;
  std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_TRUE(sim::WriteFile("C:\\NUMBERS.INI", table));
  auto expected = Section("Expected");
  ASSERT_EQ(Section("Values").size() + 1, expected.size());
  for (const auto& entry : expected) {
    EXPECT_EQ(std::stoul(entry.second),
              ReadProfileNumber("Values", entry.first.c_str(), 77, "C:\\NUMBERS.INI"))
        << entry.first;
  }
}

}  // namespace
