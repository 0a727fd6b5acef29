#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "remote/OwnerThreadQueue.h"

using namespace vantrel;
using namespace std::chrono_literals;

namespace {

// The owner's side of a window thread: a notification count it waits on, as a message queue.
class TOwnerLoop {
 public:
  TOwnerThreadQueue::Notifier Notifier() {
    return [this] {
      std::lock_guard<std::mutex> lock(mutex_);
      ++posted_;
      signal_.notify_all();
      return true;
    };
  }
  // Waits for a notification (or the time) and drains; returns the notifications seen so far.
  int PumpOnce(TOwnerThreadQueue& queue, std::chrono::milliseconds wait = 50ms) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      signal_.wait_for(lock, wait, [&] { return posted_ > pumped_; });
      pumped_ = posted_;
    }
    queue.Drain();
    return pumped_;
  }
  int Posted() {
    std::lock_guard<std::mutex> lock(mutex_);
    return posted_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable signal_;
  int posted_ = 0;
  int pumped_ = 0;
};

}  // namespace

TEST(OwnerThreadQueue, WorkRunsOnTheOwnerThreadAndTheWorkerWaitsForIt) {
  TOwnerLoop loop;
  TOwnerThreadQueue queue(loop.Notifier());
  std::thread::id ranOn;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    EXPECT_TRUE(queue.Run([&] { ranOn = std::this_thread::get_id(); }));
    returned = true;
  });
  while (loop.Posted() == 0) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(returned);  // queued, not run: the worker waits for the owner
  loop.PumpOnce(queue);
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(OwnerThreadQueue, AnExceptionOfTheWorkReachesTheWorker) {
  TOwnerLoop loop;
  TOwnerThreadQueue queue(loop.Notifier());
  auto result = std::async(std::launch::async, [&] {
    return queue.Run([] { throw std::runtime_error("disk full"); });
  });
  while (result.wait_for(1ms) != std::future_status::ready) loop.PumpOnce(queue, 1ms);
  EXPECT_THROW(result.get(), std::runtime_error);
}

TEST(OwnerThreadQueue, CloseCancelsWaitingAndLaterWorkUntilOpen) {
  TOwnerLoop loop;
  TOwnerThreadQueue queue(loop.Notifier());
  bool ran = false;
  auto waiting = std::async(std::launch::async, [&] { return queue.Run([&] { ran = true; }); });
  while (loop.Posted() == 0) std::this_thread::sleep_for(1ms);
  queue.Close();  // the owner never drained
  EXPECT_FALSE(waiting.get());
  queue.Drain();
  EXPECT_FALSE(ran);

  auto later = std::async(std::launch::async, [&] { return queue.Run([&] { ran = true; }); });
  EXPECT_FALSE(later.get());
  EXPECT_FALSE(ran);

  queue.Open();
  auto reopened = std::async(std::launch::async, [&] { return queue.Run([&] { ran = true; }); });
  while (reopened.wait_for(1ms) != std::future_status::ready) loop.PumpOnce(queue, 1ms);
  EXPECT_TRUE(reopened.get());
  EXPECT_TRUE(ran);
}

TEST(OwnerThreadQueue, WorkWhoseOwnerCannotBeToldIsCancelled) {
  std::atomic<bool> reachable{false};
  TOwnerThreadQueue queue([&] { return reachable.load(); });
  bool ran = false;
  auto lost = std::async(std::launch::async, [&] { return queue.Run([&] { ran = true; }); });
  EXPECT_FALSE(lost.get());
  queue.Drain();
  EXPECT_FALSE(ran);
}

TEST(OwnerThreadQueue, TheOwnerItselfRunsAtOnce) {
  TOwnerThreadQueue queue([] { return false; });
  int runs = 0;
  EXPECT_TRUE(queue.Run([&] { ++runs; }));
  EXPECT_EQ(runs, 1);
  queue.Close();
  EXPECT_FALSE(queue.Run([&] { ++runs; }));
  EXPECT_EQ(runs, 1);
}

TEST(OwnerThreadQueue, ManyWorkersSerialiseOnTheOwnerAndACloseEndsThemAll) {
  TOwnerLoop loop;
  TOwnerThreadQueue queue(loop.Notifier());
  int counter = 0;  // deliberately unsynchronised: only the owner thread touches it
  constexpr int kWorkers = 8;
  constexpr int kEach = 100;
  std::vector<std::thread> workers;
  std::atomic<int> done{0};
  for (int w = 0; w < kWorkers; ++w)
    workers.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) EXPECT_TRUE(queue.Run([&] { ++counter; }));
      ++done;
    });
  while (done < kWorkers) loop.PumpOnce(queue, 1ms);
  for (auto& t : workers) t.join();
  EXPECT_EQ(counter, kWorkers * kEach);

  // Workers that keep queuing until refused all come to an end once the owner closes.
  std::atomic<int> ended{0};
  workers.clear();
  for (int w = 0; w < kWorkers; ++w)
    workers.emplace_back([&] {
      while (queue.Run([&] { ++counter; })) {
      }
      ++ended;
    });
  for (int i = 0; i < 20; ++i) loop.PumpOnce(queue, 1ms);
  queue.Close();
  for (auto& t : workers) t.join();
  EXPECT_EQ(ended, kWorkers);
}
