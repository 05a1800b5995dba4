#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <ostream>

#include "core/linedb/database_connection.h"
#include "core/linedb/line_forwarder.h"
#include "core/linedb/line_reports.h"
#include "core/linedb/line_schema.h"
#include "core/records/record_time.h"
#include "core/text/outside_text.h"
#include "dekvanto/platform/interrupt.h"
#include "dekvanto/platform/port_name.h"
#include "dekvanto/platform/read_only_file.h"
#include "exit_status.h"
#include "records_command.h"
#include "records_database.h"

#ifndef DEKVANTO_VERSION
#define DEKVANTO_VERSION "0.0.0"
#endif

namespace dekvanto::cli {
namespace {

using core::TerminalText;

std::string DatabaseExitStatusHelp() {
    return "Exit status:\n"
           "  0  done\n"
           "  1  the database cannot be reached, or refused the work (the reason on standard "
           "error)\n"
           "  2  bad usage (unknown option, a database URL with a password)\n"
           "  5  the record file cannot be read\n";
}

void AddDatabaseOption(CLI::App *command, RecordsDatabaseOptions &o) {
    command
        ->add_option("--db", o.db,
                     "the line's database: a PostgreSQL URL (postgresql://user@host/db?"
                     "sslmode=verify-full) or key=value words; the password from ~/.pgpass, "
                     "PGPASSFILE or PGPASSWORD, never in the URL")
        ->type_name("URL")
        ->required();
    command->footer(DatabaseExitStatusHelp());
}

// Connects to the database of `text` and checks its tables' version (unless making them). Null
// with the reason said on standard error, and the exit status in `status`.
std::unique_ptr<core::DatabaseConnection> Connect(const std::string &text, bool check_schema,
                                                  Console &console, int &status) {
    std::string why;
    const std::optional<core::DatabaseUrl> url = core::CheckDatabaseUrl(text, why);
    if (!url) {
        console.err << "vanto: " << TerminalText(why) << std::endl;
        status = kBadUsage;
        return nullptr;
    }
    std::unique_ptr<core::DatabaseConnection> db = core::DatabaseConnection::Open(*url, why);
    if (!db) {
        console.err << "vanto: cannot reach the database " << TerminalText(url->shown) << ": "
                    << TerminalText(why) << std::endl;
        status = kOtherFailure;
        return nullptr;
    }
    if (check_schema && !core::CheckLineSchema(*db, why)) {
        console.err << "vanto: " << TerminalText(why) << std::endl;
        status = kOtherFailure;
        return nullptr;
    }
    return db;
}

int Refused(Console &console, const std::string &what, const std::string &why) {
    console.err << "vanto: " << what << ": " << TerminalText(why) << std::endl;
    return kOtherFailure;
}

int RunInit(const RecordsDatabaseOptions &o, Console &console) {
    int status = kFinished;
    std::unique_ptr<core::DatabaseConnection> db = Connect(o.db, false, console, status);
    if (!db) {
        return status;
    }
    std::string why;
    int from = 0;
    if (!core::InitLineSchema(*db, DEKVANTO_VERSION, from, why)) {
        return Refused(console, "cannot make the line's tables", why);
    }
    if (from == core::kLineSchemaVersion) {
        console.out << "the line's tables are at version " << from << " already\n";
    } else {
        console.out << "the line's tables are at version " << core::kLineSchemaVersion
                    << " now (were " << (from ? std::to_string(from) : std::string("none"))
                    << ")\n";
    }
    return kFinished;
}

// "1200 lines read, 1180 stored, 20 held already, 0 skipped"; the lines held with other text
// among those held, when there are any.
std::string CountsText(const core::PushTotals &t) {
    std::string text = std::to_string(t.lines) + " lines read, " +
                       std::to_string(t.batches.stored) + " stored, " +
                       std::to_string(t.batches.already) + " held already";
    if (t.batches.differing > 0) {
        text += " (" + std::to_string(t.batches.differing) + " of them with other text)";
    }
    return text + ", " + std::to_string(t.skipped + t.batches.refused) + " skipped";
}

void SaySkipped(Console &console, const std::string &file, uint64_t number,
                const std::string &why) {
    console.err << "vanto: " << TerminalText(core::SkippedLineText(file, number, why)) << '\n';
}

int RunPush(const RecordsDatabaseOptions &o, Console &console) {
    int status = kFinished;
    std::optional<platform::ReadOnlyFile> file = platform::ReadOnlyFile::OpenOutsideText(o.file);
    if (!file) {
        console.err << "vanto: cannot read the record file " << TerminalText(o.file)
                    << (platform::RefusedAsLinkForAdministrator(o.file)
                            ? " (a symbolic link, which root does not read through)"
                            : "")
                    << std::endl;
        return kFileError;
    }
    std::unique_ptr<core::DatabaseConnection> db = Connect(o.db, true, console, status);
    if (!db) {
        return status;
    }
    core::RecordLineSource source(std::move(*file), {});
    core::PushCallbacks callbacks;
    callbacks.skipped = [&](uint64_t number, const std::string &why) {
        SaySkipped(console, o.file, number, why);
    };
    callbacks.stored = [](const core::LinePosition &) {};
    core::LinePusher pusher(source, callbacks);
    std::string why;
    const bool pushed = pusher.PushAvailable(*db, why);
    if (source.HasPendingLine()) {
        SaySkipped(console, o.file, source.Position().line,
                   "last line without its end (cut off, or being written now)");
    }
    console.out << "pushed " << TerminalText(o.file) << ": " << CountsText(pusher.Totals()) << '\n'
                << std::flush;
    if (!pushed) {
        return Refused(console,
                       "the database stopped taking lines after line " +
                           std::to_string(source.Position().line - 1) +
                           " (push again: what it holds is not stored twice)",
                       why);
    }
    return kFinished;
}

int RunFollow(const RecordsDatabaseOptions &o, Console &console) {
    std::string why;
    const std::optional<core::DatabaseUrl> url = core::CheckDatabaseUrl(o.db, why);
    if (!url) {
        console.err << "vanto: " << TerminalText(why) << std::endl;
        return kBadUsage;
    }
    core::ForwarderSettings settings;
    settings.file = o.file;
    settings.database = *url;
    settings.position_file = o.position.value_or(core::DefaultPositionFile(o.file));
    core::ForwarderHooks hooks;
    hooks.say = [&console](const std::string &line) {
        console.err << "vanto: " << TerminalText(line) << std::endl;
    };
    hooks.wait = [](std::chrono::milliseconds time) {
        return platform::SleepUnlessInterrupted(time);
    };
    platform::InterruptGuard interrupts(nullptr);
    core::LineForwarder forwarder(settings, hooks);
    forwarder.Run();
    console.err << "vanto: stopped following " << TerminalText(o.file) << ": "
                << CountsText(forwarder.Totals()) << std::endl;
    return kFinished;
}

std::string Percent(uint64_t share, uint64_t whole) {
    if (whole == 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%",
                  100.0 * static_cast<double>(share) / static_cast<double>(whole));
    return text;
}

void WriteYieldTable(std::ostream &out, const std::string &by,
                     const std::vector<core::YieldRow> &rows) {
    char line[512];
    std::snprintf(line, sizeof line, "%-32s %8s %8s %8s %8s %11s %9s %11s\n", by.c_str(), "units",
                  "PASS", "FAIL", "phones", "first-pass", "retested", "last PASS");
    out << line;
    for (const core::YieldRow &r : rows) {
        const std::string group(core::CutText(TerminalText(r.group), 64));
        std::snprintf(
            line, sizeof line, "%-32s %8llu %8llu %8llu %8llu %11s %9llu %11s\n", group.c_str(),
            static_cast<unsigned long long>(r.units), static_cast<unsigned long long>(r.passed),
            static_cast<unsigned long long>(r.failed), static_cast<unsigned long long>(r.phones),
            Percent(r.first_pass, r.phones).c_str(), static_cast<unsigned long long>(r.retested),
            Percent(r.last_pass, r.phones).c_str());
        out << line;
    }
}

void WriteYieldCsv(std::ostream &out, const std::string &by,
                   const std::vector<core::YieldRow> &rows) {
    out << by << ",units,pass,fail,phones,first_pass,retested,last_pass\n";
    for (const core::YieldRow &r : rows) {
        out << core::CsvCell(r.group) << ',' << r.units << ',' << r.passed << ',' << r.failed << ','
            << r.phones << ',' << r.first_pass << ',' << r.retested << ',' << r.last_pass << '\n';
    }
}

int RunYield(const RecordsDatabaseOptions &o, Console &console) {
    int status = kFinished;
    std::unique_ptr<core::DatabaseConnection> db = Connect(o.db, true, console, status);
    if (!db) {
        return status;
    }
    core::DatabaseFilter filter;
    filter.station = o.station;
    filter.host = o.host;
    if (o.since) {
        filter.since = core::TimestampOfDate(*o.since);
    }
    std::vector<core::YieldRow> rows;
    const core::YieldGroup by = core::YieldGroupOfWord(o.by).value_or(core::YieldGroup::kProduct);
    const std::string error = core::DatabaseYield(*db, by, filter, rows);
    if (!error.empty()) {
        return Refused(console, "cannot read the yield", error);
    }
    if (o.csv) {
        WriteYieldCsv(console.out, o.by, rows);
    } else {
        WriteYieldTable(console.out, o.by, rows);
    }
    console.out << std::flush;
    return kFinished;
}

int RunUnit(const RecordsDatabaseOptions &o, Console &console) {
    int status = kFinished;
    std::unique_ptr<core::DatabaseConnection> db = Connect(o.db, true, console, status);
    if (!db) {
        return status;
    }
    uint64_t lines = 0;
    const std::string error = core::EachLineOfPhone(*db, o.unit_id, [&](const std::string &line) {
        console.out << TerminalText(line) << '\n';
        ++lines;
    });
    console.out << std::flush;
    if (!error.empty()) {
        return Refused(console, "cannot read the unit's lines", error);
    }
    if (lines == 0) {
        console.err << "vanto: no line of a unit " << TerminalText(o.unit_id) << " in the database"
                    << std::endl;
    }
    return kFinished;
}

}  // namespace

int ListUnitsFromDatabase(const RecordsOptions &options, Console &console) {
    int status = kFinished;
    std::unique_ptr<core::DatabaseConnection> db =
        Connect(*options.database, true, console, status);
    if (!db) {
        return status;
    }
    core::DatabaseFilter filter;
    filter.station = options.station;
    filter.host = options.host;
    if (options.since) {
        filter.since = core::TimestampOfDate(*options.since);
    }
    filter.failed_only = options.failed;
    UnitListing listing(console.out, options.csv);
    const std::string error = core::EachDatabaseUnit(
        *db, filter, [&listing](const core::RecordedUnit &unit) { listing.Add(unit); });
    if (!error.empty()) {
        console.out << std::flush;
        return Refused(console, "cannot read the units", error);
    }
    listing.Finish();
    return kFinished;
}

void AddRecordsDatabaseCommands(CLI::App &records, RecordsDatabaseOptions &o) {
    CLI::App *init = records.add_subcommand(
        "init-db", "Make the line's tables and views in a PostgreSQL database, or upgrade them");
    AddDatabaseOption(init, o);

    CLI::App *push = records.add_subcommand(
        "push",
        "Send every line of a record file that the database does not hold yet (each "
        "line is stored once, however often it is sent)");
    push->add_option("FILE", o.file, "record file")->required();
    AddDatabaseOption(push, o);

    CLI::App *follow = records.add_subcommand(
        "follow",
        "Keep sending a record file's new lines to the database as the bench appends "
        "them, across rotation of the file and restarts, waiting while the database "
        "is away; until Ctrl-C or SIGTERM");
    follow->add_option("FILE", o.file, "record file")->required();
    follow->add_option("--position", o.position,
                       "where to keep how far the file has been sent (default: the record "
                       "file's name with .forwarded after it)");
    AddDatabaseOption(follow, o);

    CLI::App *yield = records.add_subcommand(
        "yield",
        "Units, PASS, FAIL, phones and first-pass yield from the database, per group "
        "(a phone is a scanned identifier; its later units are retests)");
    yield->add_option("--by", o.by, "group by")
        ->check(CLI::IsMember({"product", "firmware", "station", "host", "day"}));
    yield->add_option("--station", o.station, "only the units of this station")
        ->type_name("COM<n>")
        ->check(StationCheck());
    yield->add_option("--host", o.host, "only the units of this bench PC");
    yield->add_option("--since", o.since, "only the units started at or after this UTC date")
        ->type_name("DATE")
        ->check(DateCheck());
    yield->add_flag("--csv", o.csv, "comma-separated, a header line first");
    AddDatabaseOption(yield, o);

    CLI::App *unit = records.add_subcommand(
        "unit", "Every record line of one phone (by its scanned identifier) from the database");
    unit->add_option("ID", o.unit_id, "the phone's scanned identifier")->required();
    AddDatabaseOption(unit, o);
}

std::optional<int> RunRecordsDatabaseCommand(CLI::App &records, const RecordsDatabaseOptions &o,
                                             Console &console) {
    using Run = int (*)(const RecordsDatabaseOptions &, Console &);
    const std::pair<const char *, Run> commands[] = {{"init-db", RunInit},
                                                     {"push", RunPush},
                                                     {"follow", RunFollow},
                                                     {"yield", RunYield},
                                                     {"unit", RunUnit}};
    for (const auto &[name, run] : commands) {
        if (records.got_subcommand(name)) {
            return run(o, console);
        }
    }
    return std::nullopt;
}

}  // namespace dekvanto::cli
