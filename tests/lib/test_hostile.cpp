// Hostile replies from the bundled service through the library: lists far
// longer than the caller's records, service exceptions whose root causes
// nest thousands deep, property values of megabytes, and a reply beyond the
// message size limit. Each ends in the right status, with the caller's
// records filled within their bounds and every log message bounded.
#include "LogCapture.h"
#include "PoolHelpers.h"
#include "ValueFactoryTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace dsmtest;

namespace {

using Clock = std::chrono::steady_clock;

class Hostile : public ServiceTest {
protected:
    void SetUp() override {
        // A million-element reply takes seconds under the sanitizers: this
        // binary's calls get a generous bound, written before the first test
        // makes the ORB (which reads it once).
        ServiceEnvironment& env = ServiceEnvironment::get();
        env.config().write(service_config(env.service().address(), env.service().port(), 30000));
        ServiceTest::SetUp();
        dsmlib_set_emmserver(env.service().address().c_str());
    }

    // The service answers normally again.
    void expect_service_usable() {
        dsm_storageserverinfo_t none[1];
        int avail = -1;
        EXPECT_EQ(dsm_get_storageserverinfo_list("", 1, none, 1, &avail), DSM_OK);
        EXPECT_EQ(avail, 0);
    }

    void elapsed(const char* what, Clock::time_point t0) {
        RecordProperty(what, std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                Clock::now() - t0).count()) + " ms");
    }
};

std::string element(int i) {
    std::string digits = std::to_string(i);
    return "hostile-" + std::string(7 - digits.size(), '0') + digits;
}

// The text the service makes of an inflated property: the original, then
// 'a'..'z' by absolute position.
std::string inflated(const std::string& original, size_t size) {
    std::string out = original;
    for (size_t i = out.size(); i < size; ++i) out.push_back(static_cast<char>('a' + i % 26));
    return out;
}

size_t longest_line(const LogCapture& capture) {
    size_t longest = 0;
    for (const LogLine& l : capture.lines()) longest = std::max(longest, l.text.size() + l.localized.size());
    return longest;
}

// Records with a guard pattern, to prove nothing is written past the count.
template <class Rec, size_t N>
bool untouched(const Rec (&recs)[N], size_t from) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&recs[from]);
    return std::all_of(b, b + (N - from) * sizeof(Rec), [](unsigned char c) { return c == 0x5a; });
}

}  // namespace

TEST_F(Hostile, MillionElementListIsCountedAndCopiedOnlyIntoTheCallersRecords) {
    const CORBA::Long size = 1000000;
    control()->sendHostile("getDiskGroupList", 1, DsmControl::HOSTILE_LONG_SEQUENCE, size);
    dsm_storageserver_t none[1];
    dsm_diskgroupinfo_t recs[9];
    std::memset(recs, 0x5a, sizeof recs);
    int avail = -1;
    LogCapture capture;
    const auto t0 = Clock::now();
    ASSERT_EQ(dsm_get_diskgroup_list(none, 0, 0, 0, 1, recs, 8, &avail), DSM_OK) << capture.dump();
    elapsed("million_element_reply", t0);
    EXPECT_EQ(avail, size);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(recs[i].diskgroup.name, element(i));
        EXPECT_EQ(recs[i].diskgroup.id, "id-" + element(i));
        EXPECT_EQ(recs[i].object_ref, nullptr) << "a pool list holds no reference";
    }
    EXPECT_TRUE(untouched(recs, 8));
    EXPECT_FALSE(capture.exactly("getDiskGroupList - #diskgroups = 1000000").empty()) << capture.dump();
    EXPECT_LT(capture.lines().size(), 200u) << "no message per element beyond the caller's records";
}

TEST_F(Hostile, LongInfoListsFillOnlyTheAllocatedRecords) {
    const CORBA::Long size = 100000;
    dsm_storageserver_t none[1];
    control()->sendHostile("getDiskGroupInfoList", 1, DsmControl::HOSTILE_LONG_SEQUENCE, size);
    // An info list keeps identity fields the caller filled: the records
    // offered start empty, the one beyond them carries the guard.
    dsm_diskgroupinfo_t pools[4];
    std::memset(pools, 0, sizeof pools);
    std::memset(&pools[3], 0x5a, sizeof pools[3]);
    int avail = -1;
    ASSERT_EQ(dsm_get_diskgroupinfo_list(none, 0, 0, 0, 1, pools, 3, &avail), DSM_OK);
    EXPECT_EQ(avail, size);
    EXPECT_EQ(pools[2].diskgroup.name, element(2));
    EXPECT_EQ(pools[2].diskgroup.id, "id-" + element(2));
    EXPECT_TRUE(untouched(pools, 3));
    EXPECT_EQ(dsm_removeref_diskgroupinfo_list(pools, 3), DSM_OK);

    control()->sendHostile("getStorageServerInfoList", 1, DsmControl::HOSTILE_LONG_SEQUENCE, size);
    dsm_storageserverinfo_t servers[3];
    std::memset(servers, 0x5a, sizeof servers);
    ASSERT_EQ(dsm_get_storageserverinfo_list("", 1, servers, 2, &avail), DSM_OK);
    EXPECT_EQ(avail, size);
    EXPECT_EQ(servers[1].stserver.name, element(1));
    EXPECT_NE(servers[1].object_ref, nullptr);
    EXPECT_TRUE(untouched(servers, 2));
    EXPECT_EQ(dsm_removeref_storageserver_list(servers, 2), DSM_OK);

    // No record at all: only the count.
    control()->sendHostile("getDiskVolumeInfoList", 1, DsmControl::HOSTILE_LONG_SEQUENCE, size);
    DS::DiskGroupInfo_var pool = pool_value("p1");
    seed(control(), pool.in());
    dsm_diskgroup_t g = pool_record("p1");
    dsm_diskvolumeinfo_t vols[1];
    std::memset(vols, 0x5a, sizeof vols);
    avail = -1;
    ASSERT_EQ(dsm_get_diskvolumeinfo_list(none, 0, &g, 1, vols, 0, &avail), DSM_OK);
    EXPECT_EQ(avail, size);
    EXPECT_TRUE(untouched(vols, 0));
}

TEST_F(Hostile, DeepRootCauseChainsAreRefusedWithoutExhaustingTheStack) {
    // The top details and 'depth' causes below them: within the bound the
    // service's code arrives; beyond it the reply is refused as malformed
    // (the code travels after the causes, so it cannot be kept).
    const CORBA::Long within = dsm::kMaxDetailsNesting - 1;
    struct Case {
        CORBA::Long depth;
        int status;
    };
    for (const Case& c : {Case{within, 2050020}, Case{within + 1, DSM_E_CORBA}, Case{10000, DSM_E_CORBA},
                          Case{100000, DSM_E_CORBA}}) {
        control()->sendHostile("getDiskGroupInfo", 1, DsmControl::HOSTILE_DEEP_ROOT_CAUSES, c.depth);
        dsm_diskgroup_t g = pool_record("p1");
        dsm_diskgroupinfo_t info = empty_info();
        LogCapture capture;
        EXPECT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), c.status) << c.depth;
        if (c.status == 2050020)
            EXPECT_EQ(capture.containing("root causes nest " + std::to_string(c.depth) + " deep").size(), 1u)
                << capture.dump();
        else
            EXPECT_EQ(capture.containing("CORBA exception: MARSHAL").size(), 1u) << capture.dump();
        EXPECT_LT(longest_line(capture), 1024u) << c.depth;
        expect_service_usable();
    }
}

TEST_F(Hostile, HugePropertyValuesAreCutToTheirFieldsAndNeverLoggedWhole) {
    const CORBA::ULong size = 8u << 20;
    struct Case {
        const char* pool;
        const char* inflated;  // the last property, which the service inflates
        const char* original;
    };
    for (const Case& c : {Case{"tagged", "DSM::systemTag", "tag"}, Case{"stated", "DSM::state", "2"},
                          Case{"odd", "Vendor::note", "n"}}) {
        DS::DiskGroupInfo_var pool =
            pool_value(c.pool, {{"DSM::userTag", "user"}, {"DSM::state", "2"}, {c.inflated, c.original}});
        seed(control(), pool.in());
        control()->sendHostile("getDiskGroupInfo", 1, DsmControl::HOSTILE_HUGE_PROPERTY, size);
        dsm_diskgroup_t g = pool_record(c.pool);
        dsm_diskgroupinfo_t info = empty_info();
        LogCapture capture;
        ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK) << c.inflated;
        const std::string expected_tag =
            std::string(c.inflated) == "DSM::systemTag" ? inflated("tag", size).substr(0, sizeof info.system_tag - 1) : "";
        EXPECT_EQ(info.system_tag, expected_tag) << c.inflated;
        EXPECT_STREQ(info.user_tag, "user");
        EXPECT_EQ(info.kdu_state, DSM_DG_STATE_UP) << "\"2\" followed by letters still reads as 2";
        EXPECT_STREQ(info.diskgroup.name, c.pool);
        EXPECT_STREQ(info.diskgroup.server_type, "AdvancedDisk");
        EXPECT_STREQ(info.diskgroup.master_server, "127.0.0.1");
        EXPECT_LT(longest_line(capture), 2048u) << c.inflated;
        EXPECT_EQ(dsm_removeref_diskgroupinfo(&info), DSM_OK);
    }
}

TEST_F(Hostile, ReplyBeyondTheMessageLimitIsAStatusAndTheNextCallWorks) {
    // The service refuses to send more than its 256 MB limit.
    DS::DiskGroupInfo_var pool = pool_value("big");
    seed(control(), pool.in());
    control()->sendHostile("getDiskGroupInfo", 1, DsmControl::HOSTILE_HUGE_PROPERTY, 300u << 20);
    dsm_diskgroup_t g = pool_record("big");
    dsm_diskgroupinfo_t info = empty_info();
    LogCapture capture;
    EXPECT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_E_CORBA);
    EXPECT_EQ(capture.containing("CORBA exception: ").size(), 1u) << capture.dump();
    EXPECT_EQ(info.object_ref, nullptr);
    expect_service_usable();
}
