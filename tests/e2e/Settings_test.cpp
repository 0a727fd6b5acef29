// Settings changed in the running program as a user changes them: the startup mode lands in
// Wine's service manager and registry and reads back into the check boxes at the next start;
// the notification-area icon follows its check box.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <optional>

#include "shell/ControlIds.h"
#include "tests/e2e/SimFirebirdTest.h"
#include "tests/sim/SimTesting.h"

using namespace e2e;
namespace sim = vantrel::sim;
namespace simt = vantrel::sim::testing;

namespace {

constexpr wchar_t kGuardianService[] = L"FirebirdGuardianDefaultInstance";
constexpr wchar_t kServerService[] = L"FirebirdServerDefaultInstance";

DWORD StartType(const wchar_t* service) {
  DWORD type = 0;
  if (SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)) {
    if (SC_HANDLE s = OpenServiceW(manager, service, SERVICE_QUERY_CONFIG)) {
      alignas(8) BYTE buffer[8192];
      DWORD needed = 0;
      auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
      if (QueryServiceConfigW(s, config, sizeof buffer, &needed)) type = config->dwStartType;
      CloseServiceHandle(s);
    }
    CloseServiceHandle(manager);
  }
  return type;
}

std::optional<std::wstring> MachineRunValue(const wchar_t* name) {
  wchar_t value[1024];
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", name,
                   RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(value);
}

bool Checked(HWND main, int id) {
  return SendMessageW(FindControl(main, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Whether the shell holds an icon of this window: a modify that changes nothing succeeds only
// for an icon that is there.
bool ShellHasIcon(HWND owner) {
  NOTIFYICONDATAW probe{};
  probe.cbSize = NOTIFYICONDATAW_V2_SIZE;
  probe.hWnd = owner;
  probe.uID = 0;
  return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

HWND TrayWindowOf(DWORD pid) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, L"TTrayIconWindow", nullptr))) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid) return window;
  }
  return nullptr;
}

class Settings : public SimLayoutTest {
 protected:
  void TearDown() override {
    SimFirebirdTest::TearDown();
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                       L"Firebird");
  }

  // Registers the installation and both services (guardian automatic) with the kit's tools,
  // which leaves the start page at: service, guardian and autostart ticked.
  static void InstallWithServices(const simt::TempInstallation& install) {
    RegisterWithKitTools(install, L"install -g -auto");
  }

  // Presses Apply and answers the start question, which comes because autostart stays ticked
  // while the server is stopped.
  static void ApplyAndDeclineTheStart(Vantrel& app, HWND main) {
    HWND apply = FindControl(main, vantrel::idApply);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(apply) != FALSE; }));
    PostMessageW(apply, BM_CLICK, 0, 0);
    HWND box = app.WaitMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"Firebird sunucusunu şimdi başlat?");
    PressButton(box, IDNO);
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(apply) == FALSE; }));
  }

  // The check boxes as a fresh start of the program reads them.
  static void ExpectBoxesAtNextStart(bool service, bool guardian, bool autostart) {
    Vantrel again;
    HWND main = again.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(FindControl(main, vantrel::idStartStop)); }));
    EXPECT_EQ(Checked(main, vantrel::idService), service);
    EXPECT_EQ(Checked(main, vantrel::idGuardian), guardian);
    EXPECT_EQ(Checked(main, vantrel::idAutostart), autostart);
  }
};

class TrayIconSetting : public SimFirebirdTest {};

}  // namespace

FOR_BOTH_FIREBIRD_LAYOUTS(Settings);

TEST_P(Settings, ServiceModeWithGuardianMakesTheGuardianAutomaticAndDropsTheRunValue) {
  simt::TempInstallation install(GetParam());
  InstallWithServices(install);
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                  L"Firebird", REG_SZ, L"left over", sizeof L"left over");
  {
    Vantrel app;
    HWND main = app.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor([&] { return Checked(main, vantrel::idGuardian); }));
    Click(main, vantrel::idAutostart);  // off and on again: a change to apply, same settings
    Click(main, vantrel::idAutostart);
    ApplyAndDeclineTheStart(app, main);
  }
  EXPECT_EQ(StartType(kGuardianService), static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(StartType(kServerService), static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_FALSE(MachineRunValue(L"Firebird"));
  ExpectBoxesAtNextStart(true, true, true);
}

TEST_P(Settings, ServiceModeWithoutGuardianDisablesTheGuardianAndMakesTheServerAutomatic) {
  simt::TempInstallation install(GetParam());
  InstallWithServices(install);
  {
    Vantrel app;
    HWND main = app.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor([&] { return Checked(main, vantrel::idGuardian); }));
    Click(main, vantrel::idGuardian);
    ApplyAndDeclineTheStart(app, main);
  }
  EXPECT_EQ(StartType(kGuardianService), static_cast<DWORD>(SERVICE_DISABLED));
  EXPECT_EQ(StartType(kServerService), static_cast<DWORD>(SERVICE_AUTO_START));
  ExpectBoxesAtNextStart(true, false, true);
}

TEST_P(Settings, ApplicationModeDisablesBothServicesAndRunsTheQuotedGuardianAtLogon) {
  simt::TempInstallation install(GetParam(), L" with blank");
  InstallWithServices(install);
  {
    Vantrel app;
    HWND main = app.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor([&] { return Checked(main, vantrel::idService); }));
    Click(main, vantrel::idService);
    ApplyAndDeclineTheStart(app, main);
  }
  EXPECT_EQ(StartType(kGuardianService), static_cast<DWORD>(SERVICE_DISABLED));
  EXPECT_EQ(StartType(kServerService), static_cast<DWORD>(SERVICE_DISABLED));
  EXPECT_EQ(MachineRunValue(L"Firebird").value_or(L"(none)"),
            L"\"" + install.BinFile(L"fbguard.exe") + L"\" -a");
  ExpectBoxesAtNextStart(false, true, true);
}

TEST_F(TrayIconSetting, FollowsItsCheckBoxAndBringsTheHiddenWindowBack) {
  simt::TempInstallation install(sim::Kind::Firebird);
  RegisterRoot(Kind::Firebird, install.Root());
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));
  HWND tray = TrayWindowOf(app.Pid());
  ASSERT_NE(tray, nullptr);
  EXPECT_FALSE(Checked(main, vantrel::idShowTrayIcon));
  EXPECT_FALSE(ShellHasIcon(tray));

  Click(main, vantrel::idShowTrayIcon);
  EXPECT_TRUE(WaitFor([&] { return ShellHasIcon(tray); }));

  // Closing now only hides the window; a click on the icon (the shell's callback message
  // carrying WM_LBUTTONUP) brings it back.
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) == FALSE; }));
  EXPECT_TRUE(app.Running());
  PostMessageW(tray, WM_USER + 1, 0, WM_LBUTTONUP);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));

  Click(main, vantrel::idShowTrayIcon);
  EXPECT_TRUE(WaitFor([&] { return !ShellHasIcon(tray); }));
  EXPECT_TRUE(IsWindowVisible(main));
}
