#pragma once
// The fbclient.dll double of the Windows tests: where it is built and what it answers.
#include <cstdint>

namespace vantrel::clientdouble {

// Built into <build>/clientdouble, beside no program: a test puts it where it is wanted.
inline constexpr wchar_t kFolderFromBin[] = L"..\\clientdouble";
inline constexpr wchar_t kFileName[] = L"fbclient.dll";

// Only the local server is served, in its named-pipe form (2.5, InterBase) or its TCP form
// (Firebird 3 and later); the file is the path behind it.
inline constexpr char kServerPrefix[] = "\\\\127.0.0.1\\";
inline constexpr char kTcpServerPrefix[] = "127.0.0.1:";

// Beside each created file, <file> + this holds the full path the double was loaded from.
inline constexpr char kLoadedFromSuffix[] = ".library";

// A created database file holds this first line and then the statement, so tests can read
// what reached the library.
inline constexpr char kDialectLine[] = "dialect ";

struct TFailure {
  std::intptr_t status;  // the error number in the status vector and the call's result
  int sqlCode;
  const char* message;
};

// The page size text that is refused, as a server refuses an unusable page size.
inline constexpr char kRefusedPageSize[] = "0";
inline constexpr TFailure kBadPageSize{335544569, -104, "Invalid page size (client library double)"};
// No prefix, an existing file, a file that cannot be created.
inline constexpr TFailure kIoError{335544344, -902, "I/O error for file (client library double)"};
inline constexpr TFailure kBadHandle{335544326, -904, "Invalid database handle (client library double)"};

// The service manager answers who is connected from this file beside the library: the number of
// attachments on the first line, then one database in use per line. Without the file it answers
// as a server that is not there; a first line "refuse" refuses the login.
inline constexpr wchar_t kAttachmentsFile[] = L"attachments.txt";
inline constexpr TFailure kNoServer{335544721, -902, "Unable to complete network request to host (client library double)"};
inline constexpr TFailure kLoginRefused{335544472, -902, "Your user name and password are not defined (client library double)"};

}  // namespace vantrel::clientdouble
