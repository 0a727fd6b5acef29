#include "app/fMain.h"

#include <commctrl.h>

#include <algorithm>

#include "aliases/AliasTexts.h"
#include "app/Application.h"
#include "resources/Texts.h"
#include "server/Discovery.h"
#include "server/FB_Consts.h"
#include "server/StartupSettings.h"
#include "server/rules/Instances.h"
#include "server/uFileVersion.h"
#include "shell/Busy.h"
#include "shell/ControlIds.h"
#include "shell/Controls.h"
#include "shell/Dpi.h"
#include "shell/Files.h"
#include "shell/Messages.h"
#include "shell/OsError.h"
#include "shell/Registry.h"
#include "shell/TextConv.h"
#include "shell/Window.h"
#include "shell/rules/TextRules.h"
#include "shell/uConfig.h"

namespace vantrel {
namespace {

// The window's geometry: a fixed client area holding the page control and the button row.
namespace layout {
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 213;
constexpr ui::Rect kPageControl{4, 4, 412, 172};
constexpr ui::Rect kOk{180, 183, 75, 25};
constexpr ui::Rect kCancel{260, 183, 75, 25};
constexpr ui::Rect kApply{340, 183, 75, 25};
}  // namespace layout

constexpr wchar_t kMainWindowClass[] = L"TfrmMain";
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kMainExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusInterval = 1000;
// Hidden, with every change of the services and the server's windows told by the system, only
// the connections are still asked for: at a third of their own period, so none comes late.
constexpr UINT kHiddenFollowedInterval = TAttachmentsSchedule::kHiddenPeriodMs / 3;
// Timer messages are taken only when no window of the thread needs painting, so this one fires
// once the first paint is on screen.
constexpr UINT_PTR kAfterFirstPaintTimer = 2;
const wchar_t* const kInstallKey = L"\\Software\\Quelmark\\Vantrel";

TfrmMain* mainForm = nullptr;  // the target of the application-wide message hook

bool MainFormAppMessage(UINT message) { return mainForm && mainForm->AppMessage(message); }

BYTE CurrentModifiers() {
  BYTE m = 0;
  if (GetKeyState(VK_MENU) < 0) m |= FALT;
  if (GetKeyState(VK_CONTROL) < 0) m |= FCONTROL;
  if (GetKeyState(VK_SHIFT) < 0) m |= FSHIFT;
  return m;
}

// Where the program runs from, for the installer and the tools that look for it; kept only when it
// changed.
void RecordInstallFolder() {
  std::wstring folder = ProgramFolder();
  std::wstring stored;
  if (RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, kInstallKey, KEY_READ)) stored = key.ReadString(L"InstallDir").value_or(L"");
  if (SameFolder(stored, folder)) return;
  // Without administrator rights the key cannot be opened for writing; that is fine.
  if (RegKey key = RegKey::Create(HKEY_LOCAL_MACHINE, kInstallKey)) key.WriteString(L"InstallDir", folder);
}

}  // namespace

TfrmMain::TfrmMain(HINSTANCE instance, Platform& platform, std::vector<std::wstring> parameters,
                   InstanceMessages messages)
    : instance_(instance), platform_(platform), parameters_(std::move(parameters)), messages_(messages),
      start_(*this), enhanced_(*this, start_), alias_(*this, aliasFile_), tools_(*this), about_(*this),
      tunnel_(*this, aliasFile_.Settings()), socket_(*this, aliasFile_, tunnel_),
      attachments_([this] { return TAttachmentsWatch::QueryFor(installation_, tunnel_.AdminLogin()); },
                   [this](const TAttachmentsWatch::TView& view) { start_.ShowAttachments(view.value, view.detail); },
                   [this]() -> IDialogs& { return platform_.dialogs; }) {
  tabs_.SetVisible(tabAbout, false, Dpi());  // the about page is never shown
  ConnectPages();
  CreateWindowAndControls();
  FormCreate();
  SetTimer(hwnd_, kAfterFirstPaintTimer, USER_TIMER_MINIMUM, nullptr);
}

TfrmMain::~TfrmMain() {
  SetBusyChanged({});
  if (startedUp_) {  // nothing told may reach a window that is gone
    platform_.services.Follow({}, {});
    platform_.probes.FollowWindows({}, {});
  }
  socket_.CloseListener();  // joins the connection threads while the window they work on exists
  if (mainForm == this) {
    mainForm = nullptr;
    ApplicationMessageHook = nullptr;
  }
  DestroyOwnedWindow(hwnd_);
  for (HICON icon : {smallIcon_, largeIcon_})
    if (icon) DestroyIcon(icon);
}

// ---------------------------------------------------------------------------------------------
// Creation

void TfrmMain::OnBusyChanged(bool busy) {
  ui::Enable(btnOk, !busy);
  ui::Enable(btnApply, !busy && pending_);
  for (UINT id : {idMenuStartServer, idMenuStopServer})
    if (busy) EnableMenuItem(TrayMenu(), id, MF_BYCOMMAND | MF_GRAYED);
  if (busy) return;
  ActionListUpdate();
  if (closeAfterWait_) {
    closeAfterWait_ = false;
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
  }
}

void TfrmMain::ConnectPages() {
  SetBusyChanged([this](bool busy) { OnBusyChanged(busy); });
  start_.onStateShown = [this](bool running, const std::wstring& toolTip) {
    tray_.Show(running, toolTip);
  };
  start_.SetAttachmentsSource(&attachments_);
  start_.onElevationOffered = [this](bool offered) {
    tray_.ShowServerItems(offered, start_.acStartServer, start_.acStopServer, start_.acRestartElevated);
  };
  start_.onInstallationChosen = [this](std::size_t index) { return ChooseInstallation(index); };
  enhanced_.onRootChanged = [this] {
    DiscoverInstallation();
    FormShow();
  };
  enhanced_.onShowTrayIconChanged = [this](bool show) {
    tray_.SetActive(show);
    Config().SetShowTrayIcon(show);
  };
  // A setting changed by a load counts as a pending change, as one changed by the user does.
  aliasFile_.Settings().changed = [this](bool pending) {
    tunnel_.ShowSettings();
    socket_.ShowSettings();
    if (pending) AnyChangeToSettings();
  };
}

void TfrmMain::MakeIcons() {
  for (HICON icon : {smallIcon_, largeIcon_})
    if (icon) DestroyIcon(icon);
  smallIcon_ = dpi::LoadSmallIcon(instance_, L"MAINICON", Dpi());
  largeIcon_ = dpi::LoadLargeIcon(instance_, L"MAINICON", Dpi());
  tray_.MakeStateIcons();
  if (hwnd_) {
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
  }
}

void TfrmMain::CreateWindowAndControls() {
  RegisterWindowClassFor<TfrmMain>(
      {kMainWindowClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), LoadIconW(instance_, L"MAINICON")});
  hwnd_ = CreateOwnedWindow(kMainWindowClass, this, kMainExStyle, txt::AppTitle, kMainStyle, dpi::FrameAround(layout::kClientWidth, layout::kClientHeight, kMainStyle, kMainExStyle, Dpi()),
                            ApplicationHandle());
  MakeIcons();

  tabs_.Create(hwnd_, idPageControl, layout::kPageControl, Font(false), Dpi());

  btnOk = ui::Button(hwnd_, idOk, txt::Ok, layout::kOk, Font(false));
  btnCancel = ui::Button(hwnd_, idCancel, txt::CancelDesign, layout::kCancel, Font(false), BS_DEFPUSHBUTTON);
  btnApply = ui::Button(hwnd_, idApply, txt::Apply, layout::kApply, Font(false));
  ui::Enable(btnApply, pending_);
  acOpenCPA.Bind(txt::OpenCPA, idMenuOpenCPA, [this] { acOpenCPAExecute(); });
  acCloseCPA.Bind(txt::CloseCPA, idMenuCloseCPA, [this] { acCloseCPAExecute(); });
  acAliasManager.Bind(txt::AliasManager, idMenuAliasManager, [this] { acAliasManagerExecute(); });
  acConfigTools.Bind(txt::ConfigTools, idMenuConfigTools, [this] { acConfigToolsExecute(); });
  tools_.SetTrayMenu(
      tray_.BuildMenu({acOpenCPA, start_.acStartServer, start_.acStopServer, acAliasManager, acConfigTools}),
      idMenuCloseCPA, acCloseCPA.caption);
  tabs_.Rebuild(Dpi());
  // The client area is the design's, whatever frame the system draws around it (a frame that does
  // not follow the DPI, as under Wine, may be off by a few pixels).
  dpi::FitClientArea(hwnd_, layout::kClientWidth, layout::kClientHeight, Dpi());
  dpi::CentreOver(hwnd_, nullptr);
  if (const UINT actual = dpi::ForWindow(hwnd_); actual != Dpi()) ChangeDpi(actual, nullptr);
}

// Moved to a monitor of another DPI, or the scaling changed: everything is laid out again from
// its design units, with fonts and icons made for the new DPI. suggested: the rectangle Windows
// proposes (taking it avoids a loop of DPI changes); none: the window keeps its place.
void TfrmMain::ChangeDpi(UINT dpi, const RECT* suggested) {
  fonts_.Rescale(hwnd_, dpi);
  MakeIcons();
  if (suggested) {
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  dpi::FitClientArea(hwnd_, layout::kClientWidth, layout::kClientHeight, Dpi());
  tabs_.Rebuild(Dpi());
}

// ---------------------------------------------------------------------------------------------
// Start-up

void TfrmMain::FormCreate() {
  if (!CreateMutexW(nullptr, FALSE, L"vantrel_app")) RaiseLastOSError();  // kept until exit
  // No message catalogue belongs to the program, so translation leaves every text as designed.
  const std::wstring firstParameter = parameters_.empty() ? std::wstring() : parameters_[0];
  CheckPreviousInstance(txt::AppTitle, txt::AppTitle, firstParameter, messages_);
  QuitRequested = false;
  mainForm = this;
  ApplicationMessageHook = MainFormAppMessage;

  if (parameters_.empty()) {
    enhanced_.SetShowTrayIcon(Config().ShowTrayIcon());
  } else {
    enhanced_.SetShowTrayIcon(true);
    if (ParameterHasSwitch(parameters_[0], L"-tray")) {
      tray_.SetActive(true);
      showAtStart_ = false;
    }
  }
  ApplyStoredWindowPosition();

  if (enhanced_.ShowTrayIcon()) showAtStart_ = false;
  tools_.AddDefaultTool();
  tools_.RebuildTrayToolsMenu();

  DiscoverInstallation();
}

// What the first paint does not show: the notification-area icon, the dependent services, the
// alias file, the command server and the pages not in view. Each fills in where it belongs, so
// nothing on screen changes but what was still to come.
void TfrmMain::FinishStartUp() {
  if (startedUp_ || QuitRequested) return;
  startedUp_ = true;
  tray_.CreateIcon(hwnd_, [this] { acOpenCPAExecute(); });
  RecordInstallFolder();
  FollowInstallation();
  tunnel_.LoadAdminLogin();
  socket_.SocketErrors.clear();
  socket_.FillIPList();
  socket_.StartSocketServer();
  CreateAllPages();
}

// Only the place is taken: the size follows the DPI of the monitor the window lands on, which
// may differ from the one it had when the position was stored.
void TfrmMain::ApplyStoredWindowPosition() {
  const RECT r = Config().GetWinPos();
  if (r.left > 0 && r.right > r.left && r.top > 0 && r.bottom > r.top)
    SetWindowPos(hwnd_, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (const UINT actual = dpi::ForWindow(hwnd_); actual != Dpi()) ChangeDpi(actual, nullptr);
}

// A start-up failure is shown; the program ends when its message loop takes the quit request.
void TfrmMain::FailStartUp(const std::wstring& message) {
  platform_.dialogs.ShowError(message);
  QuitRequested = true;
  PostQuitMessage(1);
}

void TfrmMain::SetInstallation(TInstallation found) {
  installation_ = std::move(found);
  RootDir = installation_.rootDir;
  BinDir = installation_.programDir;
  ServerExePath = installation_.serverExe;
  GuardianExePath = installation_.guardianExe;
  ServerWindowClass = installation_.serverWindowClass;
  GuardianWindowClass = installation_.guardianWindowClass;
  ServerServiceName = installation_.serverServiceName;
  GuardianServiceName = installation_.guardianServiceName;
  ServerFound = installation_.Found();
}

void TfrmMain::DiscoverInstallation() {
  SetActivePage(tabStartup);
  ui::SetText(hwnd_, ApplicationTitle());
  about_.SetTitle(VersionText(ProgramFilePath()));
  aliasFile_.Settings().SetDefaultPath(ToAnsi(IncludeTrailingDelimiter(ProgramFolder()) + L"Data\\"));

  const TOneLook look(platform_.services);  // the listing answers for the services it read
  const std::wstring root = ReadRootDirectory();
  installations_ = DiscoverInstallations(platform_.services, root);
  if (!installations_.empty()) {
    std::vector<std::wstring> roots;
    std::vector<bool> isDefault;
    for (const TInstallation& found : installations_) {
      roots.push_back(found.rootDir);
      isDefault.push_back(found.isDefaultRegistration);
    }
    UseInstallation(ChooseInstance(roots, isDefault, Config().ChosenInstallation()));
    return;
  }
  // Nothing usable anywhere: the registration tells what is wrong, as it always did.
  if (root.empty()) FailStartUp(txt::NoRegistryEntry);
  if (!DirectoryExists(root)) FailStartUp(txt::PathNotFound + root);
  SetInstallation(InstallationIn(root));
  SetServerKind(installation_.kind);
  enhanced_.ShowRootDirectory(root, installation_.kind != skFirebird);
  if (!ServerFound) FailStartUp(txt::ServerNotFound);
  ShowInstallation();
}

// The pages take the installation in use: its state, startup settings and alias file.
void TfrmMain::ShowInstallation() {
  start_.InstallationFound(GuardianIsAvailable(platform_, installation_));
  GuardianAvailable = start_.GuardianAvailable();
  start_.EnableControls();
  if (startedUp_) FollowInstallation();
  SetTimerEnabled(true);
  ShowDefaultCursor();
}

// What is not needed to show the status: at the start it comes after the first paint.
void TfrmMain::FollowInstallation() {
  // A change of either service's state or of the server's windows shows at once; the timer
  // asks only for what is not told.
  auto changed = [this] { StatusTold(); };
  platform_.services.Follow({installation_.serverServiceName, installation_.guardianServiceName}, changed);
  windowsFollowed_ =
      platform_.probes.FollowWindows({installation_.serverWindowClass, installation_.guardianWindowClass}, changed);
  start_.ShowDependentServices();
  LoadAliasFile();
}

// Every page, the tray icon and the command server follow the installation in use.
void TfrmMain::UseInstallation(std::size_t index) {
  SetInstallation(installations_[index]);
  SetServerKind(installation_.kind);
  enhanced_.ShowRootDirectory(installation_.rootDir, installation_.kind != skFirebird);
  std::vector<std::wstring> labels;
  for (const TInstallation& found : installations_)
    labels.push_back(InstanceLabel(VersionText(found.serverExe), found.instanceName, found.portText, found.rootDir));
  start_.ShowInstallations(std::move(labels), index, InstanceWarningText(installations_));
  ShowInstallation();
}

// Pending changes belong to the installation they were made for: applied, discarded or the user
// stays where they are.
bool TfrmMain::ChooseInstallation(std::size_t index) {
  if (index >= installations_.size() || ApplicationBusy()) return false;
  if (ChangesPending()) {
    if (platform_.dialogs.AskConfirmation(txt::ApplyBeforeSwitch) == AnswerYes) {
      // Written, but nothing started: the server a start would bring up is the one being left.
      ApplyChanges(false, /*mayStart=*/false);
      if (ChangesPending()) return false;  // the alias file could not be written
    } else if (platform_.dialogs.AskConfirmation(txt::DiscardBeforeSwitch) == AnswerYes) {
      tunnel_.ShowAdminLogin();
      aliasFile_.DiscardEdits();
    } else {
      return false;
    }
  }
  // The choice is kept only once the switch is made; a failed one leaves the previous in use.
  const std::size_t previous = start_.ChosenInstallation();
  try {
    UseInstallation(index);
  } catch (...) {
    const std::wstring reason = CaughtErrorText();
    if (previous < installations_.size() && previous != index) UseInstallation(previous);
    platform_.dialogs.ShowError(reason);
    return false;
  }
  Config().SetChosenInstallation(installations_[index].rootDir);
  if (alias_.Created()) alias_.RefreshAliasList();
  FormShow();
  return true;
}

void TfrmMain::LoadAliasFile() { SetPageVisible(tabAlias, aliasFile_.Load(installation_.aliasFile)); }

// ---------------------------------------------------------------------------------------------
// Pages

TPage& TfrmMain::Page(PageId id) {
  switch (id) {
    case tabStartup: return start_;
    case tabEnhanced: return enhanced_;
    case tabAlias: return alias_;
    case tabTools: return tools_;
    case tabAbout: return about_;
    case TBS_NRV: return tunnel_;
    default: return socket_;
  }
}

// ---------------------------------------------------------------------------------------------
// Pending changes, buttons, actions

void TfrmMain::ShowPendingChanges(bool pending) {
  pending_ = pending;
  ui::Enable(btnApply, pending);
  ui::SetText(btnCancel, pending ? txt::Cancel : txt::Close);
}

void TfrmMain::AnyChangeToSettings() { ShowPendingChanges(true); }

void TfrmMain::FormShow() { ShowPendingChanges(false); }

// Every page writes what it holds: the startup settings (and the question whether to start
// now), the alias file, the tray tools, the login and the program's own Run entry.
// A failed save of the alias file keeps the changes pending, so Apply can be tried again.
void TfrmMain::ApplySettings(bool withSender) { ApplyChanges(withSender, /*mayStart=*/true); }

void TfrmMain::ApplyChanges(bool withSender, bool mayStart) {
  if (ApplicationBusy()) return;
  start_.ApplyStartupSettings(withSender, mayStart);
  const bool aliasesSaved = !start_.CanAdminister() || alias_.SaveFile();
  tools_.RebuildTrayToolsMenu();
  tunnel_.ApplyAdminLogin();
  WriteRunEntry(L"Vantrel", ProgramFilePath(), L"-tray", enhanced_.ShowTrayIcon(), false);
  ShowPendingChanges(!aliasesSaved);
}

void TfrmMain::btnOkClick() {
  if (ApplicationBusy()) return;
  if (ChangesPending()) ApplySettings(false);
  Close();
}

void TfrmMain::btnCloseClick() {
  // A login typed and then cancelled is not kept for the next Apply, nor are the page's alias edits.
  if (ChangesPending()) {
    tunnel_.ShowAdminLogin();
    aliasFile_.DiscardEdits();
    if (alias_.Created()) alias_.RefreshAliasList();
  }
  Close();
}

std::vector<TAction*> TfrmMain::AllActions() {
  std::vector<TAction*> actions{&acOpenCPA, &acCloseCPA, &acAliasManager, &acConfigTools};
  for (int id = 0; id < PageCount; ++id)
    for (TAction* action : Page(static_cast<PageId>(id)).Actions()) actions.push_back(action);
  return actions;
}

bool TfrmMain::HandleShortcut(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
  const BYTE modifiers = CurrentModifiers();
  if (msg.wParam == VK_TAB && (modifiers & FCONTROL)) {  // Ctrl+Tab / Ctrl+Shift+Tab: next page
    SelectNeighbourPage((modifiers & FSHIFT) ? -1 : 1);
    return true;
  }
  for (TAction* a : AllActions()) {
    if (a->key == msg.wParam && a->modifiers == modifiers && a->enabled) {
      a->execute();
      return true;
    }
  }
  return false;
}

void TfrmMain::ActionListUpdate() {
  for (int id = 0; id < PageCount; ++id) {
    TPage& page = Page(static_cast<PageId>(id));
    page.UpdateActions(page.Current());
    page.FollowActions({page.ContextMenu(), TrayMenu()});
  }
  for (TAction* a : {&acOpenCPA, &acCloseCPA, &acAliasManager, &acConfigTools})
    EnableMenuItem(TrayMenu(), a->menuId, MF_BYCOMMAND | (a->enabled ? MF_ENABLED : MF_GRAYED));
}

// ---------------------------------------------------------------------------------------------
// Life cycle

bool TfrmMain::AppMessage(UINT message) {
  if (message == messages_.restoreFromTray) {
    ShowMainWindow();
    return true;
  }
  if (message == messages_.exitRequest) {
    QuitRequested = true;
    Close();
    return false;
  }
  return false;
}

void TfrmMain::ShowMainWindow() {
  showAtStart_ = true;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

void TfrmMain::Close() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

bool TfrmMain::FormCloseQuery() {
  if (!QuitRequested && enhanced_.ShowTrayIcon()) {
    showAtStart_ = false;
    ShowWindow(hwnd_, SW_HIDE);
    return false;
  }
  alias_.TellPendingAtExit();
  return true;
}

void TfrmMain::acOpenCPAExecute() {
  SetActivePage(tabStartup);
  pagMainChange();
  ShowMainWindow();
}

void TfrmMain::acConfigToolsExecute() {
  SetActivePage(tabTools);
  pagMainChange();
  ShowMainWindow();
}

void TfrmMain::acAliasManagerExecute() {
  SetActivePage(tabAlias);
  pagMainChange();
  ShowMainWindow();
}

void TfrmMain::acCloseCPAExecute() {
  QuitRequested = true;
  Close();
}

// The new instance waits for this one to end (hand-over parameter) and keeps it hidden in the
// tray when it is; this one ends for real only once the start succeeded. A refused prompt is no
// error.
void TfrmMain::RestartElevated() {
  const std::wstring parameters =
      std::wstring(IsWindowVisible(hwnd_) ? L"" : L"-tray ") + HandOverParameter(GetCurrentProcessId());
  std::uint32_t error = 0;
  if (!platform_.launcher.RunElevated(ProgramFilePath(), parameters, error)) {
    if (error != ERROR_CANCELLED) platform_.dialogs.ShowError(SystemErrorText(error));
    return;
  }
  acCloseCPAExecute();
}

void TfrmMain::SetTimerEnabled(bool enabled) {
  timerEnabled_ = enabled;
  ScheduleRefresh(IsWindowVisible(hwnd_) != FALSE);
}

// A service's state or a server's window changed (or is told for the first time). This comes
// through a window of its own, so no error may leave it.
void TfrmMain::StatusTold() {
  if (refreshFailed_) return;
  if (!ApplicationBusy()) {
    try {
      start_.RefreshServerState();
    } catch (...) {
      refreshFailed_ = true;
      SetTimerEnabled(false);
      platform_.dialogs.ShowError(CaughtErrorText());
      return;
    }
  }
  ScheduleRefresh(IsWindowVisible(hwnd_) != FALSE);  // the services may be pushed from now on
}

// Shown, the status is read each second. Hidden in the notification area with nothing to ask
// for but the connections, the program wakes only for them.
void TfrmMain::ScheduleRefresh(bool shown) {
  if (!timerEnabled_) {
    KillTimer(hwnd_, kStatusTimer);
    refreshInterval_ = 0;
    return;
  }
  const bool allTold = windowsFollowed_ && platform_.services.Pushed();
  const UINT interval = shown || !allTold ? kStatusInterval : kHiddenFollowedInterval;
  if (interval == refreshInterval_) return;  // a timer set again would start its period over
  refreshInterval_ = interval;
  SetTimer(hwnd_, kStatusTimer, interval, nullptr);
}

// A failed refresh is shown once and leaves the status alone for the rest of the run: the
// timer goes off, and what the system tells is no longer read either.
void TfrmMain::TimerTimer() {
  if (ApplicationBusy()) return;  // no refresh overlaps a start or stop that waits
  SetTimerEnabled(false);
  try {
    start_.RefreshServerState();
    // Outside edits matter to the alias page only while it can be seen; showing follows them.
    if (startedUp_ && IsWindowVisible(hwnd_)) alias_.FollowFile();
  } catch (...) {
    refreshFailed_ = true;
    platform_.dialogs.ShowError(CaughtErrorText());
    return;
  }
  SetTimerEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Messages

void TfrmMain::HandleCommand(int id, int code, HWND control) {
  if (control == nullptr) {  // menu item or accelerator
    if (static_cast<UINT>(id) >= TToolsPage::kFirstTrayToolId) {
      tools_.TrayToolClick(static_cast<UINT>(id));
      return;
    }
    for (TAction* a : AllActions())
      if (a->menuId == static_cast<UINT>(id)) {
        a->Execute();
        return;
      }
    return;
  }
  // A page's control tells its page; a command sent to the window for it is passed on.
  if (HWND owner = GetParent(control); owner != hwnd_) {
    for (int page = 0; page < PageCount; ++page)
      if (Page(static_cast<PageId>(page)).Handle() == owner) SendMessageW(owner, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case idOk: btnOkClick(); return;
    case IDOK:  // Enter: the cancel button is also the default button
    case idCancel: btnCloseClick(); return;
    case idApply: ApplySettings(true); return;
    default: return;
  }
}

LRESULT TfrmMain::WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!hwnd_) hwnd_ = hwnd;  // messages arrive before CreateWindowEx returns
  switch (msg) {
    case WM_COMMAND:
      // Errors that reach the top of a user's action are shown once.
      try {
        if (LOWORD(wp) == IDOK && lp == 0)
          btnCloseClick();
        else
          HandleCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      } catch (...) {
        platform_.dialogs.ShowError(CaughtErrorText());
      }
      return 0;
    case WM_NOTIFY: {
      const NMHDR& header = *reinterpret_cast<NMHDR*>(lp);
      if (header.hwndFrom == tabs_.Handle() && header.code == TCN_SELCHANGE) {
        tabs_.FollowSelection();
        pagMainChange();
      }
      return 0;
    }
    case WM_TIMER:
      if (wp == kStatusTimer) TimerTimer();
      if (wp == kAfterFirstPaintTimer) {
        KillTimer(hwnd_, kAfterFirstPaintTimer);
        FinishStartUp();
      }
      return 0;
    case WM_SHOWWINDOW:
      ScheduleRefresh(wp != FALSE);  // sent before the window is shown or hidden
      if (wp) {
        FormShow();
        if (startedUp_) alias_.FollowFile();
      }
      break;
    case WM_INITMENUPOPUP:
      // While hidden the actions are not followed at idle; the menu shows them as they are now.
      ActionListUpdate();
      break;
    case WM_SETCURSOR:
      if (HCURSOR c = ApplicationCursor()) {
        SetCursor(c);
        return TRUE;
      }
      break;
    case WM_CLOSE:
      // A real close during a start or stop ends the program once the wait is over.
      if (ApplicationBusy() && (QuitRequested || !enhanced_.ShowTrayIcon())) {
        closeAfterWait_ = true;
        return 0;
      }
      if (FormCloseQuery()) {
        RECT r;
        GetWindowRect(hwnd_, &r);
        try {
          Config().SetWinPos(r);
        } catch (...) {
          platform_.dialogs.ShowError(CaughtErrorText());
        }
        socket_.StopSocketServer();
        DestroyWindow(hwnd_);
      }
      return 0;
    case WM_QUERYENDSESSION:
      QuitRequested = true;
      Close();
      return TRUE;
    case WM_ENDSESSION:
      if (wp) {
        QuitRequested = true;
        Close();
      }
      return 0;
    case WM_DESTROY:
      SetTimerEnabled(false);
      if (mainForm == this) mainForm = nullptr;
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      break;
    case WM_NCCREATE:
      dpi::EnableNonClientScaling(hwnd);
      break;
    case WM_DPICHANGED:
      ChangeDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace vantrel
