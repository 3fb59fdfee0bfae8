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
 * own first, as some controls do.
 *
 * Its path is read and written wide: in a folder whose name lies outside the
 * ANSI code page an ANSI path would name no file. */
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
#define WIDE2(text) L##text
#define WIDE(text) WIDE2(text)

static HMODULE g_module;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

/* The length in bytes, as RegSetValueW takes it, or 0. */
static DWORD OwnPath(wchar_t* path, DWORD count) {
  DWORD length = GetModuleFileNameW(g_module, path, count);
  return length < count ? length * sizeof(wchar_t) : 0;
}

#ifndef CONTROL_NO_REGISTER
__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) {
#ifdef CONTROL_REGISTER_FAILS
  return E_FAIL;
#else
  wchar_t path[MAX_PATH];
  DWORD length = OwnPath(path, MAX_PATH);
  if (length == 0) return E_FAIL;
#ifdef CONTROL_SHOWS_A_BOX
  MessageBoxA(NULL, "The control is being set up.", "Control setup", MB_OK);
#endif
  if (RegSetValueW(HKEY_CLASSES_ROOT, WIDE(TYPE_LIBRARY_KEY), REG_SZ, path, length) != ERROR_SUCCESS)
    return E_FAIL;
  if (RegSetValueW(HKEY_CLASSES_ROOT, WIDE(SERVER_KEY), REG_SZ, path, length) != ERROR_SUCCESS)
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
static void EmptyIfOurs(const wchar_t* key, const wchar_t* path) {
  wchar_t current[MAX_PATH];
  LONG size = sizeof current;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, key, current, &size) == ERROR_SUCCESS &&
      lstrcmpiW(current, path) == 0) {
    RegSetValueW(HKEY_CLASSES_ROOT, key, REG_SZ, L"", 0);
  }
}
#endif

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) {
  wchar_t path[MAX_PATH];
  DWORD length = OwnPath(path, MAX_PATH);
  if (length == 0) return E_FAIL;
#ifdef CONTROL_UNREGISTER_WIPES
  DeleteKeys();
#else
  EmptyIfOurs(WIDE(TYPE_LIBRARY_KEY), path);
  EmptyIfOurs(WIDE(SERVER_KEY), path);
#endif
#ifdef CONTROL_NOTE_KEY
  RegSetValueW(HKEY_CLASSES_ROOT, WIDE(CONTROL_NOTE_KEY), REG_SZ, path, length);
#endif
  return S_OK;
}
