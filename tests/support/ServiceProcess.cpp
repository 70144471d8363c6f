#include "ServiceProcess.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int read_port(const std::string& path) {
    std::ifstream in(path);
    int port = 0;
    return (in >> port) ? port : 0;
}

}  // namespace

ServiceProcess::ServiceProcess(std::string exe, std::string address)
    : exe_(std::move(exe)), address_(std::move(address)) {
    char templ[] = "/tmp/dsmservice-XXXXXX";
    if (!mkdtemp(templ)) throw std::runtime_error("mkdtemp failed");
    dir_ = templ;
}

ServiceProcess::~ServiceProcess() {
    try {
        stop();
    } catch (...) {
    }
    std::remove((dir_ + "/ready").c_str());
    rmdir(dir_.c_str());
}

void ServiceProcess::start(int port) {
    if (running()) stop();
    const std::string ready = dir_ + "/ready";
    std::remove(ready.c_str());
    std::vector<std::string> args = {exe_, "--port", std::to_string(port), "--address", address_,
                                      "--ready-file", ready};
    if (control_) args.push_back("--control");
    if (!db_path_.empty()) {
        args.push_back("--db");
        args.push_back(db_path_);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        // A test that crashes must not leave its service running.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        execv(exe_.c_str(), argv.data());
        _exit(127);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        if ((port_ = read_port(ready)) > 0) return;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("dsmservice exited before it was ready");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill();
    throw std::runtime_error("dsmservice was not ready within 10 s");
}

void ServiceProcess::reap(int signal, int wait_ms) {
    if (!running()) return;
    ::kill(pid_, signal);
    const auto deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
    while (Clock::now() < deadline) {
        if (waitpid(pid_, &status_, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    pid_ = -1;
}

void ServiceProcess::stop() { reap(SIGTERM, 5000); }

void ServiceProcess::kill() { reap(SIGKILL, 5000); }

void ServiceProcess::restart() {
    const int port = port_;
    stop();
    start(port);
}

std::string ServiceProcess::corbaloc(const char* key) const {
    return "corbaloc::1.2@" + address_ + ":" + std::to_string(port_) + "/" + key;
}

DsmControl::Control_ptr ServiceProcess::control(CORBA::ORB_ptr orb) const {
    CORBA::Object_var obj = orb->string_to_object(corbaloc("DsmControl").c_str());
    DsmControl::Control_ptr control = DsmControl::Control::_narrow(obj.in());
    if (CORBA::is_nil(control)) throw std::runtime_error("no control object at " + corbaloc("DsmControl"));
    return control;
}
