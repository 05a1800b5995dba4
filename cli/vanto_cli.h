// vanto: the command-line front end of the DEKVANTO downloader, for scripted production benches.
//
//   vanto download --port COM3 --loader L.bin --code C.bin [--perso P.psb] [options]
//   vanto bench --port COM3,COM4 [download options] --record FILE [--count N] [--poll SECONDS]
//               [--scan] [--operator NAME] [--events]
//   vanto check-map CODE PERSO
//   vanto ports [--assign COM<n>=DEVICE]
//   vanto products [--products FILE]
//   vanto records FILE [--station COM<n>] [--since DATE] [--failed] [--csv]
//   vanto simulate [simulator options]
//   vanto --version
//
// It stands on the application core: the same settings, product list, download control and log
// lines as the window, with the engine library loaded from the program's own directory.
#pragma once

#include <string>
#include <vector>

#include "console.h"

namespace dekvanto::cli {

// Runs the tool with the arguments after the program name; returns the exit status.
int RunVanto(const std::vector<std::string> &args, Console &console, const Context &context = {});

}  // namespace dekvanto::cli
