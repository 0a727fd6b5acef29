#include "remote/CommandHost.h"

#include "remote/ProtocolTexts.h"
#include "remote/Socket.h"

#include <chrono>
#include <mutex>
#include <optional>

namespace vantrel {

bool ICommandHost::FileExists(const std::string& path) { return net::FileExists(path); }

// Resolving the host name costs more than the rest of a list request, and a DNS query when the
// name is not in the hosts file; an address a few seconds old serves the client as well.
std::string ICommandHost::LocalIPAddress() {
  using Clock = std::chrono::steady_clock;
  constexpr auto kKeptFor = std::chrono::seconds(5);
  static std::mutex mutex;
  static std::string address;
  static std::optional<Clock::time_point> resolvedAt;
  std::lock_guard<std::mutex> lock(mutex);
  if (!resolvedAt || Clock::now() - *resolvedAt > kKeptFor) {
    address = vantrel::LocalIPAddress();
    resolvedAt = Clock::now();
  }
  return address;
}

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

const char* LogTextOf(TAliasFileSync::TNotice notice) {
  switch (notice) {
    case TAliasFileSync::TNotice::NotKept:
      return texts::kLogNotKept;
    case TAliasFileSync::TNotice::AliasDropped:
      return texts::kLogAliasDropped;
    case TAliasFileSync::TNotice::WaitingWritten:
      break;
  }
  return texts::kLogAliasWritten;
}

std::string LocalIPAddress() {
  net::TSocketLibrary library(1, 1);
  if (!library.Started()) return {};
  auto addresses = net::HostIPv4Addresses();
  return addresses.empty() ? std::string() : net::FormatIPv4(addresses.front());
}

}  // namespace vantrel
