// The launcher's own command line (the arguments after the program's name,
// the switches among them) and the slow-load environment block.
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "fuzz_input.h"
#include "launch/launch.h"
#include "launcher/command_line.h"
#include "launcher/switches.h"

namespace {

bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The word as a switch: after a slash and blanks, ended by a blank or the end.
bool WholeWordAfterSlash(const std::string& text, const char* word) {
  std::string lower = Lower(text), wanted = Lower(word);
  for (size_t at = lower.find(wanted); at != std::string::npos; at = lower.find(wanted, at + 1)) {
    size_t end = at + wanted.size();
    if (end < lower.size() && !(lower[end] == ' ' || (lower[end] >= '\t' && lower[end] <= '\r')))
      continue;
    size_t before = at;
    while (before > 0 &&
           (lower[before - 1] == ' ' || (lower[before - 1] >= '\t' && lower[before - 1] <= '\r')))
      --before;
    if (before > 0 && lower[before - 1] == '/') return true;
  }
  return false;
}

void CheckArguments(const std::string& line) {
  HeapBuffer copy(line.size() + 1);
  std::memcpy(copy.bytes, line.c_str(), line.size() + 1);
  char* arguments = ArgumentsAfterProgramName(copy.bytes);
  FUZZ_CHECK(arguments >= copy.bytes && arguments <= copy.bytes + line.size());
  FUZZ_CHECK(*arguments == '\0' || !IsBlankByte(*arguments));
  size_t skipped = static_cast<size_t>(arguments - copy.bytes);
  std::string program = line.substr(0, skipped);
  // The program's name is one word, or one quoted part; then blanks only.
  size_t name_end;
  if (!line.empty() && line[0] == '"') {
    size_t quote = line.find('"', 1);
    name_end = quote == std::string::npos ? line.size() : quote + 1;
  } else {
    name_end = 0;
    while (name_end < line.size() && !IsBlankByte(line[name_end])) ++name_end;
  }
  FUZZ_CHECK(skipped >= name_end);
  for (size_t i = name_end; i < skipped; ++i) FUZZ_CHECK(IsBlankByte(program[i]));
  FUZZ_CHECK(ArgumentsAfterProgramName(nullptr)[0] == '\0');

  Switches s = ReadSwitches(arguments);
  std::string rest(arguments);
  if (s.debug) FUZZ_CHECK(WholeWordAfterSlash(rest, "debug"));
  if (s.slow_load) FUZZ_CHECK(WholeWordAfterSlash(rest, "slowload"));
  if (s.check) FUZZ_CHECK(WholeWordAfterSlash(rest, "check"));
  // Letters' case does not count.
  Switches lower = ReadSwitches(Lower(rest).c_str());
  FUZZ_CHECK(lower.debug == s.debug && lower.slow_load == s.slow_load && lower.check == s.check);
}

// Two switches as a person types them: each is recognised.
void CheckTypedSwitches(FuzzInput& in) {
  static const char* const kWords[] = {"Debug", "SLOWLOAD", "check", "Debugx", "Chec", "Slow"};
  std::string line = "SETUP.EXE";
  int want[3] = {0, 0, 0};
  for (int i = 0; i < 2; ++i) {
    uint8_t b = in.Byte();
    line += std::string(1 + b % 3, ' ') + "/" + std::string((b >> 2) % 2, ' ');
    int word = (b >> 3) % 6;
    line += kWords[word];
    if (word < 3) want[word] = 1;
  }
  line += std::string(1 + in.Byte() % 2, ' ') + in.Text(20);
  HeapBuffer copy(line.size() + 1);
  std::memcpy(copy.bytes, line.c_str(), line.size() + 1);
  Switches s = ReadSwitches(ArgumentsAfterProgramName(copy.bytes));
  // Text after the two words may only add nothing: at most two words count.
  FUZZ_CHECK(s.debug == want[0] && s.slow_load == want[1] && s.check == want[2]);
}

void CheckEnvironment(FuzzInput& in) {
  std::string control = in.SizedText(300), application = in.SizedText(300),
              temp = in.SizedText(300), root = in.SizedText(300);
  size_t capacity = in.Number(2) % 1400;
  HeapBuffer block(capacity);
  int fitted = BuildSlowLoadEnvironment(block.bytes, capacity, control.c_str(), application.c_str(),
                                        temp.c_str(), root.c_str());
  std::vector<std::string> entries = {"Path=" + control + ";" + application};
  if (!temp.empty()) entries.push_back("Tmp=" + temp);
  if (!root.empty()) entries.push_back("SystemRoot=" + root);
  size_t needed = 1;
  for (const std::string& entry : entries) needed += entry.size() + 1;
  bool search_path_fits = control.size() + 1 + application.size() < 2 * 260;
  FUZZ_CHECK(fitted == (needed <= capacity && search_path_fits));
  if (!fitted) return;
  // The block: each entry as given, NUL after each, one more NUL at the end.
  size_t at = 0;
  for (const std::string& entry : entries) {
    FUZZ_CHECK(at + entry.size() < capacity);
    FUZZ_CHECK(std::string(block.bytes + at) == entry);
    at += entry.size() + 1;
  }
  FUZZ_CHECK(at < capacity && block.bytes[at] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  switch (in.Byte() % 3) {
    case 0:
      CheckArguments(in.Text(200));
      break;
    case 1:
      CheckTypedSwitches(in);
      break;
    default:
      CheckEnvironment(in);
      break;
  }
  return 0;
}
