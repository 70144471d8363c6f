// The disk service's objects: pools with their volumes, disks, hosts and
// data movers, storage servers with configuration items, enclosures, mount
// points and global attributes. Callers hold the lock; every value going
// out is a fresh deep copy.
//
// The maps are a cache of the database: every change marks the object it
// touched, and persist() writes the marked objects in one transaction. The
// servants call it before they reply, so what a reply acknowledges is on disk.
#ifndef DSMSERVICE_MODEL_H
#define DSMSERVICE_MODEL_H

#include "Store.h"
#include "Values.h"

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <type_traits>
#include <utility>

namespace svc {

// Error codes of the service's own failures (error domain 1).
enum ErrorCode : CORBA::Long {
    kNotFound = 2050010,
    kExists = 2050011,
    kInUse = 2050012,
    kInvalidValue = 2050020,
};

// Raises a ServiceException with disk service details.
[[noreturn]] void fail(CORBA::Long code, const std::string& text, const char* method);
// Raises an IllegalArgumentException naming 'argument'.
[[noreturn]] void bad_argument(const char* argument, const char* method);

class Model {
public:
    explicit Model(Store& store) : store_(store) {}

    std::mutex mutex;

    // Reads every object from the database, replacing what is held. Throws
    // StoreError naming a row that cannot be read.
    void load();
    // Writes what changed since the last call in one transaction. When that
    // fails the objects are read back from the database (the change is
    // undone) and CORBA::PERSIST_STORE is raised.
    void persist();

    // ---- pools ----
    DS::DiskGroup* create_pool(const DS::DiskGroup& pool, const DS::StorageServerSeq& hosts,
                               const DS::DiskSeq& disks, bool imported);
    DS::DiskGroup* import_pool(const DS::DiskGroup& pool, const DS::StorageServerSeq& hosts);
    DS::DiskGroup* delete_pool(const DS::DiskGroup& pool);
    DS::DiskGroup* update_pool(const DS::DiskGroup& pool);
    DS::DiskGroup* set_pool_state(const DS::DiskGroup& pool, CORBA::Long state);
    DS::DiskGroup* merge_pools(const DS::DiskGroup& primary, const DS::DiskGroup& secondary);
    DS::DiskGroupInfo* pool_info(const DS::DiskGroup& pool);
    DS::DiskGroupSeq* pools(const DS::StorageServerSeq& servers);
    DS::DiskGroupInfoSeq* pool_infos(const DS::StorageServerSeq& servers);
    DS::DiskGroupInfoSeq* pools_by_label(const char* label, const char* server_type);
    CORBA::Long add_host(const DS::DiskGroup& pool, const DS::StorageServer& server);
    CORBA::Long remove_host(const DS::DiskGroup& pool, const DS::StorageServer& server);
    DS::MountPointSeq* mount_points(const DS::DiskGroup& pool);
    DS::MountPoint* mount_point(const DS::DiskGroup& pool, const DS::MountPoint& mount);
    DS::ServertypeInfo* servertype_info(const char* master, const char* type);
    DS::ObjSpecSeq* objects_of(const char* machine);

    // ---- volumes ----
    DS::DiskVolume* create_volume(const DS::DiskVolume& volume, const DS::DiskGroup& pool);
    DS::DiskVolume* delete_volume(const DS::DiskVolume& volume, const DS::DiskGroup& pool);
    DS::DiskVolume* update_volume(const DS::DiskVolume& volume, const DS::DiskGroup& pool);
    DS::DiskVolume* set_volume_state(const DS::DiskVolume& volume, const DS::DiskGroup& pool, CORBA::Long state);
    DS::DiskVolumeInfo* volume_info(const DS::DiskVolume& volume, const DS::DiskGroup& pool);
    DS::DiskVolumeInfo* volume_by_media_id(const char* media_id);
    DS::DiskVolumeInfo* volume_by_id(const char* volume_id, const char* server_type);
    DS::DiskVolumeSeq* volumes(const DS::DiskGroup& pool);
    DS::DiskVolumeInfoSeq* volume_infos(const DS::DiskGroup& pool);
    void reset_precommitted();

    // ---- storage servers ----
    DS::StorageServer* create_server(const DS::StorageServer& server);
    DS::StorageServer* remove_server(const DS::StorageServer& server);
    DS::StorageServer* update_server(const DS::StorageServer& server);
    DS::StorageServerInfo* server_info(const DS::StorageServer& server);
    DS::StorageServerInfoSeq* server_infos(const char* machine);
    DS::StorageServerConfigItemSeq* config(const DS::StorageServer& server);
    DS::StorageServerConfigItemSeq* update_config(const DS::StorageServer& server,
                                                  const DS::StorageServerConfigItemSeq& items);

    // ---- enclosures and disks ----
    DS::EnclosureSeq* enclosures(const DS::StorageServerSeq& servers);
    DS::EnclosureInfoSeq* enclosure_infos(const DS::StorageServerSeq& servers);
    DS::EnclosureInfo* enclosure_info(const DS::Enclosure& enclosure);
    DS::DiskGroup* import_enclosure(const DS::Enclosure& enclosure, const DS::DiskSeq& disks,
                                    const DS::StorageServerSeq& servers);
    DS::DiskSeq* disks(const DS::StorageServerSeq& servers);
    DS::DiskInfo* disk_info(const DS::Disk& disk);

    // ---- global attributes ----
    std::string set_attribute(const std::string& name, const char* value);

    // ---- seeding and reset ----
    void seed(const CORBA::Any& object);
    void reset();

private:
    struct Pool {
        DS::DiskGroupInfo_var info;
        DS::MountPointSeq mounts;
    };
    struct Server {
        DS::StorageServerInfo_var info;
        DS::StorageServerConfigItemSeq items;
    };

    Pool& pool(const DS::DiskGroup& key, const char* method);
    // A server as a pool holds it: the one the service knows by that name,
    // with its own type and id, else the request's description.
    DS::StorageServer* member(const DS::StorageServer& server) const;
    // pool() for a change: marks the pool for the next persist().
    Pool& changed_pool(const DS::DiskGroup& key, const char* method);
    void touch(Store::Table table, const std::string& key) { dirty_.emplace(table, key); }
    void write_row(Store::Table table, const std::string& key);
    void read_rows(Store::Table table, void (Model::*read)(const std::string&, Decoder&));
    void read_pool(const std::string& key, Decoder& in);
    void read_server(const std::string& key, Decoder& in);
    void read_enclosure(const std::string& key, Decoder& in);
    void forget();
    Pool* find_pool(const std::string& name);
    DS::DiskVolume* volume(Pool& p, const DS::DiskVolume& key, const char* method);
    DS::DiskVolumeInfo* make_volume_info(const Pool& p, DS::DiskVolume* v) const;
    std::string next_id(const char* prefix);

    std::map<std::string, Pool> pools_;
    std::map<std::string, Server> servers_;
    std::map<std::string, DS::EnclosureInfo_var> enclosures_;
    std::map<std::string, std::string> attributes_;
    unsigned long long next_id_ = 1;

    Store& store_;
    std::set<std::pair<Store::Table, std::string>> dirty_;
    bool cleared_ = false;  // reset() since the last persist()
};

// Runs 'body' under the model's lock and persists what it changed before
// the caller replies, also when it throws. A result whose change cannot be
// persisted is dropped, and the caller sees PERSIST_STORE instead.
template <class Body>
auto transact(Model& model, Body body) -> decltype(body()) {
    using R = decltype(body());
    std::lock_guard<std::mutex> lock(model.mutex);
    auto run = [&]() -> R {
        try {
            return body();
        } catch (...) {
            model.persist();
            throw;
        }
    };
    if constexpr (std::is_void_v<R>) {
        run();
        model.persist();
    } else {
        R result = run();
        try {
            model.persist();
        } catch (...) {
            if constexpr (std::is_pointer_v<R>) discard(result);
            throw;
        }
        return result;
    }
}

}  // namespace svc

#endif
