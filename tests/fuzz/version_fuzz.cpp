// Dotted versions against files' versions, and the base-9 key names of the
// lists. Files carry the test's version resource with its four numbers
// patched in, so the launcher reads them as Windows would.
#include <fstream>
#include <iterator>
#include <string>

#include "components/file_version.h"
#include "config/ini.h"
#include "config/keys.h"
#include "fuzz_input.h"
#include "sim_machine.h"

namespace {

struct Version {
  uint16_t n[4];
};

// The model: four 16-bit numbers, compared from the first.
bool AtLeast(const Version& a, const Version& b) {
  for (int i = 0; i < 4; ++i)
    if (a.n[i] != b.n[i]) return a.n[i] > b.n[i];
  return true;
}

Version ReadVersion(FuzzInput& in) {
  Version v;
  for (uint16_t& n : v.n) {
    // Small numbers and equal ones are where orders go wrong.
    uint8_t shape = in.Byte();
    n = shape < 128 ? static_cast<uint16_t>(shape % 4) : static_cast<uint16_t>(in.Number(2));
  }
  return v;
}

std::string Dotted(const Version& v) {
  return std::to_string(v.n[0]) + "." + std::to_string(v.n[1]) + "." + std::to_string(v.n[2]) +
         "." + std::to_string(v.n[3]);
}

const std::string& VersionedImage() {
  static const std::string image = [] {
    std::ifstream file(PRELAUNCH_UNIT_DATA "/versioned.dll", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  }();
  return image;
}

void PutNumber(std::string& image, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) image[at + i] = static_cast<char>(value >> (8 * i));
}

// A file of version v at path.
void PutVersionedFile(const std::string& path, const Version& v) {
  std::string image = VersionedImage();
  static const char kSignature[] = "\xBD\x04\xEF\xFE";  // VS_FIXEDFILEINFO's
  size_t fixed = image.find(std::string(kSignature, 4));
  FUZZ_CHECK(fixed != std::string::npos);
  PutNumber(image, fixed + 8, uint32_t{v.n[0]} << 16 | v.n[1]);
  PutNumber(image, fixed + 12, uint32_t{v.n[2]} << 16 | v.n[3]);
  FUZZ_CHECK(sim::WriteFile(path, image));
}

void CheckVersions(FuzzInput& in) {
  Version v[3] = {ReadVersion(in), ReadVersion(in), ReadVersion(in)};
  const char* paths[3] = {"C:\\v\\a.ocx", "C:\\v\\b.ocx", "C:\\v\\c.ocx"};
  for (int i = 0; i < 3; ++i) PutVersionedFile(paths[i], v[i]);
  DWORD numbers[kVersionNumbers];
  FUZZ_CHECK(GetFileVersionNumbers(paths[0], numbers));
  for (int i = 0; i < 4; ++i) FUZZ_CHECK(numbers[i] == v[0].n[i]);

  // at_least[i][j]: file i is at least version j.
  int at_least[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      at_least[i][j] = CompareFileVersion(paths[i], Dotted(v[j]).c_str());
      FUZZ_CHECK(at_least[i][j] == AtLeast(v[i], v[j]));
    }
  for (int i = 0; i < 3; ++i) {
    FUZZ_CHECK(at_least[i][i]);
    for (int j = 0; j < 3; ++j) {
      bool same = std::equal(v[i].n, v[i].n + 4, v[j].n);
      FUZZ_CHECK(!(at_least[i][j] && at_least[j][i]) || same);  // antisymmetric
      FUZZ_CHECK(at_least[i][j] || at_least[j][i]);             // total
      for (int k = 0; k < 3; ++k)
        FUZZ_CHECK(!(at_least[i][j] && at_least[j][k]) || at_least[i][k]);  // transitive
    }
  }

  // Any text at all: a newer file is never less new than it than an older one.
  std::string text = in.Text(40);
  int answers[3];
  for (int i = 0; i < 3; ++i) answers[i] = CompareFileVersion(paths[i], text.c_str());
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (AtLeast(v[i], v[j])) FUZZ_CHECK(answers[i] >= answers[j]);
  // Short forms count the numbers left out as 0.
  std::string shortened = std::to_string(v[1].n[0]) + "." + std::to_string(v[1].n[1]);
  Version padded = {{v[1].n[0], v[1].n[1], 0, 0}};
  FUZZ_CHECK(CompareFileVersion(paths[0], shortened.c_str()) == AtLeast(v[0], padded));
}

void CheckListKeyName(FuzzInput& in) {
  unsigned ordinal = in.Byte() < 200 ? in.Number(2) % 1000 : in.Number(4);
  std::string stem = in.Text(12), suffix = in.Text(12);
  for (char& c : stem)
    if (c >= '0' && c <= '9') c = 'a';
  for (char& c : suffix)
    if (c >= '0' && c <= '9') c = 'b';
  size_t capacity = in.Byte() % 40;
  HeapBuffer out(capacity);
  int written = ListKeyName(out.bytes, capacity, stem.c_str(), ordinal, suffix.c_str());
  if (capacity == 0) {
    FUZZ_CHECK(written == 0);
    return;
  }
  size_t length = out.TerminatedLength();  // written also when refused
  if (ordinal == 0 || ordinal > kLastListOrdinal) {
    FUZZ_CHECK(written == 0 && length == 0);
    return;
  }
  std::string name(out.bytes, length);
  if (!written) {
    FUZZ_CHECK(stem.size() + 4 + suffix.size() > capacity - 1);  // cut only when it may not fit
    return;
  }
  FUZZ_CHECK(name.compare(0, stem.size(), stem) == 0);
  FUZZ_CHECK(name.size() >= stem.size() + suffix.size() + 1);
  FUZZ_CHECK(name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0);
  std::string digits = name.substr(stem.size(), name.size() - stem.size() - suffix.size());
  FUZZ_CHECK(!digits.empty() && digits.size() <= 3 && digits[0] != '0');
  unsigned back = 0;
  for (char c : digits) {
    FUZZ_CHECK(c >= '0' && c <= '8');
    back = back * 9 + static_cast<unsigned>(c - '0');
  }
  FUZZ_CHECK(back == ordinal);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FreshMachineNowAndThen();
  FuzzInput in(data, size);
  if (in.Byte() & 1)
    CheckListKeyName(in);
  else
    CheckVersions(in);
  return 0;
}
