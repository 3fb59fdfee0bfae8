// The host's colour depth and free memory, tested before the application runs.
#pragma once

#include <cstdint>

// The desktop's bits per pixel; 0 when its device context cannot be had.
int GetBitsPerPixel();
// Free physical memory and free page-file space together, in bytes.
uint64_t GetFreeMemory();

// 1 when the desktop's device context could be had and shows 256 colours or more.
int HasEnoughColors();

// 1 when MegRequired is 0 or absent, or when free physical memory and free
// page-file space together reach it.
int HasEnoughMemory();
