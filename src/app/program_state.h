// The process-wide state of one run, created at start and released on every
// way out (the end of the message loop, or the gate's cancel button).
#pragma once

#include <memory>
#include <string>

#include "servers/server_list.h"

struct ProgramState {
  // Shared with the status probe's workers, so that a worker finishing late
  // never touches a released list.
  std::shared_ptr<ServerList> servers;
  std::string settingsBytes;       // the deciphered settings file, kept for the run
  std::wstring settingsFileName;   // "ms.ini", beside the executable
  bool settingsUnreadable = false; // the file was there but could not be read: never overwritten
  std::string startupPassword;     // empty: no password asked at start
  int startGranted = 0;            // 1 once the main window may open
  bool startupFinished = false;
  int editIndex = 0;               // 0: the editor adds; otherwise the item number it modifies
};

ProgramState& programState();

int runProgram();
void startUp();
void releaseProgramState();
// Releases the state and ends the process at once with the code; nothing is saved.
[[noreturn]] void endProgram(int exitCode);
