#include "exit_status.h"

namespace dekvanto::cli {

ExitStatus StatusOfDownloadResult(int32_t result) {
    return ExitStatusOf(dekvanto::core::ClassOfDownloadResult(result));
}

ExitStatus StatusOfMapCheck(int32_t result) {
    return ExitStatusOf(dekvanto::core::ClassOfMapCheck(result));
}

std::string ExitStatusHelp() {
    return "Exit status:\n"
           "  0  download finished (check-map: the files agree)\n"
           "  1  other failure (unknown result, engine library missing or incomplete)\n"
           "  2  bad usage (unknown option, value out of range, unknown product, no loader)\n"
           "  3  stopped (Ctrl-C)\n"
           "  4  port error (missing, busy or not permitted port, line failure)\n"
           "  5  file error (missing, unreadable or short file, no memory for it)\n"
           "  6  no or bad acknowledgement, or no synchronisation with the phone\n"
           "  7  setting not supported by the engine (speed, parity, stop bits, bus, wait "
           "states)\n"
           "  8  mapping check refused the code and personalization files\n"
           "Several stations: 0 when all finished, else the status of the first station (in "
           "the order of --port) that did not.\n";
}

std::string BenchExitStatusHelp() {
    return "Exit status:\n"
           "  0  every unit passed\n"
           "  9  some unit failed (the record tells which and how)\n"
           "  3  stopped (Ctrl-C); a unit that was running is recorded as stopped\n"
           "  2  bad usage (unknown option, value out of range, unknown product, no loader, "
           "blind mode without --scan, step mode)\n"
           "  5  file error (a file to send, or the record file: cannot be opened or written)\n"
           "  4  port error (a station's port is missing, busy or not permitted, or failed "
           "while no phone was on it)\n"
           "  1, 6, 7, 8  as for download: a station could not go on\n"
           "A station that cannot go on gives its status (the first such station in the order "
           "of --port); else 3 when stopped, 9 when a unit failed, 0 when all passed.\n";
}

}  // namespace dekvanto::cli
