// The launcher's own environment: variables read by name and expanded in text.
#include <cstring>

#include "platform/host/sim_internal.h"

namespace sim {

void SetEnvironmentValue(const std::string& name, const std::string& value) {
  detail::Machine& m = detail::M();
  for (auto& entry : m.environment) {
    if (detail::SameName(entry.first, name.c_str())) {
      entry.second = value;
      return;
    }
  }
  m.environment.emplace_back(name, value);
}

void RemoveEnvironmentValue(const std::string& name) {
  auto& environment = detail::M().environment;
  for (auto it = environment.begin(); it != environment.end(); ++it) {
    if (detail::SameName(it->first, name.c_str())) {
      environment.erase(it);
      return;
    }
  }
}

}  // namespace sim

using sim::detail::Enter;
using sim::detail::M;
using sim::detail::Number;
using sim::detail::Text;

static const std::string* FindVariable(const std::string& name) {
  for (const auto& entry : M().environment) {
    if (sim::detail::SameName(entry.first, name.c_str())) return &entry.second;
  }
  return nullptr;
}

DWORD WINAPI GetEnvironmentText(LPCSTR name, LPSTR buffer, DWORD size) {
  if (Enter("GetEnvironmentText", {Text(name), Number(size)})) return 0;
  const std::string* value = FindVariable(name);
  if (value == nullptr) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  // Too small a buffer gets nothing and learns the size it needs.
  if (value->size() + 1 > size) return static_cast<DWORD>(value->size() + 1);
  return sim::detail::PutText(buffer, size, *value);
}

DWORD WINAPI ExpandEnvironmentText(LPCSTR source, LPSTR out, DWORD size) {
  if (Enter("ExpandEnvironmentText", {Text(source), Number(size)})) return 0;
  std::string expanded;
  const char* p = source;
  while (*p != '\0') {
    const char* close = *p == '%' ? strchr(p + 1, '%') : nullptr;
    if (close == nullptr) {
      expanded += *p++;
      continue;
    }
    const std::string* value = FindVariable(std::string(p + 1, close));
    // An unknown name stays as written, with both of its percent signs.
    if (value == nullptr || close == p + 1) {
      expanded.append(p, close);
      p = close;
      continue;
    }
    expanded += *value;
    p = close + 1;
  }
  DWORD needed = static_cast<DWORD>(expanded.size() + 1);
  if (needed <= size) sim::detail::PutText(out, size, expanded);
  return needed;
}
