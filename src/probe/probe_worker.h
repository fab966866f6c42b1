// The body of one status-probe worker, with what it needs from Windows passed in.
#pragma once

#include <cstdint>
#include <functional>

#include "servers/server_list.h"

struct ProbeHooks {
  // Resolves the entry's address and tries one TCP connect to probePort(port);
  // true when the connect succeeded.
  std::function<bool(const ServerEntry& entry)> tryConnect;
  // True once the main window has begun to close.
  std::function<bool()> windowClosing;
  // Shows the result in row item - 1 (state image, then status column); the
  // Win32 layer carries it out on the GUI thread and returns when it is done.
  std::function<void(std::int32_t item, bool online)> showResult;
};

// Probes entry item: the count check and copy together, the connect, then
// (unless the window is closing or the item no longer exists) setEntryStatus
// and showResult. Returns true when the result was applied.
bool probeServer(ServerList& list, std::int32_t item, const ProbeHooks& hooks);
