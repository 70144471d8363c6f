#include "Model.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace svc {

namespace {

template <class Seq, class T>
void push(Seq& seq, T* value) {
    const CORBA::ULong n = seq.length();
    seq.length(n + 1);
    seq[n] = value;  // adopts
}

template <class Seq>
Seq* copy_seq(const Seq& from) {
    Seq* out = new Seq;
    out->length(from.length());
    for (CORBA::ULong i = 0; i < from.length(); ++i) (*out)[i] = deep_copy(from[i].in());
    return out;
}

bool same(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

template <class Info>
bool has_host(const Info& info, const char* name) {
    for (CORBA::ULong i = 0; i < info.hosts().length(); ++i)
        if (info.hosts()[i] && same(info.hosts()[i]->name(), name)) return true;
    return false;
}

// An empty server list means every server.
template <class Info>
bool seen_by(const Info& info, const DS::StorageServerSeq& servers) {
    if (servers.length() == 0) return true;
    for (CORBA::ULong i = 0; i < servers.length(); ++i)
        if (servers[i] && has_host(info, servers[i]->name())) return true;
    return false;
}

// The storage server types this service serves.
const char* const kServerTypes[] = {"AdvancedDisk", "SharedDisk", "SANDisk",  "BasicDisk",
                                    "LegacyDisk",   "NearStore",  "SnapVault"};

// A type that is given must be one the service serves; none given is left open.
void check_server_type(const char* type, const char* method) {
    if (!type || !*type) return;
    for (const char* known : kServerTypes)
        if (same(type, known)) return;
    fail(kInvalidValue, "unknown server type " + std::string(type), method);
}

// The water marks a pool would have after a request: the request's where it
// gives them, else the stored ones. The high one may not be below the low.
void check_water_marks(const DS::PropertySeq& stored, const DS::PropertySeq& request, const char* method) {
    auto mark = [&](const char* name) {
        const char* given = prop(request, name);
        return given ? given : prop(stored, name);
    };
    const char* high = mark("DSM::highWaterMark");
    const char* low = mark("DSM::lowWaterMark");
    if (!high || !low) return;
    const long long h = std::strtoll(high, nullptr, 10), l = std::strtoll(low, nullptr, 10);
    if (h < l)
        fail(kInvalidValue, "high water mark " + std::to_string(h) + " is below low water mark " + std::to_string(l),
             method);
}

CORBA::LongLong checked_capacity(const char* volume, CORBA::LongLong size, const char* method) {
    if (size < 0)
        fail(kInvalidValue, "disk volume " + text(volume) + ": negative capacity " + std::to_string(size), method);
    return size;
}

// The capacity a request gives as text: a whole decimal number, not negative.
CORBA::LongLong checked_capacity(const char* volume, const char* given, const char* method) {
    char* end = nullptr;
    errno = 0;
    const long long size = std::strtoll(given, &end, 10);
    if (end == given || *end || errno == ERANGE)
        fail(kInvalidValue, "disk volume " + text(volume) + ": capacity " + given + " is not a number", method);
    return checked_capacity(volume, size, method);
}

// A volume's "DSM::state" holds bits: 1 up, 2 down, which is what readers
// test. A request names a change: 2 up, 3 down, 4 and 5 the same for the
// internal state. Whichever came last decides what the volume reads.
const char* volume_state_bits(CORBA::Long requested, const char* method) {
    switch (requested) {
        case 2:
        case 4:
            return "1";
        case 3:
        case 5:
            return "2";
        default:
            fail(kInvalidValue, "unknown disk volume state " + std::to_string(requested), method);
    }
}

// Figures a client made up may be anything: sums and differences wrap
// instead of overflowing.
CORBA::LongLong wrapping(CORBA::LongLong a, CORBA::LongLong b, bool subtract) {
    const auto x = static_cast<CORBA::ULongLong>(a), y = static_cast<CORBA::ULongLong>(b);
    return static_cast<CORBA::LongLong>(subtract ? x - y : x + y);
}

// The space a volume holds: its capacity less its free space, none while the
// service has not been told its free space.
CORBA::LongLong used_space(const DS::DiskVolume& v) {
    const char* free_space = prop(v.properties(), "DSM::freeSpace");
    return free_space ? wrapping(v.size(), std::strtoll(free_space, nullptr, 10), true) : 0;
}

// A pool's capacity and used space are its volumes' sums, kept in both forms
// clients read: the info's members, and the pool's size and "DSM::usedSpace".
void sum_volumes(DS::DiskGroupInfo& info) {
    CORBA::LongLong capacity = 0, used = 0;
    const DS::DiskVolumeSeq& vols = info.volumes();
    for (CORBA::ULong i = 0; i < vols.length(); ++i)
        if (const DS::DiskVolume* v = vols[i]) {
            capacity = wrapping(capacity, v->size(), false);
            used = wrapping(used, used_space(*v), false);
        }
    info.capacity(capacity);
    info.used(used);
    if (DS::DiskGroup* g = info.group()) {
        g->size(capacity);
        set_prop(g->properties(), "DSM::usedSpace", std::to_string(used).c_str());
    }
}

}  // namespace

void fail(CORBA::Long code, const std::string& text, const char* method) {
    DS::DiskServiceExceptionDetails_var d = new OBV_DS::DiskServiceExceptionDetails;
    d->originatingService("DiskService");
    d->exceptionClassName("ServiceException");
    d->originatingClass("dsmservice");
    d->originatingMethod(method);
    d->originatingHost("localhost");
    d->errorCode(code);
    d->errorDomain(1);
    d->errorText(text.c_str());
    throw FW::ServiceException(d._retn());
}

void bad_argument(const char* argument, const char* method) {
    FW::IllegalArgumentExceptionDetails_var d = new OBV_Orvane::Keldra::TL::Framework::IllegalArgumentExceptionDetails;
    d->originatingService("DiskService");
    d->exceptionClassName("IllegalArgumentException");
    d->originatingClass("dsmservice");
    d->originatingMethod(method);
    d->argumentName(argument);
    throw FW::IllegalArgumentException(d._retn());
}

std::string Model::next_id(const char* prefix) {
    touch(Store::COUNTERS, "next_id");
    return prefix + std::to_string(next_id_++);
}

// ---- pools ----

Model::Pool* Model::find_pool(const std::string& name) {
    auto it = pools_.find(name);
    return it == pools_.end() ? nullptr : &it->second;
}

Model::Pool& Model::pool(const DS::DiskGroup& key, const char* method) {
    Pool* p = find_pool(text(key.name()));
    if (!p) fail(kNotFound, "disk pool " + text(key.name()) + " not found", method);
    return *p;
}

DS::StorageServer* Model::member(const DS::StorageServer& server) const {
    auto it = servers_.find(text(server.name()));
    const DS::StorageServer* known = it == servers_.end() ? nullptr : it->second.info->host();
    return deep_copy(const_cast<DS::StorageServer*>(known ? known : &server));
}

Model::Pool& Model::changed_pool(const DS::DiskGroup& key, const char* method) {
    Pool& p = pool(key, method);
    touch(Store::POOLS, text(key.name()));
    return p;
}

DS::DiskGroup* Model::create_pool(const DS::DiskGroup& pool, const DS::StorageServerSeq& hosts,
                                  const DS::DiskSeq& disks, bool imported) {
    const std::string name = text(pool.name());
    if (name.empty()) bad_argument("pool", "createDiskGroup");
    if (find_pool(name)) fail(kExists, "disk pool " + name + " already exists", "createDiskGroup");
    check_server_type(prop(pool.properties(), "DSM::servertype"), "createDiskGroup");
    check_water_marks(DS::PropertySeq(), pool.properties(), "createDiskGroup");
    Owned<DS::DiskGroup> g(new OBV_DS::DiskGroup);
    g.v->name(name.c_str());
    g.v->objId(next_id("dg-").c_str());
    g.v->type(pool.type());
    merge_props(g.v->properties(), pool.properties());
    if (!prop(g.v->properties(), "DSM::state")) set_prop(g.v->properties(), "DSM::state", "2");
    set_prop(g.v->properties(), "DSM::imported", imported ? "y" : "n");
    Owned<DS::DiskGroupInfo> info(new OBV_DS::DiskGroupInfo);
    info.v->group(g);
    info.v->name(name.c_str());
    info.v->id(g.v->objId());
    info.v->servertype(text(prop(g.v->properties(), "DSM::servertype")).c_str());
    info.v->master_server(text(prop(g.v->properties(), "DSM::master")).c_str());
    info.v->state(2);
    // Every numeric member is set: the generated value leaves them unset.
    info.v->capacity(0);
    info.v->formatted(0);
    info.v->used(0);
    info.v->stsState(0);
    DS::StorageServerSeq members;
    members.length(hosts.length());
    for (CORBA::ULong i = 0; i < hosts.length(); ++i) members[i] = hosts[i] ? member(*hosts[i]) : nullptr;
    info.v->hosts(members);
    DS::DiskSeq_var d = copy_seq(disks);
    info.v->disks(d.in());
    if (hosts.length() > 0 && hosts[0]) info.v->storage_server_name(text(hosts[0]->name()).c_str());
    sum_volumes(*info.v);
    Pool& p = pools_[name];
    touch(Store::POOLS, name);
    p.info = deep_copy(info.v);
    return deep_copy(p.info->group());
}

DS::DiskGroup* Model::import_pool(const DS::DiskGroup& key, const DS::StorageServerSeq& hosts) {
    if (Pool* p = find_pool(text(key.name()))) {
        touch(Store::POOLS, text(key.name()));
        set_prop(p->info->group()->properties(), "DSM::imported", "y");
        return deep_copy(p->info->group());
    }
    return create_pool(key, hosts, DS::DiskSeq(), true);
}

DS::DiskGroup* Model::delete_pool(const DS::DiskGroup& key) {
    Pool& p = changed_pool(key, "deleteDiskGroup");
    DS::DiskGroup* out = deep_copy(p.info->group());
    pools_.erase(text(key.name()));
    return out;
}

DS::DiskGroup* Model::update_pool(const DS::DiskGroup& key) {
    Pool& p = changed_pool(key, "updateDiskGroup");
    DS::PropertySeq& props = p.info->group()->properties();
    check_water_marks(props, key.properties(), "updateDiskGroup");
    merge_props(props, key.properties());
    return deep_copy(p.info->group());
}

DS::DiskGroup* Model::set_pool_state(const DS::DiskGroup& key, CORBA::Long state) {
    // Kept as asked: 2 up, 3 down, what readers of the low four bits expect.
    if (state != 2 && state != 3)
        fail(kInvalidValue, "unknown disk pool state " + std::to_string(state), "updateDiskGroupState");
    Pool& p = changed_pool(key, "updateDiskGroupState");
    set_prop(p.info->group()->properties(), "DSM::state", std::to_string(state).c_str());
    p.info->state(state);
    return deep_copy(p.info->group());
}

DS::DiskGroup* Model::merge_pools(const DS::DiskGroup& primary, const DS::DiskGroup& secondary) {
    Pool& to = changed_pool(primary, "mergeDiskGroups");
    Pool& from = changed_pool(secondary, "mergeDiskGroups");
    if (&to == &from) fail(kInUse, "a pool cannot be merged into itself", "mergeDiskGroups");
    DS::DiskGroupInfo& a = *to.info;
    DS::DiskGroupInfo& b = *from.info;
    for (CORBA::ULong i = 0; i < b.volumes().length(); ++i) push(a.volumes(), deep_copy(b.volumes()[i].in()));
    for (CORBA::ULong i = 0; i < b.disks().length(); ++i) push(a.disks(), deep_copy(b.disks()[i].in()));
    for (CORBA::ULong i = 0; i < b.hosts().length(); ++i)
        if (b.hosts()[i] && !has_host(a, b.hosts()[i]->name())) push(a.hosts(), deep_copy(b.hosts()[i].in()));
    sum_volumes(a);
    DS::DiskGroup* out = deep_copy(a.group());
    pools_.erase(text(secondary.name()));
    return out;
}

DS::DiskGroupInfo* Model::pool_info(const DS::DiskGroup& key) {
    return deep_copy(pool(key, "getDiskGroupInfo").info.in());
}

DS::DiskGroupSeq* Model::pools(const DS::StorageServerSeq& servers) {
    auto* out = new DS::DiskGroupSeq;
    for (auto& [name, p] : pools_)
        if (seen_by(*p.info, servers)) push(*out, deep_copy(p.info->group()));
    return out;
}

DS::DiskGroupInfoSeq* Model::pool_infos(const DS::StorageServerSeq& servers) {
    auto* out = new DS::DiskGroupInfoSeq;
    out->length(0);
    for (auto& [name, p] : pools_)
        if (seen_by(*p.info, servers)) push(*out, deep_copy(p.info.in()));
    return out;
}

DS::DiskGroupInfoSeq* Model::pools_by_label(const char* label, const char* server_type) {
    auto* out = new DS::DiskGroupInfoSeq;
    for (auto& [name, p] : pools_) {
        const DS::PropertySeq& props = p.info->group()->properties();
        if (!same(prop(props, "DSM::storageUnitLabel"), label)) continue;
        if (server_type && *server_type && !same(p.info->servertype(), server_type)) continue;
        push(*out, deep_copy(p.info.in()));
    }
    return out;
}

CORBA::Long Model::add_host(const DS::DiskGroup& key, const DS::StorageServer& server) {
    Pool& p = changed_pool(key, "addStorageServer");
    if (has_host(*p.info, server.name())) fail(kExists, "storage server already in pool", "addStorageServer");
    push(p.info->hosts(), member(server));
    return 0;
}

CORBA::Long Model::remove_host(const DS::DiskGroup& key, const DS::StorageServer& server) {
    Pool& p = changed_pool(key, "deleteStorageServer");
    DS::StorageServerSeq& hosts = p.info->hosts();
    DS::StorageServerSeq kept;
    for (CORBA::ULong i = 0; i < hosts.length(); ++i)
        if (hosts[i] && !same(hosts[i]->name(), server.name())) push(kept, deep_copy(hosts[i].in()));
    if (kept.length() == hosts.length()) fail(kNotFound, "storage server not in pool", "deleteStorageServer");
    p.info->hosts(kept);
    return 0;
}

DS::MountPointSeq* Model::mount_points(const DS::DiskGroup& key) {
    return copy_seq(pool(key, "getMountPointList").mounts);
}

DS::MountPoint* Model::mount_point(const DS::DiskGroup& key, const DS::MountPoint& mount) {
    Pool& p = pool(key, "getMountPoint");
    for (CORBA::ULong i = 0; i < p.mounts.length(); ++i)
        if (p.mounts[i] && same(p.mounts[i]->path(), mount.path())) return deep_copy(p.mounts[i].in());
    fail(kNotFound, "mount point not found", "getMountPoint");
}

DS::ServertypeInfo* Model::servertype_info(const char* master, const char* type) {
    auto* out = new OBV_DS::ServertypeInfo;
    out->master(master);
    out->name(type);
    CORBA::Long groups = 0, volumes = 0;
    CORBA::LongLong capacity = 0, used = 0;
    for (auto& [name, p] : pools_) {
        if (!same(p.info->servertype(), type)) continue;
        ++groups;
        volumes += static_cast<CORBA::Long>(p.info->volumes().length());
        capacity += p.info->capacity();
        used += p.info->used();
    }
    out->diskGroups(groups);
    out->diskVolumes(volumes);
    out->capacity(capacity);
    out->totalCapacity(capacity);
    out->used(used);
    return out;
}

DS::ObjSpecSeq* Model::objects_of(const char* machine) {
    auto* out = new DS::ObjSpecSeq;
    auto it = servers_.find(text(machine));
    if (it != servers_.end()) push(*out, static_cast<DS::ObjSpec*>(deep_copy(it->second.info->host())));
    for (auto& [name, p] : pools_)
        if (has_host(*p.info, machine)) push(*out, static_cast<DS::ObjSpec*>(deep_copy(p.info->group())));
    return out;
}

// ---- volumes ----

DS::DiskVolume* Model::volume(Pool& p, const DS::DiskVolume& key, const char* method) {
    DS::DiskVolumeSeq& vols = p.info->volumes();
    for (CORBA::ULong i = 0; i < vols.length(); ++i) {
        DS::DiskVolume* v = vols[i];
        if (!v) continue;
        const bool by_name = key.name() && *key.name() && same(v->name(), key.name());
        const bool by_id = (!key.name() || !*key.name()) && same(v->objId(), key.objId());
        if (by_name || by_id) return v;
    }
    fail(kNotFound, "disk volume " + text(key.name()) + " not found", method);
}

DS::DiskVolume* Model::create_volume(const DS::DiskVolume& key, const DS::DiskGroup& pool_key) {
    Pool& p = changed_pool(pool_key, "createDiskVolume");
    const std::string name = text(key.name());
    if (name.empty()) bad_argument("volume", "createDiskVolume");
    DS::DiskVolumeSeq& vols = p.info->volumes();
    for (CORBA::ULong i = 0; i < vols.length(); ++i)
        if (vols[i] && same(vols[i]->name(), name.c_str()))
            fail(kExists, "disk volume " + name + " already exists", "createDiskVolume");
    const CORBA::LongLong size = checked_capacity(key.name(), key.size(), "createDiskVolume");
    auto* v = new OBV_DS::DiskVolume;
    v->name(name.c_str());
    v->objId(next_id("dv-").c_str());
    v->size(size);
    merge_props(v->properties(), key.properties());
    if (!prop(v->properties(), "DSM::diskMediaId"))
        set_prop(v->properties(), "DSM::diskMediaId", ("@aaa" + std::string(v->objId()).substr(3)).c_str());
    set_prop(v->properties(), "DSM::diskGroupName", p.info->name());
    set_prop(v->properties(), "DSM::master", p.info->master_server());
    if (!prop(v->properties(), "DSM::state")) set_prop(v->properties(), "DSM::state", "1");
    push(vols, v);
    sum_volumes(*p.info);
    return deep_copy(static_cast<DS::DiskVolume*>(v));
}

DS::DiskVolume* Model::delete_volume(const DS::DiskVolume& key, const DS::DiskGroup& pool_key) {
    Pool& p = changed_pool(pool_key, "deleteDiskVolume");
    DS::DiskVolume* found = volume(p, key, "deleteDiskVolume");
    DS::DiskVolume* out = deep_copy(found);
    DS::DiskVolumeSeq kept;
    DS::DiskVolumeSeq& vols = p.info->volumes();
    for (CORBA::ULong i = 0; i < vols.length(); ++i)
        if (vols[i].in() != found) push(kept, deep_copy(vols[i].in()));
    p.info->volumes(kept);
    sum_volumes(*p.info);
    return out;
}

DS::DiskVolume* Model::update_volume(const DS::DiskVolume& key, const DS::DiskGroup& pool_key) {
    Pool& p = changed_pool(pool_key, "updateDiskVolume");
    DS::DiskVolume* v = volume(p, key, "updateDiskVolume");
    const char* total = prop(key.properties(), "DSM::totalCapacity");
    const CORBA::LongLong size = total ? checked_capacity(v->name(), total, "updateDiskVolume") : v->size();
    merge_props(v->properties(), key.properties());
    v->size(size);
    sum_volumes(*p.info);
    return deep_copy(v);
}

DS::DiskVolume* Model::set_volume_state(const DS::DiskVolume& key, const DS::DiskGroup& pool_key,
                                        CORBA::Long state) {
    const char* bits = volume_state_bits(state, "updateDiskVolumeState");
    Pool& p = changed_pool(pool_key, "updateDiskVolumeState");
    DS::DiskVolume* v = volume(p, key, "updateDiskVolumeState");
    merge_props(v->properties(), key.properties());
    set_prop(v->properties(), "DSM::state", bits);
    sum_volumes(*p.info);
    return deep_copy(v);
}

DS::DiskVolumeInfo* Model::make_volume_info(const Pool& p, DS::DiskVolume* v) const {
    auto* info = new OBV_DS::DiskVolumeInfo;
    Owned<DS::DiskVolume> copy(deep_copy(v));
    info->volume(copy);
    info->name(v->name());
    info->servertype(p.info->servertype());
    info->storage_server_name(p.info->storage_server_name());
    info->capacity(v->size());
    info->used(used_space(*v));
    const char* state = prop(v->properties(), "DSM::state");
    info->state(state ? std::atoi(state) : 0);
    return info;
}

DS::DiskVolumeInfo* Model::volume_info(const DS::DiskVolume& key, const DS::DiskGroup& pool_key) {
    Pool& p = pool(pool_key, "getDiskVolumeInfo");
    return make_volume_info(p, volume(p, key, "getDiskVolumeInfo"));
}

DS::DiskVolumeInfo* Model::volume_by_media_id(const char* media_id) {
    for (auto& [name, p] : pools_)
        for (CORBA::ULong i = 0; i < p.info->volumes().length(); ++i) {
            DS::DiskVolume* v = p.info->volumes()[i];
            if (v && same(prop(v->properties(), "DSM::diskMediaId"), media_id)) return make_volume_info(p, v);
        }
    fail(kNotFound, "no volume with media id " + text(media_id), "getDiskVolumeInfoByMediaId");
}

DS::DiskVolumeInfo* Model::volume_by_id(const char* volume_id, const char* server_type) {
    for (auto& [name, p] : pools_) {
        if (server_type && *server_type && !same(p.info->servertype(), server_type)) continue;
        for (CORBA::ULong i = 0; i < p.info->volumes().length(); ++i) {
            DS::DiskVolume* v = p.info->volumes()[i];
            if (v && (same(v->objId(), volume_id) || same(v->name(), volume_id))) return make_volume_info(p, v);
        }
    }
    fail(kNotFound, "no volume " + text(volume_id), "getDiskVolumeInfoByName");
}

DS::DiskVolumeSeq* Model::volumes(const DS::DiskGroup& key) {
    return copy_seq(pool(key, "getDiskVolumeList").info->volumes());
}

DS::DiskVolumeInfoSeq* Model::volume_infos(const DS::DiskGroup& key) {
    Pool& p = pool(key, "getDiskVolumeInfoList");
    auto* out = new DS::DiskVolumeInfoSeq;
    const DS::DiskVolumeSeq& vols = p.info->volumes();
    out->length(vols.length());
    for (CORBA::ULong i = 0; i < vols.length(); ++i) (*out)[i] = vols[i] ? make_volume_info(p, vols[i]) : nullptr;
    return out;
}

void Model::reset_precommitted() {
    for (auto& [name, p] : pools_) {
        touch(Store::POOLS, name);
        for (CORBA::ULong i = 0; i < p.info->volumes().length(); ++i)
            if (DS::DiskVolume* v = p.info->volumes()[i]) set_prop(v->properties(), "DSM::preCommittedSpace", "0");
    }
}

// ---- storage servers ----

DS::StorageServer* Model::create_server(const DS::StorageServer& server) {
    const std::string name = text(server.name());
    if (name.empty()) bad_argument("stserver", "createStorageServer");
    if (servers_.count(name)) fail(kExists, "storage server " + name + " already exists", "createStorageServer");
    check_server_type(server.servertype(), "createStorageServer");
    Owned<DS::StorageServer> host(new OBV_DS::StorageServer);
    host.v->name(name.c_str());
    host.v->objId(next_id("ss-").c_str());
    host.v->type(server.type());
    host.v->servertype(server.servertype());
    merge_props(host.v->properties(), server.properties());
    if (!prop(host.v->properties(), "DSM::state")) set_prop(host.v->properties(), "DSM::state", "1");
    Server& s = servers_[name];
    touch(Store::SERVERS, name);
    s.info = new OBV_DS::StorageServerInfo;
    s.info->host(host);
    s.info->name(name.c_str());
    return deep_copy(host.v);
}

DS::StorageServer* Model::remove_server(const DS::StorageServer& server) {
    auto it = servers_.find(text(server.name()));
    if (it == servers_.end()) fail(kNotFound, "storage server " + text(server.name()) + " not found", "removeStorageServer");
    DS::StorageServer* out = deep_copy(it->second.info->host());
    touch(Store::SERVERS, it->first);
    servers_.erase(it);
    return out;
}

DS::StorageServer* Model::update_server(const DS::StorageServer& server) {
    auto it = servers_.find(text(server.name()));
    if (it == servers_.end()) fail(kNotFound, "storage server " + text(server.name()) + " not found", "updateStorageServer");
    touch(Store::SERVERS, it->first);
    DS::StorageServer* host = it->second.info->host();
    merge_props(host->properties(), server.properties());
    if (const char* up = prop(server.properties(), "DSM::AdminUp"))
        set_prop(host->properties(), "DSM::state", same(up, "1") ? "1" : "2");
    return deep_copy(host);
}

DS::StorageServerInfo* Model::server_info(const DS::StorageServer& server) {
    auto it = servers_.find(text(server.name()));
    if (it != servers_.end()) return deep_copy(it->second.info.in());
    if (same(prop(server.properties(), "DSM::StorageServerMustExist"), "true"))
        fail(kNotFound, "storage server " + text(server.name()) + " not found", "getStorageServerInfo");
    // Not known and not required to be: describe the server as asked.
    auto* info = new OBV_DS::StorageServerInfo;
    Owned<DS::StorageServer> host(deep_copy(const_cast<DS::StorageServer*>(&server)));
    remove_prop(host.v->properties(), "DSM::StorageServerMustExist");
    info->host(host);
    info->name(server.name());
    return info;
}

DS::StorageServerInfoSeq* Model::server_infos(const char* machine) {
    auto* out = new DS::StorageServerInfoSeq;
    for (auto& [name, s] : servers_)
        if (!machine || !*machine || name == machine) push(*out, deep_copy(s.info.in()));
    return out;
}

DS::StorageServerConfigItemSeq* Model::config(const DS::StorageServer& server) {
    auto it = servers_.find(text(server.name()));
    if (it == servers_.end()) fail(kNotFound, "storage server " + text(server.name()) + " not found", "getStorageServerConfig");
    return copy_seq(it->second.items);
}

DS::StorageServerConfigItemSeq* Model::update_config(const DS::StorageServer& server,
                                                     const DS::StorageServerConfigItemSeq& items) {
    auto it = servers_.find(text(server.name()));
    if (it == servers_.end()) fail(kNotFound, "storage server " + text(server.name()) + " not found", "updateStorageServerConfig");
    touch(Store::SERVERS, it->first);
    DS::StorageServerConfigItemSeq& stored = it->second.items;
    for (CORBA::ULong i = 0; i < items.length(); ++i) {
        const DS::StorageServerConfigItem* item = items[i];
        if (!item || !item->name() || !*item->name()) continue;
        bool replaced = false;
        for (CORBA::ULong j = 0; j < stored.length() && !replaced; ++j)
            if (stored[j] && same(stored[j]->name(), item->name())) {
                stored[j] = deep_copy(const_cast<DS::StorageServerConfigItem*>(item));
                replaced = true;
            }
        if (!replaced) push(stored, deep_copy(const_cast<DS::StorageServerConfigItem*>(item)));
    }
    for (CORBA::ULong j = 0; j < stored.length(); ++j) remove_prop(stored[j]->properties(), "DSM::AuditReason");
    return copy_seq(stored);
}

// ---- enclosures ----

DS::EnclosureSeq* Model::enclosures(const DS::StorageServerSeq& servers) {
    auto* out = new DS::EnclosureSeq;
    for (auto& [name, e] : enclosures_)
        if (seen_by(*e, servers) && e->enclosure()) push(*out, deep_copy(e->enclosure()));
    return out;
}

DS::EnclosureInfoSeq* Model::enclosure_infos(const DS::StorageServerSeq& servers) {
    auto* out = new DS::EnclosureInfoSeq;
    for (auto& [name, e] : enclosures_)
        if (seen_by(*e, servers)) push(*out, deep_copy(e.in()));
    return out;
}

DS::EnclosureInfo* Model::enclosure_info(const DS::Enclosure& enclosure) {
    auto it = enclosures_.find(text(enclosure.name()));
    if (it == enclosures_.end()) fail(kNotFound, "enclosure " + text(enclosure.name()) + " not found", "getEnclosureInfo");
    return deep_copy(it->second.in());
}

DS::DiskGroup* Model::import_enclosure(const DS::Enclosure& enclosure, const DS::DiskSeq& disks,
                                       const DS::StorageServerSeq& servers) {
    auto it = enclosures_.find(text(enclosure.name()));
    if (it == enclosures_.end()) fail(kNotFound, "enclosure " + text(enclosure.name()) + " not found", "importEnclosure");
    const char* pool_name = prop(enclosure.properties(), "DSM::diskGroupName");
    Owned<DS::DiskGroup> g(new OBV_DS::DiskGroup);
    g.v->name(pool_name ? pool_name : enclosure.name());
    set_prop(g.v->properties(), "DSM::servertype", it->second->servertype());
    set_prop(g.v->properties(), "DSM::master", text(prop(enclosure.properties(), "DSM::master")).c_str());
    set_prop(g.v->properties(), "DSM::enclosure", enclosure.name());
    return create_pool(*g.v, servers, disks, true);
}

DS::DiskSeq* Model::disks(const DS::StorageServerSeq& servers) {
    auto* out = new DS::DiskSeq;
    for (auto& [name, e] : enclosures_)
        if (seen_by(*e, servers))
            for (CORBA::ULong i = 0; i < e->disks().length(); ++i) push(*out, deep_copy(e->disks()[i].in()));
    return out;
}

DS::DiskInfo* Model::disk_info(const DS::Disk& disk) {
    for (auto& [name, e] : enclosures_)
        for (CORBA::ULong i = 0; i < e->disks().length(); ++i) {
            DS::Disk* d = e->disks()[i];
            if (!d || !same(d->name(), disk.name())) continue;
            auto* info = new OBV_DS::DiskInfo;
            Owned<DS::Disk> copy(deep_copy(d));
            info->disk(copy);
            info->name(d->name());
            info->servertype(e->servertype());
            return info;
        }
    fail(kNotFound, "disk " + text(disk.name()) + " not found", "getDiskInfo");
}

// ---- global attributes ----

std::string Model::set_attribute(const std::string& name, const char* value) {
    std::string old = attributes_[name];
    if (value && *value) {
        attributes_[name] = value;
        touch(Store::ATTRIBUTES, name);
    }
    return old;
}

// ---- seeding ----

void Model::seed(const CORBA::Any& object) {
    DS::DiskGroupInfo* pool_info = nullptr;
    DS::StorageServerInfo* server = nullptr;
    DS::EnclosureInfo* enclosure = nullptr;
    DS::MountPoint* mount = nullptr;
    DS::DiskVolumeInfo* volume = nullptr;
    if (object >>= pool_info) {
        if (!pool_info || !pool_info->name()) throw DsmControl::ControlError("a pool needs a name");
        Pool& p = pools_[pool_info->name()];
        touch(Store::POOLS, pool_info->name());
        p.info = deep_copy(pool_info);
        if (!p.info->group()) {
            Owned<DS::DiskGroup> g(new OBV_DS::DiskGroup);
            g.v->name(pool_info->name());
            p.info->group(g);
        }
    } else if (object >>= server) {
        if (!server || !server->name()) throw DsmControl::ControlError("a server needs a name");
        servers_[server->name()].info = deep_copy(server);
        touch(Store::SERVERS, server->name());
    } else if (object >>= enclosure) {
        if (!enclosure || !enclosure->name()) throw DsmControl::ControlError("an enclosure needs a name");
        enclosures_[enclosure->name()] = deep_copy(enclosure);
        touch(Store::ENCLOSURES, enclosure->name());
    } else if (object >>= mount) {
        const char* name = mount ? prop(mount->properties(), "DSM::diskGroupName") : nullptr;
        Pool* p = name ? find_pool(name) : nullptr;
        if (!p) throw DsmControl::ControlError("a mount point needs the DSM::diskGroupName of a known pool");
        push(p->mounts, deep_copy(mount));
        touch(Store::POOLS, name);
    } else if (object >>= volume) {
        DS::DiskVolume* v = volume ? volume->volume() : nullptr;
        const char* name = v ? prop(v->properties(), "DSM::diskGroupName") : nullptr;
        Pool* p = name ? find_pool(name) : nullptr;
        if (!p) throw DsmControl::ControlError("a volume needs the DSM::diskGroupName of a known pool");
        push(p->info->volumes(), deep_copy(v));
        sum_volumes(*p->info);
        touch(Store::POOLS, name);
    } else {
        throw DsmControl::ControlError("seed takes a DiskGroupInfo, DiskVolumeInfo, StorageServerInfo, EnclosureInfo or MountPoint");
    }
}

void Model::reset() {
    forget();
    cleared_ = true;
    touch(Store::COUNTERS, "next_id");  // ids stay unique across resets
}

void Model::forget() {
    pools_.clear();
    servers_.clear();
    enclosures_.clear();
    attributes_.clear();
    dirty_.clear();
}

// ---- the database ----
//
// A row holds an object's values in the ORB's own encoding: a pool its info
// (group, volumes, disks, hosts) and its mount points, a server its info and
// its configuration items, an enclosure its info. Marshalling is what the
// service does with these values anyway, so no column mapping can drift from
// the types; a change rewrites the one row of the object it touched.

void Model::write_row(Store::Table table, const std::string& key) {
    switch (table) {
        case Store::POOLS:
            if (Pool* p = find_pool(key)) return store_.put(table, key, Encoder().value(p->info.in()).seq(p->mounts).bytes());
            break;
        case Store::SERVERS:
            if (auto it = servers_.find(key); it != servers_.end())
                return store_.put(table, key, Encoder().value(it->second.info.in()).seq(it->second.items).bytes());
            break;
        case Store::ENCLOSURES:
            if (auto it = enclosures_.find(key); it != enclosures_.end())
                return store_.put(table, key, Encoder().value(it->second.in()).bytes());
            break;
        case Store::ATTRIBUTES:
            if (auto it = attributes_.find(key); it != attributes_.end()) return store_.put(table, key, it->second);
            break;
        case Store::COUNTERS:
            return store_.put(table, key, std::to_string(next_id_));
    }
    store_.erase(table, key);
}

void Model::persist() {
    if (dirty_.empty() && !cleared_) return;
    try {
        store_.begin();
        if (cleared_) store_.clear();
        for (const auto& [table, key] : dirty_) write_row(table, key);
        store_.commit();
    } catch (const StoreError& e) {
        store_.rollback();
        std::cerr << "dsmservice: " << e.what() << "; the change is undone\n";
        cleared_ = false;
        load();
        throw CORBA::PERSIST_STORE(0, CORBA::COMPLETED_NO);
    }
    dirty_.clear();
    cleared_ = false;
}

void Model::read_pool(const std::string& key, Decoder& in) {
    Pool& p = pools_[key];
    p.info = in.value<DS::DiskGroupInfo>();
    in.seq(p.mounts);
    if (!p.info.in()) throw CORBA::MARSHAL(0, CORBA::COMPLETED_NO);
}

void Model::read_server(const std::string& key, Decoder& in) {
    Server& s = servers_[key];
    s.info = in.value<DS::StorageServerInfo>();
    in.seq(s.items);
    if (!s.info.in()) throw CORBA::MARSHAL(0, CORBA::COMPLETED_NO);
}

void Model::read_enclosure(const std::string& key, Decoder& in) {
    enclosures_[key] = in.value<DS::EnclosureInfo>();
    if (!enclosures_[key].in()) throw CORBA::MARSHAL(0, CORBA::COMPLETED_NO);
}

void Model::read_rows(Store::Table table, void (Model::*read)(const std::string&, Decoder&)) {
    for (const auto& [key, bytes] : store_.rows(table)) {
        try {
            Decoder in(bytes);
            (this->*read)(key, in);
        } catch (const CORBA::SystemException&) {
            throw StoreError("database " + store_.path() + ": the row '" + key + "' cannot be read");
        }
    }
}

void Model::load() {
    forget();
    read_rows(Store::POOLS, &Model::read_pool);
    read_rows(Store::SERVERS, &Model::read_server);
    read_rows(Store::ENCLOSURES, &Model::read_enclosure);
    for (const auto& [key, value] : store_.rows(Store::ATTRIBUTES)) attributes_[key] = value;
    for (const auto& [key, value] : store_.rows(Store::COUNTERS))
        if (key == "next_id") next_id_ = std::strtoull(value.c_str(), nullptr, 10);
}

}  // namespace svc
