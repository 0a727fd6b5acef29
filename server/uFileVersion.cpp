#include "server/uFileVersion.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

namespace vantrel {
namespace {

constexpr std::size_t MaxValueLength = 255;
constexpr wchar_t StringTable[] = L"\\StringFileInfo\\040904E4\\";

std::wstring QueryValue(const std::vector<BYTE>& record, const wchar_t* key) {
  std::wstring subBlock = StringTable;
  subBlock += key;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(record.data(), subBlock.c_str(), &value, &length) || !value) return {};
  const auto* text = static_cast<const wchar_t*>(value);
  return std::wstring(text, wcsnlen(text, std::min<std::size_t>(length, MaxValueLength)));
}

}  // namespace

void TFileVersionData::SetWorkFileName(const std::wstring& path) {
  workFileName_ = path;
  std::wstring* fields[] = {&CompanyName,    &FileDescription,  &FileVersion, &InternalName,
                            &LegalCopyright, &LegalTrademarks,  &OriginalFilename,
                            &ProductName,    &ProductVersion,   &Comments};
  for (std::wstring* field : fields) field->clear();
  if (path.empty()) return;

  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return;
  std::vector<BYTE> record(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, record.data())) return;

  // The trademark key is spelled with a capital M in the records this program reads.
  const wchar_t* keys[] = {L"CompanyName",    L"FileDescription", L"FileVersion",
                           L"InternalName",   L"LegalCopyright",  L"LegalTradeMarks",
                           L"OriginalFilename", L"ProductName",   L"ProductVersion",
                           L"Comments"};
  for (std::size_t i = 0; i < std::size(keys); ++i) *fields[i] = QueryValue(record, keys[i]);
}

std::wstring VersionText(const std::wstring& path) {
  // Reading a record maps the whole executable; the start and every switch of installation show
  // the same few files, so each is read again only when it changed.
  struct TRead {
    FILETIME written;
    DWORD sizeHigh, sizeLow;
    std::wstring text;
  };
  static std::mutex mutex;
  static std::map<std::wstring, TRead> read;
  WIN32_FILE_ATTRIBUTE_DATA facts{};
  const bool known = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &facts) != FALSE;
  std::lock_guard lock(mutex);
  if (known) {
    const auto it = read.find(path);
    if (it != read.end() && CompareFileTime(&it->second.written, &facts.ftLastWriteTime) == 0 &&
        it->second.sizeHigh == facts.nFileSizeHigh && it->second.sizeLow == facts.nFileSizeLow)
      return it->second.text;
  }
  TFileVersionData data;
  data.SetWorkFileName(path);
  std::wstring text = data.FileDescription + L" " + data.FileVersion;
  if (known) read[path] = {facts.ftLastWriteTime, facts.nFileSizeHigh, facts.nFileSizeLow, text};
  return text;
}

}  // namespace vantrel
