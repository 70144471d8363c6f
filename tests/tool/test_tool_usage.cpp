// How dsmtool tells people and scripts what went wrong: exit codes, one-line
// errors naming the status and its meaning, --help everywhere, and what it
// refuses to take from the command line.
#include "ToolRun.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace dsmtest;
using ToolUsage = ToolTest;

// The configuration file and the port, which differ from run to run.
Names where(int port) { return {{ServiceEnvironment::get().config().path(), "CONF"}, {std::to_string(port), "PORT"}}; }

TEST_F(ToolUsage, HelpOnEveryLevelDocumentsTheExitCodes) {
    expect_whole(transcript({"--help", "pool create --help", "server config set --help", "vol update --help"}),
                 "help.txt");
    EXPECT_EQ(run_ok("--version").out,
              "dsmtool " DSM_VERSION_STRING " (libdsm " + std::string(dsmlib_version()) + ")\n");
}

// Every refusal names what was wrong (and the limit, or the closest word),
// before anything is sent.
TEST_F(ToolUsage, WhatDoesNotFitIsRefusedAndNothingIsSent) {
    const CORBA::ULong before = calls();
    std::string wide_name;
    for (int i = 0; i < 129; ++i) wide_name += "\xC3\xA9";  // 129 characters, 258 bytes
    const std::string t = transcript({
        "vol update p v --total 99999999999999999999", "vol flags p v --set -1", "pool update p --flags-ext -1",
        "pool update p --high 101", "pool update p --max-io-streams 2147483648", "vol update p v --free 1.5G",
        "vol update p v --free 9E", "pool create " + std::string(300, 'p') + " --type AdvancedDisk --server s1",
        "pool show " + wide_name, "server show " + std::string(1025, 's'),
        "--emm-server " + std::string(256, 'h') + " status", "pool show ''", "pool show bad\xFFname",
        "attribute set foo ''", "server config set s retention=", "server config set s " + std::string(65, 'i') + "=1",
        "--db-mode 7 pool list", "pool state pool1 sideways", "completion zsh", "pol list", "pool lst",
        "pool list --jsn", "vol update p v --totl=5", "pool frobnicate", "pool show p1 extra", "server config", "",
        "pool update pool1", "pool create p --server s1", "vol flags pool1", "pool show", "--json pol list"});
    EXPECT_EQ(calls(), before);
    expect_whole(t, "refusals.txt");
}

// Every failure follows one rule: one line on stderr and, with --json, an
// error object with its kind, exit code and message on stdout.
TEST_F(ToolUsage, FailuresAreOneLineAndWithJsonAnErrorObject) {
    run_ok("server create s1 --type AdvancedDisk");
    expect_whole(transcript({"--json pool list --jsn", "--json vol show nopool v", "vol show nopool v",
                             "--json server config get s1 NoSuchItem", "server config get s1 NoSuchItem"}),
                 "failures.txt");
    // -v shows the library's own messages as well.
    EXPECT_TRUE(has(expect_exit(1, "-v pool show nopool").err, "Calling dsm->getDiskGroupInfo()"));
}

// A connection failure says where the tool looked, and why there.
TEST_F(ToolUsage, ConnectionFailuresNameHostPortAndWhereEachCameFrom) {
    // A loopback port that is taken but where nobody listens.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), len), 0);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    const int port = ntohs(a.sin_port);
    configure("127.0.0.1", port);

    expect_whole(transcript({"pool list", "--emm-server 127.0.0.1 pool list", "--json status"}, where(port)),
                 "no_connection.txt");
    close(fd);
}

// An EMM server is configured: no per-user service of this tool.
TEST_F(ToolUsage, StatusOfTheConfiguredService) {
    expect_whole(transcript({"--json status"}, where(service().port())), "status.txt");
}

// The completion script completes from the commands themselves; the manual
// page documents every command there is.
TEST_F(ToolUsage, CompletionScriptAndManualPageKnowEveryCommand) {
    const std::string script = run_ok("completion bash").out;
    const std::string path = ::testing::TempDir() + "dsmtool-completion-" + std::to_string(getpid());
    std::ofstream(path + ".sh") << script;
    auto complete = [&](const std::string& words) {
        std::system(("bash -c 'source " + path + ".sh; COMP_WORDS=(" + words +
                     "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _dsmtool; echo ${COMPREPLY[@]}' >" + path + ".out")
                        .c_str());
        return read_file(path + ".out");
    };
    EXPECT_EQ(complete("dsmtool po"), "pool\n");
    EXPECT_EQ(complete("dsmtool --json pool l"), "list\n");
    EXPECT_EQ(complete("dsmtool pool create p1 --ty"), "--type\n");
    EXPECT_EQ(complete("dsmtool server config s"), "set\n");
    std::remove((path + ".sh").c_str());
    std::remove((path + ".out").c_str());

    const std::string page = read_file(DSMTOOL_MANPAGE);
    std::istringstream lines(script);
    Args paths;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("    \"", 0) == 0) paths.push_back(line.substr(5, line.find("\")") - 5));
    for (const std::string& p : paths) {
        const bool leaf = std::none_of(paths.begin(), paths.end(), [&](const std::string& o) {
            return o.size() > p.size() && o.compare(0, p.size() + 1, p + " ") == 0;
        });
        EXPECT_TRUE(!leaf || p.empty() || has(page, "\\fB" + p + "\\fR")) << p;
    }
    EXPECT_GT(paths.size(), 50u);
}
