// dsmtool's smaller families against the bundled service: mount points,
// LSU lists, server types, global attributes and the fast backup checks.
#include "ToolFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

using namespace dsmtest;
using nlohmann::json;

namespace {

class ToolCatalog : public ToolTest {};

DS::MountPoint* mount(const std::string& path, const Props& props) {
    auto* m = new OBV_DS::MountPoint;
    m->path(path.c_str());
    add_property(m->properties(), "DSM::diskGroupName", "pool1");
    for (auto& p : props) add_property(m->properties(), p.first.c_str(), p.second);
    return m;
}

// A pool behind a storage unit label, reached through one server.
void seed_labelled(DsmControl::Control_ptr control, const std::string& name, const std::string& server,
                   const std::vector<std::string>& volumes) {
    DS::DiskGroupInfo_var pool = pool_value(name, {{"DSM::storageUnitLabel", "label1"}});
    pool->hosts().length(1);
    auto* host = new OBV_DS::StorageServer;
    host->name(server.c_str());
    pool->hosts()[0] = host;
    pool->volumes().length(static_cast<CORBA::ULong>(volumes.size()));
    for (size_t i = 0; i < volumes.size(); ++i) {
        auto* v = new OBV_DS::DiskVolume;
        v->name(volumes[i].c_str());
        pool->volumes()[static_cast<CORBA::ULong>(i)] = v;
    }
    seed(control, pool.in());
}

// A catalog directory of the test's own and the configuration naming it.
class Catalog {
public:
    Catalog() {
        char templ[] = "/tmp/dsmtool-catalog-XXXXXX";
        if (!mkdtemp(templ)) throw std::runtime_error("mkdtemp failed");
        dir_ = templ;
        ServiceProcess& s = ServiceEnvironment::get().service();
        ServiceEnvironment::get().config().write(service_config(s.address(), s.port()) + "CATALOG_DIR = " + dir_ +
                                                 "\nDEVICE_MAPPINGS_FILE = " + dir_ + "/maps\n");
    }
    ~Catalog() {
        ServiceProcess& s = ServiceEnvironment::get().service();
        ServiceEnvironment::get().config().write(service_config(s.address(), s.port()));
        for (const char* f : {"stunits", "maps"}) std::remove((dir_ + "/" + f).c_str());
        rmdir(dir_.c_str());
    }
    void write(const char* file, const std::string& text) { std::ofstream(dir_ + "/" + file) << text; }

private:
    std::string dir_;
};

}  // namespace

TEST_F(ToolCatalog, MountPointsOfAPool) {
    DS::DiskGroupInfo_var pool = pool_value("pool1");
    seed(control(), pool.in());
    for (DS::MountPoint* m : {mount("/mnt/a", {{"DSM::storageServer", "host1"},
                                               {"DSM::state", "2"},
                                               {"DSM::diskVolumeName", "vol-a"},
                                               {"DSM::flags", "9"}}),
                              mount("/mnt/b", {{"DSM::storageServer", "host2"}, {"DSM::state", "1"}})}) {
        DS::MountPoint_var owned = m;
        CORBA::Any a;
        a <<= owned.in();  // copies
        control()->seed(a);
    }
    json mounts = run_ok({"--json", "mount", "list", "pool1"}).json();
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0]["path"], "/mnt/a");
    EXPECT_EQ(mounts[0]["machine"], "host1");
    EXPECT_EQ(mounts[0]["state"], 2);
    EXPECT_EQ(mounts[0]["volume"], "vol-a");
    EXPECT_EQ(mounts[0]["flags"], 9);
    EXPECT_EQ(mounts[1]["machine"], "host2");
    EXPECT_TRUE(mounts[1]["volume"].is_null());
    EXPECT_TRUE(mounts[1]["flags"].is_null());
    ToolResult r = run_ok({"mount", "list", "pool1"});
    EXPECT_NE(r.out.find(" /mnt/b   host2     1       -        -\n"), std::string::npos) << r.out;
    expect_exit(1, {"mount", "list", "nopool"});
}

TEST_F(ToolCatalog, LsuListInServiceOrderOrSorted) {
    seed_labelled(control(), "pa", "sts-b", {"lsu1", "lsu2"});
    seed_labelled(control(), "pb", "sts-a", {"lsu3"});
    json lsus = run_ok({"--json", "lsu", "list", "label1"}).json();
    ASSERT_EQ(lsus.size(), 3u);
    EXPECT_EQ(lsus[0]["lsu"], "lsu1");
    EXPECT_EQ(lsus[0]["server"], "sts-b");
    EXPECT_EQ(lsus[2]["pool"], "pb");
    lsus = run_ok({"--json", "lsu", "list", "label1", "--sort"}).json();
    ASSERT_EQ(lsus.size(), 3u);
    EXPECT_EQ(lsus[0]["lsu"], "lsu3") << "sts-a sorts first";
    EXPECT_TRUE(run_ok({"--json", "lsu", "list", "nolabel"}).json().empty());
    EXPECT_EQ(run_ok({"--json", "pool", "list", "--label", "label1"}).json().size(), 2u);
    DsmControl::AnySeq_var args = control()->lastArguments("getDiskGroupInfoListByStorageUnitLabel");
    const char* label = nullptr;
    ASSERT_TRUE(args[1] >>= label);
    EXPECT_STREQ(label, "label1");
}

TEST_F(ToolCatalog, ServerTypesRoundTripWithoutTheService) {
    const CORBA::ULong calls = DsmControl::StringSeq_var(control()->callLog())->length();
    EXPECT_EQ(run_ok({"servertype", "subtype", "NearStore"}).out, "2\n");
    EXPECT_EQ(run_ok({"servertype", "name", "2"}).out, "NearStore\n");
    json j = run_ok({"--json", "servertype", "name", "6"}).json();
    EXPECT_EQ(j["server_type"], "DiskPool") << "subtype 6 is every pool type";
    EXPECT_EQ(run_ok({"--json", "servertype", "subtype", "SANDisk"}).json()["subtype"], 6);
    ToolResult r;
    r = expect_exit(1, {"servertype", "subtype", "NoSuchType"});
    EXPECT_NE(r.err.find("dsm_get_disk_subtype failed with status 2050200 DSM_E_INVALID_ARG"), std::string::npos)
        << r.err;
    expect_exit(2, {"servertype", "name", "many"});
    EXPECT_EQ(DsmControl::StringSeq_var(control()->callLog())->length(), calls) << "answered by the library alone";
}

TEST_F(ToolCatalog, GlobalAttributes) {
    ToolResult r = run_ok({"attribute", "set", "color", "blue"});
    EXPECT_EQ(r.out, "color set to blue (was not set)\n");
    r = run_ok({"attribute", "set", "color", "green"});
    EXPECT_EQ(r.out, "color set to green (was blue)\n");
    EXPECT_EQ(run_ok({"attribute", "get", "color"}).out, "green\n");
    EXPECT_EQ(run_ok({"--json", "attribute", "get", "color"}).json()["value"], "green");

    // The value printed is the one read back: a change the service does not
    // hold is reported, not confirmed.
    CORBA::Any previous;
    previous <<= "green";
    control()->scriptReply("setGlobalAttribute", 1, previous);
    r = expect_exit(1, {"attribute", "set", "color", "red"});
    EXPECT_EQ(r.err, "dsmtool: attribute set: the service holds attribute color green, not red\n");
    EXPECT_EQ(run_ok({"attribute", "get", "color"}).out, "green\n");
}

TEST_F(ToolCatalog, FastBackupChecks) {
    Catalog catalog;
    catalog.write("maps", "ELP AdvancedDisk rapidor\nELP BasicDisk\n");
    catalog.write("stunits",
                  "name=stu_fast type=6 sub_media_type=6 disk_pool=dp_fast\n"
                  "name=stu_slow type=6 sub_media_type=6 disk_pool=dp_slow\n");
    for (auto& [name, flags] : {std::make_pair("dp_fast", "1048579"), std::make_pair("dp_slow", "3")}) {
        DS::DiskGroupInfo_var v = pool_value(name, {{"DSM::flags", flags}});
        seed(control(), v.in());
    }
    ToolResult r = run_ok({"fastbackup", "residence", "stu_fast"});
    EXPECT_EQ(r.out, "stu_fast supports fast backups\n");
    r = expect_exit(4, {"--json", "fastbackup", "residence", "stu_slow"});
    EXPECT_EQ(r.json()["fast_backup"], false);
    r = expect_exit(4, {"fastbackup", "unit", "stu_slow"});
    EXPECT_EQ(r.out, "stu_slow does not support fast backups\n");
    // -v gives the checks' reasons, from the host log.
    r = expect_exit(4, {"-v", "fastbackup", "residence", "stu_slow"});
    EXPECT_NE(r.err.find("dsmtool: [storage_unit_support_fast_backup] the STU stu_slow does not support rapidor\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(run_tool({"fastbackup", "unit", "stu_slow"}).err, "") << "only with -v";
    // A name that is no destination at all is told apart from one that says no.
    const std::pair<std::vector<std::string>, std::string> missing[] = {
        {{"fastbackup", "unit", "elsewhere"}, "unit: elsewhere is no storage unit"},
        {{"fastbackup", "group", "nogroup"}, "group: nogroup is no storage group"},
        {{"fastbackup", "residence", "nowhere"}, "residence: nowhere is no SLP, storage group or storage unit"},
    };
    for (const auto& [args, text] : missing) EXPECT_EQ(expect_exit(1, args).err, "dsmtool: fastbackup " + text + "\n");

    run_ok({"server", "create", "fast1", "--type", "AdvancedDisk"});
    run_ok({"server", "create", "plain1", "--type", "BasicDisk"});
    // A state the library does not know (neither up nor down) is left out.
    DS::StorageServerInfo_var odd = new OBV_DS::StorageServerInfo;
    auto* host = new OBV_DS::StorageServer;
    host->name("fast2");
    host->servertype("AdvancedDisk");
    add_property(host->properties(), "DSM::state", "3");
    odd->host(adopt(host));
    odd->name("fast2");
    CORBA::Any a;
    a <<= odd.in();
    control()->seed(a);
    json servers = run_ok({"--json", "fastbackup", "servers"}).json();
    ASSERT_EQ(servers.size(), 1u) << servers.dump();
    EXPECT_EQ(servers[0]["name"], "fast1");

    control()->failWithSystemException("getStorageServerInfoList", 1, DsmControl::SYS_TRANSIENT);
    r = expect_exit(1, {"fastbackup", "servers"});
    EXPECT_NE(r.err.find("query_storage_server_support_fast_backup failed with status 2050301"), std::string::npos)
        << r.err;
}
