// Faults found by fuzzing and by the memory checkers, each kept as the case
// that found it: list replies with null elements, figures whose difference
// overflows, argument cells made from memory that still holds an old cell,
// request values with members nobody set, and record fields without a
// terminator. The fuzz inputs behind them stay in fuzz/corpus.
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
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>

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

TEST(RegressionsOffline, VolumeFiguresWrapWhereTheDifferenceOverflows) {
    // Extraction computes free = capacity - used, population used = capacity
    // - free: each row holds both ways round.
    struct Figures {
        CORBA::LongLong capacity, used, free_space;
    };
    constexpr CORBA::LongLong kMin = std::numeric_limits<CORBA::LongLong>::min();
    constexpr CORBA::LongLong kMax = std::numeric_limits<CORBA::LongLong>::max();
    const Figures cases[] = {{kMin, 1, kMax}, {kMax, -1, kMin}, {kMax, kMin, -1}, {1000, 300, 700}};
    for (const Figures& c : cases) {
        DS::DiskVolumeInfo_var info = new OBV_DS::DiskVolumeInfo;
        info->capacity(c.capacity);
        info->used(c.used);
        dsm_diskvolumeinfo_t rec;
        std::memset(&rec, 0, sizeof rec);
        ASSERT_EQ(dsml_extract_diskvolumeinfo(info.in(), &rec), DSM_OK);
        EXPECT_EQ(rec.free_space, c.free_space) << c.capacity << " - " << c.used;

        rec.free_space = c.free_space;
        DS::DiskVolumeInfo_var sent = new OBV_DS::DiskVolumeInfo;
        ASSERT_EQ(dsml_populate_diskvolumeinfo(&rec, sent.in()), DSM_OK);
        EXPECT_EQ(sent->used(), c.used) << c.capacity << " - " << c.free_space;
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

// ---- what the library sends ----

namespace {

// The members of the arguments of an operation's last call, named
// "<argument>.<member>": a list element adds "[i]", a property is named by
// its own name. A plain string argument is named by its position alone.
struct Received {
    std::map<std::string, long long> numbers;
    std::map<std::string, std::string> texts;
};

void flatten(const DS::ObjSpec& v, const std::string& at, Received& r) {
    r.texts[at + "name"] = v.name();
    r.texts[at + "objId"] = v.objId();
    r.numbers[at + "type"] = v.type();
    const DS::PropertySeq& props = v.properties();
    for (CORBA::ULong i = 0; i < props.length(); ++i)
        if (props[i]) r.texts[at + props[i]->name()] = props[i]->value();
}

void flatten(const DS::StorageServer& v, const std::string& at, Received& r) {
    flatten(static_cast<const DS::ObjSpec&>(v), at, r);
    r.texts[at + "servertype"] = v.servertype();
}

void flatten(const DS::StorageServerConfigItem& v, const std::string& at, Received& r) {
    flatten(static_cast<const DS::ObjSpec&>(v), at, r);
    r.texts[at + "value"] = v.value();
    r.numbers[at + "cdtype"] = v.cdtype();
}

template <class Seq>
void flatten_list(const Seq* seq, const std::string& at, Received& r) {
    for (CORBA::ULong i = 0; i < seq->length(); ++i)
        if ((*seq)[i]) flatten(*(*seq)[i], at + "[" + std::to_string(i) + "].", r);
}

// Pools and volumes add their size to the common members.
template <class T>
bool flatten_sized(const CORBA::Any& a, const std::string& at, Received& r) {
    T* v = nullptr;
    if (!(a >>= v)) return false;
    if (v) {
        flatten(*v, at, r);
        r.numbers[at + "size"] = v->size();
    }
    return true;
}

Received received(DsmControl::Control_ptr control, const char* op) {
    DsmControl::AnySeq_var args = control->lastArguments(op);
    Received r;
    for (CORBA::ULong i = 0; i < args->length(); ++i) {
        const CORBA::Any& a = args[i];
        const std::string at = std::to_string(i) + ".";
        DS::StorageServer* server = nullptr;
        const DS::StorageServerSeq* servers = nullptr;
        const DS::StorageServerConfigItemSeq* items = nullptr;
        const char* text = nullptr;
        if (flatten_sized<DS::DiskGroup>(a, at, r) || flatten_sized<DS::DiskVolume>(a, at, r)) continue;
        if (a >>= server) {
            if (server) flatten(*server, at, r);
        } else if (a >>= servers) {
            flatten_list(servers, at, r);
        } else if (a >>= items) {
            flatten_list(items, at, r);
        } else if (a >>= text) {
            r.texts[std::to_string(i)] = text;
        }
    }
    return r;
}

}  // namespace

// Its own ctest entry runs this under an allocator that fills new memory
// with 0x5a: a member the library leaves unset arrives as that pattern. The
// records here carry no number, so every number the service sees is 0.
TEST_F(Regressions, RequestValuesLeaveNoMemberUnset) {
    const dsm_diskgroup_t pool = pool_record("p1");
    dsm_storageserver_t server = server_record("sts1");
    server.storage_type = 0;
    dsm_diskvolume_t volume;
    std::memset(&volume, 0, sizeof volume);
    set(volume.name, "v1");
    volume.diskgroup = pool;
    dsm_diskvolumeinfo_t info;
    std::memset(&info, 0, sizeof info);
    std::memcpy(&info, &volume, sizeof volume);
    dsm_diskgroupinfo_t pool_info = empty_info();
    pool_info.diskgroup = pool;
    dsm_configitem_t items[2];
    std::memset(items, 0, sizeof items);
    items[0].data_type = 3;  // the service's kind 0
    items[1].data_type = 5;  // refused, and sent as far as it was filled
    dsm_disk_t disk;
    std::memset(&disk, 0, sizeof disk);
    dsm_diskvolumeinfo_t volume_out;
    dsm_diskgroupinfo_t pool_out = empty_info();
    dsm_enclosure_t enclosures[1];
    const unsigned char all[6] = {1, 1, 1, 1, 1, 1};
    int avail = 0;
    const std::pair<const char*, std::function<void()>> requests[] = {
        {"getDiskVolumeInfo", [&] { dsm_diskvolume_load(&info, 0); }},
        {"createDiskVolume", [&] { dsm_create_diskvolume(&volume, &disk, 1, 1, &volume_out); }},
        {"createDiskVolume",
         [&] { dsm_create_diskvolume_from_diskvolumeinfo(&info, &disk, 1, 1, &volume_out, nullptr); }},
        {"updateDiskVolume", [&] { dsm_update_diskvolume(&info, all, 1, &volume_out); }},
        {"deleteDiskVolume", [&] { dsm_delete_diskvolume(&volume, 1, &volume_out, nullptr); }},
        {"updateDiskVolumeState", [&] { dsm_update_diskvolume_state(&volume, 1, 1, &volume_out, nullptr); }},
        {"getDiskVolumeInfoList",
         [&] { dsm_get_diskvolumeinfo_list(&server, 1, &pool, 1, &volume_out, 0, &avail); }},
        {"createDiskGroup", [&] { dsm_create_diskgroup(&pool, &server, 1, &disk, 1, 1, &pool_out, nullptr); }},
        {"updateDiskGroup", [&] { dsm_update_diskgroup(&pool_info, all, 1, &pool_out, nullptr); }},
        {"mergeDiskGroups", [&] { dsm_merge_diskgroups(&pool, &pool, &pool_out, nullptr); }},
        {"addStorageServer", [&] { dsm_add_diskgroup_stserver(&pool, &server, nullptr); }},
        {"createStorageServer", [&] { dsm_create_storageserver(&server, 1, nullptr); }},
        {"updateStorageServer", [&] { dsm_update_storageserver(&server, 1, nullptr); }},
        {"updateStorageServerConfig",
         [&] { dsm_update_storageserver_configitems(&server, 1, items, 2, nullptr); }},
        {"getEnclosureList", [&] { dsm_get_enclosure_list(&server, 1, enclosures, 1, &avail); }},
    };
    for (const auto& request : requests) {
        ServiceEnvironment::get().reset();
        request.second();
        const Received got = received(control(), request.first);
        EXPECT_FALSE(got.numbers.empty()) << request.first << " sent no value";
        for (const auto& n : got.numbers) EXPECT_EQ(n.second, 0) << request.first << " " << n.first;
    }

    // Built but never sent: the volume info a record is given to hold flags.
    ASSERT_EQ(dsm_set_diskvolume_flags(&info, 1), DSM_OK);
    const auto* held = static_cast<const DS::DiskVolumeInfo*>(info.object_ref);
    EXPECT_EQ(held->stsState(), 0);
    EXPECT_EQ(held->state(), 0);
    EXPECT_EQ(held->potential_free(), 0);
    dsm_removeref_diskvolumeinfo(&info);
}

namespace {

// A record in memory of exactly its size with every byte 'x': its character
// fields have no terminator, and a read past one leaves the allocation.
template <class Rec>
std::unique_ptr<Rec> unterminated() {
    std::unique_ptr<Rec> rec(new Rec);
    std::memset(static_cast<void*>(rec.get()), 'x', sizeof(Rec));
    return rec;
}

}  // namespace

TEST_F(Regressions, UnterminatedRecordFieldsAreReadWholeAndNoFurther) {
    LogCapture log;  // log lines read the fields too
    auto pool = unterminated<dsm_diskgroup_t>();
    auto pool_info = unterminated<dsm_diskgroupinfo_t>();
    pool_info->object_ref = nullptr;
    auto volume = unterminated<dsm_diskvolume_t>();
    auto info = unterminated<dsm_diskvolumeinfo_t>();
    info->object_ref = nullptr;
    auto disk = unterminated<dsm_disk_t>();
    auto server = unterminated<dsm_storageserver_t>();
    auto server_info = unterminated<dsm_storageserverinfo_t>();
    server_info->object_ref = nullptr;
    auto item = unterminated<dsm_configitem_t>();
    item->data_type = 3;
    auto lsu_a = unterminated<dsm_ELP_lsu_t>();
    auto lsu_b = unterminated<dsm_ELP_lsu_t>();
    // An enclosure record must hold its enclosure to be imported.
    DS::EnclosureInfo_var seeded = enclosure_value("e1", 1, 100, {});
    seed(control(), seeded.in());
    const dsm_storageserver_t sts1 = server_record("sts1", "SANDisk");
    dsm_enclosureinfo_t listed;
    std::memset(&listed, 0, sizeof listed);
    int avail = 0;
    ASSERT_EQ(dsm_get_enclosureinfo_list(&sts1, 1, &listed, 1, &avail), DSM_OK);
    ASSERT_NE(listed.object_ref, nullptr);
    auto enclosure = unterminated<dsm_enclosureinfo_t>();
    enclosure->object_ref = listed.object_ref;

    dsm_diskgroupinfo_t pool_out = empty_info();
    dsm_diskvolumeinfo_t volume_out;
    dsm_name_t names[1];
    const unsigned char all[3] = {1, 1, 1};
    struct Case {
        const char* record;
        std::function<int()> call;
        int status;
        const char* op;  // null: the call reaches no service
        std::map<std::string, std::size_t> lengths;
    };
    const Case cases[] = {
        {"pool", [&] { return dsm_get_diskgroupinfo(pool.get(), 1, &pool_out); }, DSM_E_NULL_RESULT,
         "getDiskGroupInfo",
         {{"0.name", 257}, {"0.objId", 257}, {"0.DSM::master", 1025}, {"0.DSM::servertype", 65},
          {"0.DSM::mediaServer", 1025}}},
        {"pool info", [&] { return dsm_update_diskgroup(pool_info.get(), all, 1, &pool_out, nullptr); },
         DSM_E_NULL_RESULT, "updateDiskGroup", {{"0.name", 257}, {"0.DSM::userTag", 257}}},
        {"volume", [&] { return dsm_delete_diskvolume(volume.get(), 1, &volume_out, nullptr); },
         DSM_E_NULL_RESULT, "deleteDiskVolume",
         {{"0.name", 257}, {"0.objId", 4097}, {"1.name", 257}, {"1.DSM::mediaServer", 1025}}},
        {"volume info",
         [&] { return dsm_create_diskvolume_from_diskvolumeinfo(info.get(), disk.get(), 1, 1, &volume_out, nullptr); },
         DSM_E_NULL_RESULT, "createDiskVolume",
         {{"0.name", 257}, {"0.objId", 4097}, {"0.DSM::diskMediaId", 33}, {"0.DSM::systemTag", 257},
          {"0.Volume Layout String", 257}, {"1.DSM::master", 1025}}},
        {"volume info to load", [&] { return dsm_diskvolume_load(info.get(), 0); }, DSM_E_NULL_RESULT,
         "getDiskVolumeInfo", {{"0.name", 257}, {"1.name", 257}, {"1.DSM::master", 1025}, {"1.DSM::servertype", 65}}},
        {"disk", [&] { return dsm_create_diskvolume(volume.get(), disk.get(), 1, 1, &volume_out); },
         DSM_E_NULL_RESULT, "createDiskVolume", {{"0.volume_config", 1025}}},
        {"storage server", [&] { return dsm_create_storageserver(server.get(), 1, nullptr); }, DSM_E_NULL_RESULT,
         "createStorageServer",
         {{"0.name", 1025}, {"0.objId", 257}, {"0.servertype", 65}, {"0.DSM::mediaServer", 1025}}},
        {"storage server by name",
         [&] { return dsm_get_diskvolumeinfo_by_name("127.0.0.1", server.get(), "v", &volume_out); },
         DSM_E_NULL_RESULT, "getDiskVolumeInfoByName", {{"1", 65}, {"3", 1025}}},
        {"storage server by volume id",
         [&] { return dsm_get_diskvolumeinfo_by_volumeid("127.0.0.1", server.get(), "v", &volume_out); },
         DSM_E_NULL_RESULT, "getDiskVolumeInfoByLegacyInfo", {{"1", 1025}, {"2", 65}}},
        {"config item",
         [&] { return dsm_update_storageserver_configitems(server.get(), 1, item.get(), 1, nullptr); }, DSM_OK,
         "updateStorageServerConfig", {{"0.name", 1025}, {"1.[0].name", 65}, {"1.[0].value", 1025}}},
        {"storage server info",
         [&] { return dsm_get_storageserver_arraytypes(server_info.get(), names, nullptr, 1, &avail); },
         DSM_E_INVALID_ARG, nullptr, {}},
        {"enclosure info",
         [&] { return dsm_import_enclosure(enclosure.get(), "pool", "127.0.0.1", server.get(), 1, 0, &pool_out); },
         DSM_E_NULL_RESULT, "importEnclosure", {{"2.[0].name", 1025}}},
        {"storage units alike", [&] { return dsm_sort_ELP_lsu_list_by_ssname_sstype(lsu_a.get(), lsu_b.get()); },
         0, nullptr, {}},
        {"storage units apart in their last byte",
         [&] {
             lsu_b->server_type[sizeof lsu_b->server_type - 1] = 'y';
             return dsm_sort_ELP_lsu_list_by_ssname_sstype(lsu_a.get(), lsu_b.get());
         },
         -1, nullptr, {}},
    };
    for (const Case& c : cases) {
        ServiceEnvironment::get().reset();
        control()->returnNull("*", 1);
        EXPECT_EQ(c.call(), c.status) << c.record;
        if (!c.op) continue;
        const Received got = received(control(), c.op);
        for (const auto& want : c.lengths) {
            const auto it = got.texts.find(want.first);
            ASSERT_NE(it, got.texts.end()) << c.record << " " << want.first;
            EXPECT_EQ(it->second.size(), want.second) << c.record << " " << want.first;
        }
    }
    EXPECT_FALSE(log.exactly("Invalid servertype for storage server" + std::string(65, 'x')).empty());
    dsm_removeref_enclosureinfo(&listed);
}
