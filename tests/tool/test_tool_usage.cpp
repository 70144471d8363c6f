// How dsmtool tells people and scripts what went wrong: exit codes, one-line
// errors naming the status and its meaning, --help everywhere, and what it
// refuses to take from the command line.
#include "ToolFixture.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

using namespace dsmtest;
using nlohmann::json;

namespace {

class ToolUsage : public ToolTest {
protected:
    CORBA::ULong calls() { return DsmControl::StringSeq_var(control()->callLog())->length(); }
};

// A loopback port nothing listens on.
int closed_port() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

// The product configuration names that port while this lives.
class NobodyListening {
public:
    NobodyListening() : port(closed_port()) {
        ServiceEnvironment::get().config().write(service_config("127.0.0.1", port));
    }
    ~NobodyListening() {
        ServiceProcess& s = ServiceEnvironment::get().service();
        ServiceEnvironment::get().config().write(service_config(s.address(), s.port()));
    }
    const int port;
};

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

TEST_F(ToolUsage, HelpOnEveryLevelDocumentsTheExitCodes) {
    ToolResult r = run_ok({"--help"});
    for (const char* family : {"pool", "vol", "server", "enclosure", "mount", "lsu", "servertype", "attribute",
                               "fastbackup", "service", "status", "completion"})
        EXPECT_NE(r.out.find("  " + std::string(family) + " "), std::string::npos) << family;
    EXPECT_NE(r.out.find("  3  the per-user service could not be started ('service status': it is not running)\n"),
              std::string::npos)
        << r.out;
    r = run_ok({"pool", "create", "--help"});
    EXPECT_NE(r.out.find("--type TEXT REQUIRED"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Exit codes: 0 success, 1 library failure, 2 bad usage"), std::string::npos) << r.out;
    r = run_ok({"server", "config", "set", "--help"});
    EXPECT_NE(r.out.find("NAME=VALUE"), std::string::npos) << r.out;
    r = run_ok({"vol", "update", "--help"});
    EXPECT_NE(r.out.find("--total SIZE"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("suffixes K, M, G, T, P (or KiB...) are powers of 1024, KB, MB, GB, TB of 1000"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(run_ok({"--version"}).out, "dsmtool " DSM_VERSION_STRING " (libdsm " + std::string(dsmlib_version()) +
                                             ")\n");
}

// Every refusal names what was wrong and the limit, before anything is sent.
TEST_F(ToolUsage, WhatDoesNotFitIsRefusedAndNothingIsSent) {
    const CORBA::ULong before = calls();
    const std::string long_name(300, 'p');
    std::string wide_name;
    for (int i = 0; i < 129; ++i) wide_name += "\xC3\xA9";  // 129 characters, 258 bytes
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"vol", "update", "p", "v", "--total", "99999999999999999999"},
         "vol update: --total: 99999999999999999999 is out of range (-9223372036854775808 to 9223372036854775807)"},
        {{"vol", "flags", "p", "v", "--set", "-1"}, "vol flags: --set: -1 is out of range (0 to 9223372036854775807)"},
        {{"pool", "update", "p", "--flags-ext", "-1"},
         "pool update: --flags-ext: -1 is out of range (0 to 18446744073709551615)"},
        {{"pool", "update", "p", "--high", "101"}, "pool update: --high: 101 is out of range (0 to 100)"},
        {{"pool", "update", "p", "--max-io-streams", "2147483648"},
         "pool update: --max-io-streams: 2147483648 is out of range (-2147483648 to 2147483647)"},
        {{"vol", "update", "p", "v", "--free", "1.5G"}, "vol update: --free: '1.5G' is not a size (bytes; suffixes K, "
                                                        "M, G, T, P (or KiB...) are powers of 1024, KB, MB, GB, TB of "
                                                        "1000)"},
        {{"vol", "update", "p", "v", "--free", "9E"},
         "vol update: --free: 9E is out of range (-9223372036854775808 to 9223372036854775807)"},
        {{"pool", "create", long_name, "--type", "AdvancedDisk", "--server", "s1"},
         "pool create: NAME: pool name is 300 bytes; at most 256 fit"},
        {{"pool", "show", wide_name}, "pool show: NAME: pool name is 258 bytes; at most 256 fit"},
        {{"server", "show", std::string(1025, 's')}, "server show: NAME: storage server name is 1025 bytes; at most "
                                                     "1024 fit"},
        {{"--emm-server", std::string(256, 'h'), "status"},
         "status: --emm-server: EMM server name is 256 bytes; at most 255 fit"},
        {{"pool", "show", ""}, "pool show: NAME: pool name is empty"},
        {{"pool", "show", "bad\xFFname"}, "pool show: NAME: pool name is not valid UTF-8"},
        {{"attribute", "set", "foo", ""}, "attribute set: VALUE: attribute value is empty"},
        {{"server", "config", "set", "s", "retention="}, "server config set: item value is empty"},
        {{"server", "config", "set", "s", std::string(65, 'i') + "=1"},
         "server config set: item name is 65 bytes; at most 64 fit"},
        {{"--db-mode", "7", "pool", "list"}, "pool list: --db-mode: 7 is out of range (0 to 2)"},
        {{"pool", "state", "pool1", "sideways"}, "pool state: STATE: sideways not in {up,down}"},
        {{"completion", "zsh"}, "completion: SHELL: zsh not in {bash}"},
    };
    for (const auto& [args, message] : refused) {
        ToolResult r = expect_exit(2, args);
        EXPECT_EQ(first_line(r.err), "dsmtool: " + message);
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"pool", "update", "pool1"}, {"pool", "create", "p", "--server", "s1"}, {"vol", "flags", "pool1"}})
        expect_exit(2, args);
    EXPECT_EQ(calls(), before);
    EXPECT_EQ(run_tool({"pool", "show"}).err,
              "dsmtool: pool show: NAME is required\nRun 'dsmtool pool show --help' for usage.\n");
}

TEST_F(ToolUsage, UnknownWordsAreNamedWithTheClosestSuggestion) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"pol", "list"}, "unknown command 'pol'; did you mean 'pool'?"},
        {{"pool", "lst"}, "pool: unknown command 'lst'; did you mean 'list'?"},
        {{"pool", "list", "--jsn"}, "pool list: unknown option '--jsn'; did you mean '--json'?"},
        {{"vol", "update", "p", "v", "--totl=5"}, "vol update: unknown option '--totl=5'; did you mean '--total'?"},
        {{"pool", "frobnicate"}, "pool: unknown command 'frobnicate'"},
        {{"pool", "show", "p1", "extra"}, "pool show: unexpected argument 'extra'"},
        {{"server", "config"}, "server config: a command is required: get, set"},
    };
    for (const auto& [args, message] : cases) EXPECT_EQ(first_line(expect_exit(2, args).err), "dsmtool: " + message);
    json error = expect_exit(2, {"--json", "pol", "list"}).json()["error"];
    EXPECT_EQ(error, json::parse(expected("unknown_command.json")));
}

// Every failure follows one rule: one line on stderr and, with --json, an
// error object with its kind, exit code and message on stdout.
TEST_F(ToolUsage, FailuresAreOneLineAndWithJsonAnErrorObject) {
    run_ok({"server", "create", "s1", "--type", "AdvancedDisk"});
    const std::pair<std::vector<std::string>, std::string> kinds[] = {
        {{"pool", "list", "--jsn"}, "usage"},
        {{"vol", "show", "nopool", "v"}, "library"},
        {{"server", "config", "get", "s1", "NoSuchItem"}, "not_found"},
    };
    for (const auto& [args, kind] : kinds) {
        std::vector<std::string> with_json = args;
        with_json.insert(with_json.begin(), "--json");
        ToolResult r = run_tool(with_json);
        json error = r.json()["error"];
        EXPECT_EQ(error["kind"], kind);
        EXPECT_EQ(error["exit"], r.exit);
        EXPECT_EQ("dsmtool: " + error["message"].get<std::string>(), first_line(r.err));
    }
    ToolResult r = expect_exit(1, {"server", "config", "get", "s1", "NoSuchItem"});
    EXPECT_EQ(r.err, "dsmtool: server config get: storage server s1 has no configuration item NoSuchItem\n");

    r = expect_exit(1, {"--json", "vol", "show", "nopool", "v"});
    json error = r.json()["error"];
    EXPECT_EQ(error["status"], 2050010);
    EXPECT_EQ(error["call"], "dsm_get_diskgroupinfo");
    EXPECT_EQ(error["meaning"], "error reported by the disk service");
    EXPECT_EQ(error["cause"], "disk pool nopool not found");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;

    // -v shows the library's own messages as well.
    r = expect_exit(1, {"-v", "pool", "show", "nopool"});
    EXPECT_NE(r.err.find("Calling dsm->getDiskGroupInfo()"), std::string::npos) << r.err;
}

// A connection failure says where the tool looked, and why there.
TEST_F(ToolUsage, ConnectionFailuresNameHostPortAndWhereEachCameFrom) {
    NobodyListening nobody;
    const std::string conf = ServiceEnvironment::get().config().path() + " (named by KDCONF_FILE)";
    const std::string where = "127.0.0.1:" + std::to_string(nobody.port);
    const std::string port = "port from KDDSMFSM_PORT in " + conf;
    ToolResult r = expect_exit(1, {"pool", "list"});
    EXPECT_EQ(r.err, "dsmtool: pool list: dsm_get_diskgroupinfo_list failed with status 2050201 DSM_E_NO_CONNECTION "
                     "(no connection to DiskServiceMgr): DiskServiceMgr does not answer at " +
                         where + " (host from EMM_SERVER in " + conf + "; " + port + ")\n");
    r = expect_exit(1, {"--emm-server", "127.0.0.1", "pool", "list"});
    EXPECT_NE(r.err.find(where + " (host from --emm-server; " + port + ")\n"), std::string::npos) << r.err;

    json s = expect_exit(1, {"--json", "status"}).json();
    EXPECT_EQ(s["connected"], false);
    EXPECT_EQ(s["status"], 2050201);
    EXPECT_EQ(s["endpoint"], where);
    EXPECT_EQ(s["service_port"], nobody.port);
}

TEST_F(ToolUsage, StatusOfTheConfiguredService) {
    json s = run_ok({"--json", "status"}).json();
    EXPECT_EQ(s["connected"], true);
    EXPECT_EQ(s["emm_server"], "127.0.0.1");
    EXPECT_EQ(s["service"], "configured") << "an EMM server is configured: no per-user service";
    EXPECT_EQ(s["status"], 0);
    EXPECT_EQ(s["endpoint"], "127.0.0.1:" + std::to_string(service().port()));
    EXPECT_EQ(s["service_port"], service().port());
    EXPECT_TRUE(s["service_pid"].is_null()) << "not a service of this tool";
    EXPECT_TRUE(s["service_socket"].is_null());
}

// The completion script completes from the commands themselves; the manual
// page documents every command there is.
TEST_F(ToolUsage, CompletionScriptAndManualPageKnowEveryCommand) {
    const std::string script = run_ok({"completion", "bash"}).out;
    const std::string path = ::testing::TempDir() + "dsmtool-completion.sh";
    std::ofstream(path) << script;
    auto complete = [&](const std::string& words) {
        const std::string shell = "bash -c 'source " + path + "; COMP_WORDS=(" + words +
                                  "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _dsmtool; echo ${COMPREPLY[@]}'";
        FILE* p = popen(shell.c_str(), "r");
        char buf[4096] = "";
        const size_t n = fread(buf, 1, sizeof buf - 1, p);
        pclose(p);
        return std::string(buf, n);
    };
    EXPECT_EQ(complete("dsmtool po"), "pool\n");
    EXPECT_EQ(complete("dsmtool --json pool l"), "list\n");
    EXPECT_EQ(complete("dsmtool pool create p1 --ty"), "--type\n");
    EXPECT_EQ(complete("dsmtool server config s"), "set\n");
    std::remove(path.c_str());

    std::ifstream man(DSMTOOL_MANPAGE);
    std::stringstream page;
    page << man.rdbuf();
    std::istringstream lines(script);
    std::vector<std::string> paths;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("    \"", 0) == 0) paths.push_back(line.substr(5, line.find("\")") - 5));
    for (const std::string& p : paths) {
        const bool leaf = std::none_of(paths.begin(), paths.end(), [&](const std::string& o) {
            return o.size() > p.size() && o.compare(0, p.size() + 1, p + " ") == 0;
        });
        if (leaf && !p.empty()) {
            EXPECT_NE(page.str().find("\\fB" + p + "\\fR"), std::string::npos) << p;
        }
    }
    EXPECT_GT(paths.size(), 50u);
}
