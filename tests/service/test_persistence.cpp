// The bundled service with a database, through the library: what it acknowledged
// survives SIGKILL, and what it did not acknowledge does not.
#include "LogCapture.h"
#include "Orb.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>

using namespace dsmtest;

namespace {

struct TempDir {
    std::string path = mkdtemp(std::string("/tmp/dsmdb-XXXXXX").data());
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

class Persistence : public ::testing::Test {
protected:
    void SetUp() override {
        service_.use_database(dir_.file("dsm.db"));
        service_.start();
        config_.write(service_config(service_.address(), service_.port()));
        dsmlib_set_emmserver(service_.address().c_str());
    }

    DsmControl::Control_var control() { return service_.control(dsmlibp_get_orb(nullptr)->orb()); }

    int create_pool(const dsm_diskgroup_t& g) {
        dsm_disk_t disk{};
        dsm_diskgroupinfo_t out = empty_info();
        return dsm_create_diskgroup(&g, &server_, 1, &disk, 1, 1, &out, "persisted");
    }

    std::vector<std::string> pool_names() {
        dsm_diskgroupinfo_t pools[8] = {};
        int avail = -1;
        EXPECT_EQ(dsm_get_diskgroup_list(&server_, 0, 0, 0, 1, pools, 8, &avail), DSM_OK);
        std::vector<std::string> names;
        for (int i = 0; i < avail && i < 8; ++i) names.push_back(pools[i].diskgroup.name);
        return names;
    }

    // One line for each kind of object as the library reads it back.
    std::vector<std::string> snapshot() {
        std::vector<std::string> out;
        auto line = [&out](const auto&... parts) {
            std::ostringstream os;
            ((os << parts << '|'), ...);
            out.push_back(os.str());
        };
        dsm_diskgroupinfo_t pool = empty_info();
        EXPECT_EQ(dsm_get_diskgroupinfo(&pool_, 1, &pool), DSM_OK);
        line("pool", pool.diskgroup.name, pool.diskgroup.id, pool.kdu_state, pool.num_stservers);
        dsm_diskvolumeinfo_t vol{};
        int avail = -1;
        EXPECT_EQ(dsm_get_diskgroup_volumes(&pool, &vol, 1, &avail), DSM_OK);
        line("volume", avail, vol.name, vol.id, vol.kdu_state);
        dsm_mountpoint_t mount{};
        EXPECT_EQ(dsm_get_diskgroup_mountpoints(&pool, &mount, 1, &avail), DSM_OK);
        char dv[257] = "";
        dsm_mountpoint_dvname(&mount, dv, sizeof dv);
        line("mount", avail, mount.path, dv);
        dsm_removeref_mountpoint_list(&mount, std::min(avail, 1));
        dsm_removeref_diskgroupinfo(&pool);

        dsm_storageserverinfo_t server{};
        EXPECT_EQ(dsm_get_storageserverinfo(&server_, 1, &server), DSM_OK);
        line("server", server.stserver.name, server.stserver.id);
        dsm_removeref_storageserver(&server);
        dsm_configitem_t item{};
        EXPECT_EQ(dsm_get_storageserver_configitems(&server_, 1, &item, 1, &avail), DSM_OK);
        line("config", avail, item.name, item.value);
        dsm_enclosureinfo_t encl{};
        EXPECT_EQ(dsm_get_enclosureinfo_list(&server_, 1, &encl, 1, &avail), DSM_OK);
        line("enclosure", avail, encl.enclosure.name, encl.serial_number);
        dsm_removeref_enclosureinfo_list(&encl, std::min(avail, 1));
        char old[64] = "";
        EXPECT_EQ(dsm_set_global_attribute("RetentionLevel", "", old, sizeof old), DSM_OK);
        line("attribute", old);
        return out;
    }

    TempDir dir_;
    ServiceProcess service_;
    ConfigFile config_;
    dsm_storageserver_t server_ = server_record("sts1");
    dsm_diskgroup_t pool_ = pool_record("pool1");
};

}  // namespace

TEST_F(Persistence, EveryKindOfAcknowledgedObjectSurvivesAKill) {
    ASSERT_EQ(dsm_create_storageserver(&server_, 1, "new server"), DSM_OK);
    dsm_configitem_t item{};
    set(item.name, "Threads");
    set(item.value, "8");
    ASSERT_EQ(dsm_update_storageserver_configitems(&server_, 1, &item, 1, "tuning"), DSM_OK);

    // A pool set down with a volume, a pool deleted again, a mount point, an
    // enclosure and an attribute.
    ASSERT_EQ(create_pool(pool_), DSM_OK);
    dsm_diskgroupinfo_t scratch = empty_info();
    ASSERT_EQ(dsm_update_diskgroup_state(&pool_, DSM_DG_STATE_DOWN, 1, &scratch, nullptr), DSM_OK);
    const dsm_diskvolume_t vol = volume_record("vol1", pool_);
    dsm_disk_t disk{};
    dsm_diskvolumeinfo_t vol_scratch{};
    ASSERT_EQ(dsm_create_diskvolume(&vol, &disk, 1, 1, &vol_scratch), DSM_OK);
    const dsm_diskgroup_t gone = pool_record("gone");
    ASSERT_EQ(create_pool(gone), DSM_OK);
    ASSERT_EQ(dsm_delete_diskgroup(&gone, 1, &scratch, "not needed"), DSM_OK);
    DS::MountPoint_var m = new OBV_DS::MountPoint;
    m->path("/mnt/vol1");
    add_property(m->properties(), "DSM::diskGroupName", "pool1");
    add_property(m->properties(), "DSM::diskVolumeName", "vol1");
    seed(control(), m.in());
    DS::EnclosureInfo_var e = enclosure_value("array1", 3, 4096, {{"Enclosure Serial Number", "SN1"}});
    seed(control(), e.in());
    char old[64];
    ASSERT_EQ(dsm_set_global_attribute("RetentionLevel", "7", old, sizeof old), DSM_OK);

    // Every object is there before the kill, with what was changed.
    const std::vector<std::string> before = snapshot();
    ASSERT_EQ(before.size(), 7u);
    EXPECT_EQ(before[0].rfind("pool|pool1|dg-", 0), 0u) << before[0];
    EXPECT_NE(before[0].find("|2|1|"), std::string::npos) << "down, one server: " << before[0];
    for (size_t i : {1, 2, 4, 5}) EXPECT_NE(before[i].find("|1|"), std::string::npos) << "one listed: " << before[i];
    EXPECT_EQ(before[6], "attribute|7|");

    service_.kill();  // as a crash would
    service_.restart();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(pool_names(), std::vector<std::string>{"pool1"}) << "the delete survived too";

    // New objects after the restart get ids of their own.
    const dsm_diskgroup_t later = pool_record("later");
    ASSERT_EQ(create_pool(later), DSM_OK);
    dsm_diskgroupinfo_t info = empty_info();
    ASSERT_EQ(dsm_get_diskgroupinfo(&later, 1, &info), DSM_OK);
    EXPECT_EQ(before[0].find(std::string("|") + info.diskgroup.id + "|"), std::string::npos) << info.diskgroup.id;
    dsm_removeref_diskgroupinfo(&info);
}

TEST_F(Persistence, ChangesInFlightOrNotCommittedAreNotAcknowledged) {
    ASSERT_EQ(dsm_create_storageserver(&server_, 1, nullptr), DSM_OK);
    control()->delayReply("createDiskGroup", 1, 10000);
    std::thread killer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        service_.kill();
    });
    const auto t0 = std::chrono::steady_clock::now();
    const int status = create_pool(pool_);
    const auto waited = std::chrono::steady_clock::now() - t0;
    killer.join();
    EXPECT_TRUE(status == DSM_E_CORBA || status == DSM_E_NO_CONNECTION) << status;
    EXPECT_LT(waited, std::chrono::milliseconds(2500)) << "the kill ended the call, not the call bound";
    service_.restart();
    EXPECT_TRUE(pool_names().empty()) << "the change was never acknowledged";

    // Another process holds the database's write lock longer than the service waits.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(service_.database().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    LogCapture capture;
    EXPECT_EQ(create_pool(pool_), DSM_E_CORBA);
    EXPECT_EQ(capture.containing("CORBA exception: PERSIST_STORE").size(), 1u) << capture.dump();
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(pool_names().empty()) << "the refused change was undone in the service too";
    EXPECT_EQ(create_pool(pool_), DSM_OK) << "and can be made again";
    service_.kill();
    service_.restart();
    EXPECT_EQ(pool_names(), std::vector<std::string>{"pool1"});
}

TEST(PersistenceStart, UnusableDatabaseStopsTheServiceWithItsReason) {
    TempDir dir;
    std::ofstream(dir.file("garbage.db")) << std::string(4096, 'Z');
    // A database of another layout, and one of this layout whose pool row is not a pool.
    const std::pair<const char*, const char*> made[] = {
        {"other.db", "PRAGMA user_version=7"},
        {"torn.db", "CREATE TABLE pools (name TEXT PRIMARY KEY, data BLOB NOT NULL);"
                    "INSERT INTO pools VALUES ('p1', x'0102030405');"}};
    for (const auto& [file, sql] : made) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir.file(file).c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    const std::pair<std::string, std::string> cases[] = {
        {dir.file("garbage.db"), "file is not a database"},
        {dir.file("other.db"), "has layout 7, this service writes 1"},
        {dir.file("torn.db"), "the row 'p1' cannot be read"},
        {dir.file("missing/dsm.db"), "unable to open database file"},
    };
    for (const auto& [db, reason] : cases) {
        const std::string cmd = "timeout 20 " + std::string(DSM_SERVICE_EXE) + " --port 0 --db '" + db + "' 2>&1";
        FILE* p = popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string output;
        char buf[256];
        while (size_t n = std::fread(buf, 1, sizeof buf, p)) output.append(buf, n);
        const int status = pclose(p);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << db << ": " << output;
        EXPECT_NE(output.find("dsmservice: database " + db), std::string::npos) << output;
        EXPECT_NE(output.find(reason), std::string::npos) << output;
    }
}
