// The command server of vantrel.exe as a client on the network sees it: a simulated installation
// whose alias file names the port, and the client library double beside the program.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/e2e/Harness.h"
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
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder_.c_str(), &si, &pi_))
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
  }
  void TearDown() override { ClearRegistrations(); }
};

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
