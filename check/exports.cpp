#include "check/exports.h"

#include <cstring>

#include "platform/win32.h"

constexpr WORD kImage32 = 0x10B;  // PE32
constexpr WORD kImage64 = 0x20B;  // PE32+
// The build loads images of its own kind only.
#if defined(_WIN64)
constexpr WORD kLoadable = kImage64;
#else
constexpr WORD kLoadable = kImage32;
#endif
constexpr DWORD kNewHeaderField = 0x3C;
constexpr DWORD kOptionalHeader = 24;  // after "PE\0\0" and the file header
constexpr DWORD kExportDirectory32 = 96;
constexpr DWORD kExportDirectory64 = 112;
constexpr DWORD kSectionHeaderSize = 40;
constexpr WORD kMostSections = 96;  // as many as the loader takes
constexpr DWORD kMostNames = 0x10000;
constexpr DWORD kNameCapacity = 64;

struct Section {
  DWORD address, size, offset;
};

struct Image {
  HANDLE file;
  Section sections[kMostSections];
  WORD count;
};

static int ReadAt(HANDLE file, DWORD offset, void* out, DWORD size) {
  DWORD read = 0;
  return SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset &&
         ReadFile(file, out, size, &read, nullptr) && read == size;
}

static int ReadNumber(HANDLE file, DWORD offset, DWORD* number) {
  *number = 0;
  return ReadAt(file, offset, number, sizeof *number);
}

// The file offset of an address of the loaded image; 0 when no section holds it.
static DWORD FileOffset(const Image& image, DWORD address) {
  for (WORD i = 0; i < image.count; ++i) {
    const Section& s = image.sections[i];
    if (address >= s.address && address - s.address < s.size) return s.offset + address - s.address;
  }
  return 0;
}

static ExportLookup LookUp(Image* image, const char* name) {
  HANDLE file = image->file;
  DWORD header = 0, signature = 0, counts = 0, magic = 0;
  if (!ReadAt(file, 0, &magic, 2) || magic != 0x5A4D ||
      !ReadNumber(file, kNewHeaderField, &header) || !ReadNumber(file, header, &signature) ||
      signature != 0x4550 || !ReadNumber(file, header + 4 + 2, &counts) ||
      !ReadAt(file, header + kOptionalHeader, &magic, 2)) {
    return kNotALibrary;
  }
  if (magic != kLoadable)
    return magic == kImage32 || magic == kImage64 ? kOtherBitness : kNotALibrary;
  // counts: the number of sections, then (in the next field but one) the optional header's size.
  DWORD optional_size = 0;
  if (!ReadAt(file, header + 20, &optional_size, 2)) return kNotALibrary;
  image->count = static_cast<WORD>(counts & 0xFFFF);
  if (image->count > kMostSections) return kNotALibrary;
  DWORD table = header + kOptionalHeader + optional_size;
  for (WORD i = 0; i < image->count; ++i) {
    DWORD fields[4];  // size in memory, address, size in the file, offset
    if (!ReadAt(file, table + i * kSectionHeaderSize + 8, fields, sizeof fields))
      return kNotALibrary;
    // Only what the file holds can be read; some linkers leave the size in memory 0.
    DWORD size = fields[0] == 0 || fields[2] < fields[0] ? fields[2] : fields[0];
    image->sections[i] = {fields[1], size, fields[3]};
  }
  DWORD directory[2];  // address and size of the export directory
  DWORD at =
      header + kOptionalHeader + (magic == kImage32 ? kExportDirectory32 : kExportDirectory64);
  if (!ReadAt(file, at, directory, sizeof directory)) return kNotALibrary;
  DWORD exports = FileOffset(*image, directory[0]);
  DWORD count = 0, names = 0;
  if (directory[0] == 0 || exports == 0 || !ReadNumber(file, exports + 24, &count) ||
      !ReadNumber(file, exports + 32, &names)) {
    return kExportMissing;
  }
  names = FileOffset(*image, names);
  if (names == 0) return kExportMissing;
  const DWORD length = static_cast<DWORD>(strlen(name)) + 1;
  for (DWORD i = 0; i < count && i < kMostNames; ++i) {
    DWORD address = 0;
    char found[kNameCapacity];
    if (!ReadNumber(file, names + 4 * i, &address)) break;
    DWORD offset = FileOffset(*image, address);
    // A name at the very end of the file is shorter than the one looked for.
    if (offset != 0 && length <= sizeof found && ReadAt(file, offset, found, length) &&
        memcmp(found, name, length) == 0) {
      return kExportPresent;
    }
  }
  return kExportMissing;
}

ExportLookup FindExport(const char* path, const char* name) {
  Image image;
  image.file = OpenFilePath(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (image.file == INVALID_HANDLE_VALUE) return kNotALibrary;
  ExportLookup found = LookUp(&image, name);
  CloseHandle(image.file);
  return found;
}
