// The startup check boxes written to the Run entries, the guardian option and the services,
// and read back.
#include "tests/win32/app/MainWindowFixture.h"
#include "tests/win32/app/PageControls.h"

#include "server/StartupSettings.h"
#include "shell/Registry.h"

using namespace vantrel;
using namespace vantrel::testing_support;

namespace {

constexpr wchar_t kRunKey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kServer[] = L"FirebirdServerDefaultInstance";
constexpr wchar_t kGuardian[] = L"FirebirdGuardianDefaultInstance";

std::optional<std::wstring> RunValue(HKEY root, const wchar_t* name) {
  return RegKey::Open(root, kRunKey, KEY_READ).ReadString(name);
}

class StartupSettings : public MainWindow {
 protected:
  void SetUp() override {
    RegKey::Create(HKEY_LOCAL_MACHINE, kRunKey).DeleteValue(L"Firebird");
    RegKey::Create(HKEY_CURRENT_USER, kRunKey).DeleteValue(L"Vantrel");
  }
  void Choose(bool service, bool guardian, bool autostart) {
    Tick(Ctl(*form, idService), service);
    Tick(Ctl(*form, idGuardian), guardian);
    Tick(Ctl(*form, idAutostart), autostart);
  }
};

}  // namespace

TEST_F(StartupSettings, ServiceModeWithGuardianAndAutostart) {
  Create();
  RegKey::Create(HKEY_LOCAL_MACHINE, kRunKey).WriteString(L"Firebird", L"x -a");
  probes.windows = {L"FB_Server"};  // running: nothing is started
  Choose(true, true, true);
  form->ApplySettings(true);
  EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE, L"Firebird"));
  EXPECT_TRUE(services.setups[kServer].Enabled);
  EXPECT_FALSE(services.setups[kServer].Automatic);
  EXPECT_TRUE(services.setups[kGuardian].Automatic);
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idApply)));
  EXPECT_EQ(Text(Ctl(*form, idCancel)), L"&Kapat");
}

TEST_F(StartupSettings, ServiceModeWithoutGuardian) {
  Create();
  probes.windows = {L"FB_Server"};
  Choose(true, false, false);
  form->ApplySettings(true);
  EXPECT_FALSE(services.setups[kGuardian].Enabled);
  EXPECT_TRUE(services.setups[kServer].Enabled);
  EXPECT_FALSE(services.setups[kServer].Automatic);
}

TEST_F(StartupSettings, ApplicationModeDisablesBothServicesAndWritesTheRunEntry) {
  Create();
  probes.windows = {L"FB_Server"};
  Choose(false, true, true);
  form->ApplySettings(true);
  EXPECT_FALSE(services.setups[kServer].Enabled);
  EXPECT_FALSE(services.setups[kGuardian].Enabled);
  EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE, L"Firebird").value_or(L"?"), form->GuardianExePath + L" -a");

  Choose(false, false, false);
  form->ApplySettings(true);
  EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE, L"Firebird"));
}

TEST_F(StartupSettings, PathWithABlankIsQuoted) {
  WriteRunEntry(L"Firebird", L"C:\\Program Files\\fb\\fbguard.exe", L"-a", true, true);
  EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE, L"Firebird").value_or(L""),
            L"\"C:\\Program Files\\fb\\fbguard.exe\" -a");
  WriteRunEntry(L"Firebird", L"C:\\fb\\fbguard.exe", L"-a", true, true);
  EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE, L"Firebird").value_or(L""), L"C:\\fb\\fbguard.exe -a");
}

TEST_F(StartupSettings, ReadingBackRoundTripsTheApplicationMode) {
  Create();
  probes.windows = {L"FB_Server"};
  services.setups[kGuardian] = {L"Firebird Guardian", false, false, false};
  Choose(false, true, true);
  form->ApplySettings(true);
  Tick(Ctl(*form, idAutostart), false);
  Tick(Ctl(*form, idGuardian), false);
  form->StartPage().ReadStartupSettings();
  EXPECT_TRUE(ui::IsChecked(Ctl(*form, idAutostart)));
  EXPECT_TRUE(ui::IsChecked(Ctl(*form, idGuardian)));
  EXPECT_FALSE(ui::IsChecked(Ctl(*form, idService)));
}

TEST_F(StartupSettings, AutostartOnAStoppedServerAsksOnlyWhenApplyWasPressed) {
  Create();
  Choose(false, false, true);
  dialogs.answer = AnswerNo;
  form->ApplySettings(true);
  EXPECT_EQ(dialogs.questions, std::vector<std::wstring>{L"Firebird sunucusunu şimdi başlat?"});
  EXPECT_TRUE(launcher.opened.empty());
  form->ApplySettings(false);
  EXPECT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(launcher.opened.size(), 1u);
}

TEST_F(StartupSettings, TheProgramsOwnRunEntryFollowsTheTrayCheckBox) {
  Create();
  probes.windows = {L"FB_Server"};
  Tick(Ctl(*form, idShowTrayIcon), true);
  form->ApplySettings(true);
  auto value = RunValue(HKEY_CURRENT_USER, L"Vantrel");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->substr(value->size() - 6), L" -tray");
  Tick(Ctl(*form, idShowTrayIcon), false);
  form->ApplySettings(true);
  EXPECT_FALSE(RunValue(HKEY_CURRENT_USER, L"Vantrel"));
}
