#pragma once
// Database creation through the Firebird/InterBase client library, loaded at run time.
#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrel {

// The program's database error; its message is the whole text a client is given.
class EDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The client library's status word and handles, declared here rather than taken from a header.
using ISC_STATUS = std::intptr_t;
inline constexpr int kStatusVectorSize = 20;
inline constexpr int kInterpreteBufferSize = 500;

#if defined(_WIN32) && !defined(_WIN64)
#define VANTREL_ISC_CALL __stdcall
#else
#define VANTREL_ISC_CALL
#endif

// Handles are 32-bit in Firebird's library and pointer-sized in some old InterBase builds;
// the caller keeps them in 64 zeroed bits so either writes safely into them.
using IscHandleStorage = std::uint64_t;

struct TClientApi {
  using ExecuteImmediateFn = ISC_STATUS(VANTREL_ISC_CALL*)(ISC_STATUS* status, void* db, void* tr,
                                                           unsigned short length,
                                                           const char* statement,
                                                           unsigned short dialect,
                                                           const void* sqlda);
  using DetachFn = ISC_STATUS(VANTREL_ISC_CALL*)(ISC_STATUS* status, void* db);
  using SqlCodeFn = std::int32_t(VANTREL_ISC_CALL*)(const ISC_STATUS* status);
  using InterpreteFn = void(VANTREL_ISC_CALL*)(short sqlcode, char* buffer, short length);

  ExecuteImmediateFn executeImmediate = nullptr;
  DetachFn detachDatabase = nullptr;
  SqlCodeFn sqlcode = nullptr;
  InterpreteFn sqlInterprete = nullptr;

  // The service manager and the status vector's own text: not needed for a create, so a library
  // without them still loads (these stay null).
  using ServiceAttachFn = ISC_STATUS(VANTREL_ISC_CALL*)(ISC_STATUS* status, unsigned short nameLength,
                                                        const char* name, void* handle, unsigned short spbLength,
                                                        const char* spb);
  using ServiceDetachFn = ISC_STATUS(VANTREL_ISC_CALL*)(ISC_STATUS* status, void* handle);
  using ServiceQueryFn = ISC_STATUS(VANTREL_ISC_CALL*)(ISC_STATUS* status, void* handle, void* reserved,
                                                       unsigned short sendLength, const char* send,
                                                       unsigned short requestLength, const char* request,
                                                       unsigned short bufferLength, char* buffer);
  using FbInterpretFn = std::int32_t(VANTREL_ISC_CALL*)(char* buffer, unsigned int size, const ISC_STATUS** status);
  ServiceAttachFn serviceAttach = nullptr;
  ServiceDetachFn serviceDetach = nullptr;
  ServiceQueryFn serviceQuery = nullptr;
  FbInterpretFn fbInterpret = nullptr;
};

// The library's names in the order they are tried on this platform.
std::vector<std::string> ClientLibraryNames();
// The first of these libraries that has all four functions. Raises EDatabaseError with a plain
// explanation of every failure when none has.
TClientApi LoadClientLibrary(const std::vector<std::string>& names);

// The client library of one program: loaded at its first use from a list of candidates (full
// paths or names for the search path); a different list makes the next use load again, so a
// changed installation brings its own library. Any thread.
class TClientLibrary {
 public:
  explicit TClientLibrary(std::vector<std::string> candidates = ClientLibraryNames());
  void SetCandidates(std::vector<std::string> candidates);
  // Throws EDatabaseError naming every candidate tried when none can be used; the next call
  // tries again.
  TClientApi Api();

 private:
  std::mutex mutex_;
  std::vector<std::string> candidates_;
  std::optional<TClientApi> api_;
};

// The process's client library from the default names. Throws as TClientLibrary::Api.
TClientApi ClientApi();

// CREATE DATABASE 'path' USER 'user' PASSWORD 'password' clause — single quotes inside the three
// values doubled, so the statement stays well formed whatever they hold.
std::string CreateDatabaseStatement(const std::string& path, const std::string& user,
                                    const std::string& password, const std::string& clause);

// Creates the database and closes it again. Raises EDatabaseError on failure.
void CreateDatabase(const std::string& path, const std::string& user, const std::string& password,
                    std::uint16_t dialect, const std::string& clause);
// The same through a given library (tests pass a double).
void CreateDatabaseWith(const TClientApi& api, const std::string& path, const std::string& user,
                        const std::string& password, std::uint16_t dialect,
                        const std::string& clause);

}  // namespace vantrel
