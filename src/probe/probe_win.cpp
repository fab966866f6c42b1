// The status probe on Windows: Winsock 1.1 start-up and clean-up, one worker
// thread per list-view row, each resolving its server's address and trying
// one blocking TCP connect on a socket of its own, and the hand-over of each
// result to the main window on the GUI thread, where the worker waits until
// its row is done.
//
// Lifetime: every worker owns a heap context with a shared reference to the
// server list, so a worker that finishes late never touches released state.
// The closing flag, the network state and the hand-over queue have static
// storage and are never destroyed while the process runs. Shutdown never
// waits for a worker: workers still resolving or connecting simply end with
// the process, and workers waiting for their row are let go when the window
// begins to close.
#include "probe/probe_win.h"

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "probe/port_number.h"
#include "probe/probe_worker.h"
#include "probe/result_hand_over.h"

namespace {

// A worker needs little stack: name resolution and one connect. With the
// default 1 MiB reservation a 32-bit process runs out of address space after
// about 2,000 workers.
constexpr SIZE_T WorkerStackSize = 64 * 1024;

std::atomic<bool> mainWindowClosing{false};

// The hand-over's lock and wait: a slim reader/writer lock and a condition
// variable, which wait and wake within the process (no round trip to the
// system per result, as a cross-thread SendMessage has).
struct ProcessSync {
  SRWLOCK srw = SRWLOCK_INIT;
  CONDITION_VARIABLE cv = CONDITION_VARIABLE_INIT;
  void lock() { AcquireSRWLockExclusive(&srw); }
  void unlock() { ReleaseSRWLockExclusive(&srw); }
  void wait() { SleepConditionVariableSRW(&cv, &srw, INFINITE, 0); }
  void wakeAll() { WakeAllConditionVariable(&cv); }
};
ProcessSync handOverSync;
ResultHandOver<ProcessSync> handOver(handOverSync);
std::atomic<bool> networkReady{false};
std::mutex networkLock;  // guards the start-up and clean-up calls below
bool networkAttempted = false;

struct WorkerContext {
  std::shared_ptr<ServerList> list;
  std::int32_t item = 0;
  HWND mainWindow = nullptr;
};

struct StarterContext {
  std::shared_ptr<ServerList> list;
  std::int32_t rowCount = 0;
  HWND mainWindow = nullptr;
};

// The IPv4 address (network byte order) of an address text; false when it has
// none. Dotted notation is taken as it is, anything else is looked up.
bool resolveAddress(const std::string& address, std::uint32_t& out) {
  if (address.empty()) return false;

  const unsigned long dotted = inet_addr(address.c_str());
  if (dotted != INADDR_NONE) {
    out = static_cast<std::uint32_t>(dotted);
  } else if (address == "255.255.255.255") {
    // inet_addr cannot tell the broadcast address from a failure; it is a
    // valid dotted address all the same, so it is not sent to the resolver.
    out = static_cast<std::uint32_t>(INADDR_BROADCAST);
  } else {
    // The answer lives in per-thread storage of the library; it is copied at
    // once.
    const hostent* host = gethostbyname(address.c_str());
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 ||
        host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr) {
      return false;
    }
    std::memcpy(&out, host->h_addr_list[0], 4);
  }
  // 0.0.0.0 names no host. Windows refuses to connect to it, while other
  // systems (and Wine on them) quietly reach the local machine instead.
  return out != 0;
}

bool tryConnect(const ServerEntry& entry) {
  if (!networkReady.load()) return false;

  std::uint32_t address = 0;
  if (!resolveAddress(entry.address, address)) return false;

  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;

  sockaddr_in target;
  std::memset(&target, 0, sizeof target);
  target.sin_family = AF_INET;
  target.sin_port = htons(probePort(entry.port));
  target.sin_addr.s_addr = address;
  // Blocking, with no time-out of its own: it lasts as long as the system's
  // connect attempt does.
  const bool connected =
      connect(s, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
  closesocket(s);
  return connected;
}

DWORD WINAPI probeWorker(LPVOID parameter) {
  std::unique_ptr<WorkerContext> context(static_cast<WorkerContext*>(parameter));
  try {
    const HWND window = context->mainWindow;
    ProbeHooks hooks;
    hooks.tryConnect = tryConnect;
    hooks.windowClosing = [] { return mainWindowClosing.load(); };
    hooks.showResult = [window](std::int32_t item, bool online) {
      // Queued for the GUI thread, which is woken by one posted message per
      // batch; the worker waits here until its row is done. Once the window
      // has begun to close the result is refused (see markMainWindowClosing).
      PendingResult result;
      result.item = item;
      result.online = online;
      handOver.handOver(result, [window] {
        return PostMessageW(window, WM_PROBE_RESULT, 0, 0) != FALSE;
      });
    };
    probeServer(*context->list, context->item, hooks);
  } catch (...) {
    // A failed probe leaves its entry as it was.
  }
  try {
    context.reset();
  } catch (...) {
  }
  return 0;
}

// Starts the worker of one item; false when it could not be started.
bool startWorker(const std::shared_ptr<ServerList>& list, std::int32_t item, HWND mainWindow) {
  WorkerContext* context = nullptr;
  try {
    context = new WorkerContext;
    context->list = list;
    context->item = item;
    context->mainWindow = mainWindow;
  } catch (...) {
    delete context;
    return false;
  }
  HANDLE thread = CreateThread(nullptr, WorkerStackSize, probeWorker, context,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) {
    delete context;
    return false;
  }
  CloseHandle(thread);
  return true;
}

// Starts the workers in row order. A worker that cannot be started is
// skipped; once the main window has begun to close no more are started,
// since their results would be dropped anyway.
void startWorkers(const std::shared_ptr<ServerList>& list, std::int32_t rowCount,
                  HWND mainWindow) {
  for (std::int32_t item = 1; item <= rowCount; ++item) {
    if (mainWindowClosing.load()) return;
    startWorker(list, item, mainWindow);
  }
}

DWORD WINAPI probeStarter(LPVOID parameter) {
  std::unique_ptr<StarterContext> context(static_cast<StarterContext*>(parameter));
  try {
    // Wait until the GUI thread takes messages, that is until the main window
    // has been shown and painted: starting threads is a burden on Wine's
    // server, and done at once it delays the window's first appearance.
    if (!mainWindowClosing.load()) SendMessageW(context->mainWindow, WM_NULL, 0, 0);
    startWorkers(context->list, context->rowCount, context->mainWindow);
  } catch (...) {
  }
  try {
    context.reset();
  } catch (...) {
  }
  return 0;
}

}  // namespace

void startNetwork() {
  std::lock_guard<std::mutex> guard(networkLock);
  if (networkAttempted) return;
  networkAttempted = true;
  WSADATA data;
  networkReady.store(WSAStartup(MAKEWORD(1, 1), &data) == 0);
}

void stopNetwork() {
  std::lock_guard<std::mutex> guard(networkLock);
  if (networkReady.exchange(false)) WSACleanup();
}

void startStatusProbe(std::shared_ptr<ServerList> list, std::int32_t rowCount, HWND mainWindow) {
  if (!list || rowCount <= 0) return;
  try {
    startNetwork();  // once; a no-op when the program already started it

    StarterContext* context = new StarterContext;
    context->list = list;
    context->rowCount = rowCount;
    context->mainWindow = mainWindow;
    HANDLE starter = CreateThread(nullptr, WorkerStackSize, probeStarter, context,
                                  STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (starter != nullptr) {
      CloseHandle(starter);
      return;
    }
    delete context;
    // Without a starter thread the workers are started from here; slower for
    // the caller, but every row is still probed.
    startWorkers(list, rowCount, mainWindow);
  } catch (...) {
    // Nothing more can be started; the rows keep their status.
  }
}

std::size_t showProbeResults(void (*show)(std::int32_t item, bool online)) {
  return handOver.deliver(show);
}

void markMainWindowClosing() {
  mainWindowClosing.store(true);
  handOver.close();
}
