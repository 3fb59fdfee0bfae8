// What the machine's classes (HKEY_LOCAL_MACHINE\Software\Classes) name for a
// control. HKEY_CLASSES_ROOT also shows the user's own classes, which code
// without administrator rights may change; a launcher run as administrator
// must record and load only what is registered for every user.
#pragma once

#include "components/registry.h"
#include "platform/win32.h"

// The Ocx<n>Clsid value of a control without a class key of its own.
constexpr const char* kNoClass = "NONE";

// "TypeLib\<type library>" or "CLSID\<class>\InprocServer32" below a
// Software\Classes key.
constexpr unsigned kClassesKeyPathCapacity = 300;

// The files a control's keys name in the machine's classes, each empty where
// its key or value is missing; server is empty without a class.
struct MachineRegistration {
  char type_library[kRegistryTextCapacity];
  char server[kRegistryTextCapacity];
};
// class_key may be null or "NONE" (no class key).
void ReadMachineRegistration(const char* type_library, const char* class_key,
                             MachineRegistration* names);
// 1 when either key names path (without regard to case).
int NamesFile(const MachineRegistration& names, const char* path);
// The file of before that its key no longer names, the server's first; null
// while both keys name what they named.
const char* LostFile(const char* type_library, const char* class_key,
                     const MachineRegistration& before);

// Traces the user's own registration of the control (its class's server, or
// its type library without a class) where it names another file than
// machine_path, the machine's: it is never recorded or loaded.
void TracePerUserRegistration(const char* type_library, const char* class_key,
                              const char* machine_path);
