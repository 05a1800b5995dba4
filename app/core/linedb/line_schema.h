// The tables and views of the line's database, made and upgraded by `vanto records init-db`.
//
// unit_lines holds every line of every bench's record file once: the fields a report asks for
// as columns, the line exactly as it was in the file (`line`) and the same as JSON (`record`).
// A line is the same line wherever it comes from, so it is stored once: the key is its host,
// station, unit number, start time and event (a bench that starts again counts its units from
// 1 anew, but never at the same millisecond). `units` pairs each unit's lines as the record
// file's reader does; `unit_attempts` numbers the units of each phone (by its scanned
// identifier; a unit without one is a phone of its own) for the yield reports.
//
// dekvanto_schema says which version of these the database holds. init-db brings an older one
// up to this tool's version, step by step; every other command refuses a database of another
// version than its own, with what to do.
#pragma once

#include <string>

#include "core/linedb/database_connection.h"

namespace dekvanto::core {

inline constexpr int kLineSchemaVersion = 1;

// The version the database holds: 0 when it has no tables of ours yet, nothing (with the reason
// in `why`) when it cannot be asked.
std::optional<int> LineSchemaVersion(DatabaseConnection &db, std::string &why);

// Makes the tables and views, or upgrades them to kLineSchemaVersion, in one transaction (two
// technicians running it at once wait for each other). False with the reason in `why` when the
// database refuses, or holds a newer version than this tool knows. `from` is the version found.
bool InitLineSchema(DatabaseConnection &db, const std::string &tool_version, int &from,
                    std::string &why);

// Whether the database holds this tool's version, with what to do in `why` when it does not.
bool CheckLineSchema(DatabaseConnection &db, std::string &why);

}  // namespace dekvanto::core
