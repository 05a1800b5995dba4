// What a bench checks before each unit, so that its record tells the truth about it: the files it
// sends are the files its record describes (the engine reads them again for every unit, by path,
// so a release copied over them while the bench runs would otherwise go into the next phone under
// the old digest), and its port still leads to the device the station started with (a register
// entry that disappears would otherwise let the port fall back to another, real port).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/records/unit_record.h"

namespace dekvanto::core {

// The first of `files` whose size or SHA-256 is not what the record says, or that can no longer
// be read, in words ("the code file /fw/code.bin has changed since the bench started"); nothing
// when every file is as it was.
std::optional<std::string> ChangedFile(const std::vector<SentFile> &files);

// Why the station's port no longer leads to the device it started with, in words; nothing when it
// does. `started` and `now` are its device's path then and now (DevicePathOfStation).
std::optional<std::string> PortMoved(std::string_view port, const std::string &started,
                                     const std::string &now);

}  // namespace dekvanto::core
