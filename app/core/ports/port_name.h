// The port text that the settings file stores and the main window's Settings dialog takes, read
// the settings file's way, and how the dialog matches text against its port list.
//
// The settings file holds the port as it was typed ("COM 8", "com4" written by hand); the dialog
// and the download read it as the settings file always has, more loosely than a port name given
// anywhere else. Every other port name is read by dekvanto/platform/port_name.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dekvanto::core {

// The decimal number after the first three characters of a port name ("COM12" gives 12),
// read like scanf's %d: leading white space, an optional sign, then digits up to the first other
// character. Nothing when no digit follows, or the number does not fit a 32-bit integer.
std::optional<int> NumberAfterPrefix(std::string_view port_name);

// True when text reads as "COM" (exactly these capitals) followed by a decimal number, in the way
// of sscanf(text, "COM%d"): "COM7", "COM 7" and "COM7x" do, "com7", "COM" and "PORT1" do not.
bool ReadsAsComPort(std::string_view text);

// True when two words are the same but for ASCII letter case: port names as a scanner or a user
// may type them ("com3" is "COM3"), a port name's "COM" prefix, a control word ("STOP" is "stop").
bool SameIgnoringCase(std::string_view a, std::string_view b);

// The position of the first entry whose text begins with prefix, ignoring ASCII letter case, or
// -1 when none does. An empty prefix matches the first entry.
int FindEntryBeginningWith(const std::vector<std::string> &entries, std::string_view prefix);

}  // namespace dekvanto::core
