// The name of this machine, as a unit record tells on which bench PC a phone was flashed.
#pragma once

#include <string>

namespace dekvanto::platform {

// The machine's host name; "" when the system does not tell.
std::string HostName();

}  // namespace dekvanto::platform
