// The trace log: timed lines on the debugger output, only with /Debug.
#pragma once

constexpr unsigned kTraceLineCapacity = 360;

void TraceStart(int on);
void TraceEvent(const char* text);
// A line of lead directly followed by name (a path, a key, a section).
void TraceNamed(const char* lead, const char* name);
void TraceStop();
int IsTraceOn();
