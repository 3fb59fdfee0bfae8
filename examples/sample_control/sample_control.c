/* The demo's control: a library that registers itself as controls do, by
 * writing its type library and in-process server keys with its own path, and
 * empties them again when asked to unregister.
 *
 * The Wine tests build their controls from this file too. Compile
 * definitions: CONTROL_TYPELIB and CONTROL_CLSID name other keys;
 * CONTROL_REGISTER_FAILS makes DllRegisterServer report E_FAIL;
 * CONTROL_NO_REGISTER leaves it out; CONTROL_UNREGISTER_WIPES makes
 * DllUnregisterServer delete the class key and the type library's version key
 * whatever file they name, as many real controls do; CONTROL_NOTE_KEY names an
 * HKCR key whose default value each DllUnregisterServer call sets to this
 * file's path; CONTROL_SHOWS_A_BOX makes DllRegisterServer show a box of its
 * own first, as some controls do. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#ifndef CONTROL_TYPELIB
#define CONTROL_TYPELIB "{5A3C1E20-7B4D-4C1A-9E2F-0D1C2B3A4F51}"
#endif
#ifndef CONTROL_CLSID
#define CONTROL_CLSID "{5A3C1E20-7B4D-4C1A-9E2F-0D1C2B3A4F52}"
#endif
#define TYPE_LIBRARY_VERSION_KEY "TypeLib\\" CONTROL_TYPELIB "\\1.0"
#define TYPE_LIBRARY_KEY TYPE_LIBRARY_VERSION_KEY "\\0\\win32"
#define CLASS_KEY "CLSID\\" CONTROL_CLSID
#define SERVER_KEY CLASS_KEY "\\InprocServer32"

static HMODULE g_module;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

static DWORD OwnPath(char* path, DWORD size) {
  DWORD length = GetModuleFileNameA(g_module, path, size);
  return length < size ? length : 0;
}

#ifndef CONTROL_NO_REGISTER
__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) {
#ifdef CONTROL_REGISTER_FAILS
  return E_FAIL;
#else
  char path[MAX_PATH];
  DWORD length = OwnPath(path, sizeof path);
  if (length == 0) return E_FAIL;
#ifdef CONTROL_SHOWS_A_BOX
  MessageBoxA(NULL, "The control is being set up.", "Control setup", MB_OK);
#endif
  if (RegSetValueA(HKEY_CLASSES_ROOT, TYPE_LIBRARY_KEY, REG_SZ, path, length) != ERROR_SUCCESS)
    return E_FAIL;
  if (RegSetValueA(HKEY_CLASSES_ROOT, SERVER_KEY, REG_SZ, path, length) != ERROR_SUCCESS)
    return E_FAIL;
  return S_OK;
#endif
}
#endif

#ifdef CONTROL_UNREGISTER_WIPES
/* RegDeleteKeyA refuses a key that still has subkeys: deepest first. */
static void DeleteKeys(void) {
  static const char* const kKeys[] = {TYPE_LIBRARY_KEY, TYPE_LIBRARY_VERSION_KEY "\\0",
                                      TYPE_LIBRARY_VERSION_KEY, SERVER_KEY, CLASS_KEY};
  unsigned i;
  for (i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) RegDeleteKeyA(HKEY_CLASSES_ROOT, kKeys[i]);
}
#else
/* Another file may have been registered since: only our own entries go. */
static void EmptyIfOurs(const char* key, const char* path) {
  char current[MAX_PATH];
  LONG size = sizeof current;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, key, current, &size) == ERROR_SUCCESS &&
      lstrcmpiA(current, path) == 0) {
    RegSetValueA(HKEY_CLASSES_ROOT, key, REG_SZ, "", 0);
  }
}
#endif

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) {
  char path[MAX_PATH];
  DWORD length = OwnPath(path, sizeof path);
  if (length == 0) return E_FAIL;
#ifdef CONTROL_UNREGISTER_WIPES
  DeleteKeys();
#else
  EmptyIfOurs(TYPE_LIBRARY_KEY, path);
  EmptyIfOurs(SERVER_KEY, path);
#endif
#ifdef CONTROL_NOTE_KEY
  RegSetValueA(HKEY_CLASSES_ROOT, CONTROL_NOTE_KEY, REG_SZ, path, length);
#endif
  return S_OK;
}
