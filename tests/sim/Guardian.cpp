// The simulated guardian: it starts the server beside it, as an application or as a service.
#include <windows.h>

#include "tests/sim/SimHost.h"

using namespace vantrel::sim;

namespace {

// One Firebird guardian serves both layouts: beside firebird.exe it guards that one.
Kind OwnKind() {
  if (!SIM_KIND_FIREBIRD) return Kind::InterBase;
  return KindOfBinFolder(OwnBinFolder()) == Kind::FirebirdRoot ? Kind::FirebirdRoot : Kind::Firebird;
}
const KindNames& kNames = NamesOf(OwnKind());
constexpr const wchar_t* kTitle = SIM_KIND_FIREBIRD ? L"Firebird Guardian" : L"InterBase Guardian";

// The server beside this executable, with "-a" and the installation root as working directory.
bool LaunchServerApplication() {
  std::wstring server = WithTrailingDelimiter(OwnBinFolder()) + std::wstring(kNames.serverExe);
  // The guardian of 3.0 and later tells its server that it is guarded (-n).
  std::wstring commandLine = L"\"" + server + L"\" -a" + (kNames.rootLayout ? L" -n" : L"");
  std::wstring root = OwnRootFolder();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(server.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      root.c_str(), &startup, &process))
    return false;
  UniqueHandle processHandle(process.hProcess);
  UniqueHandle threadHandle(process.hThread);
  return true;
}

int RunApplication() {
  InstanceClaim claim{std::wstring(kNames.guardianWindowClass)};
  if (!claim.Held()) return kExitAlreadyRunning;
  if (!LaunchServerApplication()) return kExitServerLaunchFailed;
  HWND window = CreateClassWindow(std::wstring(kNames.guardianWindowClass), kTitle);
  if (!window) return kExitWindowFailed;
  // Closing the guardian leaves its server running; the control panel closes the server itself.
  RunWindow(window);
  return kExitOk;
}

// The instance whose server service this guardian service starts.
std::wstring instance = L"DefaultInstance";

DWORD Guard(ServiceContext& context) {
  InstanceClaim claim{std::wstring(kNames.guardianWindowClass) + L"-" + instance};
  if (!claim.Held()) return ERROR_SERVICE_ALREADY_RUNNING;
  const std::wstring server = SIM_KIND_FIREBIRD ? L"FirebirdServer" + instance : std::wstring(kNames.serverService);
  if (!StartServiceAndWaitRunning(server, kServiceWaitMs)) return ERROR_SERVICE_DEPENDENCY_FAIL;
  JoinInteractiveDesktop();
  HWND window = CreateClassWindow(std::wstring(kNames.guardianWindowClass), kTitle);
  if (!window) {
    DWORD error = WindowFailure();
    StopServiceAndWaitStopped(server, kServiceWaitMs);
    return error;
  }
  context.ReportRunning();
  RunWindow(window, context.StopEvent());
  context.ReportStopping(kServiceWaitMs);
  StopServiceAndWaitStopped(server, kServiceWaitMs);
  return NO_ERROR;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (HasApplicationSwitch(argc, argv)) return RunApplication();
  instance = InstanceOption(argc, argv);
  const std::wstring service = SIM_KIND_FIREBIRD ? L"FirebirdGuardian" + instance : std::wstring(kNames.guardianService);
  return RunAsService(service, Guard) ? kExitOk : kExitNotAService;
}
