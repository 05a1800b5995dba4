// How far a forwarder has pushed its record file, kept in a small file of its own (by default
// the record file's name with ".forwarded" after it) so that a forwarder started again goes on
// where it stopped instead of sending a year of lines again. It names the file by its identity
// (record files are rotated: renamed, and a new one begun under the old name), so that a
// forwarder that was away during a rotation finds the renamed file and sends its rest first.
//
// The position only ever says what the database holds: it is written after a batch is stored.
// A position lost or older than the truth costs lines sent again, which the database stores
// once; a position of another file is not used.
#pragma once

#include <optional>
#include <string>

#include "core/linedb/record_line_source.h"
#include "dekvanto/platform/read_only_file.h"

namespace dekvanto::core {

struct ForwardPosition {
    platform::FileIdentity file;
    LinePosition position;

    bool operator==(const ForwardPosition &) const = default;
};

// The position kept at `path`, or nothing when there is none that can be read.
std::optional<ForwardPosition> LoadForwardPosition(const std::string &path);

// Keeps `position` at `path`, replacing the file whole. False with the reason in `why`.
bool SaveForwardPosition(const std::string &path, const ForwardPosition &position,
                         std::string &why);

// The default place of a record file's position: "<record file>.forwarded".
std::string DefaultPositionFile(const std::string &record_file);

}  // namespace dekvanto::core
