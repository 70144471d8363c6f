#include "FuzzValues.h"

#include <algorithm>
#include <type_traits>
#include <vector>

namespace dsmfuzz {

namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;
namespace OBV_FW = OBV_Orvane::Keldra::TL::Framework;

namespace {

constexpr std::uint16_t kNullText = 0xFFFF;
constexpr std::uint8_t kNullName = 0xFE;
constexpr std::uint8_t kNullElement = 0xFF;
// Deeper or larger root-cause chains are another concern than parsing.
constexpr int kMaxDepth = 16;
constexpr int kMaxNodes = 64;

// Every property name the library reads, so that short inputs reach each conversion.
const std::vector<std::string> kVocabulary = {
    "DSM::servertype", "DSM::master", "DSM::mediaServer", "DSM::usedSpace", "DSM::state",
    "DSM::imported", "Connectivity", "Availability", "DSM::highWaterMark",
    "DSM::lowWaterMark", "DSM::systemTag", "DSM::userTag", "DSM::freeSpace",
    "DSM::potentialFreeSpace", "DSM::committedSpace", "DSM::preCommittedSpace",
    "DSM::diskMediaId", "Volume Layout String", "DSM::maxReaders", "DSM::currentReaders",
    "DSM::maxWriters", "DSM::currentWriters", "DSM::flags", "DSM::flagsExt",
    "DSM::maxIOStreams", "DSM::totalPhysicalCapacity", "DSM::usedPhysicalSpace",
    "DSM::freePhysicalSpace", "DSM::activeReadStreams", "DSM::activeWriteStreams",
    "DSM::ReplicationSourceSpec", "DSM::ReplicationTargetSpec",
    "DSMi::ReplicationSourceAndTargetSpecCount", "DSM::diskGroupName", "DSM::diskVolumeName",
    "DSM::storageServer", "DSM::ConfigDescription", "DSM::ConfigFixed", "DSM::AuditSucess",
    "Arraytype.List", "Enclosure Type", "Enclosure Serial Number", "Enclosure Array Type",
};

// A string member gets its own copy of the text, or stays null when the
// text is: the generated setters copy a const char* and adopt a char*.
template <class Set>
void put(Set set, const Text& t) {
    t ? set(t->c_str()) : set(static_cast<char*>(nullptr));
}

#define DSM_PUT(value, member, in) put([&](auto text_) { (value)->member(text_); }, (in).text())

bool is_null(Reader& in) { return in.byte() == kNullElement; }

// A nested value member; the setter takes a reference of its own.
template <class T, class Set>
void nested(Reader& in, T* (*read)(Reader&), Set set) {
    typename T::_var_type v = is_null(in) ? nullptr : read(in);
    set(v.in());
}

template <class Seq, class T>
void read_sequence(Reader& in, Seq& seq, T* (*read)(Reader&)) {
    seq.length(static_cast<CORBA::ULong>(in.count(4)));
    for (CORBA::ULong i = 0; i < seq.length(); ++i) seq[i] = is_null(in) ? nullptr : read(in);
}

void read_properties(Reader& in, DS::PropertySeq& out) {
    out.length(static_cast<CORBA::ULong>(in.count(32)));
    for (CORBA::ULong i = 0; i < out.length(); ++i) {
        if (is_null(in)) continue;
        auto* p = new OBV_DS::Property;
        put([&](auto s) { p->name(s); }, in.name());
        DSM_PUT(p, value, in);
        out[i] = p;
    }
}

FW::MessageItem* read_insert(Reader& in) {
    FW::MessageItem* item = nullptr;
    switch (in.byte() % 4) {
        case 0: return nullptr;
        case 1: item = new OBV_FW::MessageItem; break;
        case 2: item = new OBV_FW::StringMessageItem; break;
        default: item = new OBV_FW::NumericMessageItem; break;
    }
    item->position(static_cast<CORBA::Long>(in.u32()));
    DSM_PUT(item, name, in);
    if (auto* s = FW::StringMessageItem::_downcast(item))
        DSM_PUT(s, stringValue, in);
    else if (auto* n = FW::NumericMessageItem::_downcast(item))
        n->numericValue(in.i64());
    return item;
}

void read_members(Reader& in, OBV_FW::Message* m) {
    m->textId(static_cast<CORBA::Long>(in.u32()));
    m->originatorId(static_cast<CORBA::Long>(in.u32()));
    m->timeStamp(in.i64());
    m->inserts().length(static_cast<CORBA::ULong>(in.count(8)));
    for (CORBA::ULong i = 0; i < m->inserts().length(); ++i) m->inserts()[i] = read_insert(in);
}

template <class V>
V* read(Reader& in);

// The members of each kind, in the order of the grammar; a naming form
// (ObjSpec) has read its common members before (see read()).
void read_members(Reader&, OBV_DS::DataMover*) {}
void read_members(Reader&, OBV_DS::Enclosure*) {}
void read_members(Reader& in, OBV_DS::DiskGroup* v) { v->size(in.i64()); }
void read_members(Reader& in, OBV_DS::DiskVolume* v) { v->size(in.i64()); }
void read_members(Reader& in, OBV_DS::Disk* v) { v->used(in.byte() & 1); }
void read_members(Reader& in, OBV_DS::StorageServer* v) { DSM_PUT(v, servertype, in); }

void read_members(Reader& in, OBV_DS::StorageServerConfigItem* v) {
    DSM_PUT(v, value, in);
    v->cdtype(static_cast<CORBA::Long>(in.u32()));
}

void read_members(Reader& in, OBV_DS::DiskGroupInfo* v) {
    v->capacity(in.i64());
    v->stsState(static_cast<CORBA::Long>(in.u32()));
    nested(in, read_diskgroup, [&](DS::DiskGroup* g) { v->group(g); });
    DSM_PUT(v, servertype, in);
    read_sequence(in, v->hosts(), read_storageserver);
    DSM_PUT(v, storage_server_name, in);
    DSM_PUT(v, id, in);
    read_sequence(in, v->volumes(), read_diskvolume);
    read_sequence(in, v->disks(), read_disk);
    DSM_PUT(v, master_server, in);
    v->formatted(in.i64());
    read_sequence(in, v->datamovers(), read<OBV_DS::DataMover>);
    v->state(static_cast<CORBA::Long>(in.u32()));
    DSM_PUT(v, name, in);
    v->used(in.i64());
}

void read_members(Reader& in, OBV_DS::DiskVolumeInfo* v) {
    v->capacity(in.i64());
    v->stsState(static_cast<CORBA::Long>(in.u32()));
    nested(in, read_diskvolume, [&](DS::DiskVolume* d) { v->volume(d); });
    DSM_PUT(v, servertype, in);
    DSM_PUT(v, storage_server_name, in);
    v->state(static_cast<CORBA::Long>(in.u32()));
    v->potential_free(in.i64());
    DSM_PUT(v, name, in);
    v->used(in.i64());
}

void read_members(Reader& in, OBV_DS::StorageServerInfo* v) {
    DS::StorageServerCredentials_var credentials = new OBV_DS::StorageServerCredentials;
    DSM_PUT(credentials, userName, in);
    DSM_PUT(credentials, password, in);
    v->credentials(credentials.in());
    read_sequence(in, v->datamovers(), read<OBV_DS::DataMover>);
    nested(in, read_storageserver, [&](DS::StorageServer* s) { v->host(s); });
    DSM_PUT(v, name, in);
}

void read_members(Reader& in, OBV_DS::EnclosureInfo* v) {
    v->capacity(in.i64());
    nested(in, read_enclosure, [&](DS::Enclosure* e) { v->enclosure(e); });
    DSM_PUT(v, servertype, in);
    read_sequence(in, v->hosts(), read_storageserver);
    read_properties(in, v->properties());
    DSM_PUT(v, id, in);
    read_sequence(in, v->disks(), read_disk);
    DSM_PUT(v, name, in);
}

void read_members(Reader& in, OBV_DS::MountPoint* v) {
    read_properties(in, v->properties());
    DSM_PUT(v, path, in);
}

template <class V>
V* read(Reader& in) {
    auto* v = new V;
    if constexpr (std::is_base_of_v<DS::ObjSpec, V>) {
        DSM_PUT(v, objId, in);
        v->type(static_cast<CORBA::Long>(in.u32()));
        DSM_PUT(v, name, in);
        read_properties(in, v->properties());
    }
    read_members(in, v);
    return v;
}

FW::ServiceExceptionDetails* read_details_node(Reader& in, int depth, int& nodes) {
    FW::ServiceExceptionDetails* d = nullptr;
    switch (in.byte() % 5) {
        case 0: return nullptr;
        case 1: d = new OBV_FW::ServiceExceptionDetails; break;
        case 2: d = new OBV_FW::ErrorCodeExceptionDetails; break;
        case 3: d = new OBV_DS::DiskServiceExceptionDetails; break;
        default: d = new OBV_FW::IllegalArgumentExceptionDetails; break;
    }
    ++nodes;
    DSM_PUT(d, originatingService, in);
    DSM_PUT(d, exceptionClassName, in);
    DSM_PUT(d, originatingHost, in);
    DSM_PUT(d, originatingClass, in);
    DSM_PUT(d, originatingMethod, in);
    d->timeStamp(in.i64());
    nested(in, read<OBV_FW::Message>, [&](FW::Message* m) { d->message(m); });
    if (auto* e = FW::ErrorCodeExceptionDetails::_downcast(d)) {
        e->errorCode(static_cast<CORBA::Long>(in.u32()));
        if (auto* disk = DS::DiskServiceExceptionDetails::_downcast(d)) {
            DSM_PUT(disk, errorText, in);
            disk->errorDomain(static_cast<CORBA::Long>(in.u32()));
        }
    } else if (auto* a = FW::IllegalArgumentExceptionDetails::_downcast(d)) {
        DSM_PUT(a, argumentName, in);
    }
    const auto causes = static_cast<CORBA::ULong>(in.count(4));
    for (CORBA::ULong i = 0; depth < kMaxDepth && i < causes && nodes < kMaxNodes; ++i) {
        d->rootCauses().length(i + 1);
        d->rootCauses()[i] = read_details_node(in, depth + 1, nodes);
    }
    return d;
}

}  // namespace

std::uint64_t Reader::little_endian(int octets) {
    std::uint64_t v = 0;
    for (int i = 0; i < octets; ++i) v |= static_cast<std::uint64_t>(byte()) << (8 * i);
    return v;
}

Text Reader::text() {
    const auto length = static_cast<std::uint16_t>(little_endian(2));
    if (length == kNullText) return std::nullopt;
    const std::size_t n = std::min<std::size_t>(length, left());
    std::string s(reinterpret_cast<const char*>(at_), n);
    at_ += n;
    return s;
}

Text Reader::name() {
    const std::uint8_t b = byte();
    if (b < kVocabulary.size()) return kVocabulary[b];
    if (b == kNullName) return std::nullopt;
    return text();
}

#define DSM_FUZZ_DEFINE_READER(T, name) \
    DS::T* read_##name(Reader& in) { return read<OBV_DS::T>(in); }
DSM_FUZZ_VALUE_KINDS(DSM_FUZZ_DEFINE_READER)

FW::ServiceExceptionDetails* read_details(Reader& in) {
    int nodes = 0;
    return read_details_node(in, 0, nodes);
}

#undef DSM_PUT

}  // namespace dsmfuzz
