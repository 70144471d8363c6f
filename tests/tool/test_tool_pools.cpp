// dsmtool's pool and volume commands against the bundled service: each
// family's whole life as a person types it, the tables they read, the JSON
// scripts parse, and what reached the service.
#include "ToolFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace dsmtest;
using nlohmann::json;

namespace {

class ToolPools : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        run_ok({"server", "create", "sts1", "--type", "AdvancedDisk"});
    }

    json show(const std::string& pool) { return run_ok({"--json", "pool", "show", pool}).json(); }

    // The value of every property 'name' of the value sent as argument 0 of
    // the last call of 'op'.
    template <class T>
    std::vector<std::string> sent(const char* op, const std::string& name, CORBA::ULong index = 0) {
        typename T::_var_type value = last_argument<T>(control(), op, index);
        std::vector<std::string> out;
        if (!value.in()) return out;
        for (auto& p : props_of(value->properties()))
            if (p.first == name) out.push_back(p.second);
        return out;
    }
};

class ToolVolumes : public ToolPools {
protected:
    void SetUp() override {
        ToolPools::SetUp();
        run_ok({"pool", "create", "pool1", "--type", "AdvancedDisk", "--server", "sts1"});
    }

    json volume(const std::string& name) { return run_ok({"--json", "vol", "show", "pool1", name}).json(); }
};

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(ToolPools, WholeLife) {
    ToolResult r = run_ok(
        {"pool", "create", "pool1", "--type", "AdvancedDisk", "--server", "sts1", "--reason", "new pool for backups"});
    EXPECT_EQ(r.out, "Pool pool1 created\n");
    EXPECT_EQ(sent<DS::DiskGroup>("createDiskGroup", "DSM::AuditReason"), Strings{"new pool for backups"});
    EXPECT_EQ(sent<DS::DiskGroup>("createDiskGroup", "DSM::servertype"), Strings{"AdvancedDisk"});

    // A person reads a table, a script the JSON; --brief gives names only.
    EXPECT_EQ(run_ok({"pool", "list", "--brief"}).out, expected("pool_list_brief.txt"));
    EXPECT_EQ(run_ok({"--json", "pool", "list", "--brief"}).json(), json::array({"pool1"}));
    r = run_ok({"pool", "list"});
    EXPECT_EQ(r.out.rfind(" Name    Server type    State   Volumes   Servers   Total capacity", 0), 0u) << r.out;
    json list = run_ok({"pool", "list", "--json"}).json();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["name"], "pool1");
    EXPECT_EQ(list[0]["state"], "up");
    EXPECT_EQ(list[0]["servers"], 1);
    EXPECT_EQ(run_ok({"--json", "pool", "list", "--server", "sts1"}).json().size(), 1u);
    EXPECT_TRUE(run_ok({"--json", "pool", "list", "--server", "other"}).json().empty());
    EXPECT_EQ(run_ok({"--json", "pool", "list", "--type", "AdvancedDisk"}).json().size(), 1u);
    EXPECT_TRUE(run_ok({"--json", "pool", "list", "--type", "BasicDisk"}).json().empty()) << "filtered by type";

    json pool = show("pool1");
    EXPECT_EQ(pool["server_type"], "AdvancedDisk");
    ASSERT_EQ(pool["server_list"].size(), 1u);
    EXPECT_EQ(pool["server_list"][0]["name"], "sts1");
    EXPECT_TRUE(pool["volume_list"].empty());
    EXPECT_TRUE(pool["flags"].is_null()) << "no flags until some are set";
    r = run_ok({"pool", "show", "pool1"});
    EXPECT_NE(r.out.find("Server type:          AdvancedDisk\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nServer list:\n Name   Server type    Storage type\n"), std::string::npos) << r.out;

    // Each kind of change shows in the next look.
    run_ok({"pool", "update", "pool1", "--high", "90", "--low", "70", "--tag", "gold", "--flags", "5", "--flags-ext",
            "18446744073709551615", "--max-io-streams", "12"});
    EXPECT_EQ(control()->callCount("updateDiskGroup"), 4) << "marks and tag in one request, one per setter";
    pool = show("pool1");
    EXPECT_EQ(pool["high_watermark"], 90);
    EXPECT_EQ(pool["low_watermark"], 70);
    EXPECT_EQ(pool["user_tag"], "gold");
    EXPECT_EQ(pool["flags"], 5);
    EXPECT_EQ(pool["flags_ext"].get<uint64_t>(), 18446744073709551615ull);
    EXPECT_EQ(pool["max_io_streams"], 12);
    run_ok({"pool", "update", "pool1", "--low", "60"});
    EXPECT_EQ(sent<DS::DiskGroup>("updateDiskGroup", "DSM::lowWaterMark"), Strings{"60"});
    EXPECT_TRUE(sent<DS::DiskGroup>("updateDiskGroup", "DSM::highWaterMark").empty()) << "only what was given";

    r = run_ok({"pool", "state", "pool1", "down", "--reason", "maintenance"});
    EXPECT_EQ(r.out, "Pool pool1 is down\n");
    CORBA::Long state = 0;
    DsmControl::AnySeq_var args = control()->lastArguments("updateDiskGroupState");
    ASSERT_TRUE(args[2] >>= state);
    EXPECT_EQ(state, 3);
    EXPECT_EQ(show("pool1")["state"], "down");
    run_ok({"pool", "state", "pool1", "up"});
    EXPECT_EQ(show("pool1")["state"], "up");

    run_ok({"pool", "add-server", "pool1", "sts2", "--reason", "more paths"});
    EXPECT_EQ(show("pool1")["servers"], 2);
    run_ok({"pool", "remove-server", "pool1", "sts2"});
    EXPECT_EQ(show("pool1")["servers"], 1);
    r = expect_exit(1, {"pool", "remove-server", "pool1", "sts2"});
    EXPECT_NE(r.err.find("dsm_remove_diskgroup_stserver failed with status 2050010"), std::string::npos) << r.err;

    r = run_ok({"pool", "delete", "pool1", "--reason", "retired"});
    EXPECT_EQ(r.out, "Pool pool1 deleted\n");
    EXPECT_EQ(sent<DS::DiskGroup>("deleteDiskGroup", "DSM::AuditReason"), Strings{"retired"});
    EXPECT_TRUE(run_ok({"--json", "pool", "list"}).json().empty());
    r = expect_exit(1, {"pool", "show", "pool1"});
    EXPECT_EQ(r.err,
              "dsmtool: pool show: dsm_get_diskgroupinfo failed with status 2050010 (error reported by the disk "
              "service): disk pool pool1 not found\n");
    EXPECT_TRUE(r.out.empty());
}

TEST_F(ToolPools, ImportMergeAndUnimport) {
    run_ok({"pool", "create", "big", "--type", "AdvancedDisk", "--server", "sts1"});
    run_ok({"pool", "import", "small", "--type", "AdvancedDisk", "--server", "sts1", "--server", "sts2"});
    json small = show("small");
    EXPECT_EQ(small["availability"], "no") << "an imported pool";
    EXPECT_EQ(small["servers"], 2) << "--server is repeatable";
    run_ok({"vol", "create", "small", "v1"});

    ToolResult r = run_ok({"pool", "merge", "big", "small", "--reason", "consolidate"});
    EXPECT_EQ(r.out, "Pool big now holds small\n");
    EXPECT_EQ(show("big")["volumes"], 1);
    expect_exit(1, {"pool", "show", "small"});

    run_ok({"pool", "delete", "big", "--unimport"});
    EXPECT_TRUE(sent<DS::DiskGroup>("deleteDiskGroup", "DSM::AuditReason").empty()) << "unimport sends no reason";
    CORBA::Long mode = 0;
    DsmControl::AnySeq_var args = control()->lastArguments("deleteDiskGroup");
    ASSERT_TRUE(args[1] >>= mode);
    EXPECT_EQ(mode, 1);
}

TEST_F(ToolPools, RefusedAuditAndServiceFaultsAreReportedWithTheirStatus) {
    run_ok({"pool", "create", "pool1", "--type", "AdvancedDisk", "--server", "sts1"});
    control()->setAuditOutcome("updateDiskGroupState", 1, "7");
    ToolResult r = expect_exit(1, {"--json", "pool", "state", "pool1", "down"});
    EXPECT_EQ(r.json()["error"]["status"], 2000053);
    EXPECT_EQ(r.json()["error"]["name"], "DSM_E_AUDIT");
    EXPECT_NE(r.err.find("DSM_E_AUDIT (the service's audit refused or flagged the change)"), std::string::npos)
        << r.err;

    control()->failWithSystemException("getDiskGroupInfoList", 1, DsmControl::SYS_COMM_FAILURE);
    r = expect_exit(1, {"pool", "list"});
    EXPECT_NE(r.err.find("status 2050301 DSM_E_CORBA"), std::string::npos) << r.err;
    control()->returnNull("getDiskGroupInfo", 1);
    r = expect_exit(1, {"pool", "show", "pool1"});
    EXPECT_NE(r.err.find("status 2050202 DSM_E_NULL_RESULT (the service returned no value): getDiskGroupInfo "
                         "returned NULL DiskGroupInfo"),
              std::string::npos)
        << r.err;
}

TEST_F(ToolPools, DeletingWhatIsStillInUseNeedsForce) {
    run_ok({"pool", "create", "pool1", "--type", "AdvancedDisk", "--server", "sts1"});
    run_ok({"vol", "create", "pool1", "vol1"});
    ToolResult r = expect_exit(2, {"pool", "delete", "pool1"});
    EXPECT_EQ(r.err, "dsmtool: pool delete: pool pool1 still has 1 volume; give --force to delete it with them\n");
    r = expect_exit(2, {"server", "delete", "sts1"});
    EXPECT_EQ(r.err, "dsmtool: server delete: storage server sts1 is used by pool(s) pool1; give --force to delete it "
                     "anyway\n");
    EXPECT_EQ(control()->callCount("deleteDiskGroup") + control()->callCount("deleteStorageServer"), 0);
    run_ok({"pool", "delete", "pool1", "--force"});
    run_ok({"server", "delete", "sts1"});
    EXPECT_TRUE(run_ok({"--json", "server", "list"}).json().empty());
}

TEST_F(ToolPools, ListsGrowPastTheFirstBuffer) {
    for (int i = 0; i < 40; ++i) {
        DS::DiskGroupInfo_var v = pool_value("p" + std::to_string(100 + i));
        seed(control(), v.in());
    }
    json list = run_ok({"--json", "pool", "list"}).json();
    ASSERT_EQ(list.size(), 40u);
    EXPECT_EQ(list[39]["name"], "p139");
    EXPECT_EQ(control()->callCount("getDiskGroupInfoList"), 2) << "asked again with room for all";
}

TEST_F(ToolVolumes, WholeLife) {
    ToolResult r = run_ok({"vol", "create", "pool1", "vol1", "--config", "layout=stripe"});
    EXPECT_EQ(r.out, "Volume vol1 created in pool1\n");
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "volume_config"), Strings{"layout=stripe"});

    // Flags and replication given at creation travel in the create request.
    run_ok({"vol", "create", "pool1", "vol2", "--flags", "64", "--rep-source", "src-a", "--rep-target", "tgt-a",
            "--rep-target", "tgt-b", "--reason", "replicated"});
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSM::flags"), Strings{"64"});
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSM::ReplicationSourceSpec"), Strings{"src-a"});
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSM::ReplicationTargetSpec"), (Strings{"tgt-a", "tgt-b"}));
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSMi::ReplicationSourceAndTargetSpecCount"), Strings{"3"});
    EXPECT_EQ(sent<DS::DiskGroup>("createDiskVolume", "DSM::AuditReason", 1), Strings{"replicated"});

    json list = run_ok({"--json", "vol", "list", "pool1"}).json();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]["name"], "vol1");
    EXPECT_EQ(list[1]["pool"], "pool1");
    r = run_ok({"vol", "list", "pool1"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), " Name   State   Total capacity   Free space   Media ID");
    EXPECT_NE(r.out.find("\n vol2   up      0 B"), std::string::npos) << r.out;

    json v2 = volume("vol2");
    EXPECT_EQ(v2["state"], "up");
    EXPECT_EQ(v2["flags"], 64);
    EXPECT_EQ(v2["replication_sources"], json::array({"src-a"}));
    EXPECT_FALSE(v2["replication_targets"].empty());
    EXPECT_TRUE(v2["physical_capacity"].is_null()) << "a payload the service does not keep";

    // Flags of an existing volume go through an update with only the flags switch.
    r = run_ok({"vol", "flags", "pool1", "vol1", "--set", "7"});
    EXPECT_EQ(r.out, "Volume vol1 flags set to 7\n");
    EXPECT_EQ(sent<DS::DiskVolume>("updateDiskVolume", "DSM::flags"), Strings{"7"});
    EXPECT_EQ(run_ok({"--json", "vol", "flags", "pool1", "vol1"}).json()["flags"], 7);
    run_ok({"vol", "flags", "pool1", "vol1", "--set", "9"});
    EXPECT_EQ(volume("vol1")["flags"], 9) << "a second change replaces the first";

    run_ok({"vol", "update", "pool1", "vol1", "--total", "1000", "--free", "400"});
    EXPECT_TRUE(sent<DS::DiskVolume>("updateDiskVolume", "DSM::flags").empty()) << "flags only when asked";
    json v1 = volume("vol1");
    EXPECT_EQ(v1["total_capacity"], 1000);
    EXPECT_EQ(v1["free_space"], 400);

    r = run_ok({"vol", "state", "pool1", "vol1", "down", "--reason", "maintenance"});
    EXPECT_EQ(r.out, "Volume vol1 is down\n");
    auto sent_state = [&] {
        CORBA::Long state = 0;
        DsmControl::AnySeq_var args = control()->lastArguments("updateDiskVolumeState");
        EXPECT_TRUE(args[3] >>= state);
        return state;
    };
    EXPECT_EQ(sent_state(), 3) << "down";
    EXPECT_EQ(sent<DS::DiskVolume>("updateDiskVolumeState", "DSM::AuditReason"), Strings{"maintenance"});
    run_ok({"vol", "state", "pool1", "vol1", "up", "--internal"});
    EXPECT_EQ(sent_state(), 4) << "internal up";
    EXPECT_EQ(sent<DS::DiskVolume>("updateDiskVolume", "DSM::committedSpace"), Strings{"0"})
        << "the internal state change resets the committed space first";

    r = run_ok({"vol", "replication", "pool1", "vol2"});
    EXPECT_NE(r.out.find("Replication sources:  src-a\n"), std::string::npos) << r.out;

    // A clone carries the source's replication and adds what is given.
    run_ok({"vol", "clone", "pool1", "vol2", "vol3", "--rep-target", "tgt-c"});
    const Strings targets = sent<DS::DiskVolume>("createDiskVolume", "DSM::ReplicationTargetSpec");
    EXPECT_EQ(targets.back(), "tgt-c");
    EXPECT_EQ(sent<DS::DiskVolume>("createDiskVolume", "DSM::ReplicationSourceSpec"), Strings{"src-a"});
    EXPECT_EQ(volume("vol3")["replication_sources"], json::array({"src-a"}));

    // The other ways to find a volume.
    const std::string media = v1["media_id"];
    json found = run_ok({"--json", "vol", "find", "--media-id", media}).json();
    EXPECT_EQ(found["name"], "vol1");
    EXPECT_EQ(found["pool"], "pool1");
    EXPECT_EQ(found["flags"], 9);
    const std::string id = v1["id"];
    EXPECT_EQ(run_ok({"--json", "vol", "find", "--server", "sts1", "--volume-id", id}).json()["name"], "vol1");
    EXPECT_EQ(run_ok({"--json", "vol", "find", "--server", "sts1", "--volume-id", id, "--legacy"}).json()["name"],
              "vol1");
    expect_exit(2, {"vol", "find", "--server", "sts1"});

    r = run_ok({"vol", "delete", "pool1", "vol1"});
    EXPECT_EQ(r.out, "Volume vol1 deleted from pool1\n");
    r = expect_exit(1, {"vol", "show", "pool1", "vol1"});
    EXPECT_NE(r.err.find("dsm_get_diskvolumeinfoEX failed with status 2050010"), std::string::npos) << r.err;
    r = expect_exit(1, {"vol", "list", "nopool"});
    EXPECT_NE(r.err.find("disk pool nopool not found"), std::string::npos) << r.err;
}

TEST_F(ToolVolumes, AuditRefusalOfADelete) {
    run_ok({"vol", "create", "pool1", "vol1"});
    control()->setAuditOutcome("deleteDiskVolume", 1, "108");
    ToolResult r = expect_exit(1, {"vol", "delete", "pool1", "vol1", "--reason", "no"});
    EXPECT_NE(r.err.find("status 2000053 DSM_E_AUDIT"), std::string::npos) << r.err;
    expect_exit(2, {"vol", "create", "pool1", "v", "--config", "x", "--flags", "1"});
    expect_exit(2, {"vol", "update", "pool1", "vol1"});
}

// A server added to a pool shows with its own type, though the tool names it
// with the pool's; what the service refuses is shown in its own words.
TEST_F(ToolVolumes, MembersKeepTheirTypeAndRefusalsShowTheServicesText) {
    run_ok({"vol", "create", "pool1", "vol1"});
    run_ok({"server", "create", "shared1", "--type", "SharedDisk"});
    run_ok({"pool", "add-server", "pool1", "shared1"});
    const json pool = show("pool1");
    ASSERT_EQ(pool["server_list"].size(), 2u);
    EXPECT_EQ(pool["server_list"][1]["server_type"], std::string("SharedDisk"));

    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"pool", "update", "pool1", "--high", "10", "--low", "20"}, "high water mark 10 is below low water mark 20"},
        {{"server", "create", "odd1", "--type", "NoSuchDisk"}, "unknown server type NoSuchDisk"},
        {{"vol", "update", "pool1", "vol1", "--total", "-5"}, "disk volume vol1: negative capacity -5"},
    };
    for (auto& [args, text] : refused) {
        ToolResult r = expect_exit(1, args);
        EXPECT_NE(r.err.find("(error reported by the disk service): " + text), std::string::npos) << r.err;
    }
}

// Sizes are taken with the units administrators type, shown in IEC units in
// tables (exact bytes with --bytes and in JSON), in columns aligned by
// display width.
TEST_F(ToolVolumes, SizesInUnitsAndColumnsInDisplayWidth) {
    run_ok({"vol", "create", "pool1", "vol1"});
    const std::pair<const char*, long long> sizes[] = {
        {"1K", 1024},          {"1KB", 1000},          {"2MiB", 2097152},        {"3g", 3221225472},
        {"1T", 1099511627776}, {"5TB", 5000000000000}, {"1P", 1125899906842624}, {"010", 10},
    };
    for (const auto& [typed, bytes] : sizes) {
        run_ok({"vol", "update", "pool1", "vol1", "--total", typed});
        EXPECT_EQ(volume("vol1")["total_capacity"], bytes) << typed;
    }
    run_ok({"vol", "update", "pool1", "vol1", "--total", "1T", "--free", "1536M"});
    const std::string wide = "caf\xC3\xA9-\xE5\x8D\xB7";  // "café-卷": 9 bytes, 7 columns
    run_ok({"pool", "create", wide, "--type", "AdvancedDisk", "--server", "sts1"});
    run_ok({"vol", "create", wide, "v"});
    run_ok({"vol", "update", wide, "v", "--total", "1023", "--free", "0"});
    EXPECT_EQ(run_ok({"pool", "list"}).out, expected("pool_list.txt"));
    EXPECT_EQ(run_ok({"pool", "list", "--bytes"}).out, expected("pool_list_bytes.txt"));
}
