// Files read and written through handles, and the parent's console, with
// Windows' dispositions and errors.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::M;
using sim::detail::Number;
using sim::detail::Text;

namespace sim {

std::string ReadFile(const std::string& windows_path) {
  std::ifstream in(detail::MapPath(windows_path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void SetParentConsole(bool on) { M().parent_console = on; }

// Held by the process as its standard handle, not by the launcher's code.
static HANDLE StandardOutput() {
  HANDLE handle = detail::NewHandle();
  M().open_handles.erase(reinterpret_cast<uintptr_t>(handle));
  M().files[reinterpret_cast<uintptr_t>(handle)] = {"", GENERIC_READ | GENERIC_WRITE, 0};
  return handle;
}

void SetRedirectedOutput(bool on) { M().standard_output = on ? StandardOutput() : nullptr; }

const std::string& ConsoleOutput() { return M().console_output; }

}  // namespace sim

static sim::detail::Machine::OpenedFile* Opened(HANDLE handle) {
  auto found = M().files.find(reinterpret_cast<uintptr_t>(handle));
  if (found == M().files.end()) return nullptr;
  // The console is the process's; a file's handle lives until it is closed.
  if (!found->second.path.empty() && M().open_handles.count(found->first) == 0) return nullptr;
  return &found->second;
}

static std::string Parent(const std::string& full) {
  return full.substr(0, full.find_last_of('\\'));
}

HANDLE WINAPI OpenFilePath(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                           DWORD disposition, DWORD flags, HANDLE template_file) {
  if (Enter("OpenFilePath", {Text(path), Hex(access), Number(share), Number(disposition)}))
    return INVALID_HANDLE_VALUE;
  (void)security;
  (void)flags;
  (void)template_file;
  if (path == nullptr || path[0] == '\0' ||
      (disposition != CREATE_ALWAYS && disposition != OPEN_EXISTING)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (strlen(path) >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return INVALID_HANDLE_VALUE;
  }
  const std::string full = sim::detail::FullWindowsPath(path);
  if (sim::detail::IsDirectory(full)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const bool exists = sim::detail::IsFile(full);
  if (!sim::detail::IsDirectory(Parent(full) + "\\")) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (disposition == OPEN_EXISTING && !exists) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (disposition == CREATE_ALWAYS) {
    std::ofstream truncate(sim::detail::MapPath(full), std::ios::binary | std::ios::trunc);
    if (!truncate) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
  }
  // As Windows: a file that was there is overwritten, and says so.
  SetLastError(disposition == CREATE_ALWAYS && exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  HANDLE handle = sim::detail::NewHandle();
  M().files[reinterpret_cast<uintptr_t>(handle)] = {full, access, 0};
  return handle;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, LONG* distance_high, DWORD method) {
  if (Enter("SetFilePointer",
            {Hex(reinterpret_cast<uintptr_t>(file)), Number(distance), Number(method)})) {
    return INVALID_SET_FILE_POINTER;
  }
  auto* opened = Opened(file);
  if (opened == nullptr || opened->path.empty()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  if (method != FILE_BEGIN || (distance_high != nullptr && *distance_high != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (distance < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  opened->position = static_cast<DWORD>(distance);
  return opened->position;
}

// Reading at or past the end succeeds with fewer bytes, or none.
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPVOID overlapped) {
  if (Enter("ReadFile", {Hex(reinterpret_cast<uintptr_t>(file)), Number(size)})) return FALSE;
  auto* opened = Opened(file);
  if (opened == nullptr || read == nullptr || overlapped != nullptr) {
    SetLastError(opened == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *read = 0;
  if ((opened->access & GENERIC_READ) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // Only the bytes asked for: the export reader and the fuzzers read big
  // files a few bytes at a time.
  std::ifstream in(sim::detail::MapPath(opened->path), std::ios::binary);
  if (in.seekg(opened->position) && in.read(static_cast<char*>(buffer), size).gcount() > 0) {
    *read = static_cast<DWORD>(in.gcount());
    opened->position += *read;
  }
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPVOID overlapped) {
  if (Enter("WriteFile", {Hex(reinterpret_cast<uintptr_t>(file)), Number(size)})) return FALSE;
  auto* opened = Opened(file);
  if (opened == nullptr || written == nullptr || overlapped != nullptr) {
    SetLastError(opened == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *written = 0;
  if ((opened->access & GENERIC_WRITE) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const std::string bytes(static_cast<const char*>(buffer), size);
  if (opened->path.empty()) {
    M().console_output += bytes;
  } else {
    std::string content = sim::ReadFile(opened->path);
    if (content.size() < opened->position) content.resize(opened->position, '\0');
    content.replace(opened->position, bytes.size(), bytes);
    std::ofstream out(sim::detail::MapPath(opened->path), std::ios::binary | std::ios::trunc);
    out << content;
  }
  opened->position += size;
  *written = size;
  return TRUE;
}

BOOL WINAPI AttachConsole(DWORD process_id) {
  if (Enter("AttachConsole", {Hex(process_id)})) return FALSE;
  if (M().attached) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (process_id != ATTACH_PARENT_PROCESS || !M().parent_console) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  M().attached = true;
  // Standard handles the parent did not set, invalid in a GUI program until
  // now, name the console.
  if (M().standard_output == nullptr) M().standard_output = sim::StandardOutput();
  return TRUE;
}

HANDLE WINAPI GetStdHandle(DWORD which) {
  if (Enter("GetStdHandle", {Hex(which)})) return INVALID_HANDLE_VALUE;
  if (which != STD_OUTPUT_HANDLE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
  }
  return M().standard_output;
}
