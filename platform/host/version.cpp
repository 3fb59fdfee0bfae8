// Version resources read out of the files themselves, as Windows does: the
// RT_VERSION resource of a PE image, copied whole into the caller's block,
// and its VS_VERSIONINFO tree walked by key names. Only 32-bit (UTF-16)
// version resources are understood; anything else has no version information.
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::M;
using sim::detail::Number;
using sim::detail::Text;

namespace {

using Bytes = std::vector<unsigned char>;

constexpr WORD kDosMagic = 0x5A4D;          // "MZ"
constexpr size_t kNewHeaderPointer = 0x3C;  // e_lfanew
constexpr DWORD kPeSignature = 0x00004550;  // "PE\0\0"
constexpr size_t kFileHeaderSize = 20;
constexpr WORD kPe32Magic = 0x10B;
constexpr WORD kPe32PlusMagic = 0x20B;
constexpr size_t kPe32Directories = 96;
constexpr size_t kPe32PlusDirectories = 112;
constexpr DWORD kResourceDirectoryIndex = 2;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kResourceDirectoryHeaderSize = 16;
constexpr size_t kResourceEntrySize = 8;
constexpr DWORD kHighBit = 0x80000000;
constexpr DWORD kVersionType = 16;      // RT_VERSION
constexpr DWORD kVersionName = 1;       // VS_VERSION_INFO
constexpr size_t kBlockHeaderSize = 6;  // wLength, wValueLength, wType
constexpr WORD kTextValue = 1;
// Room Windows adds after the resource: a 4-byte signature, then the ANSI
// copies of the texts VerQueryValueA hands out.
constexpr DWORD kSignatureSize = 4;

bool Read16(const Bytes& data, size_t at, WORD* out) {
  if (at > data.size() || data.size() - at < 2) return false;
  *out = static_cast<WORD>(data[at] | data[at + 1] << 8);
  return true;
}

bool Read32(const Bytes& data, size_t at, DWORD* out) {
  WORD low, high;
  if (!Read16(data, at, &low) || !Read16(data, at + 2, &high)) return false;
  *out = static_cast<DWORD>(low) | static_cast<DWORD>(high) << 16;
  return true;
}

struct Image {
  const Bytes& bytes;
  size_t sections;  // offset of the section table
  WORD section_count;
};

// The file offset of a relative virtual address, when it lies in a section's data.
bool FileOffset(const Image& image, DWORD rva, size_t* offset) {
  for (WORD i = 0; i < image.section_count; ++i) {
    size_t header = image.sections + i * kSectionHeaderSize;
    DWORD address, raw_size, raw_pointer;
    if (!Read32(image.bytes, header + 12, &address) ||
        !Read32(image.bytes, header + 16, &raw_size) ||
        !Read32(image.bytes, header + 20, &raw_pointer)) {
      return false;
    }
    if (rva >= address && rva - address < raw_size) {
      *offset = static_cast<size_t>(raw_pointer) + (rva - address);
      return *offset < image.bytes.size();
    }
  }
  return false;
}

// The entry of a resource directory with the given numeric id (any id when
// first_any); its target is relative to the resource section's start.
bool FindResourceEntry(const Bytes& bytes, size_t base, size_t directory, DWORD id, bool first_any,
                       DWORD* target) {
  WORD named, numbered;
  if (!Read16(bytes, base + directory + 12, &named) ||
      !Read16(bytes, base + directory + 14, &numbered)) {
    return false;
  }
  size_t entries = base + directory + kResourceDirectoryHeaderSize;
  for (size_t i = 0; i < static_cast<size_t>(named) + numbered; ++i) {
    DWORD name, offset;
    if (!Read32(bytes, entries + i * kResourceEntrySize, &name) ||
        !Read32(bytes, entries + i * kResourceEntrySize + 4, &offset)) {
      return false;
    }
    if (first_any || (!(name & kHighBit) && name == id)) {
      *target = offset;
      return true;
    }
  }
  return false;
}

// The bytes of the file's version resource, or the error Windows gives.
DWORD ReadVersionResource(const char* path, Bytes* resource) {
  if (path == nullptr || !sim::detail::IsFile(path)) return ERROR_FILE_NOT_FOUND;
  std::ifstream in(sim::detail::MapPath(path), std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  WORD magic, optional_size, section_count, optional_magic;
  DWORD pe, signature;
  if (!Read16(bytes, 0, &magic) || magic != kDosMagic || !Read32(bytes, kNewHeaderPointer, &pe) ||
      !Read32(bytes, pe, &signature) || signature != kPeSignature ||
      !Read16(bytes, size_t{pe} + 4 + 2, &section_count) ||
      !Read16(bytes, size_t{pe} + 4 + 16, &optional_size)) {
    return ERROR_BAD_FORMAT;
  }
  size_t optional = size_t{pe} + 4 + kFileHeaderSize;
  if (!Read16(bytes, optional, &optional_magic)) return ERROR_BAD_FORMAT;
  size_t directories;
  if (optional_magic == kPe32Magic) {
    directories = optional + kPe32Directories;
  } else if (optional_magic == kPe32PlusMagic) {
    directories = optional + kPe32PlusDirectories;
  } else {
    return ERROR_BAD_FORMAT;
  }
  DWORD directory_count, resource_rva;
  if (!Read32(bytes, directories - 4, &directory_count)) return ERROR_BAD_FORMAT;
  if (directory_count <= kResourceDirectoryIndex ||
      !Read32(bytes, directories + kResourceDirectoryIndex * 8, &resource_rva) ||
      resource_rva == 0) {
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
  }
  Image image{bytes, optional + optional_size, section_count};
  size_t base;
  if (!FileOffset(image, resource_rva, &base)) return ERROR_RESOURCE_TYPE_NOT_FOUND;

  // Three levels: type, name, language (the first language found).
  DWORD type, name, language;
  if (!FindResourceEntry(bytes, base, 0, kVersionType, false, &type) || !(type & kHighBit)) {
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
  }
  if (!FindResourceEntry(bytes, base, type & ~kHighBit, kVersionName, false, &name) ||
      !(name & kHighBit) || !FindResourceEntry(bytes, base, name & ~kHighBit, 0, true, &language) ||
      (language & kHighBit)) {
    return ERROR_RESOURCE_DATA_NOT_FOUND;
  }
  DWORD data_rva, data_size;
  size_t data;
  if (!Read32(bytes, base + language, &data_rva) ||
      !Read32(bytes, base + language + 4, &data_size) || !FileOffset(image, data_rva, &data) ||
      bytes.size() - data < data_size) {
    return ERROR_RESOURCE_DATA_NOT_FOUND;
  }
  resource->assign(bytes.begin() + static_cast<long>(data),
                   bytes.begin() + static_cast<long>(data + data_size));

  // A root that claims more than the resource holds, or a 16-bit (ANSI) root, is refused.
  WORD length, type_or_key;
  if (!Read16(*resource, 0, &length) || length < kBlockHeaderSize || length > resource->size() ||
      !Read16(*resource, 4, &type_or_key) || type_or_key >= ' ') {
    return ERROR_RESOURCE_DATA_NOT_FOUND;
  }
  return ERROR_SUCCESS;
}

// One node of the VS_VERSIONINFO tree; offsets are from the block's start.
struct Node {
  size_t start;
  size_t end;
  WORD value_length;
  WORD type;
  size_t key;
  size_t value;
  size_t children;
};

size_t Align4(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

bool ReadNode(const unsigned char* block, size_t start, size_t limit, Node* node) {
  if (start > limit || limit - start < kBlockHeaderSize) return false;
  WORD length = static_cast<WORD>(block[start] | block[start + 1] << 8);
  if (length < kBlockHeaderSize || length > limit - start) return false;
  node->start = start;
  node->end = start + length;
  node->value_length = static_cast<WORD>(block[start + 2] | block[start + 3] << 8);
  node->type = static_cast<WORD>(block[start + 4] | block[start + 5] << 8);
  node->key = start + kBlockHeaderSize;
  size_t at = node->key;
  while (at + 1 < node->end && (block[at] != 0 || block[at + 1] != 0)) at += 2;
  if (at + 1 >= node->end) return false;
  node->value = Align4(at + 2);
  size_t value_bytes = node->type == kTextValue ? node->value_length * 2u : node->value_length;
  node->children = Align4(node->value + value_bytes);
  return node->value + value_bytes <= node->end;
}

// Keys match without regard to case, as VerQueryValue's do.
bool KeyIs(const unsigned char* block, const Node& node, const std::string& name) {
  size_t at = node.key;
  for (char c : name) {
    WORD unit = static_cast<WORD>(block[at] | block[at + 1] << 8);
    if (unit >= 0x80 || tolower(unit) != tolower(static_cast<unsigned char>(c))) return false;
    at += 2;
  }
  return block[at] == 0 && block[at + 1] == 0;
}

bool FindChild(const unsigned char* block, const Node& parent, const std::string& name,
               Node* child) {
  size_t at = parent.children;
  while (at < parent.end) {
    if (!ReadNode(block, at, parent.end, child)) return false;
    if (KeyIs(block, *child, name)) return true;
    at = Align4(child->end);
  }
  return false;
}

}  // namespace

namespace sim {
void SetSystemDirectory(const std::string& path) { M().system_directory = path; }
}  // namespace sim

UINT WINAPI GetSystemFolder(LPSTR buffer, UINT size) {
  if (Enter("GetSystemFolder", {Number(size)})) return 0;
  const std::string& directory = M().system_directory;
  // Too small a buffer gets nothing and learns the size it needs.
  if (directory.size() + 1 > size) return static_cast<UINT>(directory.size() + 1);
  return sim::detail::PutText(buffer, size, directory);
}

DWORD WINAPI GetVersionInfoSize(LPCSTR path, LPDWORD handle) {
  if (Enter("GetVersionInfoSize", {Text(path)})) return 0;
  if (handle != nullptr) *handle = 0;
  Bytes resource;
  DWORD error = ReadVersionResource(path, &resource);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return 0;
  }
  return static_cast<DWORD>(resource.size() * 2 + kSignatureSize);
}

BOOL WINAPI GetVersionInfo(LPCSTR path, DWORD handle, DWORD size, LPVOID data) {
  if (Enter("GetVersionInfo", {Text(path), Number(handle), Number(size)})) return FALSE;
  Bytes resource;
  DWORD error = ReadVersionResource(path, &resource);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  if (data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  size_t count = resource.size() < size ? resource.size() : size;
  memcpy(data, resource.data(), count);
  return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR sub_block, LPVOID* buffer, PUINT length) {
  if (Enter("VerQueryValueA", {Text(sub_block)})) return FALSE;
  if (length != nullptr) *length = 0;
  if (block == nullptr || sub_block == nullptr || buffer == nullptr) return FALSE;
  const unsigned char* bytes = static_cast<const unsigned char*>(block);
  Node node;
  size_t root_length = static_cast<size_t>(bytes[0] | bytes[1] << 8);
  if (!ReadNode(bytes, 0, root_length, &node)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return FALSE;
  }
  // Empty components ("\\" alone, doubled separators) are skipped.
  std::string path = sub_block;
  size_t at = 0;
  while (at < path.size()) {
    size_t next = path.find('\\', at);
    if (next == std::string::npos) next = path.size();
    if (next > at) {
      Node child;
      if (!FindChild(bytes, node, path.substr(at, next - at), &child)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
      }
      node = child;
    }
    at = next + 1;
  }
  if (node.type != kTextValue) {
    *buffer = const_cast<unsigned char*>(bytes + node.value);
    if (length != nullptr) *length = node.value_length;
    return TRUE;
  }
  // Texts are handed out as ANSI copies in the room after the resource.
  if (node.value_length == 0) {
    *buffer = const_cast<unsigned char*>(bytes + node.value);
    return TRUE;
  }
  char* ansi = reinterpret_cast<char*>(const_cast<unsigned char*>(bytes)) + root_length +
               kSignatureSize + node.value;
  UINT count = 0;
  for (; count < node.value_length; ++count) {
    size_t unit_at = node.value + count * 2u;
    WORD unit = static_cast<WORD>(bytes[unit_at] | bytes[unit_at + 1] << 8);
    if (unit == 0) break;
    ansi[count] = unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  ansi[count] = '\0';
  *buffer = ansi;
  if (length != nullptr) *length = count + 1;
  return TRUE;
}
