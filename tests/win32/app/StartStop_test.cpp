// Starting and stopping the server through scripted services, windows and launches.
#include "tests/win32/app/MainWindowFixture.h"
#include "tests/win32/app/PageControls.h"
#include "shell/Busy.h"
#include "shell/TextConv.h"

using namespace vantrel;
using namespace vantrel::testing_support;

namespace {

constexpr wchar_t kServer[] = L"FirebirdServerDefaultInstance";
constexpr wchar_t kGuardian[] = L"FirebirdGuardianDefaultInstance";

}  // namespace

TEST_F(MainWindow, ApplicationModeLaunchesWithDashAAndWaitsForTheServerWindow) {
  Create();
  Tick(Ctl(*form, idService), false);
  Tick(Ctl(*form, idGuardian), true);
  launcher.onOpen = [&] { probes.windows.insert(L"FB_Server"); };
  const std::uint32_t before = probes.tick;
  form->StartPage().StartServer();
  ASSERT_EQ(launcher.opened.size(), 1u);
  EXPECT_EQ(launcher.opened[0], form->GuardianExePath + L" -a @" + form->RootDir);
  EXPECT_EQ(probes.tick - before, 100u);  // found after the first sleep

  // Stopping closes the guardian first, then the server.
  probes.windows.insert(L"FB_Guard");
  probes.nt = false;
  form->StartPage().StopServer();
  EXPECT_EQ(probes.closed, (std::vector<std::wstring>{L"FB_Guard", L"FB_Server"}));
}

// A server with open attachments asks on its own window before it ends.
TEST_F(MainWindow, AServerThatStaysAfterTheStopIsReportedOnce) {
  Create();
  probes.windows.insert(L"FB_Server");
  probes.staying.insert(L"FB_Server");
  form->StartPage().btnStartStopClick();
  EXPECT_EQ(probes.closed, std::vector<std::wstring>{L"FB_Server"});
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0].rfind(L"Firebird sunucusu durmadı.", 0), 0u) << ToUtf8(dialogs.errors[0]);

  probes.staying.clear();
  form->StartPage().btnStartStopClick();
  EXPECT_EQ(dialogs.errors.size(), 1u);
  EXPECT_FALSE(probes.windows.count(L"FB_Server"));
}

TEST_F(MainWindow, WithoutAnAliasFileTheCommandServerTakesTheProtocolsPorts) {
  DeleteFileW((MakeRoot(true) + L"\\aliases.conf").c_str());
  Create();
  EXPECT_FALSE(form->PageTabVisible(TfrmMain::tabAlias));
  EXPECT_EQ(Text(Ctl(*form, idSocketPort)), L"3049");
  EXPECT_EQ(Text(Ctl(*form, idZibidiPort)), L"3051");
}

TEST_F(MainWindow, FailedLaunchShowsTheSystemTextOnceAndDoesNotWait) {
  Create();
  Tick(Ctl(*form, idService), false);
  launcher.failWith = ERROR_FILE_NOT_FOUND;
  const std::uint32_t before = probes.tick;
  form->StartPage().StartServer();
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0], SystemErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(probes.tick, before);
}

TEST_F(MainWindow, WindowThatNeverAppearsEndsTheWaitAfterTenSecondsAcrossTheTickWrap) {
  Create();
  Tick(Ctl(*form, idService), false);
  const std::uint32_t before = probes.tick;  // the counter wraps during the wait
  form->StartPage().StartServer();
  const std::uint32_t waited = probes.tick - before;
  EXPECT_GT(waited, 10000u);
  EXPECT_LE(waited, 10100u);
}

TEST_F(MainWindow, ServiceModeStartsTheGuardianServiceThenAsksForDependents) {
  Create();
  Tick(Ctl(*form, idService), true);
  Tick(Ctl(*form, idGuardian), true);
  services.inactiveDependents[kServer] = {{L"App1", L"Muhasebe"}, {L"App2", L"Stok"}};
  form->StartPage().StartServer();
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(dialogs.questions[0], L"Aşağıdaki bağımlı servisleri şimdi başlat?\r\nMuhasebe, Stok");
  EXPECT_EQ(services.calls, (std::vector<std::wstring>{std::wstring(L"start ") + kGuardian,
                                                       L"start App1", L"start App2"}));
}

TEST_F(MainWindow, DeclinedDependentsStopNothing) {
  Create();
  services.states[kServer] = ServiceRunning;
  services.activeDependents[kServer] = {{L"App1", L"Muhasebe"}};
  dialogs.answer = AnswerNo;
  form->StartPage().StopServer();
  EXPECT_EQ(dialogs.questions.at(0),
            L"Aşağıdaki bağımlı servislerin durdurulması gerekli. Şimdi durdur?\r\nMuhasebe");
  EXPECT_TRUE(services.calls.empty());
  EXPECT_EQ(services.states[kServer], ServiceRunning);
}

TEST_F(MainWindow, DependentsThatRefuseToStopBlockTheServerStop) {
  Create();
  services.states[kServer] = ServiceRunning;
  services.activeDependents[kServer] = {{L"App1", L"Muhasebe"}};
  services.refuseToStop = {L"App1"};
  form->StartPage().StopServer();
  EXPECT_EQ(services.calls, (std::vector<std::wstring>{L"stop App1"}));
  EXPECT_EQ(services.states[kServer], ServiceRunning);
}

TEST_F(MainWindow, NtStopStopsTheGuardianServiceThenTheServerService) {
  Create();
  services.states[kServer] = ServiceRunning;
  services.states[kGuardian] = ServiceRunning;
  form->StartPage().StopServer();
  EXPECT_EQ(services.calls, (std::vector<std::wstring>{std::wstring(L"stop ") + kGuardian,
                                                       std::wstring(L"stop ") + kServer}));
}

TEST_F(MainWindow, OutsideNtStartAlwaysLaunchesAndStopAlwaysClosesWindows) {
  Create();
  probes.nt = false;
  Tick(Ctl(*form, idService), true);
  form->StartPage().StartServer();
  EXPECT_EQ(launcher.opened.size(), 1u);
  EXPECT_TRUE(services.calls.empty());
  services.states[kServer] = ServiceRunning;
  probes.windows = {L"FB_Server"};
  form->StartPage().StopServer();
  EXPECT_TRUE(services.calls.empty());
  EXPECT_EQ(probes.closed, std::vector<std::wstring>{L"FB_Server"});
}

TEST_F(MainWindow, StartStopButtonLooksAtTheServerOnly) {
  Create();
  Tick(Ctl(*form, idService), false);
  probes.windows = {L"FB_Guard"};  // caption reads "Durdur", yet the click starts
  form->StartPage().RefreshServerState();
  EXPECT_EQ(Text(Ctl(*form, idStartStop)), L"Durdur");
  form->StartPage().btnStartStopClick();
  EXPECT_EQ(launcher.opened.size(), 1u);
}

// While a stop waits (the window reading its messages), whatever the user does meanwhile waits
// with it: the button and the boxes are disabled, a second click, the tray's commands, Apply and
// the status timer start nothing, and a real close ends the program only after the wait.
TEST_F(MainWindow, WhileAStopWaitsNothingStartsASecondActionAndACloseWaitsForIt) {
  Create();
  probes.windows.insert(L"FB_Server");
  probes.staying.insert(L"FB_Server");
  form->AnyChangeToSettings();
  int sleeps = 0;
  bool heldThroughout = true;
  probes.onSleep = [&] {
    if (++sleeps > 3) return;
    heldThroughout = heldThroughout && ApplicationBusy() && !ui::IsEnabled(Ctl(*form, idStartStop)) &&
                     !ui::IsEnabled(Ctl(*form, idService)) && !ui::IsEnabled(Ctl(*form, idApply)) &&
                     !ui::IsEnabled(Ctl(*form, idOk));
    form->StartPage().btnStartStopClick();
    SendMessageW(form->Handle(), WM_COMMAND, idMenuStopServer, 0);
    SendMessageW(form->Handle(), WM_COMMAND, idMenuStartServer, 0);
    form->ApplySettings(true);
    form->TimerTimer();
    form->QuitRequested = true;
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  };
  form->StartPage().btnStartStopClick();
  probes.onSleep = nullptr;

  EXPECT_TRUE(heldThroughout);
  EXPECT_EQ(probes.closed, std::vector<std::wstring>{L"FB_Server"}) << "one stop, one WM_CLOSE";
  EXPECT_EQ(dialogs.errors.size(), 1u);
  EXPECT_TRUE(dialogs.questions.empty()) << "Apply ran during the wait";
  EXPECT_FALSE(ApplicationBusy());
  EXPECT_TRUE(ui::IsEnabled(Ctl(*form, idStartStop)));
  EXPECT_TRUE(ui::IsEnabled(Ctl(*form, idApply))) << "the pending change is still there";
  // The close that came during the wait is carried out now.
  EXPECT_TRUE(IsWindow(form->Handle()));
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) DispatchMessageW(&msg);
  EXPECT_FALSE(form->Handle() && IsWindow(form->Handle()));
}

// The button and the tray's item ask who is connected before a running server is stopped; No
// keeps it. A server that does not run is not asked about.
TEST_F(MainWindow, EveryStopOfARunningServerAsksAboutItsAttachmentsFirst) {
  fakes::Attachments source;
  Create();
  form->StartPage().SetAttachmentsSource(&source);
  probes.nt = false;
  probes.windows.insert(L"FB_Server");
  form->StartPage().RefreshServerState();
  SendMessageW(form->Handle(), WM_COMMAND, idMenuStopServer, 0);
  form->StartPage().btnStartStopClick();
  EXPECT_EQ(source.asked, 2);
  EXPECT_EQ(probes.closed, std::vector<std::wstring>{});

  source.mayStop = true;
  SendMessageW(form->Handle(), WM_COMMAND, idMenuStopServer, 0);
  EXPECT_EQ(source.asked, 3);
  EXPECT_EQ(probes.closed, std::vector<std::wstring>{L"FB_Server"});
  EXPECT_TRUE(form->StartPage().StopServer());
  EXPECT_EQ(source.asked, 3);
  form->StartPage().SetAttachmentsSource(nullptr);
}
