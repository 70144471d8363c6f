#include "FuzzValues.h"

#include "dsm.h"
#include "dsmlib_frame.h"
#include "dsmlib_popext.h"

#include "kdbase.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>

namespace dsmfuzz {

namespace {

// The first failure logged while an exception was raised in a frame.
bool g_recording = false;
std::optional<std::string> g_failure;
std::size_t g_bytes_read = 0;

void reading_logger(int severity, const char* text, const char* localized, const char* function,
                    const char* source, int) {
    FUZZ_CHECK(text && function && source);
    FUZZ_CHECK(severity == DSM_SEV_TRACE || severity == DSM_SEV_PROGRESS || severity == DSM_SEV_WARNING ||
               severity == DSM_SEV_ERROR || severity == DSM_SEV_FATAL);
    g_bytes_read += std::strlen(text) + (localized ? std::strlen(localized) : 0);
    if (!g_recording || severity < DSM_SEV_ERROR || g_failure) return;
    FUZZ_CHECK(severity == DSM_SEV_ERROR && localized);
    g_failure = text;
}

// A record's object_ref before extraction; no extraction may touch it.
int g_sentinel;
template <class Rec, class = void>
struct HasRef : std::false_type {};
template <class Rec>
struct HasRef<Rec, std::void_t<decltype(Rec::object_ref)>> : std::true_type {};

// Records start cleared, so only a copy running past its field leaves the last byte set.
template <std::size_t... N>
void check_terminated(const char (&... field)[N]) {
    FUZZ_CHECK(((field[N - 1] == '\0') && ...));
}

template <std::size_t N>
void check_copy(const char (&field)[N], const char* src) {
    check_terminated(field);
    FUZZ_CHECK((src ? std::string(src).substr(0, N - 1) : std::string()) == field);
}

// The value of the index-th well-formed entry named 'name' (what the
// accessors read), or with 'last' the last entry with one of 'names' (what
// the extraction's walk stores).
const char* property(const DS::PropertySeq* props, std::initializer_list<const char*> names, bool last = false,
                     unsigned index = 0) {
    const char* found = nullptr;
    for (CORBA::ULong i = 0; props && i < props->length(); ++i) {
        const DS::Property* p = (*props)[i].in();
        if (!p || !p->name() || !p->value()) continue;
        if (std::none_of(names.begin(), names.end(), [&](const char* n) { return !std::strcmp(p->name(), n); }))
            continue;
        if (last)
            found = p->value();
        else if (index-- == 0)
            return p->value();
    }
    return found;
}

const char* last_value(const DS::PropertySeq& props, std::initializer_list<const char*> names) {
    return property(&props, names, true);
}

void check_terminated(const dsm_diskvolumeinfo_t& v) {
    const dsm_diskgroup_t& g = v.diskgroup;
    check_terminated(v.name, v.id, v.disk_media_id, v.system_tag, g.name, g.id, g.server_type,
                     g.master_server, g.access_media_server);
}
void check_terminated(const dsm_storageserver_t& s) {
    check_terminated(s.name, s.id, s.server_type, s.access_media_server);
}
void check_terminated(const dsm_disk_t& d) { check_terminated(d.name, d.id, d.volume_config); }

void check_pool_properties(const DS::PropertySeq& props, const dsm_diskgroupinfo_t& rec) {
    check_copy(rec.diskgroup.access_media_server, last_value(props, {"DSM::mediaServer"}));
    check_copy(rec.system_tag, last_value(props, {"DSM::systemTag"}));
    check_copy(rec.user_tag, last_value(props, {"DSM::userTag"}));
    FUZZ_CHECK(rec.kdu_state >= 0 && rec.kdu_state <= DSM_DG_STATE_OTHER);
    FUZZ_CHECK(rec.availability >= 0 && rec.availability <= DSM_TRI_NO);
    FUZZ_CHECK(rec.connectivity >= 0 && rec.connectivity <= DSM_TRI_NO);
}

void check_volume_properties(const DS::PropertySeq& props, const dsm_diskvolumeinfo_t& rec) {
    check_terminated(rec);
    check_copy(rec.disk_media_id, last_value(props, {"DSM::diskMediaId"}));
    check_copy(rec.system_tag, last_value(props, {"DSM::systemTag", "Volume Layout String"}));
    FUZZ_CHECK(rec.kdu_state >= DSM_DV_STATE_NONE && rec.kdu_state <= DSM_DV_STATE_DOWN);
}

// A caller buffer of exactly 'n' records: a write past it is a heap overflow.
template <class Held, class Rec>
void list_call(Reader& knobs, int (*fn)(const Held*, Rec*, int, int*), const Held& held, CORBA::ULong length) {
    const int n = static_cast<int>(knobs.count(6));
    std::unique_ptr<Rec[]> out(new Rec[static_cast<std::size_t>(n)]);
    int avail = -1;
    FUZZ_CHECK(fn(&held, out.get(), n, &avail) == DSM_OK);
    FUZZ_CHECK(avail == static_cast<int>(length));
    for (int i = 0; i < std::min(n, avail); ++i) check_terminated(out[i]);
}

// A numeric accessor of a held value: 0 when the property is there, else
// 2050200 with the output untouched.
template <class T, class Rec>
void payload_call(int (*fn)(const Rec*, T*), const Rec& rec, const DS::PropertySeq* props, const char* name) {
    const bool present = property(props, {name}) != nullptr;
    T out = 0;
    FUZZ_CHECK(fn(&rec, &out) == (present ? DSM_OK : DSM_E_INVALID_ARG));
    FUZZ_CHECK(present || out == 0);
}

template <class Rec, class Value>
Rec extracted(int (*extract)(const Value*, Rec*), const Value* v, Rec rec = Rec{}) {
    if constexpr (HasRef<Rec>::value) rec.object_ref = &g_sentinel;
    FUZZ_CHECK(extract(v, &rec) == DSM_OK);
    if constexpr (HasRef<Rec>::value) FUZZ_CHECK(rec.object_ref == &g_sentinel);
    return rec;
}

// The name and id of a naming form (ObjSpec).
template <std::size_t N, std::size_t M, class Value>
void check_identity(const char (&name)[N], const char (&id)[M], const Value* v) {
    check_copy(name, v->name());
    check_copy(id, v->objId());
}

void replication_call(Reader& knobs, int (*fn)(const dsm_diskvolumeinfo_t*, unsigned int, char*, int),
                      const char* name, const DS::PropertySeq* props, const dsm_diskvolumeinfo_t& rec) {
    const unsigned index = knobs.byte() % 4;
    const int length = knobs.byte();
    std::unique_ptr<char[]> buf(new char[static_cast<std::size_t>(length)]);
    const char* want = property(props, {name}, false, index);
    FUZZ_CHECK(fn(&rec, index, buf.get(), length) == (want ? DSM_OK : DSM_E_NO_REPLICATION));
    if (want && length > 0)
        FUZZ_CHECK(std::string(want).substr(0, static_cast<std::size_t>(length) - 1) == buf.get());
}

template <class E>
int raised_in_frame(const E& e, const char* type) {
    g_failure.reset();
    g_recording = true;
    const dsm::Frame frame("dsm_fuzz_exception", "fuzz", __LINE__);
    const int status = frame.run([&]() -> int {
        e._raise();
        return DSM_OK;
    });
    g_recording = false;
    FUZZ_CHECK(g_failure && g_failure->compare(0, std::strlen(type), type) == 0);
    return status;
}

}  // namespace

void install_reading_logger(const char* locale) { dsmlib_set_logger(reading_logger, locale); }

void exercise(Reader&, DS::DiskGroup* v) {
    const auto rec = extracted(dsml_extract_diskgroup, v);
    check_identity(rec.diskgroup.name, rec.diskgroup.id, v);
    check_copy(rec.diskgroup.server_type, last_value(v->properties(), {"DSM::servertype"}));
    check_copy(rec.diskgroup.master_server, last_value(v->properties(), {"DSM::master"}));
    check_pool_properties(v->properties(), rec);
}

void exercise(Reader& knobs, DS::DiskGroupInfo* v) {
    auto named = dsm_diskgroupinfo_t{};
    const bool keeps = knobs.byte() & 1;
    if (keeps) V_strlcpy(named.diskgroup.name, "named-by-caller", sizeof named.diskgroup.name);
    auto rec = extracted(dsml_extract_diskgroupinfo, v, named);
    check_copy(rec.diskgroup.name, keeps ? "named-by-caller" : v->name());
    check_copy(rec.diskgroup.id, v->id());
    check_copy(rec.diskgroup.server_type, v->servertype());
    check_copy(rec.diskgroup.master_server, v->master_server());
    FUZZ_CHECK(rec.total_capacity == v->capacity() && rec.used_space == v->used());
    FUZZ_CHECK(rec.num_diskvolumes == static_cast<std::int32_t>(v->volumes().length()));
    FUZZ_CHECK(rec.num_disks == static_cast<std::int32_t>(v->disks().length()));
    FUZZ_CHECK(rec.num_stservers == static_cast<std::int32_t>(v->hosts().length()));
    if (v->group()) check_pool_properties(v->group()->properties(), rec);

    rec.object_ref = v;
    list_call(knobs, dsm_get_diskgroup_volumes, rec, v->volumes().length());
    list_call(knobs, dsm_get_diskgroup_stservers, rec, v->hosts().length());
    list_call(knobs, dsm_get_diskgroup_datamovers, rec, v->datamovers().length());
    list_call(knobs, dsm_get_diskgroup_disks, rec, v->disks().length());
    const DS::PropertySeq* props = v->group() ? &v->group()->properties() : nullptr;
    payload_call(dsm_diskgroup_flags, rec, props, "DSM::flags");
    payload_call(dsm_diskgroup_flagsext, rec, props, "DSM::flagsExt");
    payload_call(dsm_diskgroup_physcapacity, rec, props, "DSM::totalPhysicalCapacity");
    payload_call(dsm_diskgroup_max_io_streams, rec, props, "DSM::maxIOStreams");
    payload_call(dsm_diskgroup_physused, rec, props, "DSM::usedPhysicalSpace");
}

void exercise(Reader&, DS::DiskVolume* v) {
    const auto rec = extracted(dsml_extract_diskvolume, v);
    check_identity(rec.name, rec.id, v);
    check_volume_properties(v->properties(), rec);
}

void exercise(Reader& knobs, DS::DiskVolumeInfo* v) {
    auto rec = extracted(dsml_extract_diskvolumeinfo, v);
    const DS::DiskVolume* volume = v->volume();
    const DS::PropertySeq* props = volume ? &volume->properties() : nullptr;
    check_copy(rec.name, v->name());
    check_copy(rec.id, volume ? volume->objId() : nullptr);
    // The service's figures may be anything: the difference wraps.
    FUZZ_CHECK(rec.free_space == static_cast<std::int64_t>(static_cast<std::uint64_t>(v->capacity()) -
                                                           static_cast<std::uint64_t>(v->used())));
    if (props) check_volume_properties(*props, rec);

    rec.object_ref = v;
    payload_call(dsm_diskvolume_flags, rec, props, "DSM::flags");
    payload_call(dsm_diskvolume_physcapacity, rec, props, "DSM::totalPhysicalCapacity");
    payload_call(dsm_diskvolume_freephys, rec, props, "DSM::freePhysicalSpace");
    payload_call(dsm_diskvolume_num_active_read_streams, rec, props, "DSM::activeReadStreams");
    payload_call(dsm_diskvolume_num_active_write_streams, rec, props, "DSM::activeWriteStreams");
    replication_call(knobs, dsm_get_diskvolume_repsource, "DSM::ReplicationSourceSpec", props, rec);
    replication_call(knobs, dsm_get_diskvolume_reptarget, "DSM::ReplicationTargetSpec", props, rec);
}

void exercise(Reader&, DS::StorageServer* v) {
    const auto rec = extracted(dsml_extract_storageserver, v);
    check_identity(rec.name, rec.id, v);
    check_copy(rec.server_type, v->servertype());
    check_copy(rec.access_media_server, last_value(v->properties(), {"DSM::mediaServer"}));
}

void exercise(Reader& knobs, DS::StorageServerInfo* v) {
    auto rec = extracted(dsml_extract_storageserverinfo, v);
    check_terminated(rec.stserver);
    rec.object_ref = v;
    std::uint32_t state = 7;
    FUZZ_CHECK(dsm_storageserver_state(&rec, &state) == DSM_OK && state <= 2);
    std::uint64_t flags = 0;
    FUZZ_CHECK(dsm_storageserver_flags(&rec, &flags) == DSM_OK);
    FUZZ_CHECK(dsm_storageserver_flagsext(&rec, &flags) == DSM_OK);
    // The only type with array types.
    V_strlcpy(rec.stserver.server_type, "SharedDisk", sizeof rec.stserver.server_type);
    const int n = static_cast<int>(knobs.count(4));
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

void exercise(Reader&, DS::StorageServerConfigItem* v) {
    auto rec = dsm_configitem_t{};
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
    const auto rec = extracted(dsml_extract_enclosure, v);
    check_identity(rec.name, rec.id, v);
    check_copy(rec.server_type, last_value(v->properties(), {"DSM::servertype"}));
}

void exercise(Reader& knobs, DS::EnclosureInfo* v) {
    auto rec = extracted(dsml_extract_enclosureinfo, v);
    check_copy(rec.enclosure.name, v->name());
    check_copy(rec.enclosure.id, v->id());
    check_copy(rec.enclosure.server_type, v->servertype());
    check_copy(rec.en_type, last_value(v->properties(), {"Enclosure Type"}));
    check_copy(rec.serial_number, last_value(v->properties(), {"Enclosure Serial Number"}));
    check_copy(rec.array_type, last_value(v->properties(), {"Enclosure Array Type"}));
    FUZZ_CHECK(rec.num_disks == static_cast<std::int32_t>(v->disks().length()));
    FUZZ_CHECK(rec.num_stservers == static_cast<std::int32_t>(v->hosts().length()));
    rec.object_ref = v;
    list_call(knobs, dsm_get_enclosure_disks, rec, v->disks().length());
    list_call(knobs, dsm_get_enclosure_stservers, rec, v->hosts().length());
}

void exercise(Reader&, DS::Disk* v) {
    const auto rec = extracted(dsml_extract_disk, v);
    check_identity(rec.name, rec.id, v);
    check_terminated(rec);
    FUZZ_CHECK(rec.availability == (v->used() ? DSM_TRI_NO : DSM_TRI_YES));
}

void exercise(Reader& knobs, DS::MountPoint* v) {
    auto rec = dsm_mountpoint_t{};
    rec.object_ref = v;
    // Buffers below 257 bytes are refused untouched; larger ones get at most 255 characters.
    const int length = 250 + knobs.byte() % 64;
    std::unique_ptr<char[]> name(new char[static_cast<std::size_t>(length)]);
    std::memset(name.get(), 'x', static_cast<std::size_t>(length));
    const char* want = property(&v->properties(), {"DSM::diskVolumeName"});
    const int status = dsm_mountpoint_dvname(&rec, name.get(), length);
    if (length < 257) {
        FUZZ_CHECK(status == DSM_E_INVALID_ARG && name[0] == 'x');
    } else {
        FUZZ_CHECK(status == (want ? DSM_OK : DSM_E_INVALID_ARG));
        FUZZ_CHECK((want ? std::string(want).substr(0, 255) : std::string()) == name.get());
    }
    payload_call(dsm_mountpoint_flags, rec, &v->properties(), "DSM::flags");
}

void exercise(const FW::ServiceException& e) {
    const int status = raised_in_frame(e, "ServiceException");
    auto* details = DS::DiskServiceExceptionDetails::_downcast(
        const_cast<FW::ServiceExceptionDetails*>(e.details.in()));
    FUZZ_CHECK(status == (details ? details->errorCode() : DSM_E_SERVICE));
}

void exercise(const FW::IllegalArgumentException& e) {
    FUZZ_CHECK(raised_in_frame(e, "IllegalArgumentException") == DSM_E_INVALID_ARG);
}

}  // namespace dsmfuzz
