// The body of one status-probe worker: copy the entry, try the connect with
// no lock held, then record and show the outcome unless the main window is
// closing or the item has gone meanwhile.
#include "probe/probe_worker.h"

bool probeServer(ServerList& list, std::int32_t item, const ProbeHooks& hooks) {
  // The count check and the copy are one step, so no removal can come
  // between them.
  ServerEntry entry;
  if (!list.copyEntryIfPresent(item, entry)) return false;

  const bool online = hooks.tryConnect ? hooks.tryConnect(entry) : false;

  if (hooks.windowClosing && hooks.windowClosing()) return false;
  if (list.entryCount() < item) return false;

  list.setEntryStatus(item, online ? StatusOnline : StatusOffline);
  if (hooks.showResult) hooks.showResult(item, online);
  return true;
}
