// The launcher's own resources and the process heap.
#include <cstdlib>
#include <cstring>

#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::HexOf;
using sim::detail::M;
using sim::detail::Note;
using sim::detail::Number;

constexpr DWORD kErrorResourceNotFound = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND

// Only numbered names and types, as the launcher uses.
static int ResourceNumber(LPCSTR name) {
  return static_cast<int>(reinterpret_cast<uintptr_t>(name));
}

namespace sim {
void SetResource(int type, int id, const std::vector<BYTE>& bytes) {
  detail::Resource resource;
  resource.bytes.reset(new BYTE[bytes.empty() ? 1 : bytes.size()]);
  if (!bytes.empty()) memcpy(resource.bytes.get(), bytes.data(), bytes.size());
  resource.size = static_cast<DWORD>(bytes.size());
  M().resources[{type, id}] = std::move(resource);
}

const BYTE* ResourceBytes(int type, int id) {
  auto found = M().resources.find({type, id});
  return found == M().resources.end() ? nullptr : found->second.bytes.get();
}
}  // namespace sim

static sim::detail::Resource* FromHandle(HANDLE handle) {
  for (auto& entry : M().resources) {
    if (&entry.second == handle) return &entry.second;
  }
  return nullptr;
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (Enter("FindResourceA",
            {HexOf(module), Number(ResourceNumber(name)), Number(ResourceNumber(type))})) {
    return nullptr;
  }
  auto found = M().resources.find({ResourceNumber(type), ResourceNumber(name)});
  if (found == M().resources.end()) {
    SetLastError(kErrorResourceNotFound);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(&found->second);
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
  if (Enter("LoadResource", {HexOf(module), HexOf(resource)})) return nullptr;
  return FromHandle(resource);
}

LPVOID WINAPI LockResource(HGLOBAL data) {
  if (Enter("LockResource", {HexOf(data)})) return nullptr;
  sim::detail::Resource* resource = FromHandle(data);
  return resource == nullptr ? nullptr : resource->bytes.get();
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
  if (Enter("SizeofResource", {HexOf(module), HexOf(resource)})) return 0;
  sim::detail::Resource* found = FromHandle(resource);
  return found == nullptr ? 0 : found->size;
}
