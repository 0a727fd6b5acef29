#include "remote/IB_Ext.h"

#include <cstring>

#include "remote/DynLib.h"

namespace vantrel {
namespace {

std::string Quoted(const std::string& value) {
  std::string out;
  out.reserve(value.size() + 2);
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// A reply is one line, so the library's reasons lose their line breaks.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

template <typename Fn>
bool Resolve(void* library, const char* name, Fn& fn, std::string& missing) {
  fn = reinterpret_cast<Fn>(SharedLibrarySymbol(library, name));
  if (!fn) missing += missing.empty() ? name : std::string(", ") + name;
  return fn != nullptr;
}

}  // namespace

TClientApi LoadClientLibrary(const std::vector<std::string>& names) {
  std::string reasons;
  for (const std::string& name : names) {
    std::string error;
    void* library = OpenSharedLibrary(name.c_str(), error);
    if (!library) {
      reasons += (reasons.empty() ? "" : "; ") + OneLine(error);
      continue;
    }
    TClientApi api;
    std::string missing;
    Resolve(library, "isc_dsql_execute_immediate", api.executeImmediate, missing);
    Resolve(library, "isc_detach_database", api.detachDatabase, missing);
    Resolve(library, "isc_sqlcode", api.sqlcode, missing);
    Resolve(library, "isc_sql_interprete", api.sqlInterprete, missing);
    if (missing.empty()) {
      std::string optional;  // what only the attachments query needs
      Resolve(library, "isc_service_attach", api.serviceAttach, optional);
      Resolve(library, "isc_service_detach", api.serviceDetach, optional);
      Resolve(library, "isc_service_query", api.serviceQuery, optional);
      Resolve(library, "fb_interpret", api.fbInterpret, optional);
      return api;
    }
    reasons += (reasons.empty() ? "" : "; ") + name + " lacks " + missing;
  }
  throw EDatabaseError("Error creating database!  Client library not available: " + reasons);
}

namespace {

std::string ErrorDetails(const TClientApi& api, const ISC_STATUS* status) {
  std::int32_t code = api.sqlcode(status);
  char buffer[kInterpreteBufferSize] = {};
  api.sqlInterprete(static_cast<short>(code), buffer, kInterpreteBufferSize);
  std::string message(buffer, strnlen(buffer, sizeof buffer));
  return "SQL Code: " + std::to_string(code) + ", Message: " + message;
}

[[noreturn]] void Raise(const TClientApi& api, const char* what, ISC_STATUS result,
                        const ISC_STATUS* status) {
  throw EDatabaseError(std::string(what) + "  ISC# " + std::to_string(result) + "\n\r" +
                       ErrorDetails(api, status));
}

}  // namespace

std::vector<std::string> ClientLibraryNames() {
#ifdef _WIN32
  return {"fbclient.dll", "gds32.dll"};
#else
  return {"libfbclient.so.2"};
#endif
}

TClientLibrary::TClientLibrary(std::vector<std::string> candidates) : candidates_(std::move(candidates)) {}

void TClientLibrary::SetCandidates(std::vector<std::string> candidates) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (candidates == candidates_) return;
  candidates_ = std::move(candidates);
  api_.reset();
}

TClientApi TClientLibrary::Api() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!api_) api_ = LoadClientLibrary(candidates_);
  return *api_;
}

TClientApi ClientApi() {
  static TClientLibrary library;
  return library.Api();
}

std::string CreateDatabaseStatement(const std::string& path, const std::string& user,
                                    const std::string& password, const std::string& clause) {
  return "CREATE DATABASE '" + Quoted(path) + "' USER '" + Quoted(user) + "' PASSWORD " + "'" +
         Quoted(password) + "' " + clause;
}

void CreateDatabaseWith(const TClientApi& api, const std::string& path, const std::string& user,
                        const std::string& password, std::uint16_t dialect,
                        const std::string& clause) {
  std::string statement = CreateDatabaseStatement(path, user, password, clause);
  ISC_STATUS status[kStatusVectorSize] = {};
  IscHandleStorage database = 0;
  IscHandleStorage transaction = 0;
  ISC_STATUS result =
      api.executeImmediate(status, &database, &transaction, 0, statement.c_str(), dialect, nullptr);
  if (result != 0) Raise(api, "Error creating database!", result, status);
  result = api.detachDatabase(status, &database);
  if (result != 0) Raise(api, "Error detaching database!", result, status);
}

void CreateDatabase(const std::string& path, const std::string& user, const std::string& password,
                    std::uint16_t dialect, const std::string& clause) {
  CreateDatabaseWith(ClientApi(), path, user, password, dialect, clause);
}

}  // namespace vantrel
