// How dsmtool tells people and scripts what went wrong: exit codes, one-line
// errors naming the status and its meaning, --help everywhere.
#include "ToolFixture.h"

#include <gtest/gtest.h>

using namespace dsmtest;
using nlohmann::json;

namespace {

class ToolUsage : public ToolTest {};

}  // namespace

TEST_F(ToolUsage, HelpOnEveryLevelDocumentsTheExitCodes) {
    ToolResult r = run_ok({"--help"});
    for (const char* family : {"pool", "vol", "server", "enclosure", "mount", "lsu", "servertype", "attribute",
                               "fastbackup", "service", "status"})
        EXPECT_NE(r.out.find("  " + std::string(family) + " "), std::string::npos) << family;
    EXPECT_NE(r.out.find("  3  the per-user service could not be started ('service status': it is not running)\n"),
              std::string::npos)
        << r.out;
    r = run_ok({"pool", "create", "--help"});
    EXPECT_NE(r.out.find("--type TEXT REQUIRED"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Exit codes: 0 success, 1 library failure, 2 bad usage"), std::string::npos) << r.out;
    r = run_ok({"server", "config", "set", "--help"});
    EXPECT_NE(r.out.find("NAME=VALUE"), std::string::npos) << r.out;
}

TEST_F(ToolUsage, BadUsageIsExitCodeTwoAndNothingIsSent) {
    const CORBA::ULong before = DsmControl::StringSeq_var(control()->callLog())->length();
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"pool"},
        {"pool", "show"},
        {"pool", "frobnicate"},
        {"pool", "state", "pool1", "sideways"},
        {"pool", "update", "pool1"},
        {"pool", "create", "p", "--server", "s1"},
        {"vol", "flags", "pool1"},
        {"--db-mode", "7", "pool", "list"},
        {"server", "config", "set", "s", "x=1", "--kind", "9"},
    };
    for (const auto& args : bad) {
        ToolResult r = expect_exit(2, args);
        EXPECT_TRUE(r.out.empty() || r.out.find("Usage:") != std::string::npos) << r.out;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(DsmControl::StringSeq_var(control()->callLog())->length(), before);
    ToolResult r = expect_exit(2, {"pool", "show"});
    EXPECT_NE(r.err.find("NAME is required"), std::string::npos) << r.err;
}

TEST_F(ToolUsage, LibraryFailuresAreOneLineWithStatusAndMeaning) {
    ToolResult r = expect_exit(1, {"--emm-server", "no-such-host.invalid", "pool", "list"});
    EXPECT_EQ(r.err,
              "dsmtool: pool list: dsm_get_diskgroupinfo_list failed with status 2050201 DSM_E_NO_CONNECTION (no "
              "connection to DiskServiceMgr): DiskServiceMgr not found on no-such-host.invalid\n");
    r = expect_exit(1, {"--json", "--emm-server", "no-such-host.invalid", "status"});
    EXPECT_EQ(r.json()["connected"], false);
    EXPECT_EQ(r.json()["status"], 2050201);

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

TEST_F(ToolUsage, StatusOfTheConfiguredService) {
    json s = run_ok({"--json", "status"}).json();
    EXPECT_EQ(s["connected"], true);
    EXPECT_EQ(s["emm_server"], "127.0.0.1");
    EXPECT_EQ(s["service"], "configured") << "an EMM server is configured: no per-user service";
    EXPECT_EQ(s["status"], 0);
}
