// Text that came from outside the program (scanned identifiers, operators' names, file names,
// record files, the USB descriptors of serial adapters, what a phone's log says), made safe for
// the place that shows it. Such text is data: it must never move a terminal's cursor, rename its
// window, start a line of its own, or become a formula in a spreadsheet.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dekvanto::core {

// The text as a terminal may show it: every control character (C0, DEL, and C1 whether as a raw
// byte or encoded in UTF-8) and every byte that is not part of well-formed UTF-8 is written as
// \xNN, one escape per byte; well-formed UTF-8 characters are kept whole. Tab, carriage return
// and line feed are control characters too: the result is always one line.
std::string TerminalText(std::string_view text);

// The longest start of `text` of at most `max_bytes` bytes that does not end inside a UTF-8
// character (bytes that are not UTF-8 count one each).
std::string_view CutText(std::string_view text, std::size_t max_bytes);

// A cell for a spreadsheet (CSV or tab-separated): the text made terminal-safe as above (so a tab
// or line break cannot shift the columns), and, when it begins with '=', '+', '-' or '@' (which
// spreadsheets take as a formula, quoted or not), prefixed with an apostrophe that makes it text.
std::string SpreadsheetText(std::string_view text);

// A cell of a comma-separated file: SpreadsheetText, quoted (its quotes doubled) when it holds a
// comma or a quote.
std::string CsvCell(std::string_view text);

}  // namespace dekvanto::core
