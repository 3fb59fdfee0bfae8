// Starting the application and waiting for it.
#pragma once

#include "platform/win32.h"

// The platform's limits for what a new process is handed.
constexpr unsigned kCommandLineCapacity = 32768;  // 32,767 characters and NUL
constexpr unsigned kEnvironmentCapacity = 32768;

constexpr int kNormalMode = 1;
constexpr int kSlowLoadMode = 0;

// Returns 1 when the application was started and has ended, 0 when it could
// not be started (the user has been told).
int WinExecAndWait(char* command_line, const char* application_directory, int mode);
// "Failed to Create Process <command line>": the application cannot be started.
void ShowFailedToCreateProcess(const char* command_line);

// Builds the slow-load environment: Path=<control folder>;<application directory>,
// then Tmp=<temp folder> and SystemRoot=<system root> when there are such.
// Returns 1 when it fitted.
int BuildSlowLoadEnvironment(char* block, size_t capacity, const char* control_folder,
                             const char* application_directory, const char* temp_folder,
                             const char* system_root);
