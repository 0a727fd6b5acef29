#include "server/rules/Instances.h"

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

TInstanceSighting Registration(std::wstring root) { return {foundByRegistration, std::move(root), {}, {}, {}}; }
TInstanceSighting Uninstall(std::wstring root) { return {foundByUninstallKey, std::move(root), {}, {}, {}}; }
// A service sighting as discovery makes it from the registered command line.
TInstanceSighting Service(const std::wstring& serviceName, const std::wstring& commandLine, std::wstring guardian = {}) {
  const TServiceCommand command = ParseServiceCommand(commandLine);
  std::wstring instance = InstanceOfServerService(serviceName);
  if (!command.instance.empty()) instance = command.instance;
  return {foundByService, RootOfServerProgram(command.program), instance, std::move(guardian), command.port};
}

}  // namespace

TEST(ServiceCommandLine, QuotedUnquotedAndQuotedInstanceNames) {
  auto quoted = ParseServiceCommand(LR"("C:\Program Files\Firebird\Firebird_5_0\firebird.exe" -s FB5)");
  EXPECT_EQ(quoted.program, LR"(C:\Program Files\Firebird\Firebird_5_0\firebird.exe)");
  EXPECT_EQ(quoted.instance, L"FB5");
  EXPECT_FALSE(quoted.port);

  auto plain = ParseServiceCommand(LR"(C:\Firebird\bin\fbserver.exe -s DefaultInstance)");
  EXPECT_EQ(plain.program, LR"(C:\Firebird\bin\fbserver.exe)");
  EXPECT_EQ(plain.instance, L"DefaultInstance");

  auto blank = ParseServiceCommand(LR"("C:\fb 5\firebird.exe" -s "NA ME" -port 3052)");
  EXPECT_EQ(blank.instance, L"NA ME");
  EXPECT_EQ(blank.port, 3052u);

  EXPECT_EQ(ParseServiceCommand(LR"(C:\fb\firebird.exe -s)").instance, L"");  // a switch without its value
  EXPECT_FALSE(ParseServiceCommand(LR"(C:\fb\firebird.exe -p notaport)").port);
}

TEST(ServiceCommandLine, RootFolderFromEachLayoutsProgram) {
  EXPECT_EQ(RootOfServerProgram(LR"(C:\Program Files\Firebird\Firebird_5_0\firebird.exe)"),
            LR"(C:\Program Files\Firebird\Firebird_5_0)");
  EXPECT_EQ(RootOfServerProgram(LR"(C:\Firebird_2_5\bin\fbserver.exe)"), LR"(C:\Firebird_2_5)");
  EXPECT_EQ(RootOfServerProgram(LR"(C:\Firebird_2_5\BIN\FB_INET_SERVER.EXE)"), LR"(C:\Firebird_2_5)");
  EXPECT_EQ(RootOfServerProgram(LR"(C:\Firebird_2_5\fbserver.exe)"), L"");  // 2.5's program lives in bin
  EXPECT_EQ(RootOfServerProgram(LR"(C:\Other\other.exe)"), L"");
  EXPECT_EQ(InstanceOfServerService(L"FirebirdServerFB5"), L"FB5");
  EXPECT_EQ(InstanceOfServerService(L"FirebirdServer"), L"");
  EXPECT_EQ(InstanceOfServerService(L"FirebirdGuardianFB5"), L"");
}

TEST(InstanceMerge, OneFolderFoundThreeWaysIsOneEntry) {
  const auto entries = MergeInstances({
      Registration(LR"(C:\Firebird_2_5\)"),
      Service(L"FirebirdServerDefaultInstance", LR"(c:\firebird_2_5\bin\fbserver.exe -s DefaultInstance)",
              L"FirebirdGuardianDefaultInstance"),
      Uninstall(LR"(C:\FIREBIRD_2_5)"),
  });
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].root, LR"(C:\Firebird_2_5\)");
  EXPECT_EQ(entries[0].foundBy, foundByRegistration | foundByService | foundByUninstallKey);
  EXPECT_EQ(entries[0].serverService, L"FirebirdServerDefaultInstance");
  EXPECT_EQ(entries[0].guardianService, L"FirebirdGuardianDefaultInstance");
}

TEST(InstanceMerge, MigrationMachineListsEveryServerWithItsOwnServices) {
  const auto entries = MergeInstances({
      Registration(LR"(C:\Firebird_2_5\)"),
      Service(L"FirebirdServerDefaultInstance", LR"(C:\Firebird_2_5\bin\fbserver.exe -s DefaultInstance)"),
      Service(L"FirebirdServerFB5", LR"("C:\Program Files\Firebird\Firebird_5_0\firebird.exe" -s FB5 -p 3051)",
              L"FirebirdGuardianFB5"),
      Uninstall(LR"(C:\Program Files\Firebird\Firebird_5_0\)"),
      Uninstall(LR"(C:\Program Files\Firebird\Firebird_4_0\)"),  // installed but not configured
  });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_TRUE(entries[0].IsDefaultRegistration());
  EXPECT_EQ(entries[0].guardianService, L"");  // no guardian service was seen
  EXPECT_EQ(entries[1].instance, L"FB5");
  EXPECT_EQ(entries[1].serverService, L"FirebirdServerFB5");
  EXPECT_EQ(entries[1].guardianService, L"FirebirdGuardianFB5");
  EXPECT_EQ(entries[1].portOverride, 3051u);
  EXPECT_FALSE(entries[1].IsDefaultRegistration());
  // Not configured: no service of its own to drive, so none of another installation's either.
  EXPECT_EQ(entries[2].instance, L"");
  EXPECT_EQ(entries[2].serverService, L"");
  EXPECT_EQ(entries[2].foundBy, unsigned(foundByUninstallKey));
}

TEST(InstanceMerge, TheRegistrationNeverBorrowsDefaultServicesOfAnotherFolder) {
  // DefaultInstance's service runs 5.0 while the registration still names the old folder.
  const auto entries = MergeInstances({
      Registration(LR"(C:\Firebird_2_5)"),
      Service(L"FirebirdServerDefaultInstance", LR"(C:\Firebird_5_0\firebird.exe -s DefaultInstance)"),
  });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].serverService, L"");
  EXPECT_EQ(entries[1].serverService, L"FirebirdServerDefaultInstance");

  // Only the registration (no service listed at all): driven as the default instance, as always.
  const auto alone = MergeInstances({Registration(LR"(C:\Firebird_2_5)")});
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_EQ(alone[0].serverService, L"FirebirdServerDefaultInstance");
  EXPECT_EQ(alone[0].guardianService, L"FirebirdGuardianDefaultInstance");
}

TEST(InstanceMerge, ANamedInstanceInTheRegisteredFolderDrivesItUnlessDefaultInstanceIsThere) {
  const auto named = MergeInstances({
      Registration(LR"(C:\fb5)"),
      Service(L"FirebirdServerA", LR"(C:\fb5\firebird.exe -s A)"),
      Service(L"FirebirdServerB", LR"(C:\fb5\firebird.exe -s B)"),
  });
  ASSERT_EQ(named.size(), 1u);
  EXPECT_EQ(named[0].instance, L"A");

  const auto withDefault = MergeInstances({
      Service(L"FirebirdServerA", LR"(C:\fb5\firebird.exe -s A)"),
      Service(L"FirebirdServerDefaultInstance", LR"(C:\fb5\firebird.exe -s DefaultInstance)"),
  });
  ASSERT_EQ(withDefault.size(), 1u);
  EXPECT_EQ(withDefault[0].instance, L"DefaultInstance");
}

TEST(InstanceMerge, SameFolderIgnoresCaseAndTrailingBackslashButNotPrefixes) {
  EXPECT_TRUE(SameFolder(LR"(C:\Firebird\)", LR"(c:\firebird)"));
  EXPECT_FALSE(SameFolder(LR"(C:\Firebird)", LR"(C:\Firebird2)"));
  EXPECT_TRUE(PathIsInFolder(LR"(C:\FIREBIRD\bin\fbserver.exe)", LR"(C:\Firebird\)"));
  EXPECT_FALSE(PathIsInFolder(LR"(C:\Firebird_5\firebird.exe)", LR"(C:\Firebird)"));
  EXPECT_FALSE(PathIsInFolder(LR"(C:\x\firebird.exe)", L""));
}

TEST(FirebirdConfPort, CommentedSetCommandLineAndNamedPorts) {
  const std::string shipped = "#RemoteServicePort = 3050\n#RemoteServiceName = gds_db\n";
  EXPECT_EQ(ServerPortOf(shipped, std::nullopt), (TServerPort{3050, ""}));
  EXPECT_EQ(ServerPortOf("RemoteServicePort = 3051\r\n", std::nullopt), (TServerPort{3051, ""}));
  EXPECT_EQ(ServerPortOf("RemoteServicePort = 3051 # the FB5 port\n", std::nullopt).number, 3051u);
  EXPECT_EQ(ServerPortOf("RemoteServicePort = 3051\n", 3060u).number, 3060u);  // -p wins
  EXPECT_EQ(ServerPortOf("RemoteServicePort = 0\nRemoteServiceName = 3055\n", std::nullopt).number, 3055u);
  EXPECT_EQ(ServerPortOf("remoteservicename = gds_db\n", std::nullopt).number, 3050u);
  EXPECT_EQ(ServerPortOf("RemoteServiceName = fb_other\n", std::nullopt), (TServerPort{0, "fb_other"}));
  EXPECT_EQ(PortText({0, "fb_other"}), L"fb_other");
  EXPECT_EQ(ServerPortOf("", std::nullopt).number, 3050u);
}

TEST(FirebirdConfPort, TheLastUncommentedSettingCountsAndIpcNameDefaults) {
  EXPECT_EQ(ConfSetting("IpcName = A\nIpcName = B\n", "ipcname"), "B");
  EXPECT_EQ(ConfSetting("  # IpcName = A\n", "IpcName"), std::nullopt);
  EXPECT_EQ(ConfSetting("RemotePipeName = \"fb pipe\"\n", "RemotePipeName"), "fb pipe");
  EXPECT_EQ(IpcNameOf("#IpcName = X\n"), "FIREBIRD");
  EXPECT_EQ(IpcNameOf("IpcName = FB5\n"), "FB5");
}

TEST(LocalServerPrefix, PortOnlyWhenNotTheDefaultAndPipeForTheBinLayout) {
  EXPECT_EQ(LocalServerPrefixFor(true, {3050, ""}, L""), L"127.0.0.1:");
  EXPECT_EQ(LocalServerPrefixFor(true, {3051, ""}, L""), L"127.0.0.1/3051:");
  EXPECT_EQ(LocalServerPrefixFor(true, {0, "fb_other"}, L""), L"127.0.0.1/fb_other:");
  EXPECT_EQ(LocalServerPrefixFor(false, {3051, ""}, L""), L"\\\\127.0.0.1\\");
  EXPECT_EQ(LocalServerPrefixFor(false, {3051, ""}, L"fb25"), L"\\\\127.0.0.1@fb25\\");
}

TEST(InstanceChoice, StoredRootRestoredElseDefaultRegistrationElseFirst) {
  const std::vector<std::wstring> roots{LR"(C:\fb4\)", LR"(C:\fb25\)", LR"(C:\fb5\)"};
  EXPECT_EQ(ChooseInstance(roots, {false, true, false}, LR"(c:\FB5)"), 2u);
  EXPECT_EQ(ChooseInstance(roots, {false, true, false}, LR"(C:\gone\)"), 1u);
  EXPECT_EQ(ChooseInstance(roots, {false, true, false}, L""), 1u);
  EXPECT_EQ(ChooseInstance(roots, {false, false, false}, LR"(C:\gone\)"), 0u);
}

TEST(InstanceLabelText, KnownPartsJoinedByDashes) {
  EXPECT_EQ(InstanceLabel(L"Firebird 5.0.1.1469", L"FB5", L"3051", LR"(C:\Program Files\Firebird\Firebird_5_0\)"),
            L"Firebird 5.0.1.1469 \u2014 FB5 \u2014 3051 \u2014 C:\\Program Files\\Firebird\\Firebird_5_0");
  EXPECT_EQ(InstanceLabel(L"Firebird 4.0", L"", L"3050", LR"(C:\fb4)"), L"Firebird 4.0 \u2014 3050 \u2014 C:\\fb4");
}

TEST(InstanceConflicts, SamePortOrIpcNameBetweenAnyTwo) {
  const auto conflicts = FindConflicts({{L"a", {3050, ""}, "FIREBIRD"},
                                        {L"b", {3051, ""}, "fb5"},
                                        {L"c", {3050, ""}, "FB5"}});
  ASSERT_EQ(conflicts.size(), 2u);
  EXPECT_EQ(conflicts[0].kind, ConflictKind::SamePort);
  EXPECT_EQ(conflicts[0].first, 0u);
  EXPECT_EQ(conflicts[0].second, 2u);
  EXPECT_EQ(conflicts[1].kind, ConflictKind::SameIpcName);  // without regard to case
  EXPECT_EQ(conflicts[1].first, 1u);
  EXPECT_EQ(conflicts[1].second, 2u);
  EXPECT_TRUE(FindConflicts({{L"a", {3050, ""}, "A"}, {L"b", {3051, ""}, "B"}}).empty());
}
