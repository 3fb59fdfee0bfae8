// Registry writes the launch needs that were refused because the user lacks
// administrator rights. Each is noted where it happens; WinMain tells the user
// once and stops.
#pragma once

#include "platform/win32.h"

// 1 for a registry status refusing access.
int IsAccessDenied(LONG status);
// 1 for a control's registration status saying it could not write the registry:
// E_ACCESSDENIED (which is also HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) and
// TYPE_E_REGISTRYACCESS.
int IsRegistrationRefused(LONG status);

void NoteRefusedWrite();
// 1 once a needed write was refused in this run.
int WriteWasRefused();
