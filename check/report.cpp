#include "check/report.h"

#include <cstring>

#include "base/message.h"
#include "base/trace.h"
#include "config/ini.h"
#include "config/paths.h"
#include "platform/win32.h"

constexpr unsigned kReportCapacity = 49152;
constexpr char kProblemMark[] = "Problem: ";
constexpr UINT kOfferToOpen = MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2;

static char g_report[kReportCapacity];
static unsigned g_used = 0;
static unsigned g_lines = 0;
static unsigned g_problems = 0;

// A line that does not fit is kept as far as it goes; later ones are lost.
static void AddLine(const char* mark, const char* format, va_list args) {
  size_t room = kReportCapacity - g_used;
  size_t mark_length = strlen(mark);
  if (room <= mark_length + 1) return;
  CopyText(g_report + g_used, room, mark);
  FormatTextList(g_report + g_used + mark_length, room - mark_length, format, args);
  g_used += static_cast<unsigned>(strlen(g_report + g_used) + 1);
  ++g_lines;
}

void ReportLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddLine("", format, args);
  va_end(args);
}

void ReportProblem(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddLine(kProblemMark, format, args);
  va_end(args);
  ++g_problems;
}

unsigned ReportProblemCount() { return g_problems; }

// Every line, each closed by CR LF; 1 when all of it was written.
static int WriteLines(HANDLE out) {
  for (unsigned at = 0; at < g_used;) {
    DWORD length = static_cast<DWORD>(strlen(g_report + at));
    DWORD written = 0, closed = 0;
    if (!WriteFile(out, g_report + at, length, &written, nullptr) || written != length ||
        !WriteFile(out, "\r\n", 2, &closed, nullptr) || closed != 2) {
      return 0;
    }
    at += length + 1;
  }
  return 1;
}

// The temporary folder, not the home folder: that may be a CD.
static int ReportPath(char* path) {
  DWORD length = GetTempFolder(kPathCapacity, path);
  if (length == 0 || length >= kPathCapacity) return 0;
  char name[kPathPieceCapacity];
  Split(GetLauncherFileName(), nullptr, nullptr, name, nullptr);
  return AppendText(path, kPathCapacity, name) && AppendText(path, kPathCapacity, "-check.txt");
}

static int WriteReportFile(const char* path) {
  HANDLE file =
      OpenFilePath(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  int written = WriteLines(file);
  CloseHandle(file);
  return written;
}

// Notepad from the system folder, never one found beside the launcher.
static void OpenInNotepad(const char* path) {
  char notepad[kPathCapacity], command_line[2 * kPathCapacity];
  UINT length = GetSystemFolder(notepad, sizeof notepad);
  if (length == 0 || length >= sizeof notepad ||
      !AppendText(notepad, sizeof notepad, "\\notepad.exe") ||
      !FormatText(command_line, sizeof command_line, "\"%s\" \"%s\"", notepad, path)) {
    return;
  }
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!StartProcess(notepad, command_line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

int FinishReport() {
  char path[kPathCapacity] = "";
  int saved = ReportPath(path) && WriteReportFile(path);
  char summary[kMessageCapacity];
  FormatText(summary, sizeof summary, "%u problems, %u lines: %s%s", g_problems, g_lines, path,
             saved ? "" : " could not be written");
  TraceEvent(summary);
  // A console attached now becomes the standard output, unless the parent
  // gave one already (a file or pipe of a packaging script).
  AttachConsole(ATTACH_PARENT_PROCESS);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) {
    ReportLine("%s", summary);
    WriteLines(out);
  } else if (!saved) {
    ShowMessage(nullptr, summary, "Check", kMessageInformation);
  } else {
    AppendText(summary, sizeof summary, "\n\nOpen the report in Notepad?");
    if (ShowMessage(nullptr, summary, "Check", kOfferToOpen) == IDYES) OpenInNotepad(path);
  }
  if (!saved) return kCheckStopped;
  return g_problems == 0 ? kCheckClean : kCheckFoundProblems;
}

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetReportForTests() {
  g_used = 0;
  g_lines = 0;
  g_problems = 0;
}
#endif
