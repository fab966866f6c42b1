// Tests of one status-probe worker with fake network and window hooks: the
// result lands on the entry and its row, and is dropped when the item is gone
// or the main window is closing.
#include "probe/probe_worker.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

ServerEntry entryAt(const char* address, const char* port) {
  ServerEntry e;
  e.address = address;
  e.port = port;
  e.account = "admin";
  return e;
}

// A list of three entries, all not yet probed, and hooks that record what the
// worker does with them.
struct ProbeFixture {
  ServerList list;
  std::vector<ServerEntry> connected;               // what tryConnect was given
  std::vector<std::pair<std::int32_t, bool>> shown;  // showResult calls
  bool closing = false;
  bool connectResult = true;
  // Runs inside tryConnect, given the entry tryConnect was handed.
  std::function<void(const ServerEntry&)> duringConnect;

  ProbeFixture() {
    list.appendEntry(entryAt("10.0.0.1", "3389"));
    list.appendEntry(entryAt("10.0.0.2", "3390"));
    list.appendEntry(entryAt("10.0.0.3", "3391"));
  }

  ProbeHooks hooks() {
    ProbeHooks h;
    h.tryConnect = [this](const ServerEntry& e) {
      connected.push_back(e);
      if (duringConnect) duringConnect(e);
      return connectResult;
    };
    h.windowClosing = [this] { return closing; };
    h.showResult = [this](std::int32_t item, bool online) { shown.emplace_back(item, online); };
    return h;
  }

  std::vector<std::int32_t> statuses() const {
    std::vector<std::int32_t> s;
    for (std::int32_t k = 1; k <= list.entryCount(); ++k) s.push_back(list.entryAt(k).status);
    return s;
  }
};

TEST(ProbeServerTest, OutcomeSetsStatusAndShowsTheRowOnce) {
  const struct {
    bool online;
    std::int32_t status;
  } cases[] = {{true, StatusOnline}, {false, StatusOffline}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.online);
    ProbeFixture f;
    f.connectResult = c.online;
    EXPECT_TRUE(probeServer(f.list, 2, f.hooks()));
    ASSERT_EQ(f.connected.size(), 1u);
    EXPECT_EQ(f.connected[0].address, "10.0.0.2");
    EXPECT_EQ(f.connected[0].port, "3390");
    EXPECT_EQ(f.statuses(), (std::vector<std::int32_t>{3, c.status, 3}));
    EXPECT_EQ(f.shown, (std::vector<std::pair<std::int32_t, bool>>{{2, c.online}}));
  }
}

TEST(ProbeServerTest, MissingItemDoesNothing) {
  for (std::int32_t item : {4, 100, 0, -1}) {
    SCOPED_TRACE(item);
    ProbeFixture f;
    EXPECT_FALSE(probeServer(f.list, item, f.hooks()));
    EXPECT_TRUE(f.connected.empty());
    EXPECT_TRUE(f.shown.empty());
    EXPECT_EQ(f.statuses(), (std::vector<std::int32_t>{3, 3, 3}));
  }
}

TEST(ProbeServerTest, EmptyListDoesNothing) {
  ProbeFixture f;
  f.list.releaseList();
  EXPECT_FALSE(probeServer(f.list, 1, f.hooks()));
  EXPECT_TRUE(f.connected.empty());
  EXPECT_TRUE(f.shown.empty());
}

TEST(ProbeServerTest, WindowClosingDuringConnectDropsTheResult) {
  ProbeFixture f;
  f.duringConnect = [&f](const ServerEntry&) { f.closing = true; };
  EXPECT_FALSE(probeServer(f.list, 1, f.hooks()));
  EXPECT_EQ(f.connected.size(), 1u);
  EXPECT_TRUE(f.shown.empty());
  EXPECT_EQ(f.statuses(), (std::vector<std::int32_t>{3, 3, 3}));
}

TEST(ProbeServerTest, ItemRemovedDuringConnectDropsTheResult) {
  ProbeFixture f;
  // The probed entry itself is deleted, then (second case) an earlier one:
  // either way item 3 no longer exists.
  f.duringConnect = [&f](const ServerEntry&) { f.list.removeEntry(3); };
  EXPECT_FALSE(probeServer(f.list, 3, f.hooks()));
  EXPECT_TRUE(f.shown.empty());
  EXPECT_EQ(f.statuses(), (std::vector<std::int32_t>{3, 3}));

  ProbeFixture g;
  g.duringConnect = [&g](const ServerEntry&) { g.list.removeEntry(1); };
  EXPECT_FALSE(probeServer(g.list, 3, g.hooks()));
  EXPECT_TRUE(g.shown.empty());
  EXPECT_EQ(g.statuses(), (std::vector<std::int32_t>{3, 3}));
}

TEST(ProbeServerTest, ResultFollowsTheItemNumberAfterAnEarlierRemoval) {
  ProbeFixture f;
  f.connectResult = false;
  f.duringConnect = [&f](const ServerEntry&) { f.list.removeEntry(1); };
  EXPECT_TRUE(probeServer(f.list, 2, f.hooks()));
  EXPECT_EQ(f.connected.at(0).address, "10.0.0.2");
  // Item 2 is now the entry that was third.
  EXPECT_EQ(f.list.entryAt(2).address, "10.0.0.3");
  EXPECT_EQ(f.statuses(), (std::vector<std::int32_t>{3, StatusOffline}));
  EXPECT_EQ(f.shown, (std::vector<std::pair<std::int32_t, bool>>{{2, false}}));
}

TEST(ProbeServerTest, ConnectUsesTheEntryAsItWasAtTheCheck) {
  ProbeFixture f;
  std::string addressSeenLater;
  f.duringConnect = [&](const ServerEntry& handed) {
    f.list.replaceEntryFields(1, "changed.example", "1", "u", "p", "r");
    addressSeenLater = handed.address;
  };
  EXPECT_TRUE(probeServer(f.list, 1, f.hooks()));
  ASSERT_EQ(f.connected.size(), 1u);
  EXPECT_EQ(f.connected[0].address, "10.0.0.1");
  EXPECT_EQ(addressSeenLater, "10.0.0.1");
  // The modified entry gets the old probe's outcome and keeps its new texts.
  const ServerEntry now = f.list.entryAt(1);
  EXPECT_EQ(now.address, "changed.example");
  EXPECT_EQ(now.status, StatusOnline);
}

}  // namespace
