// Mount points of a pool, global attributes, server type translation and
// the LSU list of a storage unit label with its comparison.
#include "LogCapture.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace dsmtest;

namespace {

class MountPoints : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dsmlib_set_emmserver(ServiceEnvironment::get().service().address().c_str());
    }
};

DS::MountPoint* mount(const std::string& path, const Props& props) {
    auto* m = new OBV_DS::MountPoint;
    m->path(path.c_str());
    for (auto& p : props) add_property(m->properties(), p.first.c_str(), p.second);
    return m;
}

int by_server(const void* a, const void* b) {
    return dsm_sort_ELP_lsu_list_by_ssname_sstype(static_cast<const dsm_ELP_lsu_t*>(a),
                                                  static_cast<const dsm_ELP_lsu_t*>(b));
}

dsm_ELP_lsu_t lsu(const char* server, const char* type, const char* name = "") {
    dsm_ELP_lsu_t l;
    std::memset(&l, 0, sizeof l);
    set(l.stserver_name, server);
    set(l.server_type, type);
    set(l.lsu_name, name);
    return l;
}

}  // namespace

TEST_F(MountPoints, ListedUnderTheBufferProtocolAndHeldOnlyWhenNeeded) {
    DS::DiskGroupInfo_var pool = pool_value("pool1");
    seed(control(), pool.in());
    DS::MountPointSeq mps;
    mps.length(3);
    mps[0] = mount("/mnt/a", {{"DSM::storageServer", "host1"}, {"DSM::state", "2"},
                              {"DSM::diskVolumeName", "vol-a"}, {"DSM::flags", "18446744073709551615"}});
    mps[1] = mount("/mnt/b", {{"DSM::storageServer", "host2"}, {"DSM::state", "busy"}});
    mps[2] = mount("/mnt/c", {});
    CORBA::Any a;
    a <<= mps;
    control()->scriptReply("getMountPointList", 2, a);

    dsm_diskgroup_t g = pool_record("pool1");
    dsm_diskgroupinfo_t info = empty_info();
    ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &info), DSM_OK);

    dsm_mountpoint_t out[3];
    int avail = 0;
    ASSERT_EQ(dsm_get_diskgroup_mountpoints(&info, out, 2, &avail), DSM_OK);
    EXPECT_EQ(avail, 3);
    EXPECT_STREQ(out[0].path, "/mnt/a");
    EXPECT_STREQ(out[0].machine_name, "host1");
    EXPECT_EQ(out[0].state, 2);
    ASSERT_NE(out[0].object_ref, nullptr);
    EXPECT_EQ(static_cast<DS::MountPoint*>(out[0].object_ref)->_refcount_value(), 1u);
    EXPECT_EQ(out[1].state, 0) << "text that is no number";
    EXPECT_EQ(out[1].object_ref, nullptr) << "only the two record properties: no reference";

    char name[4096];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(dsm_mountpoint_dvname(&out[0], name, 256), DSM_E_INVALID_ARG);
    EXPECT_EQ(name[0], 'x') << "a short buffer is not touched";
    ASSERT_EQ(dsm_mountpoint_dvname(&out[0], name, sizeof name), DSM_OK);
    EXPECT_STREQ(name, "vol-a");
    EXPECT_EQ(name[sizeof name - 1], '\0') << "the whole buffer is cleared";
    uint64_t flags = 0;
    ASSERT_EQ(dsm_mountpoint_flags(&out[0], &flags), DSM_OK);
    EXPECT_EQ(flags, 18446744073709551615ull);
    EXPECT_EQ(dsm_removeref_mountpoint_list(out, 2), DSM_OK);
    EXPECT_EQ(out[0].object_ref, nullptr);

    LogCapture capture;
    EXPECT_EQ(dsm_mountpoint_flags(&out[0], &flags), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("mountpoint object reference is NULL", DSM_SEV_ERROR, "dsm_mountpoint_flags"));
    EXPECT_EQ(dsm_get_diskgroup_mountpoints(&info, out, -1, &avail), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Input argument 'num_alloc_mps' is negative (-1)", DSM_SEV_ERROR,
                            "dsm_get_diskgroup_mountpoints"));
    dsm_removeref_diskgroupinfo(&info);
}

TEST_F(MountPoints, GlobalAttributeIsStateOfTheService) {
    char old[64];
    ASSERT_EQ(dsm_set_global_attribute("RetentionLevel", "7", old, sizeof old), DSM_OK);
    ASSERT_EQ(dsm_set_global_attribute("RetentionLevel", "9", old, sizeof old), DSM_OK);
    EXPECT_STREQ(old, "7");
    LogCapture capture;
    ASSERT_EQ(dsm_set_global_attribute("RetentionLevel", "", old, sizeof old), DSM_OK);
    EXPECT_STREQ(old, "9") << "an empty value only reads";
    EXPECT_TRUE(capture.has("value = empty - Getting value", DSM_SEV_TRACE, "dsm_set_global_attribute"));
    ASSERT_EQ(dsm_set_global_attribute("RetentionLevel", nullptr, old, 2), DSM_OK);
    EXPECT_STREQ(old, "9");
    EXPECT_EQ(dsm_set_global_attribute(nullptr, "1", old, sizeof old), DSM_E_INVALID_ARG);
}

TEST(ServerTypes, TranslatedBothWaysAndUnknownNamesRejected) {
    const std::pair<const char*, uint32_t> known[] = {
        {"LegacyDisk", 0}, {"BasicDisk", 1}, {"NearStore", 2}, {"SnapVault", 3}, {"SANDisk", 6}};
    for (auto& [name, subtype] : known) {
        uint32_t got = 99;
        EXPECT_EQ(dsm_get_disk_subtype(name, &got), DSM_OK) << name;
        EXPECT_EQ(got, subtype);
        char back[65];
        EXPECT_EQ(dsm_get_storageserver_type(static_cast<int>(subtype), back, sizeof back), DSM_OK);
        EXPECT_STREQ(back, subtype == 6 ? "DiskPool" : name);
    }
    LogCapture capture;
    uint32_t got = 5;
    EXPECT_EQ(dsm_get_disk_subtype("AdvancedDisk", &got), DSM_E_INVALID_ARG);
    EXPECT_EQ(got, 5u);
    EXPECT_TRUE(capture.has("Unknown storager server type: AdvancedDisk", DSM_SEV_ERROR, "dsm_get_disk_subtype"));
    char small[5];
    EXPECT_EQ(dsm_get_storageserver_type(1, small, sizeof small), DSM_OK);
    EXPECT_STREQ(small, "Basi") << "cut to the caller's length";
    EXPECT_EQ(dsm_get_storageserver_type(-1, small, sizeof small), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Input argument 'disk_subtype' is negative (-1)", DSM_SEV_ERROR,
                            "dsm_get_storageserver_type"));
}

TEST_F(MountPoints, LsuListGrowsAcrossPoolsAndIsFreedByTheCaller) {
    auto label_pools = [&](std::initializer_list<int> volume_counts) {
        DS::DiskGroupInfoSeq seq;
        seq.length(static_cast<CORBA::ULong>(volume_counts.size()));
        CORBA::ULong p = 0;
        for (int n : volume_counts) {
            DS::DiskGroupInfo_var info = pool_value("pool" + std::to_string(p));
            info->hosts().length(1);
            auto* host = new OBV_DS::StorageServer;
            host->name(("sts" + std::to_string(volume_counts.size() - p)).c_str());
            info->hosts()[0] = host;
            info->volumes().length(n);
            for (int v = 0; v < n; ++v) {
                auto* vol = new OBV_DS::DiskVolume;
                vol->name(("p" + std::to_string(p) + "v" + std::to_string(v)).c_str());
                info->volumes()[v] = vol;
            }
            seq[p++] = info._retn();
        }
        CORBA::Any a;
        a <<= seq;
        control()->scriptReply("getDiskGroupInfoListByStorageUnitLabel", 1, a);
    };

    dsm_ELP_lsu_t* list = nullptr;
    int count = -1;
    label_pools({});
    ASSERT_EQ(dsm_get_ELP_LSU_list_by_storage_unit_label("127.0.0.1", "none", nullptr, 0, &list, &count), DSM_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(list, nullptr);

    label_pools({1});
    ASSERT_EQ(dsm_get_ELP_LSU_list_by_storage_unit_label("127.0.0.1", "one", "", 0, &list, &count), DSM_OK);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(list[0].lsu_name, "p0v0");
    EXPECT_STREQ(list[0].diskgroup_name, "pool0");
    EXPECT_STREQ(list[0].server_type, "AdvancedDisk");
    std::free(list);

    label_pools({2, 3, 0, 40});
    ASSERT_EQ(dsm_get_ELP_LSU_list_by_storage_unit_label("127.0.0.1", "many", "AdvancedDisk", 1, &list, &count),
              DSM_OK);
    ASSERT_EQ(count, 45);
    EXPECT_STREQ(list[0].lsu_name, "p0v0");
    EXPECT_STREQ(list[2].lsu_name, "p1v0") << "service order across pools";
    EXPECT_STREQ(list[44].lsu_name, "p3v39");
    EXPECT_STREQ(list[44].stserver_name, "sts1") << "the first storage server of its pool";
    std::qsort(list, static_cast<size_t>(count), sizeof *list, by_server);
    for (int i = 1; i < count; ++i) EXPECT_LE(by_server(&list[i - 1], &list[i]), 0);
    EXPECT_STREQ(list[0].stserver_name, "sts1");
    std::free(list);
}

TEST(LsuOrder, ByServerNameThenTypeAsUnsignedBytes) {
    const dsm_ELP_lsu_t az = lsu("a", "z"), ba = lsu("b", "a"), aa = lsu("a", "a"), high = lsu("\xc3\xa9", "a");
    EXPECT_EQ(dsm_sort_ELP_lsu_list_by_ssname_sstype(&az, &ba), -1);
    EXPECT_EQ(dsm_sort_ELP_lsu_list_by_ssname_sstype(&ba, &az), 1);
    EXPECT_EQ(dsm_sort_ELP_lsu_list_by_ssname_sstype(&aa, &az), -1);
    EXPECT_EQ(dsm_sort_ELP_lsu_list_by_ssname_sstype(&ba, &high), -1) << "bytes above 127 sort last";
    const dsm_ELP_lsu_t same1 = lsu("a", "a", "x"), same2 = lsu("a", "a", "y");
    EXPECT_EQ(dsm_sort_ELP_lsu_list_by_ssname_sstype(&same1, &same2), 0);
}
