// The trace log: timed lines on the debugger output, only with /Debug.
#pragma once

constexpr unsigned kTraceLineCapacity = 360;

void TraceStart(int on);
void TraceEvent(const char* text);
void TraceStop();
int IsTraceOn();
