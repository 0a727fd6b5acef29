#pragma once
// The two server kinds differ only in the names of their files, windows and services.
#include <string>

namespace vantrel {

enum ServerKind { skNone = 0, skInterBase = 1, skFirebird = 2 };

enum KindRole {
  ServerExe = 0,
  GuardianExe = 1,
  ServerWindowClass = 2,
  GuardianWindowClass = 3,
  ServerServiceName = 4,
  GuardianServiceName = 5,
};

void SetServerKind(ServerKind kind);
ServerKind GetServerKind();

// The name of a role for the current kind; empty for skNone.
std::string KindName(int role);
// The same for a given kind, without touching the process-wide value.
std::string KindNameOf(ServerKind kind, int role);

}  // namespace vantrel
