// The product box of the main window, without the widget: the entry "None" at position 0 and the
// products of the list at positions 1 to count, in file order; which entry is selected; and what
// choosing an entry sets and stores.
//
// Choosing a product sets three of the current values in one step: the loader path (program
// directory + the product's loader file name), the bus width index and the wait states. The
// selection does not reach into the settings or the file records itself: Choose and Restore
// return what the product sets, and the main window puts it into its current settings and file
// records and enables or disables the personalization controls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/products/product_table.h"
#include "core/settings/settings_store.h"

namespace dekvanto::core {

// The text of position 0, and the "Setting"/"Product" value stored when it is chosen.
inline constexpr std::string_view kNoProduct = "None";

// The loader path, bus width index and wait states in force: those of the current settings
// before a choice, those of the product after it.
struct MemoryTarget {
    std::string loader_path;
    int32_t ram_size = 0;
    int32_t wait_states = 0;

    bool operator==(const MemoryTarget &) const = default;
};

// What choosing a product sets.
struct ProductChoice {
    MemoryTarget target;
    // Whether the personalization file controls are enabled (bit 0 of the flags). When false the
    // main window also clears the "Download Binary Personalization File" check box and switches
    // the personalization download off.
    bool personalization_allowed = false;

    bool operator==(const ProductChoice &) const = default;
};

class ProductSelection {
  public:
    // `program_directory`: the directory that the products' loader file names are taken in
    // (joined with the platform's separator rules, PathInFolder).
    ProductSelection(ProductTable table, std::string program_directory);

    // The entries of the box: "None", then the product names in table order.
    std::vector<std::string> Entries() const;
    const ProductTable &Table() const { return table_; }
    // The selected position: 0 for "None", 1 to count for a product, -1 when the box has no
    // selection (after Choose(-1)).
    int Position() const { return position_; }
    // The selected product, or nothing while "None" is selected.
    const Product *Selected() const;
    // Bit 0 of the selected product's flags; false while "None" is selected.
    bool PersonalizationAllowed() const;

    // Main window initialisation: reads "Setting"/"Product" and selects the first entry whose
    // text begins with it (ASCII case ignored), searching from position 1 to the last and then
    // position 0; without a match "None" stays selected. When the selection is a product, it is
    // applied as by Choose and its settings are returned. An empty stored name (no "Product" key,
    // as at the first start) selects "None" and writes nothing: taking the first product unasked
    // would change the loader and the bus settings behind the user's back.
    std::optional<ProductChoice> Restore(SettingsStore &store, const MemoryTarget &current);

    // The user picked `position` in the box (-1: the box reports no selection).
    // - "None" (0), or any pick while the table is empty: selects "None", writes "Setting"/
    //   "Product" = "None" and nothing else; returns nothing (no value changes).
    // - A product: writes "Setting"/"Product" = its name, "PathOption"/"LoadFilePath",
    //   "Setting"/"RamSize" and "Setting"/"RamWaitState" with its values, in this order, and
    //   returns them.
    // - No selection (-1, or a position past the last product): writes "Product" = "None" and
    //   then "LoadFilePath", "RamSize" and "RamWaitState" with the values of `current`, in the
    //   same order; returns nothing (no value changes). The box is left without a selection.
    std::optional<ProductChoice> Choose(int position, SettingsStore &store,
                                        const MemoryTarget &current);

    // Selects "None" without applying or writing anything (after the Settings dialog changed the
    // loader, the bus width or the wait states): the stored "Product" keeps naming the earlier
    // product, so the next start selects and applies it again.
    void ResetToNone() { position_ = 0; }

  private:
    int FindEntry(std::string_view stored_name) const;
    void Store(SettingsStore &store, std::string_view name, const MemoryTarget &target) const;

    ProductTable table_;
    std::string program_directory_;
    int position_ = 0;
};

}  // namespace dekvanto::core
