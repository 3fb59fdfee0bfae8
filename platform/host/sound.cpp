// Sound playback: recorded, never heard.
#include "platform/host/sim_internal.h"

using sim::detail::M;

namespace sim {
const std::vector<SoundRecord>& Sounds() { return M().sounds; }
}  // namespace sim

BOOL WINAPI PlaySoundFile(LPCSTR sound, HMODULE module, DWORD flags) {
  if (sim::detail::Enter("PlaySoundFile", {sim::detail::Text(sound),
                                        sim::detail::Hex(reinterpret_cast<uintptr_t>(module)),
                                        sim::detail::Hex(flags)})) {
    return FALSE;
  }
  bool found = sound != nullptr && (flags & SND_FILENAME) != 0 && sim::detail::IsFile(sound);
  M().sounds.push_back(sim::SoundRecord{sim::detail::Text(sound), module, flags, found});
  return TRUE;
}
