#pragma once
// What the simulated server and guardian share: their window, single instance and the service frame.
#include <windows.h>

#include <functional>
#include <string>

#include "tests/sim/SimSupport.h"

namespace vantrel::sim {

// Exit codes of the simulated programs.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitAlreadyRunning = 3;
inline constexpr int kExitWindowFailed = 4;
inline constexpr int kExitServerLaunchFailed = 5;
inline constexpr int kExitNotAService = 6;

// True when one of the arguments is "-a" (any letter case): run as an application.
bool HasApplicationSwitch(int argc, wchar_t** argv);
bool HasSwitch(int argc, wchar_t** argv, const wchar_t* name);
// The instance of "-s NAME" (the server's option, in service and application mode alike);
// DefaultInstance without it.
std::wstring InstanceOption(int argc, wchar_t** argv);
// A server with open attachments asks on its own window before it ends: while nobody answers,
// WM_CLOSE leaves its window where it is.
void KeepWindowOnClose(bool keep);

// Moves the calling thread onto the interactive desktop when the process got another one
// (a service that is not marked interactive), so its windows can be found from the desktop.
void JoinInteractiveDesktop();

// A process-wide claim on one window class, so two servers of a kind never run at once.
class InstanceClaim {
 public:
  explicit InstanceClaim(const std::wstring& windowClass);
  bool Held() const { return held_; }

 private:
  UniqueHandle mutex_;
  bool held_ = false;
};

// Creates the hidden top-level window of the class (findable by FindWindowW(class, nullptr)).
HWND CreateClassWindow(const std::wstring& windowClass, const std::wstring& title);

// The reason CreateClassWindow failed, never 0, as a service's exit code.
DWORD WindowFailure();

// Dispatches messages until the window is destroyed (WM_CLOSE destroys it). When stopEvent is
// given and becomes signalled, the window is destroyed as if it had been closed.
void RunWindow(HWND window, HANDLE stopEvent = nullptr);

// Handed to a service's body: status reports and the stop request.
class ServiceContext {
 public:
  ServiceContext(SERVICE_STATUS_HANDLE status, HANDLE stopEvent) : status_(status), stopEvent_(stopEvent) {}
  void ReportStarting(DWORD waitHintMs);
  void ReportRunning();
  void ReportStopping(DWORD waitHintMs);
  void ReportStopped(DWORD exitCode);
  // Signalled when the service manager asks the service to stop.
  HANDLE StopEvent() const { return stopEvent_; }

 private:
  void Report(DWORD state, DWORD exitCode, DWORD waitHintMs);
  SERVICE_STATUS_HANDLE status_;
  HANDLE stopEvent_;
  DWORD checkPoint_ = 0;
};

// Body of a service: runs from the start request to its end and returns the Win32 exit code
// reported with the final stopped state (0 after a normal stop).
using ServiceBody = std::function<DWORD(ServiceContext&)>;

// Hands the process to the service control manager as the single service `name`.
// False when the process was not started by the service control manager.
bool RunAsService(const std::wstring& name, ServiceBody body);

// Service manager helpers (used by the guardian and instsvc).
// Starts the service unless it runs and waits until it runs; false on failure or time-out.
bool StartServiceAndWaitRunning(const std::wstring& name, DWORD timeoutMs);
// Stops the service when it runs and waits until it is stopped; true also when it was not running.
bool StopServiceAndWaitStopped(SC_HANDLE service, DWORD timeoutMs);
bool StopServiceAndWaitStopped(const std::wstring& name, DWORD timeoutMs);

inline constexpr DWORD kServiceWaitMs = 15000;

}  // namespace vantrel::sim
