#include <windows.h>

#include "tests/win32/sim/SimTestKinds.h"

namespace vantrel::sim::testing {
namespace {

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

class SimInstreg : public PerKind {
 protected:
  std::optional<std::wstring> Registered() const {
    return ReadMachineString(std::wstring(Names().rootKey), std::wstring(Names().rootValue));
  }
  SavedMachineValue saved_{std::wstring(Names().rootKey), std::wstring(Names().rootValue)};
  ToolLogCapture log_;
};

TEST_P(SimInstreg, InstallNamesTheQuotedRootWithTrailingDelimiterAndLogsItsCommandLine) {
  TempInstallation other(GetParam(), L" with blank");
  std::wstring command = Tool(L"instreg.exe") + L" install " + Quoted(other.Root());
  EXPECT_EQ(RunToEnd(command), std::optional<DWORD>(0));
  EXPECT_EQ(Registered(), std::optional<std::wstring>(other.Root() + L"\\"));
  EXPECT_EQ(log_.Lines(), std::vector<std::wstring>{command});
}

TEST_P(SimInstreg, InstallWithoutRootNamesItsOwnRootAndRemoveDeletesIt) {
  EXPECT_EQ(RunToEnd(Tool(L"instreg.exe") + L" install"), std::optional<DWORD>(0));
  EXPECT_EQ(Registered(), std::optional<std::wstring>(install_.Root() + L"\\"));
  EXPECT_EQ(RunToEnd(Tool(L"instreg.exe") + L" remove"), std::optional<DWORD>(0));
  EXPECT_EQ(Registered(), std::nullopt);
  EXPECT_EQ(RunToEnd(Tool(L"instreg.exe") + L" remove"), std::optional<DWORD>(0)) << "nothing left to remove";
  EXPECT_EQ(log_.Lines().size(), 3u);
}

TEST_P(SimInstreg, WrongCommandsChangeNothingButAreLogged) {
  const std::wstring commands[] = {
      Tool(L"instreg.exe"),
      Tool(L"instreg.exe") + L" register",
      Tool(L"instreg.exe") + L" install \"\"",
      Tool(L"instreg.exe") + L" install a b",
      Tool(L"instreg.exe") + L" remove now",
  };
  const auto before = Registered();
  for (const std::wstring& command : commands)
    EXPECT_EQ(RunToEnd(command), std::optional<DWORD>(2)) << ToUtf8(command);
  EXPECT_EQ(Registered(), before);
  EXPECT_EQ(log_.Lines(), std::vector<std::wstring>(std::begin(commands), std::end(commands)));
}

TEST_P(SimInstreg, OneLogRecordsBothInstallationsInOrder) {
  TempInstallation newRoot(GetParam());
  const std::vector<std::wstring> commands = {
      Tool(L"instreg.exe") + L" remove",
      newRoot.BinFile(L"instreg.exe") + L" install " + Quoted(newRoot.Root()),
      newRoot.BinFile(L"instreg.exe") + L" install",
  };
  for (const std::wstring& command : commands) EXPECT_EQ(RunToEnd(command), std::optional<DWORD>(0));
  EXPECT_EQ(log_.Lines(), commands);
  EXPECT_EQ(Registered(), std::optional<std::wstring>(newRoot.Root() + L"\\"));
}

SIM_FOR_BOTH_KINDS(SimInstreg);

TEST(SimInstregAlone, WithoutLogVariableTheLogLiesInTheRoot) {
  ToolLogDefault unset;
  TempInstallation install(Kind::Firebird);
  std::wstring command = install.BinFile(L"instreg.exe") + L" help";
  EXPECT_EQ(RunToEnd(command), std::optional<DWORD>(2));
  EXPECT_EQ(ReadLines(install.Root() + L"\\" + kToolLogName), std::vector<std::wstring>{command});
}

TEST(SimInstregAlone, BinWithBothServersRegistersFirebird) {
  TempInstallation install(Kind::InterBase);
  ASSERT_TRUE(CopyFileW((LayoutRoot(Kind::Firebird) + L"\\bin\\fbserver.exe").c_str(),
                        install.BinFile(L"fbserver.exe").c_str(), FALSE));
  const std::wstring firebirdKey(kFirebirdNames.rootKey), interbaseKey(kInterBaseNames.rootKey);
  SavedMachineValue firebird(firebirdKey, std::wstring(kFirebirdNames.rootValue));
  SavedMachineValue interbase(interbaseKey, std::wstring(kInterBaseNames.rootValue));
  ToolLogCapture log;
  std::optional<std::wstring> interbaseBefore = ReadMachineString(interbaseKey, std::wstring(kInterBaseNames.rootValue));

  EXPECT_EQ(RunToEnd(install.BinFile(L"instreg.exe") + L" install"), std::optional<DWORD>(0));
  EXPECT_EQ(ReadMachineString(firebirdKey, std::wstring(kFirebirdNames.rootValue)),
            std::optional<std::wstring>(install.Root() + L"\\"));
  EXPECT_EQ(ReadMachineString(interbaseKey, std::wstring(kInterBaseNames.rootValue)), interbaseBefore);
}

TEST(SimInstregAlone, InterBaseRemoveKeepsTheKeyWhileItHoldsOtherValues) {
  const std::wstring key(kInterBaseNames.rootKey);
  SavedMachineValue root(key, std::wstring(kInterBaseNames.rootValue));
  SavedMachineValue options(key, L"GuardianOptions");
  ToolLogCapture log;
  TempInstallation install(Kind::InterBase);
  ASSERT_EQ(RunToEnd(install.BinFile(L"instreg.exe") + L" install"), std::optional<DWORD>(0));
  {
    RegistryKey opened = RegistryKey::Open(HKEY_LOCAL_MACHINE, key, KEY_SET_VALUE);
    ASSERT_TRUE(opened);
    ASSERT_EQ(RegSetValueExW(opened.Get(), L"GuardianOptions", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"),
                             2 * sizeof(wchar_t)),
              ERROR_SUCCESS);
  }
  EXPECT_EQ(RunToEnd(install.BinFile(L"instreg.exe") + L" remove"), std::optional<DWORD>(0));
  EXPECT_EQ(ReadMachineString(key, std::wstring(kInterBaseNames.rootValue)), std::nullopt);
  EXPECT_EQ(ReadMachineString(key, L"GuardianOptions"), std::optional<std::wstring>(L"1"));
}

TEST(SimInstregAlone, RemoveDropsTheKeyItLeavesEmpty) {
  const std::wstring key(kFirebirdNames.rootKey);
  if (RegistryKey opened = RegistryKey::Open(HKEY_LOCAL_MACHINE, key, KEY_READ)) {
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    if (subkeys > 0 || values > (opened.HasValue(std::wstring(kFirebirdNames.rootValue)) ? 1u : 0u))
      GTEST_SKIP() << "the prefix keeps other entries under the Firebird key";
  }
  SavedMachineValue root(key, std::wstring(kFirebirdNames.rootValue));
  ToolLogCapture log;
  TempInstallation install(Kind::Firebird);
  ASSERT_EQ(RunToEnd(install.BinFile(L"instreg.exe") + L" install"), std::optional<DWORD>(0));
  EXPECT_EQ(RunToEnd(install.BinFile(L"instreg.exe") + L" remove"), std::optional<DWORD>(0));
  EXPECT_FALSE(MachineKeyExists(key));
}

class SimInstsvc : public PerKind {
 protected:
  std::wstring ServerService() const { return std::wstring(Names().serverService); }
  std::wstring GuardianService() const { return std::wstring(Names().guardianService); }
  // The registered command line: the quoted program, and the instance in the root layout.
  std::wstring ServiceCommand(const std::wstring& program) const {
    return Quoted(program) + (Names().rootLayout ? kInstanceArguments : L"");
  }
  static std::optional<DWORD> StartType(const std::wstring& service) {
    std::optional<ServiceSetup> setup = QueryServiceSetup(service);
    return setup ? std::optional<DWORD>(setup->startType) : std::nullopt;
  }
  static std::optional<std::wstring> BinaryPath(const std::wstring& service) {
    std::optional<ServiceSetup> setup = QueryServiceSetup(service);
    return setup ? std::optional<std::wstring>(setup->binaryPath) : std::nullopt;
  }
  static bool Interactive(const std::wstring& service) {
    std::optional<ServiceSetup> setup = QueryServiceSetup(service);
    return setup && (setup->serviceType & SERVICE_INTERACTIVE_PROCESS);
  }
  ToolLogCapture log_;
};

TEST_P(SimInstsvc, InstallWithGuardianAndAutoMakesServerDemandStartAndGuardianAutomatic) {
  std::wstring command = Tool(L"instsvc.exe") + L" install " + Quoted(install_.Root()) + L" -g -auto";
  ASSERT_EQ(RunToEnd(command), std::optional<DWORD>(0));
  EXPECT_EQ(log_.Lines(), std::vector<std::wstring>{command});

  std::optional<ServiceSetup> server = QueryServiceSetup(ServerService());
  ASSERT_TRUE(server);
  EXPECT_EQ(server->startType, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(server->binaryPath, ServiceCommand(Server()));
  EXPECT_EQ(server->displayName, std::wstring(Names().serverDisplayName));
  EXPECT_EQ(server->serviceType & SERVICE_WIN32_OWN_PROCESS, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));

  std::optional<ServiceSetup> guardian = QueryServiceSetup(GuardianService());
  ASSERT_TRUE(guardian);
  EXPECT_EQ(guardian->startType, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(guardian->binaryPath, ServiceCommand(Guardian()));
  EXPECT_EQ(guardian->displayName, std::wstring(Names().guardianDisplayName));
  EXPECT_EQ(ServiceState(ServerService()), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_P(SimInstsvc, StartTypesFollowTheOptions) {
  ASSERT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" install -auto"), std::optional<DWORD>(0));
  EXPECT_EQ(StartType(ServerService()), std::optional<DWORD>(SERVICE_AUTO_START));
  EXPECT_FALSE(QueryServiceSetup(GuardianService()));

  ASSERT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" install -g"), std::optional<DWORD>(0));
  EXPECT_EQ(StartType(ServerService()), std::optional<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(StartType(GuardianService()), std::optional<DWORD>(SERVICE_DEMAND_START));
  EXPECT_FALSE(Interactive(GuardianService()));

  ASSERT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" install -g -i"), std::optional<DWORD>(0));
  EXPECT_TRUE(Interactive(GuardianService()));
}

TEST_P(SimInstsvc, InstallingAgainPointsTheServicesAtTheNamedRoot) {
  TempInstallation other(GetParam(), L" other");
  ASSERT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" install -g -auto"), std::optional<DWORD>(0));
  ASSERT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" install " + Quoted(other.Root()) + L" -g -auto"),
            std::optional<DWORD>(0));
  EXPECT_EQ(BinaryPath(ServerService()), ServiceCommand(other.BinFile(Names().serverExe)));
  EXPECT_EQ(BinaryPath(GuardianService()), ServiceCommand(other.BinFile(Names().guardianExe)));
}

TEST_P(SimInstsvc, RemoveDeletesWhatItsOptionsNameAndIsQuietWhenNothingIsLeft) {
  ASSERT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" install -g -auto"), std::optional<DWORD>(0));
  EXPECT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" remove"), std::optional<DWORD>(0));
  EXPECT_FALSE(QueryServiceSetup(ServerService()));
  EXPECT_TRUE(QueryServiceSetup(GuardianService()));

  EXPECT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" remove -g"), std::optional<DWORD>(0));
  EXPECT_FALSE(QueryServiceSetup(GuardianService()));
  EXPECT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" remove -g"), std::optional<DWORD>(0));
}

TEST_P(SimInstsvc, RemoveStopsARunningServerFirst) {
  ASSERT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" install -g"), std::optional<DWORD>(0));
  ASSERT_TRUE(StartServiceByName(ServerService()));
  ASSERT_TRUE(WaitUntil([&] { return ServiceState(ServerService()) == SERVICE_RUNNING; }, kStartTimeout));
  EXPECT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" remove -g", 2 * kStartTimeout), std::optional<DWORD>(0));
  EXPECT_FALSE(QueryServiceSetup(ServerService()));
  EXPECT_TRUE(WaitUntil([&] { return !WindowExists(Names().serverWindowClass); }, kStartTimeout));
}

TEST_P(SimInstsvc, WrongCommandsCreateNothing) {
  const std::wstring commands[] = {
      Tool(L"instsvc.exe"),
      Tool(L"instsvc.exe") + L" install -x",
      Tool(L"instsvc.exe") + L" install a b",
      Tool(L"instsvc.exe") + L" remove -auto",
  };
  for (const std::wstring& command : commands)
    EXPECT_EQ(RunToEnd(command), std::optional<DWORD>(2)) << ToUtf8(command);
  EXPECT_FALSE(QueryServiceSetup(ServerService()));
  EXPECT_EQ(log_.Lines().size(), std::size(commands));
}

SIM_FOR_BOTH_KINDS(SimInstsvc);

// instclient of the root layout: its fbclient.dll goes into the system folder as gds32.dll.
TEST(SimInstclient, InstallCopiesTheRootsClientLibraryAsGds32AndRemoveDeletesIt) {
  TempInstallation install(Kind::FirebirdRoot);
  ToolLogCapture log;
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  const std::wstring target = WithTrailingDelimiter(system) + L"gds32.dll";
  ASSERT_FALSE(FileExists(target));
  const std::wstring tool = Quoted(install.BinFile(L"instclient.exe"));
  ASSERT_EQ(RunToEnd(tool + L" install gds32"), std::optional<DWORD>(0));
  EXPECT_TRUE(FileExists(target));
  EXPECT_EQ(RunToEnd(tool + L" remove gds32"), std::optional<DWORD>(0));
  EXPECT_FALSE(FileExists(target));
  EXPECT_EQ(RunToEnd(tool + L" install"), std::optional<DWORD>(2));
  EXPECT_EQ(log.Lines().size(), 3u);
}

}  // namespace
}  // namespace vantrel::sim::testing
