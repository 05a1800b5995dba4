// The product list: the phone models that DEKVANTO knows, read from "dekvanto.cfg" in the
// program directory. Each model names the loader program to send into the phone's RAM, the width
// of its memory bus, its memory wait states and whether it takes a personalization file.
//
// The file is plain text, read line by line; the program never writes it. A line reads:
//   "Product name"  loader.bin  16  1  1     # comment
// - everything from the first '#' to the end of the line is dropped first (so a '#' inside the
//   quotes cuts the name, and such a line has no closing quote);
// - the name is the text between the first and the second double quote (it may hold spaces);
// - after the closing quote come four fields separated by white space: the loader file name (one
//   word), the bus width in bits, the wait states and the flags, the last three decimal integers
//   (optional sign, digits; text right after the last number is ignored);
// - a line without both quotes or without all four fields is skipped silently, as are blank and
//   comment lines.
// Names, loader file names and lines of any length are kept whole.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dekvanto::core {

struct Product {
    std::string name;         // the quoted name, as shown in the product box
    std::string loader_file;  // a file name relative to the program directory
    int32_t ram_size = 0;     // bus width index: width / 8 - 1 (8 -> 0, 16 -> 1, 4 -> -1)
    int32_t wait_states = 0;  // as read
    int32_t flags = 0;        // as read; bit 0 set: the product takes a personalization file

    bool TakesPersonalization() const { return (flags & 1) != 0; }
    bool operator==(const Product &) const = default;
};

// The products in file order.
using ProductTable = std::vector<Product>;

// The product on one line of the list (without its line end), or nothing for a line that holds
// none. Numbers too large for 32 bits wrap modulo 2^32. The bus width is not range-tested here:
// the engine refuses an index it does not support when a download starts.
std::optional<Product> ParseProductLine(std::string_view line);

// The products of a whole list file's text. Lines end at LF; a CR before it is white space.
ProductTable ParseProductList(std::string_view text);

// The products of the list file, or an empty table when it cannot be opened (no message).
ProductTable LoadProductList(const std::filesystem::path &file);

// A line that holds no product although it is neither blank nor only a comment: what the window
// drops silently, shown to whoever checks a list.
struct SkippedLine {
    int number = 0;    // counted from 1
    std::string text;  // the whole line, without its line end (LF, or CR LF)

    bool operator==(const SkippedLine &) const = default;
};

struct ProductListReport {
    ProductTable products;
    std::vector<SkippedLine> skipped;
};

// The products of a list file's text, as ParseProductList reads them, with the skipped lines.
ProductListReport ReadProductList(std::string_view text);

// The report of the list file, or nothing when it cannot be read.
std::optional<ProductListReport> LoadProductListReport(const std::filesystem::path &file);

}  // namespace dekvanto::core
