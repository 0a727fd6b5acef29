// Several servers on one machine, in-process: a 2.5 installation registered as DefaultInstance
// beside a Firebird 5 installation running as instance FB5 on port 3051.
#include <fstream>
#include <string>

#include "shell/TextConv.h"
#include "shell/uConfig.h"
#include "tests/win32/app/MainWindowFixture.h"
#include "tests/win32/app/PageControls.h"

using namespace vantrel;
using namespace vantrel::testing_support;

namespace {

void WriteFile(const std::wstring& path, const std::string& text) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << text;
}

std::wstring MakeFb5Root(const std::string& conf) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring root = std::wstring(temp) + L"vantrel-app-test-fb5";
  SHCreateDirectoryExW(nullptr, root.c_str(), nullptr);
  for (const wchar_t* name : {L"firebird.exe", L"fbguard.exe"}) WriteFile(root + L"\\" + name, "");
  WriteFile(root + L"\\firebird.conf", conf);
  WriteFile(root + L"\\databases.conf", "fb5db = C:\\db\\fb5.fdb\r\n");
  return root;
}

// Shown on its page (the window itself is not on the screen in these tests).
bool Shown(HWND control) { return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

std::vector<std::wstring> Items(HWND combo) {
  std::vector<std::wstring> items;
  const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::wstring text(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)), L'\0');
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    items.push_back(text);
  }
  return items;
}

class SeveralInstallations : public MainWindow {
 protected:
  ~SeveralInstallations() override { Config().SetChosenInstallation(L""); }

  void CreateBoth(const std::string& fb5Conf = "#RemoteServicePort = 3050\nRemoteServicePort = 3051\nIpcName = FB5\n") {
    Config().SetChosenInstallation(L"");
    fb5 = MakeFb5Root(fb5Conf);
    const std::wstring fb25 = MakeRoot(true);
    services.installed = {
        {L"FirebirdServerDefaultInstance", fb25 + L"\\bin\\fbserver.exe -s DefaultInstance"},
        {L"FirebirdGuardianDefaultInstance", fb25 + L"\\bin\\fbguard.exe -s DefaultInstance"},
        {L"FirebirdServerFB5", L"\"" + fb5 + L"\\firebird.exe\" -s FB5"},
        {L"FirebirdGuardianFB5", L"\"" + fb5 + L"\\fbguard.exe\" -s FB5"},
    };
    services.setups[L"FirebirdGuardianFB5"] = {L"Firebird Guardian - FB5", true, false, false};
    Create();
    form->FormShow();  // as when the window appears: nothing pending yet
  }
  std::size_t Fb5Index() {
    for (std::size_t i = 0; i < form->Installations().size(); ++i)
      if (form->Installations()[i].instanceName == L"FB5") return i;
    return form->Installations().size();
  }

  std::wstring fb5;
};

}  // namespace

TEST_F(SeveralInstallations, BothAreListedAndTheChosenOneDrivesServicesWindowsAliasesAndTheCommandServer) {
  CreateBoth();
  ASSERT_EQ(form->Installations().size(), 2u);
  HWND list = Ctl(*form, idInstallation);
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(Shown(list));
  const std::vector<std::wstring> items = Items(list);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_NE(items[Fb5Index()].find(L"FB5 \u2014 3051 \u2014 " + fb5), std::wstring::npos) << ToUtf8(items[Fb5Index()]);
  // Without a stored choice the registered default instance is the one.
  EXPECT_EQ(form->ServerServiceName, L"FirebirdServerDefaultInstance");
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), static_cast<LRESULT>(1 - Fb5Index()));

  ASSERT_TRUE(form->ChooseInstallation(Fb5Index()));
  EXPECT_EQ(form->ServerServiceName, L"FirebirdServerFB5");
  EXPECT_EQ(form->GuardianServiceName, L"FirebirdGuardianFB5");
  EXPECT_EQ(form->Installation().localServerPrefix, L"127.0.0.1/3051:");
  EXPECT_EQ(form->Installation().aliasFile, fb5 + L"\\databases.conf");
  EXPECT_TRUE(form->PageTabVisible(TfrmMain::tabAlias));
  EXPECT_NE(Text(Ctl(*form, idFBVersion)).find(L"FB5"), std::wstring::npos);
  EXPECT_NE(form->TrayToolTip().find(L"FB5"), std::wstring::npos);

  // Services: only FB5's are started.
  Tick(Ctl(*form, idService), true);
  Tick(Ctl(*form, idGuardian), false);
  form->StartPage().StartServer();
  EXPECT_EQ(services.calls, std::vector<std::wstring>{L"start FirebirdServerFB5"});

  // Application mode: 2.5's server window is not FB5's; FB5 runs under its own name.
  services.states.clear();
  probes.windowsOf[form->Installations()[1 - Fb5Index()].rootDir] = {L"FB_Server"};
  form->StartPage().RefreshServerState();
  EXPECT_EQ(Text(Ctl(*form, idServerState)), L"Durduruldu");
  Tick(Ctl(*form, idService), false);
  Tick(Ctl(*form, idGuardian), true);
  form->StartPage().StartServer();  // a guardian would adopt 2.5's server: refused
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_NE(dialogs.errors[0].find(L"Muhafız"), std::wstring::npos) << ToUtf8(dialogs.errors[0]);
  EXPECT_TRUE(launcher.opened.empty());
  Tick(Ctl(*form, idGuardian), false);
  launcher.onOpen = [&] { probes.windows.insert(L"FB_Server"); };
  form->StartPage().StartServer();
  ASSERT_EQ(launcher.opened.size(), 1u);
  EXPECT_EQ(launcher.opened[0], fb5 + L"\\firebird.exe -a -s FB5 @" + fb5);
  form->StartPage().StopServer();
  EXPECT_EQ(probes.closed, std::vector<std::wstring>{L"FB_Server"});  // FB5's own window only
  EXPECT_EQ(probes.windowsOf.begin()->second.count(L"FB_Server"), 1u);

  // The choice is the user's, kept for the next start.
  form.reset();
  services.calls.clear();
  form = OpenMainForm(platform);
  EXPECT_EQ(form->ServerServiceName, L"FirebirdServerFB5");
  EXPECT_EQ(SendMessageW(Ctl(*form, idInstallation), CB_GETCURSEL, 0, 0), static_cast<LRESULT>(Fb5Index()));
}

TEST_F(SeveralInstallations, PendingChangesAreAppliedDiscardedOrKeepTheUserWhereHeIs) {
  CreateBoth();
  const std::size_t other = Fb5Index();
  Tick(Ctl(*form, idAutostart), !ui::IsChecked(Ctl(*form, idAutostart)));
  ASSERT_TRUE(form->ChangesPending());

  dialogs.answers = {AnswerNo, AnswerNo};  // neither apply nor discard: stay
  EXPECT_FALSE(form->ChooseInstallation(other));
  EXPECT_EQ(form->ServerServiceName, L"FirebirdServerDefaultInstance");
  EXPECT_TRUE(form->ChangesPending());
  EXPECT_EQ(dialogs.questions.size(), 2u);

  dialogs.answers = {AnswerNo, AnswerNo, AnswerNo, AnswerYes};  // discard
  EXPECT_TRUE(form->ChooseInstallation(other));
  EXPECT_EQ(form->ServerServiceName, L"FirebirdServerFB5");
  EXPECT_FALSE(form->ChangesPending());
  EXPECT_TRUE(services.calls.empty()) << "a discarded change was written";
}

// "Apply first" writes the startup settings without starting the server being left; the choice
// is kept only once the switch is made, and a switch that fails leaves the previous one in use.
TEST_F(SeveralInstallations, ApplyingBeforeASwitchStartsNothingAndAFailedSwitchKeepsThePreviousInUse) {
  CreateBoth();
  const std::size_t fb5Index = Fb5Index();
  HWND autostart = Ctl(*form, idAutostart);
  if (ui::IsChecked(autostart)) {
    Tick(autostart, false);
    form->FormShow();
  }
  Tick(autostart, true);  // with autostart on, an Apply starts a stopped server
  ASSERT_TRUE(form->ChangesPending());
  services.calls.clear();
  dialogs.answers = {AnswerYes};  // apply first
  ASSERT_TRUE(form->ChooseInstallation(fb5Index));
  for (const std::wstring& call : services.calls) EXPECT_EQ(call.rfind(L"start ", 0), std::wstring::npos) << ToUtf8(call);
  EXPECT_TRUE(launcher.opened.empty());
  EXPECT_EQ(Config().ChosenInstallation(), form->Installations()[fb5Index].rootDir);

  // The 2.5 installation's alias file cannot be read at the moment of the switch.
  const std::wstring aliases = form->Installations()[1 - fb5Index].aliasFile;
  HANDLE held = CreateFileW(aliases.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  dialogs.errors.clear();
  EXPECT_FALSE(form->ChooseInstallation(1 - fb5Index));
  CloseHandle(held);
  EXPECT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(form->ServerServiceName, L"FirebirdServerFB5");
  EXPECT_EQ(form->Installation().aliasFile, fb5 + L"\\databases.conf");
  EXPECT_EQ(Config().ChosenInstallation(), form->Installations()[fb5Index].rootDir);
}

TEST_F(SeveralInstallations, TwoServersOnOnePortAreNamedOnTheStartPage) {
  CreateBoth("RemoteServicePort = 3050\n");
  HWND warning = Ctl(*form, idInstanceWarning);
  ASSERT_NE(warning, nullptr);
  EXPECT_TRUE(Shown(warning));
  EXPECT_NE(Text(warning).find(L"3050"), std::wstring::npos) << ToUtf8(Text(warning));
  EXPECT_NE(Text(warning).find(L"FB5"), std::wstring::npos) << ToUtf8(Text(warning));
}

TEST_F(MainWindow, WithOneInstallationThereIsNoListAndNoWarning) {
  Create();
  EXPECT_EQ(form->Installations().size(), 1u);
  EXPECT_EQ(Ctl(*form, idInstallation), nullptr);
  EXPECT_EQ(Ctl(*form, idInstanceWarning), nullptr);
  EXPECT_EQ(form->Installation().localServerPrefix, L"\\\\127.0.0.1\\");
}

// One Run value "Firebird" serves every installation: 2.5's autostart is not FB5's to delete or
// overwrite without asking.
TEST_F(SeveralInstallations, AnotherInstallationsRunValueIsNamedAndReplacedOnlyAfterAsking) {
  constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::wstring fb25Guardian = MakeRoot(true) + L"\\bin\\fbguard.exe";
  const std::wstring value = fb25Guardian + L" -a";
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kRun, L"Firebird", REG_SZ, value.c_str(),
                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  struct Cleanup {
    const wchar_t* key;
    ~Cleanup() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key, L"Firebird"); }
  } cleanup{kRun};
  auto runValue = [&] {
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kRun, L"Firebird", RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
      return std::wstring();
    return std::wstring(buffer);
  };

  CreateBoth();
  EXPECT_FALSE(Ctl(*form, idInstanceWarning) && Shown(Ctl(*form, idInstanceWarning)));  // 2.5's own value
  ASSERT_TRUE(form->ChooseInstallation(Fb5Index()));
  HWND warning = Ctl(*form, idInstanceWarning);
  ASSERT_NE(warning, nullptr);
  EXPECT_TRUE(Shown(warning));
  EXPECT_NE(Text(warning).find(fb25Guardian), std::wstring::npos) << ToUtf8(Text(warning));
  EXPECT_FALSE(ui::IsChecked(Ctl(*form, idAutostart))) << "2.5's autostart shown as FB5's";

  // Services without autostart would delete the value: it is not FB5's, so it stays.
  Tick(Ctl(*form, idService), true);
  form->ApplySettings(false);
  EXPECT_EQ(runValue(), value);
  EXPECT_TRUE(dialogs.questions.empty());

  // FB5 as an application with Windows: asked, and "no" keeps 2.5's.
  Tick(Ctl(*form, idService), false);
  Tick(Ctl(*form, idAutostart), true);
  dialogs.answer = AnswerNo;
  form->ApplySettings(false);
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_NE(dialogs.questions[0].find(fb25Guardian), std::wstring::npos);
  EXPECT_EQ(runValue(), value);
  dialogs.answer = AnswerYes;
  form->ApplySettings(false);
  EXPECT_EQ(runValue().find(fb5), 0u) << ToUtf8(runValue());
}
