// The memory target as the main window holds it: the loader file is one of its file records, the
// bus width index and the wait states are current settings. Choosing a product puts its target
// there; the product selection compares against it when the list is restored.
#pragma once

#include "core/products/file_records.h"
#include "core/products/product_selection.h"
#include "core/settings/current_settings.h"

namespace dekvanto::core {

// The loader path of the records with the RAM size and wait states of the settings.
MemoryTarget WindowTarget(const FileRecords &records, const CurrentSettings &settings);

// Puts a chosen product's loader path into the records and its RAM size and wait states into the
// settings.
void ApplyWindowTarget(const MemoryTarget &target, FileRecords &records, CurrentSettings &settings);

}  // namespace dekvanto::core
