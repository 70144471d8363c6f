// Disk pools through the library against the bundled service: a pool's
// whole life, the caller-buffer protocol, the label query, state mapping,
// the audit convention and the failure rows of the frame.
#include "LogCapture.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>

using namespace dsmtest;

namespace {

class Pools : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dsmlib_set_emmserver(ServiceEnvironment::get().service().address().c_str());
        server_ = server_record("sts1");
    }

    int create(const std::string& name, dsm_diskgroupinfo_t* out = nullptr, const char* reason = nullptr) {
        dsm_diskgroup_t g = pool_record(name);
        dsm_diskgroupinfo_t scratch = empty_info();
        dsm_disk_t disk;
        std::memset(&disk, 0, sizeof disk);
        return dsm_create_diskgroup(&g, &server_, 1, &disk, 1, 1, out ? out : &scratch, reason);
    }

    std::vector<std::string> listed_names() {
        dsm_diskgroupinfo_t pools[16];
        std::memset(pools, 0, sizeof pools);
        int avail = -1;
        EXPECT_EQ(dsm_get_diskgroup_list(&server_, 0, 0, 0, 1, pools, 16, &avail), DSM_OK);
        std::vector<std::string> names;
        for (int i = 0; i < avail && i < 16; ++i) names.emplace_back(pools[i].diskgroup.name);
        return names;
    }

    dsm_storageserver_t server_;
};

}  // namespace

TEST_F(Pools, WholeLife) {
    dsm_diskgroupinfo_t created = empty_info();
    ASSERT_EQ(create("pool1", &created, "new pool for backups"), DSM_OK);
    EXPECT_STREQ(created.diskgroup.name, "pool1");
    EXPECT_STREQ(created.diskgroup.server_type, "AdvancedDisk");
    EXPECT_EQ(created.object_ref, nullptr);
    {
        DS::DiskGroup_var sent = last_argument<DS::DiskGroup>(control(), "createDiskGroup", 0);
        ASSERT_TRUE(sent.in());
        Props props = props_of(sent->properties());
        ASSERT_EQ(props.size(), 3u);
        EXPECT_EQ(props[0], std::make_pair(std::string("DSM::master"), std::string("127.0.0.1")));
        EXPECT_EQ(props[1].first, "DSM::servertype");
        EXPECT_EQ(props[2], std::make_pair(std::string("DSM::AuditReason"), std::string("new pool for backups")));
        DS::DiskSeq* disks = nullptr;
        DsmControl::AnySeq_var args = control()->lastArguments("createDiskGroup");
        ASSERT_TRUE(args[2] >>= disks);
        EXPECT_EQ(disks->length(), 0u) << "disk records are checked, never sent";
    }
    EXPECT_EQ(listed_names(), std::vector<std::string>{"pool1"});

    // The detailed list holds one reference per element.
    dsm_diskgroupinfo_t infos[4];
    std::memset(infos, 0, sizeof infos);
    int avail = 0;
    ASSERT_EQ(dsm_get_diskgroupinfo_list(&server_, 0, 0, 0, 1, infos, 4, &avail), DSM_OK);
    ASSERT_EQ(avail, 1);
    EXPECT_NE(infos[0].object_ref, nullptr);
    EXPECT_STREQ(infos[0].diskgroup.name, "pool1");
    EXPECT_EQ(infos[0].num_stservers, 1);
    EXPECT_EQ(dsm_removeref_diskgroupinfo_list(infos, avail), DSM_OK);

    // One pool's details, then the held-value readers.
    dsm_diskgroup_t g = pool_record("pool1");
    dsm_diskgroupinfo_t info = empty_info();
    ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK);
    ASSERT_NE(info.object_ref, nullptr);
    dsm_storageserver_t servers[2];
    ASSERT_EQ(dsm_get_diskgroup_stservers(&info, servers, 2, &avail), DSM_OK);
    ASSERT_EQ(avail, 1);
    EXPECT_STREQ(servers[0].name, "sts1");
    dsm_diskvolumeinfo_t volumes[1];
    EXPECT_EQ(dsm_get_diskgroup_volumes(&info, volumes, 1, &avail), DSM_OK);
    EXPECT_EQ(avail, 0);

    // Every kind of update shows in the next query.
    dsm_diskgroupinfo_t change = info;
    change.high_watermark = 90;
    change.low_watermark = 70;
    set(change.user_tag, "gold");
    const unsigned char all[3] = {1, 1, 1};
    dsm_diskgroupinfo_t out = empty_info();
    ASSERT_EQ(dsm_update_diskgroup(&change, all, 1, &out, nullptr), DSM_OK);
    ASSERT_EQ(dsm_update_diskgroup_state(&g, 2, 1, &out, nullptr), DSM_OK);
    ASSERT_EQ(dsm_update_diskgroup_flags(&g, 0x5, 1, nullptr, nullptr), DSM_OK);
    ASSERT_EQ(dsm_update_diskgroup_max_io_streams(&g, 12, 1, nullptr, nullptr), DSM_OK);
    const uint64_t big = std::numeric_limits<uint64_t>::max();
    ASSERT_EQ(dsm_update_diskgroup_flagsext(&g, big, 1, &info, nullptr), DSM_OK);
    EXPECT_EQ(info.high_watermark, 90);
    EXPECT_EQ(info.low_watermark, 70);
    EXPECT_STREQ(info.user_tag, "gold");
    EXPECT_EQ(info.kdu_state, 2);
    int64_t flags = 0, streams = 0;
    uint64_t flagsext = 0;
    EXPECT_EQ(dsm_diskgroup_flags(&info, &flags), DSM_OK);
    EXPECT_EQ(flags, 5);
    EXPECT_EQ(dsm_diskgroup_max_io_streams(&info, &streams), DSM_OK);
    EXPECT_EQ(streams, 12);
    EXPECT_EQ(dsm_diskgroup_flagsext(&info, &flagsext), DSM_OK);
    EXPECT_EQ(flagsext, big);

    // Storage server membership.
    dsm_storageserver_t second = server_record("sts2");
    ASSERT_EQ(dsm_add_diskgroup_stserver(&g, &second, "more paths"), DSM_OK);
    ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK);
    EXPECT_EQ(info.num_stservers, 2);
    ASSERT_EQ(dsm_remove_diskgroup_stserver(&g, &second, nullptr), DSM_OK);
    ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK);
    EXPECT_EQ(info.num_stservers, 1);
    EXPECT_EQ(dsm_removeref_diskgroupinfo(&info), DSM_OK);

    // Delete, and it is gone.
    ASSERT_EQ(dsm_delete_diskgroup(&g, 1, &out, "retired"), DSM_OK);
    EXPECT_TRUE(listed_names().empty());
    const int again = dsm_get_diskgroupinfo(&g, 1, &info);
    EXPECT_NE(again, DSM_OK);
    EXPECT_NE(again, DSM_E_CORBA) << "a missing pool is the service's own error code";
    EXPECT_EQ(info.object_ref, nullptr);
}

TEST_F(Pools, RepeatedDetailsHoldExactlyTheNewestReference) {
    ASSERT_EQ(create("pool1"), DSM_OK);
    dsm_diskgroup_t g = pool_record("pool1");
    dsm_diskgroupinfo_t info = empty_info();
    ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK);
    auto* first = static_cast<DS::DiskGroupInfo*>(info.object_ref);
    first->_add_ref();  // watch it outlive the record's reference
    EXPECT_EQ(first->_refcount_value(), 2u);
    LogCapture capture;
    ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK);
    EXPECT_TRUE(capture.has("Found older DiskGroupInfo object reference, removing it", DSM_SEV_TRACE,
                            "dsm_get_diskgroupinfo"));
    EXPECT_EQ(first->_refcount_value(), 1u) << "the older reference was released";
    first->_remove_ref();
    auto* second = static_cast<DS::DiskGroupInfo*>(info.object_ref);
    EXPECT_EQ(second->_refcount_value(), 1u);
    EXPECT_EQ(dsm_removeref_diskgroupinfo(&info), DSM_OK);
    EXPECT_EQ(info.object_ref, nullptr);
    EXPECT_STREQ(info.diskgroup.name, "pool1") << "released records stay readable";

    // After release the held readers refuse.
    capture.clear();
    int64_t flags = 7;
    EXPECT_EQ(dsm_diskgroup_flags(&info, &flags), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("DiskGroupInfo object reference is NULL", DSM_SEV_ERROR, "dsm_diskgroup_flags"));
    EXPECT_EQ(flags, 7);
}

TEST_F(Pools, CallerBufferProtocol) {
    for (int i = 0; i < 5; ++i) ASSERT_EQ(create("pool" + std::to_string(i)), DSM_OK);
    const char sentinel = 'S';
    for (int alloc : {0, 3, 5, 8}) {
        dsm_diskgroupinfo_t pools[10];
        std::memset(pools, sentinel, sizeof pools);
        int avail = -1;
        ASSERT_EQ(dsm_get_diskgroup_list(&server_, 0, 0, 0, 1, pools, alloc, &avail), DSM_OK);
        EXPECT_EQ(avail, 5) << "alloc " << alloc;
        const int filled = std::min(alloc, 5);
        for (int i = 0; i < filled; ++i) {
            EXPECT_EQ(std::string(pools[i].diskgroup.name), "pool" + std::to_string(i));
            EXPECT_EQ(pools[i].object_ref, nullptr);
            EXPECT_EQ(pools[i].num_diskvolumes, 0) << "cleared before filling";
        }
        EXPECT_EQ(reinterpret_cast<const char*>(&pools[filled])[0], sentinel)
            << "element " << filled << " untouched with alloc " << alloc;
    }

    // Negative counts are refused before any connection.
    const CORBA::Long pings = control()->callCount("ping");
    LogCapture capture;
    dsm_diskgroupinfo_t one[1];
    int avail = 0;
    EXPECT_EQ(dsm_get_diskgroupinfo_list(&server_, 0, 0, 0, 1, one, -2, &avail), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Input argument 'num_alloc_diskgroups' is negative (-2)", DSM_SEV_ERROR,
                            "dsm_get_diskgroupinfo_list"));
    EXPECT_EQ(dsm_get_diskgroup_list(nullptr, 0, 0, 0, 1, one, 1, nullptr), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Input argument 'stservers' is NULL", DSM_SEV_ERROR, "dsm_get_diskgroup_list"))
        << "the first of two bad arguments is reported";
    EXPECT_EQ(capture.lines().size(), 2u) << capture.dump();
    EXPECT_EQ(control()->callCount("ping"), pings);
}

TEST_F(Pools, StorageUnitLabelQueryAllocatesForTheCaller) {
    DS::DiskGroupInfoSeq seq;
    seq.length(3);
    for (int i = 0; i < 3; ++i) seq[i] = pool_value("label-pool" + std::to_string(i));
    CORBA::Any a;
    a <<= seq;
    control()->scriptReply("getDiskGroupInfoListByStorageUnitLabel", 1, a);

    dsm_diskgroupinfo_t* pools = reinterpret_cast<dsm_diskgroupinfo_t*>(0x1);
    int count = -1;
    ASSERT_EQ(dsm_get_diskgroupinfo_list_by_storage_unit_label("127.0.0.1", "stu1", nullptr, 3, &pools, &count),
              DSM_OK);
    ASSERT_EQ(count, 3);
    ASSERT_NE(pools, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::string(pools[i].diskgroup.name), "label-pool" + std::to_string(i));
        EXPECT_NE(pools[i].object_ref, nullptr);
    }
    EXPECT_EQ(dsm_removeref_diskgroupinfo_list(pools, count), DSM_OK);
    std::free(pools);

    DsmControl::AnySeq_var args = control()->lastArguments("getDiskGroupInfoListByStorageUnitLabel");
    ASSERT_EQ(args->length(), 5u);
    const char* type = nullptr;
    const char* last = nullptr;
    CORBA::Long option = 0;
    ASSERT_TRUE(args[2] >>= type);
    ASSERT_TRUE(args[3] >>= option);
    ASSERT_TRUE(args[4] >>= last);
    EXPECT_STREQ(type, "") << "a null server type is sent empty";
    EXPECT_EQ(option, 3);
    EXPECT_STREQ(last, "");

    // No pools: no array.
    DS::DiskGroupInfoSeq none;
    a <<= none;
    control()->scriptReply("getDiskGroupInfoListByStorageUnitLabel", 1, a);
    ASSERT_EQ(dsm_get_diskgroupinfo_list_by_storage_unit_label("127.0.0.1", "stu2", "", 0, &pools, &count), DSM_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(pools, nullptr);
}

TEST_F(Pools, StateMapsBothWays) {
    const std::pair<const char*, int> read[] = {{"2", 1}, {"3", 2}, {"18", 1}, {"0", 3}, {"x", 3}, {"19", 2}};
    for (auto& [text, expected] : read) {
        control()->reset();
        DS::DiskGroupInfo_var v = pool_value("p", {{"DSM::state", text}});
        seed(control(), v.in());
        dsm_diskgroup_t g = pool_record("p");
        dsm_diskgroupinfo_t info = empty_info();
        ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK) << text;
        EXPECT_EQ(info.kdu_state, expected) << "service state " << text;
        dsm_removeref_diskgroupinfo(&info);
    }

    ASSERT_EQ(create("pool1"), DSM_OK);
    dsm_diskgroup_t g = pool_record("pool1");
    dsm_diskgroupinfo_t out = empty_info();
    for (int state : {1, 2}) {
        ASSERT_EQ(dsm_update_diskgroup_state(&g, state, 1, &out, nullptr), DSM_OK);
        DsmControl::AnySeq_var args = control()->lastArguments("updateDiskGroupState");
        CORBA::Long sent = 0;
        ASSERT_TRUE(args[2] >>= sent);
        EXPECT_EQ(sent, state + 1);
        EXPECT_EQ(out.kdu_state, state) << "read back through the pool state rule";
    }

    LogCapture capture;
    const CORBA::Long calls = control()->callCount("updateDiskGroupState");
    EXPECT_EQ(dsm_update_diskgroup_state(&g, 3, 1, &out, nullptr), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Failed to convert State (error=2050200)", DSM_SEV_ERROR, "dsm_update_diskgroup_state"));
    EXPECT_EQ(dsm_delete_diskgroup(&g, 9, &out, nullptr), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Failed to convert DbMode (error=2050200)", DSM_SEV_ERROR, "dsm_delete_diskgroup"));
    EXPECT_EQ(control()->callCount("updateDiskGroupState"), calls);
    EXPECT_EQ(control()->callCount("deleteDiskGroup"), 0);
}

TEST_F(Pools, AuditRefusalStillFillsTheRecord) {
    ASSERT_EQ(create("pool1"), DSM_OK);
    dsm_diskgroup_t g = pool_record("pool1");
    dsm_diskgroupinfo_t out = empty_info();
    control()->setAuditOutcome("updateDiskGroup", 1, "0");
    const unsigned char none[3] = {0, 0, 0};
    dsm_diskgroupinfo_t in = empty_info();
    in.diskgroup = g;
    EXPECT_EQ(dsm_update_diskgroup(&in, none, 1, &out, nullptr), DSM_OK) << "an audit value of 0 is no refusal";

    control()->setAuditOutcome("updateDiskGroup", 1, "7");
    EXPECT_EQ(dsm_update_diskgroup_flags(&g, 1, 1, nullptr, nullptr), DSM_E_AUDIT);

    // Membership answers with a number: 2000053 counts as done, others fail.
    dsm_storageserver_t s = server_record("sts9");
    control()->setAuditOutcome("addStorageServer", 1, "2000053");
    EXPECT_EQ(dsm_add_diskgroup_stserver(&g, &s, nullptr), DSM_OK);
    control()->setAuditOutcome("deleteStorageServer", 1, "5");
    LogCapture capture;
    EXPECT_EQ(dsm_remove_diskgroup_stserver(&g, &s, nullptr), DSM_E_NULL_RESULT);
    EXPECT_TRUE(capture.has("deleteStorageServer (RDSM) returned NULL ", DSM_SEV_ERROR,
                            "dsm_remove_diskgroup_stserver")) << capture.dump();

    // The service deleted the pool but flagged the audit: the record is filled.
    control()->setAuditOutcome("deleteDiskGroup", 1, "1");
    EXPECT_EQ(dsm_delete_diskgroup(&g, 1, &out, "try"), DSM_E_AUDIT);
    EXPECT_STREQ(out.diskgroup.name, "pool1");
}

TEST_F(Pools, RequestsCarryExactlyWhatTheCallerChose) {
    ASSERT_EQ(create("pool1"), DSM_OK);
    dsm_diskgroupinfo_t in = empty_info();
    in.diskgroup = pool_record("pool1");
    in.high_watermark = 95;
    set(in.user_tag, "silver");
    const unsigned char mask[3] = {1, 0, 1};
    dsm_diskgroupinfo_t out = empty_info();
    ASSERT_EQ(dsm_update_diskgroup(&in, mask, 1, &out, "why not"), DSM_OK);
    DS::DiskGroup_var sent = last_argument<DS::DiskGroup>(control(), "updateDiskGroup", 0);
    Props props = props_of(sent->properties());
    ASSERT_EQ(props.size(), 5u);
    EXPECT_EQ(props[2], std::make_pair(std::string("DSM::highWaterMark"), std::string("95")));
    EXPECT_EQ(props[3], std::make_pair(std::string("DSM::userTag"), std::string("silver")));
    EXPECT_EQ(props[4].first, "DSM::AuditReason");

    const uint64_t big = std::numeric_limits<uint64_t>::max();
    ASSERT_EQ(dsm_update_diskgroup_flagsext(&in.diskgroup, big, 1, nullptr, nullptr), DSM_OK);
    sent = last_argument<DS::DiskGroup>(control(), "updateDiskGroup", 0);
    props = props_of(sent->properties());
    ASSERT_EQ(props.size(), 3u);
    EXPECT_EQ(props[2], std::make_pair(std::string("DSM::flagsExt"), std::string("18446744073709551615")));

    // Unimport is a delete with mode 1 and no reason.
    dsm_unimport_diskgroup(&in.diskgroup, &out);
    sent = last_argument<DS::DiskGroup>(control(), "deleteDiskGroup", 0);
    ASSERT_TRUE(sent.in());
    for (auto& p : props_of(sent->properties())) EXPECT_NE(p.first, "DSM::AuditReason");
    DsmControl::AnySeq_var args = control()->lastArguments("deleteDiskGroup");
    CORBA::Long mode = 0;
    ASSERT_TRUE(args[1] >>= mode);
    EXPECT_EQ(mode, 1);
}

TEST_F(Pools, FailureRowsOfTheFrame) {
    ASSERT_EQ(create("pool1"), DSM_OK);
    dsm_diskgroup_t g = pool_record("pool1");
    dsm_diskgroupinfo_t info = empty_info();
    LogCapture capture;

    control()->failWithServiceException("getDiskGroupInfo", 1, disk_error(2050012).in());
    EXPECT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), 2050012);
    FW::IllegalArgumentExceptionDetails_var ia = new OBV_Orvane::Keldra::TL::Framework::IllegalArgumentExceptionDetails;
    ia->argumentName("pool");
    control()->failWithIllegalArgument("getDiskGroupInfo", 1, ia.in());
    EXPECT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_E_INVALID_ARG);
    control()->failWithSystemException("getDiskGroupInfo", 1, DsmControl::SYS_COMM_FAILURE);
    EXPECT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_E_CORBA);
    control()->returnNull("getDiskGroupInfo", 1);
    EXPECT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_E_NULL_RESULT);
    EXPECT_TRUE(capture.has("getDiskGroupInfo returned NULL DiskGroupInfo", DSM_SEV_ERROR, "dsm_get_diskgroupinfo"));
    EXPECT_EQ(info.object_ref, nullptr) << "no failure leaves a reference behind";

    // A failed update is reported even when the refill works.
    control()->failWithServiceException("updateDiskGroup", 1, disk_error(2050077).in());
    EXPECT_EQ(dsm_update_diskgroup_flags(&g, 3, 1, &info, nullptr), 2050077);
    control()->returnNull("updateDiskGroup", 1);
    EXPECT_EQ(dsm_update_diskgroup_flags(&g, 3, 1, &info, nullptr), DSM_E_NULL_RESULT);
    EXPECT_NE(info.object_ref, nullptr) << "refilled from the service";
    dsm_removeref_diskgroupinfo(&info);

    dsmlib_set_emmserver("no-such-host.invalid");
    EXPECT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_E_NO_CONNECTION);
    EXPECT_TRUE(capture.has("Failed to connect to DiskServiceMgr (kdemm)", DSM_SEV_ERROR, "dsm_get_diskgroupinfo"));
}

TEST_F(Pools, CreateChecksCountsInOrder) {
    dsm_diskgroup_t g = pool_record("pool1");
    dsm_disk_t disk;
    std::memset(&disk, 0, sizeof disk);
    dsm_diskgroupinfo_t out = empty_info();
    LogCapture capture;
    EXPECT_EQ(dsm_create_diskgroup(&g, &server_, 1, &disk, -1, 1, &out, nullptr), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Input argument 'num_disks' is negative (-1)", DSM_SEV_ERROR, "dsm_create_diskgroup"));
    EXPECT_EQ(dsm_create_diskgroup(&g, &server_, -4, nullptr, -1, 1, nullptr, nullptr), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Input argument 'num_stservers' is negative (-4)", DSM_SEV_ERROR, "dsm_create_diskgroup"));
    EXPECT_EQ(control()->callCount("createDiskGroup"), 0);
}

namespace {

dsm_diskvolume_t volume_key(const dsm_diskgroup_t& pool, const char* name) {
    dsm_diskvolume_t v;
    std::memset(&v, 0, sizeof v);
    set(v.name, name);
    v.diskgroup = pool;
    return v;
}

// A volume of 'pool' in the service, made through the library.
int add_volume(const dsm_diskgroup_t& pool, const char* name) {
    const dsm_diskvolume_t v = volume_key(pool, name);
    dsm_disk_t disk;
    std::memset(&disk, 0, sizeof disk);
    dsm_diskvolumeinfo_t out;
    std::memset(&out, 0, sizeof out);
    return dsm_create_diskvolume(&v, &disk, 1, 1, &out);
}

// Sends a volume's total capacity and free space.
int size_volume(const dsm_diskgroup_t& pool, const char* name, int64_t total, int64_t free_space) {
    dsm_diskvolumeinfo_t v;
    std::memset(&v, 0, sizeof v);
    set(v.name, name);
    v.diskgroup = pool;
    v.total_capacity = total;
    v.free_space = free_space;
    const unsigned char mask[6] = {1, 1, 0, 0, 0, 0};
    dsm_diskvolumeinfo_t out = v;
    return dsm_update_diskvolume(&v, mask, 1, &out);
}

}  // namespace

// A pool's capacity and used space are its volumes' sums, in the pool's
// details and in the plain list alike, and follow every volume change.
TEST_F(Pools, SizesAreTheSumsOfTheVolumes) {
    ASSERT_EQ(create("pool1"), DSM_OK);
    const dsm_diskgroup_t g = pool_record("pool1");
    auto expect_sizes = [&](int64_t total, int64_t used) {
        dsm_diskgroupinfo_t info = empty_info();
        ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK);
        EXPECT_EQ(info.total_capacity, total);
        EXPECT_EQ(info.used_space, used);
        dsm_removeref_diskgroupinfo(&info);
        dsm_diskgroupinfo_t listed = empty_info();
        int avail = 0;
        ASSERT_EQ(dsm_get_diskgroup_list(&server_, 1, 0, 0, 1, &listed, 1, &avail), DSM_OK);
        EXPECT_EQ(listed.total_capacity, total) << "the plain list";
        EXPECT_EQ(listed.used_space, used) << "the plain list";
    };
    expect_sizes(0, 0);
    for (const char* name : {"vol1", "vol2"}) ASSERT_EQ(add_volume(g, name), DSM_OK);
    ASSERT_EQ(size_volume(g, "vol1", 1000, 400), DSM_OK);
    ASSERT_EQ(size_volume(g, "vol2", 500, 100), DSM_OK);
    expect_sizes(1500, 1000);
    const dsm_diskvolume_t vol1 = volume_key(g, "vol1");
    dsm_diskvolumeinfo_t out;
    std::memset(&out, 0, sizeof out);
    ASSERT_EQ(dsm_delete_diskvolume(&vol1, 1, &out, nullptr), DSM_OK);
    expect_sizes(500, 400);
}

// A server added to a pool, or named when the pool is made, is the server
// the service knows: its own type and id, whatever the request's record says.
TEST_F(Pools, MembersKeepTheirOwnServerType) {
    const std::pair<const char*, const char*> registered[] = {{"shared1", "SharedDisk"}, {"san1", "SANDisk"}};
    for (auto& [name, type] : registered) {
        const dsm_storageserver_t s = server_record(name, type);
        ASSERT_EQ(dsm_create_storageserver(&s, 1, nullptr), DSM_OK);
    }
    const dsm_diskgroup_t g = pool_record("pool1");
    dsm_disk_t disk;
    std::memset(&disk, 0, sizeof disk);
    dsm_diskgroupinfo_t info = empty_info();
    const dsm_storageserver_t first = server_record("shared1");  // typed as the pool, as callers do
    ASSERT_EQ(dsm_create_diskgroup(&g, &first, 1, &disk, 0, 1, &info, nullptr), DSM_OK);
    const dsm_storageserver_t second = server_record("san1");
    ASSERT_EQ(dsm_add_diskgroup_stserver(&g, &second, nullptr), DSM_OK);

    ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK);
    dsm_storageserver_t members[2];
    int avail = 0;
    ASSERT_EQ(dsm_get_diskgroup_stservers(&info, members, 2, &avail), DSM_OK);
    ASSERT_EQ(avail, 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(members[i].name, registered[i].first);
        EXPECT_STREQ(members[i].server_type, registered[i].second);
        EXPECT_NE(members[i].id[0], '\0') << "the registered server's id";
    }
    EXPECT_EQ(dsm_removeref_diskgroupinfo(&info), DSM_OK);
}

// What the service refuses, with its own code and text: the library returns
// the code and logs the text, and nothing refused is kept.
TEST_F(Pools, ServiceRefusesInconsistentRequests) {
    ASSERT_EQ(create("pool1"), DSM_OK);
    dsm_diskgroupinfo_t marks = empty_info();
    marks.diskgroup = pool_record("pool1");
    marks.high_watermark = 80;
    marks.low_watermark = 60;
    dsm_diskgroupinfo_t out = empty_info();
    const unsigned char both[3] = {1, 1, 0}, low_only[3] = {0, 1, 0};
    ASSERT_EQ(dsm_update_diskgroup(&marks, both, 1, &out, nullptr), DSM_OK);
    ASSERT_EQ(add_volume(marks.diskgroup, "vol1"), DSM_OK);
    dsm_disk_t disk;
    std::memset(&disk, 0, sizeof disk);

    LogCapture capture;
    struct Case {
        const char* what;
        int status;
        int code;
        std::string text;
    };
    const Case cases[] = {
        {"volume in a missing pool", add_volume(pool_record("nopool"), "vol1"), 2050010, "disk pool nopool not found"},
        {"server of an unknown type",
         [&] {
             const dsm_storageserver_t s = server_record("odd1", "NoSuchDisk");
             return dsm_create_storageserver(&s, 1, nullptr);
         }(),
         2050020, "unknown server type NoSuchDisk"},
        {"pool of an unknown type",
         [&] {
             const dsm_diskgroup_t odd = pool_record("odd", "NoSuchDisk");
             return dsm_create_diskgroup(&odd, &server_, 1, &disk, 0, 1, &out, nullptr);
         }(),
         2050020, "unknown server type NoSuchDisk"},
        {"high below low",
         [&] {
             dsm_diskgroupinfo_t m = marks;
             m.high_watermark = 10;
             m.low_watermark = 20;
             return dsm_update_diskgroup(&m, both, 1, &out, nullptr);
         }(),
         2050020, "high water mark 10 is below low water mark 20"},
        {"low above the high one kept",
         [&] {
             dsm_diskgroupinfo_t m = marks;
             m.low_watermark = 90;
             return dsm_update_diskgroup(&m, low_only, 1, &out, nullptr);
         }(),
         2050020, "high water mark 80 is below low water mark 90"},
        {"negative capacity", size_volume(marks.diskgroup, "vol1", -1, 0), 2050020,
         "disk volume vol1: negative capacity -1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.status, c.code) << c.what;
        EXPECT_FALSE(capture.containing("errorText=" + c.text).empty()) << c.what << "\n" << capture.dump();
    }

    dsm_diskgroupinfo_t info = empty_info();
    ASSERT_EQ(dsm_get_diskgroupinfo(&marks.diskgroup, 1, &info), DSM_OK);
    EXPECT_EQ(info.high_watermark, 80);
    EXPECT_EQ(info.low_watermark, 60);
    EXPECT_EQ(info.total_capacity, 0);
    EXPECT_EQ(dsm_removeref_diskgroupinfo(&info), DSM_OK);
    EXPECT_EQ(listed_names(), std::vector<std::string>{"pool1"});
    const dsm_storageserver_t odd = server_record("odd1");
    dsm_storageserverinfo_t odd_info;
    std::memset(&odd_info, 0, sizeof odd_info);
    EXPECT_EQ(dsm_get_storageserverinfo(&odd, 1, &odd_info), 2050010);
}
