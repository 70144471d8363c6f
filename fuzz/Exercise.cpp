#include "Exercise.h"

#include "DiskServiceHelper.h"
#include "dsm.h"
#include "dsmlib_frame.h"
#include "dsmlib_popext.h"

#include "kdbase.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace dsmfuzz {

namespace {

// ---- what the logging function saw ----

struct Logged {
    int severity;
    std::string text;
    bool localized;
};
// Kept only while an exception is being raised in a frame.
bool g_recording = false;
std::vector<Logged> g_failures;
std::size_t g_bytes_read = 0;

void reading_logger(int severity, const char* text, const char* localized, const char* function,
                    const char* source, int) {
    FUZZ_CHECK(text && function && source);
    FUZZ_CHECK(severity == DSM_SEV_TRACE || severity == DSM_SEV_PROGRESS ||
               severity == DSM_SEV_WARNING || severity == DSM_SEV_ERROR ||
               severity == DSM_SEV_FATAL);
    g_bytes_read += std::strlen(text) + (localized ? std::strlen(localized) : 0);
    if (g_recording && severity >= DSM_SEV_ERROR) g_failures.push_back({severity, text, localized != nullptr});
}

// ---- records ----

// A record's object_ref before extraction; no extraction may touch it.
int g_sentinel_target;
void* const kSentinel = &g_sentinel_target;

template <class Rec>
Rec cleared() {
    Rec rec;
    std::memset(&rec, 0, sizeof rec);
    return rec;
}

// Records start cleared, so a bounded copy leaves the last byte zero; a copy
// running past its field does not.
template <std::size_t N>
void check_terminated(const char (&field)[N]) {
    FUZZ_CHECK(field[N - 1] == '\0');
}

// The field holds what a bounded copy of 'src' gives (nothing when null).
template <std::size_t N>
void check_copy(const char (&field)[N], const char* src) {
    check_terminated(field);
    const std::string want = src ? std::string(src).substr(0, N - 1) : std::string();
    FUZZ_CHECK(want == field);
}

bool valid(const DS::Property* p) { return p && p->name() && p->value(); }

// The value of the last well-formed entry with one of 'names': what the
// extraction's walk stores.
const char* last_value(const DS::PropertySeq& props, std::initializer_list<const char*> names) {
    const char* found = nullptr;
    for (CORBA::ULong i = 0; i < props.length(); ++i) {
        const DS::Property* p = props[i].in();
        if (!valid(p)) continue;
        for (const char* n : names)
            if (std::strcmp(p->name(), n) == 0) found = p->value();
    }
    return found;
}

// The value of the first well-formed entry named 'name': what the accessors read.
const char* first_value(const DS::PropertySeq& props, const char* name) {
    for (CORBA::ULong i = 0; i < props.length(); ++i) {
        const DS::Property* p = props[i].in();
        if (valid(p) && std::strcmp(p->name(), name) == 0) return p->value();
    }
    return nullptr;
}

void check_record(const dsm_diskgroup_t& g) {
    check_terminated(g.name);
    check_terminated(g.id);
    check_terminated(g.server_type);
    check_terminated(g.master_server);
    check_terminated(g.access_media_server);
}

void check_record(const dsm_diskvolumeinfo_t& v) {
    check_terminated(v.name);
    check_terminated(v.id);
    check_record(v.diskgroup);
    check_terminated(v.disk_media_id);
    check_terminated(v.system_tag);
}

void check_record(const dsm_storageserver_t& s) {
    check_terminated(s.name);
    check_terminated(s.id);
    check_terminated(s.server_type);
    check_terminated(s.access_media_server);
}

void check_record(const dsm_disk_t& d) {
    check_terminated(d.name);
    check_terminated(d.id);
    check_terminated(d.volume_config);
}

void check_record(const dsm_name_t& name) { check_terminated(name); }

// The texts every pool record takes from its pool's properties.
void check_pool_properties(const DS::PropertySeq& props, const dsm_diskgroupinfo_t& rec) {
    check_copy(rec.diskgroup.access_media_server, last_value(props, {"DSM::mediaServer"}));
    check_copy(rec.system_tag, last_value(props, {"DSM::systemTag"}));
    check_copy(rec.user_tag, last_value(props, {"DSM::userTag"}));
    FUZZ_CHECK(rec.kdu_state >= 0 && rec.kdu_state <= DSM_DG_STATE_OTHER);
    FUZZ_CHECK(rec.availability >= 0 && rec.availability <= DSM_TRI_NO);
    FUZZ_CHECK(rec.connectivity >= 0 && rec.connectivity <= DSM_TRI_NO);
}

void check_volume_properties(const DS::PropertySeq& props, const dsm_diskvolumeinfo_t& rec) {
    check_record(rec);
    check_copy(rec.disk_media_id, last_value(props, {"DSM::diskMediaId"}));
    check_copy(rec.system_tag, last_value(props, {"DSM::systemTag", "Volume Layout String"}));
    FUZZ_CHECK(rec.kdu_state >= DSM_DV_STATE_NONE && rec.kdu_state <= DSM_DV_STATE_DOWN);
}

// A caller's list buffer of exactly 'n' records: a write past it is a heap
// overflow the sanitizer reports.
template <class Rec, class Call>
void list_call(Reader& knobs, CORBA::ULong length, Call call) {
    const int n = static_cast<int>(knobs.count(6));
    std::unique_ptr<Rec[]> out(new Rec[static_cast<std::size_t>(n)]);
    int avail = -1;
    FUZZ_CHECK(call(out.get(), n, &avail) == DSM_OK);
    FUZZ_CHECK(avail == static_cast<int>(length));
    for (int i = 0; i < std::min(n, avail); ++i) check_record(out[i]);
}

// A numeric accessor of a held value: 0 when the property is there, else
// 2050200 with the output untouched.
template <class T, class Rec>
void payload_call(int (*fn)(const Rec*, T*), const Rec& rec, const char* present) {
    T out = 0;
    const int status = fn(&rec, &out);
    FUZZ_CHECK(status == (present ? DSM_OK : DSM_E_INVALID_ARG));
    if (!present) FUZZ_CHECK(out == 0);
}

// A cleared record filled by 'extract', which must succeed.
template <class Rec, class Value>
Rec extracted(int (*extract)(const Value*, Rec*), const Value* v) {
    auto rec = cleared<Rec>();
    FUZZ_CHECK(extract(v, &rec) == DSM_OK);
    return rec;
}

// The same for a record with a reference slot, which the extraction must
// leave as it was.
template <class Rec, class Value>
Rec extracted_beside_ref(int (*extract)(const Value*, Rec*), const Value* v, Rec rec = cleared<Rec>()) {
    rec.object_ref = kSentinel;
    FUZZ_CHECK(extract(v, &rec) == DSM_OK);
    FUZZ_CHECK(rec.object_ref == kSentinel);
    return rec;
}

// The name and id of a naming form (ObjSpec).
template <std::size_t N, std::size_t M, class Value>
void check_identity(const char (&name)[N], const char (&id)[M], const Value* v) {
    check_copy(name, v->name());
    check_copy(id, v->objId());
}

// ---- held values ----

void held_pool(Reader& knobs, DS::DiskGroupInfo* v, dsm_diskgroupinfo_t rec) {
    rec.object_ref = v;
    list_call<dsm_diskvolumeinfo_t>(knobs, v->volumes().length(), [&](auto* out, int n, int* avail) {
        return dsm_get_diskgroup_volumes(&rec, out, n, avail);
    });
    list_call<dsm_storageserver_t>(knobs, v->hosts().length(), [&](auto* out, int n, int* avail) {
        return dsm_get_diskgroup_stservers(&rec, out, n, avail);
    });
    list_call<dsm_datamover_name_t>(knobs, v->datamovers().length(), [&](auto* out, int n, int* avail) {
        return dsm_get_diskgroup_datamovers(&rec, out, n, avail);
    });
    list_call<dsm_disk_t>(knobs, v->disks().length(), [&](auto* out, int n, int* avail) {
        return dsm_get_diskgroup_disks(&rec, out, n, avail);
    });
    const DS::DiskGroup* g = v->group();
    auto present = [&](const char* name) { return g ? first_value(g->properties(), name) : nullptr; };
    payload_call(dsm_diskgroup_flags, rec, present("DSM::flags"));
    payload_call(dsm_diskgroup_flagsext, rec, present("DSM::flagsExt"));
    payload_call(dsm_diskgroup_physcapacity, rec, present("DSM::totalPhysicalCapacity"));
    payload_call(dsm_diskgroup_max_io_streams, rec, present("DSM::maxIOStreams"));
    payload_call(dsm_diskgroup_physused, rec, present("DSM::usedPhysicalSpace"));
}

// The index-th well-formed entry named 'name', or null.
const char* nth_value(const DS::PropertySeq& props, const char* name, unsigned index) {
    for (CORBA::ULong i = 0; i < props.length(); ++i) {
        const DS::Property* p = props[i].in();
        if (valid(p) && std::strcmp(p->name(), name) == 0 && index-- == 0) return p->value();
    }
    return nullptr;
}

using RepFn = int (*)(const dsm_diskvolumeinfo_t*, unsigned int, char*, int);

void replication_call(Reader& knobs, RepFn fn, const char* name, const DS::DiskVolume* volume,
                      const dsm_diskvolumeinfo_t& rec) {
    const unsigned index = knobs.byte() % 4;
    const int length = knobs.byte();
    std::unique_ptr<char[]> buf(new char[static_cast<std::size_t>(length)]);
    const char* want = volume ? nth_value(volume->properties(), name, index) : nullptr;
    const int status = fn(&rec, index, buf.get(), length);
    FUZZ_CHECK(status == (want ? DSM_OK : DSM_E_NO_REPLICATION));
    if (want && length > 0)
        FUZZ_CHECK(std::string(want).substr(0, static_cast<std::size_t>(length) - 1) == buf.get());
}

void held_volume(Reader& knobs, DS::DiskVolumeInfo* v, dsm_diskvolumeinfo_t rec) {
    rec.object_ref = v;
    const DS::DiskVolume* volume = v->volume();
    auto present = [&](const char* name) {
        return volume ? first_value(volume->properties(), name) : nullptr;
    };
    payload_call(dsm_diskvolume_flags, rec, present("DSM::flags"));
    payload_call(dsm_diskvolume_physcapacity, rec, present("DSM::totalPhysicalCapacity"));
    payload_call(dsm_diskvolume_freephys, rec, present("DSM::freePhysicalSpace"));
    payload_call(dsm_diskvolume_num_active_read_streams, rec, present("DSM::activeReadStreams"));
    payload_call(dsm_diskvolume_num_active_write_streams, rec, present("DSM::activeWriteStreams"));
    replication_call(knobs, dsm_get_diskvolume_repsource, "DSM::ReplicationSourceSpec", volume, rec);
    replication_call(knobs, dsm_get_diskvolume_reptarget, "DSM::ReplicationTargetSpec", volume, rec);
}

void held_server(Reader& knobs, DS::StorageServerInfo* v, dsm_storageserverinfo_t rec) {
    rec.object_ref = v;
    std::uint32_t state = 7;
    FUZZ_CHECK(dsm_storageserver_state(&rec, &state) == DSM_OK);
    FUZZ_CHECK(state <= 2);
    std::uint64_t flags = 0;
    FUZZ_CHECK(dsm_storageserver_flags(&rec, &flags) == DSM_OK);
    FUZZ_CHECK(dsm_storageserver_flagsext(&rec, &flags) == DSM_OK);

    V_strlcpy(rec.stserver.server_type, "SharedDisk", sizeof rec.stserver.server_type);  // the only type with array types
    const int n = static_cast<int>(knobs.count(4));
    // Cleared, so that a terminated copy leaves the last byte zero.
    std::unique_ptr<dsm_name_t[]> display(new dsm_name_t[static_cast<std::size_t>(n)]());
    std::unique_ptr<dsm_name_t[]> internal(knobs.byte() & 1 ? new dsm_name_t[static_cast<std::size_t>(n)]()
                                                            : nullptr);
    int avail = -1;
    FUZZ_CHECK(dsm_get_storageserver_arraytypes(&rec, display.get(), internal.get(), n, &avail) == DSM_OK);
    FUZZ_CHECK(avail >= 0);
    for (int i = 0; i < std::min(n, avail); ++i) {
        check_terminated(display[i]);
        if (internal) check_terminated(internal[i]);
    }
}

void held_enclosure(Reader& knobs, DS::EnclosureInfo* v, dsm_enclosureinfo_t rec) {
    rec.object_ref = v;
    list_call<dsm_disk_t>(knobs, v->disks().length(), [&](auto* out, int n, int* avail) {
        return dsm_get_enclosure_disks(&rec, out, n, avail);
    });
    list_call<dsm_storageserver_t>(knobs, v->hosts().length(), [&](auto* out, int n, int* avail) {
        return dsm_get_enclosure_stservers(&rec, out, n, avail);
    });
}

// ---- exceptions ----

// Raises 'e' inside a frame as an exported function would meet it.
template <class E>
int raised_in_frame(const E& e) {
    g_failures.clear();
    g_recording = true;
    const dsm::Frame frame("dsm_fuzz_exception", "fuzz", __LINE__);
    const int status = frame.run([&]() -> int {
        e._raise();
        return DSM_OK;
    });
    g_recording = false;
    return status;
}

// The explanation: the exception's detail text at severity 16 with its
// translated message.
void check_explained(const char* type) {
    FUZZ_CHECK(!g_failures.empty());
    const Logged& first = g_failures.front();
    FUZZ_CHECK(first.severity == DSM_SEV_ERROR);
    FUZZ_CHECK(first.text.compare(0, std::strlen(type), type) == 0);
    FUZZ_CHECK(first.localized);
}

}  // namespace

void install_reading_logger(const char* locale) { dsmlib_set_logger(reading_logger, locale); }

void exercise(Reader&, DS::DiskGroup* v) {
    if (!v) return;
    const auto rec = extracted_beside_ref(dsml_extract_diskgroup, v);
    check_identity(rec.diskgroup.name, rec.diskgroup.id, v);
    check_copy(rec.diskgroup.server_type, last_value(v->properties(), {"DSM::servertype"}));
    check_copy(rec.diskgroup.master_server, last_value(v->properties(), {"DSM::master"}));
    check_pool_properties(v->properties(), rec);
}

void exercise(Reader& knobs, DS::DiskGroupInfo* v) {
    if (!v) return;
    // A caller that named the pool keeps its own name.
    auto named = cleared<dsm_diskgroupinfo_t>();
    const bool keeps = knobs.byte() & 1;
    if (keeps) V_strlcpy(named.diskgroup.name, "named-by-caller", sizeof named.diskgroup.name);
    const auto rec = extracted_beside_ref(dsml_extract_diskgroupinfo, v, named);
    check_copy(rec.diskgroup.name, keeps ? "named-by-caller" : v->name());
    check_copy(rec.diskgroup.id, v->id());
    check_copy(rec.diskgroup.server_type, v->servertype());
    check_copy(rec.diskgroup.master_server, v->master_server());
    FUZZ_CHECK(rec.total_capacity == v->capacity() && rec.used_space == v->used());
    FUZZ_CHECK(rec.num_diskvolumes == static_cast<std::int32_t>(v->volumes().length()));
    FUZZ_CHECK(rec.num_disks == static_cast<std::int32_t>(v->disks().length()));
    FUZZ_CHECK(rec.num_stservers == static_cast<std::int32_t>(v->hosts().length()));
    if (v->group()) check_pool_properties(v->group()->properties(), rec);
    held_pool(knobs, v, rec);
}

void exercise(Reader&, DS::DiskVolume* v) {
    if (!v) return;
    const auto rec = extracted_beside_ref(dsml_extract_diskvolume, v);
    check_identity(rec.name, rec.id, v);
    check_volume_properties(v->properties(), rec);
}

void exercise(Reader& knobs, DS::DiskVolumeInfo* v) {
    if (!v) return;
    const auto rec = extracted_beside_ref(dsml_extract_diskvolumeinfo, v);
    const DS::DiskVolume* volume = v->volume();
    check_copy(rec.name, v->name());
    check_copy(rec.id, volume ? volume->objId() : nullptr);
    // Wrapping arithmetic, as the service's figures may be anything.
    const auto free_space = static_cast<std::int64_t>(static_cast<std::uint64_t>(v->capacity()) -
                                                      static_cast<std::uint64_t>(v->used()));
    FUZZ_CHECK(rec.free_space == free_space);
    if (volume) check_volume_properties(volume->properties(), rec);
    held_volume(knobs, v, rec);
}

void exercise(Reader&, DS::StorageServer* v) {
    if (!v) return;
    const auto rec = extracted(dsml_extract_storageserver, v);
    check_identity(rec.name, rec.id, v);
    check_copy(rec.server_type, v->servertype());
    check_copy(rec.access_media_server, last_value(v->properties(), {"DSM::mediaServer"}));
}

void exercise(Reader& knobs, DS::StorageServerInfo* v) {
    if (!v) return;
    const auto rec = extracted_beside_ref(dsml_extract_storageserverinfo, v);
    check_record(rec.stserver);
    held_server(knobs, v, rec);
}

void exercise(Reader&, DS::StorageServerConfigItem* v) {
    if (!v) return;
    auto rec = cleared<dsm_configitem_t>();
    const int status = dsml_extract_storageserverconfig(v, &rec);
    FUZZ_CHECK(status == (v->name() && v->value() ? DSM_OK : DSM_E_CONFIG_ITEM));
    check_copy(rec.name, v->name());
    check_copy(rec.value, v->name() ? v->value() : nullptr);
    if (status != DSM_OK) return;
    check_copy(rec.description, last_value(v->properties(), {"DSM::ConfigDescription"}));
    FUZZ_CHECK(rec.fixed == 0 || rec.fixed == 1);
    FUZZ_CHECK(rec.data_type >= DSM_CONFIG_UNKNOWN && rec.data_type <= DSM_CONFIG_TYPE_4);
}

void exercise(Reader&, DS::Enclosure* v) {
    if (!v) return;
    const auto rec = extracted(dsml_extract_enclosure, v);
    check_identity(rec.name, rec.id, v);
    check_copy(rec.server_type, last_value(v->properties(), {"DSM::servertype"}));
}

void exercise(Reader& knobs, DS::EnclosureInfo* v) {
    if (!v) return;
    const auto rec = extracted_beside_ref(dsml_extract_enclosureinfo, v);
    check_copy(rec.enclosure.name, v->name());
    check_copy(rec.enclosure.id, v->id());
    check_copy(rec.enclosure.server_type, v->servertype());
    check_copy(rec.en_type, last_value(v->properties(), {"Enclosure Type"}));
    check_copy(rec.serial_number, last_value(v->properties(), {"Enclosure Serial Number"}));
    check_copy(rec.array_type, last_value(v->properties(), {"Enclosure Array Type"}));
    FUZZ_CHECK(rec.num_disks == static_cast<std::int32_t>(v->disks().length()));
    FUZZ_CHECK(rec.num_stservers == static_cast<std::int32_t>(v->hosts().length()));
    held_enclosure(knobs, v, rec);
}

void exercise(Reader&, DS::Disk* v) {
    if (!v) return;
    const auto rec = extracted(dsml_extract_disk, v);
    check_identity(rec.name, rec.id, v);
    check_record(rec);
    FUZZ_CHECK(rec.availability == (v->used() ? DSM_TRI_NO : DSM_TRI_YES));
}

void exercise(Reader& knobs, DS::MountPoint* v) {
    if (!v) return;
    auto rec = cleared<dsm_mountpoint_t>();
    rec.object_ref = v;
    // Buffers below 257 bytes are refused untouched; larger ones get at most
    // 255 characters.
    const int length = 250 + knobs.byte() % 64;
    std::unique_ptr<char[]> name(new char[static_cast<std::size_t>(length)]);
    std::memset(name.get(), 'x', static_cast<std::size_t>(length));
    const char* want = first_value(v->properties(), "DSM::diskVolumeName");
    const int status = dsm_mountpoint_dvname(&rec, name.get(), length);
    if (length < 257) {
        FUZZ_CHECK(status == DSM_E_INVALID_ARG && name[0] == 'x');
    } else {
        FUZZ_CHECK(status == (want ? DSM_OK : DSM_E_INVALID_ARG));
        FUZZ_CHECK((want ? std::string(want).substr(0, 255) : std::string()) == name.get());
    }
    payload_call(dsm_mountpoint_flags, rec, first_value(v->properties(), "DSM::flags"));
}

void exercise(const FW::ServiceException& e) {
    const int status = raised_in_frame(e);
    auto* details = DS::DiskServiceExceptionDetails::_downcast(
        const_cast<FW::ServiceExceptionDetails*>(e.details.in()));
    FUZZ_CHECK(status == (details ? details->errorCode() : DSM_E_SERVICE));
    check_explained("ServiceException");
}

void exercise(const FW::IllegalArgumentException& e) {
    FUZZ_CHECK(raised_in_frame(e) == DSM_E_INVALID_ARG);
    check_explained("IllegalArgumentException");
}

}  // namespace dsmfuzz
