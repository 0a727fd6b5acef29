#include "shell/rules/TextRules.h"
#include "shell/rules/PathRules.h"

#include <gtest/gtest.h>

using namespace vantrel;

// Code page 1254 bytes of the Turkish letters, capital then small.
namespace cp1254 {
constexpr char G_BREVE[] = "\xD0", g_breve[] = "\xF0";
constexpr char S_CEDIL[] = "\xDE", s_cedil[] = "\xFE";
constexpr char I_DOT[] = "\xDD", i_dotless[] = "\xFD";
constexpr char U_UML[] = "\xDC", u_uml[] = "\xFC";
constexpr char O_UML[] = "\xD6", o_uml[] = "\xF6";
constexpr char C_CEDIL[] = "\xC7", c_cedil[] = "\xE7";
}  // namespace cp1254

TEST(Cp1254Case, TurkishLettersMatchTheirCapitals) {
  using namespace cp1254;
  const std::string lower = std::string("firebird g") + u_uml + "nl" + u_uml + g_breve + u_uml + " " + s_cedil +
                            o_uml + c_cedil + i_dotless;
  const std::string upper = std::string("FIREBIRD G") + U_UML + "NL" + U_UML + G_BREVE + U_UML + " " + S_CEDIL +
                            O_UML + C_CEDIL + I_DOT;
  EXPECT_TRUE(SameTextCp1254(lower, upper));
  EXPECT_TRUE(SameTextCp1254("\x9A\x9C\xFF", "\x8A\x8C\x9F"));
}

TEST(Cp1254Case, TheTwoIsStayApartAndSignsAreNoLetters) {
  using namespace cp1254;
  EXPECT_TRUE(SameTextCp1254("i", "I"));
  EXPECT_FALSE(SameTextCp1254(i_dotless, "I"));
  EXPECT_FALSE(SameTextCp1254("i", I_DOT));
  EXPECT_FALSE(SameTextCp1254("\xF7", "\xD7"));  // division and multiplication sign
  EXPECT_FALSE(SameTextCp1254("\xDF", "\xFF"));  // sharp s has no capital here
  EXPECT_FALSE(SameTextCp1254("abc", "abcd"));
  EXPECT_FALSE(SameTextCp1254("[", "{"));  // 0x20 apart, yet no letters
}

TEST(TextTrim, BlanksAndControlCharactersGoAtBothEndsOnly) {
  EXPECT_EQ(Trim("\t \x01 a b\r\n\x1F "), "a b");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // a no-break space is text in this code page
  EXPECT_TRUE(IsBlank(" \t\r\n"));
  EXPECT_FALSE(IsBlank(" . "));
}

TEST(PathDelimiter, AddedOnlyWhenMissing) {
  const std::string folder = std::string("data") + kPathDelimiter;
  EXPECT_EQ(IncludeTrailingPathDelimiter("data"), folder);
  EXPECT_EQ(IncludeTrailingPathDelimiter(folder), folder);
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), std::string(1, kPathDelimiter));
}

TEST(MessagePatterns, EachPlaceholderTakesOneValueInTurnAndValuesAreNeverScannedAgain) {
  EXPECT_EQ(FormatTexts(L"%s klasörü: %s", {L"C:\\fb", L"5.0"}), L"C:\\fb klasörü: 5.0");
  EXPECT_EQ(FormatText(L"Sil: %s?", L"%s"), L"Sil: %s?");
  EXPECT_EQ(FormatTexts(L"yok", {L"a"}), L"yok");
  EXPECT_EQ(FormatTexts(L"%s ve %s", {L"a"}), L"a ve %s");
}

// Paths as the file system compares them: both delimiters, any letter case (Turkish letters
// too), a trailing delimiter or none; a folder's own path is not inside it.
TEST(PathText, FoldersCompareAsTheFileSystemDoes) {
  EXPECT_TRUE(SameFolder(L"C:\\Program Files\\Firebird\\", L"c:/program files/FIREBIRD"));
  EXPECT_FALSE(SameFolder(L"C:\\Veri", L"C:\\VERİ"));  // the dotted capital İ is no I
  EXPECT_TRUE(SameFolder(L"C:\\veri\\şirket\\ğüöç", L"C:\\VERI\\ŞIRKET\\ĞÜÖÇ"));
  EXPECT_TRUE(SameFolder(L"C:\\ı", L"C:\\I"));
  EXPECT_FALSE(SameFolder(L"C:\\Firebird", L"C:\\Firebird5"));
  EXPECT_TRUE(PathIsInFolder(L"C:\\FB\\bin\\fbserver.exe", L"c:\\fb\\"));
  EXPECT_FALSE(PathIsInFolder(L"C:\\FB", L"C:\\FB"));
  EXPECT_FALSE(PathIsInFolder(L"C:\\FB5\\x.exe", L"C:\\FB"));
  EXPECT_EQ(FolderOf(L"C:\\FB\\bin\\fbserver.exe"), L"C:\\FB\\bin\\");
  EXPECT_EQ(FolderOf(L"C:x.exe"), L"C:");
  EXPECT_EQ(FileNameOf(L"C:\\FB\\bin\\fbserver.exe"), L"fbserver.exe");
  EXPECT_EQ(ExcludeTrailingDelimiter(L"C:\\FB\\/"), L"C:\\FB");
  EXPECT_EQ(PathLetterUpper(L'ş'), L'Ş');
  EXPECT_EQ(PathLetterUpper(L'ğ'), L'Ğ');
  EXPECT_EQ(PathLetterUpper(L'ł'), L'Ł');  // a pair shifted by one
  EXPECT_EQ(PathLetterUpper(L'ž'), L'Ž');
  EXPECT_EQ(PathLetterUpper(L'Ş'), L'Ş');
}
