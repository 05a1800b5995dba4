// The simulated phone's thread keeps a phone's time. A real phone has a processor of its own: it
// answers a frame within its time however busy the PC is. A simulated phone shares the PC's
// processors, and a PC busy enough would keep its thread waiting past the engine's wait for an
// acknowledgement (125 ms), making a phone that is there look absent (a probe unanswered, a
// removal recorded while the phone stays) or a unit fail for no fault of its own.
#pragma once

namespace dekvanto::sim {

// Asks the system to run the calling thread before ordinary threads (round-robin real-time
// scheduling at its lowest priority). The thread spends its life waiting on the line, so it takes
// little. Where the system does not allow it (no privilege for it), the thread stays as it was;
// false then.
bool KeepPhoneTime();

}  // namespace dekvanto::sim
