// fbclient.dll standing in for the Firebird client library: CREATE DATABASE makes the file the
// statement names behind the local server's prefix (and notes where the double was loaded
// from); a refused page size fails as a server would.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/win32/socketpage/ClientLibraryDouble.h"

namespace {

using namespace vantrel::clientdouble;
using IscStatus = std::intptr_t;
using DatabaseHandle = unsigned int;  // the library's handles are 32 bits wide

constexpr DatabaseHandle kOpenDatabase = 1;
constexpr IscStatus kArgGds = 1;
constexpr IscStatus kArgEnd = 0;
constexpr TFailure kFailures[] = {kBadPageSize, kIoError, kBadHandle, kNoServer, kLoginRefused};
constexpr unsigned int kOpenService = 2;

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

// The attachments file's lines, or nothing when there is no file (no server answering).
bool ReadAttachmentsFile(std::vector<std::string>& lines) {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(OwnModule(), path.data(), MAX_PATH));
  path = path.substr(0, path.find_last_of(L'\\') + 1) + kAttachmentsFile;
  std::ifstream file{std::filesystem::path(path)};
  if (!file) return false;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return !lines.empty();
}

void PutNumber(std::string& answer, char item, std::uint32_t n, int bytes) {
  if (item) answer += item;
  for (int i = 0; i < bytes; ++i) answer += static_cast<char>((n >> (8 * i)) & 0xFF);
}

}  // namespace

extern "C" {

__declspec(dllexport) IscStatus isc_service_attach(IscStatus* status, unsigned short length, const char* name,
                                                   void* handle, unsigned short, const char*) {
  const std::string service(name, length);
  const std::string suffix = "service_mgr";
  if (service.size() < suffix.size() || service.compare(service.size() - suffix.size(), suffix.size(), suffix) != 0)
    return Fail(status, kNoServer);
  std::vector<std::string> lines;
  if (!ReadAttachmentsFile(lines)) return Fail(status, kNoServer);
  if (lines[0] == "refuse") return Fail(status, kLoginRefused);
  *static_cast<unsigned int*>(handle) = kOpenService;
  return Succeed(status);
}

__declspec(dllexport) IscStatus isc_service_query(IscStatus* status, void* handle, void*, unsigned short,
                                                  const char*, unsigned short requestLength, const char* request,
                                                  unsigned short bufferLength, char* buffer) {
  if (*static_cast<unsigned int*>(handle) != kOpenService) return Fail(status, kBadHandle);
  std::vector<std::string> lines;
  if (requestLength != 1 || request[0] != 50 || !ReadAttachmentsFile(lines)) return Fail(status, kNoServer);
  std::string answer(1, '\x32');
  PutNumber(answer, 5, static_cast<std::uint32_t>(std::stoul(lines[0])), 4);
  PutNumber(answer, 6, static_cast<std::uint32_t>(lines.size() - 1), 4);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    PutNumber(answer, 106, static_cast<std::uint32_t>(lines[i].size()), 2);
    answer += lines[i];
  }
  answer += "\x7F\x01";
  if (answer.size() > bufferLength) return Fail(status, kBadHandle);
  std::memcpy(buffer, answer.data(), answer.size());
  return Succeed(status);
}

__declspec(dllexport) IscStatus isc_service_detach(IscStatus* status, void* handle) {
  auto* service = static_cast<unsigned int*>(handle);
  if (*service != kOpenService) return Fail(status, kBadHandle);
  *service = 0;
  return Succeed(status);
}

__declspec(dllexport) std::int32_t fb_interpret(char* buffer, unsigned int size, const IscStatus** status) {
  const IscStatus* vector = *status;
  if (size == 0 || vector[0] != kArgGds || vector[1] == 0) return 0;
  for (const TFailure& f : kFailures)
    if (vector[1] == f.status) {
      std::strncpy(buffer, f.message, size - 1);
      buffer[size - 1] = '\0';
      *status = vector + 2;
      return static_cast<std::int32_t>(std::strlen(buffer));
    }
  return 0;
}

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
