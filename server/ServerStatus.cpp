// Server status and start/stop: what the start page, the tray icon and its menu show, and
// how the server is started and stopped as services or as applications.
#include <functional>

#include "app/ControlIds.h"
#include "app/Controls.h"
#include "app/uSingleInst.h"
#include "shell/Files.h"
#include "app/fMain.h"
#include "resources/Texts.h"
#include "shell/Application.h"
#include "shell/OsError.h"

namespace vantrel {
namespace {

constexpr unsigned kPollStep = 100;
constexpr std::uint32_t kApplicationWait = 10000;
constexpr std::uint32_t kNtStopWait = 21000;

// Sleeps first, then checks; ends when the condition holds or the limit has passed.
void WaitUntil(ISystemProbes& probes, std::uint32_t limit, const std::function<bool()>& done) {
  const std::uint32_t start = probes.TickCount();
  for (;;) {
    probes.Sleep(kPollStep);
    if (done()) return;
    if (static_cast<std::uint32_t>(probes.TickCount() - start) > limit) return;
  }
}

}  // namespace

bool TfrmMain::ServerWindowExists() { return platform_.probes.WindowClassExists(ServerWindowClass); }
bool TfrmMain::GuardianWindowExists() { return platform_.probes.WindowClassExists(GuardianWindowClass); }

bool TfrmMain::ServerServiceRunning() {
  return platform_.probes.IsWindowsNT() &&
         platform_.services.QueryServiceState(ServerServiceName) == ServiceRunning;
}

bool TfrmMain::GuardianServiceRunning() {
  return platform_.probes.IsWindowsNT() &&
         platform_.services.QueryServiceState(GuardianServiceName) == ServiceRunning;
}

bool TfrmMain::CanAdminister() {
  return platform_.probes.IsWindowsNT() ? platform_.services.CanControlServices() : true;
}

void TfrmMain::RefreshServerState() {
  bool running = false;

  std::wstring guardianState;
  if (!GuardianAvailable) {
    guardianState = txt::NotInstalled;
  } else if (GuardianWindowExists()) {
    running = true;
    guardianState = GuardianServiceRunning() ? txt::RunsAsService : txt::RunsAsApplication;
  } else {
    const ServiceSetup setup = platform_.services.QueryServiceSetup(GuardianServiceName);
    if (setup.Running) {
      running = true;
      guardianState = txt::RunsAsService;
    } else {
      guardianState = setup.Enabled ? txt::Stopped : txt::Disabled;
    }
  }
  ui::UpdateText(lblGuardianState, guardianState);

  std::wstring serverState;
  if (ServerFound) {
    if (ServerWindowExists()) {
      running = true;
      serverState = ServerServiceRunning() ? txt::RunsAsService : txt::RunsAsApplication;
    } else if (ServerServiceRunning()) {
      serverState = txt::RunsAsService;
    } else {
      serverState = txt::Stopped;
    }
    ui::UpdateText(btnStartStop, running ? txt::ButtonStop : txt::ButtonStart);
  } else {
    ui::UpdateText(btnStartStop, txt::ButtonVoid);
    serverState = txt::NotInstalled;
  }
  ui::UpdateText(lblServerState, serverState);

  Running = running;
  const bool admin = CanAdminister();
  acStopServer.enabled = admin && running;
  acStartServer.enabled = admin && !running;
  UpdateTrayIcon(running ? RunningIcon : StoppedIcon, txt::TooltipPrefix + serverState);
}

void TfrmMain::StartServer() {
  if (platform_.probes.IsWindowsNT())
    StartServerNT();
  else
    StartApplication();
}

void TfrmMain::StartServerNT() {
  if (!ui::IsChecked(cbxService)) {
    StartApplication();
    return;
  }
  const bool viaGuardian = GuardianAvailable && ui::IsChecked(cbxGuardian);
  platform_.services.StartServiceAndWait(viaGuardian ? GuardianServiceName : ServerServiceName);
  StartDependents();
}

void TfrmMain::StartApplication() {
  const bool viaGuardian = GuardianAvailable && ui::IsChecked(cbxGuardian);
  const std::wstring& program = viaGuardian ? Installation.guardianExe : Installation.serverExe;
  std::uint32_t error = 0;
  if (!platform_.launcher.ShellOpen(program, L"-a", Installation.rootDir, SW_SHOWNORMAL, error)) {
    platform_.dialogs.ShowError(SystemErrorText(error));
    return;
  }
  WaitUntil(platform_.probes, kApplicationWait, [this] { return ServerWindowExists(); });
}

void TfrmMain::StartDependents() {
  TServiceList inactive;
  platform_.services.ListDependentServices(ServerServiceName, false, inactive);
  if (inactive.Count() == 0) return;
  if (platform_.dialogs.AskConfirmation(FormatText(txt::StartDependentsFmt, inactive.DisplayNames())) !=
      AnswerYes)
    return;
  for (std::size_t i = 0; i < inactive.Count(); ++i)
    platform_.services.StartServiceAndWait(inactive[i].ServiceName);
}

void TfrmMain::StopServer() {
  if (platform_.probes.IsWindowsNT())
    StopServerNT();
  else
    CloseApplications();
}

void TfrmMain::StopServerNT() {
  if (!StopDependents()) return;
  auto stopProcess = [this](const std::wstring& service, std::function<bool()> windowExists,
                            std::function<bool()> serviceRunning) {
    if (!windowExists() && !serviceRunning()) return;
    if (serviceRunning())
      platform_.services.StopServiceAndWait(service);
    else
      CloseApplications();
    ShowHourglass();
    WaitUntil(platform_.probes, kNtStopWait,
              [&] { return !windowExists() && !serviceRunning(); });
    ShowDefaultCursor();
  };
  stopProcess(GuardianServiceName, [this] { return GuardianWindowExists(); },
              [this] { return GuardianServiceRunning(); });
  stopProcess(ServerServiceName, [this] { return ServerWindowExists(); },
              [this] { return ServerServiceRunning(); });
}

void TfrmMain::CloseApplications() {
  if (platform_.probes.PostCloseToWindowClass(GuardianWindowClass))
    WaitUntil(platform_.probes, kApplicationWait, [this] { return !GuardianWindowExists(); });
  if (platform_.probes.PostCloseToWindowClass(ServerWindowClass))
    WaitUntil(platform_.probes, kApplicationWait, [this] { return !ServerWindowExists(); });
}

bool TfrmMain::StopDependents() {
  TServiceList active;
  platform_.services.ListDependentServices(ServerServiceName, true, active);
  if (active.Count() == 0) return true;
  if (platform_.dialogs.AskConfirmation(FormatText(txt::StopDependentsFmt, active.DisplayNames())) !=
      AnswerYes)
    return false;
  for (std::size_t i = 0; i < active.Count(); ++i)
    platform_.services.StopServiceAndWait(active[i].ServiceName);
  active.Clear();
  platform_.services.ListDependentServices(ServerServiceName, true, active);
  return active.Count() == 0;
}

// A server with open attachments asks on its own window before it ends; until someone answers
// there its window stays, and the user is told so rather than left with a silent button.
void TfrmMain::StopServerAndReport() {
  StopServer();
  if (ServerWindowExists() && !ServerServiceRunning()) platform_.dialogs.ShowError(txt::ServerDidNotStop);
}

void TfrmMain::OfferElevation(bool offer) {
  elevationOffered_ = offer;
  ui::Show(btnRestartElevated, offer);
  // In the tray menu the restart takes the place of the start and stop items it cannot use.
  for (UINT id : {idMenuStartServer, idMenuStopServer, idMenuRestartElevated})
    DeleteMenu(pmSysTray, id, MF_BYCOMMAND);
  constexpr UINT kServerItemsAt = 2;  // after "open" and its separator
  if (offer) {
    InsertMenuW(pmSysTray, kServerItemsAt, MF_BYPOSITION | MF_STRING, idMenuRestartElevated,
                acRestartElevated.caption.c_str());
    return;
  }
  InsertMenuW(pmSysTray, kServerItemsAt, MF_BYPOSITION | MF_STRING, idMenuStartServer, acStartServer.caption.c_str());
  InsertMenuW(pmSysTray, kServerItemsAt + 1, MF_BYPOSITION | MF_STRING, idMenuStopServer,
              acStopServer.caption.c_str());
}

// The new instance waits for this one to end (hand-over parameter) and keeps it hidden in the
// tray when it is; this one ends for real only once the start succeeded. A refused prompt is no
// error.
void TfrmMain::acRestartElevatedExecute() {
  const std::wstring parameters =
      std::wstring(IsWindowVisible(hwnd_) ? L"" : L"-tray ") + HandOverParameter(GetCurrentProcessId());
  std::uint32_t error = 0;
  if (!platform_.launcher.RunElevated(ProgramFilePath(), parameters, error)) {
    if (error != ERROR_CANCELLED) platform_.dialogs.ShowError(SystemErrorText(error));
    return;
  }
  acCloseCPAExecute();
}

void TfrmMain::btnStartStopClick() {
  if (ServerWindowExists() || ServerServiceRunning()) {
    StopServerAndReport();
    return;
  }
  if (ui::IsEnabled(btnApply)) ApplySettings(false);
  if (!ServerWindowExists() && !ServerServiceRunning()) StartServer();
}

}  // namespace vantrel
