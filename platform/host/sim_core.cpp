// Call recording, fault injection, last error and handles.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/host/sim_internal.h"

namespace sim {
namespace detail {

Machine& M() {
  static Machine machine;
  return machine;
}

static bool MustFail(const std::string& name, size_t index, int occurrence, DWORD* error) {
  Machine& m = M();
  for (const Fault& fault : m.faults) {
    if (fault.name == name && (fault.occurrence == 0 || fault.occurrence == occurrence)) {
      *error = fault.error;
      return true;
    }
  }
  if (m.fail_from != 0 && (index == m.fail_from || (m.fail_persistent && index > m.fail_from))) {
    *error = m.fail_from_error;
    return true;
  }
  return false;
}

bool Enter(const char* name, std::initializer_list<std::string> args) {
  Machine& m = M();
  m.calls.push_back(Call{name, std::vector<std::string>(args)});
  int occurrence = ++m.call_counts[name];
  DWORD error = 0;
  if (!MustFail(name, m.calls.size(), occurrence, &error)) return false;
  m.last_error = error;
  return true;
}

void Note(const char* name, std::initializer_list<std::string> args) {
  Machine& m = M();
  m.calls.push_back(Call{name, std::vector<std::string>(args)});
  ++m.call_counts[name];
}

std::string Text(const char* text) { return text == nullptr ? "(null)" : std::string(text); }

std::string Number(long long value) { return std::to_string(value); }

std::string Hex(uintptr_t value) {
  char text[32];
  snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string HexOf(const void* pointer) { return Hex(reinterpret_cast<uintptr_t>(pointer)); }

bool SameName(const std::string& a, const char* b) {
  if (b == nullptr || a.size() != strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

HANDLE NewHandle() {
  Machine& m = M();
  uintptr_t value = m.next_handle;
  m.next_handle += 4;
  m.open_handles.insert(value);
  return reinterpret_cast<HANDLE>(value);
}

bool ReleaseHandle(HANDLE handle) {
  return M().open_handles.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

DWORD PutText(char* out, DWORD size, const std::string& text) {
  if (out == nullptr || size == 0) return 0;
  DWORD count = static_cast<DWORD>(text.size());
  if (count > size - 1) count = size - 1;
  memcpy(out, text.data(), count);
  memset(out + count, 0, size - count);
  return count;
}

}  // namespace detail

using detail::M;

void Reset() {
  detail::Machine& m = M();
  std::string root = m.root;
  if (root.empty()) {
    char pattern[] = "/tmp/prelaunch-sim-XXXXXX";
    char* made = mkdtemp(pattern);
    if (made == nullptr) abort();
    root = made;
  }
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  std::filesystem::create_directories(root);
  m = detail::Machine();
  m.root = root;
  // Every machine has these keys.
  MakeRegistryKey(HKEY_LOCAL_MACHINE, "Software");
  MakeRegistryKey(HKEY_CLASSES_ROOT, "TypeLib");
  MakeRegistryKey(HKEY_CLASSES_ROOT, "CLSID");
  MakeRegistryKey(HKEY_CURRENT_USER, "Software\\Classes");
}

const std::vector<Call>& Calls() { return M().calls; }

std::vector<Call> CallsTo(const std::string& name) {
  std::vector<Call> found;
  for (const Call& call : M().calls) {
    if (call.name == name) found.push_back(call);
  }
  return found;
}

void FailCall(const std::string& name, DWORD error, int occurrence) {
  M().faults.push_back(detail::Fault{name, error, occurrence});
}

void FailFromCall(size_t index, DWORD error, bool persistent) {
  M().fail_from = index;
  M().fail_from_error = error;
  M().fail_persistent = persistent;
}

int OpenHandleCount() {
  int count = static_cast<int>(M().heap_blocks.size());
  for (uintptr_t handle : M().open_handles)
    count += M().semaphore_handles.count(handle) == 0 ? 1 : 0;
  return count;
}

}  // namespace sim

using sim::detail::M;

DWORD WINAPI GetLastError(void) { return M().last_error; }

void WINAPI SetLastError(DWORD error) { M().last_error = error; }
