// A Windows service whose behaviour the service-control tests choose on its command line:
//   vantrel_test_service.exe <service name> normal         starts at once, stops on request
//   vantrel_test_service.exe <service name> slowstart <ms> stays start-pending for <ms> first
//   vantrel_test_service.exe <service name> nostop         runs and refuses stop requests
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr DWORD PendingStepMs = 250;

std::wstring serviceName;
std::wstring mode;
DWORD slowStartMs = 0;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;
DWORD checkPoint = 0;

DWORD AcceptedControls() { return mode == L"nostop" ? 0 : SERVICE_ACCEPT_STOP; }

void Report(DWORD state, DWORD waitHint = 0) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_STOPPED ? 0 : AcceptedControls();
  status.dwWin32ExitCode = NO_ERROR;
  status.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : ++checkPoint;
  status.dwWaitHint = waitHint;
  SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      Report(SERVICE_STOP_PENDING, 2000);
      SetEvent(stopRequested);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  statusHandle = RegisterServiceCtrlHandlerExW(serviceName.c_str(), Control, nullptr);
  if (!statusHandle) return;
  Report(SERVICE_START_PENDING, 2000);
  bool stopped = false;
  for (DWORD waited = 0; waited < slowStartMs && !stopped; waited += PendingStepMs) {
    Report(SERVICE_START_PENDING, 2000);
    stopped = WaitForSingleObject(stopRequested, PendingStepMs) == WAIT_OBJECT_0;
  }
  if (!stopped) {
    Report(SERVICE_RUNNING);
    WaitForSingleObject(stopRequested, INFINITE);
  }
  Report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  serviceName = argv[1];
  mode = argv[2];
  if (mode == L"slowstart" && argc > 3) slowStartMs = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
  stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SERVICE_TABLE_ENTRYW table[] = {{serviceName.data(), ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
