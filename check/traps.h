// Configuration traps that fail silently in a real run: keys and sections
// the launcher never reads, and lists that end before their last entry.
#pragma once

// Where each numbered list ended: its first ordinal that was not read.
struct ListEnds {
  unsigned system_controls;
  unsigned application_controls;
  unsigned core_components;
};

// Reports every key of the known sections the launcher does not read, and
// every section it does not know.
void ReportUnreadKeys(const ListEnds& ends);
