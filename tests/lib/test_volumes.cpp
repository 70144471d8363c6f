// Disk volumes through the library against the bundled service: a volume's
// whole life in a pool, its four identities, flags and replication edits
// carried into a create, state mappings, the audit convention and large
// lists under the caller-buffer protocol.
#include "LogCapture.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

#include <memory>

using namespace dsmtest;

namespace {

dsm_diskvolume_t volume_record(const std::string& name, const dsm_diskgroup_t& pool) {
    dsm_diskvolume_t v;
    std::memset(&v, 0, sizeof v);
    set(v.name, name);
    v.diskgroup = pool;
    return v;
}

dsm_diskvolumeinfo_t empty_volume() {
    dsm_diskvolumeinfo_t v;
    std::memset(&v, 0, sizeof v);
    return v;
}

class Volumes : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dsmlib_set_emmserver(ServiceEnvironment::get().service().address().c_str());
        pool_ = pool_record("pool1");
        server_ = server_record("sts1");
        dsm_disk_t disk;
        std::memset(&disk, 0, sizeof disk);
        dsm_diskgroupinfo_t out = empty_info();
        ASSERT_EQ(dsm_create_diskgroup(&pool_, &server_, 1, &disk, 0, 1, &out, nullptr), DSM_OK);
    }

    int create(const std::string& name, dsm_diskvolumeinfo_t* out, const char* config = "") {
        dsm_diskvolume_t v = volume_record(name, pool_);
        dsm_disk_t disk;
        std::memset(&disk, 0, sizeof disk);
        set(disk.volume_config, config);
        return dsm_create_diskvolume(&v, &disk, 1, 1, out);
    }

    dsm_diskgroup_t pool_;
    dsm_storageserver_t server_;
};

}  // namespace

TEST_F(Volumes, WholeLifeInAPool) {
    dsm_diskvolumeinfo_t made = empty_volume();
    ASSERT_EQ(create("vol1", &made, "layout=stripe"), DSM_OK);
    EXPECT_STREQ(made.name, "vol1");
    EXPECT_STREQ(made.diskgroup.name, "pool1") << "the caller's pool record";
    EXPECT_EQ(made.object_ref, nullptr);
    {
        DS::DiskVolume_var sent = last_argument<DS::DiskVolume>(control(), "createDiskVolume", 0);
        Props props = props_of(sent->properties());
        ASSERT_EQ(props.size(), 1u);
        EXPECT_EQ(props[0], std::make_pair(std::string("volume_config"), std::string("layout=stripe")));
    }

    // By record, keeping the reference.
    dsm_diskvolume_t key = volume_record("vol1", pool_);
    dsm_diskvolumeinfo_t info = empty_volume();
    ASSERT_EQ(dsm_get_diskvolumeinfoEX(&key, 1, &info), DSM_OK);
    ASSERT_NE(info.object_ref, nullptr);
    ASSERT_NE(info.disk_media_id[0], '\0') << "the service gives every volume a media id";
    const std::string media_id = info.disk_media_id;

    // By media id, by name and by legacy identity: the same volume, with the
    // pool identity the service names.
    dsm_diskvolumeinfo_t by_media = empty_volume();
    uint64_t flags = 99;
    ASSERT_EQ(dsm_get_diskvolumeinfo_and_flags_by_mediaid(media_id.c_str(), &by_media, &flags), DSM_OK);
    EXPECT_STREQ(by_media.name, "vol1");
    EXPECT_STREQ(by_media.diskgroup.name, "pool1");
    EXPECT_EQ(by_media.object_ref, nullptr);
    dsm_diskvolumeinfo_t by_name = empty_volume();
    ASSERT_EQ(dsm_get_diskvolumeinfo_by_name("127.0.0.1", &server_, info.id, &by_name), DSM_OK);
    EXPECT_STREQ(by_name.name, "vol1");
    dsm_diskvolumeinfo_t by_legacy = empty_volume();
    ASSERT_EQ(dsm_get_diskvolumeinfo_by_volumeid("127.0.0.1", &server_, info.id, &by_legacy), DSM_OK);
    EXPECT_STREQ(by_legacy.name, "vol1");

    // Listed, each element holding a reference.
    dsm_diskvolumeinfo_t listed[4];
    int avail = 0;
    ASSERT_EQ(dsm_get_diskvolumeinfo_list(&server_, 1, &pool_, 1, listed, 4, &avail), DSM_OK);
    ASSERT_EQ(avail, 1);
    EXPECT_NE(listed[0].object_ref, nullptr);
    EXPECT_EQ(dsm_removeref_diskvolumeinfo_list(listed, avail), DSM_OK);

    // Flags and replication specifications edited on the held value travel
    // with the next create from it.
    ASSERT_EQ(dsm_set_diskvolume_flags(&info, 0x40), DSM_OK);
    ASSERT_EQ(dsm_set_diskvolume_reptarget(&info, "target-a"), DSM_OK);
    ASSERT_EQ(dsm_set_diskvolume_repsource(&info, "source-a"), DSM_OK);
    ASSERT_EQ(dsm_set_diskvolume_reptarget(&info, "target-b"), DSM_OK);
    char rep[64];
    EXPECT_EQ(dsm_get_diskvolume_reptarget(&info, 1, rep, sizeof rep), DSM_OK);
    EXPECT_STREQ(rep, "target-b");
    EXPECT_EQ(dsm_get_diskvolume_repsource(&info, 0, rep, sizeof rep), DSM_OK);
    EXPECT_STREQ(rep, "source-a");
    EXPECT_EQ(dsm_get_diskvolume_repsource(&info, 1, rep, sizeof rep), DSM_E_NO_REPLICATION);
    uint64_t payload = 0;
    EXPECT_EQ(dsm_diskvolume_flags(&info, &payload), DSM_OK);

    dsm_diskvolumeinfo_t copy = info;
    set(copy.name, "vol2");
    copy.id[0] = '\0';
    dsm_disk_t disk;
    std::memset(&disk, 0, sizeof disk);
    dsm_diskvolumeinfo_t made2 = empty_volume();
    ASSERT_EQ(dsm_create_diskvolume_from_diskvolumeinfo(&copy, &disk, 1, 1, &made2, "clone"), DSM_OK);
    {
        DS::DiskVolume_var sent = last_argument<DS::DiskVolume>(control(), "createDiskVolume", 0);
        Props props = props_of(sent->properties());
        auto count = [&](const std::string& name) {
            return std::count_if(props.begin(), props.end(), [&](auto& p) { return p.first == name; });
        };
        EXPECT_EQ(count("DSM::ReplicationTargetSpec"), 2);
        EXPECT_EQ(count("DSM::ReplicationSourceSpec"), 1);
        EXPECT_EQ(count("DSM::flags"), 1);
        auto c = std::find_if(props.begin(), props.end(),
                              [](auto& p) { return p.first == "DSMi::ReplicationSourceAndTargetSpecCount"; });
        ASSERT_NE(c, props.end());
        EXPECT_EQ(c->second, "3");
    }
    EXPECT_EQ(dsm_removeref_diskvolumeinfo(&info), DSM_OK);

    // State changes map the caller's 1 and 2 onto the service's states.
    dsm_diskvolumeinfo_t out = empty_volume();
    ASSERT_EQ(dsm_update_diskvolume_state(&key, 2, 1, &out, "maintenance"), DSM_OK);
    DsmControl::AnySeq_var args = control()->lastArguments("updateDiskVolumeState");
    CORBA::Long sent_state = 0;
    ASSERT_TRUE(args[3] >>= sent_state);
    EXPECT_EQ(sent_state, 3);
    ASSERT_EQ(dsm_update_diskvolume_internal_state(&key, 1, 1, &out, nullptr), DSM_OK);
    args = control()->lastArguments("updateDiskVolumeState");
    ASSERT_TRUE(args[3] >>= sent_state);
    EXPECT_EQ(sent_state, 4);
    EXPECT_EQ(out.committed_space, 0);
    EXPECT_EQ(out.precommitted_space, 0);

    // Delete, and it is gone.
    ASSERT_EQ(dsm_delete_diskvolume(&key, 1, &out, nullptr), DSM_OK);
    dsm_diskvolumeinfo_t gone = empty_volume();
    EXPECT_NE(dsm_get_diskvolumeinfo(&key, 1, &gone), DSM_OK);
}

TEST_F(Volumes, AuditRefusalIs108AndOtherValuesPassThrough) {
    dsm_diskvolumeinfo_t out = empty_volume();
    ASSERT_EQ(create("vol1", &out), DSM_OK);
    dsm_diskvolume_t key = volume_record("vol1", pool_);
    control()->setAuditOutcome("updateDiskVolumeState", 1, "108");
    EXPECT_EQ(dsm_update_diskvolume_state(&key, 1, 1, &out, nullptr), DSM_E_AUDIT);
    EXPECT_STREQ(out.name, "vol1") << "the output is still filled";
    control()->setAuditOutcome("deleteDiskVolume", 1, "108");
    EXPECT_EQ(dsm_delete_diskvolume(&key, 1, &out, "no"), DSM_E_AUDIT);

    LogCapture capture;
    EXPECT_EQ(dsm_update_diskvolume_state(&key, 3, 1, &out, nullptr), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Failed to convert State (error=2050200)", DSM_SEV_ERROR, "dsm_update_diskvolume_state"));
}

TEST_F(Volumes, HeldValueRules) {
    dsm_diskvolumeinfo_t rec = empty_volume();
    LogCapture capture;
    uint64_t payload = 5;
    EXPECT_EQ(dsm_diskvolume_freephys(&rec, &payload), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("DiskVolumeInfo object reference is NULL", DSM_SEV_ERROR, "dsm_diskvolume_freephys"));
    char rep[8];
    EXPECT_EQ(dsm_get_diskvolume_reptarget(&rec, 0, rep, sizeof rep), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("diskvolumeinfo object reference is NULL", DSM_SEV_ERROR, "dsm_get_diskvolume_reptarget"));
    EXPECT_EQ(payload, 5u);

    // Flags on a record without a reference make one held value.
    ASSERT_EQ(dsm_set_diskvolume_flags(&rec, 11), DSM_OK);
    ASSERT_NE(rec.object_ref, nullptr);
    auto* held = static_cast<DS::DiskVolumeInfo*>(rec.object_ref);
    EXPECT_EQ(held->_refcount_value(), 1u);
    ASSERT_EQ(dsm_set_diskvolume_flags(&rec, 22), DSM_OK);
    EXPECT_EQ(dsm_diskvolume_flags(&rec, &payload), DSM_OK);
    EXPECT_EQ(payload, 11u) << "the first flags property wins";
    EXPECT_EQ(dsm_diskvolume_physcapacity(&rec, &payload), DSM_E_INVALID_ARG) << "absent property";
    EXPECT_EQ(dsm_removeref_diskvolumeinfo(&rec), DSM_OK);
}

TEST_F(Volumes, TenThousandVolumesUnderEveryBufferSize) {
    DS::DiskGroupInfo_var pool = pool_value("big");
    pool->volumes().length(10000);
    for (CORBA::ULong i = 0; i < 10000; ++i) {
        auto* v = new OBV_DS::DiskVolume;
        v->name(("vol" + std::to_string(i)).c_str());
        v->objId(("vid" + std::to_string(i)).c_str());
        add_property(v->properties(), "DSM::diskGroupName", "big");
        pool->volumes()[i] = v;
    }
    seed(control(), pool.in());
    dsm_diskgroup_t big = pool_record("big");
    std::unique_ptr<dsm_diskvolumeinfo_t[]> buf(new dsm_diskvolumeinfo_t[10001]);
    for (int alloc : {0, 10, 10000, 10001}) {
        std::memset(buf.get(), 0, sizeof(dsm_diskvolumeinfo_t) * 10001);
        int avail = 0;
        ASSERT_EQ(dsm_get_diskvolumeinfo_list(&server_, 0, &big, 1, buf.get(), alloc, &avail), DSM_OK);
        EXPECT_EQ(avail, 10000);
        const int filled = std::min(alloc, 10000);
        if (filled > 0) {
            EXPECT_STREQ(buf[filled - 1].name, ("vol" + std::to_string(filled - 1)).c_str());
            EXPECT_STREQ(buf[filled - 1].diskgroup.name, "big");
        }
        if (filled < 10001) {
            EXPECT_EQ(buf[filled].name[0], '\0');
        }
        EXPECT_EQ(dsm_removeref_diskvolumeinfo_list(buf.get(), filled), DSM_OK);
    }
}

// Loading by the names in a caller's record copies them into the request:
// the record keeps its own buffers and the request frees only its copies.
TEST_F(Volumes, LoadByTheRecordsNamesLeavesTheRecordItsOwn) {
    dsm_diskvolumeinfo_t made = empty_volume();
    ASSERT_EQ(create("vol1", &made), DSM_OK);
    ASSERT_EQ(dsm_removeref_diskvolumeinfo(&made), DSM_OK);
    dsm_diskvolumeinfo_t rec = empty_volume();
    set(rec.name, "vol1");
    rec.diskgroup = pool_;
    for (int extract : {0, 1}) {
        ASSERT_EQ(dsm_diskvolume_load(&rec, extract), DSM_OK);
        EXPECT_NE(rec.object_ref, nullptr);
        EXPECT_STREQ(rec.name, "vol1");
        EXPECT_STREQ(rec.diskgroup.name, "pool1");
    }
    EXPECT_EQ(dsm_removeref_diskvolumeinfo(&rec), DSM_OK);
}

// A state set through the library reads back as set, in the change's output,
// the volume's own query and the pool's volume list; pool states likewise.
TEST_F(Volumes, StatesReadBackAsWritten) {
    dsm_diskvolumeinfo_t out = empty_volume();
    ASSERT_EQ(create("vol1", &out), DSM_OK);
    const dsm_diskvolume_t key = volume_record("vol1", pool_);
    struct Case {
        bool internal;
        int state;
    };
    for (const Case& c : {Case{false, DSM_DV_STATE_DOWN}, Case{false, DSM_DV_STATE_UP}, Case{true, DSM_DV_STATE_DOWN},
                          Case{true, DSM_DV_STATE_UP}}) {
        SCOPED_TRACE((c.internal ? "internal state " : "state ") + std::to_string(c.state));
        const int status = c.internal ? dsm_update_diskvolume_internal_state(&key, c.state, 1, &out, nullptr)
                                      : dsm_update_diskvolume_state(&key, c.state, 1, &out, nullptr);
        ASSERT_EQ(status, DSM_OK);
        EXPECT_EQ(out.kdu_state, c.state);
        dsm_diskvolumeinfo_t info = empty_volume();
        ASSERT_EQ(dsm_get_diskvolumeinfo(&key, 1, &info), DSM_OK);
        EXPECT_EQ(info.kdu_state, c.state);
        dsm_removeref_diskvolumeinfo(&info);
        dsm_diskgroupinfo_t pool = empty_info();
        ASSERT_EQ(dsm_get_diskgroupinfo(&pool_, 1, &pool), DSM_OK);
        dsm_diskvolumeinfo_t listed[1];
        int avail = 0;
        ASSERT_EQ(dsm_get_diskgroup_volumes(&pool, listed, 1, &avail), DSM_OK);
        EXPECT_EQ(listed[0].kdu_state, c.state);
        dsm_removeref_diskgroupinfo(&pool);
    }
    for (int state : {DSM_DG_STATE_DOWN, DSM_DG_STATE_UP}) {
        dsm_diskgroupinfo_t pool = empty_info();
        ASSERT_EQ(dsm_update_diskgroup_state(&pool_, state, 1, &pool, nullptr), DSM_OK);
        ASSERT_EQ(dsm_get_diskgroupinfo(&pool_, 1, &pool), DSM_OK);
        EXPECT_EQ(pool.kdu_state, state) << "pool state " << state;
        dsm_removeref_diskgroupinfo(&pool);
    }
}

// Several sources and targets on one volume all reach the service and come
// back in order, each readable by its index.
TEST_F(Volumes, EveryReplicationSpecificationIsKept) {
    dsm_diskvolumeinfo_t info = empty_volume();
    ASSERT_EQ(create("vol1", &info), DSM_OK);
    const dsm_diskvolume_t key = volume_record("vol1", pool_);
    ASSERT_EQ(dsm_get_diskvolumeinfoEX(&key, 1, &info), DSM_OK);
    const std::vector<std::string> sources = {"src-a", "src-b"}, targets = {"tgt-a", "tgt-b", "tgt-c"};
    for (size_t i = 0; i < targets.size(); ++i) {
        ASSERT_EQ(dsm_set_diskvolume_reptarget(&info, targets[i].c_str()), DSM_OK);
        if (i < sources.size()) {
            ASSERT_EQ(dsm_set_diskvolume_repsource(&info, sources[i].c_str()), DSM_OK);
        }
    }
    // Made anew from the held value, which carries the specifications.
    dsm_diskvolumeinfo_t out = empty_volume();
    ASSERT_EQ(dsm_delete_diskvolume(&key, 1, &out, nullptr), DSM_OK);
    dsm_disk_t disk;
    std::memset(&disk, 0, sizeof disk);
    ASSERT_EQ(dsm_create_diskvolume_from_diskvolumeinfo(&info, &disk, 1, 1, &out, nullptr), DSM_OK);
    ASSERT_EQ(dsm_removeref_diskvolumeinfo(&info), DSM_OK);

    dsm_diskvolumeinfo_t back = empty_volume();
    ASSERT_EQ(dsm_get_diskvolumeinfoEX(&key, 1, &back), DSM_OK);
    using Getter = int (*)(const dsm_diskvolumeinfo_t*, unsigned int, char*, int);
    auto read_all = [&](Getter get) {
        std::vector<std::string> out;
        char name[64];
        for (unsigned int i = 0; get(&back, i, name, sizeof name) == DSM_OK; ++i) out.push_back(name);
        return out;
    };
    EXPECT_EQ(read_all(dsm_get_diskvolume_repsource), sources);
    EXPECT_EQ(read_all(dsm_get_diskvolume_reptarget), targets);
    EXPECT_EQ(dsm_removeref_diskvolumeinfo(&back), DSM_OK);
}
