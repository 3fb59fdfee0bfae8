// Which windows EnumThreadWindows hands over, as Wine does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/host/sim.h"

namespace {


BOOL CALLBACK Collect(HWND window, LPARAM value) {
  reinterpret_cast<std::vector<HWND>*>(value)->push_back(window);
  return TRUE;
}

struct EnumCase {
  const char* name;
  DWORD thread_id;
  std::vector<int> handed;  // indexes of the windows below
};

class EnumThreadWindowsTest : public ::testing::TestWithParam<EnumCase> {};

TEST_P(EnumThreadWindowsTest, HandsOverTheThreadsWindowsAndForThreadZeroEveryOne) {
  sim::Reset();
  const HWND windows[] = {sim::AddThreadWindow({0x600, "A", "a"}),
                          sim::AddThreadWindow({0x700, "B", "b"}),
                          sim::AddThreadWindow({0x600, "C", "c"})};
  std::vector<HWND> seen;
  BOOL result = EnumThreadWindows(GetParam().thread_id, Collect, reinterpret_cast<LPARAM>(&seen));
  std::vector<HWND> expected;
  for (int index : GetParam().handed) expected.push_back(windows[index]);
  EXPECT_EQ(expected, seen);
  EXPECT_EQ(expected.empty() ? FALSE : TRUE, result);
}

INSTANTIATE_TEST_SUITE_P(Sim, EnumThreadWindowsTest,
                         ::testing::Values(EnumCase{"OneThread", 0x600, {0, 2}},
                                           EnumCase{"AnotherThread", 0x700, {1}},
                                           EnumCase{"NoSuchThread", 0x800, {}},
                                           EnumCase{"ThreadZero", 0, {0, 1, 2}}),
                         [](const ::testing::TestParamInfo<EnumCase>& info) {
                           return info.param.name;
                         });

}  // namespace
