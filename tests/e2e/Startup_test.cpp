// Start-up, single instance and installation discovery, seen from outside the program.
#include <gtest/gtest.h>

#include "shell/ControlIds.h"
#include "tests/e2e/Harness.h"
#include "tests/win32/socketpage/LineClient.h"

using namespace e2e;
using vantrel::ControlId;

namespace {

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearRegistrations();
    ResetUserSettings();
  }
  void TearDown() override { ClearRegistrations(); }

  std::wstring FirebirdRoot() {
    std::wstring root = LayInstallation(L"fb", Kind::Firebird);
    RegisterRoot(Kind::Firebird, root);
    return root;
  }

  static std::wstring ControlText(HWND main, int id) { return Text(FindControl(main, id)); }
};

// Only the first failure is seen; pressing OK ends the program.
void ExpectFatalMessage(const std::wstring& expected) {
  Vantrel app;
  HWND box = app.WaitMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), expected);
  PressButton(box, IDOK);
  DWORD code = 0;
  ASSERT_TRUE(app.WaitExit(15000, &code));
  EXPECT_EQ(code, 1u);  // the quit request posted by the failure
}

}  // namespace

TEST_F(Startup, MissingRegistrationIsReportedAndEndsTheProgram) {
  ExpectFatalMessage(L"Firebird kayıt girişi bulunamadı!\r\nFirebird kurulumunu kontrol edin!");
}

TEST_F(Startup, MissingRootDirectoryIsReportedAndEndsTheProgram) {
  RegisterRoot(Kind::Firebird, L"C:\\no\\such\\root");
  ExpectFatalMessage(L"Dosya yolu bulunamadı: C:\\no\\such\\root\\");
}

TEST_F(Startup, RootWithoutServerIsReportedAndEndsTheProgram) {
  std::wstring root = LayInstallation(L"empty", Kind::Firebird);
  DeleteFileW((root + L"\\bin\\fbserver.exe").c_str());
  RegisterRoot(Kind::Firebird, root);
  ExpectFatalMessage(L"Dosya bulunamadı:  ibserver.exe/fbserver.exe/firebird.exe");
}

// Firebird 3 and later: firebird.exe in the root folder, no bin\. No message, the version of the
// server program found, the root shown, the state read.
TEST_F(Startup, RootLayoutStartsWithoutAMessageAndShowsItsVersion) {
  std::wstring root = LayInstallation(L"fb5", Kind::FirebirdRoot);
  RegisterRoot(Kind::FirebirdRoot, root);
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));
  EXPECT_EQ(app.WaitMessageBox(1500), nullptr);
  const std::wstring server = root + L"\\firebird.exe";
  EXPECT_EQ(ControlText(main, vantrel::idFBVersion), L"Firebird Server 5.0.1.1469");
  EXPECT_EQ(ControlText(main, vantrel::idFBVersion),
            FileVersionString(server, L"FileDescription") + L" " + FileVersionString(server, L"FileVersion"));
  EXPECT_EQ(ControlText(main, vantrel::idRootDir), root + L"\\");
  EXPECT_FALSE(IsWindowEnabled(FindControl(main, vantrel::idChangeRoot)));
  EXPECT_EQ(ControlText(main, vantrel::idServerState), L"Durduruldu");
  EXPECT_EQ(ControlText(main, vantrel::idGuardianState), L"kurulmamış");
}

// A 32-bit server on 64-bit Windows writes its root into the 32-bit registry view only.
TEST_F(Startup, ARootRegisteredOnlyInThe32BitViewIsFound) {
  std::wstring root = LayInstallation(L"fb5-32", Kind::FirebirdRoot);
  RegisterRoot(Kind::FirebirdRoot, root, RegistryView::Bits32);
  HKEY view64 = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Firebird Project\\Firebird Server\\Instances", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &view64) == ERROR_SUCCESS) {
    const LSTATUS seen = RegQueryValueExW(view64, L"DefaultInstance", nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(view64);
    ASSERT_NE(seen, ERROR_SUCCESS) << "the 64-bit view must not see it";
  }
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));
  EXPECT_EQ(app.WaitMessageBox(1500), nullptr);
  EXPECT_EQ(ControlText(main, vantrel::idRootDir), root + L"\\");
  EXPECT_EQ(ControlText(main, vantrel::idServerState), L"Durduruldu");
}

TEST_F(Startup, FirebirdRootShowsItsVersionAndOffersNoRootChange) {
  std::wstring root = FirebirdRoot();
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));
  const std::wstring server = root + L"\\bin\\fbserver.exe";
  EXPECT_EQ(ControlText(main, vantrel::idFBVersion),
            FileVersionString(server, L"FileDescription") + L" " +
                FileVersionString(server, L"FileVersion"));
  EXPECT_EQ(ControlText(main, vantrel::idRootDir), root + L"\\");
  EXPECT_FALSE(IsWindowEnabled(FindControl(main, vantrel::idChangeRoot)));
  EXPECT_EQ(ControlText(main, vantrel::idServerState), L"Durduruldu");
  EXPECT_EQ(ControlText(main, vantrel::idStartStop), L"Başlat");
  EXPECT_EQ(Text(main), L"Vantrel");
}

TEST_F(Startup, InterBaseRootOffersRootChangeAndFirebirdRegistrationWins) {
  std::wstring ib = LayInstallation(L"ib", Kind::InterBase);
  RegisterRoot(Kind::InterBase, ib);
  {
    Vantrel app;
    HWND main = app.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ControlText(main, vantrel::idRootDir), ib + L"\\");
    EXPECT_TRUE(IsWindowEnabled(FindControl(main, vantrel::idChangeRoot)));
    EXPECT_EQ(ControlText(main, vantrel::idFBVersion).rfind(L"InterBase", 0), 0u);
  }
  std::wstring fb = FirebirdRoot();
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(ControlText(main, vantrel::idRootDir), fb + L"\\");
}

TEST_F(Startup, SecondStartShowsTheFirstInstanceAndEndsWithZero) {
  FirebirdRoot();
  Vantrel first(L"-tray");
  HWND main = first.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  Sleep(500);
  EXPECT_FALSE(IsWindowVisible(main));

  Vantrel second;
  DWORD code = 99;
  ASSERT_TRUE(second.WaitExit(15000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));
  EXPECT_TRUE(first.Running());
}

TEST_F(Startup, ExitParameterEndsTheRunningInstance) {
  FirebirdRoot();
  Vantrel first;
  ASSERT_NE(first.WaitMainWindow(), nullptr);
  Vantrel second(L"/Quiet-EXIT");
  DWORD code = 99;
  ASSERT_TRUE(second.WaitExit(15000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(first.WaitExit(15000));
}

TEST_F(Startup, ExitWithNoInstanceStartsHiddenInTheTray) {
  FirebirdRoot();
  Vantrel app(L"-exit");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  Sleep(1500);
  EXPECT_TRUE(app.Running());
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_EQ(SendMessageW(FindControl(main, vantrel::idShowTrayIcon), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Startup, TrayParameterShowsOnlyTheIcon) {
  FirebirdRoot();
  Vantrel app(L"-tray");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  Sleep(1500);
  EXPECT_FALSE(IsWindowVisible(main));
  HWND trayWindow = nullptr;
  while ((trayWindow = FindWindowExW(nullptr, trayWindow, L"TTrayIconWindow", nullptr))) {
    DWORD pid = 0;
    GetWindowThreadProcessId(trayWindow, &pid);
    if (pid == app.Pid()) break;
  }
  EXPECT_NE(trayWindow, nullptr);
}

// The elevated restart's new instance: it waits for the instance that handed over to end, then
// starts as the only one; the listener then has its port.
TEST_F(Startup, AHandOverWaitsForTheNamedInstanceToEndAndThenStartsNormally) {
  FirebirdRoot();
  Vantrel first;
  ASSERT_NE(first.WaitMainWindow(), nullptr);
  Vantrel second(L"/handover:" + std::to_wstring(first.Pid()), /*waitIdle=*/false);
  Sleep(2000);
  EXPECT_TRUE(second.Running());
  EXPECT_EQ(second.MainWindow(), nullptr) << "it must wait, not hand its start to the first";

  Vantrel exitRequest(L"-exit");
  ASSERT_TRUE(first.WaitExit(15000));
  HWND main = second.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));
  EXPECT_TRUE(second.Running());
  // No alias file: the protocol's port, free again once the first instance ended.
  vantrel::testing_support::TLineClient client;
  ASSERT_TRUE(WaitFor([&] { return client.Connect(3049); }));
  EXPECT_TRUE(client.ReadLine().has_value());
}

TEST_F(Startup, AHandOverFromAProcessThatIsGoneStartsAtOnce) {
  FirebirdRoot();
  const DWORD start = GetTickCount();
  Vantrel app(L"/handover:4294967");
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  EXPECT_LT(GetTickCount() - start, 9000u) << "no wait for a process that does not exist";
}
