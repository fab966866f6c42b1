// The entry point of the Windows program.
#include <windows.h>

#include "app/program_state.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    runProgram();
  } catch (...) {
    releaseProgramState();
  }
  // Probe workers may still be waiting for their connects: end the process
  // without waiting for them.
  ExitProcess(0);
}
