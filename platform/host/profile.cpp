// Profile (INI) reads over real files, with Windows' rules: names match
// without regard to case, blanks around names and values are dropped, a value
// in matching quotes loses them, and a value is cut to the caller's buffer.
// The table tests/contract/scenarios.txt holds these rules against Wine.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/host/sim_internal.h"

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

// Finds the value of key in section; false when the file, section or key is absent.
static bool FindValue(const char* file, const char* section, const char* key, std::string* value) {
  if (file == nullptr || section == nullptr || key == nullptr) return false;
  std::ifstream in(sim::detail::MapPath(file), std::ios::binary);
  if (!in) return false;
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
  std::ifstream in(sim::detail::MapPath(file), std::ios::binary);
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

DWORD WINAPI ReadProfileText(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR out,
                                      DWORD size, LPCSTR file) {
  if (Enter("ReadProfileText",
            {Text(section), Text(key), Text(fallback), Number(size), Text(file)})) {
    sim::detail::PutText(out, size, "");
    return 0;
  }
  if (file != nullptr && (section == nullptr || key == nullptr))
    return PutNames(out, size, Names(file, section));
  return sim::detail::PutText(out, size, ReadText(section, key, fallback, size, file));
}

// Integer values are read as text into this many bytes first.
constexpr DWORD kNumberTextSize = 30;

// The platform's reading of an integer value's text: blanks and controls
// skipped, an optional sign, a "0x", "0o" or "0b" prefix for another base,
// then digits up to the first other character, summed modulo 2^32; no digit
// at all gives 0. A minus sign negates modulo 2^32.
static UINT ProfileNumberOf(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && static_cast<unsigned char>(text[at]) <= ' ') ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  uint32_t base = 10;
  if (at + 1 < text.size() && text[at] == '0') {
    const char prefix = text[at + 1];
    base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
    if (base != 10) at += 2;
  }
  uint32_t total = 0;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    uint32_t digit = c >= '0' && c <= '9'   ? static_cast<uint32_t>(c - '0')
                     : c >= 'a' && c <= 'z' ? static_cast<uint32_t>(c - 'a' + 10)
                     : c >= 'A' && c <= 'Z' ? static_cast<uint32_t>(c - 'A' + 10)
                                            : 99;
    if (digit >= base) break;
    total = total * base + digit;
  }
  return negative ? 0u - total : total;
}

UINT WINAPI ReadProfileNumber(LPCSTR section, LPCSTR key, INT fallback, LPCSTR file) {
  if (Enter("ReadProfileNumber", {Text(section), Text(key), Number(fallback), Text(file)})) {
    return static_cast<UINT>(fallback);
  }
  const std::string text = ReadText(section, key, "", kNumberTextSize, file);
  if (text.empty()) return static_cast<UINT>(fallback);
  return ProfileNumberOf(text);
}
