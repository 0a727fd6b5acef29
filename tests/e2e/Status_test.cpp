// The start page against the simulated server: states every second, start and stop as an
// application from the button and as services through Wine's service control manager, for both
// Firebird layouts.
#include <gtest/gtest.h>

#include "shell/ControlIds.h"
#include "tests/e2e/SimFirebirdTest.h"
#include "tests/sim/SimTesting.h"

using namespace e2e;
namespace sim = vantrel::sim;
namespace simt = vantrel::sim::testing;

namespace {

class Status : public SimLayoutTest {
 protected:

  static std::wstring Label(HWND main, int id) { return Text(FindControl(main, id)); }
  static bool Shows(HWND main, int id, const std::wstring& text, DWORD timeout = 20000) {
    return WaitFor([&] { return Label(main, id) == text; }, timeout);
  }
};

}  // namespace

TEST_P(Status, ApplicationModeStartsAndStopsFromTheButton) {
  simt::TempInstallation install(GetParam());
  RegisterRoot(Kind::Firebird, install.Root());
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(Shows(main, vantrel::idServerState, L"Durduruldu"));
  EXPECT_EQ(Label(main, vantrel::idGuardianState), L"kurulmamış");  // no guardian service
  EXPECT_EQ(Label(main, vantrel::idStartStop), L"Başlat");

  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Uygulama olarak çalışıyor"));
  EXPECT_TRUE(Shows(main, vantrel::idStartStop, L"Durdur"));
  EXPECT_TRUE(simt::WindowExists(L"FB_Server"));

  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Durduruldu"));
  EXPECT_TRUE(Shows(main, vantrel::idStartStop, L"Başlat"));
  EXPECT_FALSE(simt::WindowExists(L"FB_Server"));
}

TEST_P(Status, ServerStartedElsewhereIsSeenWithinTheNextRefreshes) {
  simt::TempInstallation install(GetParam());
  RegisterRoot(Kind::Firebird, install.Root());
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(Shows(main, vantrel::idServerState, L"Durduruldu"));
  auto server = simt::ChildProcess::Start(L"\"" + install.BinFile(ServerExe()) + L"\" -a",
                                          install.Root());
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Uygulama olarak çalışıyor"));
  simt::EndWindowsOfClass(L"FB_Server");
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Durduruldu"));
}

TEST_P(Status, ServicesStartAndStopThroughTheServiceManager) {
  simt::TempInstallation install(GetParam());
  // Registers the root and installs both services (guardian automatic) as the real tools do.
  RegisterWithKitTools(install, L"install -g -auto");
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(Shows(main, vantrel::idGuardianState, L"Durduruldu"));
  EXPECT_EQ(SendMessageW(FindControl(main, vantrel::idService), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(FindControl(main, vantrel::idGuardian), BM_GETCHECK, 0, 0), BST_CHECKED);

  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Servis olarak çalışıyor", 40000));
  EXPECT_TRUE(Shows(main, vantrel::idGuardianState, L"Servis olarak çalışıyor"));
  EXPECT_TRUE(Shows(main, vantrel::idStartStop, L"Durdur"));

  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Durduruldu", 60000));
  EXPECT_TRUE(Shows(main, vantrel::idGuardianState, L"Durduruldu"));
}

TEST_P(Status, GuardianAndServerAsApplicationsAreShownAndStoppedFromTheButton) {
  simt::TempInstallation install(GetParam());
  RegisterWithKitTools(install, L"install -g");
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(Shows(main, vantrel::idGuardianState, L"Durduruldu"));

  // The guardian started by hand as an application starts its server the same way.
  auto guardian = simt::ChildProcess::Start(L"\"" + install.BinFile(L"fbguard.exe") + L"\" -a",
                                            install.Root());
  EXPECT_TRUE(Shows(main, vantrel::idGuardianState, L"Uygulama olarak çalışıyor"));
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Uygulama olarak çalışıyor"));
  EXPECT_TRUE(Shows(main, vantrel::idStartStop, L"Durdur"));

  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(Shows(main, vantrel::idGuardianState, L"Durduruldu", 30000));
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Durduruldu"));
  EXPECT_TRUE(Shows(main, vantrel::idStartStop, L"Başlat"));
  EXPECT_FALSE(simt::WindowExists(L"FB_Guard"));
  EXPECT_FALSE(simt::WindowExists(L"FB_Server"));
}

TEST_P(Status, ApplicationModeWithGuardianStartsTheGuardianWhichStartsTheServer) {
  simt::TempInstallation install(GetParam());
  RegisterWithKitTools(install, L"install -g");
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] {
    return SendMessageW(FindControl(main, vantrel::idService), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }));
  Click(main, vantrel::idService);  // application mode; the guardian stays ticked

  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(Shows(main, vantrel::idGuardianState, L"Uygulama olarak çalışıyor"));
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Uygulama olarak çalışıyor"));
  EXPECT_TRUE(simt::WindowExists(L"FB_Guard"));

  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Durduruldu", 30000));
  EXPECT_FALSE(simt::WindowExists(L"FB_Guard"));
  EXPECT_FALSE(simt::WindowExists(L"FB_Server"));
}

FOR_BOTH_FIREBIRD_LAYOUTS(Status);

// A stop that waits on a server window that stays (open attachments, a question nobody answers):
// the window answers every message throughout the wait, its button waits with it, and a second
// click starts nothing; the stop ends with its one message once the wait is over.
TEST_P(Status, AWaitingStopKeepsTheWindowAliveAndTakesNoSecondClick) {
  simt::TempInstallation install(GetParam());
  RegisterRoot(Kind::Firebird, install.Root());
  auto server = simt::ChildProcess::Start(L"\"" + install.BinFile(ServerExe()) + L"\" -a -attachments",
                                          install.Root());
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(Shows(main, vantrel::idServerState, L"Uygulama olarak çalışıyor"));
  HWND button = FindControl(main, vantrel::idStartStop);

  Click(main, vantrel::idStartStop);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(button); }, 5000)) << "the stop never began";
  Click(main, vantrel::idStartStop);
  // Each ping may wait as long as a loaded machine needs; it counts only when its answer came
  // while the stop was still waiting (the button still held after it). A window that did not
  // read its messages during the wait would answer only after it.
  int answeredDuringTheWait = 0;
  while (!IsWindowEnabled(button) && !app.WaitMessageBox(0)) {
    DWORD_PTR result = 0;
    const bool answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 60000, &result) != 0;
    if (answered && !IsWindowEnabled(button) && !app.WaitMessageBox(0)) ++answeredDuringTheWait;
    Sleep(100);
  }
  EXPECT_GE(answeredDuringTheWait, 3) << "the window did not answer during the wait";

  HWND box = app.WaitMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_NE(MessageBoxText(box).find(L"durmadı"), std::wstring::npos) << MessageBoxText(box);
  PressButton(box, IDOK);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 15000)) << "the box stayed";
  EXPECT_TRUE(simt::WindowExists(L"FB_Server"));
  if (HWND another = app.WaitMessageBox(3000)) {
    const std::wstring text = MessageBoxText(another);
    ADD_FAILURE() << "another box after the stop's own (" << (another == box ? "the same" : "a new one")
                  << "): " << std::string(text.begin(), text.end());
  }
  simt::EndWindowsOfClass(L"FB_Server");
}
