#include "tool.h"

#include "embedded.h"
#include "output.h"
#include "statuses.h"
#include "usage.h"

#include <cstring>
#include <iostream>

namespace dsmtool {

namespace {

bool g_verbose = false;
// The error messages the library logged during the command: the first names
// the cause of a failure better than its status does.
std::vector<std::string> g_errors;

void collect_log(int severity, const char* text, const char* localized, const char* function, const char*, int) {
    const std::string line = std::string(text ? text : "") + (localized ? std::string(" (") + localized + ")" : "");
    if (g_verbose) std::cerr << "dsmtool: [" << (function ? function : "") << "] " << line << '\n';
    if (severity >= DSM_SEV_ERROR) g_errors.push_back(text && *text ? text : line);
}

// The cause as one line: the service's own error text when the library
// logged a service exception, else the message with its line breaks folded.
std::string one_line(const std::string& text) {
    static const std::string kErrorText = "errorText=";
    const size_t at = text.find(kErrorText);
    std::string line = at == std::string::npos ? text : text.substr(at + kErrorText.size());
    if (at != std::string::npos) line = line.substr(0, line.find('\n'));
    for (char& c : line)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    const size_t end = line.find_last_not_of(' ');
    return end == std::string::npos ? ""
                                    : line.substr(line.find_first_not_of(' '), end + 1 - line.find_first_not_of(' '));
}

const char* const kExitSummary =
    "Exit codes: 0 success, 1 library failure, 2 bad usage, 3 no per-user service, 4 check said no.";

const char* const kExitCodes =
    "Exit codes:\n"
    "  0  success\n"
    "  1  a library call failed (its status and meaning are printed), an object is\n"
    "     missing, or the service does not hold a change it accepted\n"
    "  2  bad usage (unknown command or option, missing or invalid argument)\n"
    "  3  the per-user service could not be started ('service status': it is not running)\n"
    "  4  a check answered no (fastbackup)\n"
    "\n"
    "With no EMM server configured, dsmtool starts the bundled DiskServiceMgr for\n"
    "this user on a Unix-domain socket only this user can reach, and reuses it\n"
    "(see 'dsmtool service').";

// The tool's version, and the version of the library actually loaded.
std::string version_text() {
#ifdef DSM_VERSION_STRING
    const char* library = dsmlib_version();
#else
    const char* library = DSMTOOL_VERSION;
#endif
    return std::string("dsmtool ") + DSMTOOL_VERSION + " (libdsm " + library + ")";
}

bool wants_json(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], "--json") == 0) return true;
    return false;
}

// The address the command line may give: the library keeps 255 bytes of it.
const Field kEmmServer = {"EMM server name", 255};

}  // namespace

Failure::Failure(int status, std::string call, std::string meaning)
    : std::runtime_error(call + " returned " + std::to_string(status)),
      status_(status),
      call_(std::move(call)),
      meaning_(std::move(meaning)) {}

void check(int status, const char* call) {
    if (status != DSM_OK) throw Failure(status, call);
}

Tool::Tool(CLI::App& app) : app_(app) {
    app_.require_subcommand(1);
    // Global options may follow the command too: "dsmtool pool list --json".
    app_.fallthrough();
    app_.footer(kExitSummary);  // inherited by every command added from here
    app_.set_version_flag("--version", version_text(), "print the versions of dsmtool and libdsm");
    app_.add_flag("--json", globals_.json, "print JSON instead of tables");
    app_.add_flag("--bytes", globals_.bytes, "show sizes in tables as exact bytes instead of IEC units");
    app_.add_flag("-v,--verbose", globals_.verbose, "show the library's log messages (and the checks' reasons)");
    add_text(&app_, "--emm-server", globals_.emm_server, "EMM server to talk to (default: the product configuration)",
             kEmmServer);
    add_integer(&app_, "--db-mode", globals_.db_mode, "database mode sent with requests (0 to 2)", 0, 2)
        ->capture_default_str();
    app_.add_flag("--no-embedded", globals_.no_embedded,
                  "never start the per-user service when no EMM server is configured");
}

CLI::App* Tool::family(CLI::App& parent, const std::string& name, const std::string& help) {
    CLI::App* f = parent.add_subcommand(name, help);
    f->require_subcommand(1);
    return f;
}

CLI::App* Tool::command(CLI::App& parent, const std::string& name, const std::string& help, Needs needs,
                        std::function<Reply()> body) {
    CLI::App* cmd = parent.add_subcommand(name, help);
    cmd->callback([this, cmd, needs, body] { selected_.reset(new Selected{command_path(*cmd), needs, body}); });
    return cmd;
}

std::vector<std::string> Tool::host_log() const { return host_log_ ? host_log_->lines() : std::vector<std::string>{}; }

int Tool::main(int argc, char** argv) {
    app_.footer(kExitCodes);
    current_config();  // which file the library reads, before dsmtool points it elsewhere
    try {
        app_.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app_.exit(e);  // --help, --version
        globals_.json = wants_json(argc, argv);
        return usage(e);
    }
    return run();
}

int Tool::usage(const CLI::ParseError& e) const {
    const UsageFault f = describe_usage_fault(app_, e);
    const std::string command = f.path.empty() ? "dsmtool" : "dsmtool " + f.path;
    Problem p{kExitUsage, "usage", (f.path.empty() ? "" : f.path + ": ") + f.message};
    p.details = {{"suggestion", f.suggestion.empty() ? Json(nullptr) : Json(f.suggestion)},
                 {"help", command + " --help"}};
    const int code = fail(p);
    std::cerr << "Run '" << command << " --help' for usage.\n";
    return code;
}

void Tool::connect() {
    if (!globals_.emm_server.empty()) {
        dsmlib_set_emmserver(globals_.emm_server.c_str());
        return;
    }
    const char* configured = dsmlib_get_emmserver();
    if ((configured && *configured) || globals_.no_embedded) return;
    embedded_.reset(new ServiceState(EmbeddedService().ensure()));
}

// The command's body; with -v, the host log's reasons follow the library's
// messages on stderr, whether the body succeeded or not.
Reply Tool::run_body() {
    struct Reasons {
        const Tool& tool;
        ~Reasons() {
            if (tool.globals_.verbose)
                for (const std::string& line : tool.host_log()) std::cerr << "dsmtool: " << line << '\n';
        }
    } reasons{*this};
    return selected_->body();
}

int Tool::run() {
    if (!selected_) return kExitOk;
    g_verbose = globals_.verbose;
    const std::string& path = selected_->path;
    try {
        if (selected_->needs == Needs::ServiceAndHostLog) host_log_.reset(new HostLog);
        // The library stays quiet while the configuration is probed: a missing
        // one is the normal case here, not an error worth printing.
        if (selected_->needs != Needs::Nothing) connect();
        dsmlib_set_logger(collect_log, nullptr);
        g_errors.clear();
        const Reply reply = run_body();
        render(reply, globals_, std::cout);
        return reply.exit;
    } catch (const Failure& f) {
        return fail(library_failure(f));
    } catch (const NotFound& e) {
        return fail({kExitFailure, "not_found", path + ": " + e.what()});
    } catch (const NotApplied& e) {
        return fail({kExitFailure, "not_applied", path + ": " + e.what()});
    } catch (const UsageError& e) {
        return fail({kExitUsage, "usage", path + ": " + e.what()});
    } catch (const ServiceError& e) {
        return fail({kExitService, "service", std::string("cannot start the per-user service: ") + e.what()});
    } catch (const std::exception& e) {
        return fail({kExitFailure, "failure", path + ": " + e.what()});
    }
}

Problem Tool::library_failure(const Failure& f) const {
    const int status = f.status();
    const std::string meaning = f.meaning().empty() ? status_meaning(status) : f.meaning();
    // The library names only the host it missed; say where it looked, and why there.
    const std::string cause = status == DSM_E_NO_CONNECTION ? unreachable(globals_.emm_server)
                              : g_errors.empty()            ? std::string()
                                                            : one_line(g_errors.front());
    std::string message = selected_->path + ": " + f.call() + " failed with status " + std::to_string(status);
    if (*status_name(status)) message += std::string(" ") + status_name(status);
    message += " (" + meaning + ")";
    if (!cause.empty()) message += ": " + cause;
    Problem p{kExitFailure, "library", message};
    p.details = {{"status", status},
                 {"name", status_name(status)},
                 {"meaning", meaning},
                 {"call", f.call()},
                 {"cause", cause}};
    return p;
}

int Tool::fail(const Problem& p) const {
    std::cerr << "dsmtool: " << p.message << '\n';
    if (globals_.json) {
        Json error = {{"kind", p.kind}, {"exit", p.exit}, {"message", p.message}};
        error.update(p.details);
        print_json(Json{{"error", error}}, std::cout);
    }
    return p.exit;
}

}  // namespace dsmtool
