#include "shell/OsError.h"

#include <windows.h>
#include <gtest/gtest.h>

using namespace vantrel;

TEST(OsError, StandardMessageCarriesCodeAndSystemText) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  try {
    RaiseLastOSError();
    FAIL();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.Code(), 2u);
    EXPECT_FALSE(e.Text().empty());
    EXPECT_EQ(e.StandardMessage().rfind(L"System Error.  Code: 2.\r\n", 0), 0u);
  }
  EXPECT_EQ(EOSError(0, L"").StandardMessage(), L"A call to an OS function failed");
}
