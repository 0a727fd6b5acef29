// The command-server pages in-process: the address list, starting and stopping the listener from
// start-up and from the button, the default folder, and connections whose shared work the window
// thread carries out.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "remote/CommandServer.h"
#include "remote/SocketPage.h"
#include "remote/SocketPageTexts.h"
#include "shell/Busy.h"
#include "shell/Files.h"
#include "shell/TextConv.h"
#include "tests/win32/app/MainWindowFixture.h"
#include "tests/win32/app/PageControls.h"
#include "tests/win32/socketpage/ClientLibraryDouble.h"
#include "tests/win32/socketpage/LineClient.h"

namespace vantrel::testing_support {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream(fs::path(path), std::ios::binary | std::ios::trunc) << bytes;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  Sleep(2);
}

// A listening socket of the test's own, keeping a port busy.
class TPortHolder {
 public:
  explicit TPortHolder(int port) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    s_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<u_short>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bound_ = bind(s_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && listen(s_, 1) == 0;
  }
  ~TPortHolder() {
    closesocket(s_);
    WSACleanup();
  }
  bool Bound() const { return bound_; }

 private:
  SOCKET s_ = INVALID_SOCKET;
  bool bound_ = false;
};

class SocketPages : public MainWindow {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    home = std::wstring(temp) + L"vantrel-socketpage-test";
    std::error_code ignored;
    fs::remove_all(fs::path(home), ignored);
    fs::create_directories(fs::path(home + L"\\bin"));
    fs::create_directories(fs::path(home + L"\\Data"));
    for (const wchar_t* program : {L"\\bin\\fbserver.exe", L"\\bin\\fbguard.exe"}) WriteBytes(home + program, "");
    dataFolder = ToAnsi(home) + "\\Data\\";
    port = FreePort();
    WriteBytes(AliasFile(), "# Socket_Port=" + std::to_string(port) +
                                "\r\n# ZeeBeeDee_Port=3051\r\n# ZeeBeeDee=True\r\n# DEFAULT_PATH=" +
                                dataFolder + "\r\nEmployee=" + dataFolder + "employee.fdb\r\n");
    const std::wstring rootValue = home + L"\\";
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kFirebirdKey, L"DefaultInstance", REG_SZ, rootValue.c_str(),
                    static_cast<DWORD>((rootValue.size() + 1) * sizeof(wchar_t)));
    services.setups[L"FirebirdGuardianDefaultInstance"] = {L"Firebird Guardian", true, false, false};
    services.activeDependents[L"FirebirdServerDefaultInstance"] = {};
    services.inactiveDependents[L"FirebirdServerDefaultInstance"] = {};
    form = OpenMainForm(platform);
  }

  void TearDown() override { form.reset(); }

  std::wstring AliasFile() const { return home + L"\\aliases.conf"; }

  std::vector<TAddressEntry> AddressList() {
    std::vector<TAddressEntry> entries;
    for (int i = 0; i < ListView_GetItemCount(Ctl(*form, idIPs)); ++i) {
      wchar_t text[64] = {};
      ListView_GetItemText(Ctl(*form, idIPs), i, 0, text, 64);
      entries.push_back({ToAnsi(text), ListView_GetCheckState(Ctl(*form, idIPs), i) != 0});
    }
    return entries;
  }

  std::vector<std::wstring> LogLines() {
    std::vector<std::wstring> lines;
    const int count = static_cast<int>(SendMessageW(Ctl(*form, idProcesses), LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      std::wstring line(SendMessageW(Ctl(*form, idProcesses), LB_GETTEXTLEN, i, 0), L'\0');
      SendMessageW(Ctl(*form, idProcesses), LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
      lines.push_back(line);
    }
    return lines;
  }

  // What one successful start appends to the log.
  std::vector<std::wstring> StartLog(int boundPort) {
    std::vector<std::wstring> lines{L"Sunucu durduruldu"};
    for (const std::string& address : TickedAddresses(AddressList()))
      lines.push_back(L"Sunucu bağlandı " + FromAnsi(address) + L" :" + std::to_wstring(boundPort));
    lines.push_back(L"Sunucu başlatıldı.");
    return lines;
  }

  std::wstring Status() {
    wchar_t text[128] = {};
    SendMessageW(Ctl(*form, idStatusBar), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
    return text;
  }

  void ExpectStopped() {
    EXPECT_EQ(Text(Ctl(*form, idSocketServer)), socktxt::StartCaption);
    EXPECT_EQ(form->SocketPage().ButtonMode(), TSocketPage::kButtonStart);
    EXPECT_EQ(Status(), L"Sunucu durduruldu");
  }

  std::wstring home;
  std::string dataFolder;
  int port = 0;
};

std::string Greeting() { return Cp1254(L"Bağlantı IP niz: 127.0.0.1"); }

TEST_F(SocketPages, StartUpBindsLoopbackAndTheSecondAddressAndGreetsClients) {
  const std::vector<std::string> host = HostAddressTexts();
  const std::vector<TAddressEntry> entries = AddressList();
  const bool hostHasLoopback = std::find(host.begin(), host.end(), "127.0.0.1") != host.end();
  ASSERT_EQ(entries.size(), host.size() + (hostHasLoopback ? 0 : 1));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].address, hostHasLoopback ? host[i] : i == 0 ? "127.0.0.1" : host[i - 1]);
    EXPECT_EQ(entries[i].ticked, entries[i].address == "127.0.0.1" || i == 1) << entries[i].address;
  }
  form->SocketPage().FillIPList();
  EXPECT_EQ(AddressList().size(), entries.size()) << "a refill replaces the entries";

  EXPECT_EQ(LogLines(), StartLog(port));
  EXPECT_EQ(Status(), L"Sunucu çalışıyor.");
  EXPECT_EQ(Text(Ctl(*form, idSocketServer)), socktxt::StopCaption);
  EXPECT_EQ(form->SocketPage().ButtonMode(), TSocketPage::kButtonStop);
  EXPECT_TRUE(form->SocketPage().SocketServerRunning);
  TLineClient client(Pump);
  ASSERT_TRUE(client.Connect(port));
  EXPECT_EQ(client.ReadLine(), Greeting());
}

TEST_F(SocketPages, ButtonStopsClosesConnectionsAndStartsAgainOnTheNewPort) {
  TLineClient open(Pump);
  ASSERT_TRUE(open.Connect(port));
  ASSERT_EQ(open.ReadLine(), Greeting());
  form->SocketPage().btnSocketServerClick();
  EXPECT_EQ(dialogs.infos.back(), L"Sunucu başarıyla durduruldu.");
  EXPECT_TRUE(open.Closed(5000));
  EXPECT_EQ(LogLines().back(), L"Sunucu durduruldu");
  ExpectStopped();
  EXPECT_FALSE(TLineClient().Connect(port));

  form->FormShow();
  const int newPort = FreePort();
  ui::SetText(Ctl(*form, idSocketPort), std::to_wstring(newPort));
  EXPECT_TRUE(ui::IsEnabled(Ctl(*form, idApply))) << "a port change is a settings change";
  std::vector<std::wstring> expected = LogLines();
  for (const std::wstring& line : StartLog(newPort)) expected.push_back(line);
  form->SocketPage().btnSocketServerClick();
  EXPECT_EQ(dialogs.infos.back(), L"Sunucu başarıyla başlatıldı.");
  EXPECT_EQ(LogLines(), expected);
  EXPECT_TRUE(TLineClient().Connect(newPort));
  EXPECT_FALSE(TLineClient().Connect(port));
}

TEST_F(SocketPages, StartWithoutATickedAddressChangesNothing) {
  form->SocketPage().btnSocketServerClick();
  for (int i = 0; i < ListView_GetItemCount(Ctl(*form, idIPs)); ++i) ListView_SetCheckState(Ctl(*form, idIPs), i, FALSE);
  const std::vector<std::wstring> log = LogLines();
  form->SocketPage().btnSocketServerClick();
  EXPECT_EQ(dialogs.infos.back(), L"En az bir IP adresi bağlı olması gerekli!");
  EXPECT_EQ(LogLines(), log);
  ExpectStopped();

  form->SocketPage().SocketErrors.clear();
  EXPECT_FALSE(form->SocketPage().StartSocketServer());
  EXPECT_EQ(form->SocketPage().SocketErrors, std::vector<std::wstring>{L"En az bir IP adresi bağlı olması gerekli!"});
  EXPECT_EQ(LogLines(), log);
  EXPECT_FALSE(TLineClient().Connect(port));
}

TEST_F(SocketPages, PortInUseFailsTheStartAndTheNextClickTriesAgain) {
  form->SocketPage().btnSocketServerClick();
  const int busy = FreePort();
  ui::SetText(Ctl(*form, idSocketPort), std::to_wstring(busy));
  {
    TPortHolder holder(busy);
    ASSERT_TRUE(holder.Bound());
    form->SocketPage().btnSocketServerClick();
    ASSERT_EQ(form->SocketPage().SocketErrors.size(), 1u);
    EXPECT_FALSE(form->SocketPage().SocketErrors[0].empty());
    EXPECT_EQ(dialogs.infos.back(), L"Sunucu başlatma hatası!\r\r" + form->SocketPage().SocketErrors[0] + L"\r\n");
    const std::vector<std::wstring> log = LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], L"Sunucu durduruldu") << "the binding lines are dropped";
    EXPECT_EQ(log.back(), L"Sunucu başlatılamadı!");
    EXPECT_FALSE(form->SocketPage().SocketServerRunning);
    ExpectStopped();
  }
  form->SocketPage().btnSocketServerClick();
  EXPECT_EQ(dialogs.infos.back(), L"Sunucu başarıyla başlatıldı.");
  EXPECT_TRUE(TLineClient().Connect(busy));
}

TEST_F(SocketPages, SharedWorkWaitsForTheWindowThreadAndNeverHoldsTheStop) {
  bool pumping = false;
  TLineClient client([&] { pumping ? Pump() : Sleep(5); });
  ASSERT_TRUE(client.Connect(port));
  ASSERT_EQ(client.ReadLine(), Greeting());

  // Requests that share nothing are answered without the window thread, with its separators.
  char date[8] = {}, time[8] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE, date, sizeof date);
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, time, sizeof time);
  SYSTEMTIME now;
  GetLocalTime(&now);
  char today[32];
  snprintf(today, sizeof today, "%02d%c%02d%c%04d", now.wDay, date[0], now.wMonth, date[0], now.wYear);
  EXPECT_EQ(client.Ask("DATE"), std::string("#DateSeparator") + date[0] + "#" + today);
  const std::string clock = client.Ask("TIME").value_or("");
  ASSERT_EQ(clock.size(), 8u);
  EXPECT_EQ(clock[2], time[0]);
  EXPECT_EQ(clock[5], time[0]);

  client.Send("GIVEALIASLIST\r\n");
  EXPECT_TRUE(client.Silent(300)) << "the alias list is read on the window thread only";
  pumping = true;
  EXPECT_EQ(client.ReadLine(), "#Server_IP:" + LocalIPAddress());
  for (const std::string& line : form->AliasFile().List().Lines()) EXPECT_EQ(client.ReadLine(), line);
  EXPECT_EQ(client.ReadLine(), "#DONE!!!");

  // A modal dialog disables the window: the work waits until it closes.
  EnableWindow(form->Handle(), FALSE);
  client.Send("GIVEALIASLIST\r\n");
  EXPECT_TRUE(client.Silent(700));
  EnableWindow(form->Handle(), TRUE);
  EXPECT_EQ(client.ReadLine(), "#Server_IP:" + LocalIPAddress());
  for (std::size_t i = 0; i <= form->AliasFile().List().Lines().size(); ++i) client.ReadLine();

  // So does an action that waits with the window's messages read (a start, a stop, a switch).
  {
    TBusyScope busy;
    client.Send("GIVEALIASLIST\r\n");
    EXPECT_TRUE(client.Silent(700));
  }
  EXPECT_EQ(client.ReadLine(), "#Server_IP:" + LocalIPAddress());
  for (std::size_t i = 0; i <= form->AliasFile().List().Lines().size(); ++i) client.ReadLine();

  pumping = false;
  client.Send("GIVEALIASLIST\r\n");
  Sleep(200);
  const DWORD start = GetTickCount();
  EXPECT_TRUE(form->SocketPage().StopSocketServer());
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_TRUE(client.Closed(5000));
  EXPECT_EQ(client.ReadLine(0), std::nullopt) << "the cancelled request gets no reply";
  EXPECT_EQ(form->SocketPage().OpenConnections(), 0u);
}

TEST_F(SocketPages, DestroyingTheWindowEndsConnectionsThatWaitForIt) {
  TLineClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_EQ(client.ReadLine(), Greeting());
  client.Send("GIVEALIASLIST\r\n");
  Sleep(200);
  form.reset();
  EXPECT_TRUE(client.Closed(5000));
}

TEST_F(SocketPages, CreateDbMakesTheDatabaseThroughTheLibraryAndRegistersIt) {
  ASSERT_TRUE(SetDllDirectoryW((ProgramFolder() + L"\\" + clientdouble::kFolderFromBin).c_str()));
  TLineClient client(Pump);
  ASSERT_TRUE(client.Connect(port));
  ASSERT_EQ(client.ReadLine(), Greeting());

  form->SetActivePage(TfrmMain::tabAlias);
  const std::string sales = dataFolder + "sales.fdb";
  EXPECT_EQ(client.Ask("#CREATE_DB#>#sales.fdb>#>#Sales>#4096"),
            "#Create_db Okey >" + sales + " db Created...");
  EXPECT_EQ(ReadBytes(FromAnsi(sales)),
            "dialect 3\r\nCREATE DATABASE '\\\\127.0.0.1\\" + sales +
                "' USER 'SYSDBA' PASSWORD 'velmoraxe' PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1254");
  const int at = form->AliasFile().List().FindName("Sales");
  ASSERT_GE(at, 0);
  EXPECT_EQ(form->AliasFile().List().LineAt(at), "Sales=" + sales);
  EXPECT_EQ(ReadBytes(AliasFile()), form->AliasFile().List().Text());
  LVFINDINFOW shown{};
  shown.flags = LVFI_STRING;
  shown.psz = L"Sales";
  EXPECT_GE(ListView_FindItem(Ctl(*form, idAliasList), -1, &shown), 0) << "the alias page was refreshed";

  EXPECT_EQ(client.Ask("#CREATE_DB#>#other.fdb>#>#EMPLOYEE>#4096"),
            "#Create_db error >EMPLOYEE< Alias exist...");

  const std::string fileBefore = ReadBytes(AliasFile());
  const std::vector<std::string> linesBefore = form->AliasFile().List().Lines();
  const std::string bad = dataFolder + "bad.fdb";
  const auto& refused = clientdouble::kBadPageSize;
  // The library's message holds a line break (LF then CR): the reply is still one line.
  EXPECT_EQ(client.Ask("#CREATE_DB#>#bad.fdb>#>#Bad>#" + std::string(clientdouble::kRefusedPageSize)),
            "#Create_db error >" + bad + " Can not create db...Error creating database!  ISC# " +
                std::to_string(refused.status) + "  SQL Code: " + std::to_string(refused.sqlCode) +
                ", Message: " + refused.message);
  EXPECT_EQ(form->AliasFile().List().Lines(), linesBefore);
  EXPECT_EQ(ReadBytes(AliasFile()), fileBefore);
  EXPECT_FALSE(FileExists(FromAnsi(bad)));
  EXPECT_EQ(client.Ask("QUIT"), Cp1254(L"Güle güle!"));
  EXPECT_TRUE(client.Closed());
}

TEST_F(SocketPages, TunnelSettingsAndANewDefaultFolderCountAsChanges) {
  form->FormShow();
  SendMessageW(Ctl(*form, idZibidi), BM_CLICK, 0, 0);
  EXPECT_TRUE(ui::IsEnabled(Ctl(*form, idApply)));
  form->FormShow();
  ui::SetText(Ctl(*form, idZibidiPort), L"3052");
  EXPECT_TRUE(ui::IsEnabled(Ctl(*form, idApply)));

  const std::wstring before = Text(Ctl(*form, idDefPathPanel));
  const std::wstring initial = ProgramFolder() + L"\\Data\\";
  form->FormShow();
  form->TunnelPage().BTN_Def_PathClick();
  EXPECT_EQ(Text(Ctl(*form, idDefPathPanel)), before);
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idApply))) << "a cancelled choice changes nothing";

  dialogs.chooseFolder = true;
  dialogs.folder = home + L"\\Elsewhere";
  for (int click = 0; click < 2; ++click) form->TunnelPage().BTN_Def_PathClick();
  EXPECT_EQ(Text(Ctl(*form, idDefPathPanel)), home + L"\\Elsewhere\\");
  EXPECT_TRUE(ui::IsEnabled(Ctl(*form, idApply)));
  ASSERT_EQ(dialogs.browsed.size(), 3u);
  for (const auto& browse : dialogs.browsed) {
    EXPECT_EQ(browse.title, L"Firebird kök/ana dizinini seçin");
    EXPECT_EQ(browse.root, L"");
    EXPECT_EQ(browse.initialFolder, initial);
  }
}

// The login for new databases: typed on the tunnel settings page, a pending change, stored by
// Apply (the password protected), shown again after Cancel and at the next start.
TEST_F(SocketPages, AdminLoginFieldsArePendingChangesStoredByApplyAndRestoredByCancel) {
  RegDeleteKeyW(HKEY_CURRENT_USER, kAdminLoginKey);
  form.reset();
  SetUp();
  EXPECT_EQ(Text(Ctl(*form, idAdminUser)), L"");
  EXPECT_TRUE(GetWindowLongW(Ctl(*form, idAdminPassword), GWL_STYLE) & ES_PASSWORD);
  form->FormShow();
  ui::SetText(Ctl(*form, idAdminUser), L"YONETICI");
  EXPECT_TRUE(ui::IsEnabled(Ctl(*form, idApply)));
  ui::SetText(Ctl(*form, idAdminPassword), L"gizli-parola");
  form->ApplySettings(false);
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idApply)));
  EXPECT_EQ(ReadAdminLogin().user, L"YONETICI");
  EXPECT_EQ(ReadAdminLogin().password, L"gizli-parola");
  BYTE sealed[1024];
  DWORD size = sizeof sealed, type = 0;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kAdminLoginKey, kAdminPasswordValue, RRF_RT_ANY, &type, sealed, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  const std::string ansi = "gizli-parola";
  const std::wstring wide = L"gizli-parola";
  const std::string utf16(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  const std::string stored(reinterpret_cast<const char*>(sealed), size);
  EXPECT_EQ(stored.find(ansi), std::string::npos);
  EXPECT_EQ(stored.find(utf16), std::string::npos);

  // With the tray icon on, Cancel only hides the window: the field shows the applied login again.
  Tick(Ctl(*form, idShowTrayIcon), true);
  form->FormShow();
  ui::SetText(Ctl(*form, idAdminPassword), L"not kept");
  EXPECT_TRUE(ui::IsEnabled(Ctl(*form, idApply)));
  form->btnCloseClick();
  EXPECT_EQ(Text(Ctl(*form, idAdminPassword)), L"gizli-parola");
  EXPECT_EQ(ReadAdminLogin().password, L"gizli-parola");
  Tick(Ctl(*form, idShowTrayIcon), false);

  form.reset();
  SetUp();
  EXPECT_EQ(Text(Ctl(*form, idAdminUser)), L"YONETICI");
  EXPECT_EQ(Text(Ctl(*form, idAdminPassword)), L"gizli-parola");
  form->FormShow();
  form->TunnelPage().ShowAdminLogin();
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idApply))) << "showing the stored login is no change";
  RegDeleteKeyW(HKEY_CURRENT_USER, kAdminLoginKey);
}

}  // namespace
}  // namespace vantrel::testing_support
