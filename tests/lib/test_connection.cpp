// The connection to DiskServiceMgr: ping before each use, reconnects after a
// restart or a changed EMM server, the bound on an unreachable service, and
// value-factory registration.
#include "LogCapture.h"
#include "ServiceFixture.h"

#include "Orb.h"
#include "dsmlib_internal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

using dsmtest::ServiceEnvironment;
using dsmtest::ServiceTest;
using Clock = std::chrono::steady_clock;

namespace {

const char* kConnect = "dsmlibp_connect_dsm";

// A TCP port on 127.0.0.1 with nothing listening on it.
int closed_port() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

double seconds_since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

class Connection : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        auto& env = ServiceEnvironment::get();
        env.config().write(dsmtest::service_config(env.service().address(), env.service().port()));
        dsmlib_set_emmserver(env.service().address().c_str());
    }
};

}  // namespace

TEST_F(Connection, PingsBeforeEveryUseAndRegistersFactoriesOnce) {
    LogCapture capture;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dsmlib_ping(), DSM_OK) << capture.dump();
    // The first call may connect; every later one pings the cached reference.
    EXPECT_GE(control()->callCount("ping"), 2);
    EXPECT_LE(capture.containing("Registerd Framework OBV factories").size(), 1u);

    CORBA::ValueFactory f1 = ServiceEnvironment::get().orb()->lookup_value_factory(
        "IDL:Orvane/Keldra/DL/DiskService/DiskGroupInfo:1.0");
    ASSERT_NE(f1, nullptr) << "factories registered by the first connection";
    service().restart();
    EXPECT_EQ(dsmlib_ping(), DSM_OK);
    CORBA::ValueFactory f2 = ServiceEnvironment::get().orb()->lookup_value_factory(
        "IDL:Orvane/Keldra/DL/DiskService/DiskGroupInfo:1.0");
    EXPECT_EQ(f1, f2) << "a reconnection does not register again";
    f1->_remove_ref();
    f2->_remove_ref();
    EXPECT_LE(capture.containing("Registerd DiskServiceMgr OBV factories").size(), 1u);
}

TEST_F(Connection, ReconnectsAfterTheServiceRestarted) {
    ASSERT_EQ(dsmlib_ping(), DSM_OK);
    service().kill();
    service().start(service().port());
    LogCapture capture;
    EXPECT_EQ(dsmlib_ping(), DSM_OK) << capture.dump();
    EXPECT_TRUE(capture.has("Invalid DiskServerMgr connection; Reconnecting...", DSM_SEV_ERROR, kConnect))
        << capture.dump();
    EXPECT_TRUE(capture.has("Connecting to DiskServiceMgr on " + service().address(),
                            DSM_SEV_PROGRESS, kConnect));
}

TEST_F(Connection, FollowsAChangedEmmServer) {
    ServiceProcess second(DSM_SERVICE_EXE, "127.0.0.2");
    second.start(service().port());
    ASSERT_EQ(dsmlib_ping(), DSM_OK);
    DsmControl::Control_var other = second.control(ServiceEnvironment::get().orb());
    const CORBA::Long before = other->callCount("ping");

    dsmlib_set_emmserver("127.0.0.2");
    LogCapture capture;
    EXPECT_EQ(dsmlib_ping(), DSM_OK) << capture.dump();
    EXPECT_TRUE(capture.has("EMM server setting has changed; Reconnecting...", DSM_SEV_PROGRESS, kConnect));
    EXPECT_TRUE(capture.has("Connecting to DiskServiceMgr on 127.0.0.2", DSM_SEV_PROGRESS, kConnect));
    EXPECT_EQ(dsmlib_ping(), DSM_OK);
    EXPECT_GT(other->callCount("ping"), before) << "the second service answers now";
    second.stop();
}

TEST_F(Connection, NothingListeningGives2050201WithinTheBound) {
    auto& env = ServiceEnvironment::get();
    env.config().write(dsmtest::service_config("127.0.0.1", closed_port()));
    dsmlib_set_emmserver("127.0.0.1");
    service().kill();  // the cached reference goes bad too
    LogCapture capture;
    const auto t0 = Clock::now();
    EXPECT_EQ(dsmlib_ping(), DSM_E_NO_CONNECTION);
    const double elapsed = seconds_since(t0);
    EXPECT_LT(elapsed, 5.5);
    RecordProperty("connect_failure_seconds", std::to_string(elapsed));
    EXPECT_TRUE(capture.has("DiskServiceMgr not found on 127.0.0.1", DSM_SEV_ERROR, kConnect))
        << capture.dump();
    EXPECT_TRUE(capture.has("Failed to connect to DiskServiceMgr (kdemm)", DSM_SEV_ERROR, "dsmlib_ping"));
    service().start(service().port());
}

TEST_F(Connection, UnresolvableEmmServerFailsCleanly) {
    dsmlib_set_emmserver("no-such-host.invalid");
    LogCapture capture;
    EXPECT_EQ(dsmlib_ping(), DSM_E_NO_CONNECTION);
    EXPECT_TRUE(capture.has("DiskServiceMgr not found on no-such-host.invalid", DSM_SEV_ERROR, kConnect))
        << capture.dump();
}

TEST_F(Connection, AnObjectTheContextRejectsIsNotUsed) {
    // Force a fresh connection, then narrow with a function that says no.
    dsmlib_set_emmserver("127.0.0.2");
    dsmlib_ping();
    dsmlib_set_DSM_context([](void*) -> void* { return nullptr; });
    dsmlib_set_emmserver(service().address().c_str());
    LogCapture capture;
    EXPECT_EQ(dsmlib_ping(), DSM_E_NO_CONNECTION);
    EXPECT_TRUE(capture.has("Failed to narrow DiskServiceMgr remote object", DSM_SEV_FATAL, kConnect))
        << capture.dump();
    dsmlib_set_DSM_context(&dsmlibp_default_narrow);
    EXPECT_EQ(dsmlib_ping(), DSM_OK);
}
