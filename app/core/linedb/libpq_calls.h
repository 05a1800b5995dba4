// PostgreSQL's client library, loaded when a command first talks to the line's database rather
// than when vanto starts. Linked, libpq brings its own dependencies (TLS, Kerberos, LDAP) into
// every vanto process, each station of a bench among them, which never needs them; loaded here,
// only the database's commands and the bench's forwarder carry it.
//
// The library is the system's libpq.so.5 by its full path, the one the build was made against
// (DEKVANTO_LIBPQ_FILE); a missing or incomplete one is said in words, never a crash.
#pragma once

#include <libpq-fe.h>

#include <string>

namespace dekvanto::core {

// The libpq functions the database code calls, by name.
#define DEKVANTO_LIBPQ_CALLS(X)                                                                    \
    X(PQconninfoParse)                                                                             \
    X(PQconninfoFree)                                                                              \
    X(PQfreemem)                                                                                   \
    X(PQconnectdbParams) X(PQstatus) X(PQerrorMessage) X(PQfinish) X(PQexec) X(PQexecParams)       \
        X(PQsendQueryParams) X(PQsetSingleRowMode) X(PQgetResult) X(PQclear) X(PQresultStatus)     \
            X(PQresultErrorMessage) X(PQresultErrorField) X(PQntuples) X(PQnfields) X(PQgetisnull) \
                X(PQgetvalue) X(PQgetlength) X(PQcmdTuples)

struct LibpqCalls {
#define DEKVANTO_LIBPQ_MEMBER(name) decltype(&::name) name = nullptr;
    DEKVANTO_LIBPQ_CALLS(DEKVANTO_LIBPQ_MEMBER)
#undef DEKVANTO_LIBPQ_MEMBER
};

// The functions, loaded once for the process (from any thread); null, with the reason in `why`,
// when the library cannot be loaded or lacks one of them.
const LibpqCalls *LoadLibpq(std::string &why);

// The functions once LoadLibpq has given them: what holds a connection or a result has them.
const LibpqCalls &Libpq();

}  // namespace dekvanto::core
