#include "core/products/window_target.h"

namespace dekvanto::core {

MemoryTarget WindowTarget(const FileRecords &records, const CurrentSettings &settings) {
    return MemoryTarget{records.loader.path, settings.ram_size, settings.wait_states};
}

void ApplyWindowTarget(const MemoryTarget &target, FileRecords &records,
                       CurrentSettings &settings) {
    records.loader.path = target.loader_path;
    settings.ram_size = target.ram_size;
    settings.wait_states = target.wait_states;
}

}  // namespace dekvanto::core
