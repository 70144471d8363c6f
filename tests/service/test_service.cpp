// The bundled service on its own, with a plain ORB client: lifecycle,
// real state behind the operations, and the control interface's scripting.
#include "Factories.h"
#include "ServiceProcess.h"

#include "DiskService.hh"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/wait.h>
#include <thread>

namespace DS = Orvane::Keldra::DL::DiskService;
namespace FW = Orvane::Keldra::TL::Framework;
namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;

namespace {

CORBA::ORB_ptr client_orb() {
    static CORBA::ORB_ptr orb = [] {
        const char* options[][2] = {{"giopMaxMsgSize", "268435456"}, {nullptr, nullptr}};
        int argc = 0;
        CORBA::ORB_ptr o = CORBA::ORB_init(argc, nullptr, "omniORB4", options);
        omniORB::setClientCallTimeout(10000);
        omniORB::setClientConnectTimeout(5000);
        // The client receives values (nested ones too), so it needs every factory.
        svc::register_value_factories(o);
        return o;
    }();
    return orb;
}

DS::DiskServiceMgr_ptr manager(const ServiceProcess& svc) {
    CORBA::Object_var obj = client_orb()->string_to_object(svc.corbaloc("DiskService.DiskServiceMgr").c_str());
    return DS::DiskServiceMgr::_narrow(obj.in());
}

DS::DiskGroup* pool(const char* name) {
    auto* g = new OBV_DS::DiskGroup;
    g->name(name);
    return g;
}

}  // namespace

TEST(Service, PoolStateIsRealAndErrorsAreTheServices) {
    ServiceProcess svc;
    svc.start();
    DS::DiskServiceMgr_var dsm = manager(svc);
    dsm->ping();
    DS::DiskGroup_var g = pool("p1");
    DS::StorageServerSeq none;
    DS::DiskSeq disks;
    DS::DiskGroup_var made = dsm->createDiskGroup(g.in(), none, disks, 1);
    EXPECT_STREQ(made->name(), "p1");
    EXPECT_STRNE(made->objId(), "");
    try {
        dsm->createDiskGroup(g.in(), none, disks, 1);
        FAIL() << "a second create must fail";
    } catch (const FW::ServiceException& e) {
        auto* d = DS::DiskServiceExceptionDetails::_downcast(e.details.in());
        ASSERT_TRUE(d);
        EXPECT_EQ(d->errorCode(), 2050011);
    }
    DS::DiskGroupSeq_var listed = dsm->getDiskGroupList(none, false, false, 1);
    EXPECT_EQ(listed->length(), 1u);
    DS::DiskGroup_var gone = dsm->deleteDiskGroup(g.in(), 1);
    listed = dsm->getDiskGroupList(none, false, false, 1);
    EXPECT_EQ(listed->length(), 0u);
    try {
        dsm->deleteDiskGroup(g.in(), 1);
        FAIL() << "deleting a missing pool must fail";
    } catch (const FW::ServiceException& e) {
        EXPECT_EQ(DS::DiskServiceExceptionDetails::_downcast(e.details.in())->errorCode(), 2050010);
    }
    try {
        dsm->getDiskGroupInfo(nullptr, 1);
        FAIL() << "a null pool is an argument error";
    } catch (const FW::IllegalArgumentException& e) {
        EXPECT_STREQ(e.details->argumentName(), "pool");
    }
}

TEST(Service, ControlScriptsFaultsInOrderAndRefusesUnknownOperations) {
    ServiceProcess svc;
    svc.start();
    DS::DiskServiceMgr_var dsm = manager(svc);
    DsmControl::Control_var control = svc.control(client_orb());
    EXPECT_THROW(control->returnNull("noSuchOperation", 1), DsmControl::ControlError);
    control->failWithSystemException("getDiskGroupList", 1, DsmControl::SYS_TRANSIENT);
    control->returnNull("getDiskGroupList", 1);
    control->delayReply("getDiskGroupList", 1, 300);
    DS::StorageServerSeq none;
    EXPECT_THROW(dsm->getDiskGroupList(none, false, false, 1), CORBA::TRANSIENT);
    DS::DiskGroupSeq_var r = dsm->getDiskGroupList(none, false, false, 1);
    EXPECT_EQ(r->length(), 0u) << "a null sequence result arrives empty";
    control->returnNull("getDiskGroupInfo", 1);
    DS::DiskGroup_var key = pool("any");
    DS::DiskGroupInfo_var nothing = dsm->getDiskGroupInfo(key.in(), 1);
    EXPECT_EQ(nothing.in(), nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    r = dsm->getDiskGroupList(none, false, false, 1);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(290));
    EXPECT_EQ(control->callCount("getDiskGroupList"), 3);
    DsmControl::StringSeq_var log = control->callLog();
    EXPECT_EQ(log->length(), 4u);
}

// The control object (reset, faults, seeding) exists only when asked for.
TEST(Service, ControlObjectOnlyWhenStartedWithTheOption) {
    for (const bool with_control : {false, true}) {
        ServiceProcess svc;
        svc.use_control(with_control);
        svc.start();
        DS::DiskServiceMgr_var dsm = manager(svc);
        dsm->ping();
        CORBA::Object_var control = client_orb()->string_to_object(svc.corbaloc("DsmControl").c_str());
        EXPECT_EQ(control->_non_existent(), !with_control);
    }
}

TEST(Service, StopsCleanlyAndOldReferencesWorkAfterARestart) {
    ServiceProcess svc;
    svc.start();
    DS::DiskServiceMgr_var dsm = manager(svc);
    dsm->ping();
    svc.stop();
    EXPECT_TRUE(WIFEXITED(svc.last_status()));
    EXPECT_EQ(WEXITSTATUS(svc.last_status()), 0);
    EXPECT_THROW(dsm->ping(), CORBA::SystemException);
    svc.start(svc.port());
    EXPECT_NO_THROW(dsm->ping()) << "same port and key: the old reference answers again";

    // A call in flight when the service dies ends with a system exception.
    DsmControl::Control_var control = svc.control(client_orb());
    control->delayReply("ping", 1, 3000);
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        svc.kill();
    });
    EXPECT_THROW(dsm->ping(), CORBA::SystemException);
    killer.join();
}

TEST(Service, HostileRepliesFollowTheScriptAndAreRefusedWhereTheyCannotApply) {
    ServiceProcess svc;
    svc.start();
    DS::DiskServiceMgr_var dsm = manager(svc);
    DsmControl::Control_var control = svc.control(client_orb());
    EXPECT_THROW(control->sendHostile("noSuchOperation", 1, DsmControl::HOSTILE_LONG_SEQUENCE, 1),
                 DsmControl::ControlError);
    EXPECT_THROW(control->sendHostile("getDiskGroupList", 1, DsmControl::HOSTILE_LONG_SEQUENCE, -1),
                 DsmControl::ControlError);

    // Two generated lists, then the real (empty) one.
    DS::StorageServerSeq none;
    control->sendHostile("getDiskGroupList", 2, DsmControl::HOSTILE_LONG_SEQUENCE, 3);
    for (int i = 0; i < 2; ++i) {
        DS::DiskGroupSeq_var r = dsm->getDiskGroupList(none, false, false, 1);
        ASSERT_EQ(r->length(), 3u);
        EXPECT_STREQ(r[2u]->name(), "hostile-0000002");
        EXPECT_NE(r[0u].in(), r[1u].in()) << "every element is a value of its own";
    }
    DS::DiskGroupSeq_var real = dsm->getDiskGroupList(none, false, false, 1);
    EXPECT_EQ(real->length(), 0u);

    // A root-cause chain exactly as deep as asked, the top carrying the code.
    control->sendHostile("getDiskGroupList", 1, DsmControl::HOSTILE_DEEP_ROOT_CAUSES, 3);
    try {
        dsm->getDiskGroupList(none, false, false, 1);
        FAIL() << "a deep chain is raised";
    } catch (const FW::ServiceException& e) {
        auto* top = DS::DiskServiceExceptionDetails::_downcast(e.details.in());
        ASSERT_TRUE(top);
        EXPECT_EQ(top->errorCode(), 2050020);
        int depth = 0;
        for (FW::ServiceExceptionDetails* d = top; d->rootCauses().length() == 1; d = d->rootCauses()[0]) ++depth;
        EXPECT_EQ(depth, 3);
    }

    // The last property of the reply (of its first element for a list) grows.
    DS::DiskGroup_var g = pool("p1");
    DS::DiskSeq disks;
    DS::DiskGroup_var made = dsm->createDiskGroup(g.in(), none, disks, 1);
    control->sendHostile("getDiskGroupList", 1, DsmControl::HOSTILE_HUGE_PROPERTY, 1000);
    DS::DiskGroupSeq_var big = dsm->getDiskGroupList(none, false, false, 1);
    ASSERT_EQ(big->length(), 1u);
    const DS::PropertySeq& props = big[0u]->properties();
    ASSERT_GT(props.length(), 0u);
    const std::string value = props[props.length() - 1]->value();
    EXPECT_EQ(value.size(), 1000u);
    EXPECT_EQ(value[999], 'a' + 999 % 26);

    // Kinds that do not fit the operation's result.
    control->sendHostile("getDiskGroupInfo", 1, DsmControl::HOSTILE_LONG_SEQUENCE, 3);
    EXPECT_THROW(dsm->getDiskGroupInfo(g.in(), 1), CORBA::BAD_PARAM) << "not a list";
    control->sendHostile("addStorageServer", 1, DsmControl::HOSTILE_HUGE_PROPERTY, 3);
    DS::StorageServer_var host = new OBV_DS::StorageServer;
    host->name("sts1");
    EXPECT_THROW(dsm->addStorageServer(g.in(), host.in()), CORBA::BAD_PARAM) << "a number has no properties";
}

// States and sizes no client can mean are refused with the service's code
// for an invalid value; the library never sends them, other clients might.
TEST(Service, RefusesStatesAndSizesOutsideTheirRange) {
    ServiceProcess svc;
    svc.start();
    DS::DiskServiceMgr_var dsm = manager(svc);
    DS::DiskGroup_var g = pool("p1");
    DS::StorageServerSeq none;
    DS::DiskSeq disks;
    DS::DiskGroup_var made = dsm->createDiskGroup(g.in(), none, disks, 1);
    DS::DiskVolume_var v = new OBV_DS::DiskVolume;
    v->name("v1");
    v->size(-1);
    auto code_of = [](auto call) -> CORBA::Long {
        try {
            call();
        } catch (const FW::ServiceException& e) {
            auto* d = DS::DiskServiceExceptionDetails::_downcast(e.details.in());
            return d ? d->errorCode() : -1;
        }
        return 0;
    };
    EXPECT_EQ(code_of([&] { DS::DiskVolume_var r = dsm->createDiskVolume(v.in(), g.in(), disks, 1); }), 2050020);
    v->size(0);
    DS::DiskVolume_var created = dsm->createDiskVolume(v.in(), g.in(), disks, 1);
    for (CORBA::Long state : {0, 1, 6}) {
        EXPECT_EQ(code_of([&] { DS::DiskVolume_var r = dsm->updateDiskVolumeState(v.in(), g.in(), 1, state); }),
                  2050020)
            << "volume state " << state;
    }
    for (CORBA::Long state : {0, 1, 4, 6}) {
        EXPECT_EQ(code_of([&] { DS::DiskGroup_var r = dsm->updateDiskGroupState(g.in(), 1, state); }), 2050020)
            << "pool state " << state;
    }
}
