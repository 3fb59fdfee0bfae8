// The export-table reader of the dry run on any file: no crash, nothing read
// outside the file, and answers that agree with each other and with the file.
// An input that starts with 0xFF builds a well-formed image instead, whose
// names are known, with the fuzzer's section count and byte patches laid over
// it: unpatched, the reader must answer exactly.
#include <string>
#include <vector>

#include "check/exports.h"
#include "fuzz_input.h"
#include "sim_machine.h"

namespace {

const char kPath[] = "C:\\check\\control.ocx";
constexpr size_t kMostSections = 96;  // the loader's limit
constexpr size_t kNameRoom = 63;      // longer names are not looked for

void Put(std::string& image, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) image[at + i] = static_cast<char>(value >> (8 * i));
}

void CheckRawFile(FuzzInput& in) {
  std::string asked = in.Text(70);
  std::string file = in.Rest();
  FUZZ_CHECK(sim::WriteFile(kPath, file));
  const char* names[] = {"DllRegisterServer", "DllUnregisterServer", asked.c_str()};
  ExportLookup first = FindExport(kPath, names[0]);
  for (const char* name : names) {
    ExportLookup found = FindExport(kPath, name);
    FUZZ_CHECK(found >= kNotALibrary && found <= kExportPresent);
    FUZZ_CHECK(found == FindExport(kPath, name));
    // Whether the file is an image of this build's kind is the file's, not the name's.
    bool image = found == kExportMissing || found == kExportPresent;
    bool first_image = first == kExportMissing || first == kExportPresent;
    FUZZ_CHECK(image == first_image);
    if (!image) FUZZ_CHECK(found == first);
    // A name found is in the file, whole and ended.
    if (found == kExportPresent) {
      FUZZ_CHECK(file.find(std::string(name) + '\0') != std::string::npos);
    }
  }
}

// A PE32 image: headers, then one section at RVA 0x1000 (file offset 0x400)
// holding the export directory, its table of name addresses and the names.
// The other sections the count asks for are empty and map nothing.
void CheckBuiltImage(FuzzInput& in) {
  uint8_t shape = in.Byte();
  size_t sections = shape & 1 ? in.Number(2) : 1 + in.Byte() % 4;
  std::vector<std::string> exports;
  for (size_t n = in.Byte() % 6; n > 0; --n) exports.push_back(in.Text(80));
  std::string asked = in.Text(80);
  if (shape & 2 && !exports.empty()) {
    // A name that is the start or the whole of an export.
    const std::string& of = exports[in.Byte() % exports.size()];
    asked = of.substr(0, in.Byte() % (of.size() + 1));
  }

  constexpr size_t kPe = 0x40, kOptional = kPe + 24, kOptionalSize = 224;
  constexpr size_t kTable = kOptional + kOptionalSize, kBody = 0x400;
  constexpr uint32_t kRva = 0x1000;
  size_t headers_end = kTable + 40 * (sections < 200 ? sections : 200);
  size_t body = headers_end > kBody ? (headers_end + 0x1FF) & ~size_t{0x1FF} : kBody;
  std::string image(body, '\0');
  image[0] = 'M', image[1] = 'Z';
  Put(image, 0x3C, kPe, 4);
  image.replace(kPe, 4, std::string("PE\0\0", 4));
  Put(image, kPe + 4, 0x14C, 2);
  Put(image, kPe + 6, static_cast<uint32_t>(sections), 2);
  Put(image, kPe + 20, kOptionalSize, 2);
  Put(image, kOptional, 0x10B, 2);
  // The section's contents: directory (40 bytes), name addresses, names.
  std::string contents(40 + 4 * exports.size(), '\0');
  Put(contents, 24, static_cast<uint32_t>(exports.size()), 4);
  Put(contents, 32, kRva + 40, 4);
  for (size_t i = 0; i < exports.size(); ++i) {
    Put(contents, 40 + 4 * i, kRva + static_cast<uint32_t>(contents.size()), 4);
    contents += exports[i] + '\0';
  }
  Put(image, kOptional + 96, kRva, 4);
  Put(image, kOptional + 100, 40, 4);
  if (sections > 0) {
    Put(image, kTable + 8, static_cast<uint32_t>(contents.size()), 4);
    Put(image, kTable + 12, kRva, 4);
    Put(image, kTable + 16, static_cast<uint32_t>(contents.size()), 4);
    Put(image, kTable + 20, static_cast<uint32_t>(body), 4);
  }
  image += contents;

  bool patched = false;
  while (!in.Empty()) {
    size_t at = in.Number(2) % image.size();
    image[at] = static_cast<char>(in.Byte());
    patched = true;
  }
  FUZZ_CHECK(sim::WriteFile(kPath, image));
  ExportLookup found = FindExport(kPath, asked.c_str());
  FUZZ_CHECK(found == FindExport(kPath, asked.c_str()));
  if (found == kExportPresent) FUZZ_CHECK(image.find(asked + '\0') != std::string::npos);
  if (patched) return;
  ExportLookup expected = kExportMissing;
  if (sections == 0 || sections > kMostSections) {
    expected = sections == 0 ? kExportMissing : kNotALibrary;
  } else if (asked.size() <= kNameRoom) {
    for (const std::string& name : exports)
      if (name == asked) expected = kExportPresent;
  }
  FUZZ_CHECK(found == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FreshMachineNowAndThen();
  FuzzInput in(data, size);
  if (size > 0 && data[0] == 0xFF) {
    in.Byte();
    CheckBuiltImage(in);
  } else {
    CheckRawFile(in);
  }
  FUZZ_CHECK(FindExport("C:\\check\\missing.ocx", "DllRegisterServer") == kNotALibrary);
  return 0;
}
