#include "server/FB_Consts.h"

#include <gtest/gtest.h>

using namespace vantrel;

TEST(KindNames, EachKindHasItsSixNamesAndNoneHasNone) {
  SetServerKind(skFirebird);
  EXPECT_EQ(KindName(ServerExe), "fbserver.exe");
  EXPECT_EQ(KindName(GuardianServiceName), "FirebirdGuardianDefaultInstance");
  SetServerKind(skInterBase);
  EXPECT_EQ(KindName(GuardianWindowClass), "IB_Guard");
  EXPECT_EQ(KindName(ServerServiceName), "InterBaseServer");
  SetServerKind(skNone);
  for (int role = 0; role < 6; ++role) EXPECT_EQ(KindName(role), "") << role;
  EXPECT_EQ(KindName(6), "");
}
