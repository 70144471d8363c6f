// The bundled service in the fixture of a library test binary: started once
// per binary on a free loopback port, with a product configuration that
// points the library at it, and reset between tests.
#ifndef DSM_TESTS_SERVICEFIXTURE_H
#define DSM_TESTS_SERVICEFIXTURE_H

#include "ServiceProcess.h"

#include "DsmControl.hh"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace dsmtest {

// A product configuration file of the test's own, removed at exit.
class ConfigFile {
public:
    ConfigFile();
    ~ConfigFile();
    // Rewrites the file with these lines and points $KDCONF_FILE at it.
    void write(const std::string& contents);
    const std::string& path() const { return path_; }

private:
    std::string dir_, path_;
};

// The configuration the fixture writes for a service on 'address':'port'.
std::string service_config(const std::string& address, int port, int call_timeout_ms = 3000);

class ServiceEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
    static ServiceEnvironment& get();
    ServiceProcess& service() { return *service_; }
    ConfigFile& config() { return config_; }
    // The bundled service's control object, on the library's own ORB.
    DsmControl::Control_ptr control();
    CORBA::ORB_ptr orb();
    // Drops the service's objects, faults and recorded calls.
    void reset();

private:
    std::unique_ptr<ServiceProcess> service_;
    ConfigFile config_;
    DsmControl::Control_var control_;
};

// Base fixture: resets the service before each test.
class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ServiceEnvironment::get().reset(); }
    DsmControl::Control_ptr control() { return ServiceEnvironment::get().control(); }
    ServiceProcess& service() { return ServiceEnvironment::get().service(); }
};

// Registers the environment; call from main() before RUN_ALL_TESTS().
void install_service_environment();

}  // namespace dsmtest

#endif
