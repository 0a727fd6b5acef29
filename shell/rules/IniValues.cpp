#include "shell/rules/IniValues.h"

#include "shell/rules/TextRules.h"

namespace vantrel {

int ReadIniInteger(std::string_view text, int defaultValue) {
  return ParseInt32(text, /*allowBareX=*/false).value_or(defaultValue);
}

bool ReadIniBool(std::string_view text, bool defaultValue) {
  return ReadIniInteger(text, defaultValue ? 1 : 0) != 0;
}

}  // namespace vantrel
