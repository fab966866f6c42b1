// The platform's floors. For the status probe: N bare threads with a 64 KiB
// stack reservation (as the probe's workers have), started one after the
// other from one thread. Prints, for each N given on the command line, the
// time from the first start until the last thread has ended.
//   thread_floor.exe 1000 4000
// With --spawn <exe> <n> it is the floor of a client start instead: it starts
// the program n times, one after the other, and prints for each start the
// time (GetSystemTimePreciseAsFileTime, 100-ns units) taken right before
// CreateProcessW, to set against the time the started program records.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr SIZE_T kStackReservation = 64 * 1024;

volatile LONG g_left = 0;
HANDLE g_allEnded = nullptr;

DWORD WINAPI bareThread(LPVOID) {
  if (InterlockedDecrement(&g_left) == 0) SetEvent(g_allEnded);
  return 0;
}

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& freq) {
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Seconds until all n threads have ended; negative when one could not be started.
double runThreads(int n, int* started) {
  g_left = n;
  ResetEvent(g_allEnded);
  LARGE_INTEGER freq, begin, end;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&begin);
  *started = 0;
  for (int i = 0; i < n; ++i) {
    HANDLE h = CreateThread(nullptr, kStackReservation, bareThread, nullptr,
                            STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (h == nullptr) {
      // Count the missing ones as ended so that the wait below finishes.
      if (InterlockedExchangeAdd(&g_left, -(n - i)) == n - i) SetEvent(g_allEnded);
      break;
    }
    CloseHandle(h);
    ++*started;
  }
  WaitForSingleObject(g_allEnded, INFINITE);
  QueryPerformanceCounter(&end);
  return *started == n ? seconds(begin, end, freq) : -1.0;
}

unsigned long long preciseNow() {
  FILETIME t = {};
  GetSystemTimePreciseAsFileTime(&t);
  return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

int spawnFloor(const wchar_t* exe, int n) {
  for (int i = 0; i < n; ++i) {
    std::wstring command = L"\"" + std::wstring(exe) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    unsigned long long t = preciseNow();
    if (!CreateProcessW(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      std::printf("spawn failed: %lu\n", GetLastError());
      return 1;
    }
    std::printf("spawn %llu\n", t);
    std::fflush(stdout);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && wcscmp(argv[1], L"--spawn") == 0)
    return spawnFloor(argv[2], static_cast<int>(wcstol(argv[3], nullptr, 10)));
  g_allEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!g_allEnded) return 1;
  int status = 0;
  for (int a = 1; a < argc; ++a) {
    int n = static_cast<int>(wcstol(argv[a], nullptr, 10));
    if (n <= 0) continue;
    int started = 0;
    double s = runThreads(n, &started);
    if (s < 0) {
      std::printf("threads %d: only %d could be started\n", n, started);
      status = 1;
    } else {
      std::printf("threads %d: %.3f s (%.3f ms per thread)\n", n, s, s * 1e3 / n);
    }
    std::fflush(stdout);
  }
  return status;
}
