// runwith [--memory] TEMPDIR PROGRAM [ARGS...]: starts PROGRAM with TMP and
// TEMP set to TEMPDIR (Wine takes the temporary folder from the environment
// it is given, not from the Linux one), waits for it and prints one line:
//   ms=<wall time from start to exit> ws_kib=<peak working set>
//   exit=<exit code> dialogs=<count>
// The peak is taken with --memory only, and then the time is not the
// program's own: runwith debugs the child and stops it at the entry of
// RtlExitUserProcess, where the child's high-water mark is complete and
// still readable (after the exit Wine reports zero, and reading it while the
// child runs misses its last moments). Wine's peak private bytes are no peak
// but the current value, so they are not reported.
// A dialog the child shows (a message, an error report) is printed as
//   dialog: <title>: <texts>
// and dismissed; after an error report the launcher's empty window stays
// open, so once no dialog is left its windows are asked to close as well.
// A failing run thus ends instead of waiting for a user.
#include <windows.h>

// Needs windows.h first.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "bench_win.h"

namespace {

// Quotes an argument so that the child's runtime splits it back unchanged.
void AppendArgument(std::string& line, std::string_view arg) {
  if (!line.empty()) line += ' ';
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) {
    line += arg;
    return;
  }
  line += '"';
  std::size_t slashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    if (c == '"') slashes = slashes * 2 + 1;
    line.append(slashes, '\\');
    slashes = 0;
    line += c;
  }
  line.append(slashes * 2, '\\');
  line += '"';
}

bool IsTempVariable(std::string_view entry) {
  const auto named = [&](std::string_view name) {
    if (entry.size() <= name.size() || entry[name.size()] != '=') return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
      if ((entry[i] & ~0x20) != name[i]) return false;
    }
    return true;
  };
  return named("TMP") || named("TEMP");
}

// This process's environment with TMP and TEMP replaced.
std::vector<char> EnvironmentWithTemp(const std::string& folder) {
  struct Strings {
    char* p = ::GetEnvironmentStringsA();
    ~Strings() {
      if (p != nullptr) ::FreeEnvironmentStringsA(p);
    }
  } strings;
  std::vector<char> block;
  for (const char* entry = strings.p; entry != nullptr && *entry != '\0';) {
    const std::string_view text(entry);
    if (!IsTempVariable(text)) block.insert(block.end(), text.begin(), text.end() + 1);
    entry += text.size() + 1;
  }
  for (const std::string_view name : {"TMP=", "TEMP="}) {
    block.insert(block.end(), name.begin(), name.end());
    block.insert(block.end(), folder.begin(), folder.end());
    block.push_back('\0');
  }
  block.push_back('\0');
  return block;
}

// Texts of a dialog's static controls.
BOOL CALLBACK CollectText(HWND child, LPARAM into) {
  char name[16] = {};
  ::GetClassNameA(child, name, sizeof name);
  if (std::string_view(name) == "Static") {
    char text[1024] = {};
    if (::GetWindowTextA(child, text, sizeof text) > 0) {
      auto& texts = *reinterpret_cast<std::string*>(into);
      if (!texts.empty()) texts += " | ";
      texts += text;
    }
  }
  return TRUE;
}

struct Dialogs {
  DWORD process = 0;
  int seen = 0;
  bool open = false;  // one is on screen at this look
  bool closing = false;
  std::vector<HWND> reported;
};

BOOL CALLBACK DismissDialog(HWND window, LPARAM context) {
  auto& dialogs = *reinterpret_cast<Dialogs*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  char name[16] = {};
  ::GetClassNameA(window, name, sizeof name);
  if (owner != dialogs.process || !::IsWindowVisible(window)) return TRUE;
  if (std::string_view(name) != "#32770") {
    if (dialogs.closing) ::PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
  }
  dialogs.open = true;
  // Reported once, asked to close at every look until it is gone.
  if (std::find(dialogs.reported.begin(), dialogs.reported.end(), window) ==
      dialogs.reported.end()) {
    char title[256] = {};
    ::GetWindowTextA(window, title, sizeof title);
    std::string texts;
    ::EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&texts));
    std::printf("dialog: %s: %s\n", title, texts.c_str());
    std::fflush(stdout);
    ++dialogs.seen;
    dialogs.reported.push_back(window);
  }
  ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return TRUE;
}

SIZE_T PeakWorkingSet(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(process, &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

void LookForDialogs(Dialogs& dialogs) {
  dialogs.closing = dialogs.seen > 0 && !dialogs.open;
  dialogs.open = false;
  ::EnumWindows(DismissDialog, reinterpret_cast<LPARAM>(&dialogs));
}

// Looks for dialogs every tenth of a second until the child ends.
void WaitDismissingDialogs(HANDLE process, Dialogs& dialogs) {
  while (::WaitForSingleObject(process, 100) == WAIT_TIMEOUT) LookForDialogs(dialogs);
}

// Runs the debugged child to its end; its peak is read when it reaches the
// breakpoint at exit, whose byte is then put back and the call run again.
SIZE_T DebugToExit(HANDLE process, Dialogs& dialogs) {
  const auto exitCall = reinterpret_cast<std::uintptr_t>(
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "RtlExitUserProcess"));
  if (exitCall == 0) bench::Fail("GetProcAddress");
  SIZE_T peak = 0;
  std::uint8_t original = 0;
  for (;;) {
    DEBUG_EVENT event{};
    if (!::WaitForDebugEvent(&event, 100)) {
      LookForDialogs(dialogs);
      continue;
    }
    DWORD answer = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT: {
        // ntdll lies at the same address in every process of a session. The
        // event's process and thread handles belong to the system.
        bench::Handle(event.u.CreateProcessInfo.hFile).Close();
        const auto at = reinterpret_cast<void*>(exitCall);
        const std::uint8_t trap = 0xCC;
        if (!::ReadProcessMemory(process, at, &original, 1, nullptr) ||
            !::WriteProcessMemory(process, at, &trap, 1, nullptr)) {
          bench::Fail("setting the breakpoint at exit");
        }
        ::FlushInstructionCache(process, at, 1);
        break;
      }
      case LOAD_DLL_DEBUG_EVENT:
        bench::Handle(event.u.LoadDll.hFile).Close();
        break;
      case EXCEPTION_DEBUG_EVENT: {
        const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
        const auto where = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
        if (record.ExceptionCode != EXCEPTION_BREAKPOINT) {
          answer = DBG_EXCEPTION_NOT_HANDLED;
        } else if (where == exitCall) {
          peak = PeakWorkingSet(process);
          const auto at = reinterpret_cast<void*>(exitCall);
          ::WriteProcessMemory(process, at, &original, 1, nullptr);
          ::FlushInstructionCache(process, at, 1);
          const bench::Handle thread(
              ::OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, event.dwThreadId));
          CONTEXT context{};
          context.ContextFlags = CONTEXT_CONTROL;
          if (!::GetThreadContext(thread.Get(), &context)) bench::Fail("GetThreadContext");
          context.Eip = static_cast<DWORD>(exitCall);
          if (!::SetThreadContext(thread.Get(), &context)) bench::Fail("SetThreadContext");
        }
        break;
      }
      default:
        break;
    }
    ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, answer);
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) return peak;
  }
}

double Milliseconds(LONGLONG ticks) {
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  const bool memory = argc > 1 && std::string_view(argv[1]) == "--memory";
  const int first = memory ? 2 : 1;
  if (argc < first + 2) {
    std::fprintf(stderr, "usage: runwith [--memory] TEMPDIR PROGRAM [ARGS...]\n");
    return 1;
  }
  const char* program = argv[first + 1];
  std::string line;
  for (int i = first + 1; i < argc; ++i) AppendArgument(line, argv[i]);
  std::vector<char> environment = EnvironmentWithTemp(argv[first]);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  LARGE_INTEGER begin{};
  ::QueryPerformanceCounter(&begin);
  if (!::CreateProcessA(program, line.data(), nullptr, nullptr, FALSE,
                        memory ? DEBUG_ONLY_THIS_PROCESS : 0, environment.data(), nullptr, &startup,
                        &info)) {
    bench::Fail("CreateProcess");
  }
  const bench::Handle process(info.hProcess);
  const bench::Handle thread(info.hThread);
  Dialogs dialogs;
  dialogs.process = info.dwProcessId;
  const SIZE_T peak = memory ? DebugToExit(process.Get(), dialogs) : 0;
  WaitDismissingDialogs(process.Get(), dialogs);
  LARGE_INTEGER end{};
  ::QueryPerformanceCounter(&end);

  DWORD code = 0;
  ::GetExitCodeProcess(process.Get(), &code);
  std::printf("ms=%.1f ws_kib=%lu exit=%lu dialogs=%d\n",
              Milliseconds(end.QuadPart - begin.QuadPart), static_cast<unsigned long>(peak / 1024),
              code, dialogs.seen);
  return 0;
}
