// A simulated machine for targets that go through files: made fresh now and
// then, so the record of calls does not grow for ever over a long run.
#pragma once

#include "platform/host/sim.h"

inline void FreshMachineNowAndThen() {
  static unsigned runs = 0;
  if (runs++ % 100 == 0) sim::Reset();
}
