// Starting the application and waiting for it.
#pragma once

#include <cstddef>

#include "platform/win32.h"

// The platform's limits for what a new process is handed.
constexpr unsigned kCommandLineCapacity = 32768;  // 32,767 characters and NUL
constexpr unsigned kEnvironmentCapacity = 32768;

constexpr int kNormalMode = 1;
constexpr int kSlowLoadMode = 0;

// The application's working directory: its own folder when ProgramName has a
// drive, otherwise the home directory whatever folder the value names. 1
// when it fitted.
int GetApplicationDirectory(const char* program_name, char* out, size_t capacity);

// The application's command line: the program part, a blank, "/" and the
// splash window's handle in eight lower-case hexadecimal digits. 1 when the
// whole line fitted into out.
int BuildCommandLine(char* out, size_t capacity, const char* application_directory,
                     const char* program_name, HWND splash);

// Returns 1 when the application was started and has ended, 0 when it could
// not be started (the user has been told).
int WinExecAndWait(char* command_line, const char* application_directory, int mode);
// "Failed to Create Process <command line>": the application cannot be started.
void ShowFailedToCreateProcess(const char* command_line);

// The slow-load environment block for the application, and its working
// directory (the control folder, kPathCapacity bytes); null when either does
// not fit.
char* SlowLoadEnvironment(const char* application_directory, char* working_directory);

// Builds the slow-load environment: Path=<control folder>;<application directory>,
// then Tmp=<temp folder> and SystemRoot=<system root> when there are such.
// Returns 1 when it fitted.
int BuildSlowLoadEnvironment(char* block, size_t capacity, const char* control_folder,
                             const char* application_directory, const char* temp_folder,
                             const char* system_root);
