// Configuration files in UTF-8: which texts the launcher keeps for itself,
// and its reads of them; and the simulation's UTF-8/UTF-16 conversions that
// stand for Windows' edge.
#include <string>
#include <vector>

#include "config/utf8_ini.h"
#include "fuzz_input.h"
#include "platform/host/unicode_text.h"
#include "sim_machine.h"

namespace {

constexpr size_t kKeptLimit = 32768;

void CheckIni(FuzzInput& in) {
  std::string section = in.Text(8), key = in.Text(8);
  std::string file;
  uint8_t shape = in.Byte();
  if (shape & 1) file += "\xEF\xBB\xBF";
  if (shape & 2) file += "[" + section + "]\r\n" + key + "=" + in.SizedText(300) + "\n";
  DWORD size = in.Byte() % 64;  // the caller's buffer, taken before the rest is the file
  file += in.Rest();
  FUZZ_CHECK(sim::WriteFile("C:\\home\\setup.ini", file));
  KeepUtf8Ini("C:\\home\\setup.ini");

  bool mark = file.compare(0, 3, "\xEF\xBB\xBF") == 0;
  bool multi_byte = false;
  for (char c : file) multi_byte |= (c & 0x80) != 0;
  bool utf8 = mark || (IsValidUtf8(file) && multi_byte);
  FUZZ_CHECK(HasUtf8Ini() == (utf8 && file.size() <= kKeptLimit));
  if (!HasUtf8Ini()) return;

  std::vector<char> whole(kKeptLimit + 1);
  DWORD full = ReadUtf8IniString(section.c_str(), key.c_str(), whole.data(),
                                 static_cast<DWORD>(whole.size()));
  std::string value(whole.data(), full);
  FUZZ_CHECK(value.size() == std::strlen(whole.data()));
  if (IsValidUtf8(file.substr(mark ? 3 : 0))) FUZZ_CHECK(IsValidUtf8(value));

  HeapBuffer out(size);
  DWORD read = ReadUtf8IniString(section.c_str(), key.c_str(), out.bytes, size);
  if (size == 0) {
    FUZZ_CHECK(read == 0);
    return;
  }
  FUZZ_CHECK(read == out.TerminatedLength() && read < size);
  std::string cut(out.bytes, read);
  FUZZ_CHECK(value.compare(0, cut.size(), cut) == 0);
  if (value.size() < size - 1) FUZZ_CHECK(cut == value);
  // Cut at a whole character, and no more than one character short (a quoted
  // value one byte too long for the buffer loses one more, as in Windows).
  if (cut.size() < value.size()) {
    FUZZ_CHECK(!EndsInsideSequence(cut.data(), cut.size()) || !IsValidUtf8(value));
    FUZZ_CHECK(cut.size() + 8 >= size - 1);
  }
}

void CheckConversions(FuzzInput& in) {
  size_t capacity = in.Byte();
  std::string text = in.Rest();
  std::vector<uint16_t> wide(text.size() + 1);
  size_t units = Utf8ToUtf16(text.data(), text.size(), wide.data(), text.size());
  FUZZ_CHECK(units <= text.size());
  FUZZ_CHECK(text.empty() || units > 0);
  if (units > 0) FUZZ_CHECK(Utf8ToUtf16(text.data(), text.size(), wide.data(), units - 1) == 0);

  // Back to UTF-8: always valid, the very bytes when they were valid.
  std::vector<char> back(4 * units + 1);
  size_t length = Utf16ToUtf8(wide.data(), units, back.data(), back.size());
  FUZZ_CHECK(length < back.size());
  std::string again(back.data(), length);
  FUZZ_CHECK(IsValidUtf8(again));
  if (IsValidUtf8(text)) FUZZ_CHECK(again == text);

  // Into a small buffer: whole characters, terminated, the length of the whole.
  HeapBuffer small(capacity);
  size_t needed = Utf16ToUtf8(wide.data(), units, small.bytes, capacity);
  FUZZ_CHECK(needed == length);
  if (capacity == 0) return;
  std::string cut(small.bytes, small.size - 1);
  size_t cut_length = std::strlen(small.bytes);
  FUZZ_CHECK(cut_length < capacity);
  cut.resize(cut_length);
  FUZZ_CHECK(IsValidUtf8(cut));
  if (again.find('\0') == std::string::npos) {
    FUZZ_CHECK(again.compare(0, cut.size(), cut) == 0);
    if (length < capacity)
      FUZZ_CHECK(cut == again);
    else
      FUZZ_CHECK(cut.size() + 4 > capacity - 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FreshMachineNowAndThen();
  FuzzInput in(data, size);
  if (in.Byte() & 1)
    CheckConversions(in);
  else
    CheckIni(in);
  return 0;
}
