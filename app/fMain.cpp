#include "app/fMain.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "app/Application.h"
#include "app/ControlIds.h"
#include "app/Controls.h"
#include "resources/Texts.h"
#include "remote/SocketPageTexts.h"
#include "resources/resource.h"
#include "shell/Files.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"
#include "shell/Registry.h"
#include "shell/uConfig.h"

namespace vantrel {
namespace {

constexpr wchar_t kMainWindowClass[] = L"TfrmMain";
constexpr wchar_t kPageClass[] = L"TTabSheet";
constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusInterval = 1000;
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 213;
constexpr int kMinWidth = 400;
constexpr int kMinHeight = 240;
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kMaroon = RGB(128, 0, 0);



const wchar_t* const kInstallKey = L"\\Software\\Quelmark\\Vantrel";

std::wstring Lower(std::wstring text) {
  if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

TfrmMain* mainForm = nullptr;  // the target of the application-wide message hook

bool MainFormAppMessage(UINT message) { return mainForm && mainForm->AppMessage(message); }

BYTE CurrentModifiers() {
  BYTE m = 0;
  if (GetKeyState(VK_MENU) < 0) m |= FALT;
  if (GetKeyState(VK_CONTROL) < 0) m |= FCONTROL;
  if (GetKeyState(VK_SHIFT) < 0) m |= FSHIFT;
  return m;
}

}  // namespace

TfrmMain::TfrmMain(HINSTANCE instance, Platform& platform, std::vector<std::wstring> parameters,
                   InstanceMessages messages)
    : instance_(instance), platform_(platform), parameters_(std::move(parameters)),
      messages_(messages) {
  CreateWindowAndControls();
  FormCreate();
}

TfrmMain::~TfrmMain() {
  SocketPage.reset();  // joins the connection threads while the window they work on exists
  if (mainForm == this) {
    mainForm = nullptr;
    ApplicationMessageHook = nullptr;
  }
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  for (HMENU menu : {pmSysTray, pmAlias, pmTools})
    if (menu) DestroyMenu(menu);
  for (HICON icon : {RunningIcon, StoppedIcon})
    if (icon) DestroyIcon(icon);
  for (HFONT font : {font_, boldFont_})
    if (font) DeleteObject(font);
}

// ---------------------------------------------------------------------------------------------
// Creation

void TfrmMain::CreateFonts() {
  font_ = ui::CreateWindowFont(FW_NORMAL);
  boldFont_ = ui::CreateWindowFont(FW_BOLD);
}

void TfrmMain::CreateWindowAndControls() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIconW(instance_, L"MAINICON");
    wc.lpszClassName = kMainWindowClass;
    RegisterClassExW(&wc);
    WNDCLASSEXW pc{};
    pc.cbSize = sizeof(pc);
    pc.lpfnWndProc = PageProc;
    pc.hInstance = instance_;
    pc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    pc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    pc.lpszClassName = kPageClass;
    RegisterClassExW(&pc);
    registered = true;
  }
  CreateFonts();

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  hwnd_ = CreateWindowExW(exStyle, kMainWindowClass, txt::AppTitle, style, CW_USEDEFAULT,
                          CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, ApplicationHandle(),
                          nullptr, instance_, this);

  pagMain = CreateWindowExW(0, WC_TABCONTROLW, L"",
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 4, 4, 412, 172,
                            hwnd_, reinterpret_cast<HMENU>(idPageControl), instance_, nullptr);
  SendMessageW(pagMain, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

  CreateStartupPage();
  CreateEnhancedPage();
  CreateAliasPage();
  CreateToolsPage();
  CreateAboutPage();
  CreateNrvPage();
  CreateSocketPage();
  pages_[tabAbout].tabVisible = false;  // the about page is never shown
  CreateButtons();
  CreateActions();
  CreateMenus();
  RebuildTabs();
  PlaceWindow();
}

HWND TfrmMain::CreatePage(PageId id, const std::wstring& caption) {
  RECT area{4, 4, 4 + 412, 4 + 172};
  TabCtrl_AdjustRect(pagMain, FALSE, &area);
  // Before any tab exists the adjustment leaves room for no header; reserve one row.
  HWND panel = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, caption.c_str(),
                               WS_CHILD | WS_CLIPSIBLINGS, 7, 26, 406, 146, hwnd_, nullptr,
                               instance_, this);
  pages_[id].panel = panel;
  pages_[id].caption = caption;
  return panel;
}

void TfrmMain::CreateStartupPage() {
  using namespace ui;
  HWND p = CreatePage(tabStartup, txt::TabStartup);
  lblFBVersion = Label(p, L"", {8, 6, 390, 14}, boldFont_, 0, idFBVersion);
  lblGuardianTitle = Label(p, txt::GuardianTitle, {8, 26, 120, 14}, font_);
  lblGuardianState = Label(p, L"", {130, 26, 200, 14}, boldFont_, 0, idGuardianState);
  lblServerTitle = Label(p, txt::ServerTitle, {8, 44, 120, 14}, font_);
  lblServerState = Label(p, L"", {130, 44, 200, 14}, boldFont_, 0, idServerState);
  lblDependentServices = Label(p, L"", {8, 62, 184, 14}, font_, 0, idDependentServices);
  btnRestartElevated = Button(p, idRestartElevated, txt::RestartElevated, {196, 56, 202, 24}, font_);
  SendMessageW(btnRestartElevated, BCM_SETSHIELD, 0, TRUE);
  ui::Show(btnRestartElevated, false);
  cbxAutostart = CheckBox(p, idAutostart, txt::Autostart, {8, 82, 300, 17}, font_);
  cbxService = CheckBox(p, idService, txt::AsService, {8, 101, 300, 17}, font_);
  cbxGuardian = CheckBox(p, idGuardian, txt::UseGuardian, {8, 120, 300, 17}, font_);
  btnStartStop = Button(p, idStartStop, txt::Start, {318, 112, 80, 25}, font_);
}

void TfrmMain::CreateEnhancedPage() {
  using namespace ui;
  HWND p = CreatePage(tabEnhanced, txt::TabEnhanced);
  lblRootDir = Label(p, txt::RootDirLabel, {8, 12, 80, 14}, font_);
  pnlRootDir = Panel(p, L"", {8, 28, 300, 21}, font_, idRootDir);
  btnChangeRoot = Button(p, idChangeRoot, txt::ChangeRoot, {316, 26, 80, 25}, font_);
  cbxShowTrayIcon = CheckBox(p, idShowTrayIcon, txt::ShowTrayIcon, {8, 70, 390, 17}, font_);
}

void TfrmMain::CreateAliasPage() {
  using namespace ui;
  HWND p = CreatePage(tabAlias, txt::TabAlias);
  lvAlias = ReportListView(p, idAliasList, {4, 4, 398, 108}, font_);
  ListView_SetExtendedListViewStyle(lvAlias, LVS_EX_FULLROWSELECT);
  SetWindowLongPtrW(lvAlias, GWL_STYLE, GetWindowLongPtrW(lvAlias, GWL_STYLE) | LVS_SHOWSELALWAYS);
  AddListViewColumn(lvAlias, 0, txt::AliasColumnName, 90);
  AddListViewColumn(lvAlias, 1, txt::AliasColumnDatabase, 270);
  btnAddAlias = Button(p, idAddAlias, txt::AddAliasButton, {160, 117, 75, 25}, font_);
  btnEditAlias = Button(p, idEditAlias, txt::EditAliasButton, {240, 117, 75, 25}, font_);
  btnDeleteAlias = Button(p, idDeleteAlias, txt::DeleteAliasButton, {320, 117, 75, 25}, font_);
}

void TfrmMain::CreateToolsPage() {
  using namespace ui;
  HWND p = CreatePage(tabTools, txt::TabTools);
  lblTools = Label(p, txt::ToolsHeading, {8, 6, 200, 14}, font_);
  lbxTools = ListBox(p, idToolList, {8, 22, 300, 118}, font_);
  btnAddTools = Button(p, idAddTools, txt::AddTool, {316, 22, 82, 23}, font_);
  btnDeleteTools = Button(p, idDeleteTools, txt::DeleteTool, {316, 48, 82, 23}, font_);
  btnEditTools = Button(p, idEditTools, txt::EditTool, {316, 74, 82, 23}, font_);
  btnLaunchTool = Button(p, idLaunchTool, txt::LaunchToolButton, {316, 117, 82, 23}, font_);
}

void TfrmMain::CreateAboutPage() {
  using namespace ui;
  HWND p = CreatePage(tabAbout, txt::TabAbout);
  lblTitle = Label(p, L"", {8, 8, 390, 14}, boldFont_, 0, idTitle);
  lblFirebirdLink = Label(p, txt::FirebirdProjectLink, {8, 30, 390, 14}, font_, SS_NOTIFY, idFirebirdLink);
}

void TfrmMain::URLClick(HWND link) {
  const std::wstring target = ui::GetText(link);
  if (target.empty()) return;
  ShowAppStartCursor();
  std::uint32_t ignored = 0;
  platform_.launcher.ShellOpen(target, L"", L"", SW_SHOWNORMAL, ignored);
  ShowDefaultCursor();
}

void TfrmMain::CreateNrvPage() {
  using namespace ui;
  HWND p = CreatePage(TBS_NRV, txt::TabNRV);
  CHK_Zibidi = CheckBox(p, idZibidi, txt::UseTunnel, {8, 10, 300, 17}, font_);
  SendMessageW(CHK_Zibidi, BM_SETCHECK, BST_CHECKED, 0);
  Label(p, txt::TunnelPort, {8, 38, 220, 14}, font_);
  ZiBiDi_Portu = SpinEdit(p, idZibidiPort, kDefaultZeeBeeDeePort, {232, 35, 80, 21}, font_);
  PAN_Def_Path = Panel(p, L"", {8, 70, 300, 21}, font_, idDefPathPanel);
  BTN_Def_Path = Button(p, idDefPath, txt::ChangeRoot, {316, 68, 80, 25}, font_);
  Label(p, socktxt::AdminUserLabel, {8, 104, 60, 14}, font_);
  edtAdminUser = Edit(p, idAdminUser, L"", {70, 101, 110, 21}, font_);
  Label(p, socktxt::AdminPasswordLabel, {196, 104, 44, 14}, font_);
  edtAdminPassword = Edit(p, idAdminPassword, L"", {242, 101, 110, 21}, font_, ES_PASSWORD);
}

void TfrmMain::CreateSocketPage() {
  using namespace ui;
  HWND p = CreatePage(TBS_SocketInfo, txt::TabSocketInfo);
  Label(p, txt::BindToIP, {4, 2, 120, 14}, font_);
  lbIPs = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER |
                              LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                          4, 17, 120, 106, p, reinterpret_cast<HMENU>(idIPs), instance_, nullptr);
  SendMessageW(lbIPs, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  ListView_SetExtendedListViewStyle(lbIPs, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  AddListViewColumn(lbIPs, 0, L"", 96);
  Label(p, txt::BindPort, {130, 2, 80, 14}, font_);
  // The protocol's port until an alias file says otherwise: without one, nothing else would set it.
  Socket_Portu = SpinEdit(p, idSocketPort, kDefaultSocketPort, {130, 17, 80, 21}, font_);
  btnSocketServer = Button(p, idSocketServer, txt::SocketServerStartInitial, {130, 44, 80, 58},
                           font_, BS_MULTILINE);
  lbProcesses = ListBox(p, idProcesses, {216, 2, 186, 121}, font_);
  StatusBar = CreateWindowExW(0, STATUSCLASSNAMEW, txt::ServerStoppedStatus,
                              WS_CHILD | WS_VISIBLE | CCS_BOTTOM, 0, 0, 0, 0, p,
                              reinterpret_cast<HMENU>(idStatusBar), instance_, nullptr);
  SendMessageW(StatusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

void TfrmMain::CreateButtons() {
  using namespace ui;
  btnOk = Button(hwnd_, idOk, txt::Ok, {180, 183, 75, 25}, font_);
  btnCancel = Button(hwnd_, idCancel, txt::CancelDesign, {260, 183, 75, 25}, font_, BS_DEFPUSHBUTTON);
  btnApply = Button(hwnd_, idApply, txt::Apply, {340, 183, 75, 25}, font_);
  Enable(btnApply, false);
}

void TfrmMain::CreateActions() {
  auto bind = [this](Action& a, std::wstring caption, std::function<void()> run,
                     std::vector<HWND> buttons = {}, UINT menuId = 0) {
    a.caption = std::move(caption);
    a.execute = std::move(run);
    a.buttons = std::move(buttons);
    a.menuId = menuId;
    actions_.push_back(&a);
  };
  bind(acOpenCPA, txt::OpenCPA, [this] { acOpenCPAExecute(); }, {}, idMenuOpenCPA);
  bind(acCloseCPA, txt::CloseCPA, [this] { acCloseCPAExecute(); }, {}, idMenuCloseCPA);
  bind(acStartServer, txt::StartServer, [this] { StartServer(); }, {}, idMenuStartServer);
  bind(acStopServer, txt::StopServer, [this] { StopServerAndReport(); }, {}, idMenuStopServer);
  bind(acRestartElevated, txt::RestartElevated, [this] { acRestartElevatedExecute(); }, {btnRestartElevated},
       idMenuRestartElevated);
  bind(acAliasManager, txt::AliasManager, [this] { acAliasManagerExecute(); }, {},
       idMenuAliasManager);
  bind(acConfigTools, txt::ConfigTools, [this] { acConfigToolsExecute(); }, {}, idMenuConfigTools);
  bind(acAddAlias, txt::AddAlias, [this] { acAddAliasExecute(); }, {btnAddAlias}, idMenuAddAlias);
  bind(acEditAlias, txt::EditAlias, [this] { acEditAliasExecute(); }, {btnEditAlias}, idMenuEditAlias);
  bind(acDeleteAlias, txt::DeleteAlias, [this] { acDeleteAliasExecute(); }, {btnDeleteAlias},
       idMenuDeleteAlias);
  bind(acAddTools, txt::AddTool, [this] { acAddToolsExecute(); }, {btnAddTools}, idMenuAddTools);
  bind(acEditTools, txt::EditTool, [this] { acEditToolsExecute(); }, {btnEditTools}, idMenuEditTools);
  bind(acDeleteTools, txt::DeleteTool, [this] { acDeleteToolsExecute(); }, {btnDeleteTools},
       idMenuDeleteTools);
  bind(acLaunchTools, txt::LaunchTool, [this] { acLaunchToolsExecute(); }, {btnLaunchTool},
       idMenuLaunchTools);
  acAddAlias.key = VK_INSERT;
  acDeleteAlias.key = VK_DELETE;
  acDeleteAlias.modifiers = FCONTROL;
  acAddTools.key = VK_INSERT;
  acDeleteTools.key = VK_DELETE;
  acDeleteTools.modifiers = FCONTROL;
}

void TfrmMain::CreateMenus() {
  pmSysTray = CreatePopupMenu();
  AppendMenuW(pmSysTray, MF_STRING, idMenuOpenCPA, acOpenCPA.caption.c_str());
  SetMenuDefaultItem(pmSysTray, idMenuOpenCPA, FALSE);
  AppendMenuW(pmSysTray, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(pmSysTray, MF_STRING, idMenuStartServer, acStartServer.caption.c_str());
  AppendMenuW(pmSysTray, MF_STRING, idMenuStopServer, acStopServer.caption.c_str());
  AppendMenuW(pmSysTray, MF_STRING, idMenuAliasManager, acAliasManager.caption.c_str());
  AppendMenuW(pmSysTray, MF_STRING, idMenuConfigTools, acConfigTools.caption.c_str());
  AppendMenuW(pmSysTray, MF_SEPARATOR, 0, nullptr);

  pmAlias = CreatePopupMenu();
  AppendMenuW(pmAlias, MF_STRING, idMenuAddAlias, txt::AddAlias);
  AppendMenuW(pmAlias, MF_STRING, idMenuEditAlias, txt::EditAlias);
  AppendMenuW(pmAlias, MF_STRING, idMenuDeleteAlias, txt::DeleteAlias);

  pmTools = CreatePopupMenu();
  AppendMenuW(pmTools, MF_STRING, idMenuAddTools, txt::AddTool);
  AppendMenuW(pmTools, MF_STRING, idMenuEditTools, txt::EditTool);
  AppendMenuW(pmTools, MF_STRING, idMenuDeleteTools, txt::DeleteTool);
  AppendMenuW(pmTools, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(pmTools, MF_STRING, idMenuLaunchTools, txt::LaunchTool);
}

void TfrmMain::PlaceWindow() {
  RECT wr;
  GetWindowRect(hwnd_, &wr);
  int w = wr.right - wr.left, h = wr.bottom - wr.top;
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------------------------
// Start-up

void TfrmMain::FormCreate() {
  acCloseCPA.caption = txt::CloseCPA;
  if (!CreateMutexW(nullptr, FALSE, L"vantrel_app")) RaiseLastOSError();  // kept until exit
  // No message catalogue belongs to the program, so translation leaves every text as designed.
  const std::wstring firstParameter = parameters_.empty() ? std::wstring() : parameters_[0];
  CheckPreviousInstance(txt::AppTitle, txt::AppTitle, firstParameter, messages_);
  RecordInstallDir();
  QuitRequested = false;
  mainForm = this;
  ApplicationMessageHook = MainFormAppMessage;

  TrayIcon = std::make_unique<TTrayIcon>();
  TrayIcon->OnClick = [this] { acOpenCPAExecute(); };
  TrayIcon->PopupMenu = pmSysTray;
  TrayIcon->PopupMenuOwner = hwnd_;
  TrayIcon->SetToolTip(txt::AppTitle);

  if (parameters_.empty()) {
    SetCheckBox(cbxShowTrayIcon, Config().ShowTrayIcon());
  } else {
    SetCheckBox(cbxShowTrayIcon, true);
    if (ParameterHasSwitch(parameters_[0], L"-tray")) {
      TrayIcon->SetActive(true);
      showAtStart_ = false;
    }
  }
  ApplyStoredWindowPosition();
  acEditAlias.key = VK_RETURN;
  acEditAlias.modifiers = FALT;
  acEditTools.key = VK_RETURN;
  acEditTools.modifiers = FALT;
  acLaunchTools.key = VK_RETURN;
  acLaunchTools.modifiers = 0;

  CreateAliasList();
  StoppedIcon = static_cast<HICON>(LoadImageW(instance_, L"ICO_002", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  RunningIcon = static_cast<HICON>(LoadImageW(instance_, L"ICO_001", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  if (ui::IsChecked(cbxShowTrayIcon)) showAtStart_ = false;
  AddDefaultTool();
  RebuildTrayToolsMenu();

  DiscoverInstallation();
  LoadAdminLogin();
  SocketErrors.clear();
  FillIPList();
  StartSocketServer();
}

void TfrmMain::ApplyStoredWindowPosition() {
  const RECT r = Config().GetWinPos();
  if (r.left > 0 && r.right > r.left && r.top > 0 && r.bottom > r.top)
    SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmMain::RecordInstallDir() {
  std::wstring folder = ProgramFolder();
  std::wstring stored;
  if (RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, kInstallKey, KEY_READ)) {
    stored = key.ReadString(L"InstallDir").value_or(L"");
  }
  if (Lower(stored) == Lower(folder)) return;
  // Without administrator rights the key cannot be opened for writing; that is fine.
  if (RegKey key = RegKey::Create(HKEY_LOCAL_MACHINE, kInstallKey)) key.WriteString(L"InstallDir", folder);
}

// ---------------------------------------------------------------------------------------------
// Pages

void TfrmMain::RebuildTabs() {
  TabCtrl_DeleteAllItems(pagMain);
  int index = 0, activeIndex = -1;
  for (int id = 0; id < PageCount; ++id) {
    if (!pages_[id].tabVisible) continue;
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<wchar_t*>(pages_[id].caption.c_str());
    item.lParam = id;
    TabCtrl_InsertItem(pagMain, index, &item);
    if (id == activePage_) activeIndex = index;
    ++index;
  }
  if (activeIndex >= 0) TabCtrl_SetCurSel(pagMain, activeIndex);
  RECT area{0, 0, 412, 172};
  TabCtrl_AdjustRect(pagMain, FALSE, &area);
  for (auto& page : pages_)
    SetWindowPos(page.panel, HWND_TOP, 4 + area.left, 4 + area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOACTIVATE);
  ShowActivePanel();
}

void TfrmMain::ShowActivePanel() {
  for (int id = 0; id < PageCount; ++id)
    ShowWindow(pages_[id].panel, id == activePage_ ? SW_SHOWNA : SW_HIDE);
}

void TfrmMain::SetActivePage(PageId page) {
  activePage_ = page;
  int count = TabCtrl_GetItemCount(pagMain);
  TabCtrl_SetCurSel(pagMain, -1);
  for (int i = 0; i < count; ++i) {
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    TabCtrl_GetItem(pagMain, i, &item);
    if (item.lParam == page) TabCtrl_SetCurSel(pagMain, i);
  }
  ShowActivePanel();
}

void TfrmMain::SelectNeighbourPage(int step) {
  const int count = TabCtrl_GetItemCount(pagMain);
  if (count < 2) return;
  const int next = (TabCtrl_GetCurSel(pagMain) + step + count) % count;
  TCITEMW item{};
  item.mask = TCIF_PARAM;
  TabCtrl_GetItem(pagMain, next, &item);
  SetActivePage(static_cast<PageId>(item.lParam));
  pagMainChange();
}

void TfrmMain::SetPageVisible(PageId page, bool visible) {
  if (pages_[page].tabVisible == visible) return;
  pages_[page].tabVisible = visible;
  RebuildTabs();
}

void TfrmMain::pagMainChange() {
  if (activePage_ == tabAlias) {
    RefreshAliasList();
    if (ListView_GetItemCount(lvAlias) > 0) {
      const int top = ListView_GetTopIndex(lvAlias);
      ListView_SetItemState(lvAlias, top, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    SetFocus(lvAlias);
  } else if (activePage_ == tabTools) {
    FillToolsList();
    if (SendMessageW(lbxTools, LB_GETCOUNT, 0, 0) > 0) SendMessageW(lbxTools, LB_SETCURSEL, 0, 0);
    SetFocus(lbxTools);
  }
}

// ---------------------------------------------------------------------------------------------
// Pending changes, buttons, actions

void TfrmMain::AnyChangeToSettings() {
  ui::Enable(btnApply, true);
  ui::SetText(btnCancel, txt::Cancel);
}

void TfrmMain::FormShow() {
  ui::Enable(btnApply, false);
  ui::SetText(btnCancel, txt::Close);
}

void TfrmMain::btnOkClick() {
  if (ui::IsEnabled(btnApply)) ApplySettings(false);
  Close();
}

void TfrmMain::btnCloseClick() {
  // A login typed and then cancelled is not kept for the next Apply.
  if (ui::IsEnabled(btnApply)) ShowAdminLogin();
  Close();
}

void TfrmMain::SetCheckBox(HWND checkBox, bool checked) {
  if (ui::IsChecked(checkBox) == checked) return;
  SendMessageW(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  OnCheckBoxClick(checkBox);
}

void TfrmMain::cbxShowTrayIconClick() {
  const bool checked = ui::IsChecked(cbxShowTrayIcon);
  if (TrayIcon) TrayIcon->SetActive(checked);
  Config().SetShowTrayIcon(checked);
  AnyChangeToSettings();
}

void TfrmMain::OnCheckBoxClick(HWND checkBox) {
  if (checkBox == cbxShowTrayIcon) {
    cbxShowTrayIconClick();
    return;
  }
  if (checkBox == cbxAutostart || checkBox == cbxService || checkBox == cbxGuardian ||
      checkBox == CHK_Zibidi) {
    AnyChangeToSettings();
  }
}

void TfrmMain::ExecuteAction(Action& action) {
  if (action.enabled && action.execute) action.execute();
}

TfrmMain::Action* TfrmMain::ActionForMenu(UINT id) {
  for (Action* a : actions_)
    if (a->menuId == id) return a;
  return nullptr;
}

TfrmMain::Action* TfrmMain::ActionForButton(HWND button) {
  for (Action* a : actions_)
    if (std::find(a->buttons.begin(), a->buttons.end(), button) != a->buttons.end()) return a;
  return nullptr;
}

bool TfrmMain::HandleShortcut(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
  const BYTE modifiers = CurrentModifiers();
  if (msg.wParam == VK_TAB && (modifiers & FCONTROL)) {  // Ctrl+Tab / Ctrl+Shift+Tab: next page
    SelectNeighbourPage((modifiers & FSHIFT) ? -1 : 1);
    return true;
  }
  for (Action* a : actions_) {
    if (a->key == msg.wParam && a->modifiers == modifiers && a->enabled) {
      a->execute();
      return true;
    }
  }
  return false;
}

void TfrmMain::ActionListUpdate() {
  const bool onAlias = activePage_ == tabAlias;
  const bool aliasSelected = ListView_GetNextItem(lvAlias, -1, LVNI_SELECTED) >= 0;
  const bool aliasWritable = !Aliases.ReadOnly();
  acAddAlias.enabled = onAlias && aliasWritable;
  acEditAlias.enabled = acDeleteAlias.enabled = onAlias && aliasSelected && aliasWritable;

  const bool onTools = activePage_ == tabTools;
  const bool toolSelected = SendMessageW(lbxTools, LB_GETCURSEL, 0, 0) != LB_ERR;
  acAddTools.enabled = onTools;
  acEditTools.enabled = acDeleteTools.enabled = acLaunchTools.enabled = onTools && toolSelected;

  for (Action* a : actions_) {
    for (HWND b : a->buttons)
      if (ui::IsEnabled(b) != a->enabled) ui::Enable(b, a->enabled);
    const UINT state = MF_BYCOMMAND | (a->enabled ? MF_ENABLED : MF_GRAYED);
    for (HMENU menu : {pmSysTray, pmAlias, pmTools}) EnableMenuItem(menu, a->menuId, state);
  }
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
  if (!QuitRequested && ui::IsChecked(cbxShowTrayIcon)) {
    showAtStart_ = false;
    ShowWindow(hwnd_, SW_HIDE);
    return false;
  }
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

void TfrmMain::SetTimerEnabled(bool enabled) {
  timerEnabled_ = enabled;
  if (enabled)
    SetTimer(hwnd_, kStatusTimer, kStatusInterval, nullptr);
  else
    KillTimer(hwnd_, kStatusTimer);
}

void TfrmMain::TimerTimer() {
  SetTimerEnabled(false);
  try {
    RefreshServerState();
  } catch (const EOSError& e) {
    // The timer stays off for the rest of the run.
    platform_.dialogs.ShowError(e.StandardMessage());
    return;
  } catch (const std::exception&) {
    platform_.dialogs.ShowError(EOSError(0, L"").StandardMessage());
    return;
  }
  SetTimerEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Messages

LRESULT CALLBACK TfrmMain::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<TfrmMain*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<TfrmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || msg == WM_NCDESTROY) {
    if (self) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return self->HandleMessage(msg, wp, lp);
}

LRESULT CALLBACK TfrmMain::PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CONTEXTMENU:
      return SendMessageW(GetParent(hwnd), msg, wp, lp);
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// A mouse click brings its own point; the menu key or Shift+F10 (lp == -1) opens the menu below
// the selected item, or at the list's corner when nothing is selected.
POINT TfrmMain::ContextMenuPoint(HWND list, LPARAM lp) const {
  if (lp != -1) return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  RECT item{};
  if (list == lvAlias) {
    const int selected = ListView_GetNextItem(lvAlias, -1, LVNI_SELECTED);
    if (selected >= 0) ListView_GetItemRect(lvAlias, selected, &item, LVIR_LABEL);
  } else {
    const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (selected != LB_ERR) SendMessageW(list, LB_GETITEMRECT, selected, reinterpret_cast<LPARAM>(&item));
  }
  POINT pt{item.left, item.bottom};
  ClientToScreen(list, &pt);
  return pt;
}

LRESULT TfrmMain::HandleColor(HDC dc, HWND control) {
  COLORREF color = GetSysColor(COLOR_WINDOWTEXT);
  bool custom = true;
  if (control == lblFBVersion) color = kNavy;
  else if (control == lblGuardianState || control == lblServerState) color = kRed;
  else if (control == lblDependentServices) color = kMaroon;
  else custom = false;
  if (custom) SetTextColor(dc, color);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void TfrmMain::HandleCommand(int id, int code, HWND control) {
  if (control == nullptr) {  // menu item or accelerator
    if (static_cast<UINT>(id) >= kFirstTrayToolId) {
      TrayToolClick(static_cast<UINT>(id));
      return;
    }
    if (Action* a = ActionForMenu(static_cast<UINT>(id))) ExecuteAction(*a);
    return;
  }
  if (code == EN_CHANGE && (id == idZibidiPort || id == idSocketPort)) {
    AnyChangeToSettings();
    return;
  }
  if (code == EN_CHANGE && (id == idAdminUser || id == idAdminPassword)) {
    AdminLoginChanged();
    return;
  }
  if (code == LBN_DBLCLK && id == idToolList) {
    ExecuteAction(acLaunchTools);
    return;
  }
  if (code == BN_CLICKED) {
    if (Action* a = ActionForButton(control)) {
      ExecuteAction(*a);
      return;
    }
    switch (id) {
      case idOk: btnOkClick(); return;
      case IDOK:  // Enter: the cancel button is also the default button
      case idCancel: btnCloseClick(); return;
      case idApply: ApplySettings(true); return;
      case idStartStop: btnStartStopClick(); return;
      case idChangeRoot: btnChangeRootClick(); return;
      case idSocketServer: btnSocketServerClick(); return;
      case idDefPath: BTN_Def_PathClick(); return;
      case idFirebirdLink: URLClick(control); return;  // STN_CLICKED has BN_CLICKED's code
      default: break;
    }
    if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) {
      LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
      if (style == BS_AUTOCHECKBOX) OnCheckBoxClick(control);
    }
  }
}

void TfrmMain::HandleNotify(const NMHDR& header) {
  if (header.hwndFrom == lvAlias && header.code == NM_DBLCLK) {
    lvAliasDblClick();
    return;
  }
  if (header.hwndFrom == pagMain && header.code == TCN_SELCHANGE) {
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    TabCtrl_GetItem(pagMain, TabCtrl_GetCurSel(pagMain), &item);
    activePage_ = static_cast<PageId>(item.lParam);
    ShowActivePanel();
    pagMainChange();
  }
}

void TfrmMain::ReportException() {
  // Errors that reach the top of a user's action are shown once, as the application would.
  try {
    throw;
  } catch (const EOSError& e) {
    platform_.dialogs.ShowError(e.StandardMessage());
  } catch (const EActionError& e) {
    platform_.dialogs.ShowError(e.Message());
  } catch (const std::exception& e) {
    platform_.dialogs.ShowError(FromUtf8(e.what()));
  }
}

LRESULT TfrmMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      try {
        if (LOWORD(wp) == IDOK && lp == 0)
          btnCloseClick();
        else
          HandleCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      } catch (...) {
        ReportException();
      }
      return 0;
    case WM_NOTIFY:
      HandleNotify(*reinterpret_cast<NMHDR*>(lp));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return HandleColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_CONTEXTMENU: {
      HWND target = reinterpret_cast<HWND>(wp);
      HMENU menu = target == lvAlias ? pmAlias : target == lbxTools ? pmTools : nullptr;
      if (!menu) break;
      const bool fromKeyboard = lp == -1;
      const POINT pt = ContextMenuPoint(target, lp);
      if (target == lbxTools && !fromKeyboard) {
        POINT client = pt;
        ScreenToClient(lbxTools, &client);
        lbxToolsMouseDown(client.x, client.y);
      }
      ActionListUpdate();
      TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, hwnd_, nullptr);
      return 0;
    }
    case WM_TIMER:
      if (wp == kStatusTimer) TimerTimer();
      return 0;
    case WM_SHOWWINDOW:
      if (wp) FormShow();
      break;
    case WM_SETCURSOR:
      if (HCURSOR c = ApplicationCursor()) {
        SetCursor(c);
        return TRUE;
      }
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lp);
      info->ptMinTrackSize = {kMinWidth, kMinHeight};
      return 0;
    }
    case WM_CLOSE:
      if (FormCloseQuery()) {
        RECT r;
        GetWindowRect(hwnd_, &r);
        try {
          Config().SetWinPos(r);
        } catch (...) {
          ReportException();
        }
        StopSocketServer();
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
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace vantrel

namespace vantrel {

std::wstring FormatText(const std::wstring& pattern, const std::wstring& value) {
  std::wstring result = pattern;
  auto at = result.find(L"%s");
  if (at != std::wstring::npos) result.replace(at, 2, value);
  return result;
}

void TfrmMain::UpdateTrayIcon(HICON icon, const std::wstring& toolTip) {
  trayIcon_ = icon;
  trayToolTip_ = toolTip;
  if (TrayIcon) {
    TrayIcon->SetIcon(icon);
    TrayIcon->SetToolTip(toolTip);
  }
}

}  // namespace vantrel
