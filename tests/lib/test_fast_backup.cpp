// Fast backup validation against the bundled service and a catalog written
// by the test: storage units, groups, SLPs and residences with every rule
// and message, policies and their schedules, the by-name form, catalog read
// errors, and the query of the storage servers that offer fast backups.
#include "PoolHelpers.h"

#include "kdbase.h"
#include "kdcatalog.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count of live heap bytes (its header is not
// shipped with every compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

using namespace dsmtest;

namespace {

struct HostLine {
    int level;
    std::string function;
    std::string text;
};

std::mutex g_lines_mutex;
std::vector<HostLine> g_lines;

void capture_host_line(const char* channel, int level, const char* function, const char* text) {
    if (std::string(channel) != "logmsg") return;
    std::lock_guard<std::mutex> lock(g_lines_mutex);
    g_lines.push_back({level, function ? function : "", text ? text : ""});
}

constexpr int kPoolFastFlag = 0x100000;

class FastBackup : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        char templ[] = "/tmp/dsm_fastbackup_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
        write_config(true);
        write("maps", "ELP AdvancedDisk rapidor\nELP PlainDisk\n");
        dsmlib_set_emmserver(service().address().c_str());
        clear_lines();
        kdhost_set_log_sink(capture_host_line);
    }
    void TearDown() override {
        kdhost_set_log_sink(nullptr);
        ServiceEnvironment::get().config().write(service_config(service().address(), service().port()));
        for (const char* f : {"stunits", "stgroups", "slps", "policies", "policy_types", "maps"})
            std::remove((dir_ + "/" + f).c_str());
        rmdir(dir_.c_str());
    }

    // The product configuration with the catalog and mappings; 'master'
    // false leaves out the server list the master name comes from.
    void write_config(bool master, const std::string& maps = "maps") {
        std::string conf = "EMM_SERVER = " + service().address() + "\nKDDSMFSM_PORT = " +
                           std::to_string(service().port()) + "\nCATALOG_DIR = " + dir_ +
                           "\nDEVICE_MAPPINGS_FILE = " + dir_ + "/" + maps + "\n";
        if (master) conf += "SERVER = " + service().address() + "\n";
        ServiceEnvironment::get().config().write(conf);
    }
    void write(const char* file, const std::string& text) { std::ofstream(dir_ + "/" + file) << text; }

    void seed_pool(const std::string& name, long long flags, const std::string& type = "AdvancedDisk") {
        Props props;
        if (flags >= 0) props.emplace_back("DSM::flags", std::to_string(flags));
        DS::DiskGroupInfo_var info = pool_value(name, props, type);
        seed(control(), info.in());
    }

    // The usual catalog: storage units over fast, slow and unmapped pools,
    // groups and SLPs over them.
    void standard_catalog() {
        seed_pool("dp_fast", kPoolFastFlag | 0x3);
        seed_pool("dp_slow", 0x3);
        seed_pool("dp_plain", kPoolFastFlag, "PlainDisk");
        seed_pool("dp_other", kPoolFastFlag, "OtherDisk");
        seed_pool("dp_noflags", -1);
        write("stunits",
              "name=stu_fast type=6 sub_media_type=6 disk_pool=dp_fast\n"
              "name=stu_fast0 type=0 sub_media_type=6 disk_pool=dp_fast\n"
              "name=stu_slow type=6 sub_media_type=6 disk_pool=dp_slow\n"
              "name=stu_plain type=6 sub_media_type=6 disk_pool=dp_plain\n"
              "name=stu_other type=6 sub_media_type=6 disk_pool=dp_other\n"
              "name=stu_noflags type=6 sub_media_type=6 disk_pool=dp_noflags\n"
              "name=stu_gone type=6 sub_media_type=6 disk_pool=dp_gone\n"
              "name=stu_sub5 type=6 sub_media_type=5 disk_pool=dp_fast\n"
              "name=stu_tape type=2 sub_media_type=6 disk_pool=dp_fast\n");
        write("stgroups",
              "name=g_fast selection_method=3 members=stu_fast,stu_fast0\n"
              "name=g_rr selection_method=1 members=stu_fast,stu_fast0\n"
              "name=g_slow selection_method=3 members=stu_fast,stu_slow,stu_fast0\n"
              "name=g_stray selection_method=3 members=stu_fast,nosuch\n"
              "name=g_empty selection_method=3\n");
        write("slps",
              "name=slp_group operations=1:stu_slow,0:g_fast,0:stu_slow\n"
              "name=slp_unit operations=0:stu_fast,3:nosuch,0:stu_fast0\n"
              "name=slp_nostorage operations=0:\n"
              "name=slp_badgroup operations=0:g_rr\n"
              "name=slp_badunit operations=0:stu_fast,0:stu_slow\n"
              "name=slp_neither operations=0:nosuch\n"
              "name=slp_copies operations=3:stu_slow\n");
    }

    void clear_lines() {
        std::lock_guard<std::mutex> lock(g_lines_mutex);
        g_lines.clear();
    }
    bool has(int level, const std::string& function, const std::string& text) const {
        std::lock_guard<std::mutex> lock(g_lines_mutex);
        for (const auto& l : g_lines)
            if (l.level == level && l.function == function && l.text == text) return true;
        return false;
    }
    size_t count(const std::string& fragment) const {
        std::lock_guard<std::mutex> lock(g_lines_mutex);
        size_t n = 0;
        for (const auto& l : g_lines) n += l.text.find(fragment) != std::string::npos;
        return n;
    }
    bool mentions(const std::string& fragment) const { return count(fragment) > 0; }
    std::string dump() const {
        std::lock_guard<std::mutex> lock(g_lines_mutex);
        std::ostringstream os;
        for (const auto& l : g_lines) os << "  [" << l.level << "] " << l.function << ": '" << l.text << "'\n";
        return os.str();
    }
    size_t line_count() const {
        std::lock_guard<std::mutex> lock(g_lines_mutex);
        return g_lines.size();
    }

    // Asks a unit and returns {answer, is-a}; the out-value starts at 7 to
    // show whether it was written.
    std::pair<int, int> unit(const char* name) {
        clear_lines();
        int is = 7;
        const int answer = storage_unit_support_fast_backup(name, &is);
        return {answer, is};
    }
    std::pair<int, int> group(const char* name) {
        clear_lines();
        int is = 7;
        const int answer = storage_group_support_fast_backup(name, &is);
        return {answer, is};
    }
    int residence(const char* name) {
        clear_lines();
        return residence_support_fast_backup(name);
    }

    std::string dir_;
};

typedef std::pair<int, int> Answer;

TEST_F(FastBackup, StorageUnitsFollowTheirDiskPoolAndItsServerType) {
    standard_catalog();
    const char* fn = "storage_unit_support_fast_backup";
    const char* pool_fn = "diskpool_support_fast_backup";

    EXPECT_EQ(unit("stu_fast"), Answer(1, 1));
    const std::string validating = "validating master server " + service().address() + ", disk group name dp_fast";
    EXPECT_TRUE(has(2, pool_fn, validating)) << dump();
    EXPECT_TRUE(has(2, pool_fn, "disk group support fast backup")) << dump();
    EXPECT_TRUE(has(2, pool_fn, "MAPPINGS LOADED FOR AdvancedDisk")) << dump();
    EXPECT_TRUE(has(2, pool_fn, "MAPPINGS FEATURE RAPIDOR ENABLED")) << dump();
    EXPECT_EQ(unit("stu_fast0"), Answer(1, 1)) << "type 0 is disk too";

    EXPECT_EQ(unit("stu_slow"), Answer(0, 1));
    EXPECT_TRUE(has(16, pool_fn, "disk group does not support fast backup")) << dump();
    EXPECT_TRUE(has(16, fn, "the STU stu_slow does not support rapidor")) << dump();

    EXPECT_EQ(unit("stu_plain"), Answer(0, 1));
    EXPECT_TRUE(has(2, pool_fn, "MAPPINGS LOADED FOR PlainDisk")) << dump();
    EXPECT_TRUE(has(16, pool_fn, "MAPPINGS FEATURE RAPIDOR DISABLED")) << dump();

    EXPECT_EQ(unit("stu_other"), Answer(0, 1));
    EXPECT_FALSE(mentions("MAPPINGS")) << "an unmapped type answers without a message\n" << dump();

    EXPECT_EQ(unit("stu_noflags"), Answer(0, 1));
    EXPECT_TRUE(has(16, pool_fn, "get disk group flags failed")) << dump();
    EXPECT_EQ(unit("stu_gone"), Answer(0, 1));
    EXPECT_TRUE(has(16, pool_fn, "get disk group info failed")) << dump();

    // Not disk media: answered from the catalog alone.
    const CORBA::Long pool_reads = control()->callCount("getDiskGroupInfo");
    EXPECT_EQ(unit("stu_sub5"), Answer(0, 1));
    EXPECT_TRUE(has(2, fn, "stu_sub5 is not a disk media or the sub media type is not STSDYNAMIC")) << dump();
    EXPECT_EQ(unit("stu_tape"), Answer(0, 1));
    EXPECT_EQ(control()->callCount("getDiskGroupInfo"), pool_reads);

    EXPECT_EQ(unit("nosuch"), Answer(1, 0));
    EXPECT_TRUE(has(2, fn, "nosuch is not a storage unit")) << dump();
    EXPECT_EQ(unit(nullptr), Answer(0, 7));
    EXPECT_EQ(storage_unit_support_fast_backup("stu_fast", nullptr), 1) << "the out-value is optional";

    // The mappings are read for every pool examined.
    write_config(true, "no-such-maps");
    EXPECT_EQ(unit("stu_fast"), Answer(0, 1));
    EXPECT_TRUE(has(16, pool_fn, "Initialize Mappings error(" + std::to_string(ENOENT) + ")")) << dump();

    // Without a master server name nothing else is asked.
    write_config(false);
    EXPECT_EQ(unit("stu_fast"), Answer(0, 7));
    EXPECT_TRUE(has(16, fn, "get master server name failed")) << dump();
}

TEST_F(FastBackup, StorageGroupsNeedFailoverAndEveryMember) {
    standard_catalog();
    const char* fn = "storage_group_support_fast_backup";
    EXPECT_EQ(group("g_fast"), Answer(1, 1));
    EXPECT_EQ(group("g_empty"), Answer(1, 1));

    EXPECT_EQ(group("g_rr"), Answer(0, 1)) << "members that pass do not save a non-failover group";
    EXPECT_TRUE(has(16, fn,
                    "the storage group g_rr does not support rapidor because its selection method is not FAILOVER"))
        << dump();
    EXPECT_FALSE(mentions("validating master server")) << "members are not examined\n" << dump();

    EXPECT_EQ(group("g_slow"), Answer(0, 1));
    EXPECT_TRUE(has(16, fn, "the STU stu_slow in the group g_slow does not support rapidor")) << dump();
    EXPECT_EQ(count("disk group name dp_fast"), 1u) << "members after a failing one are not examined\n" << dump();
    EXPECT_EQ(group("g_stray"), Answer(0, 1));
    EXPECT_TRUE(has(16, fn, "the STU nosuch in the group g_stray is not a valid STU")) << dump();

    EXPECT_EQ(group("nosuch"), Answer(1, 0));
    EXPECT_TRUE(has(2, fn, "nosuch is not a storage group")) << dump();

    // A group file that does not parse reads as no group.
    write("stgroups", "name=g_fast selection_method=three\n");
    EXPECT_EQ(group("g_fast"), Answer(1, 0));
}

TEST_F(FastBackup, ResidencesAsSlpsGroupsAndUnits) {
    standard_catalog();
    const char* fn = "residence_support_fast_backup";
    const char* slp_fn = "slp_support_fast_backup";

    // The first backup operation on a supporting group settles the SLP; the
    // unsupported unit after it is never looked at.
    EXPECT_EQ(residence("slp_group"), 1);
    EXPECT_TRUE(has(2, slp_fn, "the storage group g_fast in the SLP slp_group supports rapidor")) << dump();
    EXPECT_TRUE(has(2, fn, "SLP slp_group supports rapidor ")) << dump();
    EXPECT_FALSE(mentions("dp_slow")) << dump();

    EXPECT_EQ(residence("slp_unit"), 1) << "non-backup operations are skipped";
    EXPECT_EQ(residence("slp_copies"), 1) << "an SLP without backup operations passes";

    EXPECT_EQ(residence("slp_nostorage"), 0);
    EXPECT_TRUE(has(16, slp_fn, "a backup storage in SLP slp_nostorage must be specified")) << dump();
    EXPECT_TRUE(has(2, fn, "SLP slp_nostorage does not support rapidor ")) << dump();
    EXPECT_EQ(residence("slp_badgroup"), 0);
    EXPECT_TRUE(has(16, slp_fn, "the storage group g_rr in the SLP slp_badgroup does not support rapidor")) << dump();
    EXPECT_EQ(residence("slp_badunit"), 0);
    EXPECT_TRUE(has(16, slp_fn, "the STU stu_slow in the SLP slp_badunit does not support rapidor")) << dump();
    EXPECT_EQ(residence("slp_neither"), 0);
    EXPECT_TRUE(has(16, slp_fn, "the STU nosuch in the SLP slp_neither is neither storage unit nor storage group"))
        << dump();

    EXPECT_EQ(residence("g_fast"), 1);
    EXPECT_TRUE(has(2, slp_fn, "g_fast is not a SLP")) << dump();
    EXPECT_TRUE(has(2, fn, "storage group g_fast supports rapidor ")) << dump();
    EXPECT_EQ(residence("g_rr"), 0);
    EXPECT_TRUE(has(2, fn, "storage group g_rr does not support rapidor ")) << dump();

    EXPECT_EQ(residence("stu_fast"), 1);
    EXPECT_TRUE(has(2, fn, "storage unit stu_fast supports rapidor ")) << dump();
    EXPECT_EQ(residence("stu_sub5"), 0);
    EXPECT_TRUE(has(2, fn, "storage unit stu_sub5 does not support rapidor ")) << dump();

    EXPECT_EQ(residence("nothing_at_all"), 0);
    EXPECT_TRUE(has(16, fn, "nothing_at_all is not a valid residence")) << dump();
    EXPECT_EQ(residence(nullptr), 0);
}

// Policies are read from the catalog as the product's commands would.
struct Policy {
    CLASS rec;
    CLASS_ATTR attr;
    int status;
    Policy(const char* name) {
        std::memset(&rec, 0, sizeof rec);
        std::memset(&attr, 0, sizeof attr);
        status = db_getCLASS(&rec, name);
        if (status == 0) status = db_getCLASS_ATTR(&attr, name);
    }
    ~Policy() { db_freeCLASS(&rec); }
};

TEST_F(FastBackup, PoliciesTheirOptionsSchedulesAndResidences) {
    standard_catalog();
    write("policy_types", "policy_type=0 features=0x48000000\npolicy_type=4 features=0x40000000\n");
    write("policies",
          "name=p_off policy_type=4 client_compress=1 client_encrypt=1 fast_backup=0 residences=nothing_at_all\n"
          "name=p_two policy_type=4 client_compress=1 client_encrypt=1 fast_backup=2 residences=nothing_at_all\n"
          "name=p_type policy_type=4 client_compress=0 client_encrypt=0 fast_backup=1 residences=stu_fast\n"
          "name=p_untyped policy_type=9 client_compress=0 client_encrypt=0 fast_backup=1 residences=stu_fast\n"
          "name=p_both policy_type=0 client_compress=1 client_encrypt=1 fast_backup=1 residences=stu_fast\n"
          "name=p_compress policy_type=0 client_compress=1 client_encrypt=0 fast_backup=1 residences=stu_fast\n"
          "name=p_good policy_type=0 client_compress=0 client_encrypt=0 fast_backup=1 residences=stu_fast,g_fast "
          "schedule=full: schedule=incr:*NULL*\n"
          "name=p_override policy_type=0 client_compress=0 client_encrypt=0 fast_backup=1 residences=stu_slow "
          "schedule=full:slp_group schedule=incr:*NULL*,stu_fast\n"
          "name=p_badsched policy_type=0 client_compress=0 client_encrypt=0 fast_backup=1 residences=stu_fast "
          "schedule=full:stu_fast,stu_slow\n"
          "name=p_nostorage policy_type=0 client_compress=0 client_encrypt=0 fast_backup=1 residences=*NULL* "
          "schedule=full:\n"
          "name=p_badpolicy policy_type=0 client_compress=0 client_encrypt=0 fast_backup=1 "
          "residences=stu_fast,stu_slow schedule=full:g_fast schedule=incr:\n"
          "name=p_nores policy_type=0 client_compress=0 client_encrypt=0 fast_backup=1 schedule=full:\n");
    const char* fn = "validate_fast_backup_enabled";
    const char* res_fn = "validate_fast_backup_residence";
    auto enabled = [&](const char* name) {
        Policy p(name);
        EXPECT_EQ(p.status, 0) << name;
        clear_lines();
        return validate_fast_backup_enabled(&p.rec, &p.attr);
    };

    // Off (0) or anything but 1: nothing is read or judged.
    {
        Policy p("p_off");
        clear_lines();
        EXPECT_EQ(validate_fast_backup_residence(&p.rec, &p.attr), 0);
        EXPECT_EQ(validate_fast_backup_enabled(&p.rec, &p.attr), 0);
        EXPECT_EQ(line_count(), 0u) << dump();
    }
    EXPECT_EQ(enabled("p_two"), 0);
    EXPECT_EQ(line_count(), 0u) << dump();

    EXPECT_EQ(enabled("p_type"), 144) << "the type must have both feature bits";
    EXPECT_TRUE(has(16, fn, "rapidor is not supported for policy type")) << dump();
    EXPECT_EQ(enabled("p_untyped"), 144);
    EXPECT_EQ(enabled("p_both"), 144);
    EXPECT_TRUE(has(16, fn, "rapidor is not supported with client encryption")) << dump();
    EXPECT_FALSE(mentions("client compress")) << dump();
    EXPECT_EQ(enabled("p_compress"), 144);
    EXPECT_TRUE(has(16, fn, "rapidor is not supported with client compress")) << dump();

    // Schedules without their own storage fall back to the policy's.
    EXPECT_EQ(enabled("p_good"), 0) << dump();
    EXPECT_TRUE(has(2, res_fn, "validating stu_fast")) << dump();
    EXPECT_TRUE(has(2, res_fn, "validating g_fast")) << dump();
    EXPECT_FALSE(mentions("in schedule")) << dump();

    // Every schedule names its own: the policy's unsupported storage is moot.
    EXPECT_EQ(enabled("p_override"), 0) << dump();
    EXPECT_TRUE(has(2, res_fn, "validating slp_group in schedule")) << dump();
    EXPECT_TRUE(has(2, res_fn, "validating stu_fast in schedule")) << dump();
    EXPECT_TRUE(has(2, res_fn, "all schedules overwrite the policy storage selections")) << dump();
    EXPECT_FALSE(mentions("dp_slow")) << dump();

    EXPECT_EQ(enabled("p_badsched"), 5301);
    EXPECT_TRUE(has(2, res_fn, "validating stu_slow in schedule")) << dump();
    EXPECT_EQ(enabled("p_nostorage"), 5300);
    EXPECT_TRUE(has(16, res_fn, "you must select a storage with a rapidor enabled policy")) << dump();
    EXPECT_EQ(enabled("p_badpolicy"), 5302) << "one schedule overriding is not all";
    EXPECT_TRUE(has(2, res_fn, "validating stu_slow")) << dump();
    EXPECT_EQ(enabled("p_nores"), 0) << "no policy storage to judge";

    // The by-name form reads the policy itself.
    Policy attrs("p_badsched");
    clear_lines();
    EXPECT_EQ(validate_fast_backup_by_classname("p_badsched", &attrs.attr), 5301);
    EXPECT_EQ(validate_fast_backup_by_classname("p_override", &attrs.attr), 0)
        << "the schedules are the named policy's; the attributes are the caller's";
    clear_lines();
    EXPECT_EQ(validate_fast_backup_by_classname("p_missing", &attrs.attr), KDCAT_NOT_FOUND);
    EXPECT_TRUE(has(16, "validate_fast_backup_by_classname",
                    std::string("db_getCLASS failed: ") + getECmsg(KDCAT_NOT_FOUND) + " (227)"))
        << dump();
    write("policies", "name=p_broken schedule=noresidences\n");
    EXPECT_EQ(validate_fast_backup_by_classname("p_broken", &attrs.attr), KDCAT_DB_ERROR);
    EXPECT_TRUE(mentions("(220)")) << dump();

    EXPECT_EQ(validate_fast_backup_by_classname(nullptr, &attrs.attr), 20);
    EXPECT_EQ(validate_fast_backup_by_classname("p_good", nullptr), 20);
    EXPECT_EQ(validate_fast_backup_enabled(nullptr, &attrs.attr), 20);
    EXPECT_EQ(validate_fast_backup_residence(&attrs.rec, nullptr), 20);
}

size_t heap_in_use() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

class FastBackupServers : public FastBackup {
protected:
    // A storage server as the service holds it; a state other than 1 or 2
    // reads as 0 (not up).
    void seed_server(const std::string& name, const std::string& type, const std::string& state) {
        DS::StorageServerInfo_var v = new OBV_DS::StorageServerInfo;
        auto* host = new OBV_DS::StorageServer;
        host->name(name.c_str());
        host->servertype(type.c_str());
        add_property(host->properties(), "DSM::state", state);
        v->host(dsmtest::adopt(host));
        v->name(name.c_str());
        CORBA::Any a;
        a <<= v.in();
        control()->seed(a);
    }
    int query(dsm_storageserverinfo_t** list, int* count) {
        clear_lines();
        return query_storage_server_support_fast_backup(list, count);
    }
};

TEST_F(FastBackupServers, OnlyServersThatAreUpWithTheFeatureAreHandedOut) {
    const char* fn = "query_storage_server_support_fast_backup";
    dsm_storageserverinfo_t* list = reinterpret_cast<dsm_storageserverinfo_t*>(0x1);
    int count = -1;
    EXPECT_EQ(query(&list, &count), 0) << "no storage server at all";
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(query(nullptr, &count), 20);
    EXPECT_TRUE(has(16, fn, "sts_info_buf or sts_avail_count is NULL")) << dump();
    EXPECT_EQ(query(&list, nullptr), 20);

    // Only the third passes: up and of a type with the feature.
    seed_server("sts_a_plain", "PlainDisk", "1");
    seed_server("sts_b_down", "AdvancedDisk", "0");
    seed_server("sts_c_up", "AdvancedDisk", "1");
    const CORBA::Long before = control()->callCount("getStorageServerInfoList");
    ASSERT_EQ(query(&list, &count), 0) << dump();
    EXPECT_EQ(control()->callCount("getStorageServerInfoList") - before, 2)
        << "one call with one record, exactly one more with all three";
    ASSERT_EQ(count, 1);
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list[0].stserver.name, "sts_c_up");
    EXPECT_STREQ(list[0].stserver.server_type, "AdvancedDisk");
    EXPECT_EQ(list[0].object_ref, nullptr) << "the list the caller gets is plain data";
    const char* all_fn = "get_all_storage_servers";
    EXPECT_TRUE(has(2, all_fn, "calling dsm_get_storageserverinfo_list for 1 storage servers")) << dump();
    EXPECT_TRUE(has(2, all_fn, "needs to make another call with 3 storage servers")) << dump();
    EXPECT_TRUE(has(2, all_fn, "calling dsm_get_storageserverinfo_list for 3 storage servers")) << dump();
    EXPECT_TRUE(has(2, all_fn, "dsm_get_storageserverinfo_list returned 3 storage servers, xq_status = 0")) << dump();
    EXPECT_TRUE(has(2, "select_storage_servers", "1 records of server selected")) << dump();
    EXPECT_TRUE(has(16, "storage_server_support_fast_backup", "MAPPINGS FEATURE RAPIDOR DISABLED")) << dump();
    query_storage_server_free(list);
    query_storage_server_free(nullptr);

    // Kept records stay in their order at the front.
    seed_server("sts_d_up", "AdvancedDisk", "2");
    ASSERT_EQ(query(&list, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(list[0].stserver.name, "sts_c_up");
    EXPECT_STREQ(list[1].stserver.name, "sts_d_up");
    query_storage_server_free(list);

    // Without mappings no server qualifies.
    write_config(true, "no-such-maps");
    ASSERT_EQ(query(&list, &count), 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(has(16, "storage_server_support_fast_backup",
                    "Initialize Mappings error(" + std::to_string(ENOENT) + ")"))
        << dump();
    write_config(true);

    // A failing service: its status, and nothing handed out.
    control()->failWithServiceException("getStorageServerInfoList", 1, disk_error(2050050).in());
    list = reinterpret_cast<dsm_storageserverinfo_t*>(0x1);
    count = 99;
    const int status = query(&list, &count);
    EXPECT_NE(status, 0);
    EXPECT_TRUE(has(16, all_fn,
                    "dsm_get_storageserverinfo_list call failed, xq_status = " + std::to_string(status)))
        << dump();
    EXPECT_EQ(list, reinterpret_cast<dsm_storageserverinfo_t*>(0x1));
    EXPECT_EQ(count, 99);

    // Queries with servers dropped, kept and re-read release every
    // reference they took: the heap does not grow with their number. (The
    // captured log lines would.)
    kdhost_set_log_sink(nullptr);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(query_storage_server_support_fast_backup(&list, &count), 0);
        query_storage_server_free(list);
    }
    const size_t start = heap_in_use();
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(query_storage_server_support_fast_backup(&list, &count), 0);
        query_storage_server_free(list);
    }
    const long long growth = static_cast<long long>(heap_in_use()) - static_cast<long long>(start);
    EXPECT_LT(growth, 64 * 1024) << "heap grew by " << growth << " bytes over 300 queries";
}

}  // namespace
