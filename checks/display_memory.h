// The host's colour depth and free memory, tested before the application runs.
#pragma once

// 1 when the desktop's device context could be had and shows 256 colours or more.
int HasEnoughColors();

// 1 when MegRequired is 0 or absent, or when free physical memory and free
// page-file space together reach it.
int HasEnoughMemory();
