// A control's exports, read from its file: nothing of it is loaded or run.
#pragma once

enum ExportLookup {
  kNotALibrary = 0,  // no such file, or not a Windows image
  kOtherBitness,     // an image this launcher's build cannot load
  kExportMissing,
  kExportPresent,
};

// Looks name up in the export table of the image at path.
ExportLookup FindExport(const char* path, const char* name);
