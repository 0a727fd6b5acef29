#pragma once
// Conversions between the window's Unicode text and the byte text kept in files (ANSI code page).
#include <string>

namespace vantrel {

std::wstring FromAnsi(const std::string& bytes);  // system ANSI code page
std::string ToAnsi(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
std::string ToUtf8(const std::wstring& text);
// Blanks and control characters at both ends dropped.
std::wstring TrimBlanks(const std::wstring& text);

}  // namespace vantrel
