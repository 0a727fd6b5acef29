// The main window in-process, with scripted services, probes and boxes.
#include "tests/win32/app/MainWindowFixture.h"
#include "shell/Dpi.h"
#include "tests/win32/app/PageControls.h"
#include "shell/ControlIds.h"
#include "shell/Application.h"
#include "shell/uConfig.h"

using namespace vantrel;

using namespace vantrel::testing_support;


TEST_F(MainWindow, StartUpFindsTheInstallationAndSwitchesTheTimerOn) {
  Create();
  EXPECT_EQ(form->RootDir, root + L"\\");
  EXPECT_EQ(form->ServerExePath, root + L"\\bin\\fbserver.exe");
  EXPECT_EQ(form->GuardianServiceName, L"FirebirdGuardianDefaultInstance");
  EXPECT_TRUE(form->ServerFound);
  EXPECT_TRUE(form->GuardianAvailable);
  EXPECT_EQ(Text(Ctl(*form, idDependentServices)), L"Bilgi: 0 bağımlı servis var");
  EXPECT_TRUE(form->TimerEnabled());
  EXPECT_EQ(form->ActivePage(), TfrmMain::tabStartup);
  EXPECT_FALSE(form->PageTabVisible(TfrmMain::tabAbout));
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(MainWindow, GuardianNeedsItsServiceOnNtButOnlyItsFileElsewhere) {
  services.setups.clear();
  Create();  // re-adds the guardian's setup; drop it again and rediscover
  services.setups.erase(L"FirebirdGuardianDefaultInstance");
  form->DiscoverInstallation();
  EXPECT_FALSE(form->GuardianAvailable);
  EXPECT_EQ(Text(Ctl(*form, idGuardianState)), L"kurulmamış");
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idGuardian)));
  probes.nt = false;
  form->DiscoverInstallation();
  EXPECT_TRUE(form->GuardianAvailable);
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idService)));
}

TEST_F(MainWindow, UserWithoutServiceRightsCannotStartOrConfigure) {
  services.canControl = false;
  Create();
  for (HWND h : {Ctl(*form, idAutostart), Ctl(*form, idService), Ctl(*form, idGuardian), Ctl(*form, idStartStop)})
    EXPECT_FALSE(ui::IsEnabled(h));
  EXPECT_FALSE(form->StartPage().acStartServer.enabled);
  EXPECT_FALSE(form->StartPage().acStopServer.enabled);
}

TEST_F(MainWindow, StatusFollowsWindowsAndServices) {
  Create();
  // Server as an application, no guardian running.
  probes.windows = {L"FB_Server"};
  form->StartPage().RefreshServerState();
  EXPECT_EQ(Text(Ctl(*form, idServerState)), L"Uygulama olarak çalışıyor");
  EXPECT_EQ(Text(Ctl(*form, idGuardianState)), L"Durduruldu");
  EXPECT_EQ(Text(Ctl(*form, idStartStop)), L"Durdur");
  EXPECT_EQ(form->TrayIconImage(), form->StateIcon(true));
  EXPECT_EQ(form->TrayToolTip(), L"Vantrel\r\nUygulama olarak çalışıyor");
  EXPECT_TRUE(form->StartPage().acStopServer.enabled);
  EXPECT_FALSE(form->StartPage().acStartServer.enabled);

  // Service running without a window: shown as a service, yet not counted as running.
  probes.windows.clear();
  services.states[L"FirebirdServerDefaultInstance"] = ServiceRunning;
  form->StartPage().RefreshServerState();
  EXPECT_EQ(Text(Ctl(*form, idServerState)), L"Servis olarak çalışıyor");
  EXPECT_EQ(Text(Ctl(*form, idStartStop)), L"Başlat");
  EXPECT_EQ(form->TrayIconImage(), form->StateIcon(false));

  // Guardian service disabled: "Etkisiz"; guardian window alone makes the indicator run.
  services.states.clear();
  services.setups[L"FirebirdGuardianDefaultInstance"].Enabled = false;
  form->StartPage().RefreshServerState();
  EXPECT_EQ(Text(Ctl(*form, idGuardianState)), L"Etkisiz");
  probes.windows = {L"FB_Guard"};
  form->StartPage().RefreshServerState();
  EXPECT_EQ(Text(Ctl(*form, idGuardianState)), L"Uygulama olarak çalışıyor");
  EXPECT_EQ(Text(Ctl(*form, idStartStop)), L"Durdur");
}

// What the system tells reaches the page at once; hidden in the notification area with every
// change told, the status timer wakes only for the connections. Shown, or with anything that
// must be asked for, it runs each second.
TEST_F(MainWindow, WhatTheSystemTellsShowsAtOnceAndHiddenTheTimerWakesOnlyForTheConnections) {
  probes.followsWindows = true;
  Create();
  ShowWindow(form->Handle(), SW_SHOW);
  EXPECT_EQ(probes.followedClasses, (std::vector<std::wstring>{L"FB_Server", L"FB_Guard"}));
  ASSERT_TRUE(probes.windowsChanged && services.changed);
  probes.windows = {L"FB_Server"};
  probes.windowsChanged();
  EXPECT_EQ(Text(Ctl(*form, idServerState)), L"Uygulama olarak çalışıyor");
  probes.windows.clear();
  services.states[L"FirebirdServerDefaultInstance"] = ServiceRunning;
  services.changed();
  EXPECT_EQ(Text(Ctl(*form, idServerState)), L"Servis olarak çalışıyor");

  const unsigned second = 1000, connections = 10000;
  EXPECT_EQ(form->RefreshInterval(), second);  // shown
  ShowWindow(form->Handle(), SW_HIDE);
  EXPECT_EQ(form->RefreshInterval(), second);  // the services are not pushed yet
  services.pushed = true;
  services.changed();
  EXPECT_EQ(form->RefreshInterval(), connections);
  form->TimerTimer();
  EXPECT_EQ(form->RefreshInterval(), connections);
  ShowWindow(form->Handle(), SW_SHOW);
  EXPECT_EQ(form->RefreshInterval(), second);

  // Without window events the server's windows are asked for each second, hidden too.
  probes.followsWindows = false;
  form->DiscoverInstallation();
  ShowWindow(form->Handle(), SW_HIDE);
  EXPECT_EQ(form->RefreshInterval(), second);
}

// Whether the timer or a change told by the system meets the failure first.
TEST_F(MainWindow, FailedRefreshStopsTheTimerForGoodAndReportsOnce) {
  for (const bool toldFirst : {false, true}) {
    SCOPED_TRACE(toldFirst ? "told first" : "timer first");
    form.reset();  // a window going lets go of what it followed
    services.failSetup = false;
    dialogs.errors.clear();
    Create();
    ASSERT_TRUE(services.changed && probes.windowsChanged);
    services.failSetup = true;
    if (toldFirst)
      services.changed();
    else
      form->TimerTimer();
    EXPECT_FALSE(form->TimerEnabled());
    probes.windowsChanged();  // read no more
    services.changed();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].rfind(L"System Error.  Code: 5.\r\n", 0), 0u);
  }
}

TEST_F(MainWindow, PendingChangesAreSharedByThePages) {
  Create();
  form->FormShow();
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idApply)));
  EXPECT_EQ(Text(Ctl(*form, idCancel)), L"&Kapat");
  Tick(Ctl(*form, idAutostart), !ui::IsChecked(Ctl(*form, idAutostart)));
  EXPECT_TRUE(ui::IsEnabled(Ctl(*form, idApply)));
  EXPECT_EQ(Text(Ctl(*form, idCancel)), L"&Vazgeç");
  form->FormShow();
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idApply)));
}

TEST_F(MainWindow, CloseHidesWhileTheTrayIconIsOnAndEndsOtherwise) {
  Create();
  Tick(Ctl(*form, idShowTrayIcon), true);
  ShowWindow(form->Handle(), SW_SHOW);
  form->Close();
  EXPECT_TRUE(IsWindow(form->Handle()));
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  EXPECT_TRUE(form->TrayIcon()->Active());
  form->acCloseCPAExecute();
  EXPECT_FALSE(IsWindow(form->Handle()));
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // the loop would end
}

TEST_F(MainWindow, ActionsOfAPageAreEnabledOnlyOnThatPage) {
  Create();
  form->ActionListUpdate();
  EXPECT_FALSE(form->AliasPage().acAddAlias.enabled);
  EXPECT_FALSE(form->ToolsPage().acAddTools.enabled);
  form->SetActivePage(TfrmMain::tabTools);
  form->ActionListUpdate();
  EXPECT_TRUE(form->ToolsPage().acAddTools.enabled);
  EXPECT_FALSE(form->ToolsPage().acLaunchTools.enabled);  // nothing selected
  EXPECT_TRUE(ui::IsEnabled(Ctl(*form, idAddTools)));
  EXPECT_FALSE(form->AliasPage().acAddAlias.enabled);
}

TEST_F(MainWindow, StoredPositionIsAppliedOnlyWhenPlausibleAndARealCloseStoresIt) {
  Config().SetWinPos(RECT{50, 60, 530, 360});
  Create();
  RECT r;
  GetWindowRect(form->Handle(), &r);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 60);
  // Only the place: the size is the window's own at its DPI, not the one stored with the place.
  RECT client;
  GetClientRect(form->Handle(), &client);
  EXPECT_EQ(client.right, dpi::Scale(420, form->Dpi()));
  form->acCloseCPAExecute();
  const RECT stored = Config().GetWinPos();
  EXPECT_EQ(stored.left, 50);
  EXPECT_EQ(stored.bottom, r.bottom);

  Config().SetWinPos(RECT{0, 60, 530, 360});  // left 0: centred instead
  form.reset();
  Create();
  GetWindowRect(form->Handle(), &r);
  EXPECT_NE(r.left, 0);
  EXPECT_NE(r.right - r.left, 480);
}

TEST_F(MainWindow, AboutLinkOpensItsCaptionThroughTheShellUnderTheStartCursor) {
  Create();
  HCURSOR during = nullptr;
  launcher.onOpen = [&] { during = ApplicationCursor(); };
  auto click = [&] {
    HWND link = Ctl(*form, idFirebirdLink);
    SendMessageW(GetParent(link), WM_COMMAND, MAKEWPARAM(idFirebirdLink, STN_CLICKED), reinterpret_cast<LPARAM>(link));
  };
  click();
  EXPECT_EQ(launcher.opened, std::vector<std::wstring>{L"https://firebirdsql.org/  @"});
  EXPECT_EQ(during, LoadCursorW(nullptr, IDC_APPSTARTING));
  EXPECT_EQ(ApplicationCursor(), nullptr);

  SetWindowTextW(Ctl(*form, idFirebirdLink), L"");
  click();
  EXPECT_EQ(launcher.opened.size(), 1u);  // an empty link opens nothing
}
