#include "vanto_cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>

#include "bench_command.h"
#include "bench_options.h"
#include "download_command.h"
#include "exit_status.h"
#include "info_commands.h"
#include "records_command.h"
#include "records_database.h"

#ifndef DEKVANTO_VERSION
#define DEKVANTO_VERSION "0.0.0"
#endif

namespace dekvanto::cli {
namespace {

struct Commands {
    DownloadOptions download;
    BenchOptions bench;
    std::string code;
    std::string perso;
    std::optional<std::string> assign;
    std::optional<std::string> products;
    std::vector<std::string> simulate_args;
    RecordsOptions records;
    RecordsDatabaseOptions database;
};

}  // namespace

int RunVanto(const std::vector<std::string> &args, Console &console, const Context &context) {
    CLI::App app{
        "DEKVANTO downloader on the command line: puts firmware into VANTO phones over a "
        "serial line, like the window, for scripts and production benches.",
        "vanto"};
    app.set_version_flag("--version", std::string("vanto ") + DEKVANTO_VERSION);
    app.require_subcommand(1);
    app.footer(ExitStatusHelp());
    Commands c;
    CLI::App *download = AddDownloadCommand(app, c.download);
    CLI::App *bench = AddBenchCommand(app, c.bench);
    CLI::App *check = app.add_subcommand(
        "check-map",
        "Check that a personalization file fits the memory mapping of a code file, "
        "as the window does before a download that sends both");
    check->add_option("CODE", c.code, "code file")->required();
    check->add_option("PERSO", c.perso, "personalization file")->required();
    check->footer(ExitStatusHelp());
    CLI::App *ports = app.add_subcommand(
        "ports", "List the serial ports COM<n> with the device and USB product name behind each");
    ports->add_option("--assign", c.assign,
                      "first give a device a port number: COM<n>=DEVICE (a link in the port "
                      "register), DEVICE the absolute path of a serial device such as "
                      "/dev/ttyUSB0 or /dev/serial/by-id/...");
    CLI::App *products = app.add_subcommand(
        "products", "List the products of a product list with their fields and skipped lines");
    products->add_option("--products", c.products,
                         "product list (default: dekvanto.cfg beside "
                         "vanto)");
    CLI::App *records = AddRecordsCommand(app, c.records);
    AddRecordsDatabaseCommands(*records, c.database);
    CLI::App *simulate =
        app.add_subcommand("simulate",
                           "Run the phone simulator on a pseudo-terminal (options: vanto simulate "
                           "--help)");
    simulate->prefix_command();
    simulate->set_help_flag();

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError &error) {
        const int status = app.exit(error, console.out, console.err);
        return status == 0 ? kFinished : kBadUsage;
    }
    if (download->parsed()) {
        const auto at = std::find(args.begin(), args.end(), "download");
        return RunDownloadCommand(c.download, std::vector<std::string>(at, args.end()), console,
                                  context);
    }
    if (bench->parsed()) {
        const auto at = std::find(args.begin(), args.end(), "bench");
        return RunBenchCommand(c.bench, std::vector<std::string>(at, args.end()), console, context);
    }
    if (check->parsed()) {
        return RunCheckMap(c.code, c.perso, console, context);
    }
    if (ports->parsed()) {
        return RunPorts(c.assign, console);
    }
    if (products->parsed()) {
        return RunProducts(c.products.value_or(context.Files().product_list.string()), console);
    }
    if (records->parsed()) {
        if (const std::optional<int> status =
                RunRecordsDatabaseCommand(*records, c.database, console)) {
            return *status;
        }
        return RunRecordsCommand(c.records, console);
    }
    if (simulate->parsed()) {
        return RunSimulate(simulate->remaining(), console);
    }
    return kBadUsage;
}

}  // namespace dekvanto::cli
