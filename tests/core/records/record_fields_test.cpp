// The table of record fields against what must follow it: the field table of the users' guide
// to the record, and the columns of `vanto records --csv`, whose positions spreadsheets rely on.
#include "core/records/record_fields.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace dekvanto::core {
namespace {

// The rows of the guide's "Field | Line | Meaning" table, one a line.
std::string GuideTable() {
    std::ifstream guide(DEKVANTO_RECORDS_GUIDE);
    std::string line;
    while (std::getline(guide, line) && !line.starts_with("| Field | Line | Meaning |")) {
    }
    std::getline(guide, line);  // the line under the heads
    std::string rows;
    while (std::getline(guide, line) && line.starts_with("|")) {
        rows += line + '\n';
    }
    return rows;
}

TEST(RecordFields, TheGuidesTableIsTheFieldTable) {
    std::string table;
    for (const RecordField &field : RecordFields()) {
        table += "| `" + std::string(field.key) + "` | " + std::string(LinesText(field.lines)) +
                 " | " + std::string(field.meaning) + " |\n";
    }
    EXPECT_EQ(GuideTable(), table);
}

TEST(RecordFields, CsvColumnsKeepTheirPositionsAndNewOnesComeAfter) {
    const char *const kColumns[] = {
        "started",     "ended",        "station", "unit",   "unit_id",     "outcome",
        "result",      "status",       "seconds", "bytes",  "result_line", "reason",
        "operator",    "host",         "product", "device", "usb_serial",  "loader_sha256",
        "code_sha256", "perso_sha256", "removed"};
    const std::vector<CsvColumn> columns = CsvColumns();
    ASSERT_GE(columns.size(), std::size(kColumns));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        EXPECT_EQ(columns[i].position, static_cast<int>(i) + 1) << columns[i].name;
        if (i < std::size(kColumns)) {
            EXPECT_EQ(columns[i].name, kColumns[i]) << "column " << i + 1;
        }
    }
}

}  // namespace
}  // namespace dekvanto::core
