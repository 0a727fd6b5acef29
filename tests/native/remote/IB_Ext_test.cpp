#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "remote/IB_Ext.h"

using namespace vantrel;

namespace {

// A scripted client library: what each call returns and what it saw.
struct TScript {
  ISC_STATUS executeResult = 0;
  ISC_STATUS detachResult = 0;
  std::int32_t sqlcode = 0;
  std::string message;
  std::string statement;
  unsigned short length = 99;
  unsigned short dialect = 0;
  bool detached = false;
  bool databaseHandleWasNull = false;
  IscHandleStorage handleSeenByDetach = 0;
  short interpreteLength = 0;
} script;

ISC_STATUS FakeExecute(ISC_STATUS* status, void* db, void* tr, unsigned short length,
                       const char* statement, unsigned short dialect, const void*) {
  script.statement = statement;
  script.length = length;
  script.dialect = dialect;
  script.databaseHandleWasNull = *static_cast<IscHandleStorage*>(db) == 0 &&
                                 *static_cast<IscHandleStorage*>(tr) == 0;
  status[0] = 1;
  status[1] = script.executeResult;
  if (script.executeResult == 0) *static_cast<std::uint32_t*>(db) = 0x1234;  // a 32-bit handle
  return script.executeResult;
}

ISC_STATUS FakeDetach(ISC_STATUS* status, void* db) {
  script.detached = true;
  script.handleSeenByDetach = *static_cast<IscHandleStorage*>(db);
  status[1] = script.detachResult;
  return script.detachResult;
}

std::int32_t FakeSqlCode(const ISC_STATUS*) { return script.sqlcode; }

void FakeInterprete(short, char* buffer, short length) {
  script.interpreteLength = length;
  // Fills the whole buffer when the message is longer, with no terminating zero.
  std::size_t n = std::min<std::size_t>(script.message.size(), static_cast<std::size_t>(length));
  std::memcpy(buffer, script.message.data(), n);
  if (n < static_cast<std::size_t>(length)) buffer[n] = '\0';
}

TClientApi FakeApi() {
  script = TScript{};
  return {FakeExecute, FakeDetach, FakeSqlCode, FakeInterprete};
}

std::string ErrorOf(const TClientApi& api, const std::string& clause = "") {
  try {
    CreateDatabaseWith(api, "127.0.0.1:/db/x.fdb", "SYSDBA", "pw", 3, clause);
  } catch (const EDatabaseError& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace

TEST(CreateDatabaseStatement, QuotesTheValuesAndAppendsTheClause) {
  EXPECT_EQ(CreateDatabaseStatement("127.0.0.1:/d/a.fdb", "SYSDBA", "velmoraxe",
                                    "PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1254"),
            "CREATE DATABASE '127.0.0.1:/d/a.fdb' USER 'SYSDBA' PASSWORD 'velmoraxe' "
            "PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1254");
  EXPECT_EQ(CreateDatabaseStatement("p", "u", "w", ""), "CREATE DATABASE 'p' USER 'u' PASSWORD 'w' ");
  // A quote inside a value can no longer end the literal early.
  EXPECT_EQ(CreateDatabaseStatement("/d/it's.fdb", "o'neil", "a'' b", "X"),
            "CREATE DATABASE '/d/it''s.fdb' USER 'o''neil' PASSWORD 'a'''' b' X");
}

TEST(CreateDatabase, CallsExecuteThenDetachWithTheSameHandle) {
  TClientApi api = FakeApi();
  CreateDatabaseWith(api, "p", "u", "w", 3, "PAGE_SIZE 8192");
  EXPECT_EQ(script.statement, "CREATE DATABASE 'p' USER 'u' PASSWORD 'w' PAGE_SIZE 8192");
  EXPECT_EQ(script.length, 0);  // zero-terminated text
  EXPECT_EQ(script.dialect, 3);
  EXPECT_TRUE(script.databaseHandleWasNull);
  EXPECT_TRUE(script.detached);
  EXPECT_EQ(script.handleSeenByDetach, 0x1234u);
}

TEST(CreateDatabase, FailureTextsCarryNumberCodeAndMessageWithLfThenCr) {
  TClientApi api = FakeApi();
  script.executeResult = 335544344;
  script.sqlcode = -902;
  script.message = "I/O error during open";
  EXPECT_EQ(ErrorOf(api), "Error creating database!  ISC# 335544344\n\rSQL Code: -902, Message: "
                          "I/O error during open");
  EXPECT_FALSE(script.detached);

  api = FakeApi();
  script.detachResult = 335544721;
  script.sqlcode = 0;
  script.message = "";
  EXPECT_EQ(ErrorOf(api), "Error detaching database!  ISC# 335544721\n\rSQL Code: 0, Message: ");
}

TEST(CreateDatabase, LongMessagesAreCutToTheBuffer) {
  TClientApi api = FakeApi();
  script.executeResult = 1;
  script.message = std::string(800, 'm');
  std::string text = ErrorOf(api);
  EXPECT_EQ(script.interpreteLength, 500);
  auto at = text.find("Message: ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(text.substr(at + 9), std::string(500, 'm'));
}

TEST(ClientLibrary, MissingOrIncompleteLibrariesAreReportedByName) {
  try {
    LoadClientLibrary({"libvantrel-no-such-client.so.9"});
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    std::string text = e.what();
    EXPECT_EQ(text.rfind("Error creating database!  Client library not available: ", 0), 0u);
    EXPECT_NE(text.find("libvantrel-no-such-client.so.9"), std::string::npos) << text;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
  }
#ifndef _WIN32
  // A library that loads but is not a client library.
  try {
    LoadClientLibrary({"libvantrel-no-such-client.so.9", "libm.so.6"});
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("libm.so.6 lacks isc_dsql_execute_immediate"),
              std::string::npos)
        << e.what();
  }
#endif
}

// A new installation's library list replaces the old one at the next use; every path is named.
TEST(ClientLibrary, ANewListIsTriedAtTheNextUseAndTheReplyNamesEveryPathTried) {
  TClientLibrary library({"/no/such/old/libfbclient.so", "/no/such/old/libgds.so"});
  auto failure = [&] {
    try {
      library.Api();
    } catch (const EDatabaseError& e) {
      return std::string(e.what());
    }
    return std::string("(loaded)");
  };
  const std::string old = failure();
  EXPECT_NE(old.find("/no/such/old/libfbclient.so"), std::string::npos) << old;
  EXPECT_NE(old.find("/no/such/old/libgds.so"), std::string::npos) << old;
  library.SetCandidates({"/no/such/new/libfbclient.so"});
  const std::string now = failure();
  EXPECT_NE(now.find("/no/such/new/libfbclient.so"), std::string::npos) << now;
  EXPECT_EQ(now.find("/old/"), std::string::npos) << now;
}
