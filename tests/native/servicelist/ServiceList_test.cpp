// Portable parts of service control and tracing: the dependents list, the start-type mapping
// and the debug viewer's record.
#include <gtest/gtest.h>

#include <string>

#include "server/uService.h"
#include "shell/DbugIntf.h"

namespace vantrel {
namespace {

TEST(ServiceListTest, DisplayNamesJoinsInListOrder) {
  TServiceList list;
  EXPECT_EQ(L"", list.DisplayNames());
  list.AddService(L"svcB", L"Beta Service");
  EXPECT_EQ(L"Beta Service", list.DisplayNames());
  list.AddService(L"svcA", L"Alpha Service");
  EXPECT_EQ(L"Beta Service, Alpha Service", list.DisplayNames());
  list.AddService(L"svcC", L"");
  list.AddService(L"svcD", L"Delta");
  EXPECT_EQ(L"Beta Service, Alpha Service, , Delta", list.DisplayNames())
      << "an empty display name keeps its place";
  list.Clear();
  EXPECT_EQ(0u, list.Count());
  EXPECT_EQ(L"", list.DisplayNames());
}

TEST(ServiceListTest, AddedEntryStaysValidAsTheListGrows) {
  TServiceList list;
  TServiceListItem& first = list.AddService(L"first", L"First");
  for (int i = 0; i < 500; ++i) list.AddService(L"svc" + std::to_wstring(i), L"Service");
  EXPECT_EQ(&first, &list[0]);
  EXPECT_EQ(L"first", first.ServiceName);
  EXPECT_EQ(L"First", first.DisplayName);
  EXPECT_EQ(501u, list.Count());
  EXPECT_EQ(L"svc499", list[500].ServiceName);
}

TEST(StartTypeTest, WindowsStartTypesToFlags) {
  struct Case {
    std::uint32_t startType;
    bool enabled, automatic;
  } cases[] = {{2, true, true}, {3, true, false}, {4, false, false}};
  for (const Case& c : cases) {
    for (bool initial : {false, true}) {
      bool enabled = initial, automatic = initial;
      StartTypeToFlags(c.startType, enabled, automatic);
      EXPECT_EQ(c.enabled, enabled) << c.startType;
      EXPECT_EQ(c.automatic, automatic) << c.startType;
    }
  }
}

TEST(StartTypeTest, BootAndSystemStartLeaveTheFlagsAsTheyWere) {
  for (std::uint32_t startType : {0u, 1u}) {
    bool enabled = false, automatic = false;
    StartTypeToFlags(startType, enabled, automatic);
    EXPECT_FALSE(enabled || automatic);
    enabled = automatic = true;
    StartTypeToFlags(startType, enabled, automatic);
    EXPECT_TRUE(enabled && automatic);
  }
}

TEST(StartTypeTest, FlagsToWindowsStartTypes) {
  EXPECT_EQ(2u, FlagsToStartType(true, true));
  EXPECT_EQ(3u, FlagsToStartType(true, false));
  EXPECT_EQ(4u, FlagsToStartType(false, true)) << "not enabled wins over automatic";
  EXPECT_EQ(4u, FlagsToStartType(false, false));
}

TEST(DebugPayloadTest, CommandKindTextAndTerminator) {
  std::string text = "Sunucu \xc7" "al\xfd\xfe" "\xfdyor";  // code page 1254 bytes pass unchanged
  std::string payload = DebugPayload(text, 2);
  ASSERT_EQ(text.size() + 3, payload.size());
  EXPECT_EQ('\x01', payload[0]);
  EXPECT_EQ('\x03', payload[1]);
  EXPECT_EQ(text, payload.substr(2, text.size()));
  EXPECT_EQ('\0', payload.back());
  EXPECT_EQ(std::string("\x01\x01\0", 3), DebugPayload("", 0));
}

TEST(DebugPayloadTest, OnlyTheLoneSeparatorCharacterSelectsTheSeparatorCommand) {
  EXPECT_EQ(std::string("\x03\x03\x03\0", 4), DebugPayload("\x03", 2));
  EXPECT_EQ('\x01', DebugPayload("\x03\x03", 2)[0]);
  EXPECT_EQ('\x01', DebugPayload("a\x03", 2)[0]);
}

}  // namespace
}  // namespace vantrel
