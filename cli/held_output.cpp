#include "held_output.h"

namespace dekvanto::cli {

void HeldOutput::Release() {
    out_ << kept_ << std::flush;
    kept_.clear();
    held_ = false;
}

void HeldOutput::Drop() {
    kept_.clear();
    held_ = false;
}

HeldOutput::int_type HeldOutput::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize HeldOutput::xsputn(const char *text, std::streamsize count) {
    if (held_) {
        kept_.append(text, static_cast<std::size_t>(count));
    } else {
        out_.write(text, count);
    }
    return count;
}

int HeldOutput::sync() {
    if (!held_) {
        out_.flush();
    }
    return 0;
}

}  // namespace dekvanto::cli
