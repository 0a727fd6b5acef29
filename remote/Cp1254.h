#pragma once
// Code page 1254 (Turkish Windows), the byte encoding of the command protocol's fixed texts.
#include <string>
#include <string_view>

namespace vantrel {

// Characters without a place in code page 1254 become '?'; broken UTF-8 bytes as well.
std::string Cp1254FromUtf8(std::string_view utf8);
std::string Utf8FromCp1254(std::string_view bytes);

}  // namespace vantrel
