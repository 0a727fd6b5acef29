#include "server/FB_Consts.h"

#include <atomic>

namespace vantrel {
namespace {

constexpr const char* kNames[3][6] = {
    {"", "", "", "", "", ""},
    {"ibserver.exe", "ibguard.exe", "IB_Server", "IB_Guard", "InterBaseServer", "InterBaseGuardian"},
    {"fbserver.exe", "fbguard.exe", "FB_Server", "FB_Guard", "FirebirdServerDefaultInstance",
     "FirebirdGuardianDefaultInstance"},
};

std::atomic<ServerKind> currentKind{skNone};

}  // namespace

void SetServerKind(ServerKind kind) { currentKind = kind; }
ServerKind GetServerKind() { return currentKind; }

std::string KindNameOf(ServerKind kind, int role) {
  if (kind < skNone || kind > skFirebird || role < 0 || role > 5) return {};
  return kNames[kind][role];
}

std::string KindName(int role) { return KindNameOf(currentKind, role); }

}  // namespace vantrel
