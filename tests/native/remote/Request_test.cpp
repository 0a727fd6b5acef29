#include <gtest/gtest.h>

#include "remote/CommandProtocol.h"
#include "remote/CommandServer.h"
#include "remote/Cp1254.h"
#include "remote/Socket.h"
#include "remote/ServeOptions.h"
#include "RemoteTestSupport.h"

using namespace vantrel;
using vantrel::testing::FixedMoment;

TEST(RequestMatching, OnlyAsciiLettersAreFoldedAndNothingIsTrimmed) {
  EXPECT_EQ(ClassifyRequest("GIVEALIASLIST"), TRequestKind::GiveAliasList);
  EXPECT_EQ(ClassifyRequest("giveAliasList"), TRequestKind::GiveAliasList);
  EXPECT_EQ(ClassifyRequest("time"), TRequestKind::Time);
  EXPECT_EQ(ClassifyRequest("Date"), TRequestKind::Date);
  EXPECT_EQ(ClassifyRequest("dateTime"), TRequestKind::DateTime);
  EXPECT_EQ(ClassifyRequest("qUiT"), TRequestKind::Quit);
  EXPECT_EQ(ClassifyRequest("#create_db#"), TRequestKind::CreateDb);
  EXPECT_EQ(ClassifyRequest("#Create_Db#anything after"), TRequestKind::CreateDb);

  EXPECT_EQ(ClassifyRequest("TIME "), TRequestKind::Unknown);
  EXPECT_EQ(ClassifyRequest(" DATE"), TRequestKind::Unknown);
  EXPECT_EQ(ClassifyRequest(""), TRequestKind::Unknown);
  EXPECT_EQ(ClassifyRequest("#CREATE_DB"), TRequestKind::Unknown);
  EXPECT_EQ(ClassifyRequest("QUITS"), TRequestKind::Unknown);
  EXPECT_EQ(ClassifyRequest("QU\xDDT"), TRequestKind::Unknown);  // dotted capital I of cp1254
  EXPECT_EQ(ClassifyRequest("qu\xFDt"), TRequestKind::Unknown);  // dotless i
}

TEST(CreateRequestFields, AreCutByPositionFromTheLineAsReceived) {
  struct Case {
    const char* line;
    const char* file;
    const char* alias;
    const char* pageSize;
  } cases[] = {
      {"#CREATE_DB#>#test.fdb>#>#MyAlias>#4096", "test.fdb", "MyAlias", "4096"},
      {"#create_db#  Sub/Db.FDB>#xxLower>#8192", "Sub/Db.FDB", "Lower", "8192"},
      // The two characters after the command go even when they belong to the file name.
      {"#CREATE_DB#test.fdb>#>#a>#1", "st.fdb", "a", "1"},
      // Without ">#": empty file name, three characters dropped, empty alias, one more dropped.
      {"#CREATE_DB#xxabcdef", "", "", "ef"},
      {"#CREATE_DB#", "", "", ""},
      {"#CREATE_DB#>#f>#>#a>#40>#96", "f", "a", "40>#96"},
      {"#CREATE_DB#>#f>#", "f", "", ""},
  };
  for (const Case& c : cases) {
    TCreateRequest r = ParseCreateRequest(c.line);
    EXPECT_EQ(r.fileName, c.file) << c.line;
    EXPECT_EQ(r.alias, c.alias) << c.line;
    EXPECT_EQ(r.pageSize, c.pageSize) << c.line;
  }
}

TEST(CreateRequestChecks, RefuseEveryHostileFieldAndNameIt) {
  auto refusal = [](std::string file, std::string alias, std::string pageSize) {
    return CreateRequestRefusal({std::move(file), std::move(alias), std::move(pageSize)});
  };
  for (const char* file : {"", "/etc/passwd", "\\\\srv\\share\\x.fdb", "\\x.fdb", "C:\\x.fdb",
                           "c:x.fdb", "../x.fdb", "a/../../x.fdb", "a\\..\\..\\x.fdb", "..",
                           "sub/..", "x#y.fdb", "x\ty.fdb", "x\ry.fdb", "x\x7F.fdb",
                           // each of these was written as an alias line the server refused or misread
                           "x{", "x}.fdb", "x\"y.fdb", "$(root)/x.fdb", "x.fdb ", " x.fdb", "sub/", "sub\\",
                           "a//b.fdb", "./x.fdb", "x.", "sub /x.fdb"}) {
    auto r = refusal(file, "a", "4096");
    ASSERT_TRUE(r) << file;
    EXPECT_EQ(r->rfind("#Create_db error >", 0), 0u);
    EXPECT_NE(r->find("< invalid file name..."), std::string::npos) << *r;
    EXPECT_EQ(r->find_first_of("\r\n"), std::string::npos) << "one line: " << *r;
  }
  for (const char* alias : {"", "a=b", "a#b", "a'b", "a\"b", "a\tb", "a\x01", " a", "a ", "}", "{", "a{", "a}b",
                            "include /etc/hostname", "INCLUDE\t/x", "a$(b)"}) {
    auto r = refusal("x.fdb", alias, "4096");
    ASSERT_TRUE(r) << alias;
    EXPECT_NE(r->find("< invalid alias..."), std::string::npos) << *r;
  }
  for (const char* size : {"", "4k", "-4096", " 4096", "4096 ", "0x1000", "4096;DROP"}) {
    auto r = refusal("x.fdb", "a", size);
    ASSERT_TRUE(r) << size;
    EXPECT_NE(r->find("< invalid page size..."), std::string::npos) << *r;
  }
  EXPECT_EQ(*refusal("x.fdb", "a\x01", "1"), "#Create_db error >a?< invalid alias...");
}

TEST(CreateRequestChecks, LetOrdinaryNamesThrough) {
  for (const char* file : {"x.fdb", "sub/x.fdb", "sub\\x.fdb", "a..b.fdb", "my db.fdb", "it's.fdb",
                           "\xFD\xF0\xFE.fdb", "a=b.fdb", "$x.fdb", "x(1).fdb"})
    EXPECT_FALSE(CreateRequestRefusal({file, "alias", "4096"})) << file;
  for (const char* alias : {"a", "Müşteri", "two words", "a.b-c_d", "included", "include", "$a", "a(b)"})
    EXPECT_FALSE(CreateRequestRefusal({"x.fdb", alias, "16384"})) << alias;
  EXPECT_FALSE(CreateRequestRefusal({"x.fdb", "a", "0"}));  // the server judges the number
}

TEST(DateAndTimeLines, FollowTheSeparatorsAndCarryNoTimeInTheDate) {
  std::tm t = FixedMoment();
  EXPECT_EQ(TimeLine(t, ':'), "09:05:03");
  EXPECT_EQ(TimeLine(t, '.'), "09.05.03");
  EXPECT_EQ(DateLine(t, '.'), "#DateSeparator.#06.12.2026");
  EXPECT_EQ(DateLine(t, '/'), "#DateSeparator/#06/12/2026");
  t.tm_year = 987 - 1900;
  t.tm_hour = 23;
  EXPECT_EQ(DateLine(t, '-'), "#DateSeparator-#06-12-0987");
  EXPECT_EQ(TimeLine(t, ':'), "23:05:03");
}

TEST(Cp1254Text, FixedRepliesHaveTheirTurkishBytes) {
  EXPECT_EQ(Cp1254FromUtf8("Bağlantı IP niz: "), "Ba\xF0lant\xFD IP niz: ");
  EXPECT_EQ(Cp1254FromUtf8("Güle güle!"), "G\xFCle g\xFCle!");
  EXPECT_EQ(Cp1254FromUtf8("Komut tanınmadı tekrar deneyin!"),
            "Komut tan\xFDnmad\xFD tekrar deneyin!");
  EXPECT_EQ(Cp1254FromUtf8("İŞĞışğÇçÖöÜü€"), "\xDD\xDE\xD0\xFD\xFE\xF0\xC7\xE7\xD6\xF6\xDC\xFC\x80");
  EXPECT_EQ(Cp1254FromUtf8("a中b\xC3"), "a?b?");   // no place in the code page; cut sequence
  EXPECT_EQ(Cp1254FromUtf8("\xC0\xAF"), "??");     // overlong form of "/"
  for (int b = 0; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    std::string back = Cp1254FromUtf8(Utf8FromCp1254(one));
    bool undefined = b == 0x81 || b == 0x8D || b == 0x8E || b == 0x8F || b == 0x90 || b == 0x9D ||
                     b == 0x9E;
    if (!undefined) {
      EXPECT_EQ(back, one) << b;
    }
  }
}

TEST(RequestLines, EndAtLineFeedWithOneCarriageReturnDropped) {
  net::TLineBuffer buffer;
  std::string input = "TIME\r\nDATE\n\n\r\na\rb\r\r\nhalf";
  buffer.Append(input.data(), input.size());
  std::vector<std::string> got;
  while (auto line = buffer.NextLine()) got.push_back(*line);
  EXPECT_EQ(got, (std::vector<std::string>{"TIME", "DATE", "", "", "a\rb\r"}));
  buffer.Append("-line\n", 6);
  EXPECT_EQ(buffer.NextLine().value_or("?"), "half-line");
  EXPECT_FALSE(buffer.TooLong());
}

TEST(RequestLines, HoldAtMost16384BytesBeforeTheTerminator) {
  const std::string full(net::kMaxRequestLine, 'x');
  for (const char* end : {"\n", "\r\n"}) {
    net::TLineBuffer buffer;
    std::string in = full + end;
    buffer.Append(in.data(), in.size());
    EXPECT_EQ(buffer.NextLine().value_or("").size(), net::kMaxRequestLine);
  }
  net::TLineBuffer over;
  std::string in = full + "y\n";
  over.Append(in.data(), in.size());
  EXPECT_FALSE(over.NextLine());
  EXPECT_TRUE(over.TooLong());

  // Refused before any terminator arrives, so a client cannot make the server buffer forever.
  net::TLineBuffer endless;
  std::string chunk(4096, 'z');
  for (int i = 0; i < 5 && !endless.TooLong(); ++i) {
    endless.Append(chunk.data(), chunk.size());
    EXPECT_FALSE(endless.NextLine());
  }
  EXPECT_TRUE(endless.TooLong());
}

TEST(Addresses, DottedTextOnly) {
  for (const char* good : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "192.0.2.10"})
    EXPECT_EQ(net::FormatIPv4(net::ParseIPv4(good).value_or(1)), good);
  for (const char* bad : {"", "256.1.1.1", "1.2.3", "1.2.3.4.5", "1234.1.1.1", "a.b.c.d",
                          "1.2.3.4 ", " 1.2.3.4", "1..2.3", "-1.2.3.4", "localhost"})
    EXPECT_FALSE(net::ParseIPv4(bad)) << bad;
}

TEST(AddressList, PutsLoopbackFirstWhenMissingAndTicksItAndTheSecondEntry) {
  auto entries = AddressListEntries({"192.0.2.2", "198.51.100.4"});
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].address, "127.0.0.1");
  EXPECT_EQ(TickedAddresses(entries), (std::vector<std::string>{"127.0.0.1", "192.0.2.2"}));

  // Present already: stays where it is, and is also the second entry here.
  entries = AddressListEntries({"192.0.2.2", "127.0.0.1", "198.51.100.4"});
  EXPECT_EQ(entries[0].address, "192.0.2.2");
  EXPECT_EQ(TickedAddresses(entries), (std::vector<std::string>{"127.0.0.1"}));
  entries = AddressListEntries({"127.0.0.1", "192.0.2.2", "198.51.100.4"});
  EXPECT_EQ(TickedAddresses(entries), (std::vector<std::string>{"127.0.0.1", "192.0.2.2"}));

  EXPECT_EQ(TickedAddresses(AddressListEntries({"127.0.0.1"})),
            (std::vector<std::string>{"127.0.0.1"}));
  EXPECT_EQ(TickedAddresses(AddressListEntries({})), (std::vector<std::string>{"127.0.0.1"}));
  EXPECT_EQ(BoundLogLine({"127.0.0.1", 3049}), "Sunucu bağlandı 127.0.0.1 :3049");
}

TEST(ServeCommandLine, TakesRootAliasFilePortAndBindings) {
  auto o = ParseServeOptions({"--root", "/srv/fb", "--port=4000", "--bind", "127.0.0.1",
                              "--bind=192.0.2.2", "--alias-file", "/etc/a.conf"});
  EXPECT_EQ(o.root, "/srv/fb");
  EXPECT_EQ(o.aliasFile, "/etc/a.conf");
  EXPECT_EQ(o.port.value_or(-1), 4000);
  EXPECT_EQ(o.addresses, (std::vector<std::string>{"127.0.0.1", "192.0.2.2"}));
  EXPECT_FALSE(ParseServeOptions({"--root", "r"}).port);
  EXPECT_TRUE(ParseServeOptions({"--help"}).help);

  for (std::vector<std::string> bad :
       {std::vector<std::string>{}, {"--port", "1"}, {"--root"}, {"--root", "r", "--port", "70000"},
        {"--root", "r", "--port", "-1"}, {"--root", "r", "--port", "12a"},
        {"--root", "r", "--bind", "example.org"}, {"--root", "r", "--verbose"}})
    EXPECT_THROW(ParseServeOptions(bad), EUsageError);
}

TEST(ServeCommandLine, CreatesOnTheLocalDefaultServerUnlessToldOtherwise) {
  EXPECT_EQ(ParseServeOptions({"--root", "r"}).serverPrefix, "127.0.0.1:");
  EXPECT_EQ(ParseServeOptions({"--root", "r", "--server", "127.0.0.1/3051"}).serverPrefix, "127.0.0.1/3051:");
  EXPECT_EQ(ParseServeOptions({"--root", "r", "--server=db-2.example.org/3055"}).serverPrefix,
            "db-2.example.org/3055:");
}

// --server's value ends up inside CREATE DATABASE's quoted path, which the server splits at the
// first ':' and '/': only a host and a port may get there.
class ServeServerAccepted : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(ServeServerAccepted, GivesTheDatabasePathPrefix) {
  const auto& [value, prefix] = GetParam();
  EXPECT_EQ(ServerPrefixOf(value), prefix);
}

INSTANTIATE_TEST_SUITE_P(Values, ServeServerAccepted, ::testing::Values(
    std::pair{"127.0.0.1", "127.0.0.1:"},
    std::pair{"127.0.0.1/3050", "127.0.0.1:"},  // the default port needs no number
    std::pair{"127.0.0.1/3051", "127.0.0.1/3051:"},
    std::pair{"10.1.2.3/1", "10.1.2.3/1:"},
    std::pair{"localhost/65535", "localhost/65535:"},
    std::pair{"Fb5-Host.example.org", "Fb5-Host.example.org:"},
    std::pair{"127.0.0.1/03051", "127.0.0.1/3051:"},
    std::pair{std::string(63, 'a') + ".b", std::string(63, 'a') + ".b:"}));

class ServeServerRefused : public ::testing::TestWithParam<std::string> {};

TEST_P(ServeServerRefused, BeforeAnythingStarts) {
  EXPECT_THROW(ParseServeOptions({"--root", "r", "--server", GetParam()}), EUsageError);
  EXPECT_THROW(ServerPrefixOf(GetParam()), EUsageError);
}

INSTANTIATE_TEST_SUITE_P(Values, ServeServerRefused, ::testing::Values(
    "", "/3051", "127.0.0.1/", "127.0.0.1/0", "127.0.0.1/65536", "127.0.0.1/-1", "127.0.0.1/30 51",
    "127.0.0.1/3051/3052", "127.0.0.1:3051", "127.0.0.1:", "999.0.0.1", "127.0.1", "[::1]/3051",
    "host name", "-host", "host-", "a..b", ".host", "host.", "ho_st", std::string(64, 'a'),
    std::string(254, 'a'), "h'ost", "h\"ost", "\\\\host\\", "host\n", std::string("ho\0st", 5),
    "host/3051'", "x' user 'a", "h\xC4\xB1st"));

TEST(ServeEnvironment, CredentialsAndSeparators) {
  EXPECT_EQ(ServeCredentials(nullptr, nullptr).user, "SYSDBA");
  EXPECT_EQ(ServeCredentials(nullptr, nullptr).password, "velmoraxe");
  EXPECT_EQ(ServeCredentials("", "").password, "velmoraxe");
  auto c = ServeCredentials("admin", "s3cret");
  EXPECT_EQ(c.user + "/" + c.password, "admin/s3cret");

  EXPECT_EQ(SeparatorOfFormat("%d.%m.%Y", '/'), '.');
  EXPECT_EQ(SeparatorOfFormat("%m/%d/%y", '.'), '/');
  EXPECT_EQ(SeparatorOfFormat("%-d-%-m-%Y", '/'), '-');
  EXPECT_EQ(SeparatorOfFormat("%H:%M:%S", '.'), ':');
  EXPECT_EQ(SeparatorOfFormat("%T", ':'), ':');
  EXPECT_EQ(SeparatorOfFormat("%Ex", '/'), '/');
  EXPECT_EQ(SeparatorOfFormat("", '/'), '/');
}
