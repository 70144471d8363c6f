// The per-user service dsmtool starts when no EMM server is configured:
// started by the first call, reused by the next, replaced when it died or
// stopped answering, and stopped by "service stop". The test is the
// services' subreaper, so it can prove that none is left running.
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
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

    // As systemctl status does, "service status" exits 3 when none runs.
    pid_t service_pid() {
        ToolResult r = run_tool({"--json", "service", "status"});
        json s = r.json();
        EXPECT_EQ(r.exit, s["running"].get<bool>() ? 0 : 3);
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
    EXPECT_EQ(r.err, "dsmtool: started the per-user DiskServiceMgr (pid " + std::to_string(first) + ") on " +
                         state("service.sock") + "\n");
    struct stat st;
    ASSERT_EQ(stat((runtime_ + "/dsmtool").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the state directory is private";
    std::ifstream conf(state("xq.conf"));
    std::string line;
    std::getline(conf, line);
    EXPECT_EQ(line.rfind("#", 0), 0u);
    std::getline(conf, line);
    EXPECT_EQ(line, "EMM_SERVER = 127.0.0.1");

    // The second call finds the same service, with what the first made, and
    // says nothing about it.
    EXPECT_EQ(run_ok({"pool", "create", "p1", "--type", "AdvancedDisk", "--server", "s1"}).err, "");
    EXPECT_EQ(service_pid(), first);
    json status = run_ok({"--json", "status"}).json();
    EXPECT_EQ(status["connected"], true);
    EXPECT_EQ(status["service"].get<std::string>().find("per-user (pid " + std::to_string(first) + ","), 0u);
    EXPECT_EQ(status["service_pid"], first);
    EXPECT_EQ(status["service_socket"], state("service.sock"));
    EXPECT_EQ(run_ok({"--json", "pool", "list"}).json().size(), 1u);

    // A stalled service is told about within two seconds, then replaced.
    kill(first, SIGSTOP);
    const auto begin = std::chrono::steady_clock::now();
    r = run_ok({"pool", "list"});
    EXPECT_GT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(9)) << "the ping's bound is waited out";
    EXPECT_EQ(r.err.find("dsmtool: the per-user DiskServiceMgr (pid " + std::to_string(first) +
                         ") has not answered for 1.5 s; waiting up to 10 s before replacing it\n"
                         "dsmtool: the per-user DiskServiceMgr (pid " + std::to_string(first) +
                         ") does not answer; replacing it\n"
                         "dsmtool: started the per-user DiskServiceMgr (pid "), 0u) << r.err;
    const pid_t second = service_pid();
    ASSERT_GT(second, 0);
    EXPECT_NE(second, first);
    EXPECT_TRUE(reaped(first)) << "the deaf one was stopped";

    // One that died is replaced too, and the new one still knows the pool.
    kill(second, SIGKILL);
    ASSERT_TRUE(reaped(second));
    json answer = expect_exit(3, {"--json", "service", "status"}).json();
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

namespace {

// Socket inodes of the process's open descriptors.
std::vector<std::string> socket_inodes(pid_t pid) {
    std::vector<std::string> inodes;
    const std::string dir = "/proc/" + std::to_string(pid) + "/fd/";
    for (int fd = 0; fd < 1024; ++fd) {
        char target[256];
        const ssize_t n = readlink((dir + std::to_string(fd)).c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        const std::string link(target, static_cast<size_t>(n));
        if (link.rfind("socket:[", 0) == 0) inodes.push_back(link.substr(8, link.size() - 9));
    }
    return inodes;
}

// Whether one of these sockets listens on TCP (IPv4 or IPv6).
bool listens_on_tcp(const std::vector<std::string>& inodes) {
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);  // the header
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string sl, local, remote, state, queues, timer, retr, uid, timeout, inode;
            fields >> sl >> local >> remote >> state >> queues >> timer >> retr >> uid >> timeout >> inode;
            if (state == "0A" && std::find(inodes.begin(), inodes.end(), inode) != inodes.end()) return true;
        }
    }
    return false;
}

}  // namespace

// The per-user service is its user's alone: no TCP port, a socket and files
// no other user can open, and no control object. Run as root, the test
// switches to 'nobody' to try; elsewhere it is skipped with a message.
TEST_F(EmbeddedService, OtherUsersCanNeitherReachItNorReadItsFiles) {
    run_ok({"pool", "create", "p1", "--type", "AdvancedDisk", "--server", "s1"});
    const pid_t pid = service_pid();
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(listens_on_tcp(socket_inodes(pid)));
    for (const char* file : {"service.sock", "service.db", "service.log", "xq.conf", "pid", "ready"}) {
        struct stat st;
        ASSERT_EQ(lstat(state(file).c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 077, 0u) << file << " is open to others";
        EXPECT_EQ(st.st_uid, getuid()) << file;
    }

    const std::string nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (getuid() != 0 || std::system((nobody + DSMTOOL_EXE + " --help >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "cannot run dsmtool as another user here (needs root, setpriv and a build tree others can read)";
    // Only dsmtool's own state directory and files stand in the way.
    ASSERT_EQ(chmod(home_.c_str(), 0755), 0);
    ASSERT_EQ(chmod(runtime_.c_str(), 0755), 0);
    // Another user, given everything but the permissions: a configuration
    // of its own naming the socket, and the path of the database.
    char templ[] = "/tmp/dsmtool-other-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    const std::string other = templ;
    ASSERT_EQ(chmod(other.c_str(), 0755), 0);
    std::ofstream(other + "/xq.conf") << "EMM_SERVER = 127.0.0.1\nKDDSMFSM_SOCKET = " << state("service.sock")
                                      << "\nORB_CONNECT_TIMEOUT_MS = 2000\nORB_CALL_TIMEOUT_MS = 2000\n";
    chmod((other + "/xq.conf").c_str(), 0644);
    const std::string as_nobody = nobody + "env KDCONF_FILE=" + other + "/xq.conf HOME=" + other + " ";
    const int tool = std::system((as_nobody + DSMTOOL_EXE + " pool list >/dev/null 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(tool), 1) << "the library call fails: no connection";
    const int read = std::system((as_nobody + "cat " + state("service.db") + " >/dev/null 2>&1").c_str());
    EXPECT_NE(WEXITSTATUS(read), 0);
    std::system(("rm -rf '" + other + "'").c_str());
    EXPECT_EQ(run_ok({"--json", "pool", "list"}).json().size(), 1u) << "the owner's pool is untouched";
}

TEST_F(EmbeddedService, NotStartedWhenAskedNotToOrWhenTheServiceIsMissing) {
    ToolResult r = expect_exit(1, {"--no-embedded", "pool", "list"});
    EXPECT_NE(r.err.find("DSM_E_NO_CONNECTION (no connection to DiskServiceMgr): no EMM server to ask: " + home_ +
                         "/absent/xq.conf (named by KDCONF_FILE) cannot be read; give --emm-server\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(service_pid(), -1);

    setenv("DSMTOOL_SERVICE", (home_ + "/no-such-dsmservice").c_str(), 1);
    r = expect_exit(3, {"--json", "pool", "list"});
    const std::string message =
        "cannot start the per-user service: " + home_ + "/no-such-dsmservice (DSMTOOL_SERVICE) is not executable";
    EXPECT_EQ(r.err, "dsmtool: " + message + "\n");
    EXPECT_EQ(r.json(), (json{{"error", {{"kind", "service"}, {"exit", 3}, {"message", message}}}}));

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
