// The program's run from process start to process end: the executable's
// folder made current, the settings loaded, the start-up password asked when
// one is set, the main window opened, the message loop, and the release of
// the process-wide state on every way out. The exit code is always 0.
#include <windows.h>

#include <string>
#include <vector>

#include "app/program_state.h"
#include "probe/probe_win.h"
#include "settings/settings_file_win.h"
#include "ui/main_window_win.h"
#include "ui/password_windows_win.h"
#include "ui/window_kit_win.h"

namespace {

// The settings file is opened by its relative name, so the folder of the
// program's own executable is made the current directory.
void makeExecutableFolderCurrent() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return;
    if (n < path.size()) {
      std::wstring full(path.data(), n);
      std::size_t slash = full.find_last_of(L'\\');
      if (slash == std::wstring::npos) return;
      SetCurrentDirectoryW(full.substr(0, slash + 1).c_str());
      return;
    }
    if (path.size() >= 32768) return;
    path.resize(path.size() * 2);
  }
}

}  // namespace

ProgramState& programState() {
  // Never destroyed: nothing that ends late can meet a destroyed object.
  static ProgramState* state = new ProgramState;
  return *state;
}

void releaseProgramState() {
  ProgramState& state = programState();
  state.settingsBytes.clear();
  state.settingsBytes.shrink_to_fit();
  state.startupPassword.clear();
  state.settingsFileName.clear();
  if (state.servers) {
    state.servers->releaseList();
    state.servers.reset();
  }
  stopNetwork();
}

[[noreturn]] void endProgram(int exitCode) {
  releaseProgramState();
  ExitProcess(static_cast<UINT>(exitCode));
}

void startUp() {
  ProgramState& state = programState();
  loadSettings();
  if (!state.startupPassword.empty())
    openPasswordCheckWindow();
  else
    state.startGranted = 1;
  if (state.startGranted == 1) openMainWindow();
}

int runProgram() {
  initWindowKit();
  makeExecutableFolderCurrent();
  programState().servers = std::make_shared<ServerList>();
  startUp();
  programState().startupFinished = true;
  if (openWindowCount() > 0) {
    endWhenNoWindowLeft();
    runMessageLoop();
  }
  releaseProgramState();
  return 0;
}
