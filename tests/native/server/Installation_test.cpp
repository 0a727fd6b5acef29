#include "server/Installation.h"

#include <gtest/gtest.h>

#include <set>

using namespace vantrel;

namespace {

// A disk that holds exactly the given files.
FileExistsFn Disk(std::set<std::wstring> files) {
  return [files = std::move(files)](const std::wstring& path) { return files.count(path) > 0; };
}

}  // namespace

TEST(Installation, TheOldBinLayoutKeepsItsPathsAndAliasesConf) {
  const TInstallation fb25 = FindInstallation(L"C:\\Firebird\\", Disk({L"C:\\Firebird\\bin\\fbserver.exe"}));
  EXPECT_EQ(fb25.layout, ServerLayout::BinFolder);
  EXPECT_EQ(fb25.kind, skFirebird);
  EXPECT_EQ(fb25.rootDir, L"C:\\Firebird\\");
  EXPECT_EQ(fb25.programDir, L"C:\\Firebird\\bin");
  EXPECT_EQ(fb25.serverExe, L"C:\\Firebird\\bin\\fbserver.exe");
  EXPECT_EQ(fb25.guardianExe, L"C:\\Firebird\\bin\\fbguard.exe");
  EXPECT_EQ(fb25.instsvc, L"C:\\Firebird\\bin\\instsvc.exe");
  EXPECT_EQ(fb25.instclient, L"");
  EXPECT_EQ(fb25.clientLibrary, L"C:\\Firebird\\bin\\gds32.dll");
  EXPECT_EQ(fb25.aliasFile, L"C:\\Firebird\\aliases.conf");
  EXPECT_EQ(fb25.serverLog, L"C:\\Firebird\\firebird.log");
  EXPECT_FALSE(fb25.UsesDatabasesConf());
  EXPECT_EQ(fb25.clientLibraries,
            (std::vector<std::wstring>{L"C:\\Firebird\\bin\\fbclient.dll", L"C:\\Firebird\\bin\\gds32.dll"}));
  EXPECT_EQ(fb25.localServerPrefix, L"\\\\127.0.0.1\\");

  // A root registered without its trailing delimiter gives the same paths.
  const TInstallation ib = FindInstallation(L"D:\\IB", Disk({L"D:\\IB\\bin\\ibserver.exe"}));
  EXPECT_EQ(ib.kind, skInterBase);
  EXPECT_EQ(ib.serverExe, L"D:\\IB\\bin\\ibserver.exe");
  EXPECT_EQ(ib.guardianWindowClass, L"IB_Guard");
  EXPECT_EQ(ib.serverServiceName, L"InterBaseServer");
}

TEST(Installation, TheRootLayoutHasEverythingInTheRootAndPrefersDatabasesConf) {
  const std::wstring root = L"C:\\Program Files\\Firebird\\Firebird_5_0\\";
  TInstallation fb5 = FindInstallation(root, Disk({root + L"firebird.exe", root + L"databases.conf",
                                                   root + L"aliases.conf"}));
  EXPECT_EQ(fb5.layout, ServerLayout::RootFolder);
  EXPECT_EQ(fb5.kind, skFirebird);
  EXPECT_EQ(fb5.programDir, L"C:\\Program Files\\Firebird\\Firebird_5_0");
  EXPECT_EQ(fb5.serverExe, root + L"firebird.exe");
  EXPECT_EQ(fb5.serverExeName, L"firebird.exe");
  EXPECT_EQ(fb5.guardianExe, root + L"fbguard.exe");
  EXPECT_EQ(fb5.instreg, root + L"instreg.exe");
  EXPECT_EQ(fb5.instclient, root + L"instclient.exe");
  EXPECT_EQ(fb5.clientLibrary, root + L"fbclient.dll");
  EXPECT_EQ(fb5.aliasFile, root + L"databases.conf");
  EXPECT_TRUE(fb5.UsesDatabasesConf());
  EXPECT_EQ(fb5.clientLibraries, std::vector<std::wstring>{root + L"fbclient.dll"});
  EXPECT_EQ(fb5.localServerPrefix, L"127.0.0.1:");
  EXPECT_EQ(fb5.serverWindowClass, L"FB_Server");
  EXPECT_EQ(fb5.guardianServiceName, L"FirebirdGuardianDefaultInstance");

  // aliases.conf only when there is no databases.conf; with neither, a save creates databases.conf.
  fb5 = FindInstallation(root, Disk({root + L"firebird.exe", root + L"aliases.conf"}));
  EXPECT_EQ(fb5.aliasFile, root + L"aliases.conf");
  EXPECT_FALSE(fb5.UsesDatabasesConf());
  fb5 = FindInstallation(root, Disk({root + L"firebird.exe"}));
  EXPECT_EQ(fb5.aliasFile, root + L"databases.conf");
}

TEST(Installation, DiscoveryOrderIsTheBinLayoutThenTheRootLayoutThenInterBase) {
  const std::wstring r = L"C:\\R\\";
  EXPECT_EQ(FindInstallation(r, Disk({r + L"bin\\fbserver.exe", r + L"firebird.exe", r + L"bin\\ibserver.exe"}))
                .layout,
            ServerLayout::BinFolder);
  EXPECT_EQ(FindInstallation(r, Disk({r + L"firebird.exe", r + L"bin\\ibserver.exe"})).layout,
            ServerLayout::RootFolder);
  EXPECT_EQ(FindInstallation(r, Disk({r + L"bin\\ibserver.exe"})).kind, skInterBase);
}

TEST(Installation, NothingFoundHasNoKindNoNamesAndTheLastTriedServerPath) {
  const TInstallation none = FindInstallation(L"C:\\R\\", Disk({L"C:\\R\\fbserver.exe"}));
  EXPECT_FALSE(none.Found());
  EXPECT_EQ(none.kind, skNone);
  EXPECT_EQ(none.serverExe, L"C:\\R\\bin\\ibserver.exe");
  EXPECT_EQ(none.guardianExe, L"C:\\R\\bin\\");
  EXPECT_EQ(none.serverWindowClass, L"");
  EXPECT_EQ(none.guardianServiceName, L"");
}
