// Records, their conversion from and to service values, and the release of
// the references they hold. No service is involved. Layouts are pinned by
// c_header_check.c; what the service receives from a caller's record and
// the wrapping volume figures are checked in test_regressions.cpp.
#include "LogCapture.h"

#include "DiskServiceHelper.h"
#include "dsm.h"
#include "dsmlib_popext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace DS = Orvane::Keldra::DL::DiskService;
namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;
using H = DiskServiceHelper;

namespace {

using Pairs = std::vector<std::pair<const char*, const char*>>;
using Entries = std::vector<std::pair<std::string, std::string>>;
using Texts = std::vector<std::string>;
using Numbers = std::vector<std::int64_t>;

DS::PropertySeq props(const Pairs& pairs) {
    DS::PropertySeq list;
    for (const auto& p : pairs) H::addProperty(list, p.first, p.second);
    return list;
}

// Appends a null element, one with a null name and one with a null value.
void append_malformed(DS::PropertySeq& list) {
    const CORBA::ULong n = list.length();
    list.length(n + 3);
    for (CORBA::ULong i = n + 1; i < n + 3; ++i) {
        list[i] = new OBV_DS::Property;
        list[i]->name(i == n + 1 ? static_cast<char*>(nullptr) : CORBA::string_dup("n"));
        list[i]->value(i == n + 2 ? static_cast<char*>(nullptr) : CORBA::string_dup("v"));
    }
}

Entries entries(const DS::PropertySeq& list) {
    Entries out;
    for (CORBA::ULong i = 0; i < list.length(); ++i) out.emplace_back(list[i]->name(), list[i]->value());
    return out;
}

template <std::size_t N>
void set(char (&dst)[N], const std::string& text) {
    ASSERT_LT(text.size(), N);
    std::memcpy(dst, text.c_str(), text.size() + 1);
}

// Sets each field to the text at its place in 't'.
template <std::size_t... N>
void put(const Texts& t, char (&... dst)[N]) {
    std::size_t i = 0;
    (set(dst, t[i++]), ...);
}

// The record an extraction makes of 'v', from a record of 'fill' bytes.
template <class Rec, class Value, class Arg>
Rec extracted(int (*extract)(const Value*, Rec*), const Arg* v, int fill = 0) {
    Rec rec;
    std::memset(&rec, fill, sizeof rec);
    EXPECT_EQ(extract(v, &rec), 0);
    return rec;
}

void expect_traces(const LogCapture& cap, const char* function, const std::vector<std::string>& texts) {
    for (const std::string& t : texts)
        EXPECT_TRUE(cap.has(t, DSM_SEV_TRACE, function)) << t << "\n" << cap.dump();
}

}  // namespace

// Typed members and text properties each take a bounded copy (one template
// each, whatever the field). Records of 'x' bytes show a missing terminator.
TEST(RecordText, EveryFieldKeepsItsMaximumAndCutsOneMore) {
    const std::size_t sizes[] = {257, 1025, 65, 1025, 257};
    DS::DiskGroup_var v = new OBV_DS::DiskGroup;
    for (std::size_t n : sizes) {
        for (std::size_t len : {n - 1, n}) {
            Texts sent, want;
            for (std::size_t i = 0; i < std::size(sizes); ++i) {
                // A letter of its own per field, so that a mix-up of fields shows too.
                sent.emplace_back(len, static_cast<char>('a' + i));
                want.emplace_back(std::min(len, sizes[i] - 1), static_cast<char>('a' + i));
            }
            v->name(sent[0].c_str());
            v->properties() = props({{"DSM::master", sent[1].c_str()}, {"DSM::servertype", sent[2].c_str()},
                                     {"DSM::mediaServer", sent[3].c_str()}, {"DSM::userTag", sent[4].c_str()}});
            const auto rec = extracted(dsml_extract_diskgroup, v.in(), 'x');
            const dsm_diskgroup_t& g = rec.diskgroup;
            EXPECT_EQ((Texts{g.name, g.master_server, g.server_type, g.access_media_server, rec.user_tag}), want)
                << "texts of " << len;
        }
    }
}

TEST(Extraction, PropertyConversionsAtTheirBoundaries) {
    using R = dsm_diskgroupinfo_t;
    struct Conversion {
        const char* property;
        std::int32_t R::*field;
        std::vector<std::pair<const char*, std::int32_t>> cases;
    };
    const Conversion conversions[] = {
        // The state's low four bits count; the service keeps flags above.
        {"DSM::state", &R::kdu_state, {{"2", 1}, {"18", 1}, {"3", 2}, {"abc", 3}}},
        {"DSM::imported", &R::availability, {{"yes", 2}, {"N", 1}, {"", 0}}},
        {"Connectivity", &R::connectivity, {{"Y", 1}, {"n", 2}, {"?", 0}}},
        {"DSM::highWaterMark", &R::high_watermark, {{"-7%", -7}}},
    };
    // Records of 0x55 bytes show a field left unwritten.
    DS::DiskGroup_var v = new OBV_DS::DiskGroup;
    for (const Conversion& c : conversions) {
        for (const auto& value : c.cases) {
            v->properties() = props({{c.property, value.first}});
            EXPECT_EQ(extracted(dsml_extract_diskgroup, v.in(), 0x55).*c.field, value.second)
                << c.property << "=" << value.first;
        }
    }
    v->properties() = props({{"DSM::usedSpace", "-99999999999999999999"}});
    EXPECT_EQ(extracted(dsml_extract_diskgroup, v.in(), 0x55).used_space,
              std::numeric_limits<std::int64_t>::min());
}

// The later duplicate wins; names match case-sensitively; an absent property
// leaves its field. One walk reads every property list, skipping malformed
// elements with a warning.
TEST(Extraction, PoolMembersPropertiesAndLogs) {
    LogCapture cap;
    DS::DiskGroup_var v = new OBV_DS::DiskGroup;
    v->name("P1");
    v->objId("id-1");
    v->type(6);
    v->size(5000);
    DS::PropertySeq list = props({{"DSM::highWaterMark", "70"}, {"DSM::state", "18"}, {"dsm::userTag", "other case"},
                                  {"DSM::highWaterMark", "80"}, {"DSM::systemTag", "sys"}});
    append_malformed(list);
    v->properties() = list;
    auto rec = dsm_diskgroupinfo_t{};
    put({"kept", "untouched"}, rec.user_tag, rec.diskgroup.master_server);
    ASSERT_EQ(dsml_extract_diskgroup(v.in(), &rec), 0);
    EXPECT_EQ((Texts{rec.diskgroup.name, rec.diskgroup.id, rec.user_tag, rec.diskgroup.master_server,
                     rec.system_tag}),
              (Texts{"P1", "id-1", "kept", "untouched", "sys"}));
    EXPECT_EQ((Numbers{rec.storage_type, rec.total_capacity, rec.high_watermark}), (Numbers{6, 5000, 80}));
    // One line of each shape: a text, a number, a raw value, an unknown property.
    expect_traces(cap, "dsml_extract_diskgroup",
                  {"diskgroup.name = P1", "diskgroupinfo.total_capacity = 5000",
                   "diskgroupinfo.kdu_state = conv_fn(18)", "property.name=dsm::userTag, property.value=other case"});
    for (const char* text : {"diskgroup.properties[5] is NULL", "diskgroup.properties[6] is invalid",
                             "diskgroup.properties[7] is invalid"})
        EXPECT_TRUE(cap.has(text, DSM_SEV_WARNING, "dsml_extract_diskgroup")) << text << "\n" << cap.dump();
    for (const LogLine& l : cap.lines()) EXPECT_EQ(l.source, "dsmlib_popext");
}

// The caller's pool name is kept; the rest of the identity and the member
// counts come from the info (its figures are checked through the tool's pool
// listings in tests/tool).
TEST(Extraction, PoolInfoKeepsCallerIdentityAndCountsMembers) {
    DS::DiskGroupInfo_var v = new OBV_DS::DiskGroupInfo;
    v->group(DS::DiskGroup_var(new OBV_DS::DiskGroup).in());
    v->name("theirs");
    v->id("their-id");
    v->volumes().length(2);
    v->disks().length(3);
    v->hosts().length(1);
    auto rec = dsm_diskgroupinfo_t{};
    set(rec.diskgroup.name, "mine");
    ASSERT_EQ(dsml_extract_diskgroupinfo(v.in(), &rec), 0);
    EXPECT_EQ((Texts{rec.diskgroup.name, rec.diskgroup.id}), (Texts{"mine", "their-id"}));
    EXPECT_EQ((Numbers{rec.num_diskvolumes, rec.num_disks, rec.num_stservers}), (Numbers{2, 3, 1}));
}

// The later of the two tags wins; only a plain volume reads its free space
// from a property (an info's with the figures below).
TEST(Extraction, VolumeTagsAndIdentity) {
    LogCapture cap;
    DS::DiskVolume_var d = new OBV_DS::DiskVolume;
    d->objId("vid");
    d->properties() = props({{"DSM::systemTag", "tag"}, {"Volume Layout String", "layout"}, {"DSM::freeSpace", "5"}});
    DS::DiskVolumeInfo_var v = new OBV_DS::DiskVolumeInfo;
    v->volume(d.in());
    v->name("V");
    auto rec = dsm_diskvolumeinfo_t{};
    set(rec.id, "caller-id");
    ASSERT_EQ(dsml_extract_diskvolumeinfo(v.in(), &rec), 0);
    EXPECT_EQ((Texts{rec.system_tag, rec.name, rec.id}), (Texts{"layout", "V", "caller-id"}));
    expect_traces(cap, "dsml_extract_diskvolumeinfo", {"diskvolumeinfo.system_tag (config_string) = layout"});

    d->properties() = props({{"Volume Layout String", "layout"}, {"DSM::systemTag", "tag"}, {"DSM::freeSpace", "5"}});
    const auto plain = extracted(dsml_extract_diskvolume, d.in());
    EXPECT_EQ((Texts{plain.system_tag, plain.id}), (Texts{"tag", "vid"}));
    EXPECT_EQ(plain.free_space, 5);
}

// The value's earlier properties are replaced; without a media server only
// master and server type go out, as test_pools.cpp checks through the service.
TEST(Population, PoolSendsMasterAndServerTypeAndMediaServerWhenSet) {
    auto rec = dsm_diskgroup_t{};
    put({"P", "pid", "m", "BasicDisk", "media"}, rec.name, rec.id, rec.master_server, rec.server_type,
        rec.access_media_server);
    DS::DiskGroup_var v = new OBV_DS::DiskGroup;
    v->properties() = props({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
    ASSERT_EQ(dsml_populate_diskgroup(&rec, v.in()), 0);
    EXPECT_EQ((Texts{v->name(), v->objId()}), (Texts{"P", "pid"}));
    EXPECT_EQ(entries(v->properties()),
              (Entries{{"DSM::master", "m"}, {"DSM::servertype", "BasicDisk"}, {"DSM::mediaServer", "media"}}));
}

// A server record goes out as a value and reads back from a server info;
// its media server travels only when set, and the info's properties are
// read without a trace of each.
TEST(Population, StorageServerListAndBack) {
    LogCapture cap;
    dsm_storageserver_t servers[2] = {};
    put({"h0", "i0", "SANDisk", "ms0"}, servers[0].name, servers[0].id, servers[0].server_type,
        servers[0].access_media_server);
    servers[0].storage_type = 6;
    set(servers[1].name, "h1");
    DS::StorageServerSeq list;
    ASSERT_EQ(dsml_populate_stslist(servers, 2, list), 0);
    ASSERT_EQ(list.length(), 2u);
    EXPECT_EQ((Texts{list[0]->name(), list[0]->objId(), list[0]->servertype(), list[1]->name()}),
              (Texts{"h0", "i0", "SANDisk", "h1"}));
    EXPECT_EQ(list[0]->type(), 6);
    EXPECT_EQ(list[1]->properties().length(), 0u);
    expect_traces(cap, "dsml_populate_stslist", {"num_stservers = 2", "stservers[1].name = h1"});

    H::addProperty(list[0]->properties(), "DSM::flags", "12");
    DS::StorageServerInfo_var info = new OBV_DS::StorageServerInfo;
    info->host(list[0].in());
    EXPECT_EQ(entries(info->host()->properties()), (Entries{{"DSM::mediaServer", "ms0"}, {"DSM::flags", "12"}}));
    const auto back = extracted(dsml_extract_storageserverinfo, info.in());
    EXPECT_EQ((Texts{back.stserver.name, back.stserver.id, back.stserver.server_type,
                     back.stserver.access_media_server}),
              (Texts{"h0", "i0", "SANDisk", "ms0"}));
    EXPECT_EQ((Numbers{back.property_flags, back.stserver.storage_type}), (Numbers{12, 6}));
    expect_traces(cap, "dsml_extract_storageserverinfo", {"stserverinfo.property_flags = 12"});
    for (const LogLine& l : cap.containing("property.name="))
        EXPECT_NE(l.function, "dsml_extract_storageserverinfo") << l.text;
}

// Record kinds and the service's codes map both ways; an unknown kind is
// refused and an unknown code read as unknown. Extraction warns only of
// malformed properties, reads "y" alone as fixed and needs name and value.
TEST(Population, ConfigItemKindsAndExtraction) {
    auto rec = dsm_configitem_t{};
    put({"n", "v", "not sent"}, rec.name, rec.value, rec.description);
    rec.fixed = 1;
    for (const auto& [kind, code] : {std::make_pair(1, 2), std::make_pair(2, 1), std::make_pair(3, 0),
                                     std::make_pair(4, 3)}) {
        rec.data_type = kind;
        DS::StorageServerConfigItem_var v = new OBV_DS::StorageServerConfigItem;
        ASSERT_EQ(dsml_populate_storageserverconfig(&rec, v.in()), 0);
        EXPECT_EQ((Numbers{v->cdtype(), v->properties().length()}), (Numbers{code, 0})) << kind;
        EXPECT_EQ(extracted(dsml_extract_storageserverconfig, v.in()).data_type, kind);
    }
    LogCapture cap;
    for (std::int32_t bad : {5, 0}) {
        rec.data_type = bad;
        DS::StorageServerConfigItem_var v = new OBV_DS::StorageServerConfigItem;
        EXPECT_EQ(dsml_populate_storageserverconfig(&rec, v.in()), DSM_E_INVALID_ARG) << bad;
        EXPECT_EQ((Texts{v->name(), v->value()}), (Texts{"n", "v"}));
    }
    ASSERT_EQ(cap.lines().size(), 2u) << cap.dump();
    EXPECT_TRUE(cap.has("Failed to populate StorageServerConfigItem (error=invalid data type)", DSM_SEV_ERROR,
                        "dsml_populate_storageserverconfig"));

    cap.clear();
    DS::StorageServerConfigItem_var v = new OBV_DS::StorageServerConfigItem;
    v->name("item");
    v->value("42");
    v->cdtype(7);
    DS::PropertySeq list = props({{"DSM::ConfigDescription", "about"}, {"unknown", "x"}});
    append_malformed(list);
    v->properties() = list;
    const auto out = extracted(dsml_extract_storageserverconfig, v.in(), 9);
    EXPECT_EQ(out.data_type, DSM_CONFIG_UNKNOWN);
    EXPECT_STREQ(out.description, "about");
    ASSERT_EQ(cap.lines().size(), 2u) << cap.dump();
    EXPECT_TRUE(cap.has("configitem.properties[3] is invalid", DSM_SEV_WARNING, "dsml_extract_storageserverconfig"));
    for (const auto& [text, fixed] : {std::make_pair("y", 1), std::make_pair("yes", 0)}) {
        v->properties() = props({{"DSM::ConfigFixed", text}});
        EXPECT_EQ(extracted(dsml_extract_storageserverconfig, v.in(), 5).fixed, fixed) << text;
    }

    // Without a name nothing is read; without a value the name is.
    cap.clear();
    for (bool has_name : {false, true}) {
        DS::StorageServerConfigItem_var broken = new OBV_DS::StorageServerConfigItem;
        broken->name(has_name ? CORBA::string_dup("only name") : static_cast<char*>(nullptr));
        broken->value(has_name ? static_cast<char*>(nullptr) : CORBA::string_dup("v"));
        auto r = dsm_configitem_t{};
        EXPECT_EQ(dsml_extract_storageserverconfig(broken.in(), &r), DSM_E_CONFIG_ITEM);
        EXPECT_EQ((Texts{r.name, r.value}), (Texts{has_name ? "only name" : "", ""}));
    }
    EXPECT_TRUE(cap.lines().empty()) << cap.dump();
}

// Every figure goes out under its own name, in order, and an extraction
// reads each back into the field it came from.
TEST(Population, VolumeInfoFiguresAndHeldValueEntries) {
    using R = dsm_diskvolumeinfo_t;
    const std::pair<std::int64_t R::*, std::int64_t> sizes[] = {
        {&R::total_capacity, 1000}, {&R::free_space, 400}, {&R::potential_free_space, -17},
        {&R::committed_space, 1LL << 40}, {&R::precommitted_space, 99}};
    const std::pair<std::int32_t R::*, std::int32_t> counts[] = {
        {&R::kdu_state, 2}, {&R::max_read_mounts, 8}, {&R::num_read_mounts, 1},
        {&R::max_write_mounts, 4}, {&R::num_write_mounts, 3}};
    auto rec = R{};
    put({"V", "not carried", "layout", "@aaaab"}, rec.name, rec.diskgroup.master_server, rec.system_tag,
        rec.disk_media_id);
    for (const auto& [field, n] : sizes) rec.*field = n;
    for (const auto& [field, n] : counts) rec.*field = n;
    DS::DiskVolumeInfo_var v = new OBV_DS::DiskVolumeInfo;
    ASSERT_EQ(dsml_populate_diskvolumeinfo(&rec, v.in()), 0);
    EXPECT_EQ((Numbers{v->capacity(), v->used()}), (Numbers{1000, 600}));
    ASSERT_NE(v->volume(), nullptr);
    EXPECT_EQ((Texts{v->name(), v->volume()->name()}), (Texts{"V", "V"}));
    EXPECT_EQ(entries(v->volume()->properties()),
              (Entries{{"DSM::potentialFreeSpace", "-17"}, {"DSM::committedSpace", "1099511627776"},
                       {"DSM::preCommittedSpace", "99"}, {"DSM::diskMediaId", "@aaaab"},
                       {"DSM::systemTag", "layout"}, {"Volume Layout String", "layout"}, {"DSM::state", "2"},
                       {"DSM::maxReaders", "8"}, {"DSM::currentReaders", "1"}, {"DSM::maxWriters", "4"},
                       {"DSM::currentWriters", "3"}}));
    const auto out = extracted(dsml_extract_diskvolumeinfo, v.in());
    for (const auto& [field, n] : sizes) EXPECT_EQ(out.*field, n);
    for (const auto& [field, n] : counts) EXPECT_EQ(out.*field, n);
    EXPECT_EQ((Texts{out.name, out.disk_media_id, out.system_tag}), (Texts{"V", "@aaaab", "layout"}));

    // Empty tags are left out; a state other than 1 or 2 goes out as 0. A held
    // value's flags and replication count travel, its entries only with a count
    // above 0 (as test_volumes.cpp checks through the service); it is only read.
    DS::DiskVolume_var held_volume = new OBV_DS::DiskVolume;
    held_volume->properties() = props({{"DSM::flags", "5"}, {"other", "x"},
                                       {"DSMi::ReplicationSourceAndTargetSpecCount", "0"},
                                       {"DSM::ReplicationSourceSpec", "s"}});
    DS::DiskVolumeInfo_var held = new OBV_DS::DiskVolumeInfo;
    held->volume(held_volume.in());
    const CORBA::ULong refs = held->_refcount_value();
    put({"", ""}, rec.system_tag, rec.disk_media_id);
    rec.kdu_state = 3;
    rec.object_ref = held.in();
    DS::DiskVolumeInfo_var w = new OBV_DS::DiskVolumeInfo;
    ASSERT_EQ(dsml_populate_diskvolumeinfo(&rec, w.in()), 0);
    const Entries e = entries(w->volume()->properties());
    ASSERT_EQ(e.size(), 10u);
    EXPECT_EQ(e[3], Entries::value_type("DSM::state", "0"));
    EXPECT_EQ(Entries(e.begin() + 8, e.end()),
              (Entries{{"DSM::flags", "5"}, {"DSMi::ReplicationSourceAndTargetSpecCount", "0"}}));
    EXPECT_EQ(held->_refcount_value(), refs);
    EXPECT_EQ(held_volume->properties().length(), 4u);
}

namespace {

// One kind of info record: the single form releases once, clears object_ref
// and leaves every other byte; the list form releases the first 'count'
// holders and passes over empty records; a null record or a negative count is
// one exact error, the null list reported before its count.
template <class Obv, class Held, class Rec>
void check_release(int (*one)(Rec*), int (*list)(Rec*, int), const std::string& fn, const std::string& arg,
                   const std::string& list_arg, const std::string& count_arg) {
    SCOPED_TRACE(fn);
    Obv* v = new Obv;
    Held* held = v;
    Rec recs[4] = {};
    for (int i : {0, 1, 3}) {
        v->_add_ref();
        recs[i].object_ref = held;
    }
    Rec expected;
    std::memcpy(&expected, &recs[0], sizeof expected);
    expected.object_ref = nullptr;
    EXPECT_EQ(one(&recs[0]), 0);
    EXPECT_EQ(std::memcmp(&recs[0], &expected, sizeof expected), 0);
    // recs[2] is empty and recs[3] lies past the count, until a list of one.
    EXPECT_EQ(list(recs + 1, 2), 0);
    EXPECT_EQ(recs[3].object_ref, held);
    EXPECT_EQ(list(recs + 3, 1), 0);
    for (const Rec& r : recs) EXPECT_EQ(r.object_ref, nullptr);
    EXPECT_EQ(v->_refcount_value(), 1u);
    v->_remove_ref();

    const std::string list_fn = fn + "_list";
    const std::tuple<std::string, std::function<int()>, std::string> bad[] = {
        {fn, [&] { return one(nullptr); }, "Input argument '" + arg + "' is NULL"},
        {list_fn, [&] { return list(nullptr, -1); }, "Input argument '" + list_arg + "' is NULL"},
        {list_fn, [&] { return list(recs, -3); }, "Input argument '" + count_arg + "' is negative (-3)"},
    };
    for (const auto& [function, call, message] : bad) {
        LogCapture cap;
        EXPECT_EQ(call(), DSM_E_INVALID_ARG) << message;
        const std::vector<LogLine> lines = cap.lines();
        ASSERT_EQ(lines.size(), 1u) << cap.dump();
        EXPECT_EQ(std::make_tuple(lines[0].text, lines[0].severity, lines[0].function, lines[0].source),
                  std::make_tuple(message, int{DSM_SEV_ERROR}, function, std::string("dsmlib_removeref")));
    }
}

}  // namespace

TEST(RemoveRef, EveryKindReleasesItsHoldersAndChecksItsArguments) {
    check_release<OBV_DS::DiskGroupInfo, DS::DiskGroupInfo>(
        dsm_removeref_diskgroupinfo, dsm_removeref_diskgroupinfo_list, "dsm_removeref_diskgroupinfo",
        "diskgroupinfo", "diskgroups", "num_diskgroups");
    check_release<OBV_DS::DiskVolumeInfo, DS::DiskVolumeInfo>(
        dsm_removeref_diskvolumeinfo, dsm_removeref_diskvolumeinfo_list, "dsm_removeref_diskvolumeinfo",
        "diskvolumeinfo", "diskvolumes", "num_diskvolumes");
    check_release<OBV_DS::EnclosureInfo, DS::EnclosureInfo>(
        dsm_removeref_enclosureinfo, dsm_removeref_enclosureinfo_list, "dsm_removeref_enclosureinfo",
        "enclosureinfo", "enclosures", "num_enclosures");
    check_release<OBV_DS::MountPoint, DS::MountPoint>(dsm_removeref_mountpoint, dsm_removeref_mountpoint_list,
                                                      "dsm_removeref_mountpoint", "mountpoint", "mountpoints",
                                                      "num_mountpoints");
    // The server pair names the single record in both null messages.
    check_release<OBV_DS::StorageServerInfo, DS::StorageServerInfo>(
        dsm_removeref_storageserver, dsm_removeref_storageserver_list, "dsm_removeref_storageserver",
        "stserverinfo", "stserverinfo", "num_stservers");
}
