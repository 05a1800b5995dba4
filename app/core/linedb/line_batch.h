// A batch of record lines on their way into unit_lines: many rows in one INSERT, so that a year
// of a line's records goes in within minutes, each row stored only when the database does not
// hold its line yet (ON CONFLICT DO NOTHING on the line's key), so that pushing a file twice, or
// one line from two forwarders at once, stores it once.
//
// A line whose key the database holds with other text is not stored either (the key is what
// makes a line once), but it is reported: it is no copy of what the database holds.
//
// One batch is one statement: stored whole or not at all. When the server refuses the batch for
// what a value holds (a data error, which should never happen with the values RowOfLine makes),
// its lines are stored one by one and only the refused ones are reported and left out, so that
// one odd line cannot hold back every line after it. Any other failure (the connection lost,
// the table missing, no right to insert) leaves the whole batch to be sent again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/linedb/database_connection.h"

namespace dekvanto::core {

struct BatchLine {
    StatementValues row;  // RowOfLine
    uint64_t number = 0;  // its line number in the file, for reports
};

// What storing a batch did.
struct BatchStored {
    uint64_t stored = 0;   // lines the database did not hold yet
    uint64_t already = 0;  // lines it held already
    uint64_t refused = 0;  // lines it refused for their values (reported)
    // Of `already`, lines whose key the database holds with another text (reported): a foreign
    // or edited file, or two benches under one host name. The line it holds is kept.
    uint64_t differing = 0;
};

class LineBatch {
  public:
    // At most this many lines (a statement takes at most 65535 values) or about this many bytes.
    static constexpr std::size_t kMostLines = 1000;
    static constexpr std::size_t kMostBytes = 8u << 20;

    void Add(BatchLine line);
    bool Full() const { return lines_.size() >= kMostLines || bytes_ >= kMostBytes; }
    bool Empty() const { return lines_.empty(); }

    // Stores the lines the database does not hold yet and empties the batch. False (the batch
    // kept, to be sent again) with the reason in `why` when the database did not take it; a line
    // refused for its values, or held with other text, is told to `left_out` with the reason.
    bool Store(DatabaseConnection &db, BatchStored &done, std::string &why,
               const std::function<void(uint64_t number, const std::string &why)> &left_out);

  private:
    // Inserts lines [first, first + count): the result's first row is the count stored, each
    // further row the place in the batch of a line held with other text.
    StatementResult Insert(DatabaseConnection &db, std::size_t first, std::size_t count);
    void CountInsert(const StatementResult &result, std::size_t first, BatchStored &counted,
                     const std::function<void(uint64_t, const std::string &)> &left_out);

    std::vector<BatchLine> lines_;
    std::size_t bytes_ = 0;
};

}  // namespace dekvanto::core
