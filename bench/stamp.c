/* The program the benchmark has both the launcher and the floor start. It
 * writes to stamp.txt beside itself how many microseconds after its parent's
 * creation it was itself created (both as Windows recorded them), then ends:
 * the parent's time from its own start to CreateProcess, measured the same
 * way for any parent and without anything of the parent's own making. */
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <string.h>

static DWORD ParentId(void) {
  DWORD self = GetCurrentProcessId(), parent = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
  }
  CloseHandle(snapshot);
  return parent;
}

/* Creation time in 100 ns units, 0 when it cannot be asked. */
static ULONGLONG CreatedAt(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (process == NULL || !GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return ((ULONGLONG)created.dwHighDateTime << 32) | created.dwLowDateTime;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int show) {
  (void)instance;
  (void)previous;
  (void)arguments;
  (void)show;
  ULONGLONG own = CreatedAt(GetCurrentProcess());
  HANDLE parent = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ParentId());
  ULONGLONG parents = CreatedAt(parent);

  char path[MAX_PATH + 16];
  DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  char* name = strrchr(path, '\\');
  strcpy(name != NULL ? name + 1 : path, "stamp.txt");
  FILE* out = fopen(path, "w");
  if (out == NULL) return 1;
  if (own != 0 && parents != 0 && own >= parents) {
    fprintf(out, "%lu\n", (unsigned long)((own - parents) / 10));
  } else {
    fprintf(out, "unknown\n");
  }
  fclose(out);
  return 0;
}
