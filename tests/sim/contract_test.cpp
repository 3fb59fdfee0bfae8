// The simulation's side of the contract: the scenarios of
// tests/contract/scenarios.txt, run by the very interpreter the Wine fixture
// runs, give the results the table expects (and Wine gives, e2e32.contract).
#include <gtest/gtest.h>

#include <string>

#include "platform/host/sim.h"
#include "tests/contract/runner.c"

namespace {

constexpr DWORD kWindowThread = 0x700;

void ExpectResult(void*, const char* scenario, const char* call, const char* expected,
                  const char* actual) {
  EXPECT_EQ(std::string(expected), actual) << scenario << ": " << call;
}

TEST(ContractTest, TheSimulationGivesTheResultsTheTableExpects) {
  EXPECT_TRUE(RunContractTable(PRELAUNCH_SOURCE_DIR "/tests/contract/scenarios.txt", ExpectResult,
                               nullptr));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

}  // namespace

void ContractBeginScenario(const char* folder, const char*) {
  sim::Reset();
  sim::MakeDirectory(folder);
}

int ContractWriteFile(const char* path, const char* bytes, size_t size) {
  return sim::WriteFile(path, std::string(bytes, size)) ? 1 : 0;
}

int ContractMakeFolder(const char* path) { return sim::MakeDirectory(path) ? 1 : 0; }

DWORD ContractMakeThreadWindows(const char* const* titles, int count) {
  for (int i = 0; i < count; ++i)
    sim::CreateThreadWindow({kWindowThread, kContractWindowClass, titles[i]});
  return kWindowThread;
}

void ContractEndThreadWindows() {}

int ContractPostMessage(UINT message) {
  sim::PostQueueMessage(nullptr, message, 0, 0);
  return 1;
}

int ContractPrepareChild(const char* program) { return sim::WriteFile(program, "MZ") ? 1 : 0; }

// The simulated child sees its block as it was handed over.
int ContractChildEnvironment(const PROCESS_INFORMATION*, const char*, char* entries,
                             size_t capacity) {
  size_t used = 0;
  for (const std::string& entry : sim::Processes().back().environment) {
    if (used + entry.size() + 2 > capacity) return 0;
    memcpy(entries + used, entry.c_str(), entry.size() + 1);
    used += entry.size() + 1;
  }
  entries[used] = '\0';
  return 1;
}
