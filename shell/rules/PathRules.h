#pragma once
// Windows paths as text, the same on every platform: '\' and '/' both delimit, and letter case
// does not count, as the file system compares names.
#include <string>
#include <string_view>

namespace vantrel {

inline bool IsPathDelimiter(wchar_t c) { return c == L'\\' || c == L'/'; }

inline std::wstring ExcludeTrailingDelimiter(std::wstring path) {
  while (!path.empty() && IsPathDelimiter(path.back())) path.pop_back();
  return path;
}

// The folder part with its trailing delimiter (or drive colon); empty when there is none.
inline std::wstring FolderOf(const std::wstring& path) {
  const std::size_t at = path.find_last_of(L"\\/:");
  return at == std::wstring::npos ? std::wstring() : path.substr(0, at + 1);
}

inline std::wstring FileNameOf(const std::wstring& path) {
  const std::size_t at = path.find_last_of(L"\\/:");
  return at == std::wstring::npos ? path : path.substr(at + 1);
}

// One letter in upper case as the file system compares names: ASCII, Latin-1 and the letters of
// Latin Extended-A (the Turkish ones among them), each lower-case letter to its capital.
constexpr wchar_t PathLetterUpper(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c == 0x131) return L'I';  // dotless i
  const bool extendedA = c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x17F;
  // Pairs in Latin Extended-A: capital first, except in 0x139-0x148 and 0x179-0x17E where they are shifted by one.
  if (extendedA) {
    const bool shifted = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((c % 2 == 1) != shifted) return static_cast<wchar_t>(c - 1);
  }
  return c;
}

// The same text for the file system: delimiters alike, case ignored.
inline bool SamePathText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsPathDelimiter(a[i]) && IsPathDelimiter(b[i])) continue;
    if (PathLetterUpper(a[i]) != PathLetterUpper(b[i])) return false;
  }
  return true;
}

inline bool StartsWithPathText(std::wstring_view text, std::wstring_view head) {
  return text.size() >= head.size() && SamePathText(text.substr(0, head.size()), head);
}

// The same folder, with or without a trailing delimiter.
inline bool SameFolder(const std::wstring& a, const std::wstring& b) {
  return SamePathText(ExcludeTrailingDelimiter(a), ExcludeTrailingDelimiter(b));
}

// The path lies inside the folder (at any depth), not the folder itself.
inline bool PathIsInFolder(const std::wstring& path, const std::wstring& folder) {
  const std::wstring head = ExcludeTrailingDelimiter(folder) + L"\\";
  return head.size() > 1 && path.size() > head.size() && StartsWithPathText(path, head);
}

}  // namespace vantrel
