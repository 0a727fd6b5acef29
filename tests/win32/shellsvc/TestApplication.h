#pragma once
// The application object for tests of the shell services: a hidden window titled "Vantrel"
// and a record of the cursor calls.
#include <windows.h>

namespace vantrel::test {

enum class CursorShown { Default, Hourglass, AppStart };

struct CursorLog {
  int hourglassCalls = 0;
  int defaultCalls = 0;
  CursorShown current = CursorShown::Default;
};

CursorLog& Cursor();
void ResetCursor();

}  // namespace vantrel::test
