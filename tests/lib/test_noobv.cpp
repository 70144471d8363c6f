// A process that registers the value factories itself: after
// dsmlib_set_noOBVregistration the library never registers them, so a reply
// carrying a value it has no factory for cannot be unmarshalled.
#include "LogCapture.h"
#include "ServiceFixture.h"

#include "dsmlib_frame.h"

#include <gtest/gtest.h>

using dsmtest::ServiceEnvironment;
using NoRegistration = dsmtest::ServiceTest;

TEST_F(NoRegistration, ConnectingNeverRegistersAndValuesCannotArrive) {
    LogCapture capture;
    EXPECT_FALSE(dsmlib_set_noOBVregistration());
    dsmlib_set_emmserver(service().address().c_str());
    EXPECT_EQ(dsmlib_ping(), DSM_OK) << capture.dump();
    EXPECT_TRUE(capture.containing("Registerd").empty()) << capture.dump();
    EXPECT_EQ(ServiceEnvironment::get().orb()->lookup_value_factory(
                  "IDL:Orvane/Keldra/DL/DiskService/DiskGroup:1.0"),
              nullptr);

    DS::DiskServiceMgr_var dsm = dsmlibp_connect_dsm();
    DS::DiskGroup_var pool = new OBV_Orvane::Keldra::DL::DiskService::DiskGroup;
    pool->name("p1");
    DS::StorageServerSeq none;
    DS::DiskSeq disks;
    try {
        dsm->createDiskGroup(pool.in(), none, disks, 1);
        FAIL() << "a DiskGroup reply cannot unmarshal without its factory";
    } catch (const CORBA::MARSHAL& e) {
        EXPECT_EQ(e.completed(), CORBA::COMPLETED_YES) << "the service did the work";
    }
    capture.clear();
    const dsm::Frame f("probe_list", "test_noobv", __LINE__);
    EXPECT_EQ(f.run([&] {
                  DSM_CONNECT(f, d);
                  DS::StorageServerSeq servers;
                  DS::DiskGroupSeq_var pools = d->getDiskGroupList(servers, false, false, 1);
                  return DSM_OK;
              }),
              DSM_E_CORBA);
    EXPECT_EQ(capture.containing("CORBA exception: MARSHAL").size(), 1u) << capture.dump();
}
