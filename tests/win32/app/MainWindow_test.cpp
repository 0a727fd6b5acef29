// The main window in-process, with scripted services, probes and boxes.
#include "tests/win32/app/MainWindowFixture.h"
#include "app/ControlIds.h"
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
  EXPECT_EQ(Text(form->lblDependentServices), L"Bilgi: 0 bağımlı servis var");
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
  EXPECT_EQ(Text(form->lblGuardianState), L"kurulmamış");
  EXPECT_FALSE(ui::IsEnabled(form->cbxGuardian));
  probes.nt = false;
  form->DiscoverInstallation();
  EXPECT_TRUE(form->GuardianAvailable);
  EXPECT_FALSE(ui::IsEnabled(form->cbxService));
}

TEST_F(MainWindow, UserWithoutServiceRightsCannotStartOrConfigure) {
  services.canControl = false;
  Create();
  for (HWND h : {form->cbxAutostart, form->cbxService, form->cbxGuardian, form->btnStartStop})
    EXPECT_FALSE(ui::IsEnabled(h));
  EXPECT_FALSE(form->acStartServer.enabled);
  EXPECT_FALSE(form->acStopServer.enabled);
}

TEST_F(MainWindow, StatusFollowsWindowsAndServices) {
  Create();
  // Server as an application, no guardian running.
  probes.windows = {L"FB_Server"};
  form->RefreshServerState();
  EXPECT_EQ(Text(form->lblServerState), L"Uygulama olarak çalışıyor");
  EXPECT_EQ(Text(form->lblGuardianState), L"Durduruldu");
  EXPECT_EQ(Text(form->btnStartStop), L"Durdur");
  EXPECT_EQ(form->TrayIconImage(), form->RunningIcon);
  EXPECT_EQ(form->TrayToolTip(), L"Vantrel\r\nUygulama olarak çalışıyor");
  EXPECT_TRUE(form->acStopServer.enabled);
  EXPECT_FALSE(form->acStartServer.enabled);

  // Service running without a window: shown as a service, yet not counted as running.
  probes.windows.clear();
  services.states[L"FirebirdServerDefaultInstance"] = ServiceRunning;
  form->RefreshServerState();
  EXPECT_EQ(Text(form->lblServerState), L"Servis olarak çalışıyor");
  EXPECT_EQ(Text(form->btnStartStop), L"Başlat");
  EXPECT_EQ(form->TrayIconImage(), form->StoppedIcon);

  // Guardian service disabled: "Etkisiz"; guardian window alone makes the indicator run.
  services.states.clear();
  services.setups[L"FirebirdGuardianDefaultInstance"].Enabled = false;
  form->RefreshServerState();
  EXPECT_EQ(Text(form->lblGuardianState), L"Etkisiz");
  probes.windows = {L"FB_Guard"};
  form->RefreshServerState();
  EXPECT_EQ(Text(form->lblGuardianState), L"Uygulama olarak çalışıyor");
  EXPECT_EQ(Text(form->btnStartStop), L"Durdur");
}

TEST_F(MainWindow, FailedRefreshStopsTheTimerForGoodAndReportsOnce) {
  Create();
  services.failSetup = true;
  form->TimerTimer();
  EXPECT_FALSE(form->TimerEnabled());
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0].rfind(L"System Error.  Code: 5.\r\n", 0), 0u);
}

TEST_F(MainWindow, PendingChangesAreSharedByThePages) {
  Create();
  form->FormShow();
  EXPECT_FALSE(ui::IsEnabled(form->btnApply));
  EXPECT_EQ(Text(form->btnCancel), L"&Kapat");
  form->SetCheckBox(form->cbxAutostart, !ui::IsChecked(form->cbxAutostart));
  EXPECT_TRUE(ui::IsEnabled(form->btnApply));
  EXPECT_EQ(Text(form->btnCancel), L"&Vazgeç");
  form->FormShow();
  EXPECT_FALSE(ui::IsEnabled(form->btnApply));
}

TEST_F(MainWindow, CloseHidesWhileTheTrayIconIsOnAndEndsOtherwise) {
  Create();
  form->SetCheckBox(form->cbxShowTrayIcon, true);
  ShowWindow(form->Handle(), SW_SHOW);
  form->Close();
  EXPECT_TRUE(IsWindow(form->Handle()));
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  EXPECT_TRUE(form->TrayIcon->Active());
  form->acCloseCPAExecute();
  EXPECT_FALSE(IsWindow(form->Handle()));
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // the loop would end
}

TEST_F(MainWindow, ActionsOfAPageAreEnabledOnlyOnThatPage) {
  Create();
  form->ActionListUpdate();
  EXPECT_FALSE(form->acAddAlias.enabled);
  EXPECT_FALSE(form->acAddTools.enabled);
  form->SetActivePage(TfrmMain::tabTools);
  form->ActionListUpdate();
  EXPECT_TRUE(form->acAddTools.enabled);
  EXPECT_FALSE(form->acLaunchTools.enabled);  // nothing selected
  EXPECT_TRUE(ui::IsEnabled(form->btnAddTools));
  EXPECT_FALSE(form->acAddAlias.enabled);
}

TEST_F(MainWindow, StoredPositionIsAppliedOnlyWhenPlausibleAndARealCloseStoresIt) {
  Config().SetWinPos(RECT{50, 60, 530, 360});
  Create();
  RECT r;
  GetWindowRect(form->Handle(), &r);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 60);
  EXPECT_EQ(r.right, 530);
  form->acCloseCPAExecute();
  const RECT stored = Config().GetWinPos();
  EXPECT_EQ(stored.left, 50);
  EXPECT_EQ(stored.bottom, 360);

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
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(idFirebirdLink, STN_CLICKED),
                 reinterpret_cast<LPARAM>(form->lblFirebirdLink));
  };
  click();
  EXPECT_EQ(launcher.opened, std::vector<std::wstring>{L"https://firebirdsql.org/  @"});
  EXPECT_EQ(during, LoadCursorW(nullptr, IDC_APPSTARTING));
  EXPECT_EQ(ApplicationCursor(), nullptr);

  SetWindowTextW(form->lblFirebirdLink, L"");
  click();
  EXPECT_EQ(launcher.opened.size(), 1u);  // an empty link opens nothing
}
