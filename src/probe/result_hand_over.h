// How probe workers hand their row updates to the GUI thread and wait until
// they are done, in batches.
//
// A worker puts its result in a queue and, when it is the first of a new
// batch, wakes the GUI thread (on Windows: one message posted to the main
// window). The GUI thread takes the whole batch at once, shows every result
// in the order they came, marks them done and wakes the workers that wait on
// them. Each result lives on its worker's stack; the worker returns only once
// the GUI thread has let go of it, so nothing is ever freed under the GUI.
//
// Batching matters under load: with thousands of workers, one cross-thread
// message per result costs the GUI thread a message round trip each, while a
// batch costs one, however many results it holds.
//
// Once the window has begun to close (close()), queued results are dropped,
// their workers are let go, and new results are refused.
//
// Sync supplies the lock and the wait: lock(), unlock(), wait() (called with
// the lock held; releases it while waiting, holds it again on return) and
// wakeAll(). Windows uses a slim reader/writer lock with a condition
// variable, which wait and wake within the process.
#pragma once

#include <cstddef>
#include <cstdint>

struct PendingResult {
  std::int32_t item = 0;
  bool online = false;
  bool done = false;              // set by the GUI side, under the lock
  bool shown = false;             // done, and shown rather than dropped
  PendingResult* next = nullptr;  // the queue's link, under the lock
};

template <class Sync>
class ResultHandOver {
 public:
  explicit ResultHandOver(Sync& sync) : sync_(sync) {}
  ResultHandOver(const ResultHandOver&) = delete;
  ResultHandOver& operator=(const ResultHandOver&) = delete;

  // Worker side: queues result and waits until the GUI side has shown it or
  // dropped it. wake() is called, without the lock, when result starts a new
  // batch; it returns false when the GUI side cannot be reached, and then the
  // queued results are dropped. Returns true when the result was shown.
  template <class Wake>
  bool handOver(PendingResult& result, Wake&& wake) {
    result.done = false;
    result.shown = false;
    result.next = nullptr;
    sync_.lock();
    if (closed_) {
      sync_.unlock();
      return false;
    }
    if (tail_ != nullptr)
      tail_->next = &result;
    else
      head_ = &result;
    tail_ = &result;
    const bool first = !wakePending_;
    wakePending_ = true;
    sync_.unlock();

    if (first && !wake()) {
      sync_.lock();
      dropQueued();
      sync_.unlock();
      sync_.wakeAll();
    }

    sync_.lock();
    while (!result.done) sync_.wait();
    const bool shown = result.shown;
    sync_.unlock();
    return shown;
  }

  // GUI side: takes every queued result, calls show(item, online) for each
  // in the order they came, then lets their workers go. The next result
  // queued after the take wakes the GUI side again. Returns how many were
  // shown.
  template <class Show>
  std::size_t deliver(Show&& show) {
    sync_.lock();
    PendingResult* batch = head_;
    head_ = tail_ = nullptr;
    wakePending_ = false;
    sync_.unlock();

    // The results stay alive meanwhile: their workers wait for done. Should
    // show throw, the whole batch is let go all the same before it goes on.
    std::size_t count = 0;
    try {
      for (PendingResult* r = batch; r != nullptr; r = r->next) {
        show(r->item, r->online);
        ++count;
      }
    } catch (...) {
      release(batch, count);
      throw;
    }
    release(batch, count);
    return count;
  }

  // The window has begun to close: drops what is queued, lets its workers go
  // and refuses every later result.
  void close() {
    sync_.lock();
    closed_ = true;
    dropQueued();
    sync_.unlock();
    sync_.wakeAll();
  }

 private:
  // Lets the workers of a taken batch go; its first shown results count as
  // shown.
  void release(PendingResult* batch, std::size_t shown) {
    if (batch == nullptr) return;
    sync_.lock();
    for (PendingResult* r = batch; r != nullptr;) {
      PendingResult* next = r->next;  // read before done: then the worker may go
      r->shown = shown > 0;
      if (shown > 0) --shown;
      r->done = true;
      r = next;
    }
    sync_.unlock();
    sync_.wakeAll();
  }

  // With the lock held.
  void dropQueued() {
    for (PendingResult* r = head_; r != nullptr;) {
      PendingResult* next = r->next;
      r->done = true;
      r = next;
    }
    head_ = tail_ = nullptr;
    wakePending_ = false;
  }

  Sync& sync_;
  PendingResult* head_ = nullptr;
  PendingResult* tail_ = nullptr;
  bool wakePending_ = false;  // a wake is on its way and the queue not yet taken
  bool closed_ = false;
};
