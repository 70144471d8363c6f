// Faults found by fuzzing and by the memory checkers, each kept as the case
// that found it: list replies with null elements, figures whose difference
// overflows, and argument cells made from memory that still holds an old
// cell. The fuzz inputs behind them stay in fuzz/corpus.
#include "Adopt.h"
#include "LogCapture.h"
#include "PoolHelpers.h"

#include "DiskServiceHelper.h"
#include "brnwlog.h"
#include "dsmlib_popext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

using namespace dsmtest;

// ---- an allocator that hands out memory holding an old argument cell ----

// The binary is linked with --wrap=malloc: every malloc of the library's
// own units comes here first.
extern "C" void* __real_malloc(std::size_t size);

namespace {

std::atomic<bool> g_stale_cells{false};
char g_not_from_malloc[8];

// What a string cell of the argument library looks like: its tag and the
// text it would free.
struct StaleCell {
    int tag = 1;
    char* text = g_not_from_malloc;
};

}  // namespace

extern "C" void* __wrap_malloc(std::size_t size) {
    void* p = __real_malloc(size);
    if (p && g_stale_cells && size == sizeof(brnwLisAny_t)) {
        const StaleCell stale;
        std::memcpy(p, &stale, sizeof stale);
    }
    return p;
}

namespace {

namespace FW = Orvane::Keldra::TL::Framework;

// {null, value}: the null element first, so that the call must go on past it.
template <class Seq, class T>
Seq null_then(T* value) {
    Seq seq;
    seq.length(2);
    seq[1] = value;  // adopts
    return seq;
}

template <class Seq>
void reply_with(DsmControl::Control_ptr control, const char* op, const Seq& seq) {
    CORBA::Any a;
    a <<= seq;
    control->scriptReply(op, 1, a);
}

DS::DiskVolume* volume_value(const char* name) {
    auto* v = new OBV_DS::DiskVolume;
    v->name(name);
    v->objId(name);
    return v;
}

DS::StorageServer* server_value(const char* name) {
    auto* s = new OBV_DS::StorageServer;
    s->name(name);
    s->servertype("AdvancedDisk");
    return s;
}

DS::DiskVolumeInfo* volume_info_value(const char* name) {
    auto* info = new OBV_DS::DiskVolumeInfo;
    info->volume(adopt(volume_value(name)));
    info->name(name);
    info->capacity(100);
    return info;
}

DS::StorageServerInfo* server_info_value(const char* name) {
    auto* info = new OBV_DS::StorageServerInfo;
    info->host(adopt(server_value(name)));
    info->name(name);
    return info;
}

// The warning an element that cannot be converted leaves, from 'function'.
bool warned(const LogCapture& log, const std::string& text, const char* function) {
    return log.has(text, DSM_SEV_WARNING, function);
}

class Regressions : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dsmlib_set_emmserver(ServiceEnvironment::get().service().address().c_str());
    }
};

}  // namespace

TEST_F(Regressions, NullElementsOfListRepliesAreSkippedWithAWarning) {
    LogCapture log;
    const dsm_storageserver_t none = server_record("");
    int avail = 0;

    DS::DiskGroupInfo_var pool = pool_value("p1");
    pool->group()->_add_ref();
    reply_with(control(), "getDiskGroupList", null_then<DS::DiskGroupSeq>(pool->group()));
    dsm_diskgroupinfo_t pools[2];
    std::memset(pools, 0x5a, sizeof pools);  // the list clears what it fills
    ASSERT_EQ(dsm_get_diskgroup_list(&none, 0, 0, 0, 1, pools, 2, &avail), DSM_OK);
    EXPECT_EQ(avail, 2);
    EXPECT_STREQ(pools[0].diskgroup.name, "");
    EXPECT_STREQ(pools[1].diskgroup.name, "p1");
    EXPECT_TRUE(warned(log, "Failed to extract diskgroup #0", "dsm_get_diskgroup_list")) << log.dump();

    reply_with(control(), "getDiskGroupInfoList", null_then<DS::DiskGroupInfoSeq>(pool_value("p1")));
    std::memset(pools, 0, sizeof pools);
    ASSERT_EQ(dsm_get_diskgroupinfo_list(&none, 0, 0, 0, 1, pools, 2, &avail), DSM_OK);
    EXPECT_EQ(pools[0].object_ref, nullptr);
    EXPECT_STREQ(pools[1].diskgroup.name, "p1");
    EXPECT_TRUE(warned(log, "Failed to extract diskgroupinfo #0", "dsm_get_diskgroupinfo_list"));
    dsm_removeref_diskgroupinfo_list(pools, 2);

    reply_with(control(), "getDiskGroupInfoListByStorageUnitLabel",
               null_then<DS::DiskGroupInfoSeq>(pool_value("p1")));
    dsm_diskgroupinfo_t* labelled = nullptr;
    ASSERT_EQ(dsm_get_diskgroupinfo_list_by_storage_unit_label("m", "label", "", 0, &labelled, &avail), DSM_OK);
    ASSERT_EQ(avail, 2);
    EXPECT_STREQ(labelled[1].diskgroup.name, "p1");
    EXPECT_TRUE(warned(log, "Failed to extract diskgroupinfo #0",
                       "dsm_get_diskgroupinfo_list_by_storage_unit_label"));
    dsm_removeref_diskgroupinfo_list(labelled, avail);
    std::free(labelled);

    reply_with(control(), "getDiskVolumeInfoList", null_then<DS::DiskVolumeInfoSeq>(volume_info_value("v1")));
    const dsm_diskgroup_t key = pool_record("p1");
    const dsm_storageserver_t server = server_record("sts1");
    dsm_diskvolumeinfo_t volumes[2];
    ASSERT_EQ(dsm_get_diskvolumeinfo_list(&server, 1, &key, 1, volumes, 2, &avail), DSM_OK);
    EXPECT_EQ(volumes[0].object_ref, nullptr);
    EXPECT_STREQ(volumes[1].name, "v1");
    EXPECT_TRUE(warned(log, "Failed to extract diskvolumeinfo #0", "dsm_get_diskvolumeinfo_list"));
    dsm_removeref_diskvolumeinfo_list(volumes, 2);

    reply_with(control(), "getStorageServerInfoList", null_then<DS::StorageServerInfoSeq>(server_info_value("s1")));
    dsm_storageserverinfo_t servers[2];
    ASSERT_EQ(dsm_get_storageserverinfo_list("", 1, servers, 2, &avail), DSM_OK);
    EXPECT_STREQ(servers[1].stserver.name, "s1");
    EXPECT_TRUE(warned(log, "Failed to extract stsinfo #0", "dsm_get_storageserverinfo_list"));
    dsm_removeref_storageserver_list(servers, 2);
}

TEST_F(Regressions, NullMembersOfAHeldPoolAreSkippedWithAWarning) {
    DS::DiskGroupInfo_var held = pool_value("p1");
    held->volumes() = null_then<DS::DiskVolumeSeq>(volume_value("v1"));
    held->hosts() = null_then<DS::StorageServerSeq>(server_value("s1"));
    auto* disk = new OBV_DS::Disk;
    disk->used(false);  // a boolean member the ORB would otherwise marshal uninitialised
    disk->name("d1");
    held->disks() = null_then<DS::DiskSeq>(static_cast<DS::Disk*>(disk));
    CORBA::Any a;
    a <<= held.in();
    control()->scriptReply("getDiskGroupInfo", 1, a);
    const dsm_diskgroup_t key = pool_record("p1");
    dsm_diskgroupinfo_t info = empty_info();
    ASSERT_EQ(dsm_get_diskgroupinfo(&key, 1, &info), DSM_OK);

    LogCapture log;
    int avail = 0;
    dsm_diskvolumeinfo_t volumes[2];
    ASSERT_EQ(dsm_get_diskgroup_volumes(&info, volumes, 2, &avail), DSM_OK);
    EXPECT_EQ(avail, 2);
    EXPECT_STREQ(volumes[0].name, "");
    EXPECT_STREQ(volumes[1].name, "v1");
    EXPECT_TRUE(warned(log, "Failed to extract diskvolume #0", "dsm_get_diskgroup_volumes")) << log.dump();
    dsm_storageserver_t servers[2];
    ASSERT_EQ(dsm_get_diskgroup_stservers(&info, servers, 2, &avail), DSM_OK);
    EXPECT_STREQ(servers[1].name, "s1");
    EXPECT_TRUE(warned(log, "Failed to extract stserver #0", "dsm_get_diskgroup_stservers"));
    dsm_disk_t disks[2];
    ASSERT_EQ(dsm_get_diskgroup_disks(&info, disks, 2, &avail), DSM_OK);
    EXPECT_STREQ(disks[1].name, "d1");
    EXPECT_EQ(disks[0].availability, 0) << "the null disk's record stays cleared";
    EXPECT_TRUE(warned(log, "Failed to extract disk #0", "dsm_get_diskgroup_disks"));
    dsm_removeref_diskgroupinfo(&info);
}

TEST(RegressionsOffline, VolumeFreeSpaceWrapsWhereTheDifferenceOverflows) {
    struct Figures {
        CORBA::LongLong capacity, used, free_space;
    };
    constexpr CORBA::LongLong kMin = std::numeric_limits<CORBA::LongLong>::min();
    constexpr CORBA::LongLong kMax = std::numeric_limits<CORBA::LongLong>::max();
    const Figures cases[] = {{kMin, 1, kMax}, {kMax, -1, kMin}, {1000, 300, 700}};
    for (const Figures& c : cases) {
        DS::DiskVolumeInfo_var info = new OBV_DS::DiskVolumeInfo;
        info->capacity(c.capacity);
        info->used(c.used);
        dsm_diskvolumeinfo_t rec;
        std::memset(&rec, 0, sizeof rec);
        ASSERT_EQ(dsml_extract_diskvolumeinfo(info.in(), &rec), DSM_OK);
        EXPECT_EQ(rec.free_space, c.free_space) << c.capacity << " - " << c.used;
    }
}

TEST(RegressionsOffline, ArgumentCellsStartClearedWhateverMallocHandsOut) {
    // A raised argument exception wraps its message inserts in cells; one
    // made from recycled memory must not be taken for a cell holding text.
    DS::PropertySeq list;
    g_stale_cells = true;
    bool raised = false;
    try {
        DiskServiceHelper::addProperty(list, "name", nullptr);
    } catch (const FW::IllegalArgumentException& e) {
        raised = e.details.in() && std::strcmp(e.details->argumentName(), "value") == 0;
    }
    g_stale_cells = false;
    EXPECT_TRUE(raised);
    EXPECT_EQ(list.length(), 0u);
}
