// Core components: runtime files in the system directory that must be current
// for the application to start in normal mode.
#pragma once

// 1 when every entry of section CoreComponent is present and current (also
// when there is none); 0 at the first entry that is not.
int CheckCoreComponents();

// One entry of the list: its number, file name, path in the system directory
// (empty when that is unknown or would not fit) and least version.
struct CoreComponent {
  unsigned ordinal;
  const char* file_name;
  const char* path;
  const char* version;
};

// Hands each entry to visit, in order, until the list ends (1) or visit
// answers 0 (0).
int WalkCoreComponents(int (*visit)(const CoreComponent& entry, void* context), void* context);
