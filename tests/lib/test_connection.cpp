// The connection to DiskServiceMgr: ping before each use, reconnects, the
// bound on an unreachable service, and value-factory registration.
#include "LogCapture.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

#include <omniORB4/CORBA.h>

#include <chrono>
#include <mutex>

using namespace dsmtest;

namespace {

const char* kConnect = "dsmlibp_connect_dsm";
const char* kFactory = "IDL:Orvane/Keldra/DL/DiskService/DiskGroupInfo:1.0";

// The ORB's own log, raised to the level at which it reports each object
// reference it deletes: a reference the library drops without releasing it
// never shows there.
struct OrbLog {
    static std::mutex mutex;
    static std::string text;
    CORBA::ULong saved = omniORB::traceLevel;
    OrbLog() {
        omniORB::setLogFunction([](const char* line) {
            std::lock_guard<std::mutex> lock(mutex);
            text += line;
        });
        omniORB::traceLevel = 40;
    }
    ~OrbLog() {
        omniORB::traceLevel = saved;
        omniORB::setLogFunction(nullptr);
    }
};
std::mutex OrbLog::mutex;
std::string OrbLog::text;

// Tests here point the library elsewhere; each leaves it as the fixture set it.
class Connection : public LibraryTest {
protected:
    void TearDown() override {
        ServiceEnvironment::get().config().write(service_config(service().address(), service().port()));
        dsmlib_set_emmserver(service().address().c_str());
        dsmlib_set_DSM_context(&dsmlibp_default_narrow);
    }
};

}  // namespace

TEST_F(Connection, PingsBeforeEveryUseReconnectsAfterARestartAndRegistersFactoriesOnce) {
    LogCapture capture;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dsmlib_ping(), DSM_OK) << capture.dump();
    // The first call may connect; every later one pings the cached reference.
    EXPECT_GE(control()->callCount("ping"), 2);
    CORBA::ORB_ptr orb = ServiceEnvironment::get().orb();
    CORBA::ValueFactory f1 = orb->lookup_value_factory(kFactory);
    ASSERT_NE(f1, nullptr) << "factories registered by the first connection";
    service().restart();
    EXPECT_EQ(dsmlib_ping(), DSM_OK);
    EXPECT_TRUE(capture.has("Invalid DiskServerMgr connection; Reconnecting...", DSM_SEV_ERROR, kConnect))
        << capture.dump();
    EXPECT_TRUE(capture.has("Connecting to DiskServiceMgr on " + service().address(), DSM_SEV_PROGRESS, kConnect));
    CORBA::ValueFactory f2 = orb->lookup_value_factory(kFactory);
    EXPECT_EQ(f1, f2) << "a reconnection does not register again";
    f1->_remove_ref();
    f2->_remove_ref();
    EXPECT_LE(capture.containing("Registerd Framework OBV factories").size(), 1u);
    EXPECT_LE(capture.containing("Registerd DiskServiceMgr OBV factories").size(), 1u);
}

// "127.1" is 127.0.0.1 by another name: the library sees a changed EMM server.
TEST_F(Connection, FollowsAChangedEmmServerAndUsesNoObjectTheContextRejects) {
    ServiceProcess second;
    second.start();
    ASSERT_EQ(dsmlib_ping(), DSM_OK);
    DsmControl::Control_var other = second.control(ServiceEnvironment::get().orb());
    ServiceEnvironment::get().config().write(service_config("127.0.0.1", second.port()));
    dsmlib_set_emmserver("127.1");
    LogCapture capture;
    {
        OrbLog orb_log;
        EXPECT_EQ(dsmlib_ping(), DSM_OK) << capture.dump();
    }
    const std::string& orb = OrbLog::text;
    EXPECT_LT(orb.find("ObjRef() -- deleted."), orb.find("Creating ref to remote"))
        << "the reference to the first service is released before the second is reached";
    EXPECT_TRUE(capture.has("EMM server setting has changed; Reconnecting...", DSM_SEV_PROGRESS, kConnect));
    EXPECT_TRUE(capture.has("Connecting to DiskServiceMgr on 127.1", DSM_SEV_PROGRESS, kConnect));
    EXPECT_EQ(dsmlib_ping(), DSM_OK);
    EXPECT_GT(other->callCount("ping"), 0) << "the second service answers now";

    // Going back connects anew, and the narrowing function may say no.
    ServiceEnvironment::get().config().write(service_config(service().address(), service().port()));
    dsmlib_set_DSM_context([](void*) -> void* { return nullptr; });
    dsmlib_set_emmserver(service().address().c_str());
    capture.clear();
    EXPECT_EQ(dsmlib_ping(), DSM_E_NO_CONNECTION);
    EXPECT_TRUE(capture.has("Failed to narrow DiskServiceMgr remote object", DSM_SEV_FATAL, kConnect))
        << capture.dump();
    dsmlib_set_DSM_context(&dsmlibp_default_narrow);
    EXPECT_EQ(dsmlib_ping(), DSM_OK);
    second.stop();
}

TEST_F(Connection, NothingListeningGives2050201WithinTheBound) {
    service().kill();  // nothing listens on its port now
    LogCapture capture;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(dsmlib_ping(), DSM_E_NO_CONNECTION);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 5.5);
    EXPECT_TRUE(capture.has("DiskServiceMgr not found on 127.0.0.1", DSM_SEV_ERROR, kConnect)) << capture.dump();
    EXPECT_TRUE(capture.has("Failed to connect to DiskServiceMgr (kdemm)", DSM_SEV_ERROR, "dsmlib_ping"));
    service().start(service().port());
}
