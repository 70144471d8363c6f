// dsmtool's smaller families against the bundled service: mount points,
// LSU lists, server types, global attributes and the fast backup checks.
#include "ToolRun.h"

#include <filesystem>

using namespace dsmtest;
using ToolCatalog = ToolTest;

TEST_F(ToolCatalog, MountPointsOfAPool) {
    seed_value(DS::DiskGroupInfo_var(pool_value("pool1")).in());
    const std::pair<const char*, Props> seeded[] = {
        {"/mnt/a",
         {{"DSM::storageServer", "host1"}, {"DSM::state", "2"}, {"DSM::diskVolumeName", "vol-a"}, {"DSM::flags", "9"}}},
        {"/mnt/b", {{"DSM::storageServer", "host2"}, {"DSM::state", "1"}}},
    };
    for (auto& [path, props] : seeded) {
        DS::MountPoint_var m = new OBV_DS::MountPoint;
        m->path(path);
        add_property(m->properties(), "DSM::diskGroupName", "pool1");
        for (auto& p : props) add_property(m->properties(), p.first.c_str(), p.second);
        seed_value(m.in());
    }
    expect_whole(transcript({"--json mount list pool1", "mount list pool1", "mount list nopool"}), "mounts.txt");
}

TEST_F(ToolCatalog, LsuListInServiceOrderOrSorted) {
    // Pools behind a storage unit label, each reached through one server.
    for (auto& [name, server, volumes] : {std::make_tuple("pa", "sts-b", Args{"lsu1", "lsu2"}),
                                          std::make_tuple("pb", "sts-a", Args{"lsu3"})}) {
        DS::DiskGroupInfo_var pool = pool_value(name, {{"DSM::storageUnitLabel", "label1"}});
        pool->hosts().length(1);
        pool->hosts()[0] = new OBV_DS::StorageServer;
        pool->hosts()[0]->name(server);
        pool->volumes().length(static_cast<CORBA::ULong>(volumes.size()));
        for (CORBA::ULong i = 0; i < volumes.size(); ++i) {
            pool->volumes()[i] = new OBV_DS::DiskVolume;
            pool->volumes()[i]->name(volumes[i].c_str());
        }
        seed_value(pool.in());
    }
    expect_whole(transcript({"--json lsu list label1", "--json lsu list label1 --sort", "--json lsu list nolabel",
                             "pool list --brief --label label1"}),
                 "lsus.txt");
    DsmControl::AnySeq_var args = control()->lastArguments("getDiskGroupInfoListByStorageUnitLabel");
    const char* label = nullptr;
    ASSERT_TRUE(args[1] >>= label);
    EXPECT_STREQ(label, "label1");
}

// Server types are answered by the library alone; the value an attribute
// set prints is the one read back: a change the service does not hold is
// reported, not confirmed.
TEST_F(ToolCatalog, ServerTypesWithoutTheServiceAndGlobalAttributes) {
    const CORBA::ULong before = calls();
    std::string t = transcript({"servertype subtype NearStore", "servertype name 2", "--json servertype name 6",
                                "--json servertype subtype SANDisk", "servertype subtype NoSuchType",
                                "servertype name many"});
    EXPECT_EQ(calls(), before);
    t += transcript({"attribute set color blue", "attribute set color green", "attribute get color",
                     "--json attribute get color"});
    CORBA::Any previous;
    previous <<= "green";
    control()->scriptReply("setGlobalAttribute", 1, previous);
    t += transcript({"attribute set color red", "attribute get color"});
    expect_whole(t, "types_and_attributes.txt");
}

TEST_F(ToolCatalog, FastBackupChecks) {
    const std::string dir = ::testing::TempDir() + "dsmtool-catalog-" + std::to_string(getpid());
    std::filesystem::create_directory(dir);
    configure(service().address(), service().port(),
              "CATALOG_DIR = " + dir + "\nDEVICE_MAPPINGS_FILE = " + dir + "/maps\n");
    std::ofstream(dir + "/maps") << "ELP AdvancedDisk rapidor\nELP BasicDisk\n";
    std::ofstream(dir + "/stunits") << "name=stu_fast type=6 sub_media_type=6 disk_pool=dp_fast\n"
                                       "name=stu_slow type=6 sub_media_type=6 disk_pool=dp_slow\n";
    for (auto [name, flags] : {std::make_pair("dp_fast", "1048579"), std::make_pair("dp_slow", "3")})
        seed_value(DS::DiskGroupInfo_var(pool_value(name, {{"DSM::flags", flags}})).in());
    // -v gives the checks' reasons, from the host log; a name that is no
    // destination at all is told apart from one that says no; a server in a
    // state the library does not know (neither up nor down) is left out.
    run_ok("server create fast1 --type AdvancedDisk");
    run_ok("server create plain1 --type BasicDisk");
    seed_server("fast2", "AdvancedDisk", {{"DSM::state", "3"}});
    std::string t = transcript({"fastbackup residence stu_fast", "--json fastbackup residence stu_slow",
                                "fastbackup unit stu_slow", "fastbackup unit elsewhere", "fastbackup group nogroup",
                                "fastbackup residence nowhere", "--json fastbackup servers"});
    EXPECT_TRUE(has(expect_exit(4, "-v fastbackup residence stu_slow").err,
                    "dsmtool: [storage_unit_support_fast_backup] the STU stu_slow does not support rapidor\n"));
    control()->failWithSystemException("getStorageServerInfoList", 1, DsmControl::SYS_TRANSIENT);
    t += transcript({"fastbackup servers"});
    expect_whole(t, "fastbackup.txt");
    std::filesystem::remove_all(dir);
}
