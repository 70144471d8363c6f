// Hostile replies from the bundled service through the library end in the right
// status, with the caller's records filled within bounds and log lines bounded.
#include "LogCapture.h"
#include "PoolHelpers.h"
#include "ValueFactoryTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <tuple>

using namespace dsmtest;

namespace {

class Hostile : public ServiceTest {
protected:
    void SetUp() override {
        // A million-element reply takes seconds under the sanitizers: a generous call bound,
        // written before the first test makes the ORB (which reads it once).
        ServiceEnvironment& env = ServiceEnvironment::get();
        env.config().write(service_config(env.service().address(), env.service().port(), 30000));
        ServiceTest::SetUp();
        dsmlib_set_emmserver(env.service().address().c_str());
    }
};

size_t longest_line(const LogCapture& capture) {
    size_t longest = 0;
    for (const LogLine& l : capture.lines()) longest = std::max(longest, l.text.size() + l.localized.size());
    return longest;
}

TEST_F(Hostile, LongListsAreCountedAndCopiedOnlyIntoTheCallersRecords) {
    control()->sendHostile("getDiskGroupList", 1, DsmControl::HOSTILE_LONG_SEQUENCE, 1000000);
    dsm_storageserver_t none[1];
    dsm_diskgroupinfo_t recs[9];
    std::memset(recs, 0x5a, sizeof recs);
    int avail = -1;
    LogCapture capture;
    ASSERT_EQ(dsm_get_diskgroup_list(none, 0, 0, 0, 1, recs, 8, &avail), DSM_OK) << capture.dump();
    EXPECT_EQ(avail, 1000000);
    for (int i = 0; i < 8; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "hostile-%07d", i);
        EXPECT_EQ(recs[i].diskgroup.name, std::string(name));
        EXPECT_EQ(recs[i].diskgroup.id, "id-" + std::string(name));
    }
    const auto* guard = reinterpret_cast<const unsigned char*>(&recs[8]);
    EXPECT_TRUE(std::all_of(guard, guard + sizeof recs[8], [](unsigned char c) { return c == 0x5a; }))
        << "nothing is written past the caller's count";
    EXPECT_FALSE(capture.exactly("getDiskGroupList - #diskgroups = 1000000").empty()) << capture.dump();
    EXPECT_LT(capture.lines().size(), 200u) << "no message per element beyond the caller's records";
}

TEST_F(Hostile, DeepChainsAndOversizedRepliesAreStatusesAndTheNextCallWorks) {
    // The top details and 'size' causes below them: within the bound the
    // service's code arrives; beyond it the reply is refused as malformed (the
    // code travels after the causes, so it cannot be kept). The service
    // refuses to send more than its 256 MB limit.
    const CORBA::Long within = dsm::kMaxDetailsNesting - 1;
    const std::string nest = "root causes nest " + std::to_string(within) + " deep";
    const auto deep = DsmControl::HOSTILE_DEEP_ROOT_CAUSES;
    // {kind, size, status, a text exactly one line contains}
    const std::tuple<DsmControl::HostileKind, CORBA::ULong, int, std::string> cases[] = {
        {deep, within, 2050020, nest}, {deep, within + 1, DSM_E_CORBA, "CORBA exception: MARSHAL"},
        {DsmControl::HOSTILE_HUGE_PROPERTY, 300u << 20, DSM_E_CORBA, "CORBA exception: "}};
    DS::DiskGroupInfo_var pool = pool_value("p1");
    seed(control(), pool.in());
    for (const auto& [kind, size, status, logged] : cases) {
        SCOPED_TRACE(size);
        control()->sendHostile("getDiskGroupInfo", 1, kind, size);
        dsm_diskgroup_t g = pool_record("p1");
        dsm_diskgroupinfo_t info = empty_info();
        LogCapture capture;
        EXPECT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), status);
        EXPECT_EQ(capture.containing(logged).size(), 1u) << capture.dump();
        EXPECT_LT(longest_line(capture), 1024u);
        EXPECT_EQ(info.object_ref, nullptr);
        EXPECT_EQ(dsmlib_ping(), DSM_OK) << "the service answers again";
    }
}

TEST_F(Hostile, HugePropertyValuesAreCutToTheirFieldsAndNeverLoggedWhole) {
    const CORBA::ULong size = 8u << 20;
    // The service inflates the last property: the original, then 'a'..'z' by position.
    std::string inflated_tag = "tag";
    for (size_t i = 3; i < sizeof(dsm_diskgroupinfo_t::system_tag) - 1; ++i) inflated_tag += char('a' + i % 26);
    // {pool, the inflated property, its original value, the system tag read}
    const std::tuple<const char*, const char*, const char*, std::string> cases[] = {
        {"tagged", "DSM::systemTag", "tag", inflated_tag}, {"stated", "DSM::state", "2", ""}};
    for (const auto& [name, inflated, original, system_tag] : cases) {
        SCOPED_TRACE(inflated);
        DS::DiskGroupInfo_var pool =
            pool_value(name, {{"DSM::userTag", "user"}, {"DSM::state", "2"}, {inflated, original}});
        seed(control(), pool.in());
        control()->sendHostile("getDiskGroupInfo", 1, DsmControl::HOSTILE_HUGE_PROPERTY, size);
        dsm_diskgroup_t g = pool_record(name);
        dsm_diskgroupinfo_t info = empty_info();
        LogCapture capture;
        ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK);
        EXPECT_EQ(info.system_tag, system_tag);
        EXPECT_STREQ(info.user_tag, "user");
        EXPECT_EQ(info.kdu_state, DSM_DG_STATE_UP) << "\"2\" followed by letters still reads as 2";
        EXPECT_LT(longest_line(capture), 2048u);
        EXPECT_EQ(dsm_removeref_diskgroupinfo(&info), DSM_OK);
    }
}

}  // namespace
