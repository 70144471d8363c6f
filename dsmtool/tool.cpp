#include "tool.h"

#include "embedded.h"
#include "output.h"
#include "statuses.h"

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
    "  1  a library call failed (its status and meaning are printed)\n"
    "  2  bad usage\n"
    "  3  the per-user service could not be started ('service status': it is not running)\n"
    "  4  a check answered no (fastbackup)\n"
    "\n"
    "With no EMM server configured, dsmtool starts the bundled DiskServiceMgr for\n"
    "this user on a Unix-domain socket only this user can reach, and reuses it\n"
    "(see 'dsmtool service').";

}  // namespace

Failure::Failure(int status, std::string call, std::string meaning)
    : std::runtime_error(call + " returned " + std::to_string(status)),
      status_(status),
      call_(std::move(call)),
      meaning_(std::move(meaning)) {}

void check(int status, const char* call) {
    if (status != DSM_OK) throw Failure(status, call);
}

CLI::Option* add_repeated(CLI::App* cmd, const std::string& name, std::vector<std::string>& values,
                          const std::string& help) {
    return cmd->add_option(name, values, help)->allow_extra_args(false);
}

void add_reason(CLI::App* cmd, std::string& reason) {
    cmd->add_option("--reason", reason, "audit reason sent with the change");
}

Tool::Tool(CLI::App& app) : app_(app) {
    app_.require_subcommand(1);
    // Global options may follow the command too: "dsmtool pool list --json".
    app_.fallthrough();
    app_.footer(kExitSummary);  // inherited by every command added from here
    app_.add_flag("--json", globals_.json, "print JSON instead of tables");
    app_.add_flag("-v,--verbose", globals_.verbose, "show the library's log messages");
    app_.add_option("--emm-server", globals_.emm_server, "EMM server to talk to (default: the product configuration)");
    app_.add_option("--db-mode", globals_.db_mode, "database mode sent with requests")
        ->check(CLI::Range(0, 2))
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
    std::string path = name;
    for (CLI::App* p = &parent; p && p->get_parent(); p = p->get_parent()) path = p->get_name() + " " + path;
    cmd->callback([this, path, needs, body] { selected_.reset(new Selected{path, needs, body}); });
    return cmd;
}

int Tool::main(int argc, char** argv) {
    app_.footer(kExitCodes);
    try {
        app_.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app_.exit(e);  // prints help, or the error and a hint
        return code == 0 ? kExitOk : kExitUsage;
    }
    return run();
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

int Tool::run() {
    if (!selected_) return kExitOk;
    g_verbose = globals_.verbose;
    try {
        // The library stays quiet while the configuration is probed: a missing
        // one is the normal case here, not an error worth printing.
        if (selected_->needs == Needs::Service) connect();
        dsmlib_set_logger(collect_log, nullptr);
        g_errors.clear();
        const Reply reply = selected_->body();
        render(reply, globals_.json, std::cout);
        return reply.exit;
    } catch (const Failure& f) {
        return report(f);
    } catch (const NotFound& e) {
        std::cerr << "dsmtool: " << selected_->path << ": " << e.what() << '\n';
        return kExitFailure;
    } catch (const UsageError& e) {
        std::cerr << "dsmtool: " << selected_->path << ": " << e.what() << '\n';
        return kExitUsage;
    } catch (const ServiceError& e) {
        std::cerr << "dsmtool: cannot start the per-user service: " << e.what() << '\n';
        return kExitService;
    } catch (const std::exception& e) {
        std::cerr << "dsmtool: " << selected_->path << ": " << e.what() << '\n';
        return kExitFailure;
    }
}

int Tool::report(const Failure& f) const {
    const int status = f.status();
    const std::string meaning = f.meaning().empty() ? status_meaning(status) : f.meaning();
    const std::string cause = g_errors.empty() ? std::string() : one_line(g_errors.front());
    std::cerr << "dsmtool: " << selected_->path << ": " << f.call() << " failed with status " << status;
    if (*status_name(status)) std::cerr << " " << status_name(status);
    std::cerr << " (" << meaning << ")";
    if (!cause.empty()) std::cerr << ": " << cause;
    std::cerr << '\n';
    if (globals_.json) {
        Json error = {{"status", status},
                      {"name", status_name(status)},
                      {"meaning", meaning},
                      {"call", f.call()},
                      {"cause", cause}};
        std::cout << Json{{"error", error}}.dump(2) << '\n';
    }
    return kExitFailure;
}

}  // namespace dsmtool
