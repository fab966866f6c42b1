// Tests of the hand-over of probe results to the GUI thread: every result is
// shown once and before its worker goes on, a batch wakes the GUI side once,
// results come in the order they were queued, and closing or an unreachable
// GUI side lets every waiting worker go.
#include "probe/result_hand_over.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The lock and wait of the standard library, counting the waits begun so a
// test can tell when its workers are queued and waiting.
struct TestSync {
  std::mutex mutex;
  std::condition_variable cv;
  std::atomic<int> waitsBegun{0};

  void lock() { mutex.lock(); }
  void unlock() { mutex.unlock(); }
  void wait() {
    std::unique_lock<std::mutex> held(mutex, std::adopt_lock);
    ++waitsBegun;
    cv.wait(held);
    held.release();
  }
  void wakeAll() { cv.notify_all(); }
};

// Spins (with short sleeps) until done() holds; fails the test after 10 s.
template <class Done>
void waitUntil(Done&& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "timed out";
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// A GUI side that delivers once per wake, as the main window does once per
// posted message.
struct FakeGui {
  ResultHandOver<TestSync>& handOver;
  std::mutex mutex;
  std::condition_variable cv;
  int wakesPending = 0;
  bool stop = false;
  int wakes = 0;
  std::vector<std::size_t> batchSizes;
  std::vector<std::pair<std::int32_t, bool>> shown;  // in the order shown
  std::thread thread;

  explicit FakeGui(ResultHandOver<TestSync>& h) : handOver(h) {
    thread = std::thread([this] { run(); });
  }
  ~FakeGui() {
    {
      std::lock_guard<std::mutex> g(mutex);
      stop = true;
    }
    cv.notify_all();
    thread.join();
  }
  bool wake() {
    {
      std::lock_guard<std::mutex> g(mutex);
      ++wakesPending;
      ++wakes;
    }
    cv.notify_all();
    return true;
  }
  bool isShown(std::int32_t item) {
    std::lock_guard<std::mutex> g(mutex);
    for (const auto& s : shown)
      if (s.first == item) return true;
    return false;
  }
  void run() {
    std::unique_lock<std::mutex> held(mutex);
    for (;;) {
      cv.wait(held, [this] { return stop || wakesPending > 0; });
      if (wakesPending == 0) return;
      --wakesPending;
      held.unlock();
      // Recorded as it is shown: the worker may go on right after the batch.
      const std::size_t n = handOver.deliver([&](std::int32_t item, bool online) {
        std::lock_guard<std::mutex> g(mutex);
        shown.emplace_back(item, online);
      });
      held.lock();
      batchSizes.push_back(n);
    }
  }
};

TEST(ResultHandOverTest, EveryResultIsShownOnceBeforeItsWorkerGoesOnAndABatchWakesOnce) {
  TestSync sync;
  ResultHandOver<TestSync> handOver(sync);
  constexpr int kWorkers = 200;
  std::atomic<int> shownBeforeReturn{0};
  std::atomic<int> returnedTrue{0};
  {
    FakeGui gui(handOver);
    std::vector<std::thread> workers;
    for (int i = 1; i <= kWorkers; ++i) {
      workers.emplace_back([&, i] {
        PendingResult r;
        r.item = i;
        r.online = i % 2 == 0;
        if (handOver.handOver(r, [&] { return gui.wake(); })) ++returnedTrue;
        if (gui.isShown(i)) ++shownBeforeReturn;
      });
    }
    for (auto& t : workers) t.join();

    std::lock_guard<std::mutex> g(gui.mutex);
    std::set<std::int32_t> items;
    for (const auto& s : gui.shown) {
      EXPECT_EQ(s.second, s.first % 2 == 0) << "item " << s.first;
      items.insert(s.first);
    }
    EXPECT_EQ(gui.shown.size(), static_cast<std::size_t>(kWorkers)) << "each result shown once";
    EXPECT_EQ(items.size(), static_cast<std::size_t>(kWorkers));
    // One wake per batch: every wake found at least one result to show.
    EXPECT_EQ(static_cast<int>(gui.batchSizes.size()), gui.wakes);
    for (std::size_t n : gui.batchSizes) EXPECT_GE(n, 1u);
  }
  EXPECT_EQ(returnedTrue.load(), kWorkers);
  EXPECT_EQ(shownBeforeReturn.load(), kWorkers) << "a worker went on before its row was done";
}

TEST(ResultHandOverTest, AQueuedBatchIsShownInArrivalOrderAfterOneWake) {
  TestSync sync;
  ResultHandOver<TestSync> handOver(sync);
  int wakes = 0;
  std::vector<std::thread> workers;
  // Each worker queues only once the one before it waits, so the arrival
  // order is 3, 1, 2; the GUI side takes nothing until all three wait.
  const std::int32_t order[] = {3, 1, 2};
  for (int k = 0; k < 3; ++k) {
    workers.emplace_back([&, k] {
      PendingResult r;
      r.item = order[k];
      r.online = order[k] == 1;
      EXPECT_TRUE(handOver.handOver(r, [&] {
        ++wakes;
        return true;
      }));
    });
    waitUntil([&] { return sync.waitsBegun.load() >= k + 1; });
  }
  std::vector<std::pair<std::int32_t, bool>> shown;
  EXPECT_EQ(handOver.deliver([&](std::int32_t item, bool online) { shown.emplace_back(item, online); }),
            3u);
  for (auto& t : workers) t.join();
  EXPECT_EQ(wakes, 1);
  const std::vector<std::pair<std::int32_t, bool>> expected{{3, false}, {1, true}, {2, false}};
  EXPECT_EQ(shown, expected);
  // Nothing is left: a second take shows nothing.
  EXPECT_EQ(handOver.deliver([&](std::int32_t, bool) { ADD_FAILURE() << "shown twice"; }), 0u);
}

TEST(ResultHandOverTest, ClosingLetsWaitingWorkersGoAndRefusesLaterResults) {
  TestSync sync;
  ResultHandOver<TestSync> handOver(sync);
  std::atomic<int> refused{0};
  std::vector<std::thread> workers;
  for (int i = 1; i <= 4; ++i) {
    workers.emplace_back([&, i] {
      PendingResult r;
      r.item = i;
      if (!handOver.handOver(r, [] { return true; })) ++refused;
    });
  }
  waitUntil([&] { return sync.waitsBegun.load() >= 4; });
  handOver.close();
  for (auto& t : workers) t.join();
  EXPECT_EQ(refused.load(), 4);

  // After the close a result is refused at once, without a wake.
  PendingResult late;
  late.item = 9;
  bool woke = false;
  EXPECT_FALSE(handOver.handOver(late, [&] {
    woke = true;
    return true;
  }));
  EXPECT_FALSE(woke);
  EXPECT_EQ(handOver.deliver([&](std::int32_t, bool) { ADD_FAILURE() << "shown after close"; }), 0u);
}

TEST(ResultHandOverTest, AnUnreachableGuiSideDropsTheBatchAndTheNextResultWakesAgain) {
  TestSync sync;
  ResultHandOver<TestSync> handOver(sync);
  PendingResult first;
  first.item = 1;
  EXPECT_FALSE(handOver.handOver(first, [] { return false; })) << "must not wait for a GUI that never comes";

  int wakes = 0;
  std::thread worker([&] {
    PendingResult second;
    second.item = 2;
    second.online = true;
    EXPECT_TRUE(handOver.handOver(second, [&] {
      ++wakes;
      return true;
    }));
  });
  waitUntil([&] { return sync.waitsBegun.load() >= 1; });
  std::vector<std::int32_t> shown;
  handOver.deliver([&](std::int32_t item, bool) { shown.push_back(item); });
  worker.join();
  EXPECT_EQ(wakes, 1);
  EXPECT_EQ(shown, std::vector<std::int32_t>{2}) << "the dropped result came back";
}

TEST(ResultHandOverTest, AShowThatThrowsStillLetsTheWholeBatchGo) {
  TestSync sync;
  ResultHandOver<TestSync> handOver(sync);
  std::atomic<int> shownCount{0};
  std::vector<std::thread> workers;
  for (int i = 1; i <= 3; ++i) {
    workers.emplace_back([&, i] {
      PendingResult r;
      r.item = i;
      if (handOver.handOver(r, [] { return true; })) ++shownCount;
    });
    waitUntil([&] { return sync.waitsBegun.load() >= i; });
  }
  int calls = 0;
  EXPECT_THROW(handOver.deliver([&](std::int32_t, bool) {
    if (++calls == 2) throw std::bad_alloc();
  }),
               std::bad_alloc);
  for (auto& t : workers) t.join();  // hangs if a worker was left waiting
  EXPECT_EQ(shownCount.load(), 1) << "only the first result was shown";
}

}  // namespace
