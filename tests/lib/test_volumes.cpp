// Disk volumes through the library against the bundled service: life and
// identities, held values, states, figures, audit and replication edits.
#include "LogCapture.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace dsmtest;
using std::make_tuple;
using std::string;

namespace {

class Volumes : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        dsm_diskgroupinfo_t out{};
        ASSERT_EQ(dsm_create_diskgroup(&pool_, &server_, 1, &disk_, 0, 1, &out, nullptr), DSM_OK);
    }

    int create(const std::string& name, const char* config = "") {
        const dsm_diskvolume_t v = volume_record(name, pool_);
        dsm_disk_t disk{};
        set(disk.volume_config, config);
        return dsm_create_diskvolume(&v, &disk, 1, 1, &out_);
    }

    const dsm_diskgroup_t pool_ = pool_record("pool1");
    const dsm_storageserver_t server_ = server_record("sts1");
    const dsm_diskvolume_t key_ = volume_record("vol1", pool_);
    const dsm_disk_t disk_{};
    dsm_diskvolumeinfo_t out_{};
};

}  // namespace

TEST_F(Volumes, WholeLifeInAPoolAndItsIdentities) {
    ASSERT_EQ(create("vol1", "layout=stripe"), DSM_OK);
    EXPECT_EQ(make_tuple(string(out_.name), string(out_.diskgroup.name), out_.object_ref),
              make_tuple(string("vol1"), string("pool1"), nullptr));
    EXPECT_EQ(sent_props<DS::DiskVolume>(control(), "createDiskVolume"), (Props{{"volume_config", "layout=stripe"}}));

    dsm_diskvolumeinfo_t info{}, by_media{}, by_name{}, by_legacy{};
    ASSERT_EQ(dsm_get_diskvolumeinfoEX(&key_, 1, &info), DSM_OK);
    ASSERT_NE(info.object_ref, nullptr);
    ASSERT_NE(info.disk_media_id[0], '\0') << "the service gives every volume a media id";
    // By media id, by name and by legacy identity: the same volume, with the
    // pool identity the service names.
    uint64_t flags = 99;
    ASSERT_EQ(dsm_get_diskvolumeinfo_and_flags_by_mediaid(info.disk_media_id, &by_media, &flags), DSM_OK);
    EXPECT_EQ(make_tuple(string(by_media.name), string(by_media.diskgroup.name), by_media.object_ref),
              make_tuple(string("vol1"), string("pool1"), nullptr));
    ASSERT_EQ(dsm_get_diskvolumeinfo_by_name("127.0.0.1", &server_, info.id, &by_name), DSM_OK);
    ASSERT_EQ(dsm_get_diskvolumeinfo_by_volumeid("127.0.0.1", &server_, info.id, &by_legacy), DSM_OK);
    EXPECT_EQ(make_tuple(string(by_name.name), string(by_legacy.name)), make_tuple(string("vol1"), string("vol1")));
    // Loading by the record's own names keeps them (the request frees only its copies).
    ASSERT_EQ(dsm_diskvolume_load(&info, 1), DSM_OK);
    EXPECT_EQ(string(info.name) + "/" + info.diskgroup.name, "vol1/pool1");
    EXPECT_EQ(dsm_removeref_diskvolumeinfo(&info), DSM_OK);
}

TEST_F(Volumes, HeldValueRules) {
    dsm_diskvolumeinfo_t rec{};
    LogCapture capture;
    uint64_t payload = 5;
    EXPECT_EQ(dsm_diskvolume_freephys(&rec, &payload), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("DiskVolumeInfo object reference is NULL", DSM_SEV_ERROR, "dsm_diskvolume_freephys"));
    char rep[8];
    EXPECT_EQ(payload, 5u);
    EXPECT_EQ(dsm_get_diskvolume_reptarget(&rec, 0, rep, sizeof rep), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("diskvolumeinfo object reference is NULL", DSM_SEV_ERROR, "dsm_get_diskvolume_reptarget"));

    // Flags on a record without a reference make one held value.
    ASSERT_EQ(dsm_set_diskvolume_flags(&rec, 11), DSM_OK);
    ASSERT_NE(rec.object_ref, nullptr);
    EXPECT_EQ(static_cast<DS::DiskVolumeInfo*>(rec.object_ref)->_refcount_value(), 1u);
    ASSERT_EQ(dsm_set_diskvolume_flags(&rec, 22), DSM_OK);
    EXPECT_EQ(dsm_diskvolume_flags(&rec, &payload), DSM_OK);
    EXPECT_EQ(payload, 11u) << "the first flags property wins";
    EXPECT_EQ(dsm_diskvolume_physcapacity(&rec, &payload), DSM_E_INVALID_ARG) << "absent property";
    EXPECT_EQ(dsm_removeref_diskvolumeinfo(&rec), DSM_OK);
}

// A state set through the library goes out as the service's state and reads
// back as set; an update sends the figures its mask chooses; an audit refusal
// is 108.
TEST_F(Volumes, StatesFiguresAndAuditRefusal) {
    ASSERT_EQ(create("vol1"), DSM_OK);
    // Internal or not, the state set, and the service's state sent.
    const std::tuple<bool, int, CORBA::Long> cases[] = {
        {false, DSM_DV_STATE_DOWN, 3}, {false, DSM_DV_STATE_UP, 2},
        {true, DSM_DV_STATE_DOWN, 5}, {true, DSM_DV_STATE_UP, 4}};
    for (const auto& [internal, state, sent] : cases) {
        SCOPED_TRACE((internal ? "internal state " : "state ") + std::to_string(state));
        const int status = internal ? dsm_update_diskvolume_internal_state(&key_, state, 1, &out_, nullptr)
                                    : dsm_update_diskvolume_state(&key_, state, 1, &out_, "maintenance");
        ASSERT_EQ(status, DSM_OK);
        EXPECT_EQ(sent_scalar<CORBA::Long>(control(), "updateDiskVolumeState", 3), sent);
        EXPECT_EQ(out_.kdu_state, state);
    }
    dsm_diskvolumeinfo_t v = out_;
    v.total_capacity = 1000;
    v.free_space = 400;
    v.precommitted_space = 7;
    const unsigned char mask[6] = {1, 0, 0, 0, 1, 0};
    ASSERT_EQ(dsm_update_diskvolume(&v, mask, 1, &out_), DSM_OK);
    EXPECT_EQ(sent_props<DS::DiskVolume>(control(), "updateDiskVolume"),
              (Props{{"DSM::totalCapacity", "1000"}, {"DSM::preCommittedSpace", "7"}}))
        << "exactly the figures the mask chose";
    control()->setAuditOutcome("updateDiskVolumeState", 1, "108");
    EXPECT_EQ(dsm_update_diskvolume_state(&key_, 1, 1, &out_, nullptr), DSM_E_AUDIT);
    EXPECT_STREQ(out_.name, "vol1") << "the output is still filled";
}

// Flags and several sources and targets edited on a held volume all travel
// with a create from it, each readable by its index.
TEST_F(Volumes, FlagsAndEveryReplicationSpecificationAreKept) {
    ASSERT_EQ(create("vol1"), DSM_OK);
    dsm_diskvolumeinfo_t info{};
    ASSERT_EQ(dsm_get_diskvolumeinfoEX(&key_, 1, &info), DSM_OK);
    const std::vector<std::string> sources = {"src-a", "src-b"}, targets = {"tgt-a", "tgt-b", "tgt-c"};
    ASSERT_EQ(dsm_set_diskvolume_flags(&info, 0x40), DSM_OK);
    for (size_t i = 0; i < targets.size(); ++i) {
        ASSERT_EQ(dsm_set_diskvolume_reptarget(&info, targets[i].c_str()), DSM_OK);
        if (i < sources.size()) {
            ASSERT_EQ(dsm_set_diskvolume_repsource(&info, sources[i].c_str()), DSM_OK);
        }
    }
    ASSERT_EQ(dsm_delete_diskvolume(&key_, 1, &out_, nullptr), DSM_OK);
    ASSERT_EQ(dsm_create_diskvolume_from_diskvolumeinfo(&info, &disk_, 1, 1, &out_, "clone"), DSM_OK);
    const Props props = sent_props<DS::DiskVolume>(control(), "createDiskVolume");
    ASSERT_GE(props.size(), 7u);
    EXPECT_EQ(Props(props.end() - 7, props.end()),
              (Props{{"DSM::flags", "64"}, {"DSMi::ReplicationSourceAndTargetSpecCount", "5"},
                     {"DSM::ReplicationTargetSpec", "tgt-a"}, {"DSM::ReplicationSourceSpec", "src-a"},
                     {"DSM::ReplicationTargetSpec", "tgt-b"}, {"DSM::ReplicationSourceSpec", "src-b"},
                     {"DSM::ReplicationTargetSpec", "tgt-c"}}))
        << "in the order they were added";

    using Getter = int (*)(const dsm_diskvolumeinfo_t*, unsigned int, char*, int);
    auto read_all = [&](Getter get) {
        std::vector<std::string> out;
        char name[64];
        for (unsigned int i = 0; get(&info, i, name, sizeof name) == DSM_OK; ++i) out.push_back(name);
        return out;
    };
    EXPECT_EQ(read_all(dsm_get_diskvolume_repsource), sources);
    EXPECT_EQ(read_all(dsm_get_diskvolume_reptarget), targets);
    char name[64];
    EXPECT_EQ(dsm_get_diskvolume_repsource(&info, 2, name, sizeof name), DSM_E_NO_REPLICATION);
    EXPECT_EQ(dsm_removeref_diskvolumeinfo(&info), DSM_OK);
}
