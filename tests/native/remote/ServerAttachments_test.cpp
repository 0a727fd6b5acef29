// Reading who is connected from the service manager's answer.
#include <gtest/gtest.h>

#include "remote/ServerAttachments.h"

using namespace vantrel;

namespace {

std::string Count(unsigned char item, std::uint32_t n) {
  return std::string{static_cast<char>(item), static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                     static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)};
}

std::string Name(const std::string& path) {
  return std::string{'\x6A', static_cast<char>(path.size() & 0xFF), static_cast<char>(path.size() >> 8)} + path;
}

const std::string kEnd = "\x7F\x01";

}  // namespace

TEST(ServerDbInfo, CountsAndPathsAreReadAndAnythingElseIsARefusedAnswer) {
  std::string reason;
  const std::string longPath(300, 'x');
  const auto two = ParseServerDbInfo("\x32" + Count(5, 3) + Count(6, 2) + Name("/db/a.fdb") + Name(longPath) + kEnd,
                                     reason);
  ASSERT_TRUE(two) << reason;
  EXPECT_EQ(*two, (TServerAttachments{3, 2, {"/db/a.fdb", longPath}}));

  const auto none = ParseServerDbInfo("\x32" + Count(5, 0) + Count(6, 0) + kEnd, reason);
  ASSERT_TRUE(none) << reason;
  EXPECT_EQ(*none, TServerAttachments{});

  const std::string whole = "\x32" + Count(5, 1) + Count(6, 1) + Name("/db/a.fdb") + kEnd;
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    EXPECT_FALSE(ParseServerDbInfo(whole.substr(0, cut), reason)) << cut;
    EXPECT_FALSE(reason.empty());
  }
  struct Case {
    std::string answer;
    const char* reason;
  };
  for (const Case& c : {Case{"\x32" + Count(5, 1) + "\x09" + kEnd, "yanıtta bilinmeyen öğe 9"},
                        Case{"\x32" + Count(5, 1) + "\x02", "sunucunun yanıtı eksik"},
                        Case{"\x32" + Count(5, 1) + Count(6, 2) + Name("/db/a.fdb") + kEnd,
                             "sunucu 2 veri tabanı sayıyor, 1 tanesinin adını veriyor"},
                        Case{"\x32" + Count(6, 0) + kEnd, "yanıtta sayılar yok"},
                        Case{std::string("\x01", 1), "sunucunun yanıtında veri tabanı bilgisi yok"}}) {
    EXPECT_FALSE(ParseServerDbInfo(c.answer, reason));
    EXPECT_EQ(reason, c.reason);
  }
}

TEST(ServerDbInfo, TheServiceManagerIsReachedTheWayItsDatabasesAre) {
  EXPECT_EQ(ServiceManagerName("127.0.0.1/3051:"), "127.0.0.1/3051:service_mgr");
  EXPECT_EQ(ServiceManagerName("\\\\127.0.0.1\\"), "\\\\127.0.0.1\\service_mgr");
  TClientApi none;
  EXPECT_EQ(ReadServerAttachments(none, "127.0.0.1:service_mgr", "SYSDBA", "x").reason,
            "istemci kitaplığında servis çağrıları yok");
}

TEST(AttachmentsSchedule, ReadsAtOnceThenEveryPeriodOfTheWindowsStateAndNeverTwiceAtATime) {
  TAttachmentsSchedule schedule;
  EXPECT_TRUE(schedule.Due(1000, true));
  schedule.Began(1000);
  EXPECT_FALSE(schedule.Due(900000, true));  // the reading is still out, however long it takes
  schedule.Ended();
  EXPECT_FALSE(schedule.Due(1000 + TAttachmentsSchedule::kShownPeriodMs - 1, true));
  EXPECT_TRUE(schedule.Due(1000 + TAttachmentsSchedule::kShownPeriodMs, true));
  EXPECT_FALSE(schedule.Due(1000 + TAttachmentsSchedule::kHiddenPeriodMs - 1, false));
  EXPECT_TRUE(schedule.Due(1000 + TAttachmentsSchedule::kHiddenPeriodMs, false));
  schedule.Reset();
  EXPECT_TRUE(schedule.Due(1001, false));

  // The tick count wraps after 49 days; the period still counts from the last reading.
  schedule.Began(0xFFFFF000u);
  schedule.Ended();
  EXPECT_FALSE(schedule.Due(0x00000100u, true));
  EXPECT_TRUE(schedule.Due(0xFFFFF000u + TAttachmentsSchedule::kShownPeriodMs, true));
}

TEST(AttachmentsTexts, TheLineTheTooltipAndTheQuestionBeforeAStop) {
  const TServerAttachments numbers{3, 2, {"/db/a.fdb", "/db/b.fdb"}};
  EXPECT_EQ(AttachmentsValueText(numbers), L"3 bağlantı, 2 veri tabanı");
  EXPECT_EQ(AttachmentsDetailText(numbers, {L"/db/a.fdb", L"/db/b.fdb"}, L""), L"/db/a.fdb\r\n/db/b.fdb");
  EXPECT_EQ(AttachmentsDetailText(TServerAttachments{}, {}, L""), L"Açık veri tabanı yok");
  EXPECT_EQ(AttachmentsValueText(std::nullopt), L"bilinmiyor");
  EXPECT_EQ(AttachmentsDetailText(std::nullopt, {}, L"Your user name and password are not defined"),
            L"Your user name and password are not defined");

  const std::wstring question = L"Sunucuda 3 açık bağlantı var. Sunucu durdurulursa bu bağlantılar kesilecek.\n\n"
                                L"Yine de durdurulsun mu?";
  EXPECT_EQ(StopWithAttachmentsQuestion(3, {}), question);
  EXPECT_EQ(StopWithAttachmentsQuestion(3, {L"A", L"B"}), question + L"\n\nA\nB");
  std::vector<std::wstring> twelve;
  std::wstring listed;
  for (int i = 0; i < 12; ++i) {
    twelve.push_back(L"D" + std::to_wstring(i));
    if (i < 10) listed += L"\nD" + std::to_wstring(i);
  }
  EXPECT_EQ(StopWithAttachmentsQuestion(12, twelve),
            L"Sunucuda 12 açık bağlantı var. Sunucu durdurulursa bu bağlantılar kesilecek.\n\n"
            L"Yine de durdurulsun mu?\n" + listed + L"\n... ve 2 veri tabanı daha");
}
