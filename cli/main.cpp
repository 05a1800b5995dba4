// vanto: the command-line front end (vanto_cli.h).
#include <exception>
#include <iostream>

#include "exit_status.h"
#include "process_console.h"
#include "vanto_cli.h"

int main(int argc, char **argv) {
    vanto::PrepareProcessConsole();
    const bool terminal = vanto::StandardOutputIsTerminal();
    vanto::Console console{std::cout, std::cerr,
                           std::cin,  vanto::StandardInputDescriptor(),
                           terminal,  terminal ? vanto::TerminalColumns() : 0};
    try {
        return vanto::RunVanto(std::vector<std::string>(argv + 1, argv + argc), console);
    } catch (const std::exception &error) {
        std::cerr << "vanto: " << error.what() << std::endl;
        return vanto::kOtherFailure;
    }
}
