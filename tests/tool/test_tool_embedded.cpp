// The per-user service dsmtool starts when no EMM server is configured:
// started by the first call, reused by the next, replaced when it died or
// stopped answering, and stopped by "service stop". The test is the
// services' subreaper, so it can prove that none is left running.
#include "ToolRun.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <set>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <thread>

using namespace dsmtest;
namespace fs = std::filesystem;

namespace {

bool reaped(pid_t pid) {
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid || kill(pid, 0) != 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Whether the process holds a socket that listens on TCP (IPv4 or IPv6).
bool listens_on_tcp(pid_t pid) {
    std::set<std::string> listening;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            const Args f{std::istream_iterator<std::string>(fields), {}};
            if (f.size() > 9 && f[3] == "0A") listening.insert("socket:[" + f[9] + "]");
        }
    }
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
        if (listening.count(fs::read_symlink(fd.path(), ec).string())) return true;
    return false;
}

class EmbeddedService : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        char home[] = "/tmp/dsmtool-home-XXXXXX";
        ASSERT_NE(mkdtemp(home), nullptr);
        home_ = home;
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
            if (kill(pid, SIGKILL) == 0) reaped(pid);
        fs::remove_all(home_);
    }

    // As systemctl status does, "service status" exits 3 when none runs.
    pid_t service_pid() {
        ToolResult r = run_tool("--json service status");
        json s = r.json();
        EXPECT_EQ(r.exit, s["running"].get<bool>() ? 0 : 3);
        if (!s["running"].get<bool>()) return -1;
        started_.push_back(s["pid"].get<pid_t>());
        return started_.back();
    }

    std::string state(const char* file) const { return runtime_ + "/dsmtool/" + file; }

    std::string started(pid_t pid) const {
        return "dsmtool: started the per-user DiskServiceMgr (pid " + std::to_string(pid) + ") on " +
               state("service.sock") + "\n";
    }

    std::string home_, runtime_;
    std::vector<pid_t> started_;
};

}  // namespace

TEST_F(EmbeddedService, StartedOnceReusedReplacedAndStopped) {
    EXPECT_EQ(service_pid(), -1);
    ToolResult r = run_ok("--json pool list");
    EXPECT_TRUE(r.json().empty());
    const pid_t first = service_pid();
    ASSERT_GT(first, 0);
    EXPECT_EQ(r.err, started(first));
    EXPECT_EQ(fs::status(runtime_ + "/dsmtool").permissions(), fs::perms::owner_all) << "a private directory";
    EXPECT_TRUE(std::regex_search(read_file(state("xq.conf")), std::regex("^#.*\nEMM_SERVER = 127\\.0\\.0\\.1\n")));

    // The second call finds the same service, with what the first made, and
    // says nothing about it.
    expect_whole(transcript({"pool create p1 --type AdvancedDisk --server s1", "--json status", "pool list --brief"},
                            {{home_, "HOME"}, {std::to_string(first), "PID"}}),
                 "embedded_reused.txt");
    EXPECT_EQ(service_pid(), first);

    // A stalled service is told about within two seconds, then replaced once
    // the ping's bound is waited out.
    kill(first, SIGSTOP);
    const auto begin = std::chrono::steady_clock::now();
    r = run_ok("pool list");
    EXPECT_GT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(9));
    const std::string stalled = "dsmtool: the per-user DiskServiceMgr (pid " + std::to_string(first) + ") ";
    const pid_t second = service_pid();
    ASSERT_GT(second, 0);
    EXPECT_NE(second, first);
    EXPECT_EQ(r.err, stalled + "has not answered for 1.5 s; waiting up to 10 s before replacing it\n" + stalled +
                         "does not answer; replacing it\n" + started(second));
    EXPECT_TRUE(reaped(first)) << "the deaf one was stopped";

    // One that died is replaced too, and the new one still knows the pool
    // (kept in the state directory's database).
    kill(second, SIGKILL);
    ASSERT_TRUE(reaped(second));
    expect_whole(transcript({"--json service status"}, {{home_, "HOME"}}), "embedded_died.txt");
    EXPECT_EQ(run_json("pool list --brief"), json::array({"p1"}));
    const pid_t third = service_pid();
    ASSERT_GT(third, 0);
    EXPECT_NE(third, second);

    EXPECT_EQ(run_ok("service stop").out, "Service stopped (pid " + std::to_string(third) + ")\n");
    EXPECT_TRUE(reaped(third));
    EXPECT_EQ(service_pid(), -1);
    EXPECT_EQ(run_ok("service stop").out, "Service not running\n");
    EXPECT_TRUE(fs::exists(state("service.log"))) << "the log stays for the next one";
}

// The per-user service is its user's alone: no TCP port, a socket and files
// no other user can open, and no control object. Run as root, the test
// switches to 'nobody' to try; elsewhere it is skipped with a message.
TEST_F(EmbeddedService, OtherUsersCanNeitherReachItNorReadItsFiles) {
    run_ok("pool create p1 --type AdvancedDisk --server s1");
    const pid_t pid = service_pid();
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(listens_on_tcp(pid));
    for (const char* file : {"service.sock", "service.db", "service.log", "xq.conf", "pid", "ready"}) {
        struct stat st;
        ASSERT_EQ(lstat(state(file).c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 077, 0u) << file << " is open to others";
        EXPECT_EQ(st.st_uid, getuid()) << file;
    }

    const std::string nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (getuid() != 0 || std::system((nobody + DSMTOOL_EXE + " --help >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "cannot run dsmtool as another user here (needs root, setpriv and a build tree others "
                        "can read)";
    // Only dsmtool's own state directory and files stand in the way.
    ASSERT_EQ(chmod(home_.c_str(), 0755), 0);
    ASSERT_EQ(chmod(runtime_.c_str(), 0755), 0);
    // Another user, given everything but the permissions: a configuration
    // of its own naming the socket, and the path of the database.
    const std::string other = home_ + "/other";
    ASSERT_TRUE(fs::create_directory(other));
    ASSERT_EQ(chmod(other.c_str(), 0755), 0);
    std::ofstream(other + "/xq.conf") << "EMM_SERVER = 127.0.0.1\nKDDSMFSM_SOCKET = " << state("service.sock")
                                      << "\nORB_CONNECT_TIMEOUT_MS = 2000\nORB_CALL_TIMEOUT_MS = 2000\n";
    chmod((other + "/xq.conf").c_str(), 0644);
    const std::string as_nobody = nobody + "env KDCONF_FILE=" + other + "/xq.conf HOME=" + other + " ";
    const int tool = std::system((as_nobody + DSMTOOL_EXE + " pool list >/dev/null 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(tool), 1) << "the library call fails: no connection";
    const int read = std::system((as_nobody + "cat " + state("service.db") + " >/dev/null 2>&1").c_str());
    EXPECT_NE(WEXITSTATUS(read), 0);
    EXPECT_EQ(run_json("pool list").size(), 1u) << "the owner's pool is untouched";
}

// A service that exits at once is reported without waiting out the start;
// its output goes to the log.
TEST_F(EmbeddedService, NotStartedWhenAskedNotToOrWhenTheServiceIsMissing) {
    const Names home = {{home_, "HOME"}};
    std::string t = transcript({"--no-embedded pool list"}, home);
    EXPECT_EQ(service_pid(), -1);
    setenv("DSMTOOL_SERVICE", (home_ + "/no-such-dsmservice").c_str(), 1);
    t += transcript({"--json pool list"}, home);
    std::ofstream(home_ + "/failing") << "#!/bin/sh\necho refusing >&2\nexit 1\n";
    fs::permissions(home_ + "/failing", fs::perms::owner_all);
    setenv("DSMTOOL_SERVICE", (home_ + "/failing").c_str(), 1);
    const auto begin = std::chrono::steady_clock::now();
    t += transcript({"pool list"}, home);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    expect_whole(t, "embedded_not_started.txt");
    EXPECT_EQ(read_file(state("service.log")).rfind("refusing\n", 0), 0u);
    unsetenv("DSMTOOL_SERVICE");
    EXPECT_EQ(service_pid(), -1);
    run_ok("servertype name 6");
    EXPECT_EQ(service_pid(), -1) << "commands without the service never start one";
}
