// Where the line's database is, as a technician gives it to `vanto records ... --db URL`: a
// PostgreSQL connection URI ("postgresql://bench@db.line1/records?sslmode=verify-full") or the
// same as key=value words ("host=db.line1 dbname=records user=bench sslmode=verify-full").
// Everything libpq reads is allowed (host, port, dbname, user, sslmode and the TLS files,
// connect_timeout...), and the environment (PGHOST, PGSSLMODE...) fills in what the URL leaves
// out, as libpq does everywhere.
//
// Except a password. A command line is seen by every user of the machine (ps, /proc) and ends
// up in shell histories, service files and logs, so a URL that holds one is refused with the
// reason. The password comes from libpq's password file (~/.pgpass, or the file PGPASSFILE
// names) or from PGPASSWORD, never from the URL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dekvanto::core {

struct DatabaseUrl {
    std::string text;   // as given, handed to libpq
    std::string shown;  // where it leads, for messages: "bench@db.line1:5432/records"
};

// The URL when libpq can read it and it holds no password; nothing otherwise, with the reason in
// `why` ("the database URL holds a password: ...", or libpq's own words for what it cannot read).
std::optional<DatabaseUrl> CheckDatabaseUrl(std::string_view text, std::string &why);

// libpq's message as one line: its line breaks and indents joined with "; ", its end trimmed.
std::string OneLine(std::string_view message);

}  // namespace dekvanto::core
