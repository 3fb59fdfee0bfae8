// Version-resource test files: resource-only DLLs built by data/make_version_data.sh.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "platform/host/sim.h"

// versioned.dll is 2.10.0.5 with translation 0409/04B0 and an OLESelfRegister string.
inline std::string VersionData(const std::string& name) {
  std::ifstream in(std::string(PRELAUNCH_UNIT_DATA) + "/" + name, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) ADD_FAILURE() << "missing test file " << name;
  return bytes;
}

inline void PutVersionData(const std::string& windows_path, const std::string& name) {
  sim::WriteFile(windows_path, VersionData(name));
}
