#include "remote/CommandHost.h"

#include "remote/Socket.h"

namespace vantrel {

bool ICommandHost::FileExists(const std::string& path) { return net::FileExists(path); }

std::string ICommandHost::LocalIPAddress() { return vantrel::LocalIPAddress(); }

bool TMutexCommandHost::RunSerialised(const std::function<void()>& work) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) return false;
  work();
  return true;
}

// Work under the lock never waits for a connection, so the lock itself cannot hold up a stop.
void TMutexCommandHost::CancelWork() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
}

void TMutexCommandHost::AcceptWork() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = false;
}

std::string LocalIPAddress() {
  net::TSocketLibrary library(1, 1);
  if (!library.Started()) return {};
  auto addresses = net::HostIPv4Addresses();
  return addresses.empty() ? std::string() : net::FormatIPv4(addresses.front());
}

}  // namespace vantrel
