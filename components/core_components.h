// Core components: runtime files in the system directory that must be current
// for the application to start in normal mode.
#pragma once

// 1 when every entry of section CoreComponent is present and current (also
// when there is none); 0 at the first entry that is not.
int CheckCoreComponents();
