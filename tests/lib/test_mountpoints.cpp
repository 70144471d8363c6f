// Mount points of a pool, global attributes, server type translation and
// the LSU list of a storage unit label with its comparison.
#include "LogCapture.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

using namespace dsmtest;
using std::make_tuple;
using std::string;
using MountPoints = LibraryTest;

namespace {

DS::MountPoint* mount(const std::string& path, const Props& props) {
    auto* m = new OBV_DS::MountPoint;
    m->path(path.c_str());
    for (auto& p : props) add_property(m->properties(), p.first.c_str(), p.second);
    return m;
}

dsm_ELP_lsu_t lsu(const char* server, const char* type, const char* name = "") {
    dsm_ELP_lsu_t l{};
    set(l.stserver_name, server);
    set(l.server_type, type);
    set(l.lsu_name, name);
    return l;
}

}  // namespace

TEST_F(MountPoints, ListedUnderTheBufferProtocolAndHeldOnlyWhenNeeded) {
    DS::DiskGroupInfo_var pool = pool_value("pool1");
    seed(control(), pool.in());
    const string volume(255, 'v');  // the longest name a volume can have
    DS::MountPointSeq mps;
    mps.length(3);
    mps[0] = mount("/mnt/a", {{"DSM::storageServer", "host1"}, {"DSM::state", "2"},
                              {"DSM::diskVolumeName", volume}, {"DSM::flags", "18446744073709551615"}});
    mps[1] = mount("/mnt/b", {{"DSM::storageServer", "host2"}, {"DSM::state", "busy"}});
    mps[2] = mount("/mnt/c", {});
    CORBA::Any a;
    a <<= mps;
    control()->scriptReply("getMountPointList", 2, a);
    const dsm_diskgroup_t g = pool_record("pool1");
    dsm_diskgroupinfo_t info{};
    ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK);

    dsm_mountpoint_t out[3];
    int avail = 0;
    ASSERT_EQ(dsm_get_diskgroup_mountpoints(&info, out, 2, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(avail, string(out[0].path), string(out[0].machine_name), out[0].state),
              make_tuple(3, string("/mnt/a"), string("host1"), 2));
    ASSERT_NE(out[0].object_ref, nullptr);
    EXPECT_EQ(static_cast<DS::MountPoint*>(out[0].object_ref)->_refcount_value(), 1u);
    // A state that is no number; only the two record properties: no reference.
    EXPECT_EQ(make_tuple(out[1].state, out[1].object_ref), make_tuple(0, nullptr));

    char name[4096];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(dsm_mountpoint_dvname(&out[0], name, 256), DSM_E_INVALID_ARG);
    EXPECT_EQ(name[0], 'x') << "a short buffer is not touched";
    ASSERT_EQ(dsm_mountpoint_dvname(&out[0], name, sizeof name), DSM_OK);
    EXPECT_EQ(string(name), volume) << "given back whole";
    EXPECT_EQ(name[sizeof name - 1], '\0') << "the whole buffer is cleared";
    uint64_t flags = 0;
    ASSERT_EQ(dsm_mountpoint_flags(&out[0], &flags), DSM_OK);
    EXPECT_EQ(flags, 18446744073709551615ull);
    EXPECT_EQ(dsm_removeref_mountpoint_list(out, 2), DSM_OK);

    LogCapture capture;
    EXPECT_EQ(dsm_get_diskgroup_mountpoints(&info, out, -1, &avail), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Input argument 'num_alloc_mps' is negative (-1)", DSM_SEV_ERROR,
                            "dsm_get_diskgroup_mountpoints"));
    dsm_removeref_diskgroupinfo(&info);
}

// Server type names and subtypes are the helper's; the library checks,
// refuses and cuts.
TEST_F(MountPoints, GlobalAttributesAndServerTypes) {
    char old[64];
    ASSERT_EQ(dsm_set_global_attribute("RetentionLevel", "7", old, sizeof old), DSM_OK);
    ASSERT_EQ(dsm_set_global_attribute("RetentionLevel", "9", old, sizeof old), DSM_OK);
    EXPECT_STREQ(old, "7");
    LogCapture capture;
    for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
        ASSERT_EQ(dsm_set_global_attribute("RetentionLevel", empty, old, empty ? sizeof old : 2), DSM_OK);
        EXPECT_STREQ(old, "9") << "an empty value only reads";
    }
    EXPECT_TRUE(capture.has("value = empty - Getting value", DSM_SEV_TRACE, "dsm_set_global_attribute"));
    EXPECT_EQ(dsm_set_global_attribute(nullptr, "1", old, sizeof old), DSM_E_INVALID_ARG);

    uint32_t got = 99;
    EXPECT_EQ(dsm_get_disk_subtype("SnapVault", &got), DSM_OK);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(dsm_get_disk_subtype("AdvancedDisk", &got), DSM_E_INVALID_ARG);
    EXPECT_EQ(got, 3u);
    EXPECT_TRUE(capture.has("Unknown storager server type: AdvancedDisk", DSM_SEV_ERROR, "dsm_get_disk_subtype"));
    char back[65], small[5];
    EXPECT_EQ(dsm_get_storageserver_type(6, back, sizeof back), DSM_OK);
    EXPECT_STREQ(back, "DiskPool");
    EXPECT_EQ(dsm_get_storageserver_type(1, small, sizeof small), DSM_OK);
    EXPECT_STREQ(small, "Basi") << "cut to the caller's length";
    EXPECT_EQ(dsm_get_storageserver_type(-1, small, sizeof small), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Input argument 'disk_subtype' is negative (-1)", DSM_SEV_ERROR,
                            "dsm_get_storageserver_type"));
}

TEST_F(MountPoints, LsuListGrowsAcrossPoolsAndIsFreedByTheCaller) {
    const char* op = "getDiskGroupInfoListByStorageUnitLabel";
    dsm_ELP_lsu_t* list = nullptr;
    int count = -1;
    reply_with(control(), op, DS::DiskGroupInfoSeq());
    ASSERT_EQ(dsm_get_ELP_LSU_list_by_storage_unit_label("127.0.0.1", "none", nullptr, 0, &list, &count), DSM_OK);
    EXPECT_EQ(make_tuple(count, list), make_tuple(0, nullptr));

    // Pool p has the given number of volumes "p<p>v<v>" and, as its first
    // storage server, sts<number of pools - p>.
    const int volume_counts[] = {2, 3, 0, 40};
    DS::DiskGroupInfoSeq seq;
    seq.length(std::size(volume_counts));
    for (CORBA::ULong p = 0; p < seq.length(); ++p) {
        DS::DiskGroupInfo_var info = pool_value("pool" + std::to_string(p));
        info->hosts().length(1);
        info->hosts()[0] = new OBV_DS::StorageServer;
        info->hosts()[0]->name(("sts" + std::to_string(seq.length() - p)).c_str());
        info->volumes().length(volume_counts[p]);
        for (int v = 0; v < volume_counts[p]; ++v) {
            info->volumes()[v] = new OBV_DS::DiskVolume;
            info->volumes()[v]->name(("p" + std::to_string(p) + "v" + std::to_string(v)).c_str());
        }
        seq[p] = info._retn();
    }
    reply_with(control(), op, seq);
    ASSERT_EQ(dsm_get_ELP_LSU_list_by_storage_unit_label("127.0.0.1", "many", "AdvancedDisk", 1, &list, &count),
              DSM_OK);
    ASSERT_EQ(count, 45);
    EXPECT_EQ(make_tuple(string(list[0].lsu_name), string(list[0].diskgroup_name), string(list[0].server_type)),
              make_tuple(string("p0v0"), string("pool0"), string("AdvancedDisk")));
    // Service order across pools, each with the first storage server of its pool.
    EXPECT_EQ(make_tuple(string(list[2].lsu_name), string(list[44].lsu_name), string(list[44].stserver_name)),
              make_tuple(string("p1v0"), string("p3v39"), string("sts1")));
    std::free(list);
}

TEST(LsuOrder, ByServerNameThenTypeAsUnsignedBytes) {
    const std::tuple<dsm_ELP_lsu_t, dsm_ELP_lsu_t, int> cases[] = {
        {lsu("a", "z"), lsu("b", "a"), -1}, {lsu("b", "a"), lsu("a", "z"), 1}, {lsu("a", "a"), lsu("a", "z"), -1},
        {lsu("b", "a"), lsu("\xc3\xa9", "a"), -1},  // bytes above 127 sort last
        {lsu("a", "a", "x"), lsu("a", "a", "y"), 0}};
    for (const auto& [a, b, order] : cases) {
        SCOPED_TRACE(std::string(a.stserver_name) + "/" + a.server_type + " vs " + b.stserver_name);
        EXPECT_EQ(dsm_sort_ELP_lsu_list_by_ssname_sstype(&a, &b), order);
    }
}
