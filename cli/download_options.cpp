#include "download_options.h"

#include <CLI/CLI.hpp>

#include "core/bench/bench_rules.h"
#include "core/settings/setting_values.h"
#include "exit_status.h"

namespace dekvanto::cli {
namespace {

// An option that takes one of a setting's words; anything else is refused with the list.
void AddSettingOption(CLI::App &cmd, const std::string &name, std::optional<std::string> &value,
                      const dekvanto::core::SettingValues &values, const std::string &type,
                      const std::string &help) {
    cmd.add_option(name, value, help)->check(CLI::IsMember(values.Words()))->type_name(type);
}

}  // namespace

CLI::App *AddDownloadCommand(CLI::App &app, DownloadOptions &o) {
    CLI::App *cmd = app.add_subcommand(
        "download",
        "Download a loader, a code file and a personalization file into a phone, as the window's "
        "\"Start download\" does. Settings come from --settings and --product when given, "
        "defaults otherwise; options given here override them.");
    AddDownloadRequestOptions(*cmd, o);
    cmd->add_flag("--json", o.json,
                  "print one JSON summary on standard output at the end (the log goes to "
                  "standard error; not with --events)");
    cmd->footer(ExitStatusHelp());
    return cmd;
}

void AddDownloadRequestOptions(CLI::App &cmd, DownloadOptions &o, bool unattended) {
    cmd.add_option("--port", o.ports,
                   "serial port COM<n>; several (repeated or comma-separated) flash several "
                   "phones at once, one process per port")
        ->delimiter(',');
    cmd.add_option("--station-port", o.station_port)->group("");  // one station of several
    dekvanto::core::DownloadOverrides &r = o.request;
    cmd.add_option("--loader", r.loader,
                   "loader file (default: the product's, or the settings "
                   "file's LoadFilePath)");
    cmd.add_option("--code", r.code, "code file (.bin); left out: no code file is sent");
    cmd.add_option("--perso", r.perso,
                   "personalization file (.psb); left out: no personalization file is sent");
    AddSettingOption(cmd, "--speed", r.speed, dekvanto::core::kSpeeds, "INT",
                     "download speed in bit/s");
    AddSettingOption(cmd, "--parity", r.parity, dekvanto::core::kParities, "TEXT",
                     "parity the phone switches to");
    AddSettingOption(cmd, "--stop-bits", r.stop_bits, dekvanto::core::kStopBits, "INT",
                     "stop bits");
    AddSettingOption(cmd, "--bus", r.bus, dekvanto::core::kBusWidths, "INT",
                     "phone memory bus width in bits");
    AddSettingOption(cmd, "--wait-states", r.wait_states, dekvanto::core::kWaitStates, "INT",
                     "phone memory wait states");
    cmd.add_flag("--blind", r.blind,
                 "blind mode: do not read the phone's answers (default: acknowledged)");
    if (!unattended) {
        cmd.add_flag("--step", r.step,
                     "step mode: confirm the code file and the personalization file with Enter");
    }
    cmd.add_option("--reboot-delay", r.reboot_delay,
                   unattended ? "seconds to wait for the phone's restart before the "
                                "personalization file (blind mode)"
                              : "seconds to wait for the phone's restart before the "
                                "personalization file (blind mode without --step)")
        ->check(CLI::Range(0, dekvanto::core::kMaxRebootDelaySeconds));
    cmd.add_option("--settings", r.settings_file,
                   "settings file MX40.ini to take the window's settings from (never written)");
    cmd.add_option("--product", r.product,
                   "product name from the product list (letter case ignored): sets the loader, "
                   "bus width and wait states");
    cmd.add_option("--products", r.product_list,
                   "product list (default: dekvanto.cfg beside --settings, else beside vanto)");
    cmd.add_option("--trace", o.trace_file,
                   "write every byte sent and received, with time and phase, to this file");
    cmd.add_flag("--events", o.events,
                 "print the events on standard output as they happen, one JSON object per "
                 "line (docs/events.md); the log goes to standard error");
}

}  // namespace dekvanto::cli
