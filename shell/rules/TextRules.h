#pragma once
// Small byte-text rules shared by the alias file, the tool entries and the configuration file.
// Text is single-byte (the ANSI code page, Turkish code page 1254 at home) and is never re-encoded.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

#ifdef _WIN32
inline constexpr char kPathDelimiter = '\\';
#else
inline constexpr char kPathDelimiter = '/';
#endif

inline std::string IncludeTrailingPathDelimiter(std::string path) {
  if (path.empty() || path.back() != kPathDelimiter) path += kPathDelimiter;
  return path;
}

// Blanks and control characters (bytes up to 0x20) at both ends are dropped.
inline std::string_view TrimView(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 0x20) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 0x20) --last;
  return text.substr(first, last - first);
}
inline std::string Trim(std::string_view text) { return std::string(TrimView(text)); }
inline bool IsBlank(std::string_view text) { return TrimView(text).empty(); }

inline std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

// Upper case of one code page 1254 byte, the same for every user locale. The code page puts each
// of its lower-case letters 0x20 above its capital, the Turkish pairs included (0xF0/0xD0 g-breve,
// 0xFE/0xDE s-cedilla, 0xFD dotless i / 0xDD capital dotted I), so those two i's pair with each
// other while ASCII i and I stay a pair: names written in ASCII match whatever the locale.
constexpr unsigned char UpperCp1254(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A: return 0x8A;  // s-caron
    case 0x9C: return 0x8C;  // oe
    case 0xFF: return 0x9F;  // y-diaeresis
    default: return c;
  }
}

inline bool SameTextCp1254(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperCp1254(static_cast<unsigned char>(a[i])) != UpperCp1254(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The whole text as an optional sign followed by decimal digits, or by hexadecimal digits behind
// "$" or "0x" (and a bare "x" when allowBareX). A value outside the 32-bit signed range is no
// integer, so it takes the caller's default instead of wrapping round to some other number.
inline std::optional<std::int32_t> ParseInt32(std::string_view text, bool allowBareX) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  } else if (allowBareX && i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;  // magnitude of INT32_MIN
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > kLimit) return std::nullopt;
  }
  if (!negative && magnitude == kLimit) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

// Fills each "%s" of the pattern in turn; a "%s" inside a value stays as it is, and patterns
// with fewer "%s" than values drop the rest.
inline std::wstring FormatTexts(const std::wstring& pattern, std::initializer_list<std::wstring> values) {
  std::wstring result;
  std::size_t from = 0;
  for (const std::wstring& value : values) {
    const std::size_t at = pattern.find(L"%s", from);
    if (at == std::wstring::npos) break;
    result.append(pattern, from, at - from).append(value);
    from = at + 2;
  }
  return result.append(pattern, from, std::wstring::npos);
}
inline std::wstring FormatText(const std::wstring& pattern, const std::wstring& value) {
  return FormatTexts(pattern, {value});
}
// Fills each "%d" of the pattern in turn with a number, as FormatTexts does with "%s".
inline std::wstring FormatCounts(const std::wstring& pattern, std::initializer_list<long long> numbers) {
  std::wstring result;
  std::size_t from = 0;
  for (const long long number : numbers) {
    const std::size_t at = pattern.find(L"%d", from);
    if (at == std::wstring::npos) break;
    result.append(pattern, from, at - from).append(std::to_wstring(number));
    from = at + 2;
  }
  return result.append(pattern, from, std::wstring::npos);
}

}  // namespace vantrel
