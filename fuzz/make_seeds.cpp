// Writes the seed corpora of every fuzz target:
//
//   build-fuzz/fuzz/dsm_fuzz_seeds fuzz/corpus
//
// Structured seeds are written in the grammar of FuzzValues.h, one typical
// value per kind (with a null element or two, as the service may send).
// Wire seeds are those same values decoded and marshalled by the ORB, so
// both corpora start from the same shapes.
#include "FuzzInput.h"
#include "FuzzValues.h"

#include "dsmlib_internal.h"

#include <omniORB4/cdrStream.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace dsmfuzz;
namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

const Bytes kKnobs = {3, 2, 1, 4, 5, 6};
constexpr std::uint8_t kElement = 0;  // any tag but the null one

fs::path g_root;

void save(const std::string& target, const std::string& label, const Bytes& bytes) {
    const fs::path dir = g_root / target;
    fs::create_directories(dir);
    std::ofstream out(dir / label, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// ---- the structured grammar ----

void properties(Writer& w, const Pairs& pairs, bool null_element = false) {
    w.byte(static_cast<std::uint8_t>(pairs.size() + (null_element ? 1 : 0)));
    for (const auto& p : pairs) w.byte(kElement).name(p.first).text(p.second);
    if (null_element) w.byte(kNullElement);
}

void objspec(Writer& w, const std::string& tag, std::uint32_t type, const Pairs& pairs) {
    w.text("id-" + tag).u32(type).text(tag);
    properties(w, pairs, true);
}

void diskgroup(Writer& w) {
    objspec(w, "pool1", 6,
            {{"DSM::servertype", "AdvancedDisk"}, {"DSM::master", "master1"},
             {"DSM::usedSpace", "4096"}, {"DSM::state", "18"}, {"DSM::imported", "no"},
             {"Connectivity", "Y"}, {"DSM::highWaterMark", "98"}, {"DSM::lowWaterMark", "80"},
             {"DSM::userTag", "tag"}, {"DSM::flags", "12"}, {"dsm::userTag", "other case"}});
    w.i64(1 << 30);
}

void diskvolume(Writer& w) {
    objspec(w, "vol1", 0,
            {{"DSM::freeSpace", "100"}, {"DSM::diskMediaId", "@aaaab0123456789012345678901234567890"},
             {"DSM::state", "3"}, {"DSM::maxReaders", "-2"}, {"Volume Layout String", "layout"},
             {"DSM::ReplicationSourceSpec", "src-a"}, {"DSM::ReplicationTargetSpec", "tgt-a"},
             {"DSM::ReplicationSourceSpec", "src-b"}, {"DSM::flags", "-1"}});
    w.i64(1000);
}

void storageserver(Writer& w) {
    objspec(w, "sts1", 6,
            {{"DSM::mediaServer", "media1"}, {"DSM::flags", "7"}, {"DSM::state", "2"},
             {"Arraytype.List", "int:Display Name"}, {"Arraytype.List", "no colon"}});
    w.text("SharedDisk");
}

void disk(Writer& w) {
    objspec(w, "disk1", 0, {{"DSM::anything", "logged only"}});
    w.byte(1);
}

void nested(Writer& w, const std::function<void(Writer&)>& value) { value(w.byte(kElement)); }

void elements(Writer& w, const std::function<void(Writer&)>& value, int n, bool null_element) {
    w.byte(static_cast<std::uint8_t>(n + (null_element ? 1 : 0)));
    for (int i = 0; i < n; ++i) nested(w, value);
    if (null_element) w.byte(kNullElement);
}

void diskgroupinfo(Writer& w) {
    w.i64(1LL << 40).u32(1);
    nested(w, diskgroup);
    w.text("AdvancedDisk");
    elements(w, storageserver, 1, false);
    w.text("sts1").text("pool-id");
    elements(w, diskvolume, 2, true);
    elements(w, disk, 1, true);
    w.text("master1").i64(7);
    elements(w, [](Writer& d) { objspec(d, "dm1", 0, {}); }, 1, false);
    w.u32(2).text("pool1").i64(1LL << 20);
}

void diskvolumeinfo(Writer& w) {
    w.i64(1000).u32(1);
    nested(w, diskvolume);
    w.text("AdvancedDisk").text("sts1").u32(1).i64(400).text("vol1").i64(300);
}

void storageserverinfo(Writer& w) {
    w.text("admin").text("secret");
    elements(w, [](Writer& d) { objspec(d, "dm1", 0, {}); }, 1, false);
    nested(w, storageserver);
    w.text("sts1");
}

void configitem(Writer& w) {
    objspec(w, "item1", 0, {{"DSM::ConfigDescription", "what it does"}, {"DSM::ConfigFixed", "y"}});
    w.text("value1").u32(1);
}

void enclosure(Writer& w) { objspec(w, "encl1", 0, {{"DSM::servertype", "SANDisk"}}); }

void enclosureinfo(Writer& w) {
    w.i64(1 << 20);
    nested(w, enclosure);
    w.text("SANDisk");
    elements(w, storageserver, 1, true);
    properties(w, {{"Enclosure Type", "array"}, {"Enclosure Serial Number", "SN1"},
                   {"Availability", "y"}, {"Connectivity", "n"}});
    w.text("encl-id");
    elements(w, disk, 1, true);
    w.text("encl1");
}

void mountpoint(Writer& w) {
    properties(w, {{"DSM::storageServer", "sts1"}, {"DSM::state", "1"},
                   {"DSM::diskVolumeName", "vol1"}, {"DSM::flags", "18446744073709551615"}},
               true);
    w.text("/mnt/vol1");
}

struct ValueSeed {
    const char* label;
    void (*write)(Writer&);
};

// In the order of the kinds of fuzz_extract and fuzz_wire.
const ValueSeed kValues[] = {
    {"diskgroup", diskgroup},         {"diskgroupinfo", diskgroupinfo},
    {"diskvolume", diskvolume},       {"diskvolumeinfo", diskvolumeinfo},
    {"storageserver", storageserver}, {"storageserverinfo", storageserverinfo},
    {"configitem", configitem},       {"enclosure", enclosure},
    {"enclosureinfo", enclosureinfo}, {"disk", disk},
    {"mountpoint", mountpoint},
};

Bytes structured(std::uint8_t kind, void (*write)(Writer&)) {
    Writer w;
    w.byte(kind);
    write(w);
    Bytes out = w.bytes();
    out.insert(out.end(), kKnobs.begin(), kKnobs.end());
    return out;
}

// A details node of the given kind with 'depth' levels of two causes below.
void details(Writer& w, std::uint8_t kind, int depth, std::uint32_t code) {
    w.byte(kind).text("DiskService").text(kind == 4 ? "IllegalArgumentException" : "ServiceException");
    w.text("emm1").text("PoolStore").text("find():9").i64(1765000000);
    w.byte(kElement).u32(kind == 4 ? 18 : 8).u32(178).i64(1765000001);
    w.byte(3);
    w.byte(2).u32(0).text("pool").text("pool1");
    w.byte(3).u32(1).text("count").i64(-42);
    w.byte(1).u32(2).text("plain");
    if (kind == 2 || kind == 3) w.u32(code);
    if (kind == 3) w.text("disk pool not found").u32(1);
    if (kind == 4) w.text("name");
    w.byte(depth > 0 ? 2 : 0);
    for (int i = 0; depth > 0 && i < 2; ++i) details(w, static_cast<std::uint8_t>(1 + i), depth - 1, code);
}

Bytes exception_seed(const Text& locale, bool illegal, std::uint8_t kind, std::uint32_t code) {
    Writer w;
    w.text(locale).byte(illegal ? 1 : 0);
    details(w, kind, 2, code);
    return w.bytes();
}

// ---- wire seeds: the structured values marshalled ----

Bytes wire_seed(std::uint8_t kind, const std::function<void(cdrStream&)>& marshal) {
    cdrMemoryStream s(0u, true);
    marshal(s);
    Bytes out = {kind, 1};
    out.insert(out.end(), kKnobs.begin(), kKnobs.end());
    const auto* p = static_cast<const std::uint8_t*>(s.bufPtr());
    out.insert(out.end(), p, p + s.bufSize());
    return out;
}

template <class T>
typename T::_var_type decoded(T* (*read)(Reader&), void (*write)(Writer&)) {
    Writer w;
    write(w);
    Reader r(w.bytes().data(), w.bytes().size());
    return read(r);
}

template <class T>
void value_wire(std::uint8_t kind, const char* label, T* (*read)(Reader&), void (*write)(Writer&)) {
    typename T::_var_type v = decoded(read, write);
    save("wire", label, wire_seed(kind, [&](cdrStream& s) { T::_NP_marshal(v.in(), s); }));
}

// A list reply of the value and a null element.
template <class Seq, class T>
void sequence_wire(std::uint8_t kind, const char* label, T* (*read)(Reader&), void (*write)(Writer&)) {
    Seq seq;
    seq.length(2);
    seq[0] = decoded(read, write)._retn();
    save("wire", label, wire_seed(kind, [&](cdrStream& s) { seq >>= s; }));
}

// The details a structured exception seed decodes to (a new reference).
FW::ServiceExceptionDetails* seed_details(const Bytes& seed) {
    Reader r(seed.data(), seed.size());
    (void)r.text();
    (void)r.byte();
    return read_details(r);
}

void write_value_seeds() {
    for (std::uint8_t k = 0; k < std::size(kValues); ++k)
        save("extract", kValues[k].label, structured(k, kValues[k].write));
    // A value whose strings the service left unset, as only a local one can be.
    Writer unset;
    unset.byte(1).i64(0).u32(0).byte(kElement).text(std::nullopt).u32(0).text(std::nullopt);
    properties(unset, {{"DSM::userTag", "x"}}, true);
    save("extract", "diskgroupinfo-unset", unset.bytes());

    value_wire<DS::DiskGroup>(0, "diskgroup", read_diskgroup, diskgroup);
    value_wire<DS::DiskGroupInfo>(1, "diskgroupinfo", read_diskgroupinfo, diskgroupinfo);
    value_wire<DS::DiskVolume>(2, "diskvolume", read_diskvolume, diskvolume);
    value_wire<DS::DiskVolumeInfo>(3, "diskvolumeinfo", read_diskvolumeinfo, diskvolumeinfo);
    value_wire<DS::StorageServer>(4, "storageserver", read_storageserver, storageserver);
    value_wire<DS::StorageServerInfo>(5, "storageserverinfo", read_storageserverinfo, storageserverinfo);
    value_wire<DS::StorageServerConfigItem>(6, "configitem", read_configitem, configitem);
    value_wire<DS::Enclosure>(7, "enclosure", read_enclosure, enclosure);
    value_wire<DS::EnclosureInfo>(8, "enclosureinfo", read_enclosureinfo, enclosureinfo);
    value_wire<DS::Disk>(9, "disk", read_disk, disk);
    value_wire<DS::MountPoint>(10, "mountpoint", read_mountpoint, mountpoint);
    sequence_wire<DS::DiskGroupInfoSeq>(11, "diskgroupinfo-list", read_diskgroupinfo, diskgroupinfo);
    sequence_wire<DS::DiskVolumeInfoSeq>(12, "diskvolumeinfo-list", read_diskvolumeinfo, diskvolumeinfo);
    sequence_wire<DS::StorageServerInfoSeq>(13, "storageserverinfo-list", read_storageserverinfo,
                                            storageserverinfo);
    sequence_wire<DS::StorageServerConfigItemSeq>(14, "configitem-list", read_configitem, configitem);
    sequence_wire<DS::MountPointSeq>(15, "mountpoint-list", read_mountpoint, mountpoint);
}

void write_exception_seeds() {
    const Bytes disk = exception_seed(std::string("C"), false, 3, 2050010);
    const Bytes plain = exception_seed(std::string("de_DE"), false, 2, 7);
    const Bytes illegal = exception_seed(std::nullopt, true, 4, 0);
    save("exceptions", "service-disk-details", disk);
    save("exceptions", "service-plain-details", plain);
    save("exceptions", "illegal-argument", illegal);
    FW::ServiceExceptionDetails* details = seed_details(disk);  // the exception adopts it
    save("wire", "service-exception",
         wire_seed(16, [&](cdrStream& s) { FW::ServiceException(details) >>= s; }));
    FW::ServiceExceptionDetails_var argument = seed_details(illegal);
    auto* own = FW::IllegalArgumentExceptionDetails::_downcast(argument.in());
    own->_add_ref();
    save("wire", "illegal-argument",
         wire_seed(17, [&](cdrStream& s) { FW::IllegalArgumentException(own) >>= s; }));
}

void write_text_seeds() {
    const std::pair<const char*, const char*> numbers[] = {
        {"plain", "12345"},          {"trailing-text", "  -42abc"}, {"int64-overflow", "9223372036854775808"},
        {"int-underflow", "-2147483649"}, {"hex", "+0x10"},          {"exponent", "1e3"}};
    for (const auto& n : numbers) save("numbers", n.first, Bytes(n.second, n.second + std::strlen(n.second)));

    const std::pair<std::uint32_t, const char*> types[] = {
        {0, "LegacyDisk"}, {3, "SnapVault"}, {6, "SANDisk"}, {0xFFFFFFFF, "DiskPool"}, {7, "basicdisk"}};
    for (const auto& t : types) {
        Writer w;
        w.u32(t.first).byte(5).text(std::string(t.second));
        save("server_types", t.second, w.bytes());
    }

    Writer lsus;
    const char* rows[][3] = {{"lsu1", "b", "a"}, {"lsu2", "a", "z"}, {"lsu3", "a", "b"},
                             {"lsu4", "\xc3\xa9", "a"}, {"lsu5", "a", "z"}};
    lsus.byte(static_cast<std::uint8_t>(std::size(rows)));
    for (const auto& row : rows) lsus.text(std::string(row[0])).text(std::string(row[1])).text(std::string(row[2]));
    save("lsu_sort", "mixed", lsus.bytes());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    g_root = argv[1];
    if (dsmlibp_register_factories(true)) return 1;
    write_value_seeds();
    write_exception_seeds();
    write_text_seeds();
    return 0;
}
