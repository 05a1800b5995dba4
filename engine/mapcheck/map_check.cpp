#include "mapcheck/map_check.h"

#include "dekvanto/mx40.h"

namespace mx40 {

int32_t CheckMapCompat(const char *code_path, const char *perso_path) {
    if (code_path == nullptr || perso_path == nullptr) {
        return MX40_MAP_NO_PATH;
    }
    return MX40_MAP_NOT_FOUND;  // the tag walk comes with the mapping check
}

}  // namespace mx40
