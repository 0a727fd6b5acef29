// Several servers on one machine: a 2.5 installation registered as DefaultInstance and a
// Firebird 5 installation installed beside it as instance FB5 on port 3051.
#include <winsock2.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "shell/ControlIds.h"
#include "tests/e2e/SimFirebirdTest.h"
#include "tests/sim/SimTesting.h"
#include "tests/win32/socketpage/ClientLibraryDouble.h"
#include "tests/win32/socketpage/LineClient.h"

using namespace e2e;
namespace simt = vantrel::sim::testing;
using SimKind = vantrel::sim::Kind;

namespace {

class Instances : public SimFirebirdTest {
 protected:
  void TearDown() override {
    simt::DeleteServiceByName(L"FirebirdGuardianFB5");
    simt::DeleteServiceByName(L"FirebirdServerFB5");
    SimFirebirdTest::TearDown();
  }

  // 2.5 registered with its services, FB5 with this firebird.conf installed as instance FB5.
  static void LayBoth(const simt::TempInstallation& fb25, const simt::TempInstallation& fb5, const std::string& conf,
                      const std::wstring& fb5Switches) {
    RegisterWithKitTools(fb25, L"install -g");
    std::ofstream(std::filesystem::path(fb5.Root() + L"\\firebird.conf"), std::ios::binary) << conf;
    ASSERT_EQ(simt::RunToEnd(L"\"" + fb5.BinFile(L"instsvc.exe") + L"\" install " + fb5Switches + L" -n FB5"), 0u);
  }

  static bool Shows(HWND main, int id, const std::wstring& part, DWORD timeout = 20000) {
    return WaitFor([&] { return Text(FindControl(main, id)).find(part) != std::wstring::npos; }, timeout);
  }

  static std::wstring Selected(HWND list) {
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index < 0) return {};
    std::wstring text(static_cast<std::size_t>(SendMessageW(list, CB_GETLBTEXTLEN, index, 0)), L'\0');
    SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return text;
  }

  // As the user's pick in the list: the selection, then the notification to the page.
  static void Pick(HWND list, const std::wstring& part) {
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      SendMessageW(list, CB_SETCURSEL, i, 0);
      if (Selected(list).find(part) == std::wstring::npos) continue;
      PostMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(vantrel::idInstallation, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
      return;
    }
  }
};

}  // namespace

TEST_F(Instances, BothAreListedAndEverythingDrivesOnlyTheChosenOne) {
  simt::TempInstallation fb25(SimKind::Firebird);
  simt::TempInstallation fb5(SimKind::FirebirdRoot);
  ASSERT_NO_FATAL_FAILURE(LayBoth(fb25, fb5, "#RemoteServicePort = 3050\r\nRemoteServicePort = 3051\r\nIpcName = FB5\r\n", L"-g -auto"));

  HWND main = nullptr;
  {
    Vantrel app;
    main = app.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    HWND list = FindControl(main, vantrel::idInstallation);
    ASSERT_NE(list, nullptr) << "no list of installations";
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(Selected(list).find(fb25.Root()) != std::wstring::npos, true);  // the registered one first
    Pick(list, L"FB5 \u2014 3051 \u2014 " + fb5.Root());
    ASSERT_TRUE(Shows(main, vantrel::idFBVersion, L"FB5"));
  }

  // The choice survives a restart.
  Vantrel app;
  main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_NE(Selected(FindControl(main, vantrel::idInstallation)).find(L"FB5"), std::wstring::npos);

  // FB5's services start and stop; 2.5's stay as they were.
  ASSERT_TRUE(Shows(main, vantrel::idServerState, L"Durduruldu"));
  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Servis olarak çalışıyor", 40000));
  EXPECT_EQ(simt::ServiceState(L"FirebirdServerFB5"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(simt::ServiceState(L"FirebirdGuardianFB5"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(simt::ServiceState(L"FirebirdServerDefaultInstance"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(simt::ServiceState(L"FirebirdGuardianDefaultInstance"), static_cast<DWORD>(SERVICE_STOPPED));
  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Durduruldu", 60000));
  EXPECT_EQ(simt::ServiceState(L"FirebirdServerFB5"), static_cast<DWORD>(SERVICE_STOPPED));

  // Both as applications: one FB_Server window each; 2.5's is not FB5's, and FB5's stop closes
  // its own window only.
  auto server25 = simt::ChildProcess::Start(L"\"" + fb25.BinFile(L"fbserver.exe") + L"\" -a", fb25.Root());
  ASSERT_TRUE(simt::WaitUntil([] { return simt::CountClassWindows(L"FB_Server") == 1; }, simt::kStartTimeout));
  EXPECT_FALSE(Shows(main, vantrel::idServerState, L"Uygulama", 3000)) << "2.5's window counted as FB5's";
  auto server5 = simt::ChildProcess::Start(L"\"" + fb5.BinFile(L"firebird.exe") + L"\" -a -s FB5", fb5.Root());
  ASSERT_TRUE(simt::WaitUntil([] { return simt::CountClassWindows(L"FB_Server") == 2; }, simt::kStartTimeout))
      << "the second instance did not run beside the first";
  ASSERT_TRUE(Shows(main, vantrel::idServerState, L"Uygulama olarak çalışıyor"));
  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(Shows(main, vantrel::idServerState, L"Durduruldu", 30000));
  EXPECT_EQ(simt::CountClassWindows(L"FB_Server"), 1);
  EXPECT_TRUE(server5.WaitForExit(simt::kStartTimeout).has_value());
  EXPECT_FALSE(server25.WaitForExit(std::chrono::milliseconds(0)).has_value()) << "2.5's server was closed";
}

TEST_F(Instances, TwoServersOnOnePortAreNamedOnTheStartPage) {
  simt::TempInstallation fb25(SimKind::Firebird);
  simt::TempInstallation fb5(SimKind::FirebirdRoot);
  ASSERT_NO_FATAL_FAILURE(LayBoth(fb25, fb5, "RemoteServicePort = 3050\r\n", L"-g"));
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  HWND warning = FindControl(main, vantrel::idInstanceWarning);
  ASSERT_NE(warning, nullptr);
  EXPECT_TRUE(IsWindowVisible(warning));
  EXPECT_NE(Text(warning).find(L"3050"), std::wstring::npos);
  EXPECT_NE(Text(warning).find(L"FB5"), std::wstring::npos);
}

// The command server creates databases on the chosen instance: through FB5's own client library
// and with its port in the connection string.
TEST_F(Instances, ARemoteCreateGoesThroughTheChosenInstancesLibraryAndPort) {
  namespace fs = std::filesystem;
  simt::TempInstallation fb25(SimKind::Firebird);
  simt::TempInstallation fb5(SimKind::FirebirdRoot);
  ASSERT_NO_FATAL_FAILURE(LayBoth(fb25, fb5, "RemoteServicePort = 3051\r\nIpcName = FB5\r\n", L""));
  const fs::path root(fb5.Root());
  fs::copy_file(fs::path(BinDir()) / vantrel::clientdouble::kFolderFromBin / vantrel::clientdouble::kFileName,
                root / L"fbclient.dll", fs::copy_options::overwrite_existing);
  fs::create_directories(root / L"Data");
  const std::string data = (root / L"Data").string() + "\\";
  const int port = vantrel::testing_support::FreePort();
  std::ofstream(root / L"databases.conf", std::ios::binary)
      << "# Socket_Port=" << port << "\r\n# ZeeBeeDee_Port=3052\r\n# ZeeBeeDee=False\r\n# DEFAULT_PATH=" << data << "\r\n";
  {
    Vantrel app;
    HWND main = app.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    Pick(FindControl(main, vantrel::idInstallation), L"FB5");
    ASSERT_TRUE(Shows(main, vantrel::idFBVersion, L"FB5"));
  }
  Vantrel app;  // FB5 chosen from the start: its alias file names the command server's port
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  vantrel::testing_support::TLineClient client;
  ASSERT_TRUE(WaitFor([&] { return client.Connect(port); }));
  client.ReadLine();
  EXPECT_EQ(client.Ask("#CREATE_DB#>#fb5.fdb>#>#fb5db>#4096").value_or(""),
            "#Create_db Okey >" + data + "fb5.fdb db Created...");
  auto read = [](const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_NE(read(data + "fb5.fdb").find("CREATE DATABASE '127.0.0.1/3051:" + data + "fb5.fdb'"), std::string::npos)
      << read(data + "fb5.fdb");
  EXPECT_EQ(read(data + "fb5.fdb" + vantrel::clientdouble::kLoadedFromSuffix), (root / L"fbclient.dll").string());
  EXPECT_NE(read(root / L"databases.conf").find("fb5db"), std::string::npos);  // FB5's alias file
}
