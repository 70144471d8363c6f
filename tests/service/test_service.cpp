// The bundled service on its own, with a plain ORB client.
#include "Factories.h"
#include "ServiceProcess.h"

#include "DiskService.hh"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <sys/wait.h>

namespace DS = Orvane::Keldra::DL::DiskService;
namespace FW = Orvane::Keldra::TL::Framework;
namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;

namespace {

CORBA::ORB_ptr client_orb() {
    static CORBA::ORB_ptr orb = [] {
        int argc = 0;
        CORBA::ORB_ptr o = CORBA::ORB_init(argc, nullptr);
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

// The service's error code of what 'call' raised; 0 when it returned.
template <class Call>
CORBA::Long code_of(Call call) {
    try {
        call();
    } catch (const FW::ServiceException& e) {
        auto* d = DS::DiskServiceExceptionDetails::_downcast(e.details.in());
        return d ? d->errorCode() : -1;
    }
    return 0;
}

class Service : public ::testing::Test {
protected:
    void SetUp() override {
        svc_.start();
        dsm_ = manager(svc_);
        control_ = svc_.control(client_orb());
        pool_ = new OBV_DS::DiskGroup;
        pool_->name("p1");
    }
    DS::DiskGroup_var create() { return dsm_->createDiskGroup(pool_.in(), none_, disks_, 1); }
    DS::DiskGroupSeq* list() { return dsm_->getDiskGroupList(none_, false, false, 1); }

    ServiceProcess svc_;
    DS::DiskServiceMgr_var dsm_;
    DsmControl::Control_var control_;
    DS::DiskGroup_var pool_;
    DS::StorageServerSeq none_;
    DS::DiskSeq disks_;
};

TEST_F(Service, PoolStateIsRealAndErrorsAreTheServices) {
    DS::DiskGroup_var made = create();
    EXPECT_STREQ(made->name(), "p1");
    EXPECT_STRNE(made->objId(), "");
    EXPECT_EQ(code_of([&] { create(); }), 2050011) << "a second create";
    DS::DiskGroup_var gone = dsm_->deleteDiskGroup(pool_.in(), 1);
    EXPECT_EQ(code_of([&] { DS::DiskGroup_var r = dsm_->deleteDiskGroup(pool_.in(), 1); }), 2050010);
    try {
        dsm_->getDiskGroupInfo(nullptr, 1);
        FAIL() << "a null pool is an argument error";
    } catch (const FW::IllegalArgumentException& e) {
        EXPECT_STREQ(e.details->argumentName(), "pool");
    }

    // A registered server added to a pool is the server the service knows,
    // whatever type the request's record gives.
    DS::StorageServer_var shared = new OBV_DS::StorageServer;
    shared->name("shared1");
    shared->servertype("SharedDisk");
    DS::StorageServer_var registered = dsm_->createStorageServer(shared.in(), 1);
    made = create();
    shared->servertype("AdvancedDisk");
    EXPECT_EQ(dsm_->addStorageServer(pool_.in(), shared.in()), 0);
    DS::DiskGroupInfo_var info = dsm_->getDiskGroupInfo(pool_.in(), 1);
    ASSERT_EQ(info->hosts().length(), 1u);
    EXPECT_STREQ(info->hosts()[0]->servertype(), "SharedDisk");

    // What no client can mean is refused; the library never sends it, other clients might.
    DS::DiskVolume_var v = new OBV_DS::DiskVolume;
    v->name("v1");
    v->size(0);
    DS::DiskVolume_var created = dsm_->createDiskVolume(v.in(), pool_.in(), disks_, 1);
    DS::DiskVolume_var negative = new OBV_DS::DiskVolume;
    negative->name("v2");
    negative->size(-1);
    // p2 is never made: its high water mark is below its low one.
    DS::DiskGroup_var unmade = new OBV_DS::DiskGroup;
    unmade->name("p2");
    unmade->properties().length(2);
    for (CORBA::ULong i = 0; i < 2; ++i) {
        unmade->properties()[i] = new OBV_DS::Property;
        unmade->properties()[i]->name(i ? "DSM::lowWaterMark" : "DSM::highWaterMark");
        unmade->properties()[i]->value(i ? "20" : "10");
    }
    const std::tuple<const char*, std::function<void()>, CORBA::Long> refused[] = {
        {"volume in a missing pool",
         [&] { DS::DiskVolume_var r = dsm_->createDiskVolume(v.in(), unmade.in(), disks_, 1); }, 2050010},
        {"negative capacity",
         [&] { DS::DiskVolume_var r = dsm_->createDiskVolume(negative.in(), pool_.in(), disks_, 1); }, 2050020},
        {"high water mark below the low",
         [&] { DS::DiskGroup_var r = dsm_->createDiskGroup(unmade.in(), none_, disks_, 1); }, 2050020},
    };
    for (const auto& [what, call, code] : refused) EXPECT_EQ(code_of(call), code) << what;
    // Volume states 2 to 5 and pool states 2 and 3 are known: the states just outside.
    for (CORBA::Long state : {1, 6})
        EXPECT_EQ(code_of([&] { DS::DiskVolume_var r = dsm_->updateDiskVolumeState(v.in(), pool_.in(), 1, state); }),
                  2050020) << "volume state " << state;
    for (CORBA::Long state : {1, 4})
        EXPECT_EQ(code_of([&] { DS::DiskGroup_var r = dsm_->updateDiskGroupState(pool_.in(), 1, state); }), 2050020)
            << "pool state " << state;
}

TEST_F(Service, ControlScriptsRepliesInOrderAndRefusesWhatCannotApply) {
    EXPECT_THROW(control_->returnNull("noSuchOperation", 1), DsmControl::ControlError);
    EXPECT_THROW(control_->sendHostile("noSuchOperation", 1, DsmControl::HOSTILE_LONG_SEQUENCE, 1),
                 DsmControl::ControlError);
    EXPECT_THROW(control_->sendHostile("getDiskGroupList", 1, DsmControl::HOSTILE_LONG_SEQUENCE, -1),
                 DsmControl::ControlError);
    control_->failWithSystemException("getDiskGroupList", 1, DsmControl::SYS_TRANSIENT);
    control_->returnNull("getDiskGroupList", 1);
    control_->sendHostile("getDiskGroupList", 2, DsmControl::HOSTILE_LONG_SEQUENCE, 3);
    EXPECT_THROW(DS::DiskGroupSeq_var r = list(), CORBA::TRANSIENT);
    DS::DiskGroupSeq_var r = list();
    EXPECT_EQ(r->length(), 0u) << "a null sequence result arrives empty";
    for (int i = 0; i < 2; ++i) {
        r = list();
        ASSERT_EQ(r->length(), 3u);
        EXPECT_STREQ(r[2u]->name(), "hostile-0000002");
        EXPECT_NE(r[0u].in(), r[1u].in()) << "every element is a value of its own";
    }
    r = list();
    EXPECT_EQ(r->length(), 0u) << "then the real list";
    EXPECT_EQ(control_->callCount("getDiskGroupList"), 5);
    DsmControl::StringSeq_var log = control_->callLog();
    EXPECT_EQ(log->length(), 5u);

    // Kinds that do not fit the operation's result.
    control_->sendHostile("getDiskGroupInfo", 1, DsmControl::HOSTILE_LONG_SEQUENCE, 3);
    EXPECT_THROW(dsm_->getDiskGroupInfo(pool_.in(), 1), CORBA::BAD_PARAM) << "not a list";
    control_->sendHostile("addStorageServer", 1, DsmControl::HOSTILE_HUGE_PROPERTY, 3);
    DS::StorageServer_var host = new OBV_DS::StorageServer;
    host->name("sts1");
    EXPECT_THROW(dsm_->addStorageServer(pool_.in(), host.in()), CORBA::BAD_PARAM) << "a number has no properties";
}

TEST_F(Service, StopsCleanlyAndOldReferencesWorkAfterARestart) {
    svc_.stop();
    EXPECT_TRUE(WIFEXITED(svc_.last_status()));
    EXPECT_EQ(WEXITSTATUS(svc_.last_status()), 0);
    EXPECT_THROW(dsm_->ping(), CORBA::SystemException);
    svc_.start(svc_.port());
    EXPECT_NO_THROW(dsm_->ping()) << "same port and key: the old reference answers again";
}

TEST(ServiceControl, OnlyWhenStartedWithTheOption) {
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

}  // namespace
