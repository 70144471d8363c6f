// The per-user service dsmtool starts when no EMM server is configured:
// started by the first call, reused by the next, replaced when it died or
// stopped answering, and stopped by "service stop". The test is the
// services' subreaper, so it can prove that none is left running.
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace dsmtest;
using nlohmann::json;

namespace {

bool reaped(pid_t pid) {
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid || kill(pid, 0) != 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class EmbeddedService : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        char templ[] = "/tmp/dsmtool-home-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        home_ = templ;
        runtime_ = home_ + "/run";
        ASSERT_EQ(mkdir(runtime_.c_str(), 0700), 0);
        setenv("HOME", home_.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        // No product configuration at all: the first-run case.
        setenv("KDCONF_FILE", (home_ + "/absent/xq.conf").c_str(), 1);
        unsetenv("DSMTOOL_SERVICE");
    }

    void TearDown() override {
        for (pid_t pid : started_)
            if (kill(pid, 0) == 0) {
                kill(pid, SIGKILL);
                reaped(pid);
            }
        std::system(("rm -rf '" + home_ + "'").c_str());
    }

    pid_t service_pid() {
        json s = run_ok({"--json", "service", "status"}).json();
        if (!s["running"].get<bool>()) return -1;
        const pid_t pid = s["pid"].get<pid_t>();
        started_.push_back(pid);
        return pid;
    }

    std::string state(const char* file) const { return runtime_ + "/dsmtool/" + file; }

    std::string home_, runtime_;
    std::vector<pid_t> started_;
};

}  // namespace

TEST_F(EmbeddedService, StartedOnceReusedReplacedAndStopped) {
    EXPECT_EQ(service_pid(), -1);
    ToolResult r = run_ok({"--json", "pool", "list"});
    EXPECT_TRUE(r.json().empty());
    const pid_t first = service_pid();
    ASSERT_GT(first, 0);
    struct stat st;
    ASSERT_EQ(stat((runtime_ + "/dsmtool").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the state directory is private";
    std::ifstream conf(state("xq.conf"));
    std::string line;
    std::getline(conf, line);
    EXPECT_EQ(line.rfind("#", 0), 0u);
    std::getline(conf, line);
    EXPECT_EQ(line, "EMM_SERVER = 127.0.0.1");

    // The second call finds the same service, with what the first made.
    run_ok({"pool", "create", "p1", "--type", "AdvancedDisk", "--server", "s1"});
    EXPECT_EQ(service_pid(), first);
    json status = run_ok({"--json", "status"}).json();
    EXPECT_EQ(status["connected"], true);
    EXPECT_EQ(status["service"].get<std::string>().find("per-user (pid " + std::to_string(first) + ","), 0u);
    EXPECT_EQ(run_ok({"--json", "pool", "list"}).json().size(), 1u);

    // A service that no longer answers on the recorded port is replaced.
    std::ofstream(state("xq.conf"), std::ios::trunc) << "EMM_SERVER = 127.0.0.1\nKDDSMFSM_PORT = 1\n";
    run_ok({"pool", "list"});
    const pid_t second = service_pid();
    ASSERT_GT(second, 0);
    EXPECT_NE(second, first);
    EXPECT_TRUE(reaped(first)) << "the deaf one was stopped";

    // One that died is replaced too, and the new one still knows the pool.
    kill(second, SIGKILL);
    ASSERT_TRUE(reaped(second));
    json answer = run_ok({"--json", "service", "status"}).json();
    EXPECT_EQ(answer["running"], false);
    EXPECT_EQ(answer["db"], state("service.db"));
    json pools = run_ok({"--json", "pool", "list"}).json();
    ASSERT_EQ(pools.size(), 1u) << "kept in the state directory's database";
    EXPECT_EQ(pools[0]["name"], "p1");
    const pid_t third = service_pid();
    ASSERT_GT(third, 0);
    EXPECT_NE(third, second);

    r = run_ok({"service", "stop"});
    EXPECT_EQ(r.out, "Service stopped (pid " + std::to_string(third) + ")\n");
    EXPECT_TRUE(reaped(third));
    EXPECT_EQ(service_pid(), -1);
    EXPECT_EQ(run_ok({"service", "stop"}).out, "Service not running\n");
    EXPECT_NE(access(state("service.log").c_str(), F_OK), -1) << "the log stays for the next one";
}

TEST_F(EmbeddedService, NotStartedWhenAskedNotToOrWhenTheServiceIsMissing) {
    ToolResult r = expect_exit(1, {"--no-embedded", "pool", "list"});
    EXPECT_NE(r.err.find("DSM_E_NO_CONNECTION"), std::string::npos) << r.err;
    EXPECT_EQ(service_pid(), -1);

    setenv("DSMTOOL_SERVICE", (home_ + "/no-such-dsmservice").c_str(), 1);
    r = expect_exit(3, {"pool", "list"});
    EXPECT_NE(r.err.find("dsmtool: cannot start the per-user service:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("(DSMTOOL_SERVICE) is not executable"), std::string::npos) << r.err;

    // A service that exits at once is reported without waiting out the start.
    const std::string failing = home_ + "/failing-service";
    std::ofstream(failing) << "#!/bin/sh\necho refusing >&2\nexit 1\n";
    chmod(failing.c_str(), 0700);
    setenv("DSMTOOL_SERVICE", failing.c_str(), 1);
    const auto begin = std::chrono::steady_clock::now();
    r = expect_exit(3, {"pool", "list"});
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    EXPECT_NE(r.err.find("did not start; see " + state("service.log")), std::string::npos) << r.err;
    std::ifstream log(state("service.log"));
    std::string first;
    std::getline(log, first);
    EXPECT_EQ(first, "refusing") << "its output goes to the log";
    unsetenv("DSMTOOL_SERVICE");
    EXPECT_EQ(service_pid(), -1);
    EXPECT_EQ(run_ok({"servertype", "name", "6"}).exit, 0) << "commands without the service never start one";
    EXPECT_EQ(service_pid(), -1);
}
