#pragma once
// Service control: a thin layer over the local service control manager. Every operation opens
// and closes its own service handles; only the manager connection used for reading states and
// configurations is kept between calls.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

class ISystemProbes;

// dwCurrentState of SERVICE_STATUS, plus 8 when unreadable or a request was refused.
using ServiceState = std::uint8_t;
constexpr ServiceState ServiceStopped = 1;
constexpr ServiceState ServiceStartPending = 2;
constexpr ServiceState ServiceStopPending = 3;
constexpr ServiceState ServiceRunning = 4;
constexpr ServiceState ServiceStateUnknown = 8;

struct TServiceListItem {
  std::wstring ServiceName;  // key name, used to start and stop
  std::wstring DisplayName;  // shown to the user
};

class TServiceList {
 public:
  TServiceListItem& AddService(std::wstring serviceName, std::wstring displayName);
  std::size_t Count() const { return items_.size(); }
  const TServiceListItem& operator[](std::size_t i) const { return items_[i]; }
  void Clear() { items_.clear(); }
  // Display names in list order joined by ", "; empty for an empty list.
  std::wstring DisplayNames() const;

 private:
  std::deque<TServiceListItem> items_;  // AddService's reference stays valid as the list grows
};

struct TServiceCommandLine {
  std::wstring ServiceName;
  std::wstring CommandLine;
};

struct ServiceSetup {
  std::wstring DisplayName;
  bool Enabled = false;
  bool Automatic = false;
  bool Running = false;
};

// Windows start type <-> (enabled, automatic).
void StartTypeToFlags(std::uint32_t startType, bool& enabled, bool& automatic);
std::uint32_t FlagsToStartType(bool enabled, bool automatic);

class IServiceControl {
 public:
  virtual ~IServiceControl() = default;
  virtual std::wstring SystemDirectory() = 0;  // no trailing delimiter; empty on failure
  virtual bool CanControlServices() = 0;
  virtual ServiceState QueryServiceState(const std::wstring& name) = 0;
  virtual ServiceState StartServiceAndWait(const std::wstring& name) = 0;
  virtual ServiceState StopServiceAndWait(const std::wstring& name) = 0;
  // Throws EOSError when an opened service's configuration or status cannot be read.
  virtual ServiceSetup QueryServiceSetup(const std::wstring& name) = 0;
  virtual bool SetServiceStartType(const std::wstring& name, bool enabled, bool automatic) = 0;
  // Appends to list; false when the service could not be opened.
  virtual bool ListDependentServices(const std::wstring& name, bool active, TServiceList& list) = 0;
  // Every Win32 service whose name begins with prefix (without regard to case), with its
  // registered command line; empty when the manager cannot be asked.
  virtual std::vector<TServiceCommandLine> ListServices(const std::wstring& prefix) = 0;

  // While kept (see TOneLook), each service is read once: later questions about it are answered
  // from the first reading, or from the listing that read it. Any change made through this
  // control forgets them.
  virtual void KeepAnswers(bool keep) {}

  // The services whose changes the caller wants told: changed runs on the calling thread after
  // each. While the system pushes their state, QueryServiceState and QueryServiceSetup answer for
  // them from what it pushed instead of asking. By default nothing is pushed and all is asked.
  virtual void Follow(std::vector<std::wstring> names, std::function<void()> changed) {}
  // Every followed service's state arrives by notification (none is asked for any more).
  virtual bool Pushed() const { return false; }
};

// One look at the system, such as the start: the several parts that ask about the same services
// (is the guardian there, its state, the startup settings) cost one reading of each.
class TOneLook {
 public:
  explicit TOneLook(IServiceControl& services) : services_(services) { services_.KeepAnswers(true); }
  ~TOneLook() { services_.KeepAnswers(false); }
  TOneLook(const TOneLook&) = delete;
  TOneLook& operator=(const TOneLook&) = delete;

 private:
  IServiceControl& services_;
};

// The real service control manager (Windows only).
// A start or stop waits for the service through waits.Sleep, which keeps the window answering.
std::unique_ptr<IServiceControl> CreateServiceControl(ISystemProbes& waits);
// The same, following services through NotifyServiceStatusChangeW (Vista and later) on a thread
// of its own; where the call is missing or refused it asks, as CreateServiceControl's does.
std::unique_ptr<IServiceControl> CreateFollowingServiceControl(ISystemProbes& waits);
// The same with the notification call given: tests play a system that refuses it.
using ServiceNotifyCall = std::function<unsigned long(void* service, unsigned long mask, void* notify)>;
std::unique_ptr<IServiceControl> CreateFollowingServiceControl(ISystemProbes& waits, ServiceNotifyCall notify);

}  // namespace vantrel
