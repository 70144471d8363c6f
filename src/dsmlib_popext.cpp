// Extraction of records from service values and population of values from
// records. Every property list is read by one table-driven walk: each
// extraction names its table of known properties and how chatty the walk is.
#include "dsmlib_popext.h"

#include "DiskServiceHelper.h"
#include "dsmlib_api.h"
#include "dsmlib_frame.h"

#include "kdbase.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <type_traits>
#include <utility>

using dsm::Frame;

#define DSM_UNIT "dsmlib_popext"

namespace {

// ---- conversions of property values ----

enum class Conv { Text, Int, Int64, YesNo, NotYesNo, PoolState, VolumeState, IsY };

std::int64_t yes_no(const char* v, std::int64_t yes, std::int64_t no) {
    switch (v[0]) {
        case 'y': case 'Y': return yes;
        case 'n': case 'N': return no;
        default: return 0;
    }
}

std::int64_t pool_state(const char* v) {
    switch (DiskServiceHelper::toAtoi(v) & 15) {  // the service keeps flags above
        case 2: return 1;
        case 3: return 2;
        default: return 3;
    }
}

std::int64_t volume_state(const char* v) {
    const int s = DiskServiceHelper::toAtoi(v);
    if (s & 1) return 1;
    return (s & 2) ? 2 : 0;
}

// The difference of two figures of the service or of a caller: they may be
// anything, so it wraps where it would overflow.
std::int64_t wrapping_difference(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}

std::int64_t to_number(Conv conv, const char* v) {
    switch (conv) {
        case Conv::Int: return DiskServiceHelper::toAtoi(v);
        case Conv::Int64: return DiskServiceHelper::toInt64(v);
        case Conv::YesNo: return yes_no(v, 1, 2);
        case Conv::NotYesNo: return yes_no(v, 2, 1);
        case Conv::PoolState: return pool_state(v);
        case Conv::VolumeState: return volume_state(v);
        case Conv::IsY: return std::strcmp(v, "y") == 0 ? 1 : 0;
        case Conv::Text: break;
    }
    return 0;
}

// ---- where a property lands in a record ----

enum class Kind { Text, I32, I64 };

struct Slot {
    std::size_t offset;
    std::size_t size;
    Kind kind;
};

// The slot's kind follows the member's declared type, so a table row cannot
// store a number into text or a 64-bit figure into a 32-bit field.
template <class T>
constexpr Slot slot_of(std::size_t offset) {
    static_assert(std::is_array<T>::value || std::is_same<T, std::int32_t>::value ||
                      std::is_same<T, std::int64_t>::value,
                  "record fields are char arrays, int32_t or int64_t");
    return {offset, sizeof(T),
            std::is_array<T>::value ? Kind::Text
            : std::is_same<T, std::int64_t>::value ? Kind::I64 : Kind::I32};
}

#define DSM_SLOT(Rec, member) \
    slot_of<decltype(std::declval<Rec&>().member)>(offsetof(Rec, member))

struct Field {
    const char* property;  // matched exactly
    Conv conv;
    Slot slot;
    const char* label;       // "<record>.<field> = "
    const char* raw_suffix;  // non-null: log the raw value framed by label and suffix
};

struct Walk {
    const char* prefix;  // for malformed elements, e.g. "diskgroup."
    const Field* fields;
    std::size_t count;
    bool log_null;     // log null elements
    bool log_match;    // log stored fields
    bool log_unknown;  // log unrecognised properties
};

template <std::size_t N>
constexpr Walk walk_of(const char* prefix, const Field (&fields)[N], bool log_null = true,
                       bool log_match = true, bool log_unknown = true) {
    return {prefix, fields, N, log_null, log_match, log_unknown};
}

// A service's property value as logged: its first kLoggedValue bytes, "..."
// marking a cut, so that a value of megabytes never becomes a message of
// megabytes.
constexpr std::size_t kLoggedValue = 1024;

struct Logged {
    const char* text;
};

std::ostream& operator<<(std::ostream& os, Logged v) {
    const std::size_t n = strnlen(v.text, kLoggedValue + 1);
    os.write(v.text, static_cast<std::streamsize>(std::min(n, kLoggedValue)));
    if (n > kLoggedValue) os << "...";
    return os;
}

// Stores the converted value and logs what was stored.
void store(const Frame& f, const Field& field, const char* value, void* record, bool log) {
    char* at = static_cast<char*>(record) + field.slot.offset;
    const std::int64_t number = field.conv == Conv::Text ? 0 : to_number(field.conv, value);
    switch (field.slot.kind) {
        case Kind::Text: V_strlcpy(at, value, field.slot.size); break;
        case Kind::I32: {
            const std::int32_t n = static_cast<std::int32_t>(number);
            std::memcpy(at, &n, sizeof n);
            break;
        }
        case Kind::I64: std::memcpy(at, &number, sizeof number); break;
    }
    if (!log) return;
    if (field.raw_suffix)
        DSM_LOG(f, DSM_SEV_TRACE, field.label, Logged{value}, field.raw_suffix);
    else if (field.slot.kind == Kind::Text)
        DSM_LOG(f, DSM_SEV_TRACE, field.label, static_cast<const char*>(at));
    else
        DSM_LOG(f, DSM_SEV_TRACE, field.label, number);
}

const Field* find(const Walk& w, const char* name) {
    for (std::size_t k = 0; k < w.count; ++k)
        if (std::strcmp(w.fields[k].property, name) == 0) return &w.fields[k];
    return nullptr;
}

// The one property walk: later duplicates win, unknown names are skipped.
void walk(const Frame& f, const DS::PropertySeq& props, void* record, const Walk& w) {
    for (CORBA::ULong i = 0; i < props.length(); ++i) {
        const DS::Property* p = props[i].in();
        if (!p) {
            if (w.log_null) DSM_LOG(f, DSM_SEV_WARNING, w.prefix, "properties[", i, "] is NULL");
            continue;
        }
        const char* name = p->name();
        const char* value = p->value();
        if (!name || !value) {
            DSM_LOG(f, DSM_SEV_WARNING, w.prefix, "properties[", i, "] is invalid");
            continue;
        }
        if (const Field* field = find(w, name))
            store(f, *field, value, record, w.log_match);
        else if (w.log_unknown)
            DSM_LOG(f, DSM_SEV_TRACE, "property.name=", Logged{name}, ", property.value=", Logged{value});
    }
}

// Bounded copy of a typed string member, when there is one.
template <std::size_t N>
void copy_text(const Frame& f, char (&dst)[N], const char* src, const char* label = nullptr) {
    if (!src) return;
    V_strlcpy(dst, src, N);
    if (label) DSM_LOG(f, DSM_SEV_TRACE, label, static_cast<const char*>(dst));
}

// Identity fields the caller has already filled are kept.
template <std::size_t N>
void copy_if_empty(const Frame& f, char (&dst)[N], const char* src, const char* label) {
    if (dst[0] == '\0') copy_text(f, dst, src, label);
}

// ---- tables ----

using DGI = dsm_diskgroupinfo_t;
using DVI = dsm_diskvolumeinfo_t;

// Pool properties common to a pool and a pool info.
#define DSM_POOL_FIELDS \
    {"DSM::mediaServer", Conv::Text, DSM_SLOT(DGI, diskgroup.access_media_server), "diskgroup.access_media_server = ", nullptr}, \
    {"DSM::state", Conv::PoolState, DSM_SLOT(DGI, kdu_state), "diskgroupinfo.kdu_state = conv_fn(", ")"}, \
    {"DSM::imported", Conv::NotYesNo, DSM_SLOT(DGI, availability), "diskgroupinfo.availability = !", ""}, \
    {"Connectivity", Conv::YesNo, DSM_SLOT(DGI, connectivity), "diskgroupinfo.connectivity = ", nullptr}, \
    {"DSM::highWaterMark", Conv::Int, DSM_SLOT(DGI, high_watermark), "diskgroupinfo.high_watermark = ", nullptr}, \
    {"DSM::lowWaterMark", Conv::Int, DSM_SLOT(DGI, low_watermark), "diskgroupinfo.low_watermark = ", nullptr}, \
    {"DSM::systemTag", Conv::Text, DSM_SLOT(DGI, system_tag), "diskgroupinfo.system_tag = ", nullptr}, \
    {"DSM::userTag", Conv::Text, DSM_SLOT(DGI, user_tag), "diskgroupinfo.user_tag = ", nullptr}

const Field kPoolFields[] = {
    {"DSM::servertype", Conv::Text, DSM_SLOT(DGI, diskgroup.server_type), "diskgroup.server_type = ", nullptr},
    {"DSM::master", Conv::Text, DSM_SLOT(DGI, diskgroup.master_server), "diskgroup.master_server = ", nullptr},
    {"DSM::usedSpace", Conv::Int64, DSM_SLOT(DGI, used_space), "diskgroupinfo.used_space = ", nullptr},
    DSM_POOL_FIELDS};
// An info carries server type, master and used space as typed members.
const Field kPoolInfoFields[] = {DSM_POOL_FIELDS};
#undef DSM_POOL_FIELDS

#define DSM_VOLUME_FIELDS \
    {"DSM::potentialFreeSpace", Conv::Int64, DSM_SLOT(DVI, potential_free_space), "diskvolumeinfo.potential_free_space = ", nullptr}, \
    {"DSM::committedSpace", Conv::Int64, DSM_SLOT(DVI, committed_space), "diskvolumeinfo.committed_space = ", nullptr}, \
    {"DSM::preCommittedSpace", Conv::Int64, DSM_SLOT(DVI, precommitted_space), "diskvolumeinfo.precommitted_space = ", nullptr}, \
    {"DSM::diskMediaId", Conv::Text, DSM_SLOT(DVI, disk_media_id), "diskvolumeinfo.disk_media_id = ", nullptr}, \
    {"DSM::systemTag", Conv::Text, DSM_SLOT(DVI, system_tag), "diskvolumeinfo.system_tag = ", nullptr}, \
    {"Volume Layout String", Conv::Text, DSM_SLOT(DVI, system_tag), "diskvolumeinfo.system_tag (config_string) = ", nullptr}, \
    {"DSM::state", Conv::VolumeState, DSM_SLOT(DVI, kdu_state), "diskvolumeinfo.kdu_state = conv_fn(", ")"}, \
    {"DSM::maxReaders", Conv::Int, DSM_SLOT(DVI, max_read_mounts), "diskvolumeinfo.max_read_mounts = ", nullptr}, \
    {"DSM::currentReaders", Conv::Int, DSM_SLOT(DVI, num_read_mounts), "diskvolumeinfo.num_read_mounts = ", nullptr}, \
    {"DSM::maxWriters", Conv::Int, DSM_SLOT(DVI, max_write_mounts), "diskvolumeinfo.max_write_mounts = ", nullptr}, \
    {"DSM::currentWriters", Conv::Int, DSM_SLOT(DVI, num_write_mounts), "diskvolumeinfo.num_write_mounts = ", nullptr}

const Field kVolumeFields[] = {
    {"DSM::freeSpace", Conv::Int64, DSM_SLOT(DVI, free_space), "diskvolumeinfo.free_space = ", nullptr},
    DSM_VOLUME_FIELDS};
// An info's free space comes from its typed figures.
const Field kVolumeInfoFields[] = {DSM_VOLUME_FIELDS};
#undef DSM_VOLUME_FIELDS

const Field kServerFields[] = {
    {"DSM::mediaServer", Conv::Text, DSM_SLOT(dsm_storageserver_t, access_media_server), "stserver.access_media_server = ", nullptr},
};
const Field kServerInfoFields[] = {
    {"DSM::flags", Conv::Int, DSM_SLOT(dsm_storageserverinfo_t, property_flags), "stserverinfo.property_flags = ", nullptr},
};
const Field kConfigFields[] = {
    {"DSM::ConfigDescription", Conv::Text, DSM_SLOT(dsm_configitem_t, description), "configitem.description = ", nullptr},
    {"DSM::ConfigFixed", Conv::IsY, DSM_SLOT(dsm_configitem_t, fixed), "configitem.fixed = ", nullptr},
};
const Field kEnclosureFields[] = {
    {"DSM::servertype", Conv::Text, DSM_SLOT(dsm_enclosure_t, server_type), "enclosure.server_type = ", nullptr},
};
const Field kEnclosureInfoFields[] = {
    {"Enclosure Type", Conv::Text, DSM_SLOT(dsm_enclosureinfo_t, en_type), "enclosureinfo.en_type = ", nullptr},
    {"Enclosure Serial Number", Conv::Text, DSM_SLOT(dsm_enclosureinfo_t, serial_number), "enclosureinfo.serial_number = ", nullptr},
    {"Enclosure Array Type", Conv::Text, DSM_SLOT(dsm_enclosureinfo_t, array_type), "enclosureinfo.array_type = ", nullptr},
    {"Availability", Conv::YesNo, DSM_SLOT(dsm_enclosureinfo_t, availability), "enclosureinfo.availability = ", nullptr},
    {"Connectivity", Conv::YesNo, DSM_SLOT(dsm_enclosureinfo_t, connectivity), "enclosureinfo.connectivity = ", nullptr},
};

#undef DSM_SLOT

// Record kind of a configuration value and the service's code for it.
struct ConfigKind {
    std::int32_t record;
    CORBA::Long service;
};
const ConfigKind kConfigKinds[] = {{3, 0}, {2, 1}, {1, 2}, {4, 3}};

std::int32_t record_kind(CORBA::Long service) {
    for (const ConfigKind& k : kConfigKinds)
        if (k.service == service) return k.record;
    return 0;
}

const ConfigKind* service_kind(std::int32_t record) {
    for (const ConfigKind& k : kConfigKinds)
        if (k.record == record) return &k;
    return nullptr;
}

}  // namespace

// ---- extraction ----

int dsml_extract_diskgroup(const DS::DiskGroup* value, dsm_diskgroupinfo_t* rec) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        copy_text(f, rec->diskgroup.name, value->name(), "diskgroup.name = ");
        copy_text(f, rec->diskgroup.id, value->objId(), "diskgroup.id = ");
        rec->storage_type = value->type();
        rec->total_capacity = value->size();
        DSM_LOG(f, DSM_SEV_TRACE, "diskgroupinfo.total_capacity = ", rec->total_capacity);
        walk(f, value->properties(), rec, walk_of("diskgroup.", kPoolFields));
        return DSM_OK;
    });
}

int dsml_extract_diskgroupinfo(const DS::DiskGroupInfo* value, dsm_diskgroupinfo_t* rec) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        dsm_diskgroup_t& id = rec->diskgroup;
        copy_if_empty(f, id.name, value->name(), "diskgroup.name = ");
        copy_if_empty(f, id.id, value->id(), "diskgroup.id = ");
        copy_if_empty(f, id.master_server, value->master_server(), "diskgroup.master_server = ");
        copy_if_empty(f, id.server_type, value->servertype(), "diskgroup.server_type = ");
        const DS::DiskGroup* group = value->group();
        if (group) rec->storage_type = group->type();
        rec->total_capacity = value->capacity();
        rec->used_space = value->used();
        DSM_LOG(f, DSM_SEV_TRACE, "diskgroupinfo.total_capacity = ", rec->total_capacity);
        DSM_LOG(f, DSM_SEV_TRACE, "diskgroupinfo.used_space = ", rec->used_space);
        if (group)
            walk(f, group->properties(), rec, walk_of("diskgroupinfo.diskgroup.", kPoolInfoFields));
        rec->num_diskvolumes = static_cast<std::int32_t>(value->volumes().length());
        rec->num_disks = static_cast<std::int32_t>(value->disks().length());
        rec->num_stservers = static_cast<std::int32_t>(value->hosts().length());
        DSM_LOG(f, DSM_SEV_TRACE, "diskgroupinfo.num_diskvolumes = ", rec->num_diskvolumes);
        DSM_LOG(f, DSM_SEV_TRACE, "diskgroupinfo.num_disks = ", rec->num_disks);
        DSM_LOG(f, DSM_SEV_TRACE, "diskgroupinfo.num_stservers = ", rec->num_stservers);
        return DSM_OK;
    });
}

int dsml_extract_diskvolume(const DS::DiskVolume* value, dsm_diskvolumeinfo_t* rec) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        copy_text(f, rec->name, value->name(), "diskvolumeinfo.name = ");
        copy_text(f, rec->id, value->objId(), "diskvolumeinfo.id = ");
        rec->total_capacity = value->size();
        DSM_LOG(f, DSM_SEV_TRACE, "diskvolumeinfo.total_capacity = ", rec->total_capacity);
        walk(f, value->properties(), rec, walk_of("diskvolume.", kVolumeFields));
        return DSM_OK;
    });
}

int dsml_extract_diskvolumeinfo(const DS::DiskVolumeInfo* value, dsm_diskvolumeinfo_t* rec) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        const DS::DiskVolume* volume = value->volume();
        copy_if_empty(f, rec->name, value->name(), "diskvolumeinfo.name = ");
        if (volume) copy_if_empty(f, rec->id, volume->objId(), "diskvolumeinfo.id = ");
        rec->total_capacity = value->capacity();
        rec->free_space = wrapping_difference(value->capacity(), value->used());
        DSM_LOG(f, DSM_SEV_TRACE, "diskvolumeinfo.total_capacity = ", rec->total_capacity);
        DSM_LOG(f, DSM_SEV_TRACE, "diskvolumeinfo.free_space = ", rec->free_space);
        if (volume) walk(f, volume->properties(), rec, walk_of("diskvolume.", kVolumeInfoFields));
        return DSM_OK;
    });
}

int dsml_extract_storageserver(const DS::StorageServer* value, dsm_storageserver_t* rec) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        copy_text(f, rec->name, value->name(), "stserver.name = ");
        copy_text(f, rec->id, value->objId(), "stserver.id = ");
        copy_text(f, rec->server_type, value->servertype(), "stserver.server_type = ");
        rec->storage_type = value->type();
        DSM_LOG(f, DSM_SEV_TRACE, "stserver.storage_type = ", rec->storage_type);
        walk(f, value->properties(), rec, walk_of("storageserver.", kServerFields));
        return DSM_OK;
    });
}

int dsml_extract_storageserverinfo(const DS::StorageServerInfo* value, dsm_storageserverinfo_t* rec) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        const DS::StorageServer* host = value->host();
        if (!host) return DSM_OK;
        (void)dsml_extract_storageserver(host, &rec->stserver);  // its own frame logs
        walk(f, host->properties(), rec,
             walk_of("storageserver.", kServerInfoFields, true, true, false));
        return DSM_OK;
    });
}

int dsml_extract_storageserverconfig(const DS::StorageServerConfigItem* value, dsm_configitem_t* rec) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        if (!value->name()) return DSM_E_CONFIG_ITEM;
        copy_text(f, rec->name, value->name());
        if (!value->value()) return DSM_E_CONFIG_ITEM;
        copy_text(f, rec->value, value->value());
        rec->data_type = record_kind(value->cdtype());
        walk(f, value->properties(), rec, walk_of("configitem.", kConfigFields, false, false, false));
        return DSM_OK;
    });
}

int dsml_extract_enclosure(const DS::Enclosure* value, dsm_enclosure_t* rec) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        copy_text(f, rec->name, value->name(), "enclosure.name = ");
        copy_text(f, rec->id, value->objId(), "enclosure.id = ");
        walk(f, value->properties(), rec, walk_of("enclosure.", kEnclosureFields));
        return DSM_OK;
    });
}

int dsml_extract_enclosureinfo(const DS::EnclosureInfo* value, dsm_enclosureinfo_t* rec) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        copy_text(f, rec->enclosure.name, value->name(), "enclosureinfo.enclosure.name = ");
        copy_text(f, rec->enclosure.id, value->id(), "enclosureinfo.enclosure.id = ");
        copy_text(f, rec->enclosure.server_type, value->servertype(),
                  "enclosureinfo.enclosure.server_type = ");
        rec->storage_capacity = value->capacity();
        DSM_LOG(f, DSM_SEV_TRACE, "enclosureinfo.storage_capacity = ", rec->storage_capacity);
        walk(f, value->properties(), rec, walk_of("enclosureinfo.", kEnclosureInfoFields));
        rec->num_disks = static_cast<std::int32_t>(value->disks().length());
        rec->num_stservers = static_cast<std::int32_t>(value->hosts().length());
        return DSM_OK;
    });
}

int dsml_extract_disk(const DS::Disk* value, dsm_disk_t* rec) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        copy_text(f, rec->name, value->name(), "diskinfo.name = ");
        copy_text(f, rec->id, value->objId(), "diskinfo.id = ");
        const bool used = value->used();
        rec->availability = used ? 2 : 1;
        DSM_LOG(f, DSM_SEV_TRACE, "diskinfo.availability = !", used);
        // A disk knows no property: every one is only logged.
        const Field* const none = nullptr;
        walk(f, value->properties(), rec, Walk{"disk.", none, 0, true, true, true});
        return DSM_OK;
    });
}

// ---- population ----

namespace {

// Stores a new property at a fixed index of a list already sized for it.
template <std::size_t N>
void put_property(DS::PropertySeq& list, CORBA::ULong at, const char* name, const char (&field)[N]) {
    list[at] = DiskServiceHelper::buildProperty(name, dsm::field_text(field).c_str());
}

// Appends a copy of every replication source and target entry of the held volume.
void copy_replication_entries(const DS::PropertySeq& held, DS::PropertySeq& out) {
    for (CORBA::ULong i = 0; i < held.length(); ++i) {
        const DS::Property* p = held[i].in();
        if (!p || !p->name() || !p->value()) continue;
        if (std::strcmp(p->name(), "DSM::ReplicationTargetSpec") == 0 ||
            std::strcmp(p->name(), "DSM::ReplicationSourceSpec") == 0)
            DiskServiceHelper::addProperty(out, p->name(), p->value());
    }
}

// What a volume info carries over from the value its record holds.
void carry_over(const DS::DiskVolumeInfo* held, DS::PropertySeq& out) {
    const DS::DiskVolume* volume = held->volume();
    if (!volume) return;
    const DS::PropertySeq& props = volume->properties();
    CORBA::String_var flags = DiskServiceHelper::getPropertyByName(props, "DSM::flags");
    if (flags.in()) DiskServiceHelper::addProperty(out, "DSM::flags", flags.in());
    static const char* const kCount = "DSMi::ReplicationSourceAndTargetSpecCount";
    CORBA::String_var count = DiskServiceHelper::getPropertyByName(props, kCount);
    if (!count.in()) return;
    DiskServiceHelper::addProperty(out, kCount, count.in());
    if (DiskServiceHelper::toInt(count.in()) > 0) copy_replication_entries(props, out);
}

void add_volume_figures(const dsm_diskvolumeinfo_t& rec, DS::PropertySeq& props) {
    dsm::add_number(props, "DSM::potentialFreeSpace", rec.potential_free_space);
    dsm::add_number(props, "DSM::committedSpace", rec.committed_space);
    dsm::add_number(props, "DSM::preCommittedSpace", rec.precommitted_space);
    if (rec.disk_media_id[0]) dsm::add_field(props, "DSM::diskMediaId", rec.disk_media_id);
    if (rec.system_tag[0]) {
        dsm::add_field(props, "DSM::systemTag", rec.system_tag);
        dsm::add_field(props, "Volume Layout String", rec.system_tag);
    }
    const std::int32_t state = rec.kdu_state == 1 || rec.kdu_state == 2 ? rec.kdu_state : 0;
    dsm::add_number(props, "DSM::state", state);
    dsm::add_number(props, "DSM::maxReaders", rec.max_read_mounts);
    dsm::add_number(props, "DSM::currentReaders", rec.num_read_mounts);
    dsm::add_number(props, "DSM::maxWriters", rec.max_write_mounts);
    dsm::add_number(props, "DSM::currentWriters", rec.num_write_mounts);
}

// The leading volume fields of an info record, as a volume record.
dsm_diskvolume_t volume_part(const dsm_diskvolumeinfo_t& info) {
    dsm_diskvolume_t v;
    std::memcpy(v.name, info.name, sizeof v.name);
    std::memcpy(v.id, info.id, sizeof v.id);
    v.diskgroup = info.diskgroup;
    return v;
}

void fill_server(const Frame& f, const dsm_storageserver_t& rec, int i, DS::StorageServer* s) {
    s->name(dsm::field_text(rec.name).c_str());
    DSM_LOG(f, DSM_SEV_TRACE, "stservers[", i, "].name = ", rec.name);
    s->objId(dsm::field_text(rec.id).c_str());
    s->type(rec.storage_type);
    s->servertype(dsm::field_text(rec.server_type).c_str());
    DSM_LOG(f, DSM_SEV_TRACE, "stservers[", i, "].server_type = ", rec.server_type);
    DSM_LOG(f, DSM_SEV_TRACE, "stservers[", i, "].access_media_server = ", rec.access_media_server);
    s->properties().length(0);
    if (rec.access_media_server[0]) dsm::add_field(s->properties(), "DSM::mediaServer", rec.access_media_server);
}

}  // namespace

int dsml_populate_diskgroup(const dsm_diskgroup_t* rec, DS::DiskGroup* value) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        value->name(dsm::field_text(rec->name).c_str());
        DSM_LOG(f, DSM_SEV_TRACE, "diskgroup.name = ", rec->name);
        value->objId(dsm::field_text(rec->id).c_str());
        value->type(0);
        value->size(0);
        const bool media = rec->access_media_server[0] != '\0';
        DS::PropertySeq& props = value->properties();
        props.length(media ? 3 : 2);
        put_property(props, 0, "DSM::master", rec->master_server);
        DSM_LOG(f, DSM_SEV_TRACE, "diskgroup.master_server = ", rec->master_server);
        put_property(props, 1, "DSM::servertype", rec->server_type);
        DSM_LOG(f, DSM_SEV_TRACE, "diskgroup.server_type = ", rec->server_type);
        DSM_LOG(f, DSM_SEV_TRACE, "diskgroup.access_media_server = ", rec->access_media_server);
        if (media) put_property(props, 2, "DSM::mediaServer", rec->access_media_server);
        return DSM_OK;
    });
}

int dsml_populate_diskvolume(const dsm_diskvolume_t* rec, DS::DiskVolume* value) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        value->name(dsm::field_text(rec->name).c_str());
        DSM_LOG(f, DSM_SEV_TRACE, "diskvolume.name = ", rec->name);
        value->objId(dsm::field_text(rec->id).c_str());
        value->type(0);
        value->size(0);
        value->properties().length(0);
        return DSM_OK;
    });
}

int dsml_populate_diskvolumeinfo(const dsm_diskvolumeinfo_t* rec, DS::DiskVolumeInfo* value) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DS::DiskVolume_var volume = dsm::new_diskvolume();
        const dsm_diskvolume_t part = volume_part(*rec);
        const int rc = dsml_populate_diskvolume(&part, volume.in());
        if (rc != DSM_OK) return rc;
        value->volume(volume.in());  // takes its own count
        value->name(dsm::field_text(rec->name).c_str());
        DSM_LOG(f, DSM_SEV_TRACE, "diskvolumeinfo.name = ", rec->name);
        value->capacity(rec->total_capacity);
        value->used(wrapping_difference(rec->total_capacity, rec->free_space));
        DS::PropertySeq& props = volume->properties();
        add_volume_figures(*rec, props);
        if (rec->object_ref) carry_over(dsm::held<DS::DiskVolumeInfo>(rec->object_ref), props);
        return DSM_OK;
    });
}

int dsml_populate_stslist(const dsm_storageserver_t* stservers, int num_stservers,
                          DS::StorageServerSeq& list) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        list.length(static_cast<CORBA::ULong>(num_stservers));
        DSM_LOG(f, DSM_SEV_TRACE, "num_stservers = ", num_stservers);
        for (int i = 0; i < num_stservers; ++i) {
            DS::StorageServer_var server = dsm::new_storageserver();
            fill_server(f, stservers[i], i, server.in());
            list[static_cast<CORBA::ULong>(i)] = server._retn();
        }
        return DSM_OK;
    });
}

int dsml_populate_storageserverconfig(const dsm_configitem_t* rec, DS::StorageServerConfigItem* value) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        value->name(dsm::field_text(rec->name).c_str());
        value->value(dsm::field_text(rec->value).c_str());
        const ConfigKind* kind = service_kind(rec->data_type);
        if (!kind) {
            DSM_LOG(f, DSM_SEV_ERROR, "Failed to populate StorageServerConfigItem (error=",
                    "invalid data type", ")");
            return DSM_E_INVALID_ARG;
        }
        value->cdtype(kind->service);
        value->objId("");
        value->type(0);
        value->properties().length(0);
        return DSM_OK;
    });
}
