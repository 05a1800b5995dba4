// vanto: the command-line front end (vanto_cli.h).
#include <exception>
#include <iostream>

#include "exit_status.h"
#include "process_console.h"
#include "vanto_cli.h"

int main(int argc, char **argv) {
    dekvanto::cli::PrepareProcessConsole();
    const bool terminal = dekvanto::cli::StandardOutputIsTerminal();
    dekvanto::cli::Console console{std::cout, std::cerr,
                                   std::cin,  dekvanto::cli::StandardInputDescriptor(),
                                   terminal,  terminal ? dekvanto::cli::TerminalColumns() : 0};
    try {
        return dekvanto::cli::RunVanto(std::vector<std::string>(argv + 1, argv + argc), console);
    } catch (const std::exception &error) {
        std::cerr << "vanto: " << error.what() << std::endl;
        return dekvanto::cli::kOtherFailure;
    }
}
