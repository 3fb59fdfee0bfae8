/* Runs the scenarios of a contract table (tests/contract/scenarios.txt) by
 * making their Win32 calls. The same code runs under Wine, in the fixture
 * contract.exe, and on the host against the simulation, in
 * tests/sim/contract_test.cpp; each side supplies the hooks below for what is
 * not a call the launcher makes itself. */
#pragma once

#include <stddef.h>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/win32.h"
/* On the host the table's calls are the launcher's UTF-8 edge, which the
 * simulation implements; the table's texts are ASCII, the same in both. */
#define CreateProcessA StartProcess
#define GetClassNameA GetWindowClassName
#define GetPrivateProfileStringA ReadProfileText
#define GetWindowTextA GetWindowTitle
#define RegCreateKeyExA CreateRegistryKey
#define RegOpenKeyExA OpenRegistryKey
#define RegQueryValueExA ReadRegistryValue
#define RegSetValueExA WriteRegistryValue
#endif

/* One call of a scenario: the table's line, its expected result and what the
 * call gave, both in the table's notation. */
typedef void (*ContractReport)(void* context, const char* scenario, const char* call,
                               const char* expected, const char* actual);

/* Runs every scenario of the table; 0 when the table cannot be read or a line
 * of it is not understood (a line "error ..." is then reported). */
int RunContractTable(const char* table_path, ContractReport report, void* context);

/* The hooks. A scenario starts with a fresh folder and a fresh registry key
 * HKEY_LOCAL_MACHINE\<key_path> (on the host, a fresh machine); files and
 * folders are made below the folder. */
void ContractBeginScenario(const char* folder, const char* key_path);
int ContractWriteFile(const char* path, const char* bytes, size_t size);
int ContractMakeFolder(const char* path);
/* Another thread makes top-level windows of class kContractWindowClass with
 * these titles, in this order, and keeps them until the scenario ends.
 * Returns its thread id, 0 when it could not. */
DWORD ContractMakeThreadWindows(const char* const* titles, int count);
void ContractEndThreadWindows(void);
/* A child program at this path that reports its environment. Prepare makes
 * it available; Environment waits for the started child and gives the
 * entries it saw, each NUL-terminated, then one more NUL. */
int ContractPrepareChild(const char* program);
int ContractChildEnvironment(const PROCESS_INFORMATION* process, const char* program, char* entries,
                             size_t capacity);

/* Posts a message of this number, without window or parameters, to the
 * calling thread; 0 when it could not. */
int ContractPostMessage(UINT message);

#define kContractWindowClass "ContractWindow"
