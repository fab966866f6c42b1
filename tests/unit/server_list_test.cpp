// Unit tests of the server list: numbering, the operations' range rules, the
// status texts, and readers on other threads while the list changes.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "servers/server_list.h"

namespace {

ServerEntry makeEntry(const std::string& address, std::int32_t status = StatusNotProbed) {
  ServerEntry e;
  e.address = address;
  e.port = "3389";
  e.account = "user-" + address;
  e.password = "pw-" + address;
  e.remark = "remark-" + address;
  e.status = status;
  return e;
}

std::vector<std::string> addresses(const ServerList& list) {
  std::vector<std::string> out;
  for (std::int32_t k = 1; k <= list.entryCount(); ++k) out.push_back(list.entryAt(k).address);
  return out;
}

using Addresses = std::vector<std::string>;

TEST(StatusDisplay, TextsAndStateImages) {
  EXPECT_EQ(statusText(StatusOnline), "\xD4\xDA\xCF\xDF");   // 在线
  EXPECT_EQ(statusText(StatusOffline), "\xC0\xEB\xCF\xDF");  // 离线
  EXPECT_EQ(statusText(StatusNotProbed), "...");
  EXPECT_EQ(stateImageIndex(StatusOnline), 0);
  EXPECT_EQ(stateImageIndex(StatusOffline), 1);
  EXPECT_EQ(stateImageIndex(StatusNotProbed), 2);
}

TEST(ServerList, AppendNumbersFromOneAndKeepsOrderAndDuplicates) {
  ServerList list;
  EXPECT_EQ(list.entryCount(), 0);
  list.appendEntry(makeEntry("a"));
  ServerEntry b = makeEntry("b");
  list.appendEntry(b);
  b.address = "changed after append";
  list.appendEntry(makeEntry("a"));
  EXPECT_EQ(list.entryCount(), 3);
  EXPECT_EQ(addresses(list), (Addresses{"a", "b", "a"}));

  const ServerEntry second = list.entryAt(2);
  EXPECT_EQ(second.port, "3389");
  EXPECT_EQ(second.account, "user-b");
  EXPECT_EQ(second.password, "pw-b");
  EXPECT_EQ(second.remark, "remark-b");
  EXPECT_EQ(second.status, StatusNotProbed);
}

TEST(ServerList, RemoveRenumbersLaterEntriesAndKeepsTheirStatus) {
  ServerList list;
  list.appendEntry(makeEntry("a"));
  list.appendEntry(makeEntry("b"));
  list.appendEntry(makeEntry("c"));
  list.setEntryStatus(3, StatusOnline);

  list.removeEntry(2);
  EXPECT_EQ(addresses(list), (Addresses{"a", "c"}));
  EXPECT_EQ(list.entryAt(2).status, StatusOnline);
  EXPECT_EQ(list.entryAt(1).status, StatusNotProbed);

  list.removeEntry(1);
  list.removeEntry(1);
  EXPECT_EQ(list.entryCount(), 0);
}

TEST(ServerList, OutOfRangeNumbersChangeNothing) {
  ServerList list;
  list.appendEntry(makeEntry("a"));
  list.appendEntry(makeEntry("b"));
  for (std::int32_t k : {0, -1, 3, 1000, INT32_MIN, INT32_MAX}) {
    SCOPED_TRACE(k);
    list.removeEntry(k);
    list.setEntryStatus(k, StatusOffline);
    list.replaceEntryFields(k, "x", "x", "x", "x", "x");
    ServerEntry untouched = makeEntry("sentinel", StatusOnline);
    EXPECT_FALSE(list.copyEntryIfPresent(k, untouched));
    EXPECT_EQ(untouched.address, "sentinel");
    EXPECT_EQ(untouched.status, StatusOnline);
    EXPECT_EQ(list.entryAt(k).address, "");
  }
  EXPECT_EQ(addresses(list), (Addresses{"a", "b"}));
  EXPECT_EQ(list.entryAt(1).status, StatusNotProbed);
  EXPECT_EQ(list.entryAt(2).status, StatusNotProbed);
}

TEST(ServerList, ReplaceKeepsStatus) {
  ServerList list;
  list.appendEntry(makeEntry("a"));
  list.appendEntry(makeEntry("b"));
  list.setEntryStatus(1, StatusOnline);
  list.replaceEntryFields(1, "new", "03389 ", "acc", "", "r");
  const ServerEntry e = list.entryAt(1);
  EXPECT_EQ(e.address, "new");
  EXPECT_EQ(e.port, "03389 ");  // the port stays the text as typed
  EXPECT_EQ(e.account, "acc");
  EXPECT_EQ(e.password, "");
  EXPECT_EQ(e.remark, "r");
  EXPECT_EQ(e.status, StatusOnline);
  EXPECT_EQ(list.entryAt(2).address, "b");
}

TEST(ServerList, StatusIsAlwaysOneTwoOrThree) {
  ServerList list;
  list.appendEntry(makeEntry("a", 0));
  list.appendEntry(makeEntry("b", 7));
  list.appendEntry(makeEntry("c", StatusOffline));
  EXPECT_EQ(list.entryAt(1).status, StatusNotProbed);
  EXPECT_EQ(list.entryAt(2).status, StatusNotProbed);
  EXPECT_EQ(list.entryAt(3).status, StatusOffline);

  list.setEntryStatus(3, 4);
  list.setEntryStatus(3, 0);
  EXPECT_EQ(list.entryAt(3).status, StatusOffline);
  list.setEntryStatus(3, StatusOnline);
  EXPECT_EQ(list.entryAt(3).status, StatusOnline);
}

TEST(ServerList, CopiesAreDeep) {
  ServerList list;
  list.appendEntry(makeEntry("a"));
  ServerEntry copy;
  ASSERT_TRUE(list.copyEntryIfPresent(1, copy));
  EXPECT_EQ(copy.account, "user-a");
  copy.account = "edited copy";
  EXPECT_EQ(list.entryAt(1).account, "user-a");
}

TEST(ServerList, ReleaseEmptiesTheList) {
  ServerList list;
  list.appendEntry(makeEntry("a"));
  list.appendEntry(makeEntry("b"));
  list.releaseList();
  EXPECT_EQ(list.entryCount(), 0);
  list.appendEntry(makeEntry("c"));
  EXPECT_EQ(addresses(list), (Addresses{"c"}));
}

TEST(ServerList, WorkersReadAndMarkWhileTheListChanges) {
  // Workers do what the status probe does (count, copy, record a status)
  // while this thread appends and removes. Every copy a worker gets must be a
  // whole entry, and every status it reads one of the three values.
  ServerList list;
  for (int n = 0; n < 20; ++n) list.appendEntry(makeEntry("seed" + std::to_string(n)));

  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::atomic<long> copies{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      ServerEntry e;
      std::int32_t k = 1;
      while (!stop.load()) {
        const std::int32_t count = list.entryCount();
        if (count > 0) k = k % count + 1;
        if (list.copyEntryIfPresent(k, e)) {
          ++copies;
          if (e.account != "user-" + e.address || e.password != "pw-" + e.address ||
              e.status < StatusOnline || e.status > StatusNotProbed) {
            ++torn;
          }
        }
        list.setEntryStatus(k, (w % 2 == 0) ? StatusOnline : StatusOffline);
        list.setEntryStatus(count + 5, StatusOnline);  // a removed entry's late result
      }
    });
  }

  for (int round = 0; round < 2000; ++round) {
    list.appendEntry(makeEntry("r" + std::to_string(round)));
    if (round % 3 == 0) list.removeEntry(1);
    if (round % 5 == 0) list.removeEntry(list.entryCount());
  }
  stop = true;
  for (std::thread& t : workers) t.join();

  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(copies.load(), 0);
  // 20 seeds + 2000 appends - 667 removals of the first - 400 of the last.
  EXPECT_EQ(list.entryCount(), 20 + 2000 - 667 - 400);
  for (std::int32_t k = 1; k <= list.entryCount(); ++k) {
    const ServerEntry e = list.entryAt(k);
    EXPECT_EQ(e.account, "user-" + e.address);
    EXPECT_GE(e.status, StatusOnline);
    EXPECT_LE(e.status, StatusNotProbed);
  }
}

}  // namespace
