// After the application has ended, the older control files recorded under
// the application registry key unregister themselves.
#pragma once

int UnRegisterOCXs();
// 0 only when HKEY_LOCAL_MACHINE\Software cannot be opened (or the names
// were never read).
int DeleteAppRegisteredOCX();
// 1 when the file unregistered itself.
int UnregisterOCXFile(const char* path);
