#include "ToolRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace dsmtest {

namespace {

using Clock = std::chrono::steady_clock;

// Reads both pipes until the child closes them, so that neither can fill.
void drain(int out_fd, int err_fd, std::string& out, std::string& err, Clock::time_point deadline) {
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string* sinks[2] = {&out, &err};
    int open = 2;
    while (open > 0 && Clock::now() < deadline) {
        if (poll(fds, 2, 100) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<size_t>(n));
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

nlohmann::json ToolResult::json() const {
    try {
        return nlohmann::json::parse(out);
    } catch (const nlohmann::json::exception& e) {
        ADD_FAILURE() << "not JSON: " << e.what() << "\n" << out;
        return nullptr;
    }
}

ToolResult run_tool(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string exe = DSMTOOL_EXE;
    argv.push_back(&exe[0]);
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        close(out[1]);
        close(err[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    ToolResult r;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    drain(out[0], err[0], r.out, r.err, deadline);
    close(out[0]);
    close(err[0]);
    int status = 0;
    if (Clock::now() >= deadline) kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

ToolResult expect_exit(int code, const std::vector<std::string>& args) {
    ToolResult r = run_tool(args);
    std::string line = "dsmtool";
    for (const std::string& a : args) line += " " + a;
    EXPECT_EQ(r.exit, code) << line << "\nstdout: " << r.out << "\nstderr: " << r.err;
    return r;
}

std::string expected(const std::string& name) {
    std::ifstream in(std::string(DSMTOOL_EXPECTED_DIR) + "/" + name);
    if (!in) throw std::runtime_error("no expected file " + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace dsmtest
