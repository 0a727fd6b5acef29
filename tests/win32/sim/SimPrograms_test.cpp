#include <windows.h>

#include "tests/sim/SimHost.h"
#include "tests/win32/sim/SimTestKinds.h"

namespace vantrel::sim::testing {
namespace {

using SimApplication = PerKind;

TEST_P(SimApplication, ServerOwnsATopLevelWindowUntilWmClose) {
  ChildProcess server = ChildProcess::Start(Server() + L" -a", install_.Root());
  ASSERT_TRUE(server);
  ASSERT_TRUE(WaitUntil([&] { return WindowExists(Names().serverWindowClass); }, kStartTimeout));
  HWND window = FindClassWindow(Names().serverWindowClass);
  EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());
  EXPECT_FALSE(WindowExists(Names().guardianWindowClass));

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(server.WaitForExit(kStartTimeout), std::optional<DWORD>(kExitOk));
  EXPECT_FALSE(WindowExists(Names().serverWindowClass));
}

TEST_P(SimApplication, SecondServerOfAKindEndsAndLeavesTheFirstOne) {
  ChildProcess first = ChildProcess::Start(Server() + L" -a", install_.Root());
  ASSERT_TRUE(WaitUntil([&] { return WindowExists(Names().serverWindowClass); }, kStartTimeout));
  HWND window = FindClassWindow(Names().serverWindowClass);

  ChildProcess second = ChildProcess::Start(L"\"" + Server() + L"\" -A", install_.Root());
  EXPECT_EQ(second.WaitForExit(kStartTimeout), std::optional<DWORD>(kExitAlreadyRunning));
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(CountClassWindows(Names().serverWindowClass), 1);
}

TEST_P(SimApplication, GuardianStartsTheServerWhichOutlivesIt) {
  ChildProcess guardian = ChildProcess::Start(Guardian() + L" -a", install_.Root());
  ASSERT_TRUE(guardian);
  ASSERT_TRUE(WaitUntil([&] { return WindowExists(Names().guardianWindowClass); }, kStartTimeout));
  ASSERT_TRUE(WaitUntil([&] { return WindowExists(Names().serverWindowClass); }, kStartTimeout));

  DWORD guardianProcess = 0;
  DWORD serverProcess = 0;
  GetWindowThreadProcessId(FindClassWindow(Names().guardianWindowClass), &guardianProcess);
  GetWindowThreadProcessId(FindClassWindow(Names().serverWindowClass), &serverProcess);
  EXPECT_NE(guardianProcess, serverProcess);

  PostMessageW(FindClassWindow(Names().guardianWindowClass), WM_CLOSE, 0, 0);
  EXPECT_EQ(guardian.WaitForExit(kStartTimeout), std::optional<DWORD>(kExitOk));
  EXPECT_TRUE(WindowExists(Names().serverWindowClass));
}

TEST_P(SimApplication, GuardianEndsWhenItsServerIsMissing) {
  ASSERT_TRUE(DeleteFileW(Server().c_str()));
  ChildProcess guardian = ChildProcess::Start(Guardian() + L" -a", install_.Root());
  EXPECT_EQ(guardian.WaitForExit(kStartTimeout), std::optional<DWORD>(kExitServerLaunchFailed));
  EXPECT_FALSE(WindowExists(Names().guardianWindowClass));
}

SIM_FOR_BOTH_KINDS(SimApplication);

// Wine gives up on a service dispatcher outside the service manager only after about ten seconds.
// Both kinds share this path, and each run costs Wine's full wait: one kind is enough.
TEST(SimApplicationAlone, WithoutSwitchOutsideTheServiceManagerTheServerEnds) {
  TempInstallation install(Kind::Firebird);
  ChildProcess server = ChildProcess::Start(install.BinFile(kFirebirdNames.serverExe), install.Root());
  EXPECT_EQ(server.WaitForExit(2 * kStartTimeout), std::optional<DWORD>(kExitNotAService));
  EXPECT_FALSE(WindowExists(kFirebirdNames.serverWindowClass));
}

// The version record as the control panel reads it: strings of the 040904E4 table only.
class VersionRecord {
 public:
  explicit VersionRecord(const std::wstring& file) {
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), nullptr);
    data_.resize(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data_.data())) data_.clear();
  }
  std::optional<std::wstring> String(const std::wstring& table, const std::wstring& key) {
    void* value = nullptr;
    UINT length = 0;
    std::wstring path = L"\\StringFileInfo\\" + table + L"\\" + key;
    if (data_.empty() || !VerQueryValueW(data_.data(), path.c_str(), &value, &length)) return std::nullopt;
    return std::wstring(static_cast<const wchar_t*>(value));
  }
  std::optional<DWORD> Translation() {
    void* value = nullptr;
    UINT length = 0;
    if (data_.empty() || !VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
        length < sizeof(DWORD))
      return std::nullopt;
    return *static_cast<const DWORD*>(value);
  }

 private:
  std::vector<BYTE> data_;
};

struct VersionCase {
  Kind kind;
  std::wstring_view KindNames::*file;
  const wchar_t* description;
  const wchar_t* version;
};

TEST(SimVersionRecord, ServerAndGuardianDescribeThemselvesInTheUsEnglishTable) {
  const VersionCase cases[] = {
      {Kind::Firebird, &KindNames::serverExe, L"Firebird Server", L"3.0.11.33637"},
      {Kind::Firebird, &KindNames::guardianExe, L"Firebird Guardian", L"3.0.11.33637"},
      {Kind::InterBase, &KindNames::serverExe, L"InterBase Server", L"6.0.1.6"},
      {Kind::InterBase, &KindNames::guardianExe, L"InterBase Guardian", L"6.0.1.6"},
      {Kind::FirebirdRoot, &KindNames::serverExe, L"Firebird Server", L"5.0.1.1469"},
  };
  constexpr DWORD kUsEnglishWestern = MAKELONG(0x0409, 1252);
  for (const VersionCase& c : cases) {
    const wchar_t* programs = NamesOf(c.kind).rootLayout ? L"\\" : L"\\bin\\";
    std::wstring file = LayoutRoot(c.kind) + programs + std::wstring(NamesOf(c.kind).*c.file);
    SCOPED_TRACE(ToUtf8(file));
    VersionRecord record(file);
    EXPECT_EQ(record.String(L"040904E4", L"FileDescription"), std::optional<std::wstring>(c.description));
    EXPECT_EQ(record.String(L"040904E4", L"FileVersion"), std::optional<std::wstring>(c.version));
    EXPECT_EQ(record.Translation(), std::optional<DWORD>(kUsEnglishWestern));
  }
}

TEST(SimVersionRecord, ToolsHaveNoUsEnglishStrings) {
  VersionRecord instsvc(LayoutRoot(Kind::Firebird) + L"\\bin\\instsvc.exe");
  EXPECT_EQ(instsvc.String(L"040904E4", L"FileDescription"), std::nullopt);
  EXPECT_TRUE(instsvc.String(L"041F04E6", L"FileDescription").has_value());

  std::wstring instreg = LayoutRoot(Kind::Firebird) + L"\\bin\\instreg.exe";
  EXPECT_EQ(GetFileVersionInfoSizeW(instreg.c_str(), nullptr), 0u);
}

}  // namespace
}  // namespace vantrel::sim::testing
