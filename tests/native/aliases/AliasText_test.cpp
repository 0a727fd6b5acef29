// How the file's bytes become lines and lines become bytes, and that nothing else is touched.
#include <random>

#include "AliasTestSupport.h"

using namespace vantrel;
using namespace vantrel::testing;

// The server reads a line up to LF; a lone CR, a NUL and a byte order mark are bytes of the
// file like any other, kept where they are. Clients of the list have always had the file cut at
// every CR and LF and ending at a NUL: they still get it so.
TEST(AliasText, LinesEndAtLfOnlyTheBytesComeBackUnchangedAndClientsKeepTheirReading) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
    std::vector<std::string> sent;
  };
  const std::vector<Case> cases = {
      {"", {}, {}},
      {"a", {"a"}, {"a"}},
      {"a\r\n", {"a"}, {"a"}},
      {"a\r\nb", {"a", "b"}, {"a", "b"}},
      {"a\rb\rc\r", {"a\rb\rc\r"}, {"a", "b", "c"}},
      {"a\nb\n", {"a", "b"}, {"a", "b"}},
      {"a\n\rb", {"a", "\rb"}, {"a", "", "b"}},
      {"a\r\r\nb", {"a\r", "b"}, {"a", "", "b"}},
      {"\r\n", {""}, {""}},
      {"\r\n\r\n", {"", ""}, {"", ""}},
      {"\n\n\n", {"", "", ""}, {"", "", ""}},
      {"a\r\n\r\n", {"a", ""}, {"a", ""}},
      {std::string("a\r\nb\0c\r\nd", 9), {"a", std::string("b\0c", 3), "d"}, {"a", "b"}},
      {std::string("\0a", 2), {std::string("\0a", 2)}, {}},
      {"\xEF\xBB\xBFx=y\r\n", {"x=y"}, {"\xEF\xBB\xBFx=y"}},
      {"tab\there\x1A\x7F\xFF", {"tab\there\x1A\x7F\xFF"}, {"tab\there\x1A\x7F\xFF"}},
      {"mixed\nends\r\nkept", {"mixed", "ends", "kept"}, {"mixed", "ends", "kept"}},
  };
  for (const Case& c : cases) {
    TAliasList list;
    list.SetText(c.bytes);
    EXPECT_EQ(list.Lines(), c.lines) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(SplitAliasText(c.bytes), c.lines) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(list.Text(), c.bytes) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(list.SendableLines(), c.sent) << ::testing::PrintToString(c.bytes);
  }
}

// Only the lines a change touches are new: a line added after a last line without an end leaves
// the file still ending without one; an added line takes the end of the file's first line.
TEST(AliasText, AddedAndRemovedLinesLeaveEveryOtherByteAsItWas) {
  TAliasList list;
  list.SetText("\xEF\xBB\xBF# lf first\nwin=C:\\w.fdb\r\nlast=/l.fdb");
  list.AddLine("new=/n.fdb");
  EXPECT_EQ(list.Text(), "\xEF\xBB\xBF# lf first\nwin=C:\\w.fdb\r\nlast=/l.fdb\nnew=/n.fdb");
  list.DeleteLine(1);
  EXPECT_EQ(list.Text(), "\xEF\xBB\xBF# lf first\nlast=/l.fdb\nnew=/n.fdb");
  list.SetValueOf("LAST", "/moved.fdb");
  EXPECT_EQ(list.Text(), "\xEF\xBB\xBF# lf first\nLAST=/moved.fdb\nnew=/n.fdb");

  // A last line ending in a lone CR keeps it: the break it gets is a whole CR LF of its own.
  TAliasList crEnded;
  crEnded.SetText("a=/a.fdb\nb=/b.fdb\r");
  crEnded.AddLine("c=/c.fdb");
  EXPECT_EQ(crEnded.Text(), "a=/a.fdb\nb=/b.fdb\r\r\nc=/c.fdb");
  EXPECT_EQ(SplitAliasText(crEnded.Text()), crEnded.Lines());
}

TEST(AliasText, EveryLineEndsWithCrLf) {
  EXPECT_EQ(JoinAliasLines({}), "");
  EXPECT_EQ(JoinAliasLines({""}), "\r\n");
  EXPECT_EQ(JoinAliasLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

namespace {

// Lines of arbitrary bytes, except the three that end a line or the text.
std::vector<std::string> RandomLines(std::mt19937& random, std::size_t count) {
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<int> byte(1, 255);
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    std::string line;
    for (int n = length(random); n > 0; --n) {
      char c = static_cast<char>(byte(random));
      if (c == '\r' || c == '\n') c = '=';
      line += c;
    }
    lines.push_back(line);
  }
  return lines;
}

bool CarriesAMarker(const std::string& line) {
  const std::string upper = AsciiUpper(line);
  return upper.find("# DEFAULT_PATH") != std::string::npos || upper.find("# ZEEBEEDEE") != std::string::npos ||
         upper.find("# SOCKET_PORT") != std::string::npos;
}

}  // namespace

TEST(AliasText, ArbitraryLinesSurviveJoiningAndSplitting) {
  std::mt19937 random(20240531);
  for (int round = 0; round < 200; ++round) {
    const std::vector<std::string> lines = RandomLines(random, round % 30);
    EXPECT_EQ(SplitAliasText(JoinAliasLines(lines)), lines);
  }
}

class AliasRoundTrip : public AliasFolderTest {};

TEST_F(AliasRoundTrip, LinesNotCarryingSettingsSurviveLoadAndSaveByteForByte) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    std::vector<std::string> lines = RandomLines(random, 50);
    std::erase_if(lines, CarriesAMarker);
    const std::string settings = "# DEFAULT_PATH=" + IncludeTrailingPathDelimiter(Folder()) +
                                 "\r\n# ZeeBeeDee=False\r\n# ZeeBeeDee_Port=3051\r\n# Socket_Port=3049\r\n";
    // Settings lines in the middle, everything else around them.
    const std::string bytes = JoinAliasLines({lines.begin(), lines.begin() + 25}) + settings +
                              JoinAliasLines({lines.begin() + 25, lines.end()});
    WriteBytes(file_, bytes);
    list_.Load(file_);
    list_.Save(file_);
    EXPECT_EQ(saves_, 0);
    EXPECT_EQ(OnDisk(), bytes) << "round " << round;
  }
}

TEST_F(AliasRoundTrip, WithoutSettingsLinesOnlyTheFourNewLinesAreAdded) {
  std::mt19937 random(11);
  std::vector<std::string> lines = RandomLines(random, 300);
  std::erase_if(lines, CarriesAMarker);
  const std::string bytes = JoinAliasLines(lines);
  WriteBytes(file_, bytes);
  list_.Load(file_);
  const std::string written = OnDisk();
  const std::size_t fourLines = written.size() - bytes.size();
  EXPECT_EQ(written.substr(fourLines), bytes);
  EXPECT_EQ(SplitAliasText(written.substr(0, fourLines)).size(), 4u);
}
