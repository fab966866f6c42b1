// The server list: the one in-memory copy of the saved servers, guarded by one
// lock that each operation holds for its own duration only. Item numbers run
// from 1 to entryCount() without gaps.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

enum EntryStatus : std::int32_t {
  StatusOnline = 1,
  StatusOffline = 2,
  StatusNotProbed = 3,
};

struct ServerEntry {
  std::string address;
  std::string port;
  std::string account;
  std::string password;
  std::string remark;
  std::int32_t status = StatusNotProbed;
};

// The status column's text (code page 936): "在线", "离线" or "...".
std::string statusText(std::int32_t status);
// The row's state image index: status - 1.
int stateImageIndex(std::int32_t status);

class ServerList {
 public:
  // Stores a copy at the end; its item number is the new count.
  void appendEntry(const ServerEntry& entry);
  // The same for an entry the caller hands over (no second copy of its texts).
  void appendEntry(ServerEntry&& entry);
  // Appends every entry in order under one hold of the lock, as appendEntry
  // one by one would.
  void appendEntries(std::vector<ServerEntry>&& entries);
  // Replaces the five texts of entry k; its status is kept. Out of range: nothing.
  void replaceEntryFields(std::int32_t k, const std::string& address, const std::string& port,
                          const std::string& account, const std::string& password,
                          const std::string& remark);
  // Removes entry k when 1 <= k <= count; later entries move down by one.
  void removeEntry(std::int32_t k);
  // A copy of entry k; an empty entry when k is out of range.
  ServerEntry entryAt(std::int32_t k) const;
  // The count check and the copy made together under the lock: false (and out
  // untouched) when entry k does not exist.
  bool copyEntryIfPresent(std::int32_t k, ServerEntry& out) const;
  // Sets the status of entry k when it exists; otherwise nothing.
  void setEntryStatus(std::int32_t k, std::int32_t status);
  std::int32_t entryCount() const;
  // Releases every entry; the list is empty afterwards.
  void releaseList();

 private:
  mutable std::mutex lock_;
  std::vector<ServerEntry> entries_;
};
