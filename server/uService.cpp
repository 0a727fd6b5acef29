#include "server/uService.h"

#include <windows.h>

#include "shell/Handles.h"

#include <optional>
#include <vector>

#include "shell/Application.h"
#include "shell/Busy.h"
#include "shell/OsError.h"

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
    ScHandle service = OpenForReading(name, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    if (!service || !QueryServiceStatus(service.Get(), &status)) return ServiceStateUnknown;
    return static_cast<ServiceState>(status.dwCurrentState);
  }

  ServiceState StartServiceAndWait(const std::wstring& name) override {
    ServiceState state = QueryServiceState(name);
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
    ServiceState state = QueryServiceState(name);
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
    ServiceSetup setup;
    ScHandle service = OpenForReading(name, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
    if (!service) return setup;
    std::vector<std::uint64_t> config;
    if (!ReadServiceConfig(service, config)) RaiseLastOSError();
    if (AsConfig(config).lpDisplayName) setup.DisplayName = AsConfig(config).lpDisplayName;
    StartTypeToFlags(AsConfig(config).dwStartType, setup.Enabled, setup.Automatic);
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.Get(), &status)) RaiseLastOSError();
    setup.Running = status.dwCurrentState == SERVICE_RUNNING;
    return setup;
  }

  bool SetServiceStartType(const std::wstring& name, bool enabled, bool automatic) override {
    DefaultCursorAtEnd cursor;
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
    ScHandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
    ScHandle service = OpenNamedService(manager, name, SERVICE_ENUMERATE_DEPENDENTS);
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
    ScHandle manager = OpenManager(SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_CONNECT);
    if (!manager) return found;
    std::vector<std::uint64_t> buffer;
    DWORD needed = 0, count = 0, resume = 0;
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
      }
      if (done) break;
      if (error != ERROR_MORE_DATA) break;
      // Too small, or more to come: grow to what the manager asked for and go on from resume.
      const std::size_t want = (needed + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t);
      if (want > buffer.size()) buffer.assign(want, 0);
      else if (count == 0) break;
    }
    return found;
  }

 private:
  // Reading goes through one kept connection: opening the manager is by far the most expensive
  // step of a status read. Service handles are never kept, so nothing here holds up the removal
  // of a service. A connection that went bad is opened afresh once.
  ScHandle OpenForReading(const std::wstring& name, DWORD access) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!readConnection_) readConnection_ = OpenManager(SC_MANAGER_CONNECT);
      ScHandle service = OpenNamedService(readConnection_, name, access);
      if (service || !ConnectionLost(GetLastError())) return service;
      readConnection_ = ScHandle(nullptr);
    }
    return ScHandle(nullptr);
  }

  static bool ConnectionLost(DWORD error) {
    return error == ERROR_INVALID_HANDLE || error == RPC_S_SERVER_UNAVAILABLE ||
           error == RPC_S_CALL_FAILED;
  }

  ScHandle readConnection_{nullptr};
  std::optional<bool> mayControl_;

  // Up to PollCount reads, one per interval, ending early at the wanted state.
  ServiceState WaitForState(const std::wstring& name, ServiceState wanted) {
    ServiceState state = ServiceStateUnknown;
    for (int poll = 0; poll < PollCount; ++poll) {
      PumpMessagesFor(PollIntervalMs);  // the window stays alive while the service gets there
      state = QueryServiceState(name);
      if (state == wanted) break;
    }
    return state;
  }
};

}  // namespace

std::unique_ptr<IServiceControl> CreateServiceControl() { return std::make_unique<TServiceControl>(); }

}  // namespace vantrel
