// The process's own standard streams, looked at and set up once before the tool runs.
#pragma once

namespace dekvanto::platform {

// Sets up the process for the tool. POSIX: a reader that goes away (vanto ... | head) must not
// kill the tool in the middle of a download, so SIGPIPE is ignored and the write fails instead.
// Windows: a console draws the escape sequences of the station board (virtual terminal
// processing on, where the console has it).
void PrepareProcessConsole();

// Standard input's descriptor (0); whether standard output is a terminal (a console on Windows),
// and then its width in characters (0 when it cannot be told).
int StandardInputDescriptor();
bool StandardOutputIsTerminal();
int TerminalColumns();

}  // namespace dekvanto::platform
