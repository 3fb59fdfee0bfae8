// Files, folders, the module's name, the temp folder and the code page.
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/host/sim_internal.h"

namespace sim {
namespace detail {

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

static std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (IsSeparator(c)) {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

std::string FullWindowsPath(const std::string& windows_path) {
  std::string path = windows_path;
  std::string drive;
  if (path.size() >= 2 && path[1] == ':') {
    drive = path.substr(0, 2);
    path = path.substr(2);
    if (path.empty() || !IsSeparator(path[0])) path = "\\" + path;
  } else {
    const std::string& cwd = M().current_directory;
    drive = cwd.substr(0, 2);
    if (path.empty() || !IsSeparator(path[0])) path = cwd.substr(2) + "\\" + path;
  }
  std::vector<std::string> resolved;
  for (const std::string& part : Components(path)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!resolved.empty()) resolved.pop_back();
      continue;
    }
    resolved.push_back(part);
  }
  drive[0] = static_cast<char>(toupper(static_cast<unsigned char>(drive[0])));
  std::string full = drive;
  for (const std::string& part : resolved) full += "\\" + part;
  if (resolved.empty()) full += "\\";
  return full;
}

// Windows names ignore case: the host side keeps them in lower case.
std::string MapPath(const std::string& windows_path) {
  std::string full = FullWindowsPath(windows_path);
  std::string host =
      M().root + "/" + static_cast<char>(tolower(static_cast<unsigned char>(full[0])));
  for (const std::string& part : Components(full.substr(2))) {
    std::string lower;
    for (char c : part) lower += static_cast<char>(tolower(static_cast<unsigned char>(c)));
    host += "/" + lower;
  }
  return host;
}

// Names the host cannot hold (a part over 255 bytes) exist no more than on Windows.
bool IsFile(const std::string& windows_path) {
  std::error_code error;
  return std::filesystem::is_regular_file(MapPath(windows_path), error);
}

bool IsDirectory(const std::string& windows_path) {
  std::error_code error;
  return std::filesystem::is_directory(MapPath(windows_path), error);
}

}  // namespace detail

using detail::M;

bool WriteFile(const std::string& windows_path, const std::string& content) {
  std::filesystem::path host = detail::MapPath(windows_path);
  std::error_code error;
  std::filesystem::create_directories(host.parent_path(), error);
  std::ofstream out(host, std::ios::binary);
  out << content;
  return static_cast<bool>(out);
}

bool MakeDirectory(const std::string& windows_path) {
  std::error_code error;
  std::filesystem::create_directories(detail::MapPath(windows_path), error);
  return !error;
}

bool FileExists(const std::string& windows_path) { return detail::IsFile(windows_path); }

bool RemoveFile(const std::string& windows_path) {
  std::error_code error;
  return std::filesystem::remove(detail::MapPath(windows_path), error);
}

std::string CurrentDirectory() { return M().current_directory; }

void SetModuleFileName(const std::string& path) { M().module_file_name = path; }

void SetTempPath(const std::string& path) { M().temp_path = path; }

void SetLeadByteRanges(std::vector<std::pair<BYTE, BYTE>> ranges) { M().lead_bytes = ranges; }

}  // namespace sim

using sim::detail::Enter;
using sim::detail::M;
using sim::detail::Number;
using sim::detail::Text;

DWORD WINAPI GetModulePath(HMODULE module, LPSTR filename, DWORD size) {
  if (Enter("GetModulePath",
            {sim::detail::Hex(reinterpret_cast<uintptr_t>(module)), Number(size)})) {
    return 0;
  }
  const std::string& name = M().module_file_name;
  DWORD count = sim::detail::PutText(filename, size, name);
  // As on Windows since Vista: a cut name fills the buffer and says so.
  if (name.size() >= size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  return count;
}

// As Windows: the path resolved against the working directory (a
// root-relative one against its drive), the length written, or the size
// needed with its NUL when the buffer is too small.
DWORD WINAPI GetFullPath(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* file_part) {
  if (Enter("GetFullPath", {Text(path), Number(size)})) return 0;
  if (file_part != nullptr) *file_part = nullptr;
  if (path == nullptr || path[0] == '\0') {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  std::string full = sim::detail::FullWindowsPath(path);
  if (full.size() >= size || buffer == nullptr) return static_cast<DWORD>(full.size() + 1);
  DWORD count = sim::detail::PutText(buffer, size, full);
  if (file_part != nullptr) {
    size_t last = full.find_last_of('\\');
    if (last + 1 < full.size()) *file_part = buffer + last + 1;
  }
  return count;
}

// As Windows: the record names the full path even when the test fails, and
// its error code is the last error. Only existence tests are simulated: no
// handle stays open.
HFILE WINAPI OpenFile(LPCSTR path, LPOFSTRUCT record, UINT style) {
  if (Enter("OpenFile", {Text(path), Number(style)})) return HFILE_ERROR;
  OFSTRUCT unused;
  if (record == nullptr) record = &unused;
  memset(record, 0, sizeof *record);
  record->cBytes = sizeof *record;
  DWORD error = ERROR_FILE_NOT_FOUND;
  if (path != nullptr) {
    const std::string full = sim::detail::FullWindowsPath(path);
    // The record holds the full path in 128 bytes; longer paths are refused.
    if (full.size() >= OFS_MAXPATHNAME) {
      error = ERROR_INVALID_DATA;
    } else {
      sim::detail::PutText(record->szPathName, sizeof record->szPathName, full);
      error = sim::detail::IsDirectory(full) ? ERROR_ACCESS_DENIED
              : sim::detail::IsFile(full)    ? ERROR_SUCCESS
                                             : ERROR_FILE_NOT_FOUND;
    }
  }
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    record->nErrCode = static_cast<WORD>(error);
    return HFILE_ERROR;
  }
  return (style & OF_EXIST) ? 1 : HFILE_ERROR;
}

DWORD WINAPI GetPathAttributes(LPCSTR path) {
  if (Enter("GetPathAttributes", {Text(path)})) return INVALID_FILE_ATTRIBUTES;
  if (path == nullptr) return INVALID_FILE_ATTRIBUTES;
  if (strlen(path) >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (sim::detail::IsDirectory(path)) return FILE_ATTRIBUTE_DIRECTORY;
  if (sim::detail::IsFile(path)) return FILE_ATTRIBUTE_ARCHIVE;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_FILE_ATTRIBUTES;
}

BOOL WINAPI SetWorkingFolder(LPCSTR path) {
  if (Enter("SetWorkingFolder", {Text(path)})) return FALSE;
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string full = sim::detail::FullWindowsPath(path);
  // The working directory, with its closing separator, holds at most 259 characters.
  if (full.size() + (full.back() == '\\' ? 0 : 1) > MAX_PATH - 1) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  if (!sim::detail::IsDirectory(full)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  M().current_directory = full;
  return TRUE;
}

DWORD WINAPI GetTempFolder(DWORD size, LPSTR buffer) {
  if (Enter("GetTempFolder", {Number(size)})) return 0;
  const std::string& temp = M().temp_path;
  if (temp.empty()) return 0;
  // Too small a buffer gets nothing and learns the size it needs.
  if (temp.size() + 1 > size) return static_cast<DWORD>(temp.size() + 1);
  return sim::detail::PutText(buffer, size, temp);
}

BOOL WINAPI IsDBCSLeadByte(BYTE c) {
  for (const auto& range : M().lead_bytes) {
    if (c >= range.first && c <= range.second) return TRUE;
  }
  return FALSE;
}
