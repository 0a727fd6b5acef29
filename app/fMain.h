#pragma once
// The main window: pages, buttons, actions, tray menu, pending-changes state and life cycle.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Platform.h"
#include "aliases/AliasList.h"
#include "remote/AdminLogin.h"
#include "server/Installation.h"
#include "app/uSingleInst.h"
#include "shell/TrayIcon.h"

namespace vantrel {

// The command-server pages' listener and the work it carries to the window thread.
struct TSocketPageState;
struct TSocketPageStateDeleter {
  void operator()(TSocketPageState* state) const;
};

class TfrmMain {
 public:
  enum PageId { tabStartup, tabEnhanced, tabAlias, tabTools, tabAbout, TBS_NRV, TBS_SocketInfo, PageCount };

  struct Action {
    std::wstring caption;
    bool enabled = true;
    UINT key = 0;        // virtual key of the shortcut, 0 for none
    BYTE modifiers = 0;  // FALT, FCONTROL, FSHIFT
    std::function<void()> execute;
    std::vector<HWND> buttons;  // buttons that run this action and follow its enabled state
    UINT menuId = 0;            // id of the menu items bound to it
  };

  // Creates the window and runs the start-up sequence. parameters: the command-line
  // parameters after the program name.
  TfrmMain(HINSTANCE instance, Platform& platform, std::vector<std::wstring> parameters,
           InstanceMessages messages);
  ~TfrmMain();
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  HWND Handle() const { return hwnd_; }
  Platform& Sys() { return platform_; }
  bool ShowAtStart() const { return showAtStart_; }

  // Message loop hooks.
  bool AppMessage(UINT message);           // restore / exit requests of another instance
  bool HandleShortcut(const MSG& message);  // the actions' keys
  void ActionListUpdate();                 // whenever the application becomes idle

  // Life cycle
  void ShowMainWindow();
  void Close();  // a close request: FormCloseQuery decides between hiding and ending
  void acOpenCPAExecute();
  void acConfigToolsExecute();
  void acAliasManagerExecute();
  void acCloseCPAExecute();
  void btnOkClick();
  void btnCloseClick();
  void AnyChangeToSettings();
  void FormShow();
  void TimerTimer();
  void SetActivePage(PageId page);
  PageId ActivePage() const { return activePage_; }
  void pagMainChange();
  void SetPageVisible(PageId page, bool visible);
  void SelectNeighbourPage(int step);
  bool PageTabVisible(PageId page) const { return pages_[page].tabVisible; }
  bool TimerEnabled() const { return timerEnabled_; }
  void SetTimerEnabled(bool enabled);

  // A check box changed by the program runs its click handling, as a user click does.
  void SetCheckBox(HWND checkBox, bool checked);

  // Installation discovery and server state (server/).
  void DiscoverInstallation();
  void RefreshServerState();
  void ApplySettings(bool withSender);
  void ApplyServiceSettings();
  void ApplyApplicationSettings();
  void ReadStartupSettings();
  void StartServer();
  void StartServerNT();
  void StartApplication();
  void StartDependents();
  void StopServer();
  void StopServerAndReport();  // the user's stop: says so when the server's window stays
  void StopServerNT();
  void CloseApplications();
  bool StopDependents();
  // The notification-area icon's image and tooltip follow every refresh.
  void UpdateTrayIcon(HICON icon, const std::wstring& toolTip);
  const std::wstring& TrayToolTip() const { return trayToolTip_; }
  HICON TrayIconImage() const { return trayIcon_; }
  void btnStartStopClick();
  // An administrator's filtered token can do nothing here: offered a restart with full rights.
  void OfferElevation(bool offer);
  bool ElevationOffered() const { return elevationOffered_; }
  void acRestartElevatedExecute();
  bool ServerWindowExists();
  bool GuardianWindowExists();
  bool ServerServiceRunning();
  bool GuardianServiceRunning();
  bool CanAdminister();

  // Alias file and alias page (aliases/).
  void CreateAliasList();
  void LoadAliasFile();
  void SaveAliasFile();
  void RefreshAliasList();
  void acAddAliasExecute();
  void acEditAliasExecute();
  void acDeleteAliasExecute();
  void lvAliasDblClick();
  void lvAliasResize();
  TAliasList Aliases;  // the alias file in memory

  // Tools page and launcher (tools/).
  void AddDefaultTool();
  void RebuildTrayToolsMenu();
  void FillToolsList();
  void LaunchTool(int index);
  void TrayToolClick(UINT menuId);
  void acAddToolsExecute();
  void acEditToolsExecute();
  void acDeleteToolsExecute();
  void acLaunchToolsExecute();
  void lbxToolsMouseDown(int x, int y);
  // Screen point for the context menu of a list; lp as WM_CONTEXTMENU brings it.
  POINT ContextMenuPoint(HWND list, LPARAM lp) const;
  static constexpr UINT kFirstTrayToolId = 1000;  // tool items of the tray menu

  // Root directory change (server/RootChange.cpp).
  void btnChangeRootClick();

  // Command server pages (remote/).
  void FillIPList();
  bool StartSocketServer();
  bool StopSocketServer();
  void btnSocketServerClick();
  void BTN_Def_PathClick();
  // The login for new databases on the tunnel settings page: the applied one, shown again by
  // Cancel, stored by Apply.
  void LoadAdminLogin();
  void ShowAdminLogin();
  void AdminLoginChanged();
  void ApplyAdminLogin();
  TAdminLogin AdminLogin;
  void URLClick(HWND link);  // link labels of the about page

  // What the discovery found: the one description, and the members named after its parts.
  void SetInstallation(TInstallation found);
  TInstallation Installation;
  std::wstring RootDir, BinDir, ServerExePath, GuardianExePath, ServerWindowClass,
      GuardianWindowClass, GuardianServiceName, ServerServiceName;
  bool QuitRequested = false;
  bool ServerFound = false;
  bool GuardianAvailable = false;
  bool Running = false;  // the running indicator of the last refresh
  HICON RunningIcon = nullptr;
  HICON StoppedIcon = nullptr;
  std::unique_ptr<TTrayIcon> TrayIcon;
  std::unique_ptr<IAliasSettings> AliasSettings;  // the four settings on this window's controls
  std::vector<std::wstring> SocketErrors;
  bool SocketServerRunning = false;
  // Made at the first start of the listener; stopped and freed before the window goes.
  std::unique_ptr<TSocketPageState, TSocketPageStateDeleter> SocketPage;

  // Controls, by page.
  HWND pagMain = nullptr;
  HWND lblFBVersion = nullptr, lblGuardianTitle = nullptr, lblGuardianState = nullptr,
       lblServerTitle = nullptr, lblServerState = nullptr, lblDependentServices = nullptr,
       cbxAutostart = nullptr, cbxService = nullptr, cbxGuardian = nullptr, btnStartStop = nullptr,
       btnRestartElevated = nullptr;
  HWND lblRootDir = nullptr, pnlRootDir = nullptr, btnChangeRoot = nullptr, cbxShowTrayIcon = nullptr;
  HWND lvAlias = nullptr, btnAddAlias = nullptr, btnEditAlias = nullptr, btnDeleteAlias = nullptr;
  HWND lblTools = nullptr, lbxTools = nullptr, btnAddTools = nullptr, btnDeleteTools = nullptr,
       btnEditTools = nullptr, btnLaunchTool = nullptr;
  HWND lblTitle = nullptr;
  HWND lblFirebirdLink = nullptr;  // link label of the about page
  HWND CHK_Zibidi = nullptr, ZiBiDi_Portu = nullptr, PAN_Def_Path = nullptr, BTN_Def_Path = nullptr,
       edtAdminUser = nullptr, edtAdminPassword = nullptr;
  HWND lbIPs = nullptr, Socket_Portu = nullptr, btnSocketServer = nullptr, lbProcesses = nullptr,
       StatusBar = nullptr;
  HWND btnOk = nullptr, btnCancel = nullptr, btnApply = nullptr;
  HMENU pmSysTray = nullptr, pmAlias = nullptr, pmTools = nullptr;

  Action acOpenCPA, acCloseCPA, acStartServer, acStopServer, acAliasManager, acConfigTools,
      acAddAlias, acEditAlias, acDeleteAlias, acAddTools, acEditTools, acDeleteTools,
      acLaunchTools, acRestartElevated;

 private:
  struct Page {
    HWND panel = nullptr;
    std::wstring caption;
    bool tabVisible = true;
  };

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleColor(HDC dc, HWND control);
  void HandleCommand(int id, int code, HWND control);
  void HandleNotify(const NMHDR& header);

  void CreateWindowAndControls();
  void CreateFonts();
  HWND CreatePage(PageId id, const std::wstring& caption);
  void CreateStartupPage();
  void CreateEnhancedPage();
  void CreateAliasPage();
  void CreateToolsPage();
  void CreateAboutPage();
  void CreateNrvPage();
  void CreateSocketPage();
  void CreateButtons();
  void CreateActions();
  void CreateMenus();
  void RebuildTabs();
  void ShowActivePanel();
  void PlaceWindow();
  void FormCreate();
  bool FormCloseQuery();
  void RecordInstallDir();
  void ExecuteAction(Action& action);
  Action* ActionForMenu(UINT id);
  Action* ActionForButton(HWND button);
  void OnCheckBoxClick(HWND checkBox);
  void cbxShowTrayIconClick();
  void ApplyStoredWindowPosition();
  void ReportException();

  HINSTANCE instance_;
  Platform& platform_;
  std::vector<std::wstring> parameters_;
  InstanceMessages messages_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr, boldFont_ = nullptr;
  Page pages_[PageCount];
  PageId activePage_ = tabStartup;
  bool showAtStart_ = true;
  bool timerEnabled_ = false;
  bool inTimer_ = false;
  std::vector<Action*> actions_;
  std::wstring trayToolTip_;
  HICON trayIcon_ = nullptr;
  bool fillingAdminLogin_ = false;
  bool elevationOffered_ = false;
};

// Replaces the first "%s" of a message pattern.
std::wstring FormatText(const std::wstring& pattern, const std::wstring& value);

}  // namespace vantrel
