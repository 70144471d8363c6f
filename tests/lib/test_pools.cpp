// Disk pools through the library against the bundled service: a pool's whole
// life, the caller-buffer protocol, the label query and the audit convention.
#include "LogCapture.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <tuple>

using namespace dsmtest;
using std::make_tuple;
using std::string;

namespace {

const uint64_t kAllBits = std::numeric_limits<uint64_t>::max();

class Pools : public LibraryTest {
protected:
    int create(const string& name, dsm_diskgroupinfo_t* out = nullptr, const char* reason = nullptr) {
        const dsm_diskgroup_t g = pool_record(name);
        dsm_diskgroupinfo_t scratch{};
        const dsm_disk_t disk{};
        return dsm_create_diskgroup(&g, &server_, 1, &disk, 1, 1, out ? out : &scratch, reason);
    }

    const dsm_storageserver_t server_ = server_record("sts1");
    const dsm_diskgroup_t g_ = pool_record("pool1");
    dsm_diskgroupinfo_t out_{};
};

}  // namespace

TEST_F(Pools, WholeLife) {
    ASSERT_EQ(create("pool1", &out_, "new pool for backups"), DSM_OK);
    EXPECT_EQ(make_tuple(string(out_.diskgroup.name), string(out_.diskgroup.server_type), out_.object_ref),
              make_tuple(string("pool1"), string("AdvancedDisk"), nullptr));
    EXPECT_EQ(sent_props<DS::DiskGroup>(control(), "createDiskGroup"),
              (Props{{"DSM::master", "127.0.0.1"}, {"DSM::servertype", "AdvancedDisk"},
                     {"DSM::AuditReason", "new pool for backups"}}));
    DsmControl::AnySeq_var args = control()->lastArguments("createDiskGroup");
    const DS::DiskSeq* disks = nullptr;
    ASSERT_TRUE(args[2] >>= disks);
    EXPECT_EQ(disks->length(), 0u) << "disk records are checked, never sent";

    // Every kind of update of the held details shows in the next query; the
    // refill releases the reference the record held.
    dsm_diskgroupinfo_t info{};
    ASSERT_EQ(dsm_get_diskgroupinfo(&g_, 1, &info), DSM_OK);
    auto* first = static_cast<DS::DiskGroupInfo*>(info.object_ref);
    first->_add_ref();  // watch it outlive the record's reference
    dsm_diskgroupinfo_t change = info;
    change.high_watermark = 90;
    change.low_watermark = info.low_watermark + 1;
    set(change.user_tag, "gold");
    const unsigned char mask[3] = {1, 0, 1};
    ASSERT_EQ(dsm_update_diskgroup(&change, mask, 1, &out_, "why not"), DSM_OK);
    const Props base = {{"DSM::master", "127.0.0.1"}, {"DSM::servertype", "AdvancedDisk"}};
    Props sent = base;
    sent.insert(sent.end(),
                {{"DSM::highWaterMark", "90"}, {"DSM::userTag", "gold"}, {"DSM::AuditReason", "why not"}});
    EXPECT_EQ(sent_props<DS::DiskGroup>(control(), "updateDiskGroup"), sent) << "exactly what the mask chose";
    // States go out as the service's and read back through the pool state rule.
    for (int state : {1, 2}) {
        ASSERT_EQ(dsm_update_diskgroup_state(&g_, state, 1, &out_, nullptr), DSM_OK);
        EXPECT_EQ(sent_scalar<CORBA::Long>(control(), "updateDiskGroupState", 2), state + 1);
        EXPECT_EQ(out_.kdu_state, state);
    }
    LogCapture capture;
    EXPECT_EQ(dsm_update_diskgroup_state(&g_, 3, 1, &out_, nullptr), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Failed to convert State (error=2050200)", DSM_SEV_ERROR, "dsm_update_diskgroup_state"));
    ASSERT_EQ(dsm_update_diskgroup_flags(&g_, 0x5, 1, nullptr, nullptr), DSM_OK);
    ASSERT_EQ(dsm_update_diskgroup_max_io_streams(&g_, 12, 1, nullptr, nullptr), DSM_OK);
    ASSERT_EQ(dsm_update_diskgroup_flagsext(&g_, kAllBits, 1, &info, nullptr), DSM_OK);
    sent = base;
    sent.emplace_back("DSM::flagsExt", "18446744073709551615");
    EXPECT_EQ(sent_props<DS::DiskGroup>(control(), "updateDiskGroup"), sent);
    EXPECT_TRUE(capture.has("Found older DiskGroupInfo object reference, removing it", DSM_SEV_TRACE,
                            "dsm_get_diskgroupinfo"));
    EXPECT_EQ(first->_refcount_value(), 1u) << "the older reference was released";
    first->_remove_ref();
    EXPECT_EQ(static_cast<DS::DiskGroupInfo*>(info.object_ref)->_refcount_value(), 1u);
    int64_t flags = 0, streams = 0;
    uint64_t flagsext = 0;
    EXPECT_EQ(make_tuple(dsm_diskgroup_flags(&info, &flags), dsm_diskgroup_max_io_streams(&info, &streams),
                         dsm_diskgroup_flagsext(&info, &flagsext)),
              make_tuple(DSM_OK, DSM_OK, DSM_OK));
    EXPECT_EQ(make_tuple(info.high_watermark, info.low_watermark, string(info.user_tag), info.kdu_state, flags,
                         streams, flagsext),
              make_tuple(90, change.low_watermark - 1, string("gold"), 2, int64_t(5), int64_t(12), kAllBits));
    EXPECT_EQ(dsm_removeref_diskgroupinfo(&info), DSM_OK);

    // Unimport is a delete with mode 1 and no reason.
    ASSERT_EQ(dsm_unimport_diskgroup(&g_, &out_), DSM_OK);
    EXPECT_EQ(sent_props<DS::DiskGroup>(control(), "deleteDiskGroup"), base);
    EXPECT_EQ(sent_scalar<CORBA::Long>(control(), "deleteDiskGroup", 1), 1);
}

TEST_F(Pools, CallerBufferProtocolAndArgumentsCheckedInOrder) {
    for (int i = 0; i < 5; ++i) ASSERT_EQ(create("pool" + std::to_string(i)), DSM_OK);
    const char sentinel = 'S';
    for (int alloc : {0, 3, 5, 8}) {
        SCOPED_TRACE("alloc " + std::to_string(alloc));
        dsm_diskgroupinfo_t pools[10];
        std::memset(pools, sentinel, sizeof pools);
        int avail = -1;
        ASSERT_EQ(dsm_get_diskgroup_list(&server_, 0, 0, 0, 1, pools, alloc, &avail), DSM_OK);
        EXPECT_EQ(avail, 5);
        const int filled = std::min(alloc, 5);
        for (int i = 0; i < filled; ++i) {
            EXPECT_EQ(make_tuple(string(pools[i].diskgroup.name), pools[i].object_ref, pools[i].num_diskvolumes),
                      make_tuple("pool" + std::to_string(i), nullptr, 0)) << "cleared before filling";
        }
        EXPECT_EQ(reinterpret_cast<const char*>(&pools[filled])[0], sentinel) << "element after the last";
    }

    // Bad arguments are refused before any connection, each function's
    // checked in parameter order: of two bad ones the first is reported.
    const CORBA::Long pings = control()->callCount("ping");
    LogCapture capture;
    const dsm_disk_t disk{};
    const dsm_diskgroupinfo_t bare{};
    int count = 0;
    const std::tuple<std::function<int()>, const char*, const char*> bad[] = {
        {[&] { return dsm_get_diskgroupinfo_list(&server_, 0, 0, 0, 1, &out_, -2, &count); },
         "Input argument 'num_alloc_diskgroups' is negative (-2)", "dsm_get_diskgroupinfo_list"},
        {[&] { return dsm_get_diskgroup_list(nullptr, 0, 0, 0, 1, &out_, 1, nullptr); },
         "Input argument 'stservers' is NULL", "dsm_get_diskgroup_list"},
        {[&] { return dsm_create_diskgroup(&g_, &server_, 1, &disk, -1, 1, &out_, nullptr); },
         "Input argument 'num_disks' is negative (-1)", "dsm_create_diskgroup"},
        {[&] { return dsm_create_diskgroup(&g_, &server_, -4, nullptr, -1, 1, nullptr, nullptr); },
         "Input argument 'num_stservers' is negative (-4)", "dsm_create_diskgroup"},
        {[&] { return dsm_get_diskgroup_volumes(&bare, nullptr, -1, &count); },
         "Input argument 'diskvolumes' is NULL", "dsm_get_diskgroup_volumes"},
        {[&] { return dsm_merge_diskgroups(nullptr, nullptr, &out_, nullptr); },
         "Input argument 'primary_diskgroup' is NULL", "dsm_merge_diskgroups"},
        {[&] { return dsm_mountpoint_dvname(nullptr, nullptr, 0); }, "Input argument 'mountpoint' is NULL",
         "dsm_mountpoint_dvname"},
        {[&] { return dsm_get_storageserver_arraytypes(nullptr, nullptr, nullptr, 0, nullptr); },
         "Input argument 'stserverinfo' is NULL", "dsm_get_storageserver_arraytypes"},
        {[&] { return dsm_get_storageserver_configitems(&server_, 1, nullptr, 0, nullptr); },
         "Input argument 'configitems' is NULL", "dsm_get_storageserver_configitems"},
    };
    for (const auto& [call, text, function] : bad) {
        EXPECT_EQ(call(), DSM_E_INVALID_ARG) << text;
        EXPECT_TRUE(capture.has(text, DSM_SEV_ERROR, function)) << text;
    }
    EXPECT_EQ(capture.lines().size(), std::size(bad)) << capture.dump();
    EXPECT_EQ(control()->callCount("ping"), pings);
}

// The label query allocates the array for the caller; a null element is
// skipped with a warning.
TEST_F(Pools, StorageUnitLabelQueryAllocatesForTheCaller) {
    const char* op = "getDiskGroupInfoListByStorageUnitLabel";
    DS::DiskGroupInfoSeq seq;
    seq.length(3);
    for (int i = 1; i < 3; ++i) seq[i] = pool_value("label-pool" + std::to_string(i));
    reply_with(control(), op, seq);
    dsm_diskgroupinfo_t* pools = reinterpret_cast<dsm_diskgroupinfo_t*>(0x1);
    int count = -1;
    LogCapture capture;
    ASSERT_EQ(dsm_get_diskgroupinfo_list_by_storage_unit_label("127.0.0.1", "stu1", nullptr, 3, &pools, &count),
              DSM_OK);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(pools[0].object_ref, nullptr);
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(string(pools[i].diskgroup.name), "label-pool" + std::to_string(i));
        EXPECT_NE(pools[i].object_ref, nullptr);
    }
    EXPECT_TRUE(capture.has("Failed to extract diskgroupinfo #0", DSM_SEV_WARNING,
                            "dsm_get_diskgroupinfo_list_by_storage_unit_label")) << capture.dump();
    EXPECT_EQ(dsm_removeref_diskgroupinfo_list(pools, count), DSM_OK);
    std::free(pools);
    // A null server type is sent empty.
    EXPECT_EQ(make_tuple(sent_scalar<string>(control(), op, 2), sent_scalar<CORBA::Long>(control(), op, 3),
                         sent_scalar<string>(control(), op, 4)),
              make_tuple(string(), 3, string()));

    reply_with(control(), op, DS::DiskGroupInfoSeq());
    ASSERT_EQ(dsm_get_diskgroupinfo_list_by_storage_unit_label("127.0.0.1", "stu2", "", 0, &pools, &count), DSM_OK);
    EXPECT_EQ(make_tuple(count, pools), make_tuple(0, nullptr)) << "no pools: no array";
}

TEST_F(Pools, AuditOutcomesAndFailures) {
    ASSERT_EQ(create("pool1"), DSM_OK);
    control()->setAuditOutcome("updateDiskGroup", 1, "7");
    EXPECT_EQ(dsm_update_diskgroup_flags(&g_, 1, 1, nullptr, nullptr), DSM_E_AUDIT);

    // Membership answers with a number: 2000053 counts as done, others fail.
    const dsm_storageserver_t s = server_record("sts9");
    control()->setAuditOutcome("addStorageServer", 1, "2000053");
    EXPECT_EQ(dsm_add_diskgroup_stserver(&g_, &s, nullptr), DSM_OK);
    control()->setAuditOutcome("deleteStorageServer", 1, "5");
    LogCapture capture;
    EXPECT_EQ(dsm_remove_diskgroup_stserver(&g_, &s, nullptr), DSM_E_NULL_RESULT);
    EXPECT_TRUE(capture.has("deleteStorageServer (RDSM) returned NULL ", DSM_SEV_ERROR,
                            "dsm_remove_diskgroup_stserver")) << capture.dump();

    // The service deleted the pool but flagged the audit: the record is filled.
    control()->setAuditOutcome("deleteDiskGroup", 1, "1");
    EXPECT_EQ(dsm_delete_diskgroup(&g_, 1, &out_, "try"), DSM_E_AUDIT);
    EXPECT_STREQ(out_.diskgroup.name, "pool1");

    // A failed update is reported even when the refill works.
    ASSERT_EQ(create("pool1"), DSM_OK);
    dsm_diskgroupinfo_t info{};
    control()->failWithServiceException("updateDiskGroup", 1, disk_error(2050077).in());
    EXPECT_EQ(dsm_update_diskgroup_flags(&g_, 3, 1, &info, nullptr), 2050077);
    control()->returnNull("updateDiskGroup", 1);
    EXPECT_EQ(dsm_update_diskgroup_flags(&g_, 3, 1, &info, nullptr), DSM_E_NULL_RESULT);
    EXPECT_NE(info.object_ref, nullptr) << "refilled from the service";
    dsm_removeref_diskgroupinfo(&info);
}
