// The bundled service with a database, through the library: every object it
// acknowledged survives SIGKILL with its fields, a call in flight during the
// kill ends in a status, a change it cannot commit is not acknowledged, and a
// database it cannot use stops it from starting.
#include "LogCapture.h"
#include "Orb.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace dsmtest;

namespace {

using Clock = std::chrono::steady_clock;

// A directory of the test's own for database files, removed at the end.
class TempDir {
public:
    TempDir() {
        char templ[] = "/tmp/dsmdb-XXXXXX";
        if (!mkdtemp(templ)) throw std::runtime_error("mkdtemp failed");
        path_ = templ;
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void exec_sql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

template <class Rec>
Rec zeroed() {
    Rec r;
    std::memset(&r, 0, sizeof r);
    return r;
}

std::string text_of(const char* field) { return std::string(field); }

class Persistence : public ::testing::Test {
protected:
    void SetUp() override {
        service_.use_database(dir_.file("dsm.db"));
        service_.start();
        config_.write(service_config(service_.address(), service_.port()));
        dsmlib_set_emmserver(service_.address().c_str());
        server_ = server_record("sts1");
        pool_ = pool_record("pool1");
    }

    // SIGKILL, as a crash would, then a start on the same port and database.
    void crash_and_restart() {
        service_.kill();
        const auto t0 = Clock::now();
        service_.start(service_.port());
        RecordProperty("restart_ms", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                          Clock::now() - t0).count()));
    }

    DsmControl::Control_var control() { return service_.control(dsmlibp_get_orb(nullptr)->orb()); }

    int create_pool(const dsm_diskgroup_t& g) {
        dsm_disk_t disk = zeroed<dsm_disk_t>();
        set(disk.name, "disk-" + std::string(g.name));
        dsm_diskgroupinfo_t out = empty_info();
        return dsm_create_diskgroup(&g, &server_, 1, &disk, 1, 1, &out, "persisted");
    }

    int create_volume(const std::string& name) {
        dsm_diskvolume_t v = zeroed<dsm_diskvolume_t>();
        set(v.name, name);
        v.diskgroup = pool_;
        dsm_disk_t disk = zeroed<dsm_disk_t>();
        set(disk.volume_config, "layout=" + name);
        dsm_diskvolumeinfo_t out = zeroed<dsm_diskvolumeinfo_t>();
        return dsm_create_diskvolume(&v, &disk, 1, 1, &out);
    }

    std::vector<std::string> pool_names() {
        dsm_diskgroupinfo_t pools[8];
        std::memset(pools, 0, sizeof pools);
        int avail = -1;
        EXPECT_EQ(dsm_get_diskgroup_list(&server_, 0, 0, 0, 1, pools, 8, &avail), DSM_OK);
        std::vector<std::string> names;
        for (int i = 0; i < avail && i < 8; ++i) names.push_back(pools[i].diskgroup.name);
        return names;
    }

    // What the library reads of every kind of object, one line each.
    std::vector<std::string> snapshot();

    TempDir dir_;
    ServiceProcess service_;
    ConfigFile config_;
    dsm_storageserver_t server_;
    dsm_diskgroup_t pool_;
};

std::vector<std::string> Persistence::snapshot() {
    std::vector<std::string> out;
    auto line = [&out](const auto&... parts) {
        std::ostringstream os;
        ((os << parts << '|'), ...);
        out.push_back(os.str());
    };

    dsm_diskgroupinfo_t pool = empty_info();
    EXPECT_EQ(dsm_get_diskgroupinfo(&pool_, 1, &pool), DSM_OK);
    int64_t pool_flags = -1;
    dsm_diskgroup_flags(&pool, &pool_flags);
    line("pool", text_of(pool.diskgroup.name), text_of(pool.diskgroup.id), text_of(pool.diskgroup.server_type),
         text_of(pool.diskgroup.master_server), pool.kdu_state, pool.availability, pool.num_diskvolumes,
         pool.num_disks, pool.num_stservers, pool_flags);

    dsm_diskvolumeinfo_t vols[4];
    std::memset(vols, 0, sizeof vols);
    int avail = -1;
    EXPECT_EQ(dsm_get_diskgroup_volumes(&pool, vols, 4, &avail), DSM_OK);
    for (int i = 0; i < avail && i < 4; ++i)
        line("volume", text_of(vols[i].name), text_of(vols[i].id), text_of(vols[i].disk_media_id), vols[i].kdu_state,
             text_of(vols[i].system_tag));

    dsm_mountpoint_t mounts[4];
    std::memset(mounts, 0, sizeof mounts);
    EXPECT_EQ(dsm_get_diskgroup_mountpoints(&pool, mounts, 4, &avail), DSM_OK);
    for (int i = 0; i < avail && i < 4; ++i) {
        char dv[257] = "";
        dsm_mountpoint_dvname(&mounts[i], dv, sizeof dv);
        line("mount", text_of(mounts[i].path), text_of(mounts[i].machine_name), mounts[i].state, text_of(dv));
    }
    dsm_removeref_mountpoint_list(mounts, std::min(avail, 4));
    dsm_removeref_diskgroupinfo(&pool);

    dsm_storageserverinfo_t server = zeroed<dsm_storageserverinfo_t>();
    EXPECT_EQ(dsm_get_storageserverinfo(&server_, 1, &server), DSM_OK);
    uint64_t flags = 0, flagsext = 0;
    uint32_t state = 0;
    dsm_storageserver_flags(&server, &flags);
    dsm_storageserver_flagsext(&server, &flagsext);
    dsm_storageserver_state(&server, &state);
    line("server", text_of(server.stserver.name), text_of(server.stserver.id), text_of(server.stserver.server_type),
         flags, flagsext, state);
    dsm_removeref_storageserver(&server);

    dsm_configitem_t items[4];
    std::memset(items, 0, sizeof items);
    EXPECT_EQ(dsm_get_storageserver_configitems(&server_, 1, items, 4, &avail), DSM_OK);
    for (int i = 0; i < avail && i < 4; ++i)
        line("config", text_of(items[i].name), text_of(items[i].value), items[i].data_type,
             text_of(items[i].description), items[i].fixed);

    dsm_enclosureinfo_t encl[2];
    std::memset(encl, 0, sizeof encl);
    EXPECT_EQ(dsm_get_enclosureinfo_list(&server_, 1, encl, 2, &avail), DSM_OK);
    for (int i = 0; i < avail && i < 2; ++i)
        line("enclosure", text_of(encl[i].enclosure.name), text_of(encl[i].serial_number), encl[i].storage_capacity,
             encl[i].num_disks);
    dsm_removeref_enclosureinfo_list(encl, std::min(avail, 2));

    char old[64] = "";
    EXPECT_EQ(dsm_set_global_attribute("RetentionLevel", "", old, sizeof old), DSM_OK);
    line("attribute", text_of(old));
    return out;
}

// Runs the service on 'db' expecting it to refuse: its exit status and what
// it printed.
std::pair<int, std::string> refused_start(const std::string& db) {
    const std::string cmd = "timeout 20 " + std::string(DSM_SERVICE_EXE) + " --port 0 --db '" + db + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return {-1, "popen failed"};
    std::string output;
    char buf[256];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) output.append(buf, n);
    const int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

}  // namespace

TEST_F(Persistence, EveryAcknowledgedObjectSurvivesAKillWithItsFields) {
    // A storage server with configuration items, flags and state.
    ASSERT_EQ(dsm_create_storageserver(&server_, 1, "new server"), DSM_OK);
    dsm_configitem_t items[2] = {zeroed<dsm_configitem_t>(), zeroed<dsm_configitem_t>()};
    set(items[0].name, "Threads");
    set(items[0].value, "8");
    items[0].data_type = DSM_CONFIG_TYPE_2;
    set(items[0].description, "worker threads");
    set(items[1].name, "Path");
    set(items[1].value, "/data");
    items[1].data_type = DSM_CONFIG_TYPE_1;
    ASSERT_EQ(dsm_update_storageserver_configitems(&server_, 1, items, 2, "tuning"), DSM_OK);
    ASSERT_EQ(dsm_update_storageserver_flags(&server_, 0x21, 1, nullptr, nullptr), DSM_OK);
    ASSERT_EQ(dsm_update_storageserver_flagsext(&server_, 0xF0F0F0F0F0ull, 1, nullptr, nullptr), DSM_OK);
    ASSERT_EQ(dsm_update_storageserver_state(&server_, 2, 1, nullptr, nullptr), DSM_OK);

    // A pool with flags and state, two volumes (one with a state), a pool
    // that is deleted again, a mount point and an enclosure, an attribute.
    ASSERT_EQ(create_pool(pool_), DSM_OK);
    ASSERT_EQ(dsm_update_diskgroup_flags(&pool_, 0x7, 1, nullptr, nullptr), DSM_OK);
    dsm_diskgroupinfo_t scratch = empty_info();
    ASSERT_EQ(dsm_update_diskgroup_state(&pool_, DSM_DG_STATE_DOWN, 1, &scratch, nullptr), DSM_OK);
    ASSERT_EQ(create_volume("vol1"), DSM_OK);
    ASSERT_EQ(create_volume("vol2"), DSM_OK);
    dsm_diskvolume_t vol2 = zeroed<dsm_diskvolume_t>();
    set(vol2.name, "vol2");
    vol2.diskgroup = pool_;
    dsm_diskvolumeinfo_t vol_scratch = zeroed<dsm_diskvolumeinfo_t>();
    ASSERT_EQ(dsm_update_diskvolume_state(&vol2, DSM_DV_STATE_DOWN, 1, &vol_scratch, nullptr), DSM_OK);
    dsm_removeref_diskvolumeinfo(&vol_scratch);
    dsm_diskgroup_t gone = pool_record("gone");
    ASSERT_EQ(create_pool(gone), DSM_OK);
    ASSERT_EQ(dsm_delete_diskgroup(&gone, 1, &scratch, "not needed"), DSM_OK);
    {
        DS::MountPoint_var m = new OBV_DS::MountPoint;
        m->path("/mnt/vol1");
        add_property(m->properties(), "DSM::diskGroupName", "pool1");
        add_property(m->properties(), "DSM::diskVolumeName", "vol1");
        CORBA::Any a;
        a <<= m.in();
        control()->seed(a);
        DS::EnclosureInfo_var e = new OBV_DS::EnclosureInfo;
        e->name("array1");
        e->capacity(4096);
        add_property(e->properties(), "Enclosure Serial Number", "SN1");
        e->hosts().length(1);
        e->hosts()[0] = new OBV_DS::StorageServer;
        e->hosts()[0]->name("sts1");
        e->disks().length(3);
        for (CORBA::ULong d = 0; d < 3; ++d) {
            e->disks()[d] = new OBV_DS::Disk;
            e->disks()[d]->used(false);  // the generated value leaves it unset
        }
        CORBA::Any b;
        b <<= e.in();
        control()->seed(b);
    }
    char old[64];
    ASSERT_EQ(dsm_set_global_attribute("RetentionLevel", "7", old, sizeof old), DSM_OK);

    const std::vector<std::string> before = snapshot();
    ASSERT_EQ(before.size(), 9u);
    EXPECT_EQ(before[0].rfind("pool|pool1|dg-", 0), 0u) << before[0];
    EXPECT_NE(before[0].find("|AdvancedDisk|127.0.0.1|2|1|2|0|1|7|"), std::string::npos)
        << "down, not imported, two volumes, one server, flags: " << before[0];
    EXPECT_EQ(before[2].rfind("volume|vol2|dv-", 0), 0u) << before[2];
    EXPECT_EQ(before[3], "mount|/mnt/vol1||0|vol1|");
    EXPECT_NE(before[4].find("|33|1034834473200|2|"), std::string::npos) << before[4];
    EXPECT_EQ(before[5], "config|Threads|8|2||0|");
    EXPECT_EQ(before[6], "config|Path|/data|1||0|");
    EXPECT_EQ(before[7], "enclosure|array1|SN1|4096|3|");
    EXPECT_EQ(before[8], "attribute|7|");
    EXPECT_EQ(pool_names(), std::vector<std::string>{"pool1"});

    crash_and_restart();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(pool_names(), std::vector<std::string>{"pool1"}) << "the delete survived too";

    // New objects after the restart get ids of their own.
    dsm_diskgroup_t later = pool_record("later");
    ASSERT_EQ(create_pool(later), DSM_OK);
    dsm_diskgroupinfo_t a = empty_info(), b = empty_info();
    ASSERT_EQ(dsm_get_diskgroupinfo(&pool_, 1, &a), DSM_OK);
    ASSERT_EQ(dsm_get_diskgroupinfo(&later, 1, &b), DSM_OK);
    EXPECT_STRNE(a.diskgroup.id, b.diskgroup.id);
    dsm_removeref_diskgroupinfo(&a);
    dsm_removeref_diskgroupinfo(&b);

    // A reset empties the database as well.
    control()->reset();
    crash_and_restart();
    EXPECT_TRUE(pool_names().empty());
    dsm_storageserverinfo_t info = zeroed<dsm_storageserverinfo_t>();
    EXPECT_EQ(dsm_get_storageserverinfo(&server_, 1, &info), 2050010);
}

TEST_F(Persistence, CallInFlightDuringTheKillEndsInAStatusAndLeavesNothing) {
    ASSERT_EQ(dsm_create_storageserver(&server_, 1, nullptr), DSM_OK);
    control()->delayReply("createDiskGroup", 1, 10000);
    std::thread killer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        service_.kill();
    });
    const auto t0 = Clock::now();
    const int status = create_pool(pool_);
    const auto waited = Clock::now() - t0;
    killer.join();
    EXPECT_TRUE(status == DSM_E_CORBA || status == DSM_E_NO_CONNECTION) << status;
    EXPECT_LT(waited, std::chrono::milliseconds(2500)) << "the kill ended the call, not the call bound";

    EXPECT_EQ(dsmlib_ping(), DSM_E_NO_CONNECTION) << "nothing answers while the service is down";
    service_.start(service_.port());
    EXPECT_TRUE(pool_names().empty()) << "the change was never acknowledged";
    EXPECT_EQ(create_pool(pool_), DSM_OK);
}

TEST_F(Persistence, ChangeThatCannotBeCommittedIsNotAcknowledged) {
    ASSERT_EQ(dsm_create_storageserver(&server_, 1, nullptr), DSM_OK);
    // Another process holds the database's write lock longer than the
    // service waits for it.
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
    crash_and_restart();
    EXPECT_EQ(pool_names(), std::vector<std::string>{"pool1"});
}

TEST(PersistenceStart, UnusableDatabaseStopsTheServiceWithItsReason) {
    TempDir dir;
    {
        std::ofstream garbage(dir.file("garbage.db"), std::ios::binary);
        for (int i = 0; i < 4096; ++i) garbage.put(static_cast<char>(i * 7 + 3));
    }
    exec_sql(dir.file("other.db"), "PRAGMA user_version=7");
    // A database of this layout whose pool row is not a pool.
    exec_sql(dir.file("torn.db"), "CREATE TABLE pools (name TEXT PRIMARY KEY, data BLOB NOT NULL);"
                                  "INSERT INTO pools VALUES ('p1', x'0102030405');");
    mkdir(dir.file("adir").c_str(), 0700);
    const std::pair<std::string, std::string> cases[] = {
        {dir.file("garbage.db"), "file is not a database"},
        {dir.file("other.db"), "has layout 7, this service writes 1"},
        {dir.file("torn.db"), "the row 'p1' cannot be read"},
        {dir.file("adir"), "unable to open database file"},
        {dir.file("missing/dsm.db"), "unable to open database file"},
    };
    for (const auto& [db, reason] : cases) {
        const auto [status, output] = refused_start(db);
        EXPECT_EQ(status, 1) << db << ": " << output;
        EXPECT_NE(output.find("dsmservice: database " + db), std::string::npos) << output;
        EXPECT_NE(output.find(reason), std::string::npos) << output;
    }
}
