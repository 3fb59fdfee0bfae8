// The launcher's process-wide state, for tests that run one launcher process
// after another in the same test process.
#pragma once

// Every process-wide variable of the launcher back to its start value, as a
// newly started launcher process has it: the trace log, the message hook, the
// configuration file's paths and its UTF-8 text, the single-instance marker,
// the application's names, the refused-write note, the control code hooks, the
// splash and the dry run's report.
void ResetProcessStateForTests();

// The shared thread slot as on a machine where no launcher of the file has
// run. It is not the process's: every launcher started from the same file
// shares it, so it outlives a process.
void ResetSharedSectionForTests();
