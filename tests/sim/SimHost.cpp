#include "tests/sim/SimHost.h"

#include <utility>

namespace vantrel::sim {
namespace {

constexpr DWORD kPollMs = 100;

bool keepWindowOnClose = false;

LRESULT CALLBACK ClassWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE && keepWindowOnClose) return 0;  // the attachments question, unanswered
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

// The one service of this process; the service manager calls ServiceMain without a context.
struct ServiceSlot {
  std::wstring name;
  ServiceBody body;
  bool entered = false;
};
ServiceSlot g_service;

DWORD WINAPI ServiceControlHandler(DWORD control, DWORD, void*, void* context) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      SetEvent(static_cast<HANDLE>(context));
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  g_service.entered = true;
  UniqueHandle stopEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  SERVICE_STATUS_HANDLE status =
      RegisterServiceCtrlHandlerExW(g_service.name.c_str(), ServiceControlHandler, stopEvent.Get());
  if (!status) return;
  ServiceContext context(status, stopEvent.Get());
  if (!stopEvent) {
    context.ReportStopped(GetLastError());
    return;
  }
  context.ReportStarting(kServiceWaitMs);
  DWORD exitCode = g_service.body(context);
  // The status handle needs no closing; the stop event lives until after the last report.
  context.ReportStopped(exitCode);
}

DWORD QueryState(SC_HANDLE service) {
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service, &status)) return 0;
  return status.dwCurrentState;
}

}  // namespace

bool HasSwitch(int argc, wchar_t** argv, const wchar_t* name) {
  for (int i = 1; i < argc; ++i)
    if (CompareStringOrdinal(argv[i], -1, name, -1, TRUE) == CSTR_EQUAL) return true;
  return false;
}

std::wstring InstanceOption(int argc, wchar_t** argv) {
  for (int i = 1; i + 1 < argc; ++i)
    if (CompareStringOrdinal(argv[i], -1, L"-s", -1, TRUE) == CSTR_EQUAL) return argv[i + 1];
  return L"DefaultInstance";
}

void KeepWindowOnClose(bool keep) { keepWindowOnClose = keep; }

bool HasApplicationSwitch(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i)
    if (CompareStringOrdinal(argv[i], -1, L"-a", -1, TRUE) == CSTR_EQUAL) return true;
  return false;
}

// Wine, like Windows, gives a service that is not interactive a window station of its own, where
// FindWindowW from the user's desktop cannot see its windows; the control panel relies on seeing them.
void JoinInteractiveDesktop() {
  wchar_t name[256] = {};
  DWORD needed = 0;
  if (GetUserObjectInformationW(GetProcessWindowStation(), UOI_NAME, name, sizeof name, &needed) &&
      CompareStringOrdinal(name, -1, L"WinSta0", -1, TRUE) == CSTR_EQUAL)
    return;
  // Both stay open for the life of the process, as the process's own station and desktop.
  HWINSTA station = OpenWindowStationW(L"WinSta0", FALSE, WINSTA_ALL_ACCESS);
  if (!station || !SetProcessWindowStation(station)) return;
  HDESK desktop = OpenDesktopW(L"Default", 0, FALSE, GENERIC_ALL);
  if (desktop) SetThreadDesktop(desktop);
}

InstanceClaim::InstanceClaim(const std::wstring& windowClass)
    : mutex_(CreateMutexW(nullptr, TRUE, (L"Global\\vantrel-sim-" + windowClass).c_str())) {
  held_ = mutex_ && GetLastError() != ERROR_ALREADY_EXISTS;
}

HWND CreateClassWindow(const std::wstring& windowClass, const std::wstring& title) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW description{};
  description.cbSize = sizeof description;
  description.lpfnWndProc = ClassWindowProc;
  description.hInstance = instance;
  description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  description.lpszClassName = windowClass.c_str();
  if (!RegisterClassExW(&description) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
  return CreateWindowExW(0, windowClass.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
}

DWORD WindowFailure() {
  DWORD error = GetLastError();
  return error != NO_ERROR ? error : ERROR_INVALID_WINDOW_HANDLE;
}

void RunWindow(HWND window, HANDLE stopEvent) {
  if (!stopEvent) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return;
  }
  for (;;) {
    DWORD woken = MsgWaitForMultipleObjects(1, &stopEvent, FALSE, INFINITE, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0 && IsWindow(window)) DestroyWindow(window);
    if (!PumpMessages()) return;
  }
}

void ServiceContext::Report(DWORD state, DWORD exitCode, DWORD waitHintMs) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted =
      state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  status.dwWin32ExitCode = exitCode;
  bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
  status.dwCheckPoint = pending ? ++checkPoint_ : 0;
  status.dwWaitHint = pending ? waitHintMs : 0;
  SetServiceStatus(status_, &status);
}

void ServiceContext::ReportStarting(DWORD waitHintMs) { Report(SERVICE_START_PENDING, NO_ERROR, waitHintMs); }
void ServiceContext::ReportRunning() { Report(SERVICE_RUNNING, NO_ERROR, 0); }
void ServiceContext::ReportStopping(DWORD waitHintMs) { Report(SERVICE_STOP_PENDING, NO_ERROR, waitHintMs); }
void ServiceContext::ReportStopped(DWORD exitCode) { Report(SERVICE_STOPPED, exitCode, 0); }

bool RunAsService(const std::wstring& name, ServiceBody body) {
  g_service.name = name;
  g_service.body = std::move(body);
  SERVICE_TABLE_ENTRYW table[] = {{g_service.name.data(), ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) || g_service.entered;
}

bool StartServiceAndWaitRunning(const std::wstring& name, DWORD timeoutMs) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  ServiceHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_START | SERVICE_QUERY_STATUS));
  if (!service) return false;
  DWORD state = QueryState(service.Get());
  if (state == SERVICE_RUNNING) return true;
  if (state == SERVICE_STOPPED && !StartServiceW(service.Get(), 0, nullptr) &&
      GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
    return false;
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs;) {
    Sleep(kPollMs);
    state = QueryState(service.Get());
    if (state == SERVICE_RUNNING) return true;
    if (state == SERVICE_STOPPED || state == 0) return false;
  }
  return false;
}

bool StopServiceAndWaitStopped(SC_HANDLE service, DWORD timeoutMs) {
  DWORD state = QueryState(service);
  if (state == SERVICE_STOPPED) return true;
  if (state != SERVICE_STOP_PENDING) {
    SERVICE_STATUS status{};
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status) &&
        GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
      return false;
  }
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs;) {
    if (QueryState(service) == SERVICE_STOPPED) return true;
    Sleep(kPollMs);
  }
  return QueryState(service) == SERVICE_STOPPED;
}

bool StopServiceAndWaitStopped(const std::wstring& name, DWORD timeoutMs) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  ServiceHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS));
  return service && StopServiceAndWaitStopped(service.Get(), timeoutMs);
}

}  // namespace vantrel::sim
