// Faults found by fuzzing and by the memory checkers, each kept as the case
// that found it (the fuzz inputs behind them stay in fuzz/corpus).
#include "LogCapture.h"
#include "PoolHelpers.h"

#include "DiskServiceHelper.h"
#include "brnwlog.h"
#include "dsmlib_popext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <tuple>
#include <type_traits>

using namespace dsmtest;
using std::make_tuple;
using std::string;
using Regressions = LibraryTest;

// The binary is linked with --wrap=malloc: every malloc of the library's own
// units comes here first, and may hand out memory that looks like a string
// cell of the argument library (its tag and a text it would free).
extern "C" void* __real_malloc(std::size_t size);

namespace {
std::atomic<bool> g_stale_cells{false};
char g_not_from_malloc[8];
}  // namespace

extern "C" void* __wrap_malloc(std::size_t size) {
    void* p = __real_malloc(size);
    if (p && g_stale_cells && size == sizeof(brnwLisAny_t)) {
        const struct {
            int tag = 1;
            char* text = g_not_from_malloc;
        } stale;
        std::memcpy(p, &stale, sizeof stale);
    }
    return p;
}

namespace {

// {null, value}: the null element first, so that the call must go on past it.
template <class Seq, class T>
Seq null_then(T* value) {
    Seq seq;
    seq.length(2);
    seq[1] = value;  // adopts
    return seq;
}

template <class Value, class Member = Value>
Value* named(const char* name) {
    auto* v = new Member;
    v->name(name);
    return v;
}

}  // namespace

TEST_F(Regressions, NullElementsOfListsAreSkippedWithAWarning) {
    LogCapture log;
    const dsm_storageserver_t none = server_record(""), server = server_record("sts1");
    const dsm_diskgroup_t key = pool_record("p1");
    int avail = 0;

    DS::DiskGroupInfo_var pool = pool_value("p1");
    pool->group()->_add_ref();
    reply_with(control(), "getDiskGroupList", null_then<DS::DiskGroupSeq>(pool->group()));
    dsm_diskgroupinfo_t pools[2];
    std::memset(pools, 0x5a, sizeof pools);  // the list clears what it fills
    ASSERT_EQ(dsm_get_diskgroup_list(&none, 0, 0, 0, 1, pools, 2, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(avail, string(pools[0].diskgroup.name), string(pools[1].diskgroup.name)),
              make_tuple(2, string(), string("p1")));
    EXPECT_TRUE(log.has("Failed to extract diskgroup #0", DSM_SEV_WARNING, "dsm_get_diskgroup_list"));
    reply_with(control(), "getDiskGroupInfoList", null_then<DS::DiskGroupInfoSeq>(pool_value("p1")));
    ASSERT_EQ(dsm_get_diskgroupinfo_list(&none, 0, 0, 0, 1, pools, 2, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(pools[0].object_ref, string(pools[1].diskgroup.name)), make_tuple(nullptr, string("p1")));
    EXPECT_TRUE(log.has("Failed to extract diskgroupinfo #0", DSM_SEV_WARNING, "dsm_get_diskgroupinfo_list"));
    dsm_removeref_diskgroupinfo_list(pools, 2);

    auto* server_info = named<DS::StorageServerInfo, OBV_DS::StorageServerInfo>("s1");
    server_info->host(adopt(named<DS::StorageServer, OBV_DS::StorageServer>("s1")));
    reply_with(control(), "getStorageServerInfoList", null_then<DS::StorageServerInfoSeq>(server_info));
    dsm_storageserverinfo_t infos[2];
    ASSERT_EQ(dsm_get_storageserverinfo_list("", 1, infos, 2, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(infos[0].object_ref, string(infos[1].stserver.name)), make_tuple(nullptr, string("s1")));
    EXPECT_TRUE(log.has("Failed to extract stsinfo #0", DSM_SEV_WARNING, "dsm_get_storageserverinfo_list"));
    dsm_removeref_storageserver_list(infos, 2);

    auto* volume = named<DS::DiskVolumeInfo, OBV_DS::DiskVolumeInfo>("v1");
    volume->volume(adopt(named<DS::DiskVolume, OBV_DS::DiskVolume>("v1")));
    reply_with(control(), "getDiskVolumeInfoList", null_then<DS::DiskVolumeInfoSeq>(volume));
    dsm_diskvolumeinfo_t volumes[2];
    ASSERT_EQ(dsm_get_diskvolumeinfo_list(&server, 1, &key, 1, volumes, 2, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(volumes[0].object_ref, string(volumes[1].name)), make_tuple(nullptr, string("v1")));
    EXPECT_TRUE(log.has("Failed to extract diskvolumeinfo #0", DSM_SEV_WARNING, "dsm_get_diskvolumeinfo_list"));
    dsm_removeref_diskvolumeinfo_list(volumes, 2);

    // A member list of a held pool (its disks and servers are read the same way).
    pool->volumes() = null_then<DS::DiskVolumeSeq>(named<DS::DiskVolume, OBV_DS::DiskVolume>("v1"));
    pool->hosts() = null_then<DS::StorageServerSeq>(named<DS::StorageServer, OBV_DS::StorageServer>("s1"));
    auto* disk = named<DS::Disk, OBV_DS::Disk>("d1");
    disk->used(false);
    pool->disks() = null_then<DS::DiskSeq>(disk);
    reply_with(control(), "getDiskGroupInfo", pool.in());
    dsm_diskgroupinfo_t info{};
    ASSERT_EQ(dsm_get_diskgroupinfo(&key, 1, &info), DSM_OK);
    ASSERT_EQ(dsm_get_diskgroup_volumes(&info, volumes, 2, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(avail, string(volumes[0].name), string(volumes[1].name)),
              make_tuple(2, string(), string("v1")));
    EXPECT_TRUE(log.has("Failed to extract diskvolume #0", DSM_SEV_WARNING, "dsm_get_diskgroup_volumes"));
    dsm_storageserver_t servers[2];
    ASSERT_EQ(dsm_get_diskgroup_stservers(&info, servers, 2, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(avail, string(servers[0].name), string(servers[1].name)), make_tuple(2, string(), string("s1")));
    EXPECT_TRUE(log.has("Failed to extract stserver #0", DSM_SEV_WARNING, "dsm_get_diskgroup_stservers"));
    dsm_disk_t disks[2];
    ASSERT_EQ(dsm_get_diskgroup_disks(&info, disks, 2, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(disks[0].availability, string(disks[1].name)), make_tuple(0, string("d1")));
    EXPECT_TRUE(log.has("Failed to extract disk #0", DSM_SEV_WARNING, "dsm_get_diskgroup_disks"));
    dsm_removeref_diskgroupinfo(&info);
}

TEST(RegressionsOffline, VolumeFiguresWrapWhereTheDifferenceOverflows) {
    // Extraction computes free = capacity - used, population used = capacity
    // - free: each row holds both ways round.
    constexpr CORBA::LongLong kMin = std::numeric_limits<CORBA::LongLong>::min();
    constexpr CORBA::LongLong kMax = std::numeric_limits<CORBA::LongLong>::max();
    const std::tuple<CORBA::LongLong, CORBA::LongLong, CORBA::LongLong> cases[] = {
        {kMin, 1, kMax}, {kMax, -1, kMin}, {kMax, kMin, -1}, {1000, 300, 700}};
    for (const auto& [capacity, used, free_space] : cases) {
        SCOPED_TRACE(std::to_string(capacity) + " - " + std::to_string(used));
        DS::DiskVolumeInfo_var info = new OBV_DS::DiskVolumeInfo;
        info->capacity(capacity);
        info->used(used);
        dsm_diskvolumeinfo_t rec{};
        ASSERT_EQ(dsml_extract_diskvolumeinfo(info.in(), &rec), DSM_OK);
        EXPECT_EQ(rec.free_space, free_space);
        DS::DiskVolumeInfo_var sent = new OBV_DS::DiskVolumeInfo;
        ASSERT_EQ(dsml_populate_diskvolumeinfo(&rec, sent.in()), DSM_OK);
        EXPECT_EQ(sent->used(), used);
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

namespace {

// The members of the arguments of an operation's last call, named
// "<argument>.<member>": a list element adds "[i]", a property is named by
// its own name. A plain string argument is named by its position alone.
struct Received {
    std::map<string, long long> numbers;
    std::map<string, string> texts;
};

template <class T>
void flatten(const T& v, const string& at, Received& r) {
    r.texts[at + "name"] = v.name();
    r.texts[at + "objId"] = v.objId();
    r.numbers[at + "type"] = v.type();
    for (auto& [name, value] : props_of(v.properties())) r.texts[at + name] = value;
    if constexpr (std::is_same_v<T, DS::DiskGroup> || std::is_same_v<T, DS::DiskVolume>)
        r.numbers[at + "size"] = v.size();
    if constexpr (std::is_same_v<T, DS::StorageServer>) r.texts[at + "servertype"] = v.servertype();
    if constexpr (std::is_same_v<T, DS::StorageServerConfigItem>) {
        r.texts[at + "value"] = v.value();
        r.numbers[at + "cdtype"] = v.cdtype();
    }
}

// Flattens 'a' when it holds a T or a list of them.
template <class T, class Seq>
bool flatten_any(const CORBA::Any& a, const string& at, Received& r) {
    T* v = nullptr;
    const Seq* seq = nullptr;
    if (a >>= v) {
        if (v) flatten(*v, at, r);
    } else if (a >>= seq) {
        for (CORBA::ULong i = 0; i < seq->length(); ++i)
            if ((*seq)[i]) flatten(*(*seq)[i], at + "[" + std::to_string(i) + "].", r);
    } else {
        return false;
    }
    return true;
}

Received received(DsmControl::Control_ptr control, const char* op) {
    DsmControl::AnySeq_var args = control->lastArguments(op);
    Received r;
    for (CORBA::ULong i = 0; i < args->length(); ++i) {
        const CORBA::Any& a = args[i];
        const string at = std::to_string(i) + ".";
        const char* text = nullptr;
        if (flatten_any<DS::DiskGroup, DS::DiskGroupSeq>(a, at, r) ||
            flatten_any<DS::DiskVolume, DS::DiskVolumeSeq>(a, at, r) ||
            flatten_any<DS::StorageServer, DS::StorageServerSeq>(a, at, r) ||
            flatten_any<DS::StorageServerConfigItem, DS::StorageServerConfigItemSeq>(a, at, r))
            continue;
        if (a >>= text) r.texts[std::to_string(i)] = text;
    }
    return r;
}

// A record in memory of exactly its size with every byte 'x': its character
// fields have no terminator, and a read past one leaves the allocation.
template <class Rec>
std::unique_ptr<Rec> unterminated() {
    std::unique_ptr<Rec> rec(new Rec);
    std::memset(static_cast<void*>(rec.get()), 'x', sizeof(Rec));
    return rec;
}

}  // namespace

// Its own ctest entry runs this under an allocator that fills new memory
// with 0x5a: a member the library leaves unset arrives as that pattern. The
// records here carry no number, so every number the service sees is 0.
TEST_F(Regressions, RequestValuesLeaveNoMemberUnset) {
    const dsm_diskgroup_t pool = pool_record("p1");
    dsm_storageserver_t server = server_record("sts1");
    server.storage_type = 0;
    const dsm_diskvolume_t volume = volume_record("v1", pool);
    dsm_diskvolumeinfo_t info{}, volume_out;
    std::memcpy(&info, &volume, sizeof volume);
    dsm_diskgroupinfo_t pool_out{};
    dsm_configitem_t items[2] = {};
    items[0].data_type = 3;  // the service's kind 0
    items[1].data_type = 5;  // refused, and sent as far as it was filled
    const dsm_disk_t disk{};
    // One request for each place the library makes a value to send.
    const std::pair<const char*, std::function<void()>> requests[] = {
        {"getDiskVolumeInfo", [&] { dsm_diskvolume_load(&info, 0); }},
        {"createDiskVolume", [&] { dsm_create_diskvolume(&volume, &disk, 1, 1, &volume_out); }},
        {"createDiskVolume",
         [&] { dsm_create_diskvolume_from_diskvolumeinfo(&info, &disk, 1, 1, &volume_out, nullptr); }},
        {"createDiskGroup", [&] { dsm_create_diskgroup(&pool, &server, 1, &disk, 1, 1, &pool_out, nullptr); }},
        {"createStorageServer", [&] { dsm_create_storageserver(&server, 1, nullptr); }},
        {"updateStorageServerConfig",
         [&] { dsm_update_storageserver_configitems(&server, 1, items, 2, nullptr); }},
    };
    for (const auto& [op, request] : requests) {
        SCOPED_TRACE(op);
        ServiceEnvironment::get().reset();
        request();
        const Received got = received(control(), op);
        EXPECT_FALSE(got.numbers.empty()) << "no value sent";
        for (const auto& n : got.numbers) EXPECT_EQ(n.second, 0) << n.first;
    }

    // Built but never sent: the volume info a record is given to hold flags.
    ASSERT_EQ(dsm_set_diskvolume_flags(&info, 1), DSM_OK);
    const auto* held = static_cast<const DS::DiskVolumeInfo*>(info.object_ref);
    EXPECT_EQ(make_tuple(held->stsState(), held->state(), held->potential_free()), make_tuple(0, 0, 0LL));
    dsm_removeref_diskvolumeinfo(&info);
}

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

    dsm_diskgroupinfo_t pool_out{};
    dsm_diskvolumeinfo_t volume_out;
    dsm_name_t names[1];
    int avail = 0;
    const unsigned char all[3] = {1, 1, 1};
    // Record, call, status, operation (null: the call reaches no service),
    // members sent with the lengths of their whole fields.
    const std::tuple<const char*, std::function<int()>, int, const char*, std::map<string, std::size_t>> cases[] = {
        {"pool", [&] { return dsm_get_diskgroupinfo(pool.get(), 1, &pool_out); }, DSM_E_NULL_RESULT,
         "getDiskGroupInfo", {{"0.name", 257}, {"0.objId", 257}, {"0.DSM::servertype", 65}}},
        {"pool info", [&] { return dsm_update_diskgroup(pool_info.get(), all, 1, &pool_out, nullptr); },
         DSM_E_NULL_RESULT, "updateDiskGroup", {{"0.name", 257}, {"0.DSM::userTag", 257}}},
        {"volume and disk", [&] { return dsm_create_diskvolume(volume.get(), disk.get(), 1, 1, &volume_out); },
         DSM_E_NULL_RESULT, "createDiskVolume", {{"0.objId", 4097}, {"0.volume_config", 1025}}},
        {"volume info",
         [&] { return dsm_create_diskvolume_from_diskvolumeinfo(info.get(), disk.get(), 1, 1, &volume_out, nullptr); },
         DSM_E_NULL_RESULT, "createDiskVolume", {{"0.name", 257}, {"0.DSM::diskMediaId", 33}}},
        {"volume info to load", [&] { return dsm_diskvolume_load(info.get(), 0); }, DSM_E_NULL_RESULT,
         "getDiskVolumeInfo", {{"0.name", 257}, {"1.name", 257}, {"1.DSM::master", 1025}}},
        {"storage server", [&] { return dsm_create_storageserver(server.get(), 1, nullptr); }, DSM_E_NULL_RESULT,
         "createStorageServer", {{"0.name", 1025}, {"0.objId", 257}, {"0.servertype", 65}}},
        {"storage server by name",
         [&] { return dsm_get_diskvolumeinfo_by_name("127.0.0.1", server.get(), "v", &volume_out); },
         DSM_E_NULL_RESULT, "getDiskVolumeInfoByName", {{"1", 65}, {"3", 1025}}},
        {"config item",
         [&] { return dsm_update_storageserver_configitems(server.get(), 1, item.get(), 1, nullptr); }, DSM_OK,
         "updateStorageServerConfig", {{"1.[0].name", 65}, {"1.[0].value", 1025}}},
        {"storage server info",
         [&] { return dsm_get_storageserver_arraytypes(server_info.get(), names, nullptr, 1, &avail); },
         DSM_E_INVALID_ARG, nullptr, {}},
        {"storage units apart in their last byte",
         [&] {
             lsu_b->server_type[sizeof lsu_b->server_type - 1] = 'y';
             return dsm_sort_ELP_lsu_list_by_ssname_sstype(lsu_a.get(), lsu_b.get());
         },
         -1, nullptr, {}},
    };
    for (const auto& [record, call, status, op, lengths] : cases) {
        SCOPED_TRACE(record);
        ServiceEnvironment::get().reset();
        control()->returnNull("*", 1);
        EXPECT_EQ(call(), status);
        if (!op) continue;
        const Received got = received(control(), op);
        for (const auto& [member, length] : lengths) {
            const auto it = got.texts.find(member);
            ASSERT_NE(it, got.texts.end()) << member;
            EXPECT_EQ(it->second.size(), length) << member;
        }
    }
    EXPECT_TRUE(log.has("Invalid servertype for storage server" + string(65, 'x'), DSM_SEV_ERROR,
                        "dsm_get_storageserver_arraytypes"));
}
