#include "ServiceFixture.h"

#include "Orb.h"
#include "dsmlib_internal.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace dsmtest {

ConfigFile::ConfigFile() {
    char templ[] = "/tmp/dsmtest-conf-XXXXXX";
    if (!mkdtemp(templ)) throw std::runtime_error("mkdtemp failed");
    dir_ = templ;
    path_ = dir_ + "/xq.conf";
}

ConfigFile::~ConfigFile() {
    std::remove(path_.c_str());
    rmdir(dir_.c_str());
}

void ConfigFile::write(const std::string& contents) {
    std::ofstream(path_, std::ios::trunc) << contents;
    setenv("KDCONF_FILE", path_.c_str(), 1);
}

std::string service_config(const std::string& address, int port, int call_timeout_ms) {
    return "# written by the test fixture\nEMM_SERVER = " + address + "\nSERVER = " + address +
           "\nSERVER = media1.example.test\nKDDSMFSM_PORT = " + std::to_string(port) +
           "\nORB_CALL_TIMEOUT_MS = " + std::to_string(call_timeout_ms) + "\n";
}

namespace {
ServiceEnvironment* g_environment = nullptr;
}

ServiceEnvironment& ServiceEnvironment::get() { return *g_environment; }

void ServiceEnvironment::SetUp() {
    service_ = std::make_unique<ServiceProcess>();
    service_->start();
    config_.write(service_config(service_->address(), service_->port()));
}

void ServiceEnvironment::TearDown() {
    control_ = DsmControl::Control::_nil();
    service_.reset();
}

CORBA::ORB_ptr ServiceEnvironment::orb() {
    Orb* orb = dsmlibp_get_orb(nullptr);
    if (!orb) throw std::runtime_error("the library could not make its ORB");
    return orb->orb();
}

DsmControl::Control_ptr ServiceEnvironment::control() {
    if (CORBA::is_nil(control_.in())) control_ = service_->control(orb());
    return control_.in();
}

void ServiceEnvironment::reset() {
    // A test may have restarted or killed the service: the first call on a
    // stale connection can fail once, a second one reconnects.
    for (int attempt = 0;; ++attempt) {
        try {
            if (!service_->running()) service_->start(service_->port());
            control()->reset();
            return;
        } catch (const CORBA::SystemException& e) {
            if (attempt == 2) throw std::runtime_error(std::string("the service cannot be reset: ") + e._name());
            control_ = DsmControl::Control::_nil();
        }
    }
}

void install_service_environment() {
    g_environment = new ServiceEnvironment;
    ::testing::AddGlobalTestEnvironment(g_environment);  // gtest owns it
}

}  // namespace dsmtest
