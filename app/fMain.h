#pragma once
// The main window: hosts the pages, the tray icon and its menu, and owns what the pages share:
// Apply/OK/Cancel, the status timer, the installation description and the life cycle.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "aliases/AliasFile.h"
#include "aliases/AliasPage.h"
#include "app/AboutPage.h"
#include "app/TrayPresence.h"
#include "app/uSingleInst.h"
#include "remote/AttachmentsWatch.h"
#include "remote/SocketPage.h"
#include "remote/TunnelPage.h"
#include "server/EnhancedPage.h"
#include "server/Installation.h"
#include "server/StartPage.h"
#include "shell/Dpi.h"
#include "shell/Page.h"
#include "shell/PageTabs.h"
#include "shell/TrayIcon.h"
#include "tools/ToolsPage.h"

namespace vantrel {

class TfrmMain final : public IPageHost {
 public:
  enum PageId { tabStartup, tabEnhanced, tabAlias, tabTools, tabAbout, TBS_NRV, TBS_SocketInfo, PageCount };

  // Creates the window and runs the start-up sequence. parameters: the command-line
  // parameters after the program name.
  TfrmMain(HINSTANCE instance, Platform& platform, std::vector<std::wstring> parameters,
           InstanceMessages messages);
  ~TfrmMain() override;
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  HWND Handle() const { return hwnd_; }
  bool ShowAtStart() const { return showAtStart_; }
  // What the first paint does not need is done once it is on screen (a timer message); the
  // call does it at once, and only once.
  void FinishStartUp();
  bool StartedUp() const { return startedUp_; }

  // Message loop hooks.
  bool AppMessage(UINT message);            // restore / exit requests of another instance
  bool HandleShortcut(const MSG& message);  // the actions' keys
  void ActionListUpdate();                  // whenever the application becomes idle

  // Life cycle
  void ShowMainWindow();
  void Close();  // a close request: FormCloseQuery decides between hiding and ending
  void acOpenCPAExecute();
  void acConfigToolsExecute();
  void acAliasManagerExecute();
  void acCloseCPAExecute();
  void btnOkClick();
  void btnCloseClick();
  void FormShow();
  void TimerTimer();
  bool TimerEnabled() const { return timerEnabled_; }
  unsigned RefreshInterval() const { return refreshInterval_; }  // 0 while the timer is off
  void SetTimerEnabled(bool enabled);

  // Pages: each is created when it is first shown, the rest once start-up is done.
  void SetActivePage(PageId page) { tabs_.Select(page); }
  PageId ActivePage() const { return static_cast<PageId>(tabs_.Active()); }
  void pagMainChange() { Page(ActivePage()).Activated(); }
  void SetPageVisible(PageId page, bool visible) { tabs_.SetVisible(page, visible, Dpi()); }
  bool PageTabVisible(PageId page) const { return tabs_.Visible(page); }
  void SelectNeighbourPage(int step) {
    if (tabs_.SelectNeighbour(step)) pagMainChange();
  }
  void CreateAllPages() { tabs_.CreateAll(); }
  TStartPage& StartPage() { return start_; }
  TEnhancedPage& EnhancedPage() { return enhanced_; }
  TAliasPage& AliasPage() { return alias_; }
  TToolsPage& ToolsPage() { return tools_; }
  TTunnelPage& TunnelPage() { return tunnel_; }
  TSocketPage& SocketPage() { return socket_; }
  TAboutPage& AboutPage() { return about_; }

  // Installation discovery: fills the pages with what it found.
  void DiscoverInstallation();
  void SetInstallation(TInstallation found);
  // Several servers on one machine: every installation found, and switching to one of them
  // (false: the user kept the current one because of pending changes).
  const std::vector<TInstallation>& Installations() const { return installations_; }
  bool ChooseInstallation(std::size_t index);
  TAliasFile& AliasFile() { return aliasFile_; }
  void LoadAliasFile();

  // The notification-area icon's image and tooltip follow every refresh.
  const std::wstring& TrayToolTip() const { return tray_.ToolTip(); }
  HICON TrayIconImage() const { return tray_.Image(); }
  HICON StateIcon(bool running) const { return tray_.StateIcon(running); }
  TTrayIcon* TrayIcon() { return tray_.Icon(); }
  HMENU TrayMenu() const { return tray_.Menu(); }

  // IPageHost
  Platform& Sys() override { return platform_; }
  HWND Window() const override { return hwnd_; }
  HFONT Font(bool bold) const override { return bold ? fonts_.Bold() : fonts_.Normal(); }
  const TInstallation& Installation() const override { return installation_; }
  void AnyChangeToSettings() override;
  bool ChangesPending() const override { return pending_; }
  void ApplySettings(bool withSender) override;
  // Apply; mayStart false writes the startup settings without their start step.
  void ApplyChanges(bool withSender, bool mayStart);
  void RefreshCurrentPage() override { pagMainChange(); }
  void Quit() override { acCloseCPAExecute(); }
  void RestartElevated() override;

  // What the discovery found, by the names of its parts.
  std::wstring RootDir, BinDir, ServerExePath, GuardianExePath, ServerWindowClass,
      GuardianWindowClass, GuardianServiceName, ServerServiceName;
  bool QuitRequested = false;
  bool ServerFound = false;
  bool GuardianAvailable = false;

  LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  // Display scaling: the DPI the window is laid out for, and a change to another one (as
  // WM_DPICHANGED brings it; suggested may be null).
  UINT Dpi() const { return fonts_.Dpi(); }
  void ChangeDpi(UINT dpi, const RECT* suggested);

 private:
  void MakeIcons();
  // A start or stop waits: Apply, OK and the tray's server items wait with it.
  void OnBusyChanged(bool busy);
  void HandleCommand(int id, int code, HWND control);

  void CreateWindowAndControls();
  void ConnectPages();
  void FormCreate();
  bool FormCloseQuery();
  void ApplyStoredWindowPosition();
  void FailStartUp(const std::wstring& message);
  void UseInstallation(std::size_t index);
  void ShowInstallation();
  void FollowInstallation();
  void ScheduleRefresh(bool shown);
  void StatusTold();
  void ShowPendingChanges(bool pending);
  TPage& Page(PageId id);
  std::vector<TAction*> AllActions();

  HINSTANCE instance_;
  Platform& platform_;
  std::vector<std::wstring> parameters_;
  InstanceMessages messages_;
  HWND hwnd_ = nullptr;
  // Windows sends no DPI message at creation: the window starts at the system's DPI and, when it
  // turns out to be on a monitor of another, lays itself out again.
  dpi::TWindowFonts fonts_{dpi::SystemDpi()};
  HICON smallIcon_ = nullptr, largeIcon_ = nullptr;
  bool closeAfterWait_ = false;  // a real close came during a start or stop
  HWND btnOk = nullptr, btnCancel = nullptr, btnApply = nullptr;
  TAction acOpenCPA, acCloseCPA, acAliasManager, acConfigTools;

  TInstallation installation_;
  std::vector<TInstallation> installations_;
  TAliasFile aliasFile_;
  TStartPage start_;
  TEnhancedPage enhanced_;
  TAliasPage alias_;
  TToolsPage tools_;
  TAboutPage about_;
  TTunnelPage tunnel_;
  TSocketPage socket_;
  TAttachmentsWatch attachments_;
  TTrayPresence tray_{instance_};

  TPageTabs tabs_{{&start_, &enhanced_, &alias_, &tools_, &about_, &tunnel_, &socket_}, tabStartup};
  bool showAtStart_ = true;
  bool startedUp_ = false;
  bool timerEnabled_ = false;
  unsigned refreshInterval_ = 0;  // of the status timer while it runs
  bool windowsFollowed_ = false;  // the system tells when a server's window comes or goes
  bool refreshFailed_ = false;    // shown once; the status is not read again
  bool pending_ = false;  // Apply has something to write
};

}  // namespace vantrel
