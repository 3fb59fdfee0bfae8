// The launcher's own arguments as WinMain gets them.
#pragma once

// The launcher's arguments within its own command line, as the C runtime
// hands them to WinMain: what follows the program's name (quoted or not) and
// the blanks after it. Never null: an absent line has no arguments.
char* ArgumentsAfterProgramName(char* line);
