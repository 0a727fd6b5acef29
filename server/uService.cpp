#include "server/uService.h"

#include <windows.h>

#include "shell/Handles.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "server/Probes.h"
#include "shell/Application.h"
#include "shell/DelayLoad.h"
#include "shell/OsError.h"
#include "shell/Window.h"

namespace vantrel {
namespace {

constexpr int PollCount = 10;
constexpr DWORD PollIntervalMs = 1000;
constexpr UINT SystemDirectoryBufferLength = 260;
// Larger than any service configuration, so one call usually reads it.
constexpr DWORD ConfigBufferBytes = 8192;


ScHandle OpenManager(DWORD access) { return ScHandle(OpenSCManagerW(nullptr, nullptr, access)); }

ScHandle OpenNamedService(const ScHandle& manager, const std::wstring& name, DWORD access) {
  if (!manager) return ScHandle(nullptr);
  return ScHandle(OpenServiceW(manager.Get(), name.c_str(), access));
}

// Sets the default cursor when the operation ends, on every path.
class DefaultCursorAtEnd {
 public:
  DefaultCursorAtEnd() = default;
  ~DefaultCursorAtEnd() { ShowDefaultCursor(); }
  DefaultCursorAtEnd(const DefaultCursorAtEnd&) = delete;
  DefaultCursorAtEnd& operator=(const DefaultCursorAtEnd&) = delete;
};

// Reads the service's configuration into buffer; QUERY_SERVICE_CONFIGW holds pointers, so the
// buffer is pointer-aligned storage. On false the last error is still the failed call's.
bool ReadServiceConfig(const ScHandle& service, std::vector<std::uint64_t>& buffer) {
  DWORD needed = ConfigBufferBytes;
  for (int attempt = 0; attempt < 2; ++attempt) {
    buffer.assign((needed + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t), 0);
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (QueryServiceConfigW(service.Get(), config, size, &needed)) return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  }
  return false;
}

const QUERY_SERVICE_CONFIGW& AsConfig(const std::vector<std::uint64_t>& buffer) {
  return *reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
}

class TServiceControl : public IServiceControl {
 public:
  explicit TServiceControl(ISystemProbes& waits) : waits_(waits) {}

  std::wstring SystemDirectory() override {
    wchar_t buffer[SystemDirectoryBufferLength];
    UINT length = GetSystemDirectoryW(buffer, SystemDirectoryBufferLength);
    if (length == 0 || length >= SystemDirectoryBufferLength) return {};
    return std::wstring(buffer, length);
  }

  // The answer depends on the process's token, which does not change while it runs; asking once
  // spares the status refresh a connection to the manager every second.
  bool CanControlServices() override {
    if (!mayControl_) mayControl_ = static_cast<bool>(OpenManager(SC_MANAGER_ALL_ACCESS));
    return *mayControl_;
  }

  ServiceState QueryServiceState(const std::wstring& name) override {
    if (const TKept* kept = KeptOf(name)) return kept->state;
    const ServiceState state = ReadState(name);
    Keep(name, state, std::nullopt);
    return state;
  }

  ServiceState StartServiceAndWait(const std::wstring& name) override {
    TForget changing(kept_);
    ServiceState state = ReadState(name);
    if (state != ServiceStopped) return state;
    ShowHourglass();
    DefaultCursorAtEnd cursor;
    ScHandle manager = OpenManager(SC_MANAGER_CONNECT);
    ScHandle service = OpenNamedService(manager, name, SERVICE_START);
    if (!service) return state;
    if (!StartServiceW(service.Get(), 0, nullptr)) return ServiceStateUnknown;
    return WaitForState(name, ServiceRunning);
  }

  ServiceState StopServiceAndWait(const std::wstring& name) override {
    TForget changing(kept_);
    ServiceState state = ReadState(name);
    if (state != ServiceRunning) return state;
    ShowHourglass();
    DefaultCursorAtEnd cursor;
    ScHandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
    ScHandle service = OpenNamedService(manager, name, GENERIC_EXECUTE);
    if (!service) return state;
    SERVICE_STATUS status{};
    if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) return ServiceStateUnknown;
    return WaitForState(name, ServiceStopped);
  }

  ServiceSetup QueryServiceSetup(const std::wstring& name) override {
    DefaultCursorAtEnd cursor;
    if (const TKept* kept = KeptOf(name); kept && kept->setup) return *kept->setup;
    ScHandle service = OpenForReading(name, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
    if (!service) {
      Keep(name, ServiceStateUnknown, ServiceSetup{});
      return {};
    }
    std::vector<std::uint64_t> config;
    if (!ReadServiceConfig(service, config)) RaiseLastOSError();
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.Get(), &status)) RaiseLastOSError();
    const ServiceState state = static_cast<ServiceState>(status.dwCurrentState);
    const ServiceSetup setup = SetupOf(AsConfig(config), state);
    Keep(name, state, setup);
    return setup;
  }

  bool SetServiceStartType(const std::wstring& name, bool enabled, bool automatic) override {
    DefaultCursorAtEnd cursor;
    TForget changing(kept_);
    ScHandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
    ScHandle service = OpenNamedService(manager, name, SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG);
    if (!service) return false;
    std::vector<std::uint64_t> config;
    // Without a readable configuration the display name is left alone rather than blanked.
    const wchar_t* displayName =
        ReadServiceConfig(service, config) ? AsConfig(config).lpDisplayName : nullptr;
    return ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE, FlagsToStartType(enabled, automatic),
                                SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr, displayName) != FALSE;
  }

  bool ListDependentServices(const std::wstring& name, bool active, TServiceList& list) override {
    DefaultCursorAtEnd cursor;
    ScHandle service = OpenForReading(name, SERVICE_ENUMERATE_DEPENDENTS);
    if (!service) return false;
    DWORD filter = active ? SERVICE_ACTIVE : SERVICE_INACTIVE;
    DWORD needed = 0;
    DWORD count = 0;
    if (EnumDependentServicesW(service.Get(), filter, nullptr, 0, &needed, &count) || needed == 0)
      return true;
    std::vector<std::uint64_t> buffer((needed + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    auto* records = reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data());
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
    if (!EnumDependentServicesW(service.Get(), filter, records, size, &needed, &count)) return true;
    for (DWORD i = 0; i < count; ++i) {
      list.AddService(records[i].lpServiceName ? records[i].lpServiceName : L"",
                      records[i].lpDisplayName ? records[i].lpDisplayName : L"");
    }
    return true;
  }

  std::vector<TServiceCommandLine> ListServices(const std::wstring& prefix) override {
    std::vector<TServiceCommandLine> found;
    if (!ReadConnection()) return found;
    const ScHandle& manager = readConnection_;
    std::vector<std::uint64_t> buffer;
    DWORD needed = 0, count = 0, resume = 0;
    bool reconnected = false;
    for (;;) {
      DWORD size = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
      auto* records = buffer.empty() ? nullptr : reinterpret_cast<ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
      const BOOL done = EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                              reinterpret_cast<BYTE*>(records), size, &needed, &count, &resume, nullptr);
      const DWORD error = done ? ERROR_SUCCESS : GetLastError();
      for (DWORD i = 0; records && i < count; ++i) {
        const std::wstring name = records[i].lpServiceName ? records[i].lpServiceName : L"";
        if (name.size() < prefix.size() || CompareStringOrdinal(name.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                                                static_cast<int>(prefix.size()), TRUE) != CSTR_EQUAL)
          continue;
        ScHandle service = OpenNamedService(manager, name, SERVICE_QUERY_CONFIG);
        std::vector<std::uint64_t> config;
        if (!service || !ReadServiceConfig(service, config)) continue;
        const wchar_t* path = AsConfig(config).lpBinaryPathName;
        found.push_back({name, path ? path : L""});
        const auto state = static_cast<ServiceState>(records[i].ServiceStatusProcess.dwCurrentState);
        Keep(name, state, SetupOf(AsConfig(config), state));
      }
      if (done) break;
      if (ConnectionLost(error) && buffer.empty() && !std::exchange(reconnected, true)) {
        readConnection_ = ScHandle(nullptr);
        if (!ReadConnection()) break;
        continue;
      }
      if (error != ERROR_MORE_DATA) break;
      // Too small, or more to come: grow to what the manager asked for and go on from resume.
      const std::size_t want = (needed + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t);
      if (want > buffer.size()) buffer.assign(want, 0);
      else if (count == 0) break;
    }
    return found;
  }

  void KeepAnswers(bool keep) override {
    keepers_ += keep ? 1 : -1;
    if (keepers_ <= 0) {
      keepers_ = 0;
      kept_.clear();
    }
  }

 private:
  // Reading goes through one kept connection: opening the manager is by far the most expensive
  // step of a status read. Service handles are never kept, so nothing here holds up the removal
  // of a service. A connection that went bad is opened afresh once.
  ScHandle OpenForReading(const std::wstring& name, DWORD access) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      ScHandle service = OpenNamedService(ReadConnection(), name, access);
      if (service || !ConnectionLost(GetLastError())) return service;
      readConnection_ = ScHandle(nullptr);
    }
    return ScHandle(nullptr);
  }

  struct TKept {
    ServiceState state = ServiceStateUnknown;
    std::optional<ServiceSetup> setup;
  };
  using TKeptAnswers = std::map<std::wstring, TKept>;

  // A change forgets what was kept, before it is made and after.
  struct TForget {
    explicit TForget(TKeptAnswers& kept) : kept(kept) { kept.clear(); }
    ~TForget() { kept.clear(); }
    TKeptAnswers& kept;
  };

  ServiceState ReadState(const std::wstring& name) {
    ScHandle service = OpenForReading(name, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    if (!service || !QueryServiceStatus(service.Get(), &status)) return ServiceStateUnknown;
    return static_cast<ServiceState>(status.dwCurrentState);
  }

  static ServiceSetup SetupOf(const QUERY_SERVICE_CONFIGW& config, ServiceState state) {
    ServiceSetup setup;
    if (config.lpDisplayName) setup.DisplayName = config.lpDisplayName;
    StartTypeToFlags(config.dwStartType, setup.Enabled, setup.Automatic);
    setup.Running = state == ServiceRunning;
    return setup;
  }

  // Service names do not differ by case.
  static std::wstring KeyOf(std::wstring name) {
    CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
  }

  const TKept* KeptOf(const std::wstring& name) const {
    if (kept_.empty()) return nullptr;  // outside a look: no folded copy of the name per refresh
    const auto found = kept_.find(KeyOf(name));
    return found == kept_.end() ? nullptr : &found->second;
  }

  void Keep(const std::wstring& name, ServiceState state, std::optional<ServiceSetup> setup) {
    if (keepers_ == 0) return;
    TKept& kept = kept_[KeyOf(name)];
    kept.state = state;
    if (setup) kept.setup = std::move(setup);
  }

  const ScHandle& ReadConnection() {
    if (!readConnection_) readConnection_ = OpenManager(SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
    return readConnection_;
  }

  static bool ConnectionLost(DWORD error) {
    return error == ERROR_INVALID_HANDLE || error == RPC_S_SERVER_UNAVAILABLE ||
           error == RPC_S_CALL_FAILED;
  }

  ISystemProbes& waits_;
  ScHandle readConnection_{nullptr};
  std::optional<bool> mayControl_;
  int keepers_ = 0;
  TKeptAnswers kept_;

  // Up to PollCount reads, one per interval, ending early at the wanted state.
  ServiceState WaitForState(const std::wstring& name, ServiceState wanted) {
    ServiceState state = ServiceStateUnknown;
    for (int poll = 0; poll < PollCount; ++poll) {
      waits_.Sleep(PollIntervalMs);
      state = ReadState(name);
      if (state == wanted) break;
    }
    return state;
  }
};

}  // namespace

std::unique_ptr<IServiceControl> CreateServiceControl(ISystemProbes& waits) {
  return std::make_unique<TServiceControl>(waits);
}

}  // namespace vantrel

// ---------------------------------------------------------------------------------------------
// Following services: the manager pushes their states to a thread of this object, which keeps
// the last of each and tells the window thread through a message-only window.

namespace vantrel {
namespace {

constexpr wchar_t kFollowWindowClass[] = L"TVantrelServiceFollow";
constexpr UINT WM_SERVICES_CHANGED = WM_APP + 1;  // private to the follow window
constexpr auto kFollowAppliedLimit = std::chrono::seconds(10);
constexpr DWORD kNotifyMask = SERVICE_NOTIFY_STOPPED | SERVICE_NOTIFY_START_PENDING | SERVICE_NOTIFY_STOP_PENDING |
                              SERVICE_NOTIFY_RUNNING | SERVICE_NOTIFY_CONTINUE_PENDING |
                              SERVICE_NOTIFY_PAUSE_PENDING | SERVICE_NOTIFY_PAUSED | SERVICE_NOTIFY_DELETE_PENDING;
using NotifyFn = DWORD WINAPI(SC_HANDLE, DWORD, PSERVICE_NOTIFYW);

// What the manager last pushed of one service; absent services read as the manager's answers do.
struct TPushed {
  ServiceState state = ServiceStateUnknown;
  ServiceSetup setup;
};

class TFollowingServiceControl final : public IServiceControl {
 public:
  TFollowingServiceControl(ISystemProbes& waits, ServiceNotifyCall notify)
      : inner_(CreateServiceControl(waits)), notify_(std::move(notify)),
        wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

  ~TFollowingServiceControl() override {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      window_ = nullptr;
    }
    if (worker_.joinable()) {
      SetEvent(wake_.Get());
      worker_.join();
    }
    DestroyOwnedWindow(followWindow_);
  }

  void Follow(std::vector<std::wstring> names, std::function<void()> changed) override {
    changed_ = std::move(changed);
    if (!notify_ || !wake_) return;  // before Vista: asked for every time
    if (!followWindow_) {
      RegisterWindowClassFor<TFollowingServiceControl>({kFollowWindowClass});
      followWindow_ = CreateOwnedWindow(kFollowWindowClass, this, 0, L"", 0, {}, HWND_MESSAGE);
    }
    names.erase(std::remove(names.begin(), names.end(), std::wstring()), names.end());
    std::unique_lock lock(mutex_);
    const bool lettingGo = std::any_of(wanted_.begin(), wanted_.end(), [&](const std::wstring& name) {
      return std::find(names.begin(), names.end(), name) == names.end();
    });
    window_ = followWindow_;
    wanted_ = std::move(names);
    pushed_.clear();
    const std::uint64_t request = ++requested_;
    if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
    SetEvent(wake_.Get());
    // The handles of services no longer followed are closed before this returns: a service about
    // to be removed and made again under its name (a root change) must not be held up by them.
    // With nothing to let go (the start) nobody waits for the worker.
    if (lettingGo)
      applied_.wait_for(lock, kFollowAppliedLimit, [&] { return appliedRequest_ >= request || refused_; });
  }

  bool Pushed() const override {
    std::lock_guard lock(mutex_);
    if (refused_ || wanted_.empty()) return false;
    for (const std::wstring& name : wanted_)
      if (!pushed_.count(name)) return false;
    return true;
  }

  ServiceState QueryServiceState(const std::wstring& name) override {
    if (auto pushed = PushedOf(name)) return pushed->state;
    return inner_->QueryServiceState(name);
  }
  ServiceSetup QueryServiceSetup(const std::wstring& name) override {
    if (auto pushed = PushedOf(name)) return pushed->setup;
    return inner_->QueryServiceSetup(name);
  }

  std::wstring SystemDirectory() override { return inner_->SystemDirectory(); }
  bool CanControlServices() override { return inner_->CanControlServices(); }
  ServiceState StartServiceAndWait(const std::wstring& name) override { return inner_->StartServiceAndWait(name); }
  ServiceState StopServiceAndWait(const std::wstring& name) override { return inner_->StopServiceAndWait(name); }
  bool SetServiceStartType(const std::wstring& name, bool enabled, bool automatic) override {
    const bool set = inner_->SetServiceStartType(name, enabled, automatic);
    Refetch(name);  // a change of configuration is pushed by nobody
    return set;
  }
  bool ListDependentServices(const std::wstring& name, bool active, TServiceList& list) override {
    return inner_->ListDependentServices(name, active, list);
  }
  std::vector<TServiceCommandLine> ListServices(const std::wstring& prefix) override {
    return inner_->ListServices(prefix);
  }
  void KeepAnswers(bool keep) override { inner_->KeepAnswers(keep); }

  LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_SERVICES_CHANGED) return DefWindowProcW(hwnd, msg, wp, lp);
    if (changed_) changed_();
    return 0;
  }

 private:
  // One followed service on the worker. The record stays where it is until the worker ends: the
  // manager may still deliver a notification for it after its handle was closed.
  struct TFollowed {
    TFollowingServiceControl* owner = nullptr;
    std::wstring name;
    ScHandle service{nullptr};
    SERVICE_NOTIFYW notify{};
    bool registered = false;
    bool told = false;     // a state was told since the service was opened
    DWORD lastState = 0;   // the state told last
  };

  // The notification bit of a service state (SERVICE_STOPPED is 1 and SERVICE_NOTIFY_STOPPED 1,
  // and so on up to SERVICE_PAUSED).
  static DWORD StateBit(DWORD state) { return state >= 1 && state <= 7 ? 1u << (state - 1) : 0; }

  std::optional<TPushed> PushedOf(const std::wstring& name) const {
    std::lock_guard lock(mutex_);
    if (refused_) return std::nullopt;
    const auto found = pushed_.find(name);
    if (found == pushed_.end()) return std::nullopt;
    return found->second;
  }

  void Refetch(const std::wstring& name) {
    std::lock_guard lock(mutex_);
    pushed_.erase(name);  // asked again until the worker has read it afresh
    refetch_.push_back(name);
    if (wake_) SetEvent(wake_.Get());
  }

  // The worker: registers for each wanted service and waits alertably, so that the manager's
  // notifications run here; each one is read, kept and told, and registered for again.
  void Run() {
    ScHandle manager = OpenManager(SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
    std::vector<std::unique_ptr<TFollowed>> followed, retired;
    SERVICE_NOTIFYW created{};
    bool createdRegistered = false;
    bool createdRefused = false;  // absent services are then asked for, as without following
    std::uint64_t applied = 0;
    // Every handle closed first, then what the manager had queued already is let run (it finds
    // nothing open and does nothing) before the records go.
    struct TCleanUp {
      ScHandle& manager;
      std::vector<std::unique_ptr<TFollowed>>& followed;
      ~TCleanUp() {
        for (auto& record : followed) record->service = ScHandle(nullptr);
        manager = ScHandle(nullptr);
        SleepEx(0, TRUE);
      }
    } cleanUp{manager, followed};
    for (;;) {
      std::vector<std::wstring> refetch;
      {
        std::lock_guard lock(mutex_);
        if (stopping_) break;
        if (requested_ != applied) {
          applied = requested_;
          for (auto& record : followed) {
            record->service = ScHandle(nullptr);
            retired.push_back(std::move(record));
          }
          followed.clear();
          for (const std::wstring& name : wanted_) {
            auto record = std::make_unique<TFollowed>();
            record->owner = this;
            record->name = name;
            followed.push_back(std::move(record));
          }
          appliedRequest_ = applied;
          applied_.notify_all();
        }
        refetch.swap(refetch_);
      }
      SleepEx(0, TRUE);  // notifications queued for closed handles run now, and find them closed
      bool anyAbsent = false;
      for (auto& record : followed) {
        for (const std::wstring& name : refetch)
          if (name == record->name && record->service && record->told) Keep(*record, ReadSetup(*record, record->lastState));
        if (!record->registered && !Register(manager, *record)) {
          Refuse();
          return;
        }
        if (!record->service) anyAbsent = true;
      }
      // A service that does not exist yet is watched for through the manager: created, it is
      // opened and followed like the others. A manager that cannot tell leaves it to be asked for.
      if (anyAbsent && !createdRegistered && !createdRefused) {
        created = {};
        created.dwVersion = SERVICE_NOTIFY_STATUS_CHANGE;
        created.pfnNotifyCallback = &CreatedCallback;
        created.pContext = this;
        createdRegistered =
            manager && notify_(manager.Get(), SERVICE_NOTIFY_CREATED, &created) == ERROR_SUCCESS;
        createdRefused = !createdRegistered;
      }
      for (auto& record : followed)
        if (!record->service && createdRegistered && !PushedOf(record->name)) Keep(*record, TPushed{});
      if (createdSeen_) {
        createdSeen_ = false;
        createdRegistered = false;
        for (auto& record : followed)
          if (!record->service) record->registered = false;
        continue;
      }
      WaitForSingleObjectEx(wake_.Get(), INFINITE, TRUE);
    }
  }

  // Opens and registers the service, or keeps it as absent; false when the manager refuses.
  bool Register(const ScHandle& manager, TFollowed& record) {
    record.registered = true;
    if (!record.service) {
      record.service = OpenNamedService(manager, record.name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
      record.told = false;
    }
    if (!record.service) return true;  // absent: pushed as such once its creation can be told
    // A state the service is in already is told at once: the first registration asks for every
    // state (and so learns the present one), the later ones for every state but the last told.
    const DWORD mask = record.told ? kNotifyMask & ~StateBit(record.lastState) : kNotifyMask;
    record.notify = {};
    record.notify.dwVersion = SERVICE_NOTIFY_STATUS_CHANGE;
    record.notify.pfnNotifyCallback = &StatusCallback;
    record.notify.pContext = &record;
    const DWORD result = notify_(record.service.Get(), mask, &record.notify);
    if (result == ERROR_SERVICE_MARKED_FOR_DELETE) {
      record.service = ScHandle(nullptr);
      return true;
    }
    return result == ERROR_SUCCESS;  // the first notification brings the state as it is now
  }

  static void CALLBACK StatusCallback(void* parameter) {
    auto* notify = static_cast<SERVICE_NOTIFYW*>(parameter);
    auto* record = static_cast<TFollowed*>(notify->pContext);
    record->owner->Notified(*record);
  }

  static void CALLBACK CreatedCallback(void* parameter) {
    auto* notify = static_cast<SERVICE_NOTIFYW*>(parameter);
    auto* owner = static_cast<TFollowingServiceControl*>(notify->pContext);
    if (notify->pszServiceNames) LocalFree(notify->pszServiceNames);
    owner->createdSeen_ = true;
  }

  void Notified(TFollowed& record) {
    if (!record.service) return;  // a notification for a handle closed since
    record.registered = false;    // each notification is told once: registered for again
    if (record.notify.dwNotificationStatus != ERROR_SUCCESS ||
        (record.notify.dwNotificationTriggered & SERVICE_NOTIFY_DELETE_PENDING)) {
      // Going away: the handle is let go so that the removal can finish.
      record.service = ScHandle(nullptr);
      Forget(record.name);
      return;
    }
    record.told = true;
    record.lastState = record.notify.ServiceStatus.dwCurrentState;
    Keep(record, ReadSetup(record, record.lastState));
  }

  // The configuration read now, with the state the manager told (the notice carries it).
  TPushed ReadSetup(const TFollowed& record, DWORD state) const {
    TPushed pushed = PushedOf(record.name).value_or(TPushed{});
    std::vector<std::uint64_t> config;
    if (ReadServiceConfig(record.service, config)) {
      pushed.setup.DisplayName = AsConfig(config).lpDisplayName ? AsConfig(config).lpDisplayName : L"";
      StartTypeToFlags(AsConfig(config).dwStartType, pushed.setup.Enabled, pushed.setup.Automatic);
    }
    pushed.state = static_cast<ServiceState>(state);
    pushed.setup.Running = state == SERVICE_RUNNING;
    return pushed;
  }

  void Keep(const TFollowed& record, const TPushed& pushed) {
    std::lock_guard lock(mutex_);
    pushed_[record.name] = pushed;
    if (window_) PostMessageW(window_, WM_SERVICES_CHANGED, 0, 0);
  }

  void Forget(const std::wstring& name) {
    std::lock_guard lock(mutex_);
    pushed_.erase(name);
    if (window_) PostMessageW(window_, WM_SERVICES_CHANGED, 0, 0);
  }

  // The manager would not follow these services: every answer is asked for from now on.
  void Refuse() {
    std::lock_guard lock(mutex_);
    refused_ = true;
    pushed_.clear();
    applied_.notify_all();
  }

  std::unique_ptr<IServiceControl> inner_;
  ServiceNotifyCall notify_;
  OwnedHandle wake_;
  std::function<void()> changed_;
  HWND followWindow_ = nullptr;
  std::thread worker_;

  mutable std::mutex mutex_;  // what the worker and the window thread share
  HWND window_ = nullptr;
  std::vector<std::wstring> wanted_;
  std::vector<std::wstring> refetch_;
  std::map<std::wstring, TPushed> pushed_;
  std::condition_variable applied_;
  std::uint64_t requested_ = 0, appliedRequest_ = 0;
  bool stopping_ = false;
  bool refused_ = false;
  bool createdSeen_ = false;  // the worker's own, set by its notification
};

}  // namespace

std::unique_ptr<IServiceControl> CreateFollowingServiceControl(ISystemProbes& waits, ServiceNotifyCall notify) {
  return std::make_unique<TFollowingServiceControl>(waits, std::move(notify));
}

std::unique_ptr<IServiceControl> CreateFollowingServiceControl(ISystemProbes& waits) {
  ServiceNotifyCall notify;
  if (auto* system = LoadedFunction<NotifyFn>(L"advapi32.dll", "NotifyServiceStatusChangeW"))
    notify = [system](void* service, unsigned long mask, void* record) {
      return system(static_cast<SC_HANDLE>(service), mask, static_cast<PSERVICE_NOTIFYW>(record));
    };
  return CreateFollowingServiceControl(waits, std::move(notify));
}

}  // namespace vantrel
