// vanto: the command-line front end (vanto_cli.h).
#include <exception>
#include <iostream>

#include "dekvanto/platform/process_console.h"
#include "exit_status.h"
#include "vanto_cli.h"

int main(int argc, char **argv) {
    dekvanto::platform::PrepareProcessConsole();
    const bool terminal = dekvanto::platform::StandardOutputIsTerminal();
    dekvanto::cli::Console console{std::cout, std::cerr,
                                   std::cin,  dekvanto::platform::StandardInputDescriptor(),
                                   terminal,  terminal ? dekvanto::platform::TerminalColumns() : 0};
    try {
        return dekvanto::cli::RunVanto(std::vector<std::string>(argv + 1, argv + argc), console);
    } catch (const std::exception &error) {
        std::cerr << "vanto: " << error.what() << std::endl;
        return dekvanto::cli::kOtherFailure;
    }
}
