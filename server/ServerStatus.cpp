// Server status and start/stop: what the start page, the tray icon and its menu show, and
// how the server is started and stopped as services or as applications.
#include <functional>

#include "resources/Texts.h"
#include "server/StartPage.h"
#include "server/rules/Instances.h"
#include "shell/Application.h"
#include "shell/Busy.h"
#include "shell/Controls.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"
#include "shell/rules/TextRules.h"

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

// Only the chosen installation's programs count: every server's window has the same class.
bool TStartPage::ServerWindowExists() {
  return Sys().probes.ProgramWindowExists(Installation().serverWindowClass, Installation().rootDir);
}
bool TStartPage::GuardianWindowExists() {
  return Sys().probes.ProgramWindowExists(Installation().guardianWindowClass, Installation().rootDir);
}

bool TStartPage::ServerServiceRunning() {
  return Sys().probes.IsWindowsNT() &&
         Sys().services.QueryServiceState(Installation().serverServiceName) == ServiceRunning;
}

bool TStartPage::GuardianServiceRunning() {
  return Sys().probes.IsWindowsNT() &&
         Sys().services.QueryServiceState(Installation().guardianServiceName) == ServiceRunning;
}

bool TStartPage::CanAdminister() {
  return Sys().probes.IsWindowsNT() ? Sys().services.CanControlServices() : true;
}

void TStartPage::RefreshServerState() {
  bool running = false;

  std::wstring guardianState;
  if (!guardianAvailable_) {
    guardianState = txt::NotInstalled;
  } else if (GuardianWindowExists()) {
    running = true;
    guardianState = GuardianServiceRunning() ? txt::RunsAsService : txt::RunsAsApplication;
  } else {
    const ServiceSetup setup = Sys().services.QueryServiceSetup(Installation().guardianServiceName);
    if (setup.Running) {
      running = true;
      guardianState = txt::RunsAsService;
    } else {
      guardianState = setup.Enabled ? txt::Stopped : txt::Disabled;
    }
  }
  shownGuardianState_.Show(lblGuardianState, guardianState);

  std::wstring serverState;
  if (Installation().Found()) {
    if (ServerWindowExists()) {
      running = true;
      serverState = ServerServiceRunning() ? txt::RunsAsService : txt::RunsAsApplication;
    } else if (ServerServiceRunning()) {
      serverState = txt::RunsAsService;
    } else {
      serverState = txt::Stopped;
    }
    shownStartStop_.Show(btnStartStop, running ? txt::ButtonStop : txt::ButtonStart);
  } else {
    shownStartStop_.Show(btnStartStop, txt::ButtonVoid);
    serverState = txt::NotInstalled;
  }
  shownServerState_.Show(lblServerState, serverState);

  running_ = running;
  const bool admin = CanAdminister();
  acStopServer.enabled = admin && running;
  acStartServer.enabled = admin && !running;
  // With several installations the tooltip says which one it speaks of.
  std::wstring which;
  if (installationLabels_.size() > 1)
    which = (Installation().instanceName.empty() ? Installation().rootDir : Installation().instanceName) + L"\r\n";
  stateToolTip_ = txt::TooltipPrefix + which + serverState;
  TellState();
  if (attachments_) attachments_->Follow(running, IsWindowVisible(host_.Window()) != FALSE);
}

// The tray's tooltip: the state, and who is connected while that is known.
void TStartPage::TellState() {
  if (!onStateShown || stateToolTip_.empty()) return;
  std::wstring toolTip = stateToolTip_;
  if (running_ && !attachmentsValue_.empty()) toolTip += L"\r\n" + attachmentsValue_;
  onStateShown(running_, toolTip);
}

void TStartPage::StartServer() {
  if (Sys().probes.IsWindowsNT())
    StartServerNT();
  else
    StartApplication();
}

void TStartPage::StartServerNT() {
  // An installation without services of its own ("installed but not configured") runs as an
  // application whatever the box says.
  if (!choice_.service || Installation().serverServiceName.empty()) {
    StartApplication();
    return;
  }
  const bool viaGuardian = guardianAvailable_ && choice_.guardian;
  Sys().services.StartServiceAndWait(viaGuardian ? Installation().guardianServiceName : Installation().serverServiceName);
  StartDependents();
}

// One application-mode guardian runs per desktop, and a guardian adopts whatever server window
// it finds: started beside another installation's server or guardian it would drive that one.
bool TStartPage::OtherInstallationBlocksGuardian() {
  const TInstallation& own = Installation();
  return (Sys().probes.WindowClassExists(own.guardianWindowClass) && !GuardianWindowExists()) ||
         (Sys().probes.WindowClassExists(own.serverWindowClass) && !ServerWindowExists());
}

void TStartPage::StartApplication() {
  const bool viaGuardian = guardianAvailable_ && choice_.guardian;
  if (viaGuardian && OtherInstallationBlocksGuardian()) {
    Sys().dialogs.ShowError(txt::OtherGuardianRuns);
    return;
  }
  const std::wstring& program = viaGuardian ? Installation().guardianExe : Installation().serverExe;
  // A named instance runs under its name in application mode too; the guardian has no such
  // option (it starts its server as the default instance).
  std::wstring parameters = L"-a";
  const std::wstring& instance = Installation().instanceName;
  if (!viaGuardian && !instance.empty() && instance != kDefaultInstanceName)
    parameters += L" -s " + (instance.find(L' ') != std::wstring::npos ? L"\"" + instance + L"\"" : instance);
  std::uint32_t error = 0;
  if (!Sys().launcher.ShellOpen(program, parameters, Installation().rootDir, SW_SHOWNORMAL, error)) {
    Sys().dialogs.ShowError(SystemErrorText(error));
    return;
  }
  WaitUntil(Sys().probes, kApplicationWait, [this] { return ServerWindowExists(); });
}

void TStartPage::StartDependents() {
  TServiceList inactive;
  Sys().services.ListDependentServices(Installation().serverServiceName, false, inactive);
  if (inactive.Count() == 0) return;
  if (Sys().dialogs.AskConfirmation(FormatText(txt::StartDependentsFmt, inactive.DisplayNames())) !=
      AnswerYes)
    return;
  for (std::size_t i = 0; i < inactive.Count(); ++i)
    Sys().services.StartServiceAndWait(inactive[i].ServiceName);
}

bool TStartPage::StopServer() {
  const bool runs = ServerWindowExists() || ServerServiceRunning();
  if (runs && attachments_ && !attachments_->MayStop()) return false;
  if (Sys().probes.IsWindowsNT())
    StopServerNT();
  else
    CloseApplications();
  return true;
}

void TStartPage::StopServerNT() {
  if (!StopDependents()) return;
  auto stopProcess = [this](const std::wstring& service, std::function<bool()> windowExists,
                            std::function<bool()> serviceRunning) {
    if (!windowExists() && !serviceRunning()) return;
    if (serviceRunning())
      Sys().services.StopServiceAndWait(service);
    else
      CloseApplications();
    TCursorGuard hourglass;
    WaitUntil(Sys().probes, kNtStopWait, [&] { return !windowExists() && !serviceRunning(); });
  };
  stopProcess(Installation().guardianServiceName, [this] { return GuardianWindowExists(); },
              [this] { return GuardianServiceRunning(); });
  stopProcess(Installation().serverServiceName, [this] { return ServerWindowExists(); },
              [this] { return ServerServiceRunning(); });
}

void TStartPage::CloseApplications() {
  if (Sys().probes.PostCloseToProgramWindows(Installation().guardianWindowClass, Installation().rootDir))
    WaitUntil(Sys().probes, kApplicationWait, [this] { return !GuardianWindowExists(); });
  if (Sys().probes.PostCloseToProgramWindows(Installation().serverWindowClass, Installation().rootDir))
    WaitUntil(Sys().probes, kApplicationWait, [this] { return !ServerWindowExists(); });
}

bool TStartPage::StopDependents() {
  TServiceList active;
  Sys().services.ListDependentServices(Installation().serverServiceName, true, active);
  if (active.Count() == 0) return true;
  if (Sys().dialogs.AskConfirmation(FormatText(txt::StopDependentsFmt, active.DisplayNames())) !=
      AnswerYes)
    return false;
  for (std::size_t i = 0; i < active.Count(); ++i)
    Sys().services.StopServiceAndWait(active[i].ServiceName);
  active.Clear();
  Sys().services.ListDependentServices(Installation().serverServiceName, true, active);
  return active.Count() == 0;
}

// A server with open attachments asks on its own window before it ends; until someone answers
// there its window stays, and the user is told so rather than left with a silent button.
void TStartPage::StopServerAndReport() {
  if (!StopServer()) return;
  if (ServerWindowExists() && !ServerServiceRunning()) Sys().dialogs.ShowError(txt::ServerDidNotStop);
}

void TStartPage::btnStartStopClick() {
  if (ApplicationBusy()) return;  // a click that came while the last action waited
  if (ServerWindowExists() || ServerServiceRunning()) {
    RunAlone([this] { StopServerAndReport(); });
    return;
  }
  if (host_.ChangesPending()) host_.ApplySettings(false);
  if (!ServerWindowExists() && !ServerServiceRunning()) RunAlone([this] { StartServer(); });
}

// The page's own controls wait with the action; what they were before comes back afterwards.
void TStartPage::RunAlone(const std::function<void()>& action) {
  if (ApplicationBusy()) return;
  TBusyScope busy;
  std::vector<std::pair<HWND, bool>> held;
  for (HWND control : {btnStartStop, cbxAutostart, cbxService, cbxGuardian})
    if (control) {
      held.emplace_back(control, ui::IsEnabled(control));
      ui::Enable(control, false);
    }
  struct TRelease {
    std::vector<std::pair<HWND, bool>>& held;
    ~TRelease() {
      for (const auto& [control, enabled] : held) ui::Enable(control, enabled);
    }
  } release{held};
  action();
}

}  // namespace vantrel
