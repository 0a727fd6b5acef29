// The simulated database server: "-a" runs it as an application, otherwise the service manager runs
// it. "-s NAME" makes it instance NAME (service FirebirdServer<NAME>), which runs beside the others.
// "-attachments" keeps its window on WM_CLOSE, as a server whose attachment question is open.
#include <windows.h>

#include "tests/sim/SimHost.h"

using namespace vantrel::sim;

namespace {

constexpr Kind kKind = SIM_ROOT_LAYOUT ? Kind::FirebirdRoot : SIM_KIND_FIREBIRD ? Kind::Firebird : Kind::InterBase;
const KindNames& kNames = NamesOf(kKind);
constexpr const wchar_t* kTitle = SIM_KIND_FIREBIRD ? L"Firebird Server" : L"InterBase Server";

// Servers of other instances run beside this one; two of one instance do not.
std::wstring instance = L"DefaultInstance";

int RunApplication() {
  InstanceClaim claim{std::wstring(kNames.serverWindowClass) + L"-" + instance};
  if (!claim.Held()) return kExitAlreadyRunning;
  HWND window = CreateClassWindow(std::wstring(kNames.serverWindowClass), kTitle);
  if (!window) return kExitWindowFailed;
  RunWindow(window);
  return kExitOk;
}

DWORD Serve(ServiceContext& context) {
  InstanceClaim claim{std::wstring(kNames.serverWindowClass) + L"-" + instance};
  if (!claim.Held()) return ERROR_SERVICE_ALREADY_RUNNING;
  JoinInteractiveDesktop();
  HWND window = CreateClassWindow(std::wstring(kNames.serverWindowClass), kTitle);
  if (!window) return WindowFailure();
  context.ReportRunning();
  RunWindow(window, context.StopEvent());
  return NO_ERROR;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // "-attachments" (tests only): the server has open attachments and a question nobody answers.
  KeepWindowOnClose(HasSwitch(argc, argv, L"-attachments"));
  instance = InstanceOption(argc, argv);
  if (HasApplicationSwitch(argc, argv)) return RunApplication();
  const std::wstring service = SIM_KIND_FIREBIRD ? L"FirebirdServer" + instance : std::wstring(kNames.serverService);
  return RunAsService(service, Serve) ? kExitOk : kExitNotAService;
}
