#include "core/products/product_selection.h"

#include <utility>

#include "core/settings/path_text.h"

namespace dekvanto::core {
namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool BeginsWithIgnoringCase(std::string_view text, std::string_view start) {
    if (start.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < start.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(start[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

ProductSelection::ProductSelection(ProductTable table, std::string program_directory)
    : table_(std::move(table)), program_directory_(std::move(program_directory)) {}

std::vector<std::string> ProductSelection::Entries() const {
    std::vector<std::string> entries{std::string(kNoProduct)};
    for (const Product &product : table_) {
        entries.push_back(product.name);
    }
    return entries;
}

const Product *ProductSelection::Selected() const {
    if (position_ < 1 || static_cast<std::size_t>(position_) > table_.size()) {
        return nullptr;
    }
    return &table_[static_cast<std::size_t>(position_) - 1];
}

bool ProductSelection::PersonalizationAllowed() const {
    const Product *product = Selected();
    return product != nullptr && product->TakesPersonalization();
}

int ProductSelection::FindEntry(std::string_view stored_name) const {
    const std::vector<std::string> entries = Entries();
    for (std::size_t i = 1; i <= entries.size(); ++i) {
        const std::size_t position = i % entries.size();  // 1 .. count, then 0
        if (BeginsWithIgnoringCase(entries[position], stored_name)) {
            return static_cast<int>(position);
        }
    }
    return 0;
}

std::optional<ProductChoice> ProductSelection::Restore(SettingsStore &store,
                                                       const MemoryTarget &current) {
    const std::string stored = store.ReadText("Setting", "Product", "");
    position_ = stored.empty() ? 0 : FindEntry(stored);
    if (position_ == 0) {
        return std::nullopt;
    }
    return Choose(position_, store, current);
}

std::optional<ProductChoice> ProductSelection::Choose(int position, SettingsStore &store,
                                                      const MemoryTarget &current) {
    position_ = position;
    if (position == 0 || table_.empty()) {
        position_ = 0;
        store.WriteText("Setting", "Product", kNoProduct);
        return std::nullopt;
    }
    const Product *product = Selected();
    if (product == nullptr) {
        position_ = -1;
        Store(store, kNoProduct, current);
        return std::nullopt;
    }
    ProductChoice choice;
    choice.target.loader_path = PathInFolder(program_directory_, product->loader_file);
    choice.target.ram_size = product->ram_size;
    choice.target.wait_states = product->wait_states;
    choice.personalization_allowed = product->TakesPersonalization();
    Store(store, product->name, choice.target);
    return choice;
}

void ProductSelection::Store(SettingsStore &store, std::string_view name,
                             const MemoryTarget &target) const {
    store.WriteText("Setting", "Product", name);
    store.WriteText("PathOption", "LoadFilePath", target.loader_path);
    store.WriteInt("Setting", "RamSize", target.ram_size);
    store.WriteInt("Setting", "RamWaitState", target.wait_states);
}

}  // namespace dekvanto::core
