// The command server of vantrel.exe as a client on the network sees it: a simulated installation
// whose alias file names the port, and the client library double beside the program.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <optional>

#include "shell/ControlIds.h"
#include "tests/e2e/Harness.h"
#include "tests/sim/SimTesting.h"
#include "tests/win32/socketpage/ClientLibraryDouble.h"
#include "tests/win32/socketpage/LineClient.h"

using namespace e2e;
using vantrel::testing_support::Cp1254;
using vantrel::testing_support::FreePort;
using vantrel::testing_support::TLineClient;

namespace {

namespace fs = std::filesystem;
namespace clientdouble = vantrel::clientdouble;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// vantrel.exe copied into a folder of its own with the double beside it: there the double
// stands in for no other program's client library. The folder goes with the object.
class TProgramWithClientLibrary {
 public:
  explicit TProgramWithClientLibrary(const fs::path& folder) : folder_(folder) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    const fs::path bin(BinDir());
    fs::copy_file(bin / L"vantrel.exe", folder_ / L"vantrel.exe");
    fs::copy_file(bin / clientdouble::kFolderFromBin / clientdouble::kFileName,
                  folder_ / clientdouble::kFileName);
    std::wstring commandLine = L"\"" + (folder_ / L"vantrel.exe").wstring() + L"\"";
    if (!vantrel::sim::testing::StartProcess(commandLine, folder_.wstring(), pi_))
      throw std::runtime_error("cannot start the copy of vantrel.exe");
    WaitForInputIdle(pi_.hProcess, 10000);
  }
  ~TProgramWithClientLibrary() {
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  bool WaitExit(DWORD timeoutMs, DWORD& exitCode) {
    return WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(pi_.hProcess, &exitCode);
  }

 private:
  fs::path folder_;
  PROCESS_INFORMATION pi_{};
};

class Protocol : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearRegistrations();
    ResetUserSettings();
    ForgetLogin();
  }
  void TearDown() override {
    ClearRegistrations();
    ForgetLogin();
    SetEnvironmentVariableW(L"ISC_USER", nullptr);
    SetEnvironmentVariableW(L"ISC_PASSWORD", nullptr);
  }
  static void ForgetLogin() { RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quelmark\\Vantrel"); }

  // An installation of the kind whose only client library is the double, put where that layout
  // keeps its own; the alias file names the port and the data folder.
  fs::path LayWithOwnLibrary(const wchar_t* name, Kind kind, int port) {
    const fs::path root(LayInstallation(name, kind));
    const fs::path library = kind == Kind::FirebirdRoot ? root / L"fbclient.dll" : root / L"bin" / L"fbclient.dll";
    fs::copy_file(fs::path(BinDir()) / clientdouble::kFolderFromBin / clientdouble::kFileName, library);
    fs::create_directories(root / L"Data");
    data = (root / L"Data").string() + "\\";
    std::ofstream(root / (kind == Kind::FirebirdRoot ? L"databases.conf" : L"aliases.conf"), std::ios::binary)
        << "# Socket_Port=" << port << "\r\n# ZeeBeeDee_Port=3051\r\n# ZeeBeeDee=False\r\n# DEFAULT_PATH=" << data
        << "\r\n";
    RegisterRoot(kind, root.wstring());
    return root;
  }

  // Creates the database through the program's listener; the statement the library got.
  std::string Create(int port, const std::string& file) {
    TLineClient client;
    if (!WaitFor([&] { return client.Connect(port); })) return "(no connection)";
    client.ReadLine();
    const std::string reply = client.Ask("#CREATE_DB#>#" + file + ">#>#" + file + ">#4096").value_or("");
    if (reply != "#Create_db Okey >" + data + file + " db Created...") return "(reply) " + reply;
    return ReadBytes(data + file);
  }
  std::string LoadedFrom(const std::string& file) { return ReadBytes(data + file + clientdouble::kLoadedFromSuffix); }

  std::string data;
};

std::string Statement(const std::string& target, const std::string& user, const std::string& password) {
  return "CREATE DATABASE '" + target + "' USER '" + user + "' PASSWORD '" + password + "' PAGE_SIZE 4096";
}

std::optional<std::vector<BYTE>> UserValue(const wchar_t* name) {
  BYTE bytes[1024];
  DWORD size = sizeof bytes;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Quelmark\\Vantrel", name, RRF_RT_ANY, nullptr, bytes, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::vector<BYTE>(bytes, bytes + size);
}

bool Holds(const std::vector<BYTE>& bytes, const std::string& needle) {
  return std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end()) != bytes.end();
}

}  // namespace

TEST_F(Protocol, ServesAliasesTimeAndDatabasesAndEndsWithAConnectionOpen) {
  const fs::path root(LayInstallation(L"protocol", Kind::Firebird));
  fs::create_directories(root / L"Data");
  const std::string data = (root / L"Data").string() + "\\";
  const int port = FreePort();
  std::ofstream(root / L"aliases.conf", std::ios::binary)
      << "# Databases of the test\r\nEmployee=" << data << "employee.fdb\r\n# Socket_Port=" << port
      << "\r\n# ZeeBeeDee_Port=3051\r\n# ZeeBeeDee=False\r\n# DEFAULT_PATH=" << data << "\r\n";
  RegisterRoot(Kind::Firebird, root.wstring());
  TProgramWithClientLibrary app(root.parent_path() / L"protocol-program");

  TLineClient client;
  ASSERT_TRUE(WaitFor([&] { return client.Connect(port); }));
  EXPECT_EQ(client.ReadLine(), Cp1254(L"Bağlantı IP niz: 127.0.0.1"));

  client.Send("GIVEALIASLIST\r\n");
  EXPECT_EQ(client.ReadLine().value_or("").rfind("#Server_IP:", 0), 0u);
  for (const std::string& line : CrLfLines(ReadBytes(root / L"aliases.conf")))
    EXPECT_EQ(client.ReadLine(), line);
  EXPECT_EQ(client.ReadLine(), "#DONE!!!");

  const std::string time = client.Ask("time").value_or("");
  ASSERT_EQ(time.size(), 8u) << time;
  for (std::size_t i : {0, 1, 3, 4, 6, 7}) EXPECT_TRUE(isdigit(static_cast<unsigned char>(time[i]))) << time;

  const std::string sales = data + "sales.fdb";
  EXPECT_EQ(client.Ask("#CREATE_DB#>#sales.fdb>#>#Sales>#4096"),
            "#Create_db Okey >" + sales + " db Created...");
  EXPECT_NE(ReadBytes(sales).find("CREATE DATABASE '\\\\127.0.0.1\\" + sales + "'"), std::string::npos);
  EXPECT_NE(ReadBytes(root / L"aliases.conf").find("\r\nSales=" + sales + "\r\n"), std::string::npos);

  TLineClient open;
  ASSERT_TRUE(open.Connect(port));
  ASSERT_TRUE(open.ReadLine().has_value());
  EXPECT_EQ(client.Ask("Quit"), Cp1254(L"Güle güle!"));
  EXPECT_TRUE(client.Closed());

  Vantrel exitRequest(L"-exit");
  DWORD code = 99;
  ASSERT_TRUE(app.WaitExit(15000, code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(open.Closed(5000));
}

// Firebird 3 and later: the root's own fbclient.dll, the TCP form, and the login from the fixed
// one, then the tunnel settings page after Apply, then the environment.
TEST_F(Protocol, RootLayoutCreatesThroughItsOwnLibraryOverTcpWithTheChosenLogin) {
  const int port = FreePort();
  const fs::path root = LayWithOwnLibrary(L"protocol-fb5", Kind::FirebirdRoot, port);
  const std::string tcp = "127.0.0.1:";
  {
    Vantrel app;
    HWND main = app.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_NE(Create(port, "fixed.fdb").find(Statement(tcp + data + "fixed.fdb", "SYSDBA", "velmoraxe")),
              std::string::npos);
    EXPECT_EQ(LoadedFrom("fixed.fdb"), (root / L"fbclient.dll").string());

    const std::wstring user = L"ADMIN5", password = L"secilmis-parola-5";
    SendMessageW(FindControl(main, vantrel::idAdminUser), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(user.c_str()));
    SendMessageW(FindControl(main, vantrel::idAdminPassword), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(password.c_str()));
    HWND apply = FindControl(main, vantrel::idApply);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(apply) != FALSE; }));
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(vantrel::idApply, BN_CLICKED), reinterpret_cast<LPARAM>(apply));
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(apply) == FALSE; }));
    EXPECT_NE(Create(port, "page.fdb").find(Statement(tcp + data + "page.fdb", "ADMIN5", Cp1254(password))),
              std::string::npos);

    // Stored for the user, the password never as text; nowhere in the alias file.
    const auto sealed = UserValue(L"AdminPassword");
    ASSERT_TRUE(sealed);
    const std::wstring wide = password;
    EXPECT_FALSE(Holds(*sealed, Cp1254(password)));
    EXPECT_FALSE(Holds(*sealed, std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2)));
    EXPECT_EQ(ReadBytes(root / L"databases.conf").find(Cp1254(password)), std::string::npos);
    Vantrel exitRequest(L"-exit");
    ASSERT_TRUE(app.WaitExit(15000));
  }
  SetEnvironmentVariableW(L"ISC_USER", L"ENVUSER");
  SetEnvironmentVariableW(L"ISC_PASSWORD", L"envpw");
  Vantrel again;
  ASSERT_NE(again.WaitMainWindow(), nullptr);
  EXPECT_NE(Create(port, "env.fdb").find(Statement(tcp + data + "env.fdb", "ENVUSER", "envpw")), std::string::npos);
}

// 2.5: the library only in bin\, the named-pipe form.
TEST_F(Protocol, BinLayoutCreatesThroughTheLibraryInItsBinFolder) {
  const int port = FreePort();
  const fs::path root = LayWithOwnLibrary(L"protocol-fb25", Kind::Firebird, port);
  Vantrel app;
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  EXPECT_NE(Create(port, "pipe.fdb").find(Statement("\\\\127.0.0.1\\" + data + "pipe.fdb", "SYSDBA", "velmoraxe")),
            std::string::npos);
  EXPECT_EQ(LoadedFrom("pipe.fdb"), (root / L"bin" / L"fbclient.dll").string());
}

// vantrel.exe's listener refuses what once left a line the server refuses, and the replaced
// databases.conf keeps the attributes it had (ReplaceFileW) and every byte it held.
TEST_F(Protocol, HostileRequestsAreRefusedAndTheServersFileKeepsItsBytesAndAttributes) {
  const int port = FreePort();
  const fs::path root = LayWithOwnLibrary(L"protocol-hostile", Kind::FirebirdRoot, port);
  const fs::path conf = root / L"databases.conf";
  std::ofstream(conf, std::ios::binary | std::ios::app)
      << "security.db = $(dir_secDb)/security5.fdb\n{\n\tRemoteAccess = false\n}\n# no line end here";
  ASSERT_TRUE(SetFileAttributesW(conf.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_EQ(GetFileAttributesW(conf.c_str()) & FILE_ATTRIBUTE_HIDDEN, DWORD(FILE_ATTRIBUTE_HIDDEN));
  const std::string before = ReadBytes(conf);
  Vantrel app;
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  TLineClient client;
  ASSERT_TRUE(WaitFor([&] { return client.Connect(port); }));
  client.ReadLine();
  for (const std::string fields : {"h1.fdb>#>#}", "h2.fdb>#>#{", "h3{>#>#h3", "h4\".fdb>#>#h4",
                                   "h5.fdb>#>#include C:\\x", "h6.fdb >#>#h6", "$(root)\\h7.fdb>#>#h7",
                                   "h8\\>#>#h8"}) {
    const std::string reply = client.Ask("#CREATE_DB#>#" + fields + ">#4096").value_or("(none)");
    EXPECT_EQ(reply.rfind("#Create_db error >", 0), 0u) << fields << ": " << reply;
    EXPECT_NE(reply.find("< invalid "), std::string::npos) << fields << ": " << reply;
  }
  EXPECT_EQ(ReadBytes(conf), before);
  for (const auto& entry : fs::directory_iterator(root / L"Data")) ADD_FAILURE() << entry.path() << " was made";

  EXPECT_EQ(client.Ask("#CREATE_DB#>#good.fdb>#>#good>#4096"), "#Create_db Okey >" + data + "good.fdb db Created...");
  const std::string after = ReadBytes(conf);
  EXPECT_EQ(after, before + "\r\ngood=" + data + "good.fdb");
  const DWORD attributes = GetFileAttributesW(conf.c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE), DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
}
