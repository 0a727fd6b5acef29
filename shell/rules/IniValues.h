#pragma once
// How values read from the per-user initialization file become numbers and switches.
#include <string_view>

namespace vantrel {

// Decimal, or hexadecimal behind "0x" or "$", with an optional sign; anything else (an empty
// value included) gives defaultValue.
int ReadIniInteger(std::string_view text, int defaultValue);

// Read as an integer: true when it is not 0; defaultValue when the text is no integer.
bool ReadIniBool(std::string_view text, bool defaultValue);

}  // namespace vantrel
