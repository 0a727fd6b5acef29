// Version records: this test program carries one in 040904E4, the helper only a Turkish one.
#include <windows.h>

#include <gtest/gtest.h>

#include "server/uFileVersion.h"
#include "tests/win32/shellsvc/TestSupport.h"

namespace vantrel {
namespace {

TEST(FileVersionTest, ReadsTheTenStringsOfTheUsEnglishTable) {
  TFileVersionData data;
  data.SetWorkFileName(test::OwnExePath());
  EXPECT_EQ(test::OwnExePath(), data.WorkFileName());
  EXPECT_EQ(L"Quelmark", data.CompanyName);
  EXPECT_EQ(L"Vantrel shell services tests", data.FileDescription);
  EXPECT_EQ(L"1.2.3.4", data.FileVersion);
  EXPECT_EQ(L"shellsvc_tests", data.InternalName);
  EXPECT_EQ(L"(c) Quelmark", data.LegalCopyright);
  EXPECT_EQ(L"Vantrel is a mark", data.LegalTrademarks);
  EXPECT_EQ(L"shellsvc_tests.exe", data.OriginalFilename);
  EXPECT_EQ(L"Vantrel", data.ProductName);
  EXPECT_EQ(L"1.2", data.ProductVersion);
  ASSERT_EQ(255u, data.Comments.size()) << "longer values are cut";
  EXPECT_EQ(L'0', data.Comments[0]);
  EXPECT_EQ(L'4', data.Comments[254]);
  EXPECT_EQ(L"Vantrel shell services tests 1.2.3.4", VersionText(test::OwnExePath()));

  data.SetWorkFileName(test::HelperPath());  // a file without the table clears every value
  EXPECT_TRUE(data.CompanyName.empty() && data.FileDescription.empty() && data.Comments.empty());
}

TEST(FileVersionTest, RecordsElsewhereOrNowhereGiveASingleBlank) {
  EXPECT_EQ(L" ", VersionText(test::HelperPath())) << "strings only in another language table";
  EXPECT_EQ(L" ", VersionText(test::BinDir() + L"\\vantrel_no_such_file.exe"));
  EXPECT_EQ(L" ", VersionText(L""));
  test::ScratchFolder folder(L"vantrel-version-");
  test::WriteFileText(folder.File(L"plain.exe"), "MZ not really a program");
  EXPECT_EQ(L" ", VersionText(folder.File(L"plain.exe"))) << "no record at all";
}

}  // namespace
}  // namespace vantrel
