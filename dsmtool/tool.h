// The frame every dsmtool command runs in: global options, the registry of
// commands, what a command hands back, and how failures become exit codes.
#ifndef DSMTOOL_TOOL_H
#define DSMTOOL_TOOL_H

#include "dsm.h"
#include "config.h"
#include "embedded.h"
#include "options.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace dsmtool {

using Json = nlohmann::ordered_json;

// Exit codes, documented in --help and the README.
enum Exit : int {
    kExitOk = 0,
    kExitFailure = 1,  // a library call failed; its status is printed
    kExitUsage = 2,    // the command line is wrong
    kExitService = 3,  // the per-user service could not be started
    kExitNo = 4,       // a yes/no check answered no
};

// What a command hands back. 'data' is what --json prints; a table shows the
// 'columns' of a list; 'message' is the sentence a person reads instead of
// the data after a change.
struct Reply {
    Reply(Json d = nullptr, std::vector<std::string> c = {}, std::string m = "")
        : data(std::move(d)), columns(std::move(c)), message(std::move(m)) {}
    Json data;
    std::vector<std::string> columns;
    std::string message;
    int exit = kExitOk;
};

// A library call that returned a status other than DSM_OK.
class Failure : public std::runtime_error {
public:
    // 'meaning' replaces the library's meaning of the status (for calls that
    // return the product's statuses instead).
    Failure(int status, std::string call, std::string meaning = "");
    int status() const { return status_; }
    const std::string& call() const { return call_; }
    const std::string& meaning() const { return meaning_; }

private:
    int status_;
    std::string call_;
    std::string meaning_;
};

// A request that parsed but makes no sense (e.g. an update with nothing to
// change): reported like a parse error.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An object the command looked for among those the service listed is not
// there (the service itself reported no error).
class NotFound : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A change the service accepted but does not hold when read back.
class NotApplied : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One failure as people and scripts see it: "dsmtool: MESSAGE" on stderr
// and, with --json, {"error": {kind, exit, message, ...details}} on stdout.
struct Problem {
    int exit;
    std::string kind;  // usage, library, not_found, not_applied, service, failure
    std::string message;
    Json details = Json::object();
};

// Throws Failure when 'status' is not DSM_OK.
void check(int status, const char* call);

// Whether a command talks to DiskServiceMgr (and so may need the per-user
// service started first), and whether it reads the host log.
enum class Needs { Nothing, Service, ServiceAndHostLog };

// Options every command shares.
struct Globals {
    bool json = false;
    bool bytes = false;
    bool verbose = false;
    bool no_embedded = false;
    std::string emm_server;
    int db_mode = DSM_DBMODE_1;
};

class Tool {
public:
    explicit Tool(CLI::App& app);

    // A family of commands ("pool", "vol", ...), requiring one subcommand.
    CLI::App* family(CLI::App& parent, const std::string& name, const std::string& help);
    // A command that runs 'body' when the command line selects it.
    CLI::App* command(CLI::App& parent, const std::string& name, const std::string& help, Needs needs,
                      std::function<Reply()> body);

    const Globals& globals() const { return globals_; }
    dsm_dbmode db_mode() const { return globals_.db_mode; }
    // The per-user service this run connected to, or null when an EMM
    // server was configured.
    const ServiceState* embedded() const { return embedded_.get(); }
    // The host log lines of this run so far (Needs::ServiceAndHostLog).
    std::vector<std::string> host_log() const;
    const CLI::App& app() const { return app_; }

    // Parses, runs the selected command and returns the process exit code.
    int main(int argc, char** argv);

private:
    struct Selected {
        std::string path;
        Needs needs = Needs::Nothing;
        std::function<Reply()> body;
    };

    int run();
    Reply run_body();
    int fail(const Problem& p) const;
    int usage(const CLI::ParseError& e) const;
    Problem library_failure(const Failure& f) const;
    void connect();

    CLI::App& app_;
    Globals globals_;
    std::unique_ptr<Selected> selected_;
    std::unique_ptr<ServiceState> embedded_;
    std::unique_ptr<HostLog> host_log_;
};

}  // namespace dsmtool

#endif
