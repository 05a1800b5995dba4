#include "core/linedb/database_url.h"

#include <map>

#include "core/linedb/libpq_calls.h"

namespace dekvanto::core {
namespace {

using Options = std::map<std::string, std::string>;

// The words libpq read from the URL, only those that were given.
std::optional<Options> ParseConninfo(const std::string &text, std::string &why) {
    if (!LoadLibpq(why)) {
        return std::nullopt;
    }
    char *error = nullptr;
    PQconninfoOption *parsed = Libpq().PQconninfoParse(text.c_str(), &error);
    if (parsed == nullptr) {
        why = "the database URL cannot be read: " +
              (error ? OneLine(error) : std::string("out of memory"));
        Libpq().PQfreemem(error);
        return std::nullopt;
    }
    Options options;
    for (const PQconninfoOption *o = parsed; o->keyword != nullptr; ++o) {
        if (o->val != nullptr && *o->val != '\0') {
            options[o->keyword] = o->val;
        }
    }
    Libpq().PQconninfoFree(parsed);
    return options;
}

std::string Shown(const Options &options) {
    const auto value = [&options](const char *key, const char *otherwise) {
        const auto found = options.find(key);
        return found == options.end() ? std::string(otherwise) : found->second;
    };
    std::string shown;
    if (options.count("user")) {
        shown = options.at("user") + "@";
    }
    shown += value("host", "local socket");
    if (options.count("port")) {
        shown += ":" + options.at("port");
    }
    return shown + "/" + value("dbname", "(default database)");
}

}  // namespace

std::string OneLine(std::string_view message) {
    std::string line;
    bool broken = false;
    for (const char c : message) {
        if (c == '\n' || c == '\r' || c == '\t') {
            broken = true;
            continue;
        }
        if (broken && !line.empty()) {
            line += "; ";
        }
        broken = false;
        line += c;
    }
    return line;
}

std::optional<DatabaseUrl> CheckDatabaseUrl(std::string_view text, std::string &why) {
    const std::string url(text);
    if (url.find_first_not_of(" \t") == std::string::npos) {
        why = "the database URL is empty";
        return std::nullopt;
    }
    const std::optional<Options> options = ParseConninfo(url, why);
    if (!options) {
        return std::nullopt;
    }
    if (options->count("password")) {
        why =
            "the database URL holds a password, which every user of this machine could read "
            "on the command line; put it in the password file (~/.pgpass or the file "
            "PGPASSFILE names) or in PGPASSWORD instead";
        return std::nullopt;
    }
    return DatabaseUrl{url, Shown(*options)};
}

}  // namespace dekvanto::core
