#include "core/products/product_table.h"

#include "dekvanto/platform/whole_file.h"

namespace dekvanto::core {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Nothing but white space before the end of the line or its comment.
bool BlankOrComment(std::string_view line) {
    line = line.substr(0, line.find('#'));
    for (const char c : line) {
        if (!IsSpace(c)) {
            return false;
        }
    }
    return true;
}

// Reads the fields after a product's name the way a scanf pattern "%s %d %d %d" does.
class FieldScanner {
  public:
    explicit FieldScanner(std::string_view text) : text_(text) {}

    std::optional<std::string> Word() {
        SkipSpace();
        const std::size_t begin = at_;
        while (at_ < text_.size() && !IsSpace(text_[at_])) {
            ++at_;
        }
        if (at_ == begin) {
            return std::nullopt;
        }
        return std::string(text_.substr(begin, at_ - begin));
    }

    std::optional<int32_t> Integer() {
        SkipSpace();
        bool negative = false;
        if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) {
            negative = text_[at_] == '-';
            ++at_;
        }
        const std::size_t digits = at_;
        uint32_t number = 0;
        for (; at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9'; ++at_) {
            number = number * 10u + static_cast<uint32_t>(text_[at_] - '0');
        }
        if (at_ == digits) {
            return std::nullopt;
        }
        return static_cast<int32_t>(negative ? 0u - number : number);
    }

  private:
    void SkipSpace() {
        while (at_ < text_.size() && IsSpace(text_[at_])) {
            ++at_;
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<Product> ParseProductLine(std::string_view line) {
    line = line.substr(0, line.find('#'));
    const std::size_t open = line.find('"');
    if (open == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t close = line.find('"', open + 1);
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    FieldScanner fields(line.substr(close + 1));
    std::optional<std::string> loader = fields.Word();
    const std::optional<int32_t> width = loader ? fields.Integer() : std::nullopt;
    const std::optional<int32_t> wait_states = width ? fields.Integer() : std::nullopt;
    const std::optional<int32_t> flags = wait_states ? fields.Integer() : std::nullopt;
    if (!flags) {
        return std::nullopt;
    }
    Product product;
    product.name = std::string(line.substr(open + 1, close - open - 1));
    product.loader_file = std::move(*loader);
    product.ram_size = *width / 8 - 1;
    product.wait_states = *wait_states;
    product.flags = *flags;
    return product;
}

ProductTable ParseProductList(std::string_view text) {
    return ReadProductList(text).products;
}

ProductTable LoadProductList(const std::filesystem::path &file) {
    const std::optional<std::string> text = platform::ReadWholeFile(file);
    return text ? ParseProductList(*text) : ProductTable{};
}

ProductListReport ReadProductList(std::string_view text) {
    ProductListReport report;
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (std::optional<Product> product = ParseProductLine(line)) {
            report.products.push_back(std::move(*product));
        } else if (!BlankOrComment(line)) {
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            report.skipped.push_back({number, std::string(line)});
        }
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return report;
}

std::optional<ProductListReport> LoadProductListReport(const std::filesystem::path &file) {
    const std::optional<std::string> text = platform::ReadWholeFile(file);
    if (!text) {
        return std::nullopt;
    }
    return ReadProductList(*text);
}

}  // namespace dekvanto::core
