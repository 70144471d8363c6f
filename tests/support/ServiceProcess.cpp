#include "ServiceProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

ServiceProcess::ServiceProcess() {
    char templ[] = "/tmp/dsmservice-XXXXXX";
    if (!mkdtemp(templ)) throw std::runtime_error("mkdtemp failed");
    dir_ = templ;
}

ServiceProcess::~ServiceProcess() {
    stop();
    std::remove((dir_ + "/ready").c_str());
    rmdir(dir_.c_str());
}

void ServiceProcess::start(int port) {
    if (running()) stop();
    const std::string ready = dir_ + "/ready";
    std::remove(ready.c_str());
    std::vector<std::string> args = {DSM_SERVICE_EXE, "--port", std::to_string(port), "--address", address_,
                                      "--ready-file", ready};
    if (control_) args.push_back("--control");
    if (!db_path_.empty()) args.insert(args.end(), {"--db", db_path_});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        // A test that crashes must not leave its service running.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() == parent) execv(DSM_SERVICE_EXE, argv.data());
        _exit(127);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        std::ifstream in(ready);
        if (in >> port_ && port_ > 0) return;
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

void ServiceProcess::reap(int signal) {
    if (!running()) return;
    ::kill(pid_, signal);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    bool reaped = false;
    while (!(reaped = waitpid(pid_, &status_, WNOHANG) == pid_) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!reaped) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
    pid_ = -1;
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
