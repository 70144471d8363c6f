// dsmtool: manage disk pools, volumes and storage servers through libdsm.
#include "dsm.h"
#include "statuses.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

// Exit codes: 0 success, 1 the library reported a failure, 2 bad usage.
constexpr int kExitFailure = 1;

bool g_json = false;
bool g_verbose = false;

void print_log(int severity, const char* text, const char* localized, const char* function,
               const char*, int) {
    if (!g_verbose && severity < DSM_SEV_ERROR) return;
    std::cerr << "dsmtool: [" << function << "] " << text;
    if (localized) std::cerr << " (" << localized << ")";
    std::cerr << '\n';
}

std::string or_empty(const char* s) { return s ? s : ""; }

int cmd_status() {
    const std::string emm = or_empty(dsmlib_get_emmserver());
    const std::string master = or_empty(dsmlib_get_masterserver());
    const int status = dsmlib_ping();
    if (g_json) {
        nlohmann::json out = {{"emm_server", emm},
                              {"master_server", master},
                              {"connected", status == DSM_OK},
                              {"status", status},
                              {"meaning", status_meaning(status)}};
        std::cout << out.dump(2) << '\n';
    } else {
        std::cout << "EMM server:    " << (emm.empty() ? "(not configured)" : emm) << '\n'
                  << "Master server: " << (master.empty() ? "(not configured)" : master) << '\n'
                  << "Connection:    " << (status == DSM_OK ? "connected" : "not connected") << '\n'
                  << "Ping:          " << (status == DSM_OK ? "ok" : "failed") << " (status "
                  << status << ": " << status_meaning(status) << ")\n";
    }
    return status == DSM_OK ? 0 : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"dsmtool - disk storage management through libdsm"};
    app.require_subcommand(1);
    std::string emm;
    app.add_flag("--json", g_json, "machine-readable output");
    app.add_flag("-v,--verbose", g_verbose, "show the library's trace messages");
    app.add_option("--emm-server", emm, "EMM server to talk to (default: product configuration)");
    CLI::App* status = app.add_subcommand("status", "show the EMM server and ping DiskServiceMgr");
    CLI11_PARSE(app, argc, argv);

    dsmlib_set_logger(print_log, nullptr);
    if (!emm.empty()) dsmlib_set_emmserver(emm.c_str());
    if (status->parsed()) return cmd_status();
    return 0;
}
