// The report of a dry run: its lines kept as one NUL-separated text, the
// problems among them counted, then handed to the person who asked.
#pragma once

#include "base/bounded_text.h"

// Exit statuses of a dry run; 1 keeps meaning that it stopped early.
constexpr int kCheckClean = 0;
constexpr int kCheckStopped = 1;
constexpr int kCheckFoundProblems = 2;

void ReportLine(const char* format, ...) PRELAUNCH_PRINTF(1, 2);
// A line that says what is wrong, what happens and how to fix it.
void ReportProblem(const char* format, ...) PRELAUNCH_PRINTF(1, 2);
unsigned ReportProblemCount();

// Writes the report to <launcher name>-check.txt in the temporary folder,
// and to the launcher's standard output when it has one (its parent's
// console, or a file or pipe the parent handed it), otherwise shows a
// summary box that offers to open the file. The run's exit status.
int FinishReport();
