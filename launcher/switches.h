// The launcher's own command-line switches.
#pragma once

struct Switches {
  int debug;
  int slow_load;
  int check;
};

// Reads "/word /word ..." from the argument text; only the first two words count.
Switches ReadSwitches(const char* arguments);
