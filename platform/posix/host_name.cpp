#include "dekvanto/platform/host_name.h"

#include <limits.h>
#include <unistd.h>

namespace dekvanto::platform {

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return "";
    }
    return name;
}

}  // namespace dekvanto::platform
