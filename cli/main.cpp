// vanto: the command-line front end (vanto_cli.h).
#include <signal.h>
#include <unistd.h>

#include <exception>
#include <iostream>

#include "exit_status.h"
#include "vanto_cli.h"

int main(int argc, char **argv) {
    ::signal(SIGPIPE, SIG_IGN);
    vanto::Console console{std::cout, std::cerr, std::cin, STDIN_FILENO,
                           ::isatty(STDOUT_FILENO) == 1};
    try {
        return vanto::RunVanto(std::vector<std::string>(argv + 1, argv + argc), console);
    } catch (const std::exception &error) {
        std::cerr << "vanto: " << error.what() << std::endl;
        return vanto::kOtherFailure;
    }
}
