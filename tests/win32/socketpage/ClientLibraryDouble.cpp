// fbclient.dll standing in for the Firebird client library: CREATE DATABASE makes the file the
// statement names behind the local server's prefix (and notes where the double was loaded
// from); a refused page size fails as a server would.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "tests/win32/socketpage/ClientLibraryDouble.h"

namespace {

using namespace vantrel::clientdouble;
using IscStatus = std::intptr_t;
using DatabaseHandle = unsigned int;  // the library's handles are 32 bits wide

constexpr DatabaseHandle kOpenDatabase = 1;
constexpr IscStatus kArgGds = 1;
constexpr IscStatus kArgEnd = 0;
constexpr TFailure kFailures[] = {kBadPageSize, kIoError, kBadHandle};

IscStatus Fail(IscStatus* status, const TFailure& failure) {
  status[0] = kArgGds;
  status[1] = failure.status;
  status[2] = kArgEnd;
  return failure.status;
}

IscStatus Succeed(IscStatus* status) {
  status[0] = kArgGds;
  status[1] = 0;
  status[2] = kArgEnd;
  return 0;
}

// The text between the first quote after `after` and its closing quote, doubled quotes undone.
bool QuotedAfter(const std::string& statement, const char* after, std::string& value) {
  std::size_t at = statement.find(after);
  if (at == std::string::npos) return false;
  value.clear();
  for (std::size_t i = at + std::strlen(after); i < statement.size(); ++i) {
    if (statement[i] != '\'') {
      value += statement[i];
    } else if (i + 1 < statement.size() && statement[i + 1] == '\'') {
      value += '\'';
      ++i;
    } else {
      return true;
    }
  }
  return false;
}

std::string WordAfter(const std::string& statement, const char* after) {
  std::size_t at = statement.find(after);
  if (at == std::string::npos) return {};
  at += std::strlen(after);
  return statement.substr(at, statement.find(' ', at) - at);
}

bool WriteNewFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written,
                            nullptr) && written == content.size();
  CloseHandle(file);
  return ok;
}

HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&OwnModule), &module);
  return module;
}

std::string OwnPath() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(OwnModule(), path, MAX_PATH);
  return std::string(path, length);
}

}  // namespace

extern "C" {

__declspec(dllexport) IscStatus isc_dsql_execute_immediate(IscStatus* status, void* db, void*,
                                                           unsigned short length,
                                                           const char* statement,
                                                           unsigned short dialect, const void*) {
  const std::string text = length ? std::string(statement, length) : std::string(statement);
  std::string target;
  if (!QuotedAfter(text, "CREATE DATABASE '", target)) return Fail(status, kIoError);
  std::size_t prefix = 0;
  for (const char* form : {kServerPrefix, kTcpServerPrefix})
    if (target.rfind(form, 0) == 0) prefix = std::strlen(form);
  // A server on another port: 127.0.0.1/PORT:
  constexpr char kHostAndSlash[] = "127.0.0.1/";
  if (const std::size_t colon = target.find(':'); prefix == 0 && target.rfind(kHostAndSlash, 0) == 0 &&
                                                  colon != std::string::npos && colon > std::strlen(kHostAndSlash))
    prefix = colon + 1;
  if (prefix == 0) return Fail(status, kIoError);
  if (WordAfter(text, "PAGE_SIZE ") == kRefusedPageSize) return Fail(status, kBadPageSize);
  const std::string path = target.substr(prefix);
  if (!WriteNewFile(path, kDialectLine + std::to_string(dialect) + "\r\n" + text))
    return Fail(status, kIoError);
  DeleteFileA((path + kLoadedFromSuffix).c_str());
  WriteNewFile(path + kLoadedFromSuffix, OwnPath());
  *static_cast<DatabaseHandle*>(db) = kOpenDatabase;
  return Succeed(status);
}

__declspec(dllexport) IscStatus isc_detach_database(IscStatus* status, void* db) {
  auto* handle = static_cast<DatabaseHandle*>(db);
  if (*handle != kOpenDatabase) return Fail(status, kBadHandle);
  *handle = 0;
  return Succeed(status);
}

__declspec(dllexport) std::int32_t isc_sqlcode(const IscStatus* status) {
  for (const TFailure& f : kFailures)
    if (status[1] == f.status) return f.sqlCode;
  return 0;
}

__declspec(dllexport) void isc_sql_interprete(short sqlcode, char* buffer, short length) {
  if (length <= 0) return;
  const char* message = "";
  for (const TFailure& f : kFailures)
    if (sqlcode == f.sqlCode) message = f.message;
  std::strncpy(buffer, message, static_cast<std::size_t>(length) - 1);
  buffer[length - 1] = '\0';
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
