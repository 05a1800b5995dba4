// Fuzzes the mapping check on a code file and a personalization file held in memory.
//
// Input: byte 0 is the personalization file's length n, the next n bytes (fewer when the input
// ends) are the personalization file, the rest is the code file. Each file gets a buffer of its
// own exact size, so that a read past either one shows under AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "dekvanto/mx40.h"
#include "mapcheck/map_check.h"
#include "mapcheck/tag_walker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t perso_size = data[0] < size - 1 ? data[0] : size - 1;
    const std::vector<uint8_t> perso(data + 1, data + 1 + perso_size);
    const std::vector<uint8_t> code(data + 1 + perso_size, data + size);

    dekvanto::engine::MemoryByteSource code_source(code);
    dekvanto::engine::MemoryByteSource perso_source(perso);
    const int32_t result = dekvanto::engine::CheckMapSources(code_source, perso_source);
    if (result != MX40_MAP_COMPATIBLE && result != MX40_MAP_MISMATCH &&
        result != MX40_MAP_NOT_FOUND) {
        std::abort();  // opened sources can only end in 10, 11 or 15
    }

    // The walker on the code file taken as a tag block, with a destination of its own size.
    std::vector<uint8_t> value(8);
    for (const uint32_t key :
         {dekvanto::engine::kTagMappingId, dekvanto::engine::kTagMappingTable, 0u}) {
        dekvanto::engine::FindTag(code, key, value);
    }
    return 0;
}
