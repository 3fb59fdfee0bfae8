// Split, Join and the three resolutions of a configured value, on any bytes
// and whatever code page the machine has: every output terminated within its
// capacity, a cut reported, no character cut in half, no separator lost.
#include <string>

#include "config/paths.h"
#include "fuzz_input.h"
#include "platform/host/sim.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

size_t Separators(const std::string& text) {
  size_t count = 0;
  for (char c : text) count += IsSeparator(c);
  return count;
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Pieces of paths: separators, dots, colons, letters and multi-byte characters.
std::string PathText(FuzzInput& in, size_t limit) {
  static const char* const kPieces[] = {
      "\\",     "/", ".", ":", "C", "a", "\xC3\xA9", "\xE6\x97\xA5", "\xF0\x9F\x98\x80",
      "\x81\\", " ", "x"};
  std::string text;
  size_t count = in.Byte() % 64;
  for (size_t i = 0; i < count && text.size() < limit; ++i) {
    uint8_t b = in.Byte();
    if (b >= 240)
      text += std::string(in.Byte() % 120 + 1, 'n');  // long runs reach the capacities
    else
      text += kPieces[b % (sizeof kPieces / sizeof *kPieces)];
  }
  return text;
}

// Checks an output buffer; returns its text.
std::string Output(const HeapBuffer& out) {
  size_t length = out.TerminatedLength();
  return std::string(out.bytes, length);
}

void CheckSplit(const std::string& path) {
  HeapBuffer drive(kDriveCapacity), directory(kPathPieceCapacity), name(kPathPieceCapacity),
      extension(kPathPieceCapacity);
  int fitted = Split(path.c_str(), drive.bytes, directory.bytes, name.bytes, extension.bytes);
  std::string d = Output(drive), dir = Output(directory), n = Output(name), e = Output(extension);
  bool valid = IsValidUtf8(path);
  for (const std::string* piece : {&d, &dir, &n, &e})
    if (valid) FUZZ_CHECK(IsValidUtf8(*piece));
  FUZZ_CHECK(Separators(n) == 0 && Separators(e) == 0);
  FUZZ_CHECK(e.empty() || e[0] == '.');
  FUZZ_CHECK(dir.empty() || IsSeparator(dir.back()) || !fitted);
  if (!fitted) return;
  // Nothing cut: the pieces are the path, and Join gives it back.
  FUZZ_CHECK(d + dir + n + e == path);
  // Into exactly the path's room: the pieces may be longer than any one path.
  HeapBuffer joined(path.size() + 1);
  FUZZ_CHECK(Join(joined.bytes, joined.size, d.c_str(), dir.c_str(), n.c_str(), e.c_str()));
  FUZZ_CHECK(Output(joined) == path);
  // A piece may be left out.
  FUZZ_CHECK(Split(path.c_str(), nullptr, nullptr, name.bytes, nullptr));
  FUZZ_CHECK(Output(name) == n);
}

void CheckJoin(FuzzInput& in) {
  // Drives come from Split: a letter and a colon, or none.
  uint8_t letter = in.Byte();
  std::string d = letter & 1 ? std::string(1, static_cast<char>('A' + letter % 26)) + ":" : "";
  std::string dir = PathText(in, 300), n = PathText(in, 300), e = PathText(in, 40);
  size_t capacity = in.Number(2) % 700;
  HeapBuffer out(capacity);
  int fitted = Join(out.bytes, capacity, d.c_str(), dir.c_str(), n.c_str(), e.c_str());
  if (capacity == 0) {
    FUZZ_CHECK(!fitted);
    return;
  }
  std::string joined = Output(out);
  HeapBuffer whole(4096);
  FUZZ_CHECK(Join(whole.bytes, whole.size, d.c_str(), dir.c_str(), n.c_str(), e.c_str()));
  std::string full = Output(whole);
  FUZZ_CHECK(fitted == (full.size() < capacity));
  if (fitted) FUZZ_CHECK(joined == full);
  if (IsValidUtf8(d + dir + n + e)) FUZZ_CHECK(IsValidUtf8(joined));
  FUZZ_CHECK(Separators(full) >= Separators(dir));
  FUZZ_CHECK(full.find(n) != std::string::npos);
}

void CheckResolve(FuzzInput& in) {
  std::string base = PathText(in, 300), value = PathText(in, 300);
  if (in.Byte() & 1) base = "C:\\" + base + "\\";
  size_t capacity = in.Number(2) % (2 * kPathCapacity);
  bool valid = IsValidUtf8(base) && IsValidUtf8(value);
  bool drive = value.size() >= 2 && value[1] == ':';
  for (int form = 0; form < 3; ++form) {
    HeapBuffer out(capacity);
    int (*resolve)(char*, size_t, const char*, const char*) = form == 0   ? ResolveReplace
                                                              : form == 1 ? ResolveAppend
                                                                          : ResolvePrefix;
    int fitted = resolve(out.bytes, capacity, base.c_str(), value.c_str());
    if (capacity == 0) {
      FUZZ_CHECK(!fitted);
      continue;
    }
    std::string result = Output(out);
    if (valid) FUZZ_CHECK(IsValidUtf8(result));
    if (!fitted) continue;
    if (form != 2 && drive) {
      FUZZ_CHECK(result == value);
      continue;
    }
    size_t last = value.find_last_of("\\/");
    std::string value_name = last == std::string::npos ? value : value.substr(last + 1);
    std::string base_folder = base.substr(0, base.find_last_of("\\/") + 1);
    if (base.find_last_of("\\/") == std::string::npos)
      base_folder = base.size() >= 2 && base[1] == ':' ? base.substr(0, 2) : "";
    if (form == 0) {
      // replace: the base's folder, then the value's name.
      FUZZ_CHECK(EndsWith(result, value_name));
      FUZZ_CHECK(Separators(result) >= Separators(base_folder));
      FUZZ_CHECK(StartsWith(result, base_folder.substr(0, 2)) || base_folder.empty());
    } else if (form == 1) {
      // append: the base's folder, the value, a separator.
      FUZZ_CHECK(result.find(value) != std::string::npos);
      FUZZ_CHECK(Separators(result) >= Separators(base_folder) + Separators(value));
      FUZZ_CHECK(result.empty() || IsSeparator(result.back()) || result.back() == ':');
    } else {
      bool bare = value.find_first_of("\\/") == std::string::npos && !drive;
      FUZZ_CHECK(result == (bare ? base + value : value));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  // A double-byte code page whose trail bytes take in the separator's value.
  uint8_t code_page = in.Byte();
  if (code_page & 1)
    sim::SetLeadByteRanges({{0x81, 0x9F}, {0xE0, 0xFC}});
  else
    sim::SetLeadByteRanges({});
  switch ((code_page >> 1) % 3) {
    case 0:
      CheckSplit(PathText(in, 700));
      break;
    case 1:
      CheckJoin(in);
      break;
    default:
      CheckResolve(in);
      break;
  }
  return 0;
}
