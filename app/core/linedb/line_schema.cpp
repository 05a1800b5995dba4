#include "core/linedb/line_schema.h"

#include <array>

namespace dekvanto::core {
namespace {

// The statements that bring version n-1 to n, at index n-1.
constexpr std::array<const char *, kLineSchemaVersion> kUpgrades = {R"sql(
CREATE TABLE unit_lines (
    id bigserial PRIMARY KEY,
    host text NOT NULL,
    station text NOT NULL,
    unit bigint NOT NULL,
    started text NOT NULL,
    event text NOT NULL CHECK (event IN ('start', 'end', 'removed')),
    started_at timestamptz,
    unit_id text,
    operator text,
    tool_version text,
    product text,
    firmware text,
    code_sha256 text,
    ended_at timestamptz,
    seconds double precision,
    bytes numeric(20, 0),
    result text,
    status text,
    result_line text,
    reason text,
    removed_at timestamptz,
    line text NOT NULL,
    record jsonb NOT NULL,
    pushed_at timestamptz NOT NULL DEFAULT now(),
    CONSTRAINT unit_lines_once UNIQUE (host, station, unit, started, event)
);
CREATE INDEX unit_lines_unit_id ON unit_lines (unit_id);
CREATE INDEX unit_lines_station ON unit_lines (station);
CREATE INDEX unit_lines_product ON unit_lines (product);
CREATE INDEX unit_lines_code_sha256 ON unit_lines (code_sha256);
CREATE INDEX unit_lines_started_at ON unit_lines (started_at);

CREATE VIEW unit_line_digests AS
SELECT host, station, unit, started, event, md5(line) AS digest FROM unit_lines;

CREATE VIEW units AS
SELECT k.host, k.station, k.unit, k.started,
       coalesce(e.started_at, s.started_at) AS started_at,
       coalesce(e.unit_id, s.unit_id) AS unit_id,
       coalesce(e.operator, s.operator) AS operator,
       coalesce(e.product, s.product) AS product,
       coalesce(e.firmware, s.firmware) AS firmware,
       coalesce(e.code_sha256, s.code_sha256) AS code_sha256,
       e.ended_at, e.seconds, e.bytes, e.result, e.status, e.result_line, e.reason,
       r.removed_at,
       CASE WHEN e.id IS NULL THEN 'INTERRUPTED'
            WHEN e.status = 'finished' THEN 'PASS'
            WHEN e.status = 'stopped' THEN 'STOPPED'
            ELSE 'FAIL' END AS verdict,
       s.line AS start_line, e.line AS end_line, r.line AS removal_line
FROM (SELECT DISTINCT host, station, unit, started FROM unit_lines
      WHERE event IN ('start', 'end')) AS k
LEFT JOIN unit_lines s ON s.event = 'start' AND s.host = k.host AND s.station = k.station
                          AND s.unit = k.unit AND s.started = k.started
LEFT JOIN unit_lines e ON e.event = 'end' AND e.host = k.host AND e.station = k.station
                          AND e.unit = k.unit AND e.started = k.started
LEFT JOIN unit_lines r ON r.event = 'removed' AND r.host = k.host AND r.station = k.station
                          AND r.unit = k.unit AND r.started = k.started;

CREATE VIEW unit_attempts AS
SELECT u.*,
       row_number() OVER phone AS attempt,
       count(*) OVER phone_whole AS attempts,
       last_value(u.verdict) OVER phone_whole AS last_verdict
FROM units u
WINDOW phone AS (
           PARTITION BY u.unit_id,
                        CASE WHEN u.unit_id IS NULL THEN u.host END,
                        CASE WHEN u.unit_id IS NULL THEN u.station END,
                        CASE WHEN u.unit_id IS NULL THEN u.unit END,
                        CASE WHEN u.unit_id IS NULL THEN u.started END
           ORDER BY u.started, u.host, u.station, u.unit),
       phone_whole AS (phone ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED FOLLOWING);
)sql"};

bool Failed(const StatementResult &result, std::string &why) {
    if (result.Ok()) {
        return false;
    }
    why = result.Error();
    return true;
}

std::string NewerSchema(int found) {
    return "the database holds version " + std::to_string(found) +
           " of the line's tables, newer than this vanto knows (" +
           std::to_string(kLineSchemaVersion) + "); use a vanto as new as the database";
}

}  // namespace

std::optional<int> LineSchemaVersion(DatabaseConnection &db, std::string &why) {
    const StatementResult table = db.Run("SELECT to_regclass('dekvanto_schema') IS NOT NULL");
    if (Failed(table, why)) {
        return std::nullopt;
    }
    if (table.Value(0, 0) != "t") {
        return 0;
    }
    const StatementResult version = db.Run("SELECT coalesce(max(version), 0) FROM dekvanto_schema");
    if (Failed(version, why)) {
        return std::nullopt;
    }
    return std::stoi(version.Value(0, 0).value_or("0"));
}

bool InitLineSchema(DatabaseConnection &db, const std::string &tool_version, int &from,
                    std::string &why) {
    if (Failed(db.Run("BEGIN"), why)) {
        return false;
    }
    // One init-db at a time: the second finds what the first made.
    const char *steps =
        "SELECT pg_advisory_xact_lock(7402640401);"
        "CREATE TABLE IF NOT EXISTS dekvanto_schema (version integer PRIMARY KEY, "
        "applied timestamptz NOT NULL DEFAULT now(), tool_version text NOT NULL)";
    std::optional<int> found;
    bool done = !Failed(db.Run(steps), why) && (found = LineSchemaVersion(db, why));
    if (done && *found > kLineSchemaVersion) {
        why = NewerSchema(*found);
        done = false;
    }
    for (int version = found.value_or(0) + 1; done && version <= kLineSchemaVersion; ++version) {
        done = !Failed(db.Run(kUpgrades[static_cast<std::size_t>(version - 1)]), why) &&
               !Failed(db.Run("INSERT INTO dekvanto_schema (version, tool_version) VALUES ($1, $2)",
                              {std::to_string(version), tool_version}),
                       why);
    }
    done = done && !Failed(db.Run("COMMIT"), why);
    if (!done) {
        db.Run("ROLLBACK");
        return false;
    }
    from = *found;
    return true;
}

bool CheckLineSchema(DatabaseConnection &db, std::string &why) {
    const std::optional<int> found = LineSchemaVersion(db, why);
    if (!found) {
        return false;
    }
    if (*found == kLineSchemaVersion) {
        return true;
    }
    if (*found > kLineSchemaVersion) {
        why = NewerSchema(*found);
    } else if (*found == 0) {
        why =
            "the database has no tables for the line's records yet; make them with "
            "'vanto records init-db --db URL'";
    } else {
        why = "the database holds version " + std::to_string(*found) +
              " of the line's tables, older than this vanto's (" +
              std::to_string(kLineSchemaVersion) +
              "); upgrade them with 'vanto records init-db "
              "--db URL'";
    }
    return false;
}

}  // namespace dekvanto::core
