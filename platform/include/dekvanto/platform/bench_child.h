// A front end's child process that runs a bench (the bench window's `vanto bench`): it must stop
// when asked as it would at Ctrl-C on a terminal, and it must not outlive its front end, flashing
// phones with nobody watching and holding the ports.
#pragma once

namespace dekvanto::platform {

// Called in the child between its creation and the start of its program (Qt's child process
// modifier): POSIX puts it in a process group of its own, which a stop reaches whole, and has the
// system send it SIGTERM (which `vanto bench` takes as Ctrl-C) when the front end dies. Windows
// has nothing to do here.
void PrepareBenchChild();

// After the child's start, from the front end's side: the process group made on POSIX as well,
// so that a stop right after the start finds it.
void AdoptBenchChild(long process_id);

// Stops the child and its stations as Ctrl-C would: POSIX sends SIGINT to its process group.
void InterruptBenchChild(long process_id);

}  // namespace dekvanto::platform
