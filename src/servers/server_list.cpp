// The server list: the program's one copy of the saved servers. Every
// operation takes the list's lock for its own duration only, so the status
// probe's workers may read entries and record statuses while the GUI thread
// owns all structural changes.
#include "servers/server_list.h"

#include <utility>

namespace {

bool isKnownStatus(std::int32_t status) {
  return status == StatusOnline || status == StatusOffline || status == StatusNotProbed;
}

}  // namespace

std::string statusText(std::int32_t status) {
  switch (status) {
    case StatusOnline:
      return "在线";
    case StatusOffline:
      return "离线";
    default:
      return "...";
  }
}

int stateImageIndex(std::int32_t status) { return static_cast<int>(status) - 1; }

void ServerList::appendEntry(const ServerEntry& entry) { appendEntry(ServerEntry(entry)); }

void ServerList::appendEntry(ServerEntry&& entry) {
  // A status is always 1, 2 or 3: anything else starts as not yet probed.
  if (!isKnownStatus(entry.status)) entry.status = StatusNotProbed;
  std::lock_guard<std::mutex> guard(lock_);
  entries_.push_back(std::move(entry));
}

void ServerList::appendEntries(std::vector<ServerEntry>&& entries) {
  for (ServerEntry& entry : entries) {
    if (!isKnownStatus(entry.status)) entry.status = StatusNotProbed;
  }
  std::lock_guard<std::mutex> guard(lock_);
  if (entries_.empty()) {
    entries_.swap(entries);
  } else {
    entries_.reserve(entries_.size() + entries.size());
    for (ServerEntry& entry : entries) entries_.push_back(std::move(entry));
  }
  entries.clear();
}

void ServerList::replaceEntryFields(std::int32_t k, const std::string& address,
                                    const std::string& port, const std::string& account,
                                    const std::string& password, const std::string& remark) {
  std::lock_guard<std::mutex> guard(lock_);
  if (k < 1 || static_cast<std::size_t>(k) > entries_.size()) return;
  ServerEntry& e = entries_[static_cast<std::size_t>(k) - 1];
  e.address = address;
  e.port = port;
  e.account = account;
  e.password = password;
  e.remark = remark;
}

void ServerList::removeEntry(std::int32_t k) {
  std::lock_guard<std::mutex> guard(lock_);
  if (k < 1 || static_cast<std::size_t>(k) > entries_.size()) return;
  entries_.erase(entries_.begin() + (k - 1));
}

ServerEntry ServerList::entryAt(std::int32_t k) const {
  ServerEntry copy;
  copyEntryIfPresent(k, copy);
  return copy;
}

bool ServerList::copyEntryIfPresent(std::int32_t k, ServerEntry& out) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (k < 1 || static_cast<std::size_t>(k) > entries_.size()) return false;
  out = entries_[static_cast<std::size_t>(k) - 1];
  return true;
}

void ServerList::setEntryStatus(std::int32_t k, std::int32_t status) {
  if (!isKnownStatus(status)) return;
  std::lock_guard<std::mutex> guard(lock_);
  if (k < 1 || static_cast<std::size_t>(k) > entries_.size()) return;
  entries_[static_cast<std::size_t>(k) - 1].status = status;
}

std::int32_t ServerList::entryCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<std::int32_t>(entries_.size());
}

void ServerList::releaseList() {
  std::vector<ServerEntry> released;
  {
    std::lock_guard<std::mutex> guard(lock_);
    released.swap(entries_);
  }
}
