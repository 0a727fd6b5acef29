#pragma once
// Carries work from connection threads to the one thread that owns the shared state (the
// window thread in the Windows program). A connection thread queues its work and waits; the
// notifier tells the owner (for instance by posting a window message) and the owner drains.
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace vantrel {

class TOwnerThreadQueue {
 public:
  // Called on the queuing thread after work was queued; false when the owner cannot be told,
  // which cancels that work.
  using Notifier = std::function<bool()>;

  // The constructing thread is the owner.
  explicit TOwnerThreadQueue(Notifier notifier);
  TOwnerThreadQueue(const TOwnerThreadQueue&) = delete;
  TOwnerThreadQueue& operator=(const TOwnerThreadQueue&) = delete;

  // Runs work on the owner thread and waits for it. True when it ran (an exception it threw is
  // thrown here again); false when it was cancelled and did not run. On the owner thread itself
  // the work runs at once.
  bool Run(const std::function<void()>& work);
  // Owner thread: runs all queued work, oldest first.
  void Drain();
  // Cancels all waiting work and refuses new work until Open. Never waits for a worker.
  void Close();
  void Open();
  bool Closed() const;
  std::thread::id Owner() const { return owner_; }

 private:
  enum class TState { Queued, Running, Done, Cancelled };
  struct TItem {
    const std::function<void()>* work = nullptr;
    TState state = TState::Queued;
    std::exception_ptr error;
  };

  void Cancel(TItem& item);

  Notifier notifier_;
  std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<TItem*> queue_;
  bool closed_ = false;
};

}  // namespace vantrel
