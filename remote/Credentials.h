#pragma once
// Whose name and password create new databases on the local server.
#include <string>

#include "remote/ServeOptions.h"

namespace vantrel {

// Each of the two in this order: the environment's ISC_USER / ISC_PASSWORD when set and not
// empty (the server's own convention), else what the user stored in the program, else the
// protocol's fixed ones.
TCredentials ChooseCredentials(const char* iscUser, const char* iscPassword, const TCredentials& stored);

}  // namespace vantrel
