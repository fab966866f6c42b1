// Test helper: holds a file open with no sharing, as another program that has
// it locked would, until its standard input closes or a time-out passes.
//   hold_file.exe <path> [milliseconds, default 60000]
// Prints "held" once the file is open, or "error <code>" and exits 1.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

DWORD WINAPI waitForStdinEnd(void*) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  char buf[256];
  DWORD got = 0;
  while (ReadFile(in, buf, sizeof buf, &got, nullptr) && got > 0) {
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: hold_file <path> [milliseconds]\n", stderr);
    return 2;
  }
  const DWORD timeout = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 60000;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("error %lu\n", static_cast<unsigned long>(GetLastError()));
    std::fflush(stdout);
    return 1;
  }
  std::puts("held");
  std::fflush(stdout);
  HANDLE waiter = CreateThread(nullptr, 0, waitForStdinEnd, nullptr, 0, nullptr);
  if (waiter) {
    WaitForSingleObject(waiter, timeout);
  } else {
    Sleep(timeout);
  }
  CloseHandle(file);
  return 0;
}
