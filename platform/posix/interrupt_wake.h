// How a wait on descriptors learns of Ctrl-C: the SIGINT handler writes a byte into a pipe whose
// read end can be polled with the rest, so a Ctrl-C that comes just before the poll is not missed.
#pragma once

namespace dekvanto::platform {

// The read end of the wake pipe while an InterruptGuard is installed, else -1.
int InterruptWakeDescriptor();

}  // namespace dekvanto::platform
