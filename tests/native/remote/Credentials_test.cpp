#include <gtest/gtest.h>

#include "remote/Credentials.h"

using namespace vantrel;

TEST(Credentials, TheEnvironmentThenTheStoredLoginThenTheFixedOneEachOnItsOwn) {
  const TCredentials fixed = ServeCredentials(nullptr, nullptr);
  const TCredentials stored{"ADMIN", "chosen at install"};
  EXPECT_EQ(ChooseCredentials("ENVUSER", "envpw", stored).user, "ENVUSER");
  EXPECT_EQ(ChooseCredentials("ENVUSER", "envpw", stored).password, "envpw");
  EXPECT_EQ(ChooseCredentials("", nullptr, stored).user, "ADMIN");
  EXPECT_EQ(ChooseCredentials("", nullptr, stored).password, "chosen at install");
  const TCredentials mixed = ChooseCredentials(nullptr, "envpw", TCredentials{"ADMIN", ""});
  EXPECT_EQ(mixed.user, "ADMIN");
  EXPECT_EQ(mixed.password, "envpw");
  const TCredentials none = ChooseCredentials(nullptr, nullptr, TCredentials{});
  EXPECT_EQ(none.user, fixed.user);
  EXPECT_EQ(none.password, fixed.password);
}
