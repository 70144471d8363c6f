#include "FuzzValues.h"

namespace dsmfuzz {

namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;
namespace OBV_FW = OBV_Orvane::Keldra::TL::Framework;

namespace {

// A string member gets its own copy of the text, or stays null when the
// text is: the generated setters copy a const char* and adopt a char*.
template <class Set>
void put(Set set, const Text& t) {
    if (t)
        set(static_cast<const char*>(t->c_str()));
    else
        set(static_cast<char*>(nullptr));
}

#define DSM_PUT(value, member, in) put([&](auto text_) { (value)->member(text_); }, (in).text())

bool is_null(Reader& in) { return in.byte() == kNullElement; }

// A nested value member; the setter takes a reference of its own.
template <class T, class Read, class Set>
void nested(Reader& in, Read read, Set set) {
    typename T::_var_type v = is_null(in) ? nullptr : read(in);
    set(v.in());
}

template <class Seq, class Read>
void read_sequence(Reader& in, Seq& seq, Read read) {
    seq.length(static_cast<CORBA::ULong>(in.count(kMaxElements)));
    for (CORBA::ULong i = 0; i < seq.length(); ++i) seq[i] = is_null(in) ? nullptr : read(in);
}

template <class T>
T* objspec(Reader& in, T* v) {
    DSM_PUT(v, objId, in);
    v->type(static_cast<CORBA::Long>(in.u32()));
    DSM_PUT(v, name, in);
    read_properties(in, v->properties());
    return v;
}

DS::DataMover* read_datamover(Reader& in) { return objspec(in, new OBV_DS::DataMover); }

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

FW::Message* read_message(Reader& in) {
    auto* m = new OBV_FW::Message;
    m->textId(static_cast<CORBA::Long>(in.u32()));
    m->originatorId(static_cast<CORBA::Long>(in.u32()));
    m->timeStamp(in.i64());
    m->inserts().length(static_cast<CORBA::ULong>(in.count(kMaxInserts)));
    for (CORBA::ULong i = 0; i < m->inserts().length(); ++i) m->inserts()[i] = read_insert(in);
    return m;
}

FW::ServiceExceptionDetails* new_details(std::uint8_t kind) {
    switch (kind % 5) {
        case 1: return new OBV_FW::ServiceExceptionDetails;
        case 2: return new OBV_FW::ErrorCodeExceptionDetails;
        case 3: return new OBV_DS::DiskServiceExceptionDetails;
        case 4: return new OBV_FW::IllegalArgumentExceptionDetails;
        default: return nullptr;
    }
}

// The members a details kind adds to its base.
void read_own_members(Reader& in, FW::ServiceExceptionDetails* d) {
    if (auto* e = FW::ErrorCodeExceptionDetails::_downcast(d)) {
        e->errorCode(static_cast<CORBA::Long>(in.u32()));
        if (auto* disk = DS::DiskServiceExceptionDetails::_downcast(d)) {
            DSM_PUT(disk, errorText, in);
            disk->errorDomain(static_cast<CORBA::Long>(in.u32()));
        }
    } else if (auto* a = FW::IllegalArgumentExceptionDetails::_downcast(d)) {
        DSM_PUT(a, argumentName, in);
    }
}

FW::ServiceExceptionDetails* read_details_node(Reader& in, int depth, int& nodes) {
    FW::ServiceExceptionDetails* d = new_details(in.byte());
    if (!d) return nullptr;
    ++nodes;
    DSM_PUT(d, originatingService, in);
    DSM_PUT(d, exceptionClassName, in);
    DSM_PUT(d, originatingHost, in);
    DSM_PUT(d, originatingClass, in);
    DSM_PUT(d, originatingMethod, in);
    d->timeStamp(in.i64());
    nested<FW::Message>(in, read_message, [&](FW::Message* m) { d->message(m); });
    read_own_members(in, d);
    const std::size_t causes = in.count(kMaxCauses);
    if (depth >= kMaxDepth) return d;
    for (std::size_t i = 0; i < causes && nodes < kMaxNodes; ++i) {
        FW::ServiceExceptionDetails* cause = read_details_node(in, depth + 1, nodes);
        const CORBA::ULong at = d->rootCauses().length();
        d->rootCauses().length(at + 1);
        d->rootCauses()[at] = cause;
    }
    return d;
}

}  // namespace

void read_properties(Reader& in, DS::PropertySeq& out) {
    out.length(static_cast<CORBA::ULong>(in.count(kMaxProperties)));
    for (CORBA::ULong i = 0; i < out.length(); ++i) {
        if (is_null(in)) continue;
        auto* p = new OBV_DS::Property;
        put([&](auto s) { p->name(s); }, in.name());
        DSM_PUT(p, value, in);
        out[i] = p;
    }
}

DS::DiskGroup* read_diskgroup(Reader& in) {
    DS::DiskGroup* v = objspec(in, new OBV_DS::DiskGroup);
    v->size(in.i64());
    return v;
}

DS::DiskVolume* read_diskvolume(Reader& in) {
    DS::DiskVolume* v = objspec(in, new OBV_DS::DiskVolume);
    v->size(in.i64());
    return v;
}

DS::Disk* read_disk(Reader& in) {
    DS::Disk* v = objspec(in, new OBV_DS::Disk);
    v->used(in.byte() & 1);
    return v;
}

DS::StorageServer* read_storageserver(Reader& in) {
    DS::StorageServer* v = objspec(in, new OBV_DS::StorageServer);
    DSM_PUT(v, servertype, in);
    return v;
}

DS::StorageServerConfigItem* read_configitem(Reader& in) {
    DS::StorageServerConfigItem* v = objspec(in, new OBV_DS::StorageServerConfigItem);
    DSM_PUT(v, value, in);
    v->cdtype(static_cast<CORBA::Long>(in.u32()));
    return v;
}

DS::Enclosure* read_enclosure(Reader& in) { return objspec(in, new OBV_DS::Enclosure); }

DS::DiskGroupInfo* read_diskgroupinfo(Reader& in) {
    auto* v = new OBV_DS::DiskGroupInfo;
    v->capacity(in.i64());
    v->stsState(static_cast<CORBA::Long>(in.u32()));
    nested<DS::DiskGroup>(in, read_diskgroup, [&](DS::DiskGroup* g) { v->group(g); });
    DSM_PUT(v, servertype, in);
    read_sequence(in, v->hosts(), read_storageserver);
    DSM_PUT(v, storage_server_name, in);
    DSM_PUT(v, id, in);
    read_sequence(in, v->volumes(), read_diskvolume);
    read_sequence(in, v->disks(), read_disk);
    DSM_PUT(v, master_server, in);
    v->formatted(in.i64());
    read_sequence(in, v->datamovers(), read_datamover);
    v->state(static_cast<CORBA::Long>(in.u32()));
    DSM_PUT(v, name, in);
    v->used(in.i64());
    return v;
}

DS::DiskVolumeInfo* read_diskvolumeinfo(Reader& in) {
    auto* v = new OBV_DS::DiskVolumeInfo;
    v->capacity(in.i64());
    v->stsState(static_cast<CORBA::Long>(in.u32()));
    nested<DS::DiskVolume>(in, read_diskvolume, [&](DS::DiskVolume* d) { v->volume(d); });
    DSM_PUT(v, servertype, in);
    DSM_PUT(v, storage_server_name, in);
    v->state(static_cast<CORBA::Long>(in.u32()));
    v->potential_free(in.i64());
    DSM_PUT(v, name, in);
    v->used(in.i64());
    return v;
}

DS::StorageServerInfo* read_storageserverinfo(Reader& in) {
    auto* v = new OBV_DS::StorageServerInfo;
    auto* credentials = new OBV_DS::StorageServerCredentials;
    DS::StorageServerCredentials_var owned = credentials;
    DSM_PUT(credentials, userName, in);
    DSM_PUT(credentials, password, in);
    v->credentials(credentials);
    read_sequence(in, v->datamovers(), read_datamover);
    nested<DS::StorageServer>(in, read_storageserver, [&](DS::StorageServer* s) { v->host(s); });
    DSM_PUT(v, name, in);
    return v;
}

DS::EnclosureInfo* read_enclosureinfo(Reader& in) {
    auto* v = new OBV_DS::EnclosureInfo;
    v->capacity(in.i64());
    nested<DS::Enclosure>(in, read_enclosure, [&](DS::Enclosure* e) { v->enclosure(e); });
    DSM_PUT(v, servertype, in);
    read_sequence(in, v->hosts(), read_storageserver);
    read_properties(in, v->properties());
    DSM_PUT(v, id, in);
    read_sequence(in, v->disks(), read_disk);
    DSM_PUT(v, name, in);
    return v;
}

DS::MountPoint* read_mountpoint(Reader& in) {
    auto* v = new OBV_DS::MountPoint;
    read_properties(in, v->properties());
    DSM_PUT(v, path, in);
    return v;
}

FW::ServiceExceptionDetails* read_details(Reader& in) {
    int nodes = 0;
    return read_details_node(in, 0, nodes);
}

#undef DSM_PUT

}  // namespace dsmfuzz
