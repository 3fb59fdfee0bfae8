#include "config/paths.h"

#include <cstring>

#include "base/bounded_text.h"
#include "platform/win32.h"

static int IsSeparator(char c) { return c == '\\' || c == '/'; }

// Length of the character starting at text: 2 for a lead byte with its trail.
static size_t CharLength(const char* text) {
  if (IsDBCSLeadByte(static_cast<BYTE>(text[0])) && text[1] != '\0') return 2;
  return 1;
}

static int PutPiece(char* out, size_t capacity, const char* begin, size_t count) {
  if (out == nullptr) return 1;
  return CopyTextPart(out, capacity, begin, count);
}

int Split(const char* path, char* drive, char* directory, char* name, char* extension) {
  int fitted = 1;
  const char* rest = path;
  if (HasDrive(path)) {
    fitted &= PutPiece(drive, kDriveCapacity, path, 2);
    rest = path + 2;
  } else {
    PutPiece(drive, kDriveCapacity, "", 0);
  }
  const char* after_separator = nullptr;
  const char* last_dot = nullptr;
  for (const char* p = rest; *p != '\0'; p += CharLength(p)) {
    if (CharLength(p) == 2) continue;
    if (IsSeparator(*p)) after_separator = p + 1;
    if (*p == '.') last_dot = p;
  }
  const char* name_begin = after_separator != nullptr ? after_separator : rest;
  const char* end = rest + strlen(rest);
  fitted &= PutPiece(directory, kPathPieceCapacity, rest, static_cast<size_t>(name_begin - rest));
  if (last_dot != nullptr && last_dot >= name_begin) {
    fitted &=
        PutPiece(name, kPathPieceCapacity, name_begin, static_cast<size_t>(last_dot - name_begin));
    fitted &=
        PutPiece(extension, kPathPieceCapacity, last_dot, static_cast<size_t>(end - last_dot));
  } else {
    fitted &= PutPiece(name, kPathPieceCapacity, name_begin, static_cast<size_t>(end - name_begin));
    PutPiece(extension, kPathPieceCapacity, "", 0);
  }
  return fitted;
}

static int EndsWithSeparator(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p += CharLength(p)) last = p;
  return last != nullptr && CharLength(last) == 1 && IsSeparator(*last);
}

static int IsEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

int Join(char* out, size_t capacity, const char* drive, const char* directory, const char* name,
         const char* extension) {
  if (capacity == 0) return 0;
  out[0] = '\0';
  int fitted = 1;
  if (!IsEmpty(drive)) {
    char letter[3] = {drive[0], ':', '\0'};
    fitted &= AppendText(out, capacity, letter);
  }
  if (!IsEmpty(directory)) {
    fitted &= AppendText(out, capacity, directory);
    if (!EndsWithSeparator(directory)) fitted &= AppendText(out, capacity, "\\");
  }
  if (!IsEmpty(name)) fitted &= AppendText(out, capacity, name);
  if (!IsEmpty(extension)) {
    if (extension[0] != '.') fitted &= AppendText(out, capacity, ".");
    fitted &= AppendText(out, capacity, extension);
  }
  return fitted;
}

int HasDrive(const char* path) { return path[0] != '\0' && path[1] == ':'; }

int ResolveReplace(char* out, size_t capacity, const char* base_folder, const char* value) {
  if (HasDrive(value)) return CopyText(out, capacity, value);
  char drive[kDriveCapacity], directory[kPathPieceCapacity];
  char name[kPathPieceCapacity], extension[kPathPieceCapacity];
  int fitted = Split(value, nullptr, nullptr, name, extension);
  fitted &= Split(base_folder, drive, directory, nullptr, nullptr);
  fitted &= Join(out, capacity, drive, directory, name, extension);
  return fitted;
}

int ResolveAppend(char* out, size_t capacity, const char* base_folder, const char* value) {
  if (HasDrive(value)) return CopyText(out, capacity, value);
  char drive[kDriveCapacity], directory[kPathPieceCapacity];
  int fitted = Split(base_folder, drive, directory, nullptr, nullptr);
  // The joined directory may be longer than one piece; it only has to fit out.
  char combined[2 * kPathCapacity];
  fitted &= CopyText(combined, sizeof combined, directory);
  fitted &= AppendText(combined, sizeof combined, value);
  fitted &= Join(out, capacity, drive, combined, nullptr, nullptr);
  return fitted;
}

int ResolvePrefix(char* out, size_t capacity, const char* base_folder, const char* value) {
  char drive[kDriveCapacity], directory[kPathPieceCapacity];
  // A folder part too long to split is still a folder: the value is written
  // as read, so a refusal can show it.
  int split = Split(value, drive, directory, nullptr, nullptr);
  if (drive[0] != '\0' || directory[0] != '\0') return CopyText(out, capacity, value) & split;
  int fitted = CopyText(out, capacity, base_folder);
  fitted &= AppendText(out, capacity, value);
  return fitted;
}

int IsFullPath(const char* path) {
  if (IsSeparator(path[0]) && IsSeparator(path[1])) return 1;
  return HasDrive(path) && IsSeparator(path[2]);
}

int HasFolder(const char* path) { return strpbrk(path, "\\/:") != nullptr; }

constexpr UINT kExistenceTest = 0x4000;  // OF_EXIST
// OpenFile keeps the full path in a 128-byte record and refuses anything
// longer, while the launcher's paths may hold 259 characters.
constexpr size_t kOpenFilePathLimit = 128;
constexpr DWORD kNoAttributes = 0xFFFFFFFF;  // INVALID_FILE_ATTRIBUTES
constexpr DWORD kDirectoryAttribute = 0x10;  // FILE_ATTRIBUTE_DIRECTORY

// OpenFile takes ANSI text only: any other path is asked by its attributes.
static int IsAscii(const char* text) {
  while (*text != '\0')
    if (static_cast<unsigned char>(*text++) >= 0x80) return 0;
  return 1;
}

int FileExists(const char* path) {
  if (strlen(path) < kOpenFilePathLimit && IsAscii(path)) {
    OFSTRUCT record;
    memset(&record, 0, sizeof record);
    return OpenFile(path, &record, kExistenceTest) != HFILE_ERROR ? 1 : 0;
  }
  DWORD attributes = GetPathAttributes(path);
  return attributes != kNoAttributes && (attributes & kDirectoryAttribute) == 0 ? 1 : 0;
}

int FolderExists(const char* path) {
  DWORD attributes = GetPathAttributes(path);
  return attributes != kNoAttributes && (attributes & kDirectoryAttribute) != 0 ? 1 : 0;
}
