#include "records_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <ostream>

#include "core/files/read_only_file.h"
#include "core/ports/port_name.h"
#include "core/records/record_fields.h"
#include "core/records/record_reader.h"
#include "core/records/record_stream.h"
#include "core/records/record_time.h"
#include "core/text/outside_text.h"
#include "dekvanto/platform/port_name.h"
#include "exit_status.h"
#include "records_database.h"

namespace dekvanto::cli {
namespace {

using dekvanto::core::CsvColumn;
using dekvanto::core::RecordedUnit;
using dekvanto::core::UnitRecord;

std::string Format(const char *format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void WriteCsvHeader(std::ostream &out, const std::vector<CsvColumn> &columns) {
    std::string header;
    for (const CsvColumn &column : columns) {
        header += (header.empty() ? "" : ",") + std::string(column.name);
    }
    out << header << '\n';
}

void WriteCsvRow(std::ostream &out, const std::vector<CsvColumn> &columns,
                 const RecordedUnit &unit) {
    std::string row;
    for (const CsvColumn &column : columns) {
        row += (row.empty() ? "" : ",") + dekvanto::core::CsvCell(column.cell(unit));
    }
    out << row << '\n';
}

// "2024-05-17T08:30:15.250Z  COM3  #12 [ID]  PASS  57.1 s  <result line>", and for a unit that
// did not pass the bench's reason after it: "... FAIL  12.3 s  <result line> (no acknowledgement
// in the code file)".
void WriteUnitLine(std::ostream &out, const UnitRecord &r) {
    using dekvanto::core::TerminalText;
    out << TerminalText(r.start.started) << "  " << TerminalText(r.start.station) << "  #"
        << r.start.unit;
    if (r.start.unit_id) {
        out << " [" << TerminalText(*r.start.unit_id) << "]";
    }
    out << "  " << VerdictWord(VerdictOf(r));
    if (r.end) {
        out << "  " << Format("%.1f", r.end->seconds) << " s  " << TerminalText(r.end->result_line);
        if (r.end->reason) {
            out << " (" << TerminalText(*r.end->reason) << ")";
        }
    } else {
        out << "  (no end line)";
    }
    out << '\n';
}

std::string RecordsExitStatusHelp() {
    return "Exit status:\n"
           "  0  the units were listed\n"
           "  1  the database cannot be reached, or refused the query (--db)\n"
           "  2  bad usage (unknown option, a station that is not COM<n>, a date that is not "
           "YYYY-MM-DD[THH:MM[:SS]], a database URL with a password)\n"
           "  5  the record file cannot be read\n";
}

void WriteCounts(std::ostream &out, const dekvanto::core::VerdictCounts &c) {
    out << c.units << " units, " << c.passed << " passed, " << c.failed << " failed, " << c.stopped
        << " stopped, " << c.interrupted << " interrupted\n";
}

void WriteTotals(std::ostream &out, const dekvanto::core::RecordTotals &totals) {
    out << "Totals: ";
    WriteCounts(out, totals.all);
    for (const auto &[station, counts] : totals.stations) {
        out << "  " << dekvanto::core::TerminalText(station) << ": ";
        WriteCounts(out, counts);
    }
    out << "Results:\n";
    for (const auto &[label, count] : totals.results) {
        out << "  " << count << "  " << dekvanto::core::TerminalText(label) << '\n';
    }
}

}  // namespace

UnitListing::UnitListing(std::ostream &out, bool csv)
    : out_(out), csv_(csv), columns_(csv ? core::CsvColumns() : std::vector<CsvColumn>{}) {
    if (csv_) {
        WriteCsvHeader(out_, columns_);
    }
}

void UnitListing::Add(const RecordedUnit &unit) {
    if (csv_) {
        WriteCsvRow(out_, columns_, unit);
    } else {
        WriteUnitLine(out_, unit.record);
        totals_.Add(unit.record);
    }
}

void UnitListing::Finish() {
    if (!csv_) {
        WriteTotals(out_, totals_.Totals());
    }
    out_ << std::flush;
}

CLI::Validator StationCheck() {
    return CLI::Validator(
        [](std::string &text) {
            const auto port = dekvanto::platform::PortName::Parse(text);
            if (!port) {
                return std::string("not COM followed by a number");
            }
            text = port->Text();
            return std::string();
        },
        "");
}

CLI::Validator DateCheck() {
    return CLI::Validator(
        [](std::string &text) {
            return dekvanto::core::TimestampOfDate(text) ? std::string()
                                                         : "not a date YYYY-MM-DD[THH:MM[:SS]]";
        },
        "");
}

namespace {

dekvanto::core::UnitFilter FilterOf(const RecordsOptions &options) {
    dekvanto::core::UnitFilter filter;
    filter.station = options.station;
    if (options.since) {
        filter.since = dekvanto::core::TimestampOfDate(*options.since);
    }
    filter.failed_only = options.failed;
    return filter;
}

}  // namespace

CLI::App *AddRecordsCommand(CLI::App &app, RecordsOptions &o) {
    CLI::App *cmd = app.add_subcommand(
        "records",
        "List the units of a bench's record file (JSON Lines) with their outcome, interrupted "
        "units marked, then totals per station and per result");
    // Not required by the parser: the database's subcommands (push, yield...) take its place.
    cmd->add_option("FILE", o.file, "record file");
    cmd->add_option("--db", o.database,
                    "list the units from the line's database instead of a file, across every "
                    "bench PC (a PostgreSQL URL, as for 'records push')")
        ->type_name("URL");
    cmd->add_option("--station", o.station, "only the units of this station")
        ->type_name("COM<n>")
        ->check(StationCheck());
    cmd->add_option("--host", o.host, "only the units of this bench PC");
    cmd->add_option("--since", o.since,
                    "only the units started at or after this UTC date or time "
                    "(2024-05-17, 2024-05-17T08:30)")
        ->type_name("DATE")
        ->check(DateCheck());
    cmd->add_flag("--failed", o.failed,
                  "only the units that did not pass (failed, stopped or interrupted)");
    cmd->add_flag("--csv", o.csv,
                  "write a header line and one comma-separated row per unit, nothing else");
    cmd->footer(RecordsExitStatusHelp());
    return cmd;
}

int RunRecordsCommand(const RecordsOptions &options, Console &console) {
    if (options.database) {
        if (!options.file.empty()) {
            console.err << "vanto: records: a record FILE or --db, not both" << std::endl;
            return kBadUsage;
        }
        return ListUnitsFromDatabase(options, console);
    }
    if (options.file.empty()) {
        console.err << "vanto: records: a record FILE or --db URL is required (vanto records "
                       "--help)"
                    << std::endl;
        return kBadUsage;
    }
    std::ifstream in;
    if (dekvanto::core::StatusOfReadableFile(options.file)) {
        in.open(options.file, std::ios::binary);
    }
    if (!in.is_open()) {
        console.err << "vanto: cannot read the record file " << options.file << std::endl;
        return kFileError;
    }
    const dekvanto::core::UnitFilter filter = FilterOf(options);
    // Each unit is written as the reading hands it out, so that memory stays flat whatever the
    // file's size; the totals come once every unit is in.
    UnitListing listing(console.out, options.csv);
    const auto write_unit = [&](const RecordedUnit &unit) {
        if (filter.Admits(unit) && (!options.host || unit.record.constants.host == *options.host)) {
            listing.Add(unit);
        }
    };
    const auto report_skipped = [&](const dekvanto::core::SkippedRecordLine &skipped) {
        console.err << "vanto: " << options.file << " line " << skipped.number
                    << " skipped: " << dekvanto::core::TerminalText(skipped.reason) << '\n';
    };
    dekvanto::core::StreamRecordFile(in, {write_unit, report_skipped});
    listing.Finish();
    console.err << std::flush;
    return kFinished;
}

}  // namespace dekvanto::cli
