// dsmtool's pool and volume commands against the bundled service: each
// family's whole life as a person types it, the tables they read and the
// JSON scripts parse (compared whole), and what reached the service.
#include "ToolRun.h"

using namespace dsmtest;

namespace {

class ToolPools : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        run_ok("server create sts1 --type AdvancedDisk");
    }
};

class ToolVolumes : public ToolPools {
protected:
    void SetUp() override {
        ToolPools::SetUp();
        run_ok("pool create pool1 --type AdvancedDisk --server sts1");
    }
};

}  // namespace

TEST_F(ToolPools, WholeLife) {
    std::string t = transcript({"pool create pool1 --type AdvancedDisk --server sts1 --reason 'new pool for backups'"});
    EXPECT_EQ(sent<DS::DiskGroup>("createDiskGroup", "DSM::AuditReason"), Args{"new pool for backups"});
    // --brief gives names only; filters; no flags until some are set.
    t += transcript({"pool list --brief", "--json pool list --brief", "pool list", "--json pool list",
                     "--json pool list --server sts1 --type AdvancedDisk", "--json pool list --server other",
                     "--json pool list --type BasicDisk", "--json pool show pool1", "pool show pool1",
                     "pool update pool1 --high 90 --low 70 --tag gold --flags 5 --flags-ext 18446744073709551615 "
                     "--max-io-streams 12",
                     "--json pool show pool1"});
    EXPECT_EQ(control()->callCount("updateDiskGroup"), 4) << "marks and tag in one request, one per setter";
    t += transcript({"pool update pool1 --low 60"});
    EXPECT_EQ(sent<DS::DiskGroup>("updateDiskGroup", "DSM::lowWaterMark"), Args{"60"});
    EXPECT_TRUE(sent<DS::DiskGroup>("updateDiskGroup", "DSM::highWaterMark").empty()) << "only what was given";
    t += transcript({"pool state pool1 down --reason maintenance"});
    EXPECT_EQ(sent_long("updateDiskGroupState", 2), 3);
    t += transcript({"pool list", "pool state pool1 up", "pool add-server pool1 sts2 --reason 'more paths'",
                     "pool list", "pool remove-server pool1 sts2", "pool list", "pool remove-server pool1 sts2",
                     "pool delete pool1 --reason retired"});
    EXPECT_EQ(sent<DS::DiskGroup>("deleteDiskGroup", "DSM::AuditReason"), Args{"retired"});
    // An imported pool, merged into another, and a delete that unimports (with no reason).
    t += transcript({"--json pool list", "pool show pool1", "pool create big --type AdvancedDisk --server sts1",
                     "pool import small --type AdvancedDisk --server sts1 --server sts2", "--json pool show small",
                     "vol create small v1", "pool merge big small --reason consolidate", "pool list",
                     "pool show small", "pool delete big --unimport"});
    EXPECT_TRUE(sent<DS::DiskGroup>("deleteDiskGroup", "DSM::AuditReason").empty());
    EXPECT_EQ(sent_long("deleteDiskGroup", 1), 1);
    expect_whole(t, "pool_life.txt");
}

TEST_F(ToolPools, ListsGrowPastTheFirstBuffer) {
    for (int i = 100; i < 140; ++i) seed_value(DS::DiskGroupInfo_var(pool_value("p" + std::to_string(i))).in());
    expect_whole(transcript({"pool list --brief"}), "pool_list_40.txt");
    EXPECT_EQ(control()->callCount("getDiskGroupInfoList"), 2) << "asked again with room for all";
}

// Refusals of the service's audit, faults, refusals in the service's own
// words, and deletes of what is still in use (only with --force, nothing
// sent before).
TEST_F(ToolVolumes, RefusalsAndFaultsAreReportedWithTheirStatus) {
    control()->setAuditOutcome("updateDiskGroupState", 1, "7");
    std::string t = transcript({"--json pool state pool1 down"});
    control()->failWithSystemException("getDiskGroupInfoList", 1, DsmControl::SYS_COMM_FAILURE);
    control()->returnNull("getDiskGroupInfo", 1);
    t += transcript({"pool list", "pool show pool1", "vol create pool1 v --config x --flags 1", "vol update pool1 vol1",
                     "vol create pool1 vol1", "pool update pool1 --high 10 --low 20",
                     "server create odd1 --type NoSuchDisk", "vol update pool1 vol1 --total -5", "pool delete pool1",
                     "server delete sts1"});
    EXPECT_EQ(control()->callCount("deleteDiskGroup") + control()->callCount("deleteStorageServer"), 0);
    t += transcript({"vol create pool1 vol2"});
    control()->setAuditOutcome("deleteDiskVolume", 1, "108");
    t += transcript({"vol delete pool1 vol2 --reason no", "pool delete pool1 --force", "server delete sts1",
                     "server list"});
    expect_whole(t, "pool_refusals.txt");
}

TEST_F(ToolVolumes, WholeLife) {
    std::string t = transcript({"vol create pool1 vol1 --config layout=stripe"});
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "volume_config"), Args{"layout=stripe"});
    // Flags and replication given at creation travel in the create request.
    t += transcript({"vol create pool1 vol2 --flags 64 --rep-source src-a --rep-target tgt-a --rep-target tgt-b "
                     "--reason replicated"});
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSM::flags"), Args{"64"});
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSM::ReplicationSourceSpec"), Args{"src-a"});
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSM::ReplicationTargetSpec"), (Args{"tgt-a", "tgt-b"}));
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSMi::ReplicationSourceAndTargetSpecCount"), Args{"3"});
    EXPECT_EQ(sent<DS::DiskGroup>("createDiskVolume", "DSM::AuditReason", 1), Args{"replicated"});
    // Flags of an existing volume go through an update with only the flags switch.
    t += transcript({"--json vol list pool1", "vol list pool1", "--json vol show pool1 vol2",
                     "vol flags pool1 vol1 --set 7"});
    EXPECT_EQ(sent<DS::DiskVolume>("updateDiskVolume", "DSM::flags"), Args{"7"});
    t += transcript({"--json vol flags pool1 vol1", "vol flags pool1 vol1 --set 9",
                     "vol update pool1 vol1 --total 1000 --free 400"});
    EXPECT_TRUE(sent<DS::DiskVolume>("updateDiskVolume", "DSM::flags").empty()) << "flags only when asked";
    t += transcript({"--json vol show pool1 vol1", "vol state pool1 vol1 down --reason maintenance"});
    EXPECT_EQ(sent_long("updateDiskVolumeState", 3), 3) << "down";
    EXPECT_EQ(sent<DS::DiskVolume>("updateDiskVolumeState", "DSM::AuditReason"), Args{"maintenance"});
    t += transcript({"vol state pool1 vol1 up --internal"});
    EXPECT_EQ(sent_long("updateDiskVolumeState", 3), 4) << "internal up";
    EXPECT_EQ(sent<DS::DiskVolume>("updateDiskVolume", "DSM::committedSpace"), Args{"0"})
        << "the internal state change resets the committed space first";
    // A clone carries the source's replication and adds what is given.
    t += transcript({"vol replication pool1 vol2", "vol clone pool1 vol2 vol3 --rep-target tgt-c"});
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSM::ReplicationTargetSpec").back(), "tgt-c");
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSM::ReplicationSourceSpec"), Args{"src-a"});
    // The other ways to find a volume.
    const json v1 = run_json("vol show pool1 vol1");
    const std::string media = v1["media_id"], id = v1["id"];
    t += transcript({"vol replication pool1 vol3", "--json vol find --media-id " + media,
                     "--json vol find --server sts1 --volume-id " + id,
                     "--json vol find --server sts1 --legacy --volume-id " + id, "vol find --server sts1",
                     "vol delete pool1 vol1", "vol show pool1 vol1", "vol list nopool"});
    expect_whole(t, "volume_life.txt");
}

// Sizes are taken with the units administrators type, shown in IEC units in
// tables (exact bytes with --bytes), in columns aligned by display width. A
// server added to a pool shows with its own type, though the tool names it
// with the pool's.
TEST_F(ToolVolumes, SizesColumnsAndMemberTypes) {
    run_ok("vol create pool1 vol1");
    std::vector<std::string> lines;
    for (const char* typed : {"1K", "1KB", "2MiB", "3g", "1T", "5TB", "1P", "010"})
        lines.insert(lines.end(), {"vol update pool1 vol1 --total " + std::string(typed), "pool list --bytes"});
    const std::string wide = "caf\xC3\xA9-\xE5\x8D\xB7";  // "café-卷": 9 bytes, 7 columns
    lines.insert(lines.end(), {"vol update pool1 vol1 --total 1T --free 1536M",
                               "pool create " + wide + " --type AdvancedDisk --server sts1",
                               "vol create " + wide + " v", "vol update " + wide + " v --total 1023 --free 0",
                               "pool list", "pool list --bytes", "server create shared1 --type SharedDisk",
                               "pool add-server pool1 shared1", "pool show pool1"});
    expect_whole(transcript(lines), "sizes.txt");
}
