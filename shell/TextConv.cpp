#include "shell/TextConv.h"

#include <windows.h>

namespace vantrel {
namespace {

std::wstring Widen(UINT codePage, const std::string& bytes) {
  if (bytes.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return out;
}

std::string Narrow(UINT codePage, const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring FromAnsi(const std::string& bytes) { return Widen(CP_ACP, bytes); }
std::string ToAnsi(const std::wstring& text) { return Narrow(CP_ACP, text); }
std::wstring FromUtf8(const std::string& text) { return Widen(CP_UTF8, text); }
std::string ToUtf8(const std::wstring& text) { return Narrow(CP_UTF8, text); }

std::wstring TrimBlanks(const std::wstring& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && text[first] <= L' ') ++first;
  while (last > first && text[last - 1] <= L' ') --last;
  return text.substr(first, last - first);
}

}  // namespace vantrel
