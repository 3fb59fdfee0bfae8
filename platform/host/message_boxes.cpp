// Message boxes: recorded, answered from the script or by the default button.
#include "platform/host/sim_internal.h"

using sim::detail::M;

namespace sim {
void QueueAnswer(int answer) { M().answers.push_back(answer); }
const std::vector<MessageBoxRecord>& MessageBoxes() { return M().boxes; }
}  // namespace sim

static int DefaultAnswer(UINT type) {
  UINT buttons = type & 0xF;
  bool second_is_default = (type & 0xF00) == MB_DEFBUTTON2;
  switch (buttons) {
    case MB_OKCANCEL:
      return second_is_default ? IDCANCEL : IDOK;
    case MB_RETRYCANCEL:
      return second_is_default ? IDCANCEL : IDRETRY;
    case MB_YESNO:
      return second_is_default ? IDNO : IDYES;
    default:
      return IDOK;
  }
}

int WINAPI ShowMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (sim::detail::Enter("ShowMessageBox", {sim::detail::Hex(reinterpret_cast<uintptr_t>(owner)),
                                         sim::detail::Text(text), sim::detail::Text(caption),
                                         sim::detail::Number(type)})) {
    return 0;
  }
  int answer = DefaultAnswer(type);
  if (!M().answers.empty()) {
    answer = M().answers.front();
    M().answers.pop_front();
  }
  std::vector<HWND> windows_up, covered_by;
  // A box is an ordinary window unless asked to be topmost (system-modal ones are).
  bool box_topmost = (type & (MB_TOPMOST | MB_SYSTEMMODAL)) != 0;
  for (const auto& entry : M().windows) {
    windows_up.push_back(entry.first);
    if (!box_topmost && (entry.second.record.ex_style & WS_EX_TOPMOST) != 0)
      covered_by.push_back(entry.first);
  }
  M().boxes.push_back(sim::MessageBoxRecord{owner, sim::detail::Text(text),
                                            sim::detail::Text(caption), type, answer, windows_up,
                                            covered_by});
  return answer;
}
