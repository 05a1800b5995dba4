#include "download_options.h"

#include <CLI/CLI.hpp>

#include "exit_status.h"

namespace dekvanto::cli {

CLI::App *AddDownloadCommand(CLI::App &app, DownloadOptions &o) {
    CLI::App *cmd = app.add_subcommand(
        "download",
        "Download a loader, a code file and a personalization file into a phone, as the window's "
        "\"Start download\" does. Settings come from --settings and --product when given, "
        "defaults otherwise; options given here override them.");
    cmd->add_option("--port", o.ports,
                    "serial port COM<n>; several (repeated or comma-separated) flash several "
                    "phones at once, one process per port")
        ->delimiter(',');
    cmd->add_option("--station-port", o.station_port)->group("");  // one station of several
    cmd->add_option("--loader", o.loader,
                    "loader file (default: the product's, or the settings "
                    "file's LoadFilePath)");
    cmd->add_option("--code", o.code, "code file (.bin); left out: no code file is sent");
    cmd->add_option("--perso", o.perso,
                    "personalization file (.psb); left out: no personalization file is sent");
    cmd->add_option("--speed", o.speed, "download speed in bit/s")
        ->check(CLI::IsMember({57600, 115200, 230400, 460800}));
    cmd->add_option("--parity", o.parity, "parity the phone switches to")
        ->check(CLI::IsMember({"none", "odd", "even"}));
    cmd->add_option("--stop-bits", o.stop_bits, "stop bits")->check(CLI::IsMember({1, 2}));
    cmd->add_option("--bus", o.bus, "phone memory bus width in bits")
        ->check(CLI::IsMember({8, 16}));
    cmd->add_option("--wait-states", o.wait_states, "phone memory wait states")
        ->check(CLI::Range(0, 3));
    cmd->add_flag("--blind", o.blind,
                  "blind mode: do not read the phone's answers (default: acknowledged)");
    cmd->add_flag("--step", o.step,
                  "step mode: confirm the code file and the personalization file with Enter");
    cmd->add_option("--reboot-delay", o.reboot_delay,
                    "seconds to wait for the phone's restart before the personalization file "
                    "(blind mode without --step)")
        ->check(CLI::Range(0, 3600));
    cmd->add_option("--settings", o.settings_file,
                    "settings file MX40.ini to take the window's settings from (never written)");
    cmd->add_option("--product", o.product,
                    "product name from the product list: sets the loader, bus width and wait "
                    "states");
    cmd->add_option("--products", o.products_file,
                    "product list (default: dekvanto.cfg beside --settings, else beside vanto)");
    cmd->add_option("--trace", o.trace_file,
                    "write every byte sent and received, with time and phase, to this file");
    cmd->add_flag("--json", o.json,
                  "print one JSON summary on standard output at the end (the log goes to "
                  "standard error)");
    cmd->footer(ExitStatusHelp());
    return cmd;
}

}  // namespace dekvanto::cli
