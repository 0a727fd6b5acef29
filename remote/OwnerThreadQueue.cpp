#include "remote/OwnerThreadQueue.h"

#include <algorithm>

namespace vantrel {

TOwnerThreadQueue::TOwnerThreadQueue(Notifier notifier)
    : notifier_(std::move(notifier)), owner_(std::this_thread::get_id()) {}

bool TOwnerThreadQueue::Run(const std::function<void()>& work) {
  if (std::this_thread::get_id() == owner_) {
    if (Closed()) return false;
    work();
    return true;
  }
  TItem item;
  item.work = &work;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    queue_.push_back(&item);
  }
  bool told = false;
  try {
    told = notifier_ && notifier_();
  } catch (...) {
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!told && item.state == TState::Queued) Cancel(item);
  changed_.wait(lock, [&] { return item.state == TState::Done || item.state == TState::Cancelled; });
  if (item.state == TState::Cancelled) return false;
  if (item.error) std::rethrow_exception(item.error);
  return true;
}

void TOwnerThreadQueue::Drain() {
  for (;;) {
    TItem* item;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) return;
      item = queue_.front();
      queue_.pop_front();
      item->state = TState::Running;
    }
    std::exception_ptr error;
    try {
      (*item->work)();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    item->error = error;
    item->state = TState::Done;
    changed_.notify_all();
  }
}

void TOwnerThreadQueue::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  for (TItem* item : queue_) item->state = TState::Cancelled;
  queue_.clear();
  changed_.notify_all();
}

void TOwnerThreadQueue::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = false;
}

bool TOwnerThreadQueue::Closed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

// Caller holds mutex_.
void TOwnerThreadQueue::Cancel(TItem& item) {
  queue_.erase(std::remove(queue_.begin(), queue_.end(), &item), queue_.end());
  item.state = TState::Cancelled;
}

}  // namespace vantrel
