// Records, their conversion from and to service values, and the release of
// the references they hold. No service is involved.
#include "LogCapture.h"

#include "DiskServiceHelper.h"
#include "dsm.h"
#include "dsmlib_popext.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace DS = Orvane::Keldra::DL::DiskService;
namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;
using H = DiskServiceHelper;

namespace {

using Pairs = std::vector<std::pair<const char*, const char*>>;
using Entries = std::vector<std::pair<std::string, std::string>>;

DS::PropertySeq props(const Pairs& pairs) {
    DS::PropertySeq list;
    for (const auto& p : pairs) H::addProperty(list, p.first, p.second);
    return list;
}

void append_null(DS::PropertySeq& list) { list.length(list.length() + 1); }

// An element whose name or value is null.
void append_broken(DS::PropertySeq& list, bool null_name) {
    DS::Property_var p = new OBV_DS::Property;
    p->name(null_name ? static_cast<char*>(nullptr) : CORBA::string_dup("n"));
    p->value(null_name ? CORBA::string_dup("v") : static_cast<char*>(nullptr));
    const CORBA::ULong at = list.length();
    list.length(at + 1);
    list[at] = p._retn();
}

Entries entries(const DS::PropertySeq& list) {
    Entries out;
    for (CORBA::ULong i = 0; i < list.length(); ++i)
        out.emplace_back(list[i]->name(), list[i]->value());
    return out;
}

template <class T>
T zeroed() {
    T rec;
    std::memset(&rec, 0, sizeof rec);
    return rec;
}

template <std::size_t N>
void set(char (&dst)[N], const std::string& text) {
    ASSERT_LT(text.size(), N);
    std::memcpy(dst, text.c_str(), text.size() + 1);
}

constexpr const char* kUnit = "dsmlib_popext";

// ---- layout ----

TEST(RecordLayout, FieldWidths) {
    struct Width {
        const char* field;
        std::size_t actual;
        std::size_t expected;
    };
    const Width widths[] = {
        {"diskgroup.name", sizeof(dsm_diskgroup_t{}.name), 257},
        {"diskgroup.id", sizeof(dsm_diskgroup_t{}.id), 257},
        {"diskgroup.server_type", sizeof(dsm_diskgroup_t{}.server_type), 65},
        {"diskgroup.master_server", sizeof(dsm_diskgroup_t{}.master_server), 1025},
        {"diskgroup.access_media_server", sizeof(dsm_diskgroup_t{}.access_media_server), 1025},
        {"diskgroupinfo.storage_type", sizeof(dsm_diskgroupinfo_t{}.storage_type), 4},
        {"diskgroupinfo.total_capacity", sizeof(dsm_diskgroupinfo_t{}.total_capacity), 8},
        {"diskgroupinfo.used_space", sizeof(dsm_diskgroupinfo_t{}.used_space), 8},
        {"diskgroupinfo.kdu_state", sizeof(dsm_diskgroupinfo_t{}.kdu_state), 4},
        {"diskgroupinfo.num_stservers", sizeof(dsm_diskgroupinfo_t{}.num_stservers), 4},
        {"diskgroupinfo.system_tag", sizeof(dsm_diskgroupinfo_t{}.system_tag), 257},
        {"diskgroupinfo.user_tag", sizeof(dsm_diskgroupinfo_t{}.user_tag), 257},
        {"diskvolume.id", sizeof(dsm_diskvolume_t{}.id), 4097},
        {"diskvolumeinfo.disk_media_id", sizeof(dsm_diskvolumeinfo_t{}.disk_media_id), 33},
        {"diskvolumeinfo.precommitted_space", sizeof(dsm_diskvolumeinfo_t{}.precommitted_space), 8},
        {"diskvolumeinfo.max_write_mounts", sizeof(dsm_diskvolumeinfo_t{}.max_write_mounts), 4},
        {"diskvolumeinfo.system_tag", sizeof(dsm_diskvolumeinfo_t{}.system_tag), 257},
        {"storageserver.name", sizeof(dsm_storageserver_t{}.name), 1025},
        {"storageserver.server_type", sizeof(dsm_storageserver_t{}.server_type), 65},
        {"storageserver.storage_type", sizeof(dsm_storageserver_t{}.storage_type), 4},
        {"storageserverinfo.property_flags", sizeof(dsm_storageserverinfo_t{}.property_flags), 4},
        {"configitem.name", sizeof(dsm_configitem_t{}.name), 65},
        {"configitem.value", sizeof(dsm_configitem_t{}.value), 1025},
        {"configitem.description", sizeof(dsm_configitem_t{}.description), 1025},
        {"enclosure.server_type", sizeof(dsm_enclosure_t{}.server_type), 65},
        {"enclosureinfo.array_type", sizeof(dsm_enclosureinfo_t{}.array_type), 257},
        {"enclosureinfo.storage_capacity", sizeof(dsm_enclosureinfo_t{}.storage_capacity), 8},
        {"disk.id", sizeof(dsm_disk_t{}.id), 257},
        {"mountpoint.path", sizeof(dsm_mountpoint_t{}.path), 4097},
        {"mountpoint.machine_name", sizeof(dsm_mountpoint_t{}.machine_name), 1025},
        {"ELP_lsu.lsu_name", sizeof(dsm_ELP_lsu_t{}.lsu_name), 4097},
        {"ELP_lsu.diskgroup_name", sizeof(dsm_ELP_lsu_t{}.diskgroup_name), 257},
        {"name_t", sizeof(dsm_name_t), 1025},
        {"datamover_name_t", sizeof(dsm_datamover_name_t), 1025},
    };
    for (const Width& w : widths) EXPECT_EQ(w.actual, w.expected) << w.field;
}

TEST(RecordLayout, EmbeddedRecordsComeFirstAndVolumeInfoBeginsLikeVolume) {
    EXPECT_EQ(offsetof(dsm_diskgroupinfo_t, diskgroup), 0u);
    EXPECT_EQ(offsetof(dsm_storageserverinfo_t, stserver), 0u);
    EXPECT_EQ(offsetof(dsm_enclosureinfo_t, enclosure), 0u);
    EXPECT_EQ(offsetof(dsm_diskvolumeinfo_t, name), offsetof(dsm_diskvolume_t, name));
    EXPECT_EQ(offsetof(dsm_diskvolumeinfo_t, id), offsetof(dsm_diskvolume_t, id));
    EXPECT_EQ(offsetof(dsm_diskvolumeinfo_t, diskgroup), offsetof(dsm_diskvolume_t, diskgroup));
    EXPECT_GE(offsetof(dsm_diskvolumeinfo_t, disk_media_id), sizeof(dsm_diskvolume_t));
    // Fields follow the declared order.
    EXPECT_LT(offsetof(dsm_diskgroupinfo_t, storage_type), offsetof(dsm_diskgroupinfo_t, total_capacity));
    EXPECT_LT(offsetof(dsm_diskgroupinfo_t, user_tag), offsetof(dsm_diskgroupinfo_t, object_ref));
    EXPECT_LT(offsetof(dsm_configitem_t, data_type), offsetof(dsm_configitem_t, description));
    EXPECT_LT(offsetof(dsm_storageserver_t, storage_type), offsetof(dsm_storageserver_t, access_media_server));
}

TEST(RecordLayout, ZeroedPoolInfoReadsNotReported) {
    const auto rec = zeroed<dsm_diskgroupinfo_t>();
    EXPECT_EQ(rec.availability, DSM_TRI_UNKNOWN);
    EXPECT_EQ(rec.connectivity, DSM_TRI_UNKNOWN);
    EXPECT_EQ(rec.kdu_state, 0);
    EXPECT_EQ(rec.object_ref, nullptr);
}

// ---- text bounds: value -> record cut at N-1, record -> value -> record whole ----

struct TextCase {
    const char* what;
    std::size_t size;                                    // array size N
    std::function<std::string(const char*)> from_value;  // value text -> record field
    std::function<std::string(const char*)> round_trip;  // record -> value -> record (may be empty)
};

std::string pool_from_value(const char* text, int which) {
    DS::DiskGroup_var v = new OBV_DS::DiskGroup;
    if (which == 0) v->name(text);
    if (which == 1) v->properties() = props({{"DSM::master", text}});
    if (which == 2) v->properties() = props({{"DSM::servertype", text}});
    if (which == 3) v->properties() = props({{"DSM::mediaServer", text}});
    if (which == 4) v->properties() = props({{"DSM::userTag", text}});
    auto rec = zeroed<dsm_diskgroupinfo_t>();
    EXPECT_EQ(dsml_extract_diskgroup(v.in(), &rec), 0);
    const char* fields[] = {rec.diskgroup.name, rec.diskgroup.master_server, rec.diskgroup.server_type,
                            rec.diskgroup.access_media_server, rec.user_tag};
    return fields[which];
}

std::string pool_round_trip(const char* text, int which) {
    auto in = zeroed<dsm_diskgroup_t>();
    char* fields[] = {in.name, in.master_server, in.server_type, in.access_media_server};
    std::memcpy(fields[which], text, std::strlen(text) + 1);
    DS::DiskGroup_var v = new OBV_DS::DiskGroup;
    EXPECT_EQ(dsml_populate_diskgroup(&in, v.in()), 0);
    auto out = zeroed<dsm_diskgroupinfo_t>();
    EXPECT_EQ(dsml_extract_diskgroup(v.in(), &out), 0);
    const char* back[] = {out.diskgroup.name, out.diskgroup.master_server, out.diskgroup.server_type,
                          out.diskgroup.access_media_server};
    return back[which];
}

std::string volume_from_value(const char* text, int which) {
    DS::DiskVolume_var v = new OBV_DS::DiskVolume;
    if (which == 0) v->name(text);
    if (which == 1) v->objId(text);
    if (which == 2) v->properties() = props({{"DSM::diskMediaId", text}});
    if (which == 3) v->properties() = props({{"Volume Layout String", text}});
    auto rec = zeroed<dsm_diskvolumeinfo_t>();
    EXPECT_EQ(dsml_extract_diskvolume(v.in(), &rec), 0);
    const char* fields[] = {rec.name, rec.id, rec.disk_media_id, rec.system_tag};
    return fields[which];
}

std::string volume_round_trip(const char* text, int which) {
    auto in = zeroed<dsm_diskvolumeinfo_t>();
    char* fields[] = {in.name, in.id, in.disk_media_id, in.system_tag};
    std::memcpy(fields[which], text, std::strlen(text) + 1);
    DS::DiskVolumeInfo_var v = new OBV_DS::DiskVolumeInfo;
    EXPECT_EQ(dsml_populate_diskvolumeinfo(&in, v.in()), 0);
    auto out = zeroed<dsm_diskvolumeinfo_t>();
    EXPECT_EQ(dsml_extract_diskvolumeinfo(v.in(), &out), 0);
    const char* back[] = {out.name, out.id, out.disk_media_id, out.system_tag};
    return back[which];
}

std::string server_from_value(const char* text, int which) {
    DS::StorageServer_var v = new OBV_DS::StorageServer;
    if (which == 0) v->name(text);
    if (which == 1) v->objId(text);
    if (which == 2) v->servertype(text);
    if (which == 3) v->properties() = props({{"DSM::mediaServer", text}});
    auto rec = zeroed<dsm_storageserver_t>();
    EXPECT_EQ(dsml_extract_storageserver(v.in(), &rec), 0);
    const char* fields[] = {rec.name, rec.id, rec.server_type, rec.access_media_server};
    return fields[which];
}

std::string server_round_trip(const char* text, int which) {
    auto in = zeroed<dsm_storageserver_t>();
    char* fields[] = {in.name, in.id, in.server_type, in.access_media_server};
    std::memcpy(fields[which], text, std::strlen(text) + 1);
    DS::StorageServerSeq list;
    EXPECT_EQ(dsml_populate_stslist(&in, 1, list), 0);
    auto out = zeroed<dsm_storageserver_t>();
    EXPECT_EQ(dsml_extract_storageserver(list[0].in(), &out), 0);
    const char* back[] = {out.name, out.id, out.server_type, out.access_media_server};
    return back[which];
}

std::string config_from_value(const char* text, int which) {
    DS::StorageServerConfigItem_var v = new OBV_DS::StorageServerConfigItem;
    v->name(which == 0 ? text : "n");
    v->value(which == 1 ? text : "v");
    if (which == 2) v->properties() = props({{"DSM::ConfigDescription", text}});
    auto rec = zeroed<dsm_configitem_t>();
    EXPECT_EQ(dsml_extract_storageserverconfig(v.in(), &rec), 0);
    const char* fields[] = {rec.name, rec.value, rec.description};
    return fields[which];
}

std::string config_round_trip(const char* text, int which) {
    auto in = zeroed<dsm_configitem_t>();
    in.data_type = 1;
    std::memcpy(which == 0 ? in.name : in.value, text, std::strlen(text) + 1);
    DS::StorageServerConfigItem_var v = new OBV_DS::StorageServerConfigItem;
    EXPECT_EQ(dsml_populate_storageserverconfig(&in, v.in()), 0);
    auto out = zeroed<dsm_configitem_t>();
    EXPECT_EQ(dsml_extract_storageserverconfig(v.in(), &out), 0);
    return which == 0 ? out.name : out.value;
}

std::string enclosure_from_value(const char* text, int which) {
    if (which < 2) {
        DS::Enclosure_var v = new OBV_DS::Enclosure;
        if (which == 0) v->name(text);
        if (which == 1) v->properties() = props({{"DSM::servertype", text}});
        auto rec = zeroed<dsm_enclosure_t>();
        EXPECT_EQ(dsml_extract_enclosure(v.in(), &rec), 0);
        return which == 0 ? rec.name : rec.server_type;
    }
    DS::EnclosureInfo_var v = new OBV_DS::EnclosureInfo;
    v->properties() = props({{"Enclosure Serial Number", text}});
    auto rec = zeroed<dsm_enclosureinfo_t>();
    EXPECT_EQ(dsml_extract_enclosureinfo(v.in(), &rec), 0);
    return rec.serial_number;
}

std::string disk_from_value(const char* text, int) {
    DS::Disk_var v = new OBV_DS::Disk;
    v->used(false);  // the generated constructor leaves it unset
    v->objId(text);
    auto rec = zeroed<dsm_disk_t>();
    EXPECT_EQ(dsml_extract_disk(v.in(), &rec), 0);
    return rec.id;
}

using std::placeholders::_1;

std::vector<TextCase> text_cases() {
    auto bind = [](std::string (*fn)(const char*, int), int which) {
        return std::function<std::string(const char*)>(std::bind(fn, _1, which));
    };
    return {
        {"pool name", 257, bind(pool_from_value, 0), bind(pool_round_trip, 0)},
        {"pool master_server", 1025, bind(pool_from_value, 1), bind(pool_round_trip, 1)},
        {"pool server_type", 65, bind(pool_from_value, 2), bind(pool_round_trip, 2)},
        {"pool access_media_server", 1025, bind(pool_from_value, 3), bind(pool_round_trip, 3)},
        {"pool user_tag", 257, bind(pool_from_value, 4), nullptr},
        {"volume name", 257, bind(volume_from_value, 0), bind(volume_round_trip, 0)},
        {"volume id", 4097, bind(volume_from_value, 1), bind(volume_round_trip, 1)},
        {"volume disk_media_id", 33, bind(volume_from_value, 2), bind(volume_round_trip, 2)},
        {"volume system_tag", 257, bind(volume_from_value, 3), bind(volume_round_trip, 3)},
        {"server name", 1025, bind(server_from_value, 0), bind(server_round_trip, 0)},
        {"server id", 257, bind(server_from_value, 1), bind(server_round_trip, 1)},
        {"server server_type", 65, bind(server_from_value, 2), bind(server_round_trip, 2)},
        {"server access_media_server", 1025, bind(server_from_value, 3), bind(server_round_trip, 3)},
        {"config name", 65, bind(config_from_value, 0), bind(config_round_trip, 0)},
        {"config value", 1025, bind(config_from_value, 1), bind(config_round_trip, 1)},
        {"config description", 1025, bind(config_from_value, 2), nullptr},
        {"enclosure name", 257, bind(enclosure_from_value, 0), nullptr},
        {"enclosure server_type", 65, bind(enclosure_from_value, 1), nullptr},
        {"enclosure serial_number", 257, bind(enclosure_from_value, 2), nullptr},
        {"disk id", 257, bind(disk_from_value, 0), nullptr},
    };
}

// A text of 'n' characters that shows where it was cut.
std::string pattern(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
    return s;
}

TEST(RecordText, MaximumWidthSurvivesAndOneMoreIsCut) {
    for (const TextCase& c : text_cases()) {
        const std::string full = pattern(c.size - 1);
        const std::string over = pattern(c.size);
        EXPECT_EQ(c.from_value(full.c_str()), full) << c.what;
        EXPECT_EQ(c.from_value(over.c_str()), full) << c.what << ": cut at " << c.size - 1;
        if (c.round_trip) {
            EXPECT_EQ(c.round_trip(full.c_str()), full) << c.what;
        }
    }
}

TEST(RecordText, LongPoolNameArrivesAsItsFirst256Characters) {
    const std::string name = pattern(300);
    DS::DiskGroup_var v = new OBV_DS::DiskGroup;
    v->name(name.c_str());
    dsm_diskgroupinfo_t rec;
    std::memset(&rec, 'x', sizeof rec);  // terminator must come from the copy
    rec.object_ref = nullptr;
    v->properties().length(0);
    ASSERT_EQ(dsml_extract_diskgroup(v.in(), &rec), 0);
    EXPECT_EQ(rec.diskgroup.name[256], '\0');
    EXPECT_EQ(std::string(rec.diskgroup.name), name.substr(0, 256));
}

// ---- numbers through records and values ----

TEST(RecordNumbers, VolumeInfoRoundTripsItsFigures) {
    auto in = zeroed<dsm_diskvolumeinfo_t>();
    in.total_capacity = std::numeric_limits<std::int64_t>::max();
    in.free_space = 12345678901234LL;
    in.potential_free_space = -17;
    in.committed_space = 1LL << 40;
    in.precommitted_space = 99;
    in.kdu_state = 2;
    in.num_read_mounts = 1;
    in.max_read_mounts = std::numeric_limits<std::int32_t>::max();
    in.num_write_mounts = 3;
    in.max_write_mounts = 4;
    DS::DiskVolumeInfo_var v = new OBV_DS::DiskVolumeInfo;
    ASSERT_EQ(dsml_populate_diskvolumeinfo(&in, v.in()), 0);
    auto out = zeroed<dsm_diskvolumeinfo_t>();
    ASSERT_EQ(dsml_extract_diskvolumeinfo(v.in(), &out), 0);
    EXPECT_EQ(out.total_capacity, in.total_capacity);
    EXPECT_EQ(out.free_space, in.free_space);
    EXPECT_EQ(out.potential_free_space, in.potential_free_space);
    EXPECT_EQ(out.committed_space, in.committed_space);
    EXPECT_EQ(out.precommitted_space, in.precommitted_space);
    EXPECT_EQ(out.kdu_state, 2);
    EXPECT_EQ(out.num_read_mounts, 1);
    EXPECT_EQ(out.max_read_mounts, in.max_read_mounts);
    EXPECT_EQ(out.num_write_mounts, 3);
    EXPECT_EQ(out.max_write_mounts, 4);
}

TEST(RecordNumbers, StorageTypeAndConfigKindsRoundTrip) {
    auto server = zeroed<dsm_storageserver_t>();
    server.storage_type = -42;
    DS::StorageServerSeq list;
    ASSERT_EQ(dsml_populate_stslist(&server, 1, list), 0);
    auto back = zeroed<dsm_storageserver_t>();
    ASSERT_EQ(dsml_extract_storageserver(list[0].in(), &back), 0);
    EXPECT_EQ(back.storage_type, -42);

    // Record kind and the service's code for it.
    const std::pair<std::int32_t, CORBA::Long> kinds[] = {{1, 2}, {2, 1}, {3, 0}, {4, 3}};
    for (const auto& k : kinds) {
        auto item = zeroed<dsm_configitem_t>();
        item.data_type = k.first;
        DS::StorageServerConfigItem_var v = new OBV_DS::StorageServerConfigItem;
        ASSERT_EQ(dsml_populate_storageserverconfig(&item, v.in()), 0);
        EXPECT_EQ(v->cdtype(), k.second) << "data_type " << k.first;
        auto out = zeroed<dsm_configitem_t>();
        ASSERT_EQ(dsml_extract_storageserverconfig(v.in(), &out), 0);
        EXPECT_EQ(out.data_type, k.first);
    }
    DS::StorageServerConfigItem_var odd = new OBV_DS::StorageServerConfigItem;
    odd->name("n");
    odd->value("v");
    odd->cdtype(7);
    auto out = zeroed<dsm_configitem_t>();
    out.data_type = 9;
    ASSERT_EQ(dsml_extract_storageserverconfig(odd.in(), &out), 0);
    EXPECT_EQ(out.data_type, DSM_CONFIG_UNKNOWN);
}

// ---- extraction ----

std::int32_t pool_field(const char* property, const char* value, std::int32_t dsm_diskgroupinfo_t::*field) {
    DS::DiskGroup_var v = new OBV_DS::DiskGroup;
    v->properties() = props({{property, value}});
    auto rec = zeroed<dsm_diskgroupinfo_t>();
    EXPECT_EQ(dsml_extract_diskgroup(v.in(), &rec), 0);
    return rec.*field;
}

TEST(Extraction, PoolStateReadsTheLowFourBits) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"18", 1}, {"2", 1}, {"3", 2}, {"19", 2}, {"0", 3}, {"1", 3}, {"abc", 3}, {"", 3}};
    for (const auto& c : cases)
        EXPECT_EQ(pool_field("DSM::state", c.first, &dsm_diskgroupinfo_t::kdu_state), c.second) << c.first;
}

TEST(Extraction, VolumeStateReadsBits) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"3", 1}, {"1", 1}, {"2", 2}, {"6", 2}, {"4", 0}, {"x", 0}};
    for (const auto& c : cases) {
        DS::DiskVolume_var v = new OBV_DS::DiskVolume;
        v->properties() = props({{"DSM::state", c.first}});
        auto rec = zeroed<dsm_diskvolumeinfo_t>();
        ASSERT_EQ(dsml_extract_diskvolume(v.in(), &rec), 0);
        EXPECT_EQ(rec.kdu_state, c.second) << c.first;
    }
}

TEST(Extraction, YesNoAndInvertedYesNo) {
    const std::pair<const char*, std::int32_t> imported[] = {
        {"yes", 2}, {"Y", 2}, {"No", 1}, {"n", 1}, {"", 0}, {"maybe", 0}};
    for (const auto& c : imported)
        EXPECT_EQ(pool_field("DSM::imported", c.first, &dsm_diskgroupinfo_t::availability), c.second)
            << c.first;
    const std::pair<const char*, std::int32_t> connected[] = {{"Y", 1}, {"no", 2}, {"?", 0}};
    for (const auto& c : connected)
        EXPECT_EQ(pool_field("Connectivity", c.first, &dsm_diskgroupinfo_t::connectivity), c.second)
            << c.first;

    DS::EnclosureInfo_var e = new OBV_DS::EnclosureInfo;
    e->properties() = props({{"Availability", "y"}, {"Connectivity", "N"}});
    auto rec = zeroed<dsm_enclosureinfo_t>();
    ASSERT_EQ(dsml_extract_enclosureinfo(e.in(), &rec), 0);
    EXPECT_EQ(rec.availability, 1);
    EXPECT_EQ(rec.connectivity, 2);
}

TEST(Extraction, NumbersEmptyNegativeHugeAndNotNumbers) {
    const std::pair<const char*, std::int64_t> wide[] = {
        {"", 0}, {"-5", -5}, {"abc", 0}, {" 42x", 42},
        {"99999999999999999999", std::numeric_limits<std::int64_t>::max()},
        {"-99999999999999999999", std::numeric_limits<std::int64_t>::min()}};
    for (const auto& c : wide) {
        DS::DiskGroup_var v = new OBV_DS::DiskGroup;
        v->properties() = props({{"DSM::usedSpace", c.first}});
        auto rec = zeroed<dsm_diskgroupinfo_t>();
        rec.used_space = 777;
        ASSERT_EQ(dsml_extract_diskgroup(v.in(), &rec), 0);
        EXPECT_EQ(rec.used_space, c.second) << c.first;
    }
    const std::pair<const char*, std::int32_t> narrow[] = {
        {"", 0}, {"-7", -7}, {"80%", 80}, {"x1", 0},
        {"99999999999", std::numeric_limits<std::int32_t>::max()}};
    for (const auto& c : narrow)
        EXPECT_EQ(pool_field("DSM::highWaterMark", c.first, &dsm_diskgroupinfo_t::high_watermark), c.second)
            << c.first;
}

TEST(Extraction, PoolMembersPropertiesAndLogs) {
    LogCapture cap;
    DS::DiskGroup_var v = new OBV_DS::DiskGroup;
    v->name("P1");
    v->objId("id-1");
    v->type(6);
    v->size(5000);
    v->properties() = props({{"DSM::highWaterMark", "70"}, {"DSM::state", "18"},
                             {"DSM::imported", "y"}, {"dsm::userTag", "other case"},
                             {"DSM::highWaterMark", "80"}, {"DSM::systemTag", "sys"}});
    auto rec = zeroed<dsm_diskgroupinfo_t>();
    set(rec.user_tag, "kept");
    set(rec.diskgroup.master_server, "untouched");
    rec.num_disks = 9;
    ASSERT_EQ(dsml_extract_diskgroup(v.in(), &rec), 0);
    EXPECT_STREQ(rec.diskgroup.name, "P1");
    EXPECT_STREQ(rec.diskgroup.id, "id-1");
    EXPECT_EQ(rec.storage_type, 6);
    EXPECT_EQ(rec.total_capacity, 5000);
    EXPECT_EQ(rec.high_watermark, 80) << "the later duplicate wins";
    EXPECT_STREQ(rec.user_tag, "kept") << "names match case-sensitively";
    EXPECT_STREQ(rec.diskgroup.master_server, "untouched") << "absent property leaves the field";
    EXPECT_STREQ(rec.system_tag, "sys");
    EXPECT_EQ(rec.num_disks, 9);

    const char* fn = "dsml_extract_diskgroup";
    EXPECT_TRUE(cap.has("diskgroup.name = P1", DSM_SEV_TRACE, fn)) << cap.dump();
    EXPECT_TRUE(cap.has("diskgroupinfo.total_capacity = 5000", DSM_SEV_TRACE, fn));
    EXPECT_TRUE(cap.has("diskgroupinfo.high_watermark = 70", DSM_SEV_TRACE, fn));
    EXPECT_TRUE(cap.has("diskgroupinfo.high_watermark = 80", DSM_SEV_TRACE, fn));
    EXPECT_TRUE(cap.has("diskgroupinfo.kdu_state = conv_fn(18)", DSM_SEV_TRACE, fn));
    EXPECT_TRUE(cap.has("diskgroupinfo.availability = !y", DSM_SEV_TRACE, fn));
    EXPECT_TRUE(cap.has("property.name=dsm::userTag, property.value=other case", DSM_SEV_TRACE, fn));
    for (const LogLine& l : cap.lines()) EXPECT_EQ(l.source, kUnit);
}

// Builds a value of each kind around a property list and extracts it.
struct PrefixCase {
    const char* prefix;
    const char* function;
    std::function<int(const DS::PropertySeq&)> extract;
};

std::vector<PrefixCase> prefix_cases() {
    return {
        {"diskgroup.", "dsml_extract_diskgroup",
         [](const DS::PropertySeq& p) {
             DS::DiskGroup_var v = new OBV_DS::DiskGroup;
             v->properties() = p;
             auto rec = zeroed<dsm_diskgroupinfo_t>();
             return dsml_extract_diskgroup(v.in(), &rec);
         }},
        {"diskgroupinfo.diskgroup.", "dsml_extract_diskgroupinfo",
         [](const DS::PropertySeq& p) {
             DS::DiskGroup_var g = new OBV_DS::DiskGroup;
             g->properties() = p;
             DS::DiskGroupInfo_var v = new OBV_DS::DiskGroupInfo;
             v->group(g.in());
             auto rec = zeroed<dsm_diskgroupinfo_t>();
             return dsml_extract_diskgroupinfo(v.in(), &rec);
         }},
        {"diskvolume.", "dsml_extract_diskvolume",
         [](const DS::PropertySeq& p) {
             DS::DiskVolume_var v = new OBV_DS::DiskVolume;
             v->properties() = p;
             auto rec = zeroed<dsm_diskvolumeinfo_t>();
             return dsml_extract_diskvolume(v.in(), &rec);
         }},
        {"diskvolume.", "dsml_extract_diskvolumeinfo",
         [](const DS::PropertySeq& p) {
             DS::DiskVolume_var d = new OBV_DS::DiskVolume;
             d->properties() = p;
             DS::DiskVolumeInfo_var v = new OBV_DS::DiskVolumeInfo;
             v->volume(d.in());
             auto rec = zeroed<dsm_diskvolumeinfo_t>();
             return dsml_extract_diskvolumeinfo(v.in(), &rec);
         }},
        {"storageserver.", "dsml_extract_storageserver",
         [](const DS::PropertySeq& p) {
             DS::StorageServer_var v = new OBV_DS::StorageServer;
             v->properties() = p;
             auto rec = zeroed<dsm_storageserver_t>();
             return dsml_extract_storageserver(v.in(), &rec);
         }},
        {"enclosure.", "dsml_extract_enclosure",
         [](const DS::PropertySeq& p) {
             DS::Enclosure_var v = new OBV_DS::Enclosure;
             v->properties() = p;
             auto rec = zeroed<dsm_enclosure_t>();
             return dsml_extract_enclosure(v.in(), &rec);
         }},
        {"enclosureinfo.", "dsml_extract_enclosureinfo",
         [](const DS::PropertySeq& p) {
             DS::EnclosureInfo_var v = new OBV_DS::EnclosureInfo;
             v->properties() = p;
             auto rec = zeroed<dsm_enclosureinfo_t>();
             return dsml_extract_enclosureinfo(v.in(), &rec);
         }},
        {"disk.", "dsml_extract_disk",
         [](const DS::PropertySeq& p) {
             DS::Disk_var v = new OBV_DS::Disk;
             v->used(false);
             v->properties() = p;
             auto rec = zeroed<dsm_disk_t>();
             return dsml_extract_disk(v.in(), &rec);
         }},
    };
}

TEST(Extraction, MalformedElementsAreLoggedAsWarningsAndSkipped) {
    for (const PrefixCase& c : prefix_cases()) {
        LogCapture cap;
        DS::PropertySeq list = props({{"some", "thing"}});
        append_null(list);
        append_broken(list, true);
        append_broken(list, false);
        EXPECT_EQ(c.extract(list), 0) << c.function;
        const std::string p = c.prefix;
        EXPECT_TRUE(cap.has(p + "properties[1] is NULL", DSM_SEV_WARNING, c.function)) << cap.dump();
        EXPECT_TRUE(cap.has(p + "properties[2] is invalid", DSM_SEV_WARNING, c.function)) << cap.dump();
        EXPECT_TRUE(cap.has(p + "properties[3] is invalid", DSM_SEV_WARNING, c.function)) << cap.dump();
        EXPECT_TRUE(cap.has("property.name=some, property.value=thing", DSM_SEV_TRACE, c.function))
            << cap.dump();
    }
}

TEST(Extraction, PoolInfoKeepsCallerIdentityAndCountsMembers) {
    DS::DiskGroup_var g = new OBV_DS::DiskGroup;
    g->type(11);
    g->properties() = props({{"DSM::lowWaterMark", "20"}, {"DSM::master", "not read here"}});
    DS::DiskGroupInfo_var v = new OBV_DS::DiskGroupInfo;
    v->group(g.in());
    v->name("theirs");
    v->id("their-id");
    v->master_server("m1");
    v->servertype("SANDisk");
    v->capacity(900);
    v->used(100);
    v->volumes().length(2);
    v->disks().length(3);
    v->hosts().length(1);
    auto rec = zeroed<dsm_diskgroupinfo_t>();
    set(rec.diskgroup.name, "mine");
    rec.total_capacity = 5;
    ASSERT_EQ(dsml_extract_diskgroupinfo(v.in(), &rec), 0);
    EXPECT_STREQ(rec.diskgroup.name, "mine");
    EXPECT_STREQ(rec.diskgroup.id, "their-id");
    EXPECT_STREQ(rec.diskgroup.master_server, "m1");
    EXPECT_STREQ(rec.diskgroup.server_type, "SANDisk");
    EXPECT_EQ(rec.storage_type, 11);
    EXPECT_EQ(rec.total_capacity, 900);
    EXPECT_EQ(rec.used_space, 100);
    EXPECT_EQ(rec.low_watermark, 20);
    EXPECT_EQ(rec.num_diskvolumes, 2);
    EXPECT_EQ(rec.num_disks, 3);
    EXPECT_EQ(rec.num_stservers, 1);
}

TEST(Extraction, VolumeTagsAndFreeSpaceOfAnInfo) {
    LogCapture cap;
    DS::DiskVolume_var d = new OBV_DS::DiskVolume;
    d->objId("vid");
    d->properties() = props({{"DSM::systemTag", "tag"}, {"Volume Layout String", "layout"},
                             {"DSM::freeSpace", "5"}});
    DS::DiskVolumeInfo_var v = new OBV_DS::DiskVolumeInfo;
    v->volume(d.in());
    v->name("V");
    v->capacity(1000);
    v->used(300);
    auto rec = zeroed<dsm_diskvolumeinfo_t>();
    set(rec.id, "caller-id");
    ASSERT_EQ(dsml_extract_diskvolumeinfo(v.in(), &rec), 0);
    EXPECT_EQ(rec.free_space, 700);
    EXPECT_STREQ(rec.system_tag, "layout") << "the later of the two wins";
    EXPECT_STREQ(rec.name, "V");
    EXPECT_STREQ(rec.id, "caller-id");
    EXPECT_TRUE(cap.has("diskvolumeinfo.system_tag (config_string) = layout", DSM_SEV_TRACE,
                        "dsml_extract_diskvolumeinfo"))
        << cap.dump();

    // The plain volume reads "DSM::freeSpace"; the order of the tags decides.
    d->properties() = props({{"Volume Layout String", "layout"}, {"DSM::systemTag", "tag"},
                             {"DSM::freeSpace", "5"}});
    auto plain = zeroed<dsm_diskvolumeinfo_t>();
    ASSERT_EQ(dsml_extract_diskvolume(d.in(), &plain), 0);
    EXPECT_STREQ(plain.system_tag, "tag");
    EXPECT_EQ(plain.free_space, 5);
    EXPECT_STREQ(plain.id, "vid");
}

TEST(Extraction, StorageServerInfoReadsFlagsQuietly) {
    LogCapture cap;
    DS::StorageServer_var s = new OBV_DS::StorageServer;
    s->name("host1");
    s->servertype("BasicDisk");
    s->type(3);
    s->properties() = props({{"DSM::flags", "12"}, {"DSM::mediaServer", "ms"}});
    DS::StorageServerInfo_var v = new OBV_DS::StorageServerInfo;
    v->host(s.in());
    auto rec = zeroed<dsm_storageserverinfo_t>();
    ASSERT_EQ(dsml_extract_storageserverinfo(v.in(), &rec), 0);
    EXPECT_EQ(rec.property_flags, 12);
    EXPECT_STREQ(rec.stserver.name, "host1");
    EXPECT_STREQ(rec.stserver.server_type, "BasicDisk");
    EXPECT_STREQ(rec.stserver.access_media_server, "ms");
    EXPECT_EQ(rec.stserver.storage_type, 3);
    EXPECT_TRUE(cap.has("stserverinfo.property_flags = 12", DSM_SEV_TRACE,
                        "dsml_extract_storageserverinfo"));
    EXPECT_TRUE(cap.has("stserver.access_media_server = ms", DSM_SEV_TRACE, "dsml_extract_storageserver"));
    for (const LogLine& l : cap.containing("property.name="))
        EXPECT_NE(l.function, "dsml_extract_storageserverinfo") << l;
}

TEST(Extraction, ConfigItemIsQuietAndNeedsNameAndValue) {
    LogCapture cap;
    DS::StorageServerConfigItem_var v = new OBV_DS::StorageServerConfigItem;
    v->name("item");
    v->value("42");
    v->cdtype(0);
    DS::PropertySeq list = props({{"DSM::ConfigDescription", "about"}, {"unknown", "x"}});
    append_null(list);
    append_broken(list, true);
    v->properties() = list;
    auto rec = zeroed<dsm_configitem_t>();
    ASSERT_EQ(dsml_extract_storageserverconfig(v.in(), &rec), 0);
    EXPECT_STREQ(rec.description, "about");
    EXPECT_EQ(rec.data_type, 3);
    const std::vector<LogLine> lines = cap.lines();
    ASSERT_EQ(lines.size(), 1u) << cap.dump();
    EXPECT_EQ(lines[0].text, "configitem.properties[3] is invalid");
    EXPECT_EQ(lines[0].severity, DSM_SEV_WARNING);

    const std::pair<const char*, std::int32_t> fixed[] = {{"y", 1}, {"yes", 0}, {"Y", 0}, {"", 0}};
    for (const auto& c : fixed) {
        v->properties() = props({{"DSM::ConfigFixed", c.first}});
        auto r = zeroed<dsm_configitem_t>();
        r.fixed = 5;
        ASSERT_EQ(dsml_extract_storageserverconfig(v.in(), &r), 0);
        EXPECT_EQ(r.fixed, c.second) << c.first;
    }

    cap.clear();
    DS::StorageServerConfigItem_var nameless = new OBV_DS::StorageServerConfigItem;
    nameless->name(static_cast<char*>(nullptr));
    nameless->value("v");
    auto r1 = zeroed<dsm_configitem_t>();
    EXPECT_EQ(dsml_extract_storageserverconfig(nameless.in(), &r1), DSM_E_CONFIG_ITEM);
    EXPECT_STREQ(r1.value, "");
    DS::StorageServerConfigItem_var valueless = new OBV_DS::StorageServerConfigItem;
    valueless->name("only name");
    valueless->value(static_cast<char*>(nullptr));
    auto r2 = zeroed<dsm_configitem_t>();
    EXPECT_EQ(dsml_extract_storageserverconfig(valueless.in(), &r2), DSM_E_CONFIG_ITEM);
    EXPECT_STREQ(r2.name, "only name");
    EXPECT_TRUE(cap.lines().empty()) << cap.dump();
}

TEST(Extraction, DiskAvailabilityAndEnclosureInfoCounts) {
    LogCapture cap;
    DS::Disk_var d = new OBV_DS::Disk;
    d->name("d0");
    d->used(true);
    d->properties() = props({{"DSM::state", "1"}});
    auto disk = zeroed<dsm_disk_t>();
    ASSERT_EQ(dsml_extract_disk(d.in(), &disk), 0);
    EXPECT_EQ(disk.availability, 2);
    EXPECT_STREQ(disk.name, "d0");
    EXPECT_TRUE(cap.has("diskinfo.availability = !1", DSM_SEV_TRACE, "dsml_extract_disk")) << cap.dump();
    EXPECT_TRUE(cap.has("property.name=DSM::state, property.value=1", DSM_SEV_TRACE, "dsml_extract_disk"));
    d->used(false);
    ASSERT_EQ(dsml_extract_disk(d.in(), &disk), 0);
    EXPECT_EQ(disk.availability, 1);

    DS::EnclosureInfo_var e = new OBV_DS::EnclosureInfo;
    e->name("E");
    e->id("eid");
    e->servertype("SANDisk");
    e->capacity(123);
    e->disks().length(4);
    e->hosts().length(2);
    e->properties() = props({{"Enclosure Type", "T"}, {"Enclosure Array Type", "A"}});
    auto rec = zeroed<dsm_enclosureinfo_t>();
    ASSERT_EQ(dsml_extract_enclosureinfo(e.in(), &rec), 0);
    EXPECT_STREQ(rec.enclosure.name, "E");
    EXPECT_STREQ(rec.enclosure.id, "eid");
    EXPECT_STREQ(rec.enclosure.server_type, "SANDisk");
    EXPECT_EQ(rec.storage_capacity, 123);
    EXPECT_STREQ(rec.en_type, "T");
    EXPECT_STREQ(rec.array_type, "A");
    EXPECT_EQ(rec.num_disks, 4);
    EXPECT_EQ(rec.num_stservers, 2);
    EXPECT_TRUE(cap.has("enclosureinfo.storage_capacity = 123", DSM_SEV_TRACE, "dsml_extract_enclosureinfo"));
}

// ---- population ----

TEST(Population, PoolSendsMasterAndServerTypeAndMediaServerWhenSet) {
    LogCapture cap;
    auto rec = zeroed<dsm_diskgroup_t>();
    set(rec.name, "P");
    set(rec.id, "pid");
    DS::DiskGroup_var v = new OBV_DS::DiskGroup;
    v->type(9);
    v->size(9);
    v->properties() = props({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
    ASSERT_EQ(dsml_populate_diskgroup(&rec, v.in()), 0);
    EXPECT_STREQ(v->name(), "P");
    EXPECT_STREQ(v->objId(), "pid");
    EXPECT_EQ(v->type(), 0);
    EXPECT_EQ(v->size(), 0);
    EXPECT_EQ(entries(v->properties()), (Entries{{"DSM::master", ""}, {"DSM::servertype", ""}}));
    const char* fn = "dsml_populate_diskgroup";
    EXPECT_TRUE(cap.has("diskgroup.name = P", DSM_SEV_TRACE, fn)) << cap.dump();
    EXPECT_TRUE(cap.has("diskgroup.master_server = ", DSM_SEV_TRACE, fn));
    EXPECT_TRUE(cap.has("diskgroup.access_media_server = ", DSM_SEV_TRACE, fn));

    set(rec.master_server, "m");
    set(rec.server_type, "BasicDisk");
    set(rec.access_media_server, "media");
    ASSERT_EQ(dsml_populate_diskgroup(&rec, v.in()), 0);
    EXPECT_EQ(entries(v->properties()),
              (Entries{{"DSM::master", "m"}, {"DSM::servertype", "BasicDisk"}, {"DSM::mediaServer", "media"}}));
}

TEST(Population, VolumeNamesItselfOnly) {
    auto rec = zeroed<dsm_diskvolume_t>();
    set(rec.name, "V");
    set(rec.id, "vid");
    set(rec.diskgroup.name, "pool");
    DS::DiskVolume_var v = new OBV_DS::DiskVolume;
    v->size(3);
    v->type(3);
    v->properties() = props({{"x", "y"}});
    ASSERT_EQ(dsml_populate_diskvolume(&rec, v.in()), 0);
    EXPECT_STREQ(v->name(), "V");
    EXPECT_STREQ(v->objId(), "vid");
    EXPECT_EQ(v->size(), 0);
    EXPECT_EQ(v->type(), 0);
    EXPECT_EQ(v->properties().length(), 0u);
}

TEST(Population, StorageServerList) {
    LogCapture cap;
    dsm_storageserver_t servers[2];
    servers[0] = zeroed<dsm_storageserver_t>();
    servers[1] = zeroed<dsm_storageserver_t>();
    set(servers[0].name, "h0");
    set(servers[0].id, "i0");
    set(servers[0].server_type, "SANDisk");
    servers[0].storage_type = 6;
    set(servers[0].access_media_server, "ms0");
    set(servers[1].name, "h1");
    DS::StorageServerSeq list;
    ASSERT_EQ(dsml_populate_stslist(servers, 2, list), 0);
    ASSERT_EQ(list.length(), 2u);
    EXPECT_STREQ(list[0]->name(), "h0");
    EXPECT_STREQ(list[0]->objId(), "i0");
    EXPECT_STREQ(list[0]->servertype(), "SANDisk");
    EXPECT_EQ(list[0]->type(), 6);
    EXPECT_EQ(entries(list[0]->properties()), (Entries{{"DSM::mediaServer", "ms0"}}));
    EXPECT_STREQ(list[1]->name(), "h1");
    EXPECT_EQ(list[1]->properties().length(), 0u);
    const char* fn = "dsml_populate_stslist";
    EXPECT_TRUE(cap.has("num_stservers = 2", DSM_SEV_TRACE, fn)) << cap.dump();
    EXPECT_TRUE(cap.has("stservers[1].name = h1", DSM_SEV_TRACE, fn));
    EXPECT_TRUE(cap.has("stservers[0].server_type = SANDisk", DSM_SEV_TRACE, fn));
    EXPECT_TRUE(cap.has("stservers[0].access_media_server = ms0", DSM_SEV_TRACE, fn));

    cap.clear();
    ASSERT_EQ(dsml_populate_stslist(servers, 0, list), 0);
    EXPECT_EQ(list.length(), 0u);
    EXPECT_TRUE(cap.has("num_stservers = 0", DSM_SEV_TRACE, fn));
}

TEST(Population, ConfigItemRefusesAnUnknownDataType) {
    for (std::int32_t bad : {5, 0, -1}) {
        LogCapture cap;
        auto rec = zeroed<dsm_configitem_t>();
        set(rec.name, "n");
        set(rec.value, "v");
        rec.data_type = bad;
        DS::StorageServerConfigItem_var v = new OBV_DS::StorageServerConfigItem;
        EXPECT_EQ(dsml_populate_storageserverconfig(&rec, v.in()), DSM_E_INVALID_ARG) << bad;
        EXPECT_STREQ(v->name(), "n");
        EXPECT_STREQ(v->value(), "v");
        EXPECT_TRUE(cap.has("Failed to populate StorageServerConfigItem (error=invalid data type)",
                            DSM_SEV_ERROR, "dsml_populate_storageserverconfig"))
            << cap.dump();
    }
    auto rec = zeroed<dsm_configitem_t>();
    rec.data_type = 4;
    set(rec.description, "not sent");
    rec.fixed = 1;
    DS::StorageServerConfigItem_var v = new OBV_DS::StorageServerConfigItem;
    v->properties() = props({{"old", "1"}});
    v->type(3);
    ASSERT_EQ(dsml_populate_storageserverconfig(&rec, v.in()), 0);
    EXPECT_EQ(v->properties().length(), 0u);
    EXPECT_EQ(v->type(), 0);
    EXPECT_STREQ(v->objId(), "");
}

std::vector<std::string> names(const DS::PropertySeq& list) {
    std::vector<std::string> out;
    for (const auto& e : entries(list)) out.push_back(e.first);
    return out;
}

TEST(Population, VolumeInfoFiguresAndOrder) {
    auto rec = zeroed<dsm_diskvolumeinfo_t>();
    set(rec.name, "V");
    set(rec.diskgroup.master_server, "not carried");
    rec.total_capacity = 1000;
    rec.free_space = 400;
    rec.kdu_state = 3;
    rec.max_read_mounts = 8;
    DS::DiskVolumeInfo_var v = new OBV_DS::DiskVolumeInfo;
    ASSERT_EQ(dsml_populate_diskvolumeinfo(&rec, v.in()), 0);
    EXPECT_EQ(v->capacity(), 1000);
    EXPECT_EQ(v->used(), 600);
    EXPECT_STREQ(v->name(), "V");
    ASSERT_NE(v->volume(), nullptr);
    EXPECT_STREQ(v->volume()->name(), "V");
    const DS::PropertySeq& p = v->volume()->properties();
    EXPECT_EQ(names(p), (std::vector<std::string>{"DSM::potentialFreeSpace", "DSM::committedSpace",
                                                  "DSM::preCommittedSpace", "DSM::state", "DSM::maxReaders",
                                                  "DSM::currentReaders", "DSM::maxWriters",
                                                  "DSM::currentWriters"}));
    CORBA::String_var state = H::getPropertyByName(p, "DSM::state");
    EXPECT_STREQ(state.in(), "0");
    CORBA::String_var readers = H::getPropertyByName(p, "DSM::maxReaders");
    EXPECT_STREQ(readers.in(), "8");

    set(rec.system_tag, "layout");
    set(rec.disk_media_id, "@aaaab");
    rec.kdu_state = 1;
    DS::DiskVolumeInfo_var w = new OBV_DS::DiskVolumeInfo;
    ASSERT_EQ(dsml_populate_diskvolumeinfo(&rec, w.in()), 0);
    const Entries e = entries(w->volume()->properties());
    ASSERT_EQ(e.size(), 11u);
    EXPECT_EQ(e[3], (std::pair<std::string, std::string>{"DSM::diskMediaId", "@aaaab"}));
    EXPECT_EQ(e[4], (std::pair<std::string, std::string>{"DSM::systemTag", "layout"}));
    EXPECT_EQ(e[5], (std::pair<std::string, std::string>{"Volume Layout String", "layout"}));
    EXPECT_EQ(e[6], (std::pair<std::string, std::string>{"DSM::state", "1"}));
}

TEST(Population, VolumeInfoCarriesFlagsAndReplicationEntriesFromTheHeldValue) {
    DS::DiskVolume_var held_volume = new OBV_DS::DiskVolume;
    DS::PropertySeq held_props =
        props({{"DSM::ReplicationTargetSpec", "t1"}, {"DSM::flags", "5"}, {"other", "x"},
               {"DSMi::ReplicationSourceAndTargetSpecCount", "2"}, {"DSM::ReplicationTargetSpec", "t2"}});
    append_null(held_props);
    append_broken(held_props, false);
    held_volume->properties() = held_props;
    DS::DiskVolumeInfo_var held = new OBV_DS::DiskVolumeInfo;
    held->volume(held_volume.in());
    const CORBA::ULong refs = held->_refcount_value();

    auto rec = zeroed<dsm_diskvolumeinfo_t>();
    rec.object_ref = held.in();
    DS::DiskVolumeInfo_var v = new OBV_DS::DiskVolumeInfo;
    ASSERT_EQ(dsml_populate_diskvolumeinfo(&rec, v.in()), 0);
    Entries e = entries(v->volume()->properties());
    ASSERT_GE(e.size(), 4u);
    const Entries tail(e.end() - 4, e.end());
    EXPECT_EQ(tail, (Entries{{"DSM::flags", "5"}, {"DSMi::ReplicationSourceAndTargetSpecCount", "2"},
                             {"DSM::ReplicationTargetSpec", "t1"}, {"DSM::ReplicationTargetSpec", "t2"}}));
    EXPECT_EQ(held->_refcount_value(), refs) << "the held value is only read";
    EXPECT_EQ(held_volume->properties().length(), held_props.length());

    held_volume->properties() =
        props({{"DSMi::ReplicationSourceAndTargetSpecCount", "0"}, {"DSM::ReplicationSourceSpec", "s"}});
    DS::DiskVolumeInfo_var w = new OBV_DS::DiskVolumeInfo;
    ASSERT_EQ(dsml_populate_diskvolumeinfo(&rec, w.in()), 0);
    e = entries(w->volume()->properties());
    EXPECT_EQ(e.back(), (std::pair<std::string, std::string>{"DSMi::ReplicationSourceAndTargetSpecCount", "0"}));
    EXPECT_EQ(names(w->volume()->properties()).size(), 9u) << "8 figures and the count";

    rec.object_ref = nullptr;
    DS::DiskVolumeInfo_var bare = new OBV_DS::DiskVolumeInfo;
    ASSERT_EQ(dsml_populate_diskvolumeinfo(&rec, bare.in()), 0);
    EXPECT_EQ(bare->volume()->properties().length(), 8u);
}

// ---- reference release ----

// A fresh value held by a record, released through it.
template <class Obv, class Held, class Rec>
void check_single(int (*release)(Rec*), const char* what) {
    Obv* v = new Obv;
    Held* as_held = v;
    as_held->_add_ref();
    auto rec = zeroed<Rec>();
    rec.object_ref = as_held;
    ASSERT_EQ(v->_refcount_value(), 2u) << what;
    EXPECT_EQ(release(&rec), 0) << what;
    EXPECT_EQ(rec.object_ref, nullptr) << what;
    EXPECT_EQ(v->_refcount_value(), 1u) << what;
    EXPECT_EQ(release(&rec), 0) << what << ": a second release is a no-op";
    EXPECT_EQ(v->_refcount_value(), 1u) << what;
    v->_remove_ref();
}

TEST(RemoveRef, SingleReleasesOnceAndNulls) {
    check_single<OBV_DS::DiskGroupInfo, DS::DiskGroupInfo>(dsm_removeref_diskgroupinfo, "diskgroupinfo");
    check_single<OBV_DS::DiskVolumeInfo, DS::DiskVolumeInfo>(dsm_removeref_diskvolumeinfo, "diskvolumeinfo");
    check_single<OBV_DS::EnclosureInfo, DS::EnclosureInfo>(dsm_removeref_enclosureinfo, "enclosureinfo");
    check_single<OBV_DS::MountPoint, DS::MountPoint>(dsm_removeref_mountpoint, "mountpoint");
    check_single<OBV_DS::StorageServerInfo, DS::StorageServerInfo>(dsm_removeref_storageserver,
                                                                   "storageserver");
}

TEST(RemoveRef, ReleasedRecordKeepsItsFields) {
    DS::DiskGroupInfo_var v = new OBV_DS::DiskGroupInfo;
    auto rec = zeroed<dsm_diskgroupinfo_t>();
    set(rec.diskgroup.name, "still here");
    rec.num_disks = 4;
    v->_add_ref();
    rec.object_ref = v.in();
    ASSERT_EQ(dsm_removeref_diskgroupinfo(&rec), 0);
    EXPECT_STREQ(rec.diskgroup.name, "still here");
    EXPECT_EQ(rec.num_disks, 4);
    EXPECT_EQ(v->_refcount_value(), 1u);
}

TEST(RemoveRef, ListReleasesHoldersAndLeavesTheOthers) {
    DS::DiskVolumeInfo_var a = new OBV_DS::DiskVolumeInfo;
    DS::DiskVolumeInfo_var b = new OBV_DS::DiskVolumeInfo;
    dsm_diskvolumeinfo_t recs[4];
    for (auto& r : recs) r = zeroed<dsm_diskvolumeinfo_t>();
    a->_add_ref();
    b->_add_ref();
    recs[0].object_ref = a.in();
    recs[2].object_ref = b.in();
    DS::DiskVolumeInfo_var beyond = new OBV_DS::DiskVolumeInfo;
    beyond->_add_ref();
    recs[3].object_ref = beyond.in();
    EXPECT_EQ(dsm_removeref_diskvolumeinfo_list(recs, 3), 0);
    EXPECT_EQ(recs[0].object_ref, nullptr);
    EXPECT_EQ(recs[1].object_ref, nullptr);
    EXPECT_EQ(recs[2].object_ref, nullptr);
    EXPECT_EQ(a->_refcount_value(), 1u);
    EXPECT_EQ(b->_refcount_value(), 1u);
    EXPECT_EQ(recs[3].object_ref, beyond.in()) << "only 'count' records are touched";
    EXPECT_EQ(dsm_removeref_diskvolumeinfo_list(recs + 3, 0), 0);
    EXPECT_EQ(recs[3].object_ref, beyond.in());
    EXPECT_EQ(beyond->_refcount_value(), 2u);
    EXPECT_EQ(dsm_removeref_diskvolumeinfo_list(recs + 3, 1), 0);
    EXPECT_EQ(beyond->_refcount_value(), 1u);

    DS::StorageServerInfo_var s = new OBV_DS::StorageServerInfo;
    dsm_storageserverinfo_t servers[2] = {zeroed<dsm_storageserverinfo_t>(), zeroed<dsm_storageserverinfo_t>()};
    s->_add_ref();
    servers[1].object_ref = s.in();
    EXPECT_EQ(dsm_removeref_storageserver_list(servers, 2), 0);
    EXPECT_EQ(servers[1].object_ref, nullptr);
    EXPECT_EQ(s->_refcount_value(), 1u);
}

struct ArgCase {
    const char* function;
    std::function<int()> call;
    const char* message;
};

TEST(RemoveRef, BadArgumentsAreReportedExactly) {
    auto mp = zeroed<dsm_mountpoint_t>();
    auto enc = zeroed<dsm_enclosureinfo_t>();
    auto dg = zeroed<dsm_diskgroupinfo_t>();
    auto ss = zeroed<dsm_storageserverinfo_t>();
    auto dv = zeroed<dsm_diskvolumeinfo_t>();
    const ArgCase cases[] = {
        {"dsm_removeref_storageserver", [] { return dsm_removeref_storageserver(nullptr); },
         "Input argument 'stserverinfo' is NULL"},
        {"dsm_removeref_storageserver_list", [] { return dsm_removeref_storageserver_list(nullptr, 2); },
         "Input argument 'stserverinfo' is NULL"},
        {"dsm_removeref_storageserver_list", [&] { return dsm_removeref_storageserver_list(&ss, -1); },
         "Input argument 'num_stservers' is negative (-1)"},
        {"dsm_removeref_diskgroupinfo", [] { return dsm_removeref_diskgroupinfo(nullptr); },
         "Input argument 'diskgroupinfo' is NULL"},
        {"dsm_removeref_diskgroupinfo_list", [] { return dsm_removeref_diskgroupinfo_list(nullptr, 1); },
         "Input argument 'diskgroups' is NULL"},
        {"dsm_removeref_diskgroupinfo_list", [&] { return dsm_removeref_diskgroupinfo_list(&dg, -2); },
         "Input argument 'num_diskgroups' is negative (-2)"},
        {"dsm_removeref_diskvolumeinfo", [] { return dsm_removeref_diskvolumeinfo(nullptr); },
         "Input argument 'diskvolumeinfo' is NULL"},
        {"dsm_removeref_diskvolumeinfo_list", [] { return dsm_removeref_diskvolumeinfo_list(nullptr, -1); },
         "Input argument 'diskvolumes' is NULL"},
        {"dsm_removeref_diskvolumeinfo_list", [&] { return dsm_removeref_diskvolumeinfo_list(&dv, -9); },
         "Input argument 'num_diskvolumes' is negative (-9)"},
        {"dsm_removeref_enclosureinfo", [] { return dsm_removeref_enclosureinfo(nullptr); },
         "Input argument 'enclosureinfo' is NULL"},
        {"dsm_removeref_enclosureinfo_list", [] { return dsm_removeref_enclosureinfo_list(nullptr, 0); },
         "Input argument 'enclosures' is NULL"},
        {"dsm_removeref_enclosureinfo_list", [&] { return dsm_removeref_enclosureinfo_list(&enc, -3); },
         "Input argument 'num_enclosures' is negative (-3)"},
        {"dsm_removeref_mountpoint", [] { return dsm_removeref_mountpoint(nullptr); },
         "Input argument 'mountpoint' is NULL"},
        {"dsm_removeref_mountpoint_list", [] { return dsm_removeref_mountpoint_list(nullptr, 3); },
         "Input argument 'mountpoints' is NULL"},
        {"dsm_removeref_mountpoint_list", [&] { return dsm_removeref_mountpoint_list(&mp, -1); },
         "Input argument 'num_mountpoints' is negative (-1)"},
    };
    for (const ArgCase& c : cases) {
        LogCapture cap;
        EXPECT_EQ(c.call(), DSM_E_INVALID_ARG) << c.function;
        const std::vector<LogLine> lines = cap.lines();
        ASSERT_EQ(lines.size(), 1u) << c.function << "\n" << cap.dump();
        EXPECT_EQ(lines[0].text, c.message);
        EXPECT_EQ(lines[0].severity, DSM_SEV_ERROR);
        EXPECT_EQ(lines[0].function, c.function);
        EXPECT_EQ(lines[0].source, "dsmlib_removeref");
    }
}

}  // namespace
