// The registry: two roots of nested keys with typed values, opened and
// created by paths of several levels, names compared without regard to case,
// and HKEY_CLASSES_ROOT as the merged view of their Software\Classes keys.
#include <cctype>
#include <cstring>

#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::M;
using sim::detail::Number;
using sim::detail::OpenKey;
using sim::detail::RegistryKey;
using sim::detail::StoredValue;
using sim::detail::Text;

namespace {

std::string Upper(const std::string& text) {
  std::string upper;
  for (char c : text) upper += static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return upper;
}

// Rights that change a key or what it holds.
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK |
                                0x10000 /* DELETE */ | 0x40000 /* WRITE_DAC */ |
                                0x80000 /* WRITE_OWNER */;

// What a caller may hold on a key: a standard user only reads the machine's.
REGSAM Granted(REGSAM asked, bool user_hive) {
  return M().standard_user && !user_hive ? asked & ~static_cast<REGSAM>(kWriteRights) : asked;
}

std::string KeyText(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return "HKLM";
  if (key == HKEY_CURRENT_USER) return "HKCU";
  if (key == HKEY_CLASSES_ROOT) return "HKCR";
  return Hex(reinterpret_cast<uintptr_t>(key));
}

bool IsRoot(HKEY key) {
  return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT;
}

RegistryKey* Child(RegistryKey* key, const std::string& name);
RegistryKey* Find(RegistryKey* key, const std::vector<std::string>& levels);

RegistryKey* MachineClasses() { return Find(&M().local_machine, {"Software", "Classes"}); }
RegistryKey* UserClasses() { return Find(&M().current_user, {"Software", "Classes"}); }

// A path below HKEY_CLASSES_ROOT in the merged view: below a top-level key
// (TypeLib, CLSID), a key the user's classes hold hides the machine's key of
// that name with all it holds; the top-level keys themselves are the machine's.
RegistryKey* FindClasses(const std::vector<std::string>& levels, bool* user_hive) {
  constexpr size_t kHidingLevel = 2;
  if (levels.size() >= kHidingLevel) {
    std::vector<std::string> top(levels.begin(), levels.begin() + kHidingLevel);
    if (Find(UserClasses(), top) != nullptr) {
      *user_hive = true;
      return Find(UserClasses(), levels);
    }
  }
  RegistryKey* machine = Find(MachineClasses(), levels);
  *user_hive = machine == nullptr;
  return machine != nullptr ? machine : Find(UserClasses(), levels);
}

// The key a handle stands for, with the access it was opened with.
bool Resolve(HKEY key, OpenKey* out) {
  if (key == HKEY_LOCAL_MACHINE) {
    *out = OpenKey{&M().local_machine, Granted(KEY_ALL_ACCESS, false), false, false, {}};
    return true;
  }
  if (key == HKEY_CURRENT_USER) {
    *out = OpenKey{&M().current_user, KEY_ALL_ACCESS, true, false, {}};
    return true;
  }
  if (key == HKEY_CLASSES_ROOT) {
    *out = OpenKey{MachineClasses(), Granted(KEY_ALL_ACCESS, false), false, true, {}};
    return out->key != nullptr;
  }
  auto found = M().open_keys.find(key);
  if (found == M().open_keys.end()) return false;
  *out = found->second;
  return true;
}

// Levels of a path. A run of backslashes parts two levels as one does and
// closing ones name no further level; a leading one makes the path bad.
bool Levels(const char* path, std::vector<std::string>* levels) {
  levels->clear();
  if (path == nullptr) return true;
  if (path[0] == '\\') return false;
  std::string current;
  for (const char* c = path;; ++c) {
    if (*c != '\\' && *c != '\0') {
      current += *c;
      continue;
    }
    if (!current.empty()) levels->push_back(current);
    current.clear();
    if (*c == '\0') return true;
  }
}

RegistryKey* Child(RegistryKey* key, const std::string& name) {
  if (key == nullptr) return nullptr;
  auto found = key->subkeys.find(Upper(name));
  return found == key->subkeys.end() ? nullptr : found->second.get();
}

RegistryKey* Find(RegistryKey* key, const std::vector<std::string>& levels) {
  if (key == nullptr) return nullptr;
  for (const std::string& level : levels) {
    if (key == nullptr) return nullptr;
    key = Child(key, level);
  }
  return key;
}

HKEY Hand(const OpenKey& open) {
  HKEY handle = static_cast<HKEY>(sim::detail::NewHandle());
  M().open_keys[handle] = open;
  return handle;
}

// The key levels name below an open key, in the merged view when it was
// opened through HKEY_CLASSES_ROOT; as an open key without its access.
OpenKey Below(const OpenKey& from, const std::vector<std::string>& levels) {
  OpenKey below{nullptr, 0, from.user_hive, from.classes_view, {}};
  if (!from.classes_view) {
    below.key = Find(from.key, levels);
    return below;
  }
  below.classes_levels = from.classes_levels;
  below.classes_levels.insert(below.classes_levels.end(), levels.begin(), levels.end());
  below.key = FindClasses(below.classes_levels, &below.user_hive);
  return below;
}

LONG OpenPath(HKEY parent, const char* sub_key, REGSAM access, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  OpenKey from;
  if (!Resolve(parent, &from)) return ERROR_INVALID_HANDLE;
  std::vector<std::string> levels;
  if (!Levels(sub_key, &levels)) return ERROR_BAD_PATHNAME;
  OpenKey opened = Below(from, levels);
  if (opened.key == nullptr) return ERROR_FILE_NOT_FOUND;
  if (Granted(access, opened.user_hive) != access) return ERROR_ACCESS_DENIED;
  opened.access = access;
  *result = Hand(opened);
  return ERROR_SUCCESS;
}

std::vector<std::string> TestLevels(const std::string& path) {
  std::vector<std::string> levels;
  if (!Levels(path.c_str(), &levels)) levels.clear();
  return levels;
}

// Where the test helpers look keys up: classes in the merged view.
RegistryKey* Look(HKEY root, const std::vector<std::string>& levels) {
  bool user_hive = false;
  if (root == HKEY_CLASSES_ROOT) return FindClasses(levels, &user_hive);
  return Find(root == HKEY_CURRENT_USER ? &M().current_user : &M().local_machine, levels);
}

// Where the test helpers make keys: new classes go to the machine's.
RegistryKey* MakePath(HKEY root, const std::string& path, bool is_volatile) {
  RegistryKey* key = root == HKEY_CURRENT_USER ? &M().current_user : &M().local_machine;
  std::vector<std::string> levels = TestLevels(path);
  if (root == HKEY_CLASSES_ROOT) levels.insert(levels.begin(), {"Software", "Classes"});
  for (const std::string& level : levels) {
    std::unique_ptr<RegistryKey>& slot = key->subkeys[Upper(level)];
    if (!slot) {
      slot = std::make_unique<RegistryKey>();
      slot->name = level;
      slot->is_volatile = is_volatile;
    }
    key = slot.get();
  }
  return key;
}

void DropVolatile(RegistryKey* key) {
  for (auto it = key->subkeys.begin(); it != key->subkeys.end();) {
    if (it->second->is_volatile) {
      it = key->subkeys.erase(it);
    } else {
      DropVolatile(it->second.get());
      ++it;
    }
  }
}

}  // namespace

namespace sim {

void SetRegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                      const std::vector<BYTE>& data) {
  MakePath(root, path, false)->values[Upper(name)] = {name, StoredValue{type, data}};
}

void SetRegistryText(HKEY root, const std::string& path, const std::string& name,
                     const std::string& text) {
  std::vector<BYTE> data(text.begin(), text.end());
  data.push_back(0);
  SetRegistryValue(root, path, name, REG_SZ, data);
}

void MakeRegistryKey(HKEY root, const std::string& path, bool is_volatile) {
  MakePath(root, path, is_volatile);
}

void DeleteRegistryKey(HKEY root, const std::string& path) {
  std::vector<std::string> levels = TestLevels(path);
  if (levels.empty()) return;
  std::string name = levels.back();
  levels.pop_back();
  RegistryKey* parent = Look(root, levels);
  if (parent != nullptr) parent->subkeys.erase(Upper(name));
}

bool RegistryKeyExists(HKEY root, const std::string& path) {
  return Look(root, TestLevels(path)) != nullptr;
}

RegistryKeyInfo RegistryKeyDetails(HKEY root, const std::string& path) {
  RegistryKey* key = Look(root, TestLevels(path));
  if (key == nullptr) return RegistryKeyInfo{"(none)", false};
  return RegistryKeyInfo{key->key_class, key->is_volatile};
}

bool RegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD* type,
                   std::vector<BYTE>* data) {
  RegistryKey* key = Look(root, TestLevels(path));
  if (key == nullptr) return false;
  auto found = key->values.find(Upper(name));
  if (found == key->values.end()) return false;
  if (type != nullptr) *type = found->second.second.type;
  if (data != nullptr) *data = found->second.second.data;
  return true;
}

std::string RegistryText(HKEY root, const std::string& path, const std::string& name) {
  std::vector<BYTE> data;
  if (!RegistryValue(root, path, name, nullptr, &data)) return "(none)";
  std::string text(data.begin(), data.end());
  return text.substr(0, text.find('\0'));
}

void SetStandardUser(bool on) { M().standard_user = on; }

void RestartSystem() {
  DropVolatile(&M().local_machine);
  DropVolatile(&M().current_user);
}

}  // namespace sim

LONG WINAPI RegOpenKeyA(HKEY key, LPCSTR sub_key, PHKEY result) {
  if (Enter("RegOpenKeyA", {KeyText(key), Text(sub_key)})) {
    if (result != nullptr) *result = nullptr;
    return static_cast<LONG>(GetLastError());
  }
  // It asks for the most the user may have: reading only, for a standard user.
  OpenKey from;
  bool user_hive = Resolve(key, &from) && from.user_hive;
  return OpenPath(key, sub_key, Granted(KEY_ALL_ACCESS, user_hive), result);
}

LONG WINAPI OpenRegistryKey(HKEY key, LPCSTR sub_key, DWORD options, REGSAM access, PHKEY result) {
  if (Enter("OpenRegistryKey", {KeyText(key), Text(sub_key), Number(options), Hex(access)})) {
    if (result != nullptr) *result = nullptr;
    return static_cast<LONG>(GetLastError());
  }
  return OpenPath(key, sub_key, access, result);
}

LONG WINAPI CreateRegistryKey(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR key_class,
                            DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                            PHKEY result, LPDWORD disposition) {
  if (Enter("CreateRegistryKey", {KeyText(key), Text(sub_key), Number(reserved), Text(key_class),
                                Number(options), Hex(access), security ? "security" : "(null)"})) {
    if (result != nullptr) *result = nullptr;
    return static_cast<LONG>(GetLastError());
  }
  if (result == nullptr || sub_key == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  OpenKey from;
  if (!Resolve(key, &from)) return ERROR_INVALID_HANDLE;
  std::vector<std::string> levels;
  if (!Levels(sub_key, &levels)) return ERROR_BAD_PATHNAME;
  const bool make_volatile = (options & REG_OPTION_VOLATILE) != 0;
  RegistryKey* current = from.key;
  bool user_hive = from.user_hive;
  // Through HKEY_CLASSES_ROOT: a key there is opened, a new one made in the
  // machine's classes.
  if (from.classes_view) {
    OpenKey existing = Below(from, levels);
    if (existing.key != nullptr) {
      levels.clear();
      current = existing.key;
      user_hive = existing.user_hive;
    } else {
      levels.insert(levels.begin(), from.classes_levels.begin(), from.classes_levels.end());
      current = MachineClasses();
      user_hive = false;
    }
  }
  bool made = false;
  for (const std::string& level : levels) {
    RegistryKey* child = Child(current, level);
    made = child == nullptr;
    if (made) {
      if ((from.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
      // The registry refuses a lasting key below one that goes at restart.
      if (current->is_volatile && !make_volatile) return ERROR_CHILD_MUST_BE_VOLATILE;
      std::unique_ptr<RegistryKey>& slot = current->subkeys[Upper(level)];
      slot = std::make_unique<RegistryKey>();
      slot->name = level;
      slot->key_class = key_class == nullptr ? "" : key_class;
      slot->is_volatile = make_volatile;
      child = slot.get();
    }
    current = child;
  }
  if (Granted(access, user_hive) != access) return ERROR_ACCESS_DENIED;
  *result = Hand(OpenKey{current, access, user_hive, false, {}});
  if (disposition != nullptr) *disposition = made ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG WINAPI ReadRegistryValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size) {
  if (Enter("ReadRegistryValue", {KeyText(key), Text(name), reserved ? "reserved" : "(null)",
                                 size == nullptr ? "(null)" : Number(*size)})) {
    return static_cast<LONG>(GetLastError());
  }
  OpenKey open;
  if (!Resolve(key, &open)) return ERROR_INVALID_HANDLE;
  if ((open.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  auto found = open.key->values.find(Upper(name == nullptr ? "" : name));
  if (found == open.key->values.end()) return ERROR_FILE_NOT_FOUND;
  const StoredValue& value = found->second.second;
  if (type != nullptr) *type = value.type;
  DWORD needed = static_cast<DWORD>(value.data.size());
  if (size == nullptr) return ERROR_SUCCESS;
  if (data != nullptr && needed > *size) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr && needed > 0) memcpy(data, value.data.data(), needed);
  // A text stored without its NUL gets one where the buffer has room for it.
  const bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ;
  if (data != nullptr && text && needed > 0 && needed < *size && data[needed - 1] != 0)
    data[needed] = 0;
  *size = needed;
  return ERROR_SUCCESS;
}

LONG WINAPI WriteRegistryValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
  std::string shown =
      data == nullptr ? "(null)" : std::string(reinterpret_cast<const char*>(data), size);
  if (Enter("WriteRegistryValue",
            {KeyText(key), Text(name), Number(reserved), Number(type), shown, Number(size)})) {
    return static_cast<LONG>(GetLastError());
  }
  OpenKey open;
  if (!Resolve(key, &open)) return ERROR_INVALID_HANDLE;
  if ((open.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  std::string value_name = name == nullptr ? "" : name;
  std::vector<BYTE> bytes(data, data + size);
  open.key->values[Upper(value_name)] = {value_name, StoredValue{type, bytes}};
  return ERROR_SUCCESS;
}

LONG WINAPI EnumRegistryKey(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved,
                          LPSTR key_class, LPDWORD class_size, PFILETIME last_write) {
  if (Enter("EnumRegistryKey",
            {KeyText(key), Number(index), name_size == nullptr ? "(null)" : Number(*name_size)})) {
    return static_cast<LONG>(GetLastError());
  }
  (void)reserved;
  OpenKey open;
  if (!Resolve(key, &open)) return ERROR_INVALID_HANDLE;
  if ((open.access & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
  if (name == nullptr || name_size == nullptr) return ERROR_INVALID_PARAMETER;
  if (index >= open.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  auto it = open.key->subkeys.begin();
  std::advance(it, index);
  const std::string& found = it->second->name;
  if (found.size() + 1 > *name_size) return ERROR_MORE_DATA;
  memcpy(name, found.c_str(), found.size() + 1);
  *name_size = static_cast<DWORD>(found.size());
  if (key_class != nullptr && class_size != nullptr) {
    *class_size = sim::detail::PutText(key_class, *class_size, it->second->key_class);
  }
  if (last_write != nullptr) *last_write = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key) {
  sim::detail::Note("RegCloseKey", {KeyText(key)});
  if (IsRoot(key)) return ERROR_SUCCESS;
  if (M().open_keys.erase(key) == 0 || !sim::detail::ReleaseHandle(key))
    return ERROR_INVALID_HANDLE;
  return ERROR_SUCCESS;
}
