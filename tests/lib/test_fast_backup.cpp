// Fast backup validation against the bundled service and a catalog written by
// the test: every rule and log line, and the query of the fast storage servers.
#include "PoolHelpers.h"

#include "kdbase.h"
#include "kdcatalog.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <tuple>

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
static size_t heap_in_use() { return __sanitizer_get_current_allocated_bytes(); }
#else
static size_t heap_in_use() { return mallinfo2().uordblks; }
#endif

using namespace dsmtest;

namespace {

typedef std::tuple<int, std::string, std::string> Msg;  // level, function, text

// What the host layer logged; the validation logs in the calling thread.
std::vector<Msg> g_lines;

void capture_host_line(const char* channel, int level, const char* function, const char* text) {
    if (std::string(channel) == "logmsg") g_lines.emplace_back(level, function ? function : "", text ? text : "");
}

std::string dump() {
    std::ostringstream os;
    for (const auto& [level, function, text] : g_lines)
        os << "  [" << level << "] " << function << ": '" << text << "'\n";
    return os.str();
}

void expect_logged(const Msg& m) {
    EXPECT_NE(std::find(g_lines.begin(), g_lines.end(), m), g_lines.end())
        << std::get<1>(m) << ": " << std::get<2>(m) << "\n" << dump();
}

// {answer, out-value}; the out-value starts at 7 to show whether it was written.
typedef std::pair<int, int> Answer;

struct Case {
    Answer (*ask)(const char*);
    const char* name;
    Answer answer;
    std::vector<Msg> logged;
    const char* counted = nullptr;  // a fragment exactly 'times' lines contain ("": any line)
    long times = 0;
};

template <int (*F)(const char*, int*)>
Answer ask(const char* name) {
    int is = 7;
    return {F(name, &is), is};
}
Answer (*const unit)(const char*) = ask<storage_unit_support_fast_backup>;
Answer (*const group)(const char*) = ask<storage_group_support_fast_backup>;

Answer residence(const char* name) { return {residence_support_fast_backup(name), 7}; }

CLASS_ATTR attributes(const char* policy) {
    CLASS_ATTR attr{};
    EXPECT_EQ(db_getCLASS_ATTR(&attr, policy), 0) << policy;
    return attr;
}

// The by-name form reads the policy and checks it with the attributes given.
Answer enabled(const char* name) {
    const CLASS_ATTR attr = attributes(name);
    g_lines.clear();
    return {validate_fast_backup_by_classname(name, &attr), 7};
}

class FastBackup : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        char templ[] = "/tmp/dsm_fastbackup_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
        write_config(true);
        write("maps", "ELP AdvancedDisk rapidor\nELP PlainDisk\nELP AdvancedDiskPlus rapidor\n");
        dsmlib_set_emmserver(service().address().c_str());
        // Pools with and without the fast backup flag (0x100000); units, groups and SLPs over them.
        const std::string fast = std::to_string(0x100003), flag = std::to_string(0x100000);
        for (auto* p : {pool_value("dp_fast", {{"DSM::flags", fast}}), pool_value("dp_slow", {{"DSM::flags", "3"}}),
                        pool_value("dp_plain", {{"DSM::flags", flag}}, "PlainDisk"),
                        pool_value("dp_other", {{"DSM::flags", flag}}, "OtherDisk"), pool_value("dp_noflags"),
                        pool_value("dp_long", {{"DSM::flags", flag}}, "AdvancedDiskPlus2")}) {
            seed(control(), p);
            CORBA::remove_ref(p);
        }
        write("stunits",
              "name=stu_fast type=6 sub_media_type=6 disk_pool=dp_fast\n"
              "name=stu_fast0 type=0 sub_media_type=6 disk_pool=dp_fast\n"
              "name=stu_slow type=6 sub_media_type=6 disk_pool=dp_slow\n"
              "name=stu_plain type=6 sub_media_type=6 disk_pool=dp_plain\n"
              "name=stu_other type=6 sub_media_type=6 disk_pool=dp_other\n"
              "name=stu_noflags type=6 sub_media_type=6 disk_pool=dp_noflags\n"
              "name=stu_long type=6 sub_media_type=6 disk_pool=dp_long\n"
              "name=stu_gone type=6 sub_media_type=6 disk_pool=dp_gone\n"
              "name=stu_sub5 type=6 sub_media_type=5 disk_pool=dp_fast\n"
              "name=stu_tape type=2 sub_media_type=6 disk_pool=dp_fast\n");
        write("stgroups",
              "name=g_fast selection_method=3 members=stu_fast,stu_fast0\n"
              "name=g_rr selection_method=1 members=stu_fast,stu_fast0\n"
              "name=g_slow selection_method=3 members=stu_fast,stu_slow,stu_fast0\n"
              "name=g_stray selection_method=3 members=stu_fast,nosuch\n");
        write("slps",
              "name=slp_group operations=1:stu_slow,0:g_fast,0:stu_slow\n"
              "name=slp_unit operations=0:stu_fast,3:nosuch,0:stu_fast0\n"
              "name=slp_nostorage operations=0:\n"
              "name=slp_badgroup operations=0:g_rr\n"
              "name=slp_badunit operations=0:stu_fast,0:stu_slow\n"
              "name=slp_neither operations=0:nosuch\n");
        g_lines.clear();
        kdhost_set_log_sink(capture_host_line);
    }
    void TearDown() override {
        kdhost_set_log_sink(nullptr);
        ServiceEnvironment::get().config().write(service_config(service().address(), service().port()));
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    // 'master' false leaves out the server list the master name comes from.
    void write_config(bool master, const std::string& maps = "maps") {
        std::string conf = "EMM_SERVER = " + service().address() + "\nKDDSMFSM_PORT = " +
                           std::to_string(service().port()) + "\nCATALOG_DIR = " + dir_ +
                           "\nDEVICE_MAPPINGS_FILE = " + dir_ + "/" + maps + "\n";
        if (master) conf += "SERVER = " + service().address() + "\n";
        ServiceEnvironment::get().config().write(conf);
    }
    void write(const char* file, const std::string& text) { std::ofstream(dir_ + "/" + file) << text; }

    void check(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name ? c.name : "(null)");
            g_lines.clear();
            EXPECT_EQ(c.ask(c.name), c.answer);
            for (const Msg& m : c.logged) expect_logged(m);
            if (!c.counted) continue;
            EXPECT_EQ(std::count_if(g_lines.begin(), g_lines.end(),
                                    [&](const Msg& l) { return std::get<2>(l).find(c.counted) != std::string::npos; }),
                      c.times) << c.counted << "\n" << dump();
        }
    }

    std::string dir_;
};

TEST_F(FastBackup, UnitsGroupsAndResidencesWithEveryRuleAndMessage) {
    const char* fn = "storage_unit_support_fast_backup";
    const char* pool = "diskpool_support_fast_backup";
    const char* grp = "storage_group_support_fast_backup";
    const char* res = "residence_support_fast_backup";
    const char* slp = "slp_support_fast_backup";
    const std::string validating = "validating master server " + service().address() + ", disk group name dp_fast";
    ASSERT_EQ(dsmlib_ping(), DSM_OK);
    CountedValues<OBV_DS::DiskGroupInfo> pools_read("IDL:Orvane/Keldra/DL/DiskService/DiskGroupInfo:1.0");
    check({
        {unit, "stu_fast", {1, 1}, {{2, pool, validating}, {2, pool, "disk group support fast backup"},
                                    {2, pool, "MAPPINGS FEATURE RAPIDOR ENABLED"}}},
        {unit, "stu_slow", {0, 1}, {{16, pool, "disk group does not support fast backup"},
                                    {16, fn, "the STU stu_slow does not support rapidor"}}},
        {unit, "stu_plain", {0, 1}, {{16, pool, "MAPPINGS FEATURE RAPIDOR DISABLED"}}},
        {unit, "stu_other", {0, 1}, {}, "MAPPINGS", 0},  // an unmapped type answers without a message
        // The type is looked up by its first 16 characters.
        {unit, "stu_long", {1, 1}, {{2, pool, "MAPPINGS LOADED FOR AdvancedDiskPlus"}}},
        {unit, "stu_noflags", {0, 1}, {{16, pool, "get disk group flags failed"}}},
        {unit, "stu_gone", {0, 1}, {{16, pool, "get disk group info failed"}}},
        {unit, "nosuch", {1, 0}, {{2, fn, "nosuch is not a storage unit"}}},
        {unit, "stu_tape", {0, 1}, {}},  // not disk media: the pool is not asked
        {unit, nullptr, {0, 7}, {{16, fn, "name is NULL"}}},

        {group, "g_fast", {1, 1}, {}},  // its member stu_fast0 has type 0, disk too
        // Members that pass do not save a non-failover group, and are not examined.
        {group, "g_rr", {0, 1},
         {{16, grp, "the storage group g_rr does not support rapidor because its selection method is not FAILOVER"}},
         "validating master server", 0},
        // Members after a failing one are not examined.
        {group, "g_slow", {0, 1}, {{16, grp, "the STU stu_slow in the group g_slow does not support rapidor"}},
         "disk group name dp_fast", 1},
        {group, "g_stray", {0, 1}, {{16, grp, "the STU nosuch in the group g_stray is not a valid STU"}}},
        {group, "nosuch", {1, 0}, {{2, grp, "nosuch is not a storage group"}}},

        // The first backup operation on a supporting group settles the SLP;
        // the unsupported unit after it is never looked at.
        {residence, "slp_group", {1, 7},
         {{2, slp, "the storage group g_fast in the SLP slp_group supports rapidor"},
          {2, res, "SLP slp_group supports rapidor "}},
         "dp_slow", 0},
        {residence, "slp_unit", {1, 7}, {}},  // non-backup operations are skipped
        {residence, "slp_nostorage", {0, 7}, {{16, slp, "a backup storage in SLP slp_nostorage must be specified"}}},
        {residence, "slp_badgroup", {0, 7},
         {{16, slp, "the storage group g_rr in the SLP slp_badgroup does not support rapidor"}}},
        {residence, "slp_badunit", {0, 7},
         {{16, slp, "the STU stu_slow in the SLP slp_badunit does not support rapidor"}}},
        {residence, "slp_neither", {0, 7},
         {{16, slp, "the STU nosuch in the SLP slp_neither is neither storage unit nor storage group"}}},
        {residence, "g_fast", {1, 7}, {{2, res, "storage group g_fast supports rapidor "}}},
        {residence, "stu_fast", {1, 7}, {}},
        {residence, "stu_sub5", {0, 7},
         {{2, res, "storage unit stu_sub5 does not support rapidor "},
          {2, fn, "stu_sub5 is not a disk media or the sub media type is not STSDYNAMIC"}}},
        {residence, "nothing_at_all", {0, 7}, {{16, res, "nothing_at_all is not a valid residence"}}},
        {residence, nullptr, {0, 7}, {}},
    });
    EXPECT_EQ(storage_unit_support_fast_backup("stu_fast", nullptr), 1) << "the out-value is optional";
    EXPECT_EQ(pools_read.live(), 0) << "every pool read is given back";

    write_config(true, "no-such-maps");
    check({{unit, "stu_fast", {0, 1}, {{16, pool, "Initialize Mappings error(" + std::to_string(ENOENT) + ")"}}}});
    // Without a master server name nothing else is asked.
    write_config(false);
    check({{unit, "stu_fast", {0, 7}, {{16, fn, "get master server name failed"}}}});
}

TEST_F(FastBackup, PoliciesTheirOptionsSchedulesAndResidences) {
    write("policy_types", "policy_type=0 features=0x48000000\npolicy_type=4 features=0x40000000\n");
    // Absent numbers read as 0.
    write("policies",
          "name=p_off policy_type=4 client_compress=1 client_encrypt=1 fast_backup=0 residences=nothing_at_all\n"
          "name=p_two policy_type=4 client_compress=1 client_encrypt=1 fast_backup=2 residences=nothing_at_all\n"
          "name=p_type policy_type=4 client_compress=0 client_encrypt=0 fast_backup=1 residences=stu_fast\n"
          "name=p_both policy_type=0 client_compress=1 client_encrypt=1 fast_backup=1 residences=stu_fast\n"
          "name=p_compress client_compress=1 fast_backup=1 residences=stu_fast\n"
          "name=p_good fast_backup=1 residences=stu_fast,g_fast schedule=full: schedule=incr:*NULL*\n"
          "name=p_override fast_backup=1 residences=stu_slow schedule=full:slp_group schedule=incr:*NULL*,stu_fast\n"
          "name=p_badsched fast_backup=1 residences=stu_fast schedule=full:stu_fast,stu_slow\n"
          "name=p_nostorage fast_backup=1 residences=*NULL* schedule=full:\n"
          "name=p_badpolicy fast_backup=1 residences=stu_fast,stu_slow schedule=full:g_fast schedule=incr:\n");
    const char* fn = "validate_fast_backup_enabled";
    const char* res = "validate_fast_backup_residence";
    const CLASS no_schedules{};
    const CLASS_ATTR off = attributes("p_off");
    EXPECT_EQ(validate_fast_backup_residence(&no_schedules, &off), 0) << "off: nothing to judge";
    check({
        // Off (0) or anything but 1: nothing is read or judged.
        {enabled, "p_off", {0, 7}, {}, "", 0},
        {enabled, "p_two", {0, 7}, {}, "", 0},
        // The type must have both feature bits.
        {enabled, "p_type", {144, 7}, {{16, fn, "rapidor is not supported for policy type"}}},
        {enabled, "p_both", {144, 7}, {{16, fn, "rapidor is not supported with client encryption"}},
         "client compress", 0},
        {enabled, "p_compress", {144, 7}, {{16, fn, "rapidor is not supported with client compress"}}},
        // Schedules without their own storage fall back to the policy's.
        {enabled, "p_good", {0, 7}, {{2, res, "validating stu_fast"}, {2, res, "validating g_fast"}}, "in schedule", 0},
        // Every schedule names its own: the policy's unsupported storage is moot.
        {enabled, "p_override", {0, 7},
         {{2, res, "validating slp_group in schedule"}, {2, res, "validating stu_fast in schedule"},
          {2, res, "all schedules overwrite the policy storage selections"}},
         "dp_slow", 0},
        {enabled, "p_badsched", {5301, 7}, {{2, res, "validating stu_slow in schedule"}}},
        {enabled, "p_nostorage", {5300, 7}, {{16, res, "you must select a storage with a rapidor enabled policy"}}},
        // One schedule overriding is not all.
        {enabled, "p_badpolicy", {5302, 7}, {{2, res, "validating stu_slow"}}},
    });

    // The schedules are the named policy's, the attributes the caller's.
    const CLASS_ATTR bad = attributes("p_badsched");
    EXPECT_EQ(validate_fast_backup_by_classname("p_override", &bad), 0);
    g_lines.clear();
    EXPECT_EQ(validate_fast_backup_by_classname("p_missing", &bad), KDCAT_NOT_FOUND);
    expect_logged({16, "validate_fast_backup_by_classname",
                   std::string("db_getCLASS failed: ") + getECmsg(KDCAT_NOT_FOUND) + " (227)"});
    EXPECT_EQ(validate_fast_backup_by_classname(nullptr, &bad), 20);
    EXPECT_EQ(validate_fast_backup_by_classname("p_good", nullptr), 20);
    EXPECT_EQ(validate_fast_backup_enabled(nullptr, &bad), 20);
    EXPECT_EQ(validate_fast_backup_residence(&no_schedules, nullptr), 20);
}

TEST_F(FastBackup, OnlyServersThatAreUpWithTheFeatureAreHandedOut) {
    const char* fn = "query_storage_server_support_fast_backup";
    const char* all = "get_all_storage_servers";
    auto* const poison = reinterpret_cast<dsm_storageserverinfo_t*>(0x1);
    dsm_storageserverinfo_t* list = poison;
    int count = -1;
    EXPECT_EQ(query_storage_server_support_fast_backup(&list, &count), 0) << "no storage server at all";
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(query_storage_server_support_fast_backup(nullptr, &count), 20);
    expect_logged({16, fn, "sts_info_buf or sts_avail_count is NULL"});
    EXPECT_EQ(query_storage_server_support_fast_backup(&list, nullptr), 20);

    // Only the up ones (state 1 or 2) of a type with the feature pass, kept in their order at the front.
    const char* const servers[][3] = {{"sts_a_plain", "PlainDisk", "1"}, {"sts_b_down", "AdvancedDisk", "0"},
                                      {"sts_c_up", "AdvancedDisk", "1"}, {"sts_d_up", "AdvancedDisk", "2"}};
    for (const auto& [name, type, state] : servers) {
        DS::StorageServerInfo_var v = new OBV_DS::StorageServerInfo;
        auto* host = new OBV_DS::StorageServer;
        host->name(name);
        host->servertype(type);
        add_property(host->properties(), "DSM::state", state);
        v->host(dsmtest::adopt(host));
        v->name(name);
        seed(control(), v.in());
    }
    const CORBA::Long before = control()->callCount("getStorageServerInfoList");
    g_lines.clear();
    ASSERT_EQ(query_storage_server_support_fast_backup(&list, &count), 0) << dump();
    EXPECT_EQ(control()->callCount("getStorageServerInfoList") - before, 2)
        << "one call with one record, exactly one more with all four";
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(list[0].stserver.name, "sts_c_up");
    EXPECT_STREQ(list[1].stserver.name, "sts_d_up");
    EXPECT_EQ(list[1].object_ref, nullptr) << "the list the caller gets is plain data";
    for (const Msg& m : std::vector<Msg>{
             {2, all, "calling dsm_get_storageserverinfo_list for 1 storage servers"},
             {2, all, "needs to make another call with 4 storage servers"},
             {2, all, "dsm_get_storageserverinfo_list returned 4 storage servers, xq_status = 0"},
             {2, "select_storage_servers", "2 records of server selected"}})
        expect_logged(m);
    query_storage_server_free(list);

    // A failing service: its status, and nothing handed out.
    control()->failWithServiceException("getStorageServerInfoList", 1, disk_error(2050050).in());
    list = poison;
    count = 99;
    const int status = query_storage_server_support_fast_backup(&list, &count);
    EXPECT_NE(status, 0);
    expect_logged({16, all, "dsm_get_storageserverinfo_list call failed, xq_status = " + std::to_string(status)});
    EXPECT_EQ(list, poison);
    EXPECT_EQ(count, 99);

    // Queries release every reference they took (dropped, kept and re-read
    // records): the heap does not grow with their number. Captured lines would.
    kdhost_set_log_sink(nullptr);
    size_t start = 0;
    for (int i = 0; i < 320; ++i) {
        if (i == 20) start = heap_in_use();
        ASSERT_EQ(query_storage_server_support_fast_backup(&list, &count), 0);
        query_storage_server_free(list);
    }
    const long long growth = static_cast<long long>(heap_in_use()) - static_cast<long long>(start);
    EXPECT_LT(growth, 64 * 1024) << "heap grew by " << growth << " bytes over 300 queries";
}

}  // namespace
