// The mapping compatibility check between a code file and a personalization file.
#pragma once

#include <cstdint>

namespace mx40 {

// Returns one of the MX40_MAP_* codes.
int32_t CheckMapCompat(const char *code_path, const char *perso_path);

}  // namespace mx40
