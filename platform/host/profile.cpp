// Profile (INI) reads over real files, with Windows' rules: names match
// without regard to case, blanks around names and values are dropped, a value
// in matching quotes loses them, and a value is cut to the caller's buffer.
// The table tests/contract/scenarios.txt holds these rules against Wine.
// Texts come out in UTF-8, decoded from the file's encoding as Windows reads
// it: UTF-16LE after an FF FE mark, UTF-8 after an EF BB BF mark (as Wine
// reads it), and otherwise the machine's code page, 1252.
#include <cstdint>
#include <cstring>
#include <sstream>

#include "platform/host/sim_internal.h"
#include "platform/host/unicode_text.h"

using sim::detail::Enter;
using sim::detail::Number;
using sim::detail::SameName;
using sim::detail::Text;

static std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

// UTF-16 units in UTF-8, as Windows converts them (a lone surrogate is U+FFFD).
static std::string Utf8Of(const std::vector<uint16_t>& units) {
  std::string text(3 * units.size() + 1, '\0');
  text.resize(Utf16ToUtf8(units.data(), units.size(), &text[0], text.size()));
  return text;
}

// Code page 1252 from 0x80 to 0x9F; the five bytes it leaves unassigned
// (81 8D 8F 90 9D) stand for the control characters of their own number, as
// Windows converts them. From 0xA0 on, a byte is the code point of its value.
static const uint16_t kCodePage1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// UTF-16LE units after the mark. A last odd byte is no unit.
static std::string FromUtf16(const std::string& bytes) {
  std::vector<uint16_t> units;
  for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
    units.push_back(static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                          static_cast<unsigned char>(bytes[at + 1]) << 8));
  }
  return Utf8Of(units);
}

// The file's text in UTF-8, decoded as Windows reads the file; empty when
// there is no such file.
static std::string FileText(const char* file) {
  const std::string bytes = sim::ReadFile(file);
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) return FromUtf16(bytes);
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
  std::vector<uint16_t> units;
  for (unsigned char c : bytes)
    units.push_back(c >= 0x80 && c < 0xA0 ? kCodePage1252[c - 0x80] : c);
  return Utf8Of(units);
}

// Finds the value of key in section; false when the file, section or key is absent.
static bool FindValue(const char* file, const char* section, const char* key, std::string* value) {
  if (file == nullptr || section == nullptr || key == nullptr) return false;
  std::istringstream in(FileText(file));
  std::string line;
  bool in_section = false;
  while (std::getline(in, line)) {
    std::string trimmed = Trim(line);
    if (!trimmed.empty() && trimmed[0] == '[') {
      size_t close = trimmed.find(']');
      std::string name =
          Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      if (in_section) return false;  // only the first section of that name counts
      in_section = SameName(name, section);
      continue;
    }
    if (!in_section) continue;
    size_t equals = trimmed.find('=');
    if (equals == std::string::npos) continue;
    if (!SameName(Trim(trimmed.substr(0, equals)), key)) continue;
    *value = Trim(trimmed.substr(equals + 1));
    return true;
  }
  return false;
}

// What a buffer of size bytes receives of a value or default: at most
// size - 1 characters. A text in matching quotes loses its opening quote,
// and its last character copied once the copy reaches the closing quote's
// place (a real character when the buffer is one short of the quoted text).
static std::string CopiedText(const std::string& value, DWORD size) {
  if (size == 0) return "";
  const bool quoted =
      value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
  const std::string body = quoted ? value.substr(1) : value;
  std::string copied = body.substr(0, size - 1);
  if (quoted && size >= body.size() && !copied.empty()) copied.pop_back();
  return copied;
}

// The default loses its trailing blanks, all but a first character.
static std::string DefaultText(LPCSTR fallback) {
  std::string text = fallback == nullptr ? "" : fallback;
  size_t last = text.find_last_not_of(' ');
  return text.substr(0, last == std::string::npos ? 1 : last + 1);
}

// The text a read gives: the value, or the default when the file, section or
// key is absent.
static std::string ReadText(LPCSTR section, LPCSTR key, LPCSTR fallback, DWORD size, LPCSTR file) {
  std::string value;
  if (!FindValue(file, section, key, &value)) value = DefaultText(fallback);
  return CopiedText(value, size);
}

// The section names of the file (section null), or the key names of the first
// section of that name, each once, in the file's order.
static std::vector<std::string> Names(const char* file, const char* section) {
  std::vector<std::string> names;
  std::istringstream in(FileText(file));
  std::string line;
  bool in_section = false, seen = false;
  while (std::getline(in, line)) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';') continue;
    if (trimmed[0] == '[') {
      size_t close = trimmed.find(']');
      std::string name =
          Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      if (section == nullptr) names.push_back(name);
      if (in_section) break;
      in_section = section != nullptr && !seen && SameName(name, section);
      seen = seen || in_section;
      continue;
    }
    if (in_section) names.push_back(Trim(trimmed.substr(0, trimmed.find('='))));
  }
  std::vector<std::string> unique;
  for (const std::string& name : names) {
    bool again = false;
    for (const std::string& earlier : unique) again = again || SameName(earlier, name.c_str());
    if (!again) unique.push_back(name);
  }
  return unique;
}

// As Windows lists names: each ends with a NUL, the list with one more. A
// list that does not fit is cut, its last name followed by two NULs, and
// the count is the buffer's size less two.
static DWORD PutNames(char* out, DWORD size, const std::vector<std::string>& names) {
  if (out == nullptr || size == 0) return 0;
  std::string list;
  for (const std::string& name : names) list += name + '\0';
  if (list.empty()) list = std::string(1, '\0');
  list += '\0';
  memset(out, 0, size);
  if (list.size() <= size) {
    memcpy(out, list.data(), list.size());
    return static_cast<DWORD>(list.size() - 1 - (names.empty() ? 1 : 0));
  }
  if (size < 2) return 0;
  memcpy(out, list.data(), size - 2);
  return size - 2;
}

DWORD WINAPI ReadProfileText(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR out, DWORD size,
                             LPCSTR file) {
  if (Enter("ReadProfileText",
            {Text(section), Text(key), Text(fallback), Number(size), Text(file)})) {
    sim::detail::PutText(out, size, "");
    return 0;
  }
  if (file != nullptr && (section == nullptr || key == nullptr))
    return PutNames(out, size, Names(file, section));
  return sim::detail::PutText(out, size, ReadText(section, key, fallback, size, file));
}
