#include <limits.h>
#include <unistd.h>

#include "core/records/host_name.h"

namespace dekvanto::core {

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return "";
    }
    return name;
}

}  // namespace dekvanto::core
