// Fuzzes the product list parser and the restore search on a list file held in memory.
//
// Input: the list file's text; its first line also serves as the stored product name. Every
// product parsed must have a name without '"' or '#' and a loader file name of one word, and
// restoring must select a position within the box.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/products/product_selection.h"
#include "core/products/product_table.h"

namespace {

using namespace dekvanto::core;

// Holds the stored product name and accepts writes.
class OneNameStore final : public SettingsStore {
  public:
    explicit OneNameStore(std::string name) : name_(std::move(name)) {}
    std::string ReadText(std::string_view, std::string_view, std::string_view) override {
        return name_;
    }
    int32_t ReadInt(std::string_view, std::string_view, int32_t fallback) override {
        return fallback;
    }
    void WriteText(std::string_view, std::string_view, std::string_view) override {}
    void WriteInt(std::string_view, std::string_view, int32_t) override {}

  private:
    std::string name_;
};

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    ProductTable table = ParseProductList(text);
    for (const Product &product : table) {
        Require(product.name.find_first_of("\"#") == std::string::npos);
        Require(!product.loader_file.empty());
        Require(product.loader_file.find_first_of(" \t\r\n\v\f#") == std::string::npos);
    }
    const std::size_t count = table.size();
    ProductSelection selection(std::move(table), "/opt/dekvanto");
    OneNameStore store(std::string(text.substr(0, text.find('\n'))));
    const auto choice = selection.Restore(store, {"/l.bin", 0, 0});
    Require(selection.Position() >= 0 && static_cast<std::size_t>(selection.Position()) <= count);
    Require(choice.has_value() == (selection.Position() > 0));
    return 0;
}
