// The export-table reader of the dry run on any file: no crash, nothing read
// outside the file, and answers that agree with each other and with the file.
#include <string>

#include "check/exports.h"
#include "fuzz_input.h"
#include "sim_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FreshMachineNowAndThen();
  FuzzInput in(data, size);
  std::string asked = in.Text(70);
  std::string file = in.Rest();
  FUZZ_CHECK(sim::WriteFile("C:\\check\\control.ocx", file));
  const char* names[] = {"DllRegisterServer", "DllUnregisterServer", asked.c_str()};
  ExportLookup first = FindExport("C:\\check\\control.ocx", names[0]);
  for (const char* name : names) {
    ExportLookup found = FindExport("C:\\check\\control.ocx", name);
    FUZZ_CHECK(found >= kNotALibrary && found <= kExportPresent);
    FUZZ_CHECK(found == FindExport("C:\\check\\control.ocx", name));
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
  FUZZ_CHECK(FindExport("C:\\check\\missing.ocx", "DllRegisterServer") == kNotALibrary);
  return 0;
}
