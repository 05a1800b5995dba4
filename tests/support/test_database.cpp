#include "test_database.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/text/outside_text.h"

extern char **environ;

namespace dekvanto::testing {
namespace {

// A message from the server, its log or the server script, safe for the terminal that shows the
// test's output: each line made terminal-safe, the lines kept.
std::string Message(const char *text) {
    std::string message;
    std::string_view rest = text != nullptr ? text : "";
    while (!rest.empty() && (rest.back() == '\n' || rest.back() == ' ')) {
        rest.remove_suffix(1);
    }
    for (;;) {
        const std::size_t end = rest.find('\n');
        message += core::TerminalText(rest.substr(0, end));
        if (end == std::string_view::npos) {
            return message;
        }
        message += '\n';
        rest.remove_prefix(end + 1);
    }
}

// A value of a libpq connection string, quoted when it needs to be.
std::string ConninfoValue(const std::string &value) {
    bool plain = !value.empty();
    for (const char c : value) {
        if (c == ' ' || c == '\'' || c == '\\' || c == '=' || c == '\t' || c == '\n') {
            plain = false;
        }
    }
    if (plain) {
        return value;
    }
    std::string quoted = "'";
    for (const char c : value) {
        if (c == '\'' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "'";
}

// A variable the fixture sets; empty when it is not set.
std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string NotSet(const char *name) {
    return std::string(name) +
           " is not set: run the test through ctest, whose fixture \"database\" starts the server";
}

struct ScriptRun {
    bool ok = false;
    std::string output;  // standard output and error together
};

// Runs tools/test-postgres.sh with these arguments and reads all it writes.
ScriptRun RunScript(const std::string &script, const std::vector<std::string> &args) {
    ScriptRun run;
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0) {
        run.output = "cannot make a pipe for " + script;
        return run;
    }
    std::vector<std::string> words{"bash", script};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "bash", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_ends[1]);
    if (spawned != 0) {
        ::close(pipe_ends[0]);
        run.output = "cannot run bash " + script + ": " + std::generic_category().message(spawned);
        return run;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(pipe_ends[0], buffer, sizeof buffer);
        if (got > 0) {
            run.output.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(pipe_ends[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// What `test-postgres.sh start` printed last: the server's connection string.
std::string LastLine(std::string output) {
    while (!output.empty() && output.back() == '\n') {
        output.pop_back();
    }
    const std::size_t start = output.rfind('\n');
    return start == std::string::npos ? output : output.substr(start + 1);
}

std::string ScriptFailure(const std::string &what, const ScriptRun &run) {
    return what + " failed:\n" + Message(run.output.c_str());
}

}  // namespace

SqlResult RunSql(const std::string &conninfo, const std::string &sql) {
    SqlResult result;
    PGconn *connection = PQconnectdb(conninfo.c_str());
    if (PQstatus(connection) != CONNECTION_OK) {
        result.error = Message(PQerrorMessage(connection));
        PQfinish(connection);
        return result;
    }
    PGresult *answer = PQexec(connection, sql.c_str());
    const ExecStatusType status = PQresultStatus(answer);
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
        result.ok = true;
        if (PQntuples(answer) > 0 && PQnfields(answer) > 0 && !PQgetisnull(answer, 0, 0)) {
            result.value = PQgetvalue(answer, 0, 0);
        }
    } else {
        result.error = Message(PQerrorMessage(connection));
    }
    PQclear(answer);
    PQfinish(connection);
    return result;
}

std::string WithDatabase(const std::string &conninfo, const std::string &database) {
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(conninfo.c_str(), &error);
    if (options == nullptr) {
        PQfreemem(error);
        return {};
    }
    std::string rebuilt;
    for (const PQconninfoOption *option = options; option->keyword != nullptr; ++option) {
        const std::string keyword = option->keyword;
        if (keyword == "dbname" || option->val == nullptr) {
            continue;
        }
        rebuilt += keyword + "=" + ConninfoValue(option->val) + " ";
    }
    PQconninfoFree(options);
    return rebuilt + "dbname=" + ConninfoValue(database);
}

TestDatabase::TestDatabase() : TestDatabase(Environment("DEKVANTO_TEST_DATABASE")) {}

TestDatabase::TestDatabase(const std::string &server_conninfo) : server_conninfo_(server_conninfo) {
    if (server_conninfo_.empty()) {
        error_ = "no server for the test database (" + NotSet("DEKVANTO_TEST_DATABASE") + ")";
        return;
    }
    static std::atomic<int> instances{0};
    name_ = "dekvanto_test_" + std::to_string(::getpid()) + "_" + std::to_string(++instances);
    conninfo_ = WithDatabase(server_conninfo_, name_);
    // A process that crashed earlier under the same process id may have left the name behind.
    SqlResult made = RunSql(server_conninfo_, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    if (made.ok) {
        made = RunSql(server_conninfo_, "CREATE DATABASE " + name_);
    }
    if (!made.ok) {
        error_ = "cannot make the test database " + name_ + ": " + made.error;
        name_.clear();
    }
}

TestDatabase::~TestDatabase() {
    if (name_.empty()) {
        return;
    }
    const SqlResult dropped = RunSql(server_conninfo_, "DROP DATABASE " + name_ + " WITH (FORCE)");
    if (!dropped.ok) {
        std::fprintf(stderr, "cannot drop the test database %s: %s\n", name_.c_str(),
                     dropped.error.c_str());
    }
}

PrivateServer::PrivateServer() {
    script_ = Environment("DEKVANTO_TEST_POSTGRES_SCRIPT");
    const std::string root = Environment("DEKVANTO_TEST_DATABASE_ROOT");
    if (script_.empty() || root.empty()) {
        error_ = NotSet(script_.empty() ? "DEKVANTO_TEST_POSTGRES_SCRIPT"
                                        : "DEKVANTO_TEST_DATABASE_ROOT");
        return;
    }
    std::error_code failure;
    std::filesystem::create_directories(std::filesystem::path(root) / "private", failure);
    std::string folder = (std::filesystem::path(root) / "private" / "XXXXXX").string();
    if (failure || ::mkdtemp(folder.data()) == nullptr) {
        error_ = "cannot make a folder for a server under " + root;
        return;
    }
    folder_ = folder;
    const ScriptRun started = RunScript(script_, {"start", folder_.string()});
    if (!started.ok) {
        error_ = ScriptFailure("starting the server in " + folder_.string(), started);
        return;
    }
    conninfo_ = LastLine(started.output);
}

PrivateServer::~PrivateServer() {
    if (folder_.empty()) {
        return;
    }
    const ScriptRun removed = RunScript(script_, {"remove", folder_.string()});
    if (!removed.ok) {
        std::fprintf(stderr, "%s\n",
                     ScriptFailure("removing the server in " + folder_.string(), removed).c_str());
    }
}

bool PrivateServer::Stop(bool immediate) {
    const ScriptRun stopped =
        RunScript(script_, {"stop", folder_.string(), immediate ? "immediate" : "fast"});
    if (!stopped.ok) {
        std::fprintf(stderr, "%s\n",
                     ScriptFailure("stopping the server in " + folder_.string(), stopped).c_str());
    }
    return stopped.ok;
}

bool PrivateServer::Start() {
    const ScriptRun started = RunScript(script_, {"start", folder_.string()});
    if (!started.ok) {
        std::fprintf(stderr, "%s\n",
                     ScriptFailure("starting the server in " + folder_.string(), started).c_str());
    }
    return started.ok && LastLine(started.output) == conninfo_;
}

std::optional<int> PrivateServer::TerminateConnections() {
    // pg_terminate_backend with a time-out waits until the session has ended.
    const SqlResult ended = RunSql(
        conninfo_,
        "SELECT count(*) FILTER (WHERE pg_terminate_backend(pid, 10000)) FROM pg_stat_activity "
        "WHERE backend_type = 'client backend' AND pid <> pg_backend_pid()");
    if (!ended.ok || !ended.value) {
        return std::nullopt;
    }
    return std::stoi(*ended.value);
}

}  // namespace dekvanto::testing
