#include "Servant.h"

#include "Hostile.h"

#include <cstring>
#include <type_traits>

namespace svc {

namespace {

// A null value argument is the caller's mistake, reported as such.
#define REQUIRE(arg) \
    if (!(arg)) bad_argument(#arg, op_)

// Adds "DSM::AuditSucess" to a returned object (or to the first element of a
// returned list) when a test scripted an audit outcome.
template <class R>
void add_audit(R* r, const std::string& value) {
    if constexpr (std::is_base_of_v<DS::ObjSpec, R>) {
        set_prop(r->properties(), "DSM::AuditSucess", value.c_str());
    } else if constexpr (std::is_base_of_v<CORBA::ValueBase, R>) {
        (void)r;
        (void)value;
    } else {
        if (r->length() > 0 && (*r)[0].in()) add_audit((*r)[0].in(), value);
    }
}

// A generated list for a hostile reply; an operation whose result this
// service cannot generate answers as for a scripted reply of the wrong type.
template <class R>
R* long_reply(long size) {
    if constexpr (generated_list<R>::value) {
        R* out = new R;
        generate(*out, static_cast<CORBA::ULong>(size));
        return out;
    } else {
        (void)size;
        throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO);
    }
}

// Inflates a property of a normally computed result for a hostile reply.
template <class R>
R* inflated(R* result, long size) {
    DS::PropertySeq* props = reply_properties(result);
    if (!props) {
        discard(result);
        throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_YES);  // nothing in this reply has properties
    }
    inflate_last_property(*props, static_cast<CORBA::ULong>(size));
    return result;
}

template <class R>
R* scripted(const CORBA::Any& reply) {
    if constexpr (std::is_base_of_v<CORBA::ValueBase, R>) {
        R* v = nullptr;
        if (reply >>= v) return deep_copy(v);
    } else {
        const R* s = nullptr;
        if (reply >>= s) return new R(*s);
    }
    throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO);  // a reply of the wrong type was scripted
}

}  // namespace

template <class R, class Body>
R* DiskServiceServant::serve(const char* op, DsmControl::AnySeq&& args, Body body) {
    const Fault f = faults_.enter(op, std::move(args));
    if (f.kind == Fault::REPLY) return scripted<R>(f.reply);
    if (f.kind == Fault::HOSTILE && f.hostile == DsmControl::HOSTILE_LONG_SEQUENCE) return long_reply<R>(f.size);
    if (f.kind == Fault::NULL_RESULT) {
        // A value result can be null; the wire has no null sequence, so a
        // sequence result becomes an empty one.
        if constexpr (std::is_base_of_v<CORBA::ValueBase, R>)
            return nullptr;
        else
            return new R;
    }
    R* result = transact(model_, body);
    if (f.kind == Fault::AUDIT && result) add_audit(result, f.value);
    if (f.kind == Fault::HOSTILE) return inflated(result, f.size);
    return result;
}

template <class Body>
CORBA::Long DiskServiceServant::serve_number(const char* op, DsmControl::AnySeq&& args, Body body) {
    const Fault f = faults_.enter(op, std::move(args));
    if (f.kind == Fault::HOSTILE) throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO);  // a number has no list or property
    CORBA::Long result = transact(model_, body);
    // For operations answering a number the audit outcome is the answer.
    if (f.kind == Fault::AUDIT) result = static_cast<CORBA::Long>(std::atol(f.value.c_str()));
    return result;
}

#define SERVE(R, ...) \
    const char* const op_ = __func__; \
    return serve<R>(op_, record(__VA_ARGS__), [&]() -> R*
#define SERVE_NUMBER(...) \
    const char* const op_ = __func__; \
    return serve_number(op_, record(__VA_ARGS__), [&]() -> CORBA::Long
#define END )

// ---- disks and enclosures ----

DS::DiskSeq* DiskServiceServant::getDiskList(const DS::StorageServerSeq& stservers, CORBA::Boolean opt1,
                                             CORBA::Boolean opt2) {
    SERVE(DS::DiskSeq, stservers, opt1, opt2) { return model_.disks(stservers); } END;
}

DS::DiskInfo* DiskServiceServant::getDiskInfo(DS::Disk* dsk, DS::StorageServer* stserver) {
    SERVE(DS::DiskInfo, dsk, stserver) {
        REQUIRE(dsk);
        return model_.disk_info(*dsk);
    } END;
}

DS::DiskInfoSeq* DiskServiceServant::getDiskInfoList(const DS::StorageServerSeq& stservers, CORBA::Boolean opt1,
                                                     CORBA::Boolean opt2) {
    SERVE(DS::DiskInfoSeq, stservers, opt1, opt2) {
        DS::DiskSeq_var disks = model_.disks(stservers);
        auto* out = new DS::DiskInfoSeq;
        out->length(disks->length());
        for (CORBA::ULong i = 0; i < disks->length(); ++i) (*out)[i] = model_.disk_info(*disks[i].in());
        return out;
    } END;
}

DS::EnclosureSeq* DiskServiceServant::getEnclosureList(const DS::StorageServerSeq& stservers,
                                                       CORBA::Boolean provide_union) {
    SERVE(DS::EnclosureSeq, stservers, provide_union) { return model_.enclosures(stservers); } END;
}

DS::EnclosureInfo* DiskServiceServant::getEnclosureInfo(DS::Enclosure* encl, DS::StorageServer* stserver) {
    SERVE(DS::EnclosureInfo, encl, stserver) {
        REQUIRE(encl);
        return model_.enclosure_info(*encl);
    } END;
}

DS::EnclosureInfoSeq* DiskServiceServant::getEnclosureInfoList(const DS::StorageServerSeq& stservers,
                                                               CORBA::Boolean provide_union) {
    SERVE(DS::EnclosureInfoSeq, stservers, provide_union) { return model_.enclosure_infos(stservers); } END;
}

DS::DiskGroup* DiskServiceServant::importEnclosure(DS::Enclosure* encl, const DS::DiskSeq& disks,
                                                   const DS::StorageServerSeq& stservers, CORBA::Long option,
                                                   const DS::PropertySeq& props) {
    SERVE(DS::DiskGroup, encl, disks, stservers, option, props) {
        REQUIRE(encl);
        return model_.import_enclosure(*encl, disks, stservers);
    } END;
}

// ---- volumes ----

DS::DiskVolumeSeq* DiskServiceServant::getDiskVolumeList(const DS::StorageServerSeq& stservers, DS::DiskGroup* pool,
                                                         CORBA::Long option) {
    SERVE(DS::DiskVolumeSeq, stservers, pool, option) {
        REQUIRE(pool);
        return model_.volumes(*pool);
    } END;
}

DS::DiskVolume* DiskServiceServant::createDiskVolume(DS::DiskVolume* volume, DS::DiskGroup* pool,
                                                     const DS::DiskSeq& disks, CORBA::Long dbmode) {
    SERVE(DS::DiskVolume, volume, pool, disks, dbmode) {
        REQUIRE(volume);
        REQUIRE(pool);
        return model_.create_volume(*volume, *pool);
    } END;
}

DS::DiskVolumeInfo* DiskServiceServant::getDiskVolumeInfo(DS::DiskVolume* volume, DS::DiskGroup* pool,
                                                          CORBA::Long dbmode) {
    SERVE(DS::DiskVolumeInfo, volume, pool, dbmode) {
        REQUIRE(volume);
        REQUIRE(pool);
        return model_.volume_info(*volume, *pool);
    } END;
}

DS::DiskVolumeInfo* DiskServiceServant::getDiskVolumeInfoByMediaId(const char* media_id) {
    SERVE(DS::DiskVolumeInfo, media_id) { return model_.volume_by_media_id(media_id); } END;
}

DS::DiskVolumeInfo* DiskServiceServant::getDiskVolumeInfoByLegacyInfo(const char* master_server,
                                                                      const char* storage_server_name,
                                                                      const char* server_type, const char* volume_id) {
    SERVE(DS::DiskVolumeInfo, master_server, storage_server_name, server_type, volume_id) {
        return model_.volume_by_id(volume_id, server_type);
    } END;
}

DS::DiskVolumeInfo* DiskServiceServant::getDiskVolumeInfoByName(const char* master_server, const char* server_type,
                                                                const char* volume_id,
                                                                const char* storage_server_name) {
    SERVE(DS::DiskVolumeInfo, master_server, server_type, volume_id, storage_server_name) {
        return model_.volume_by_id(volume_id, server_type);
    } END;
}

DS::DiskVolumeInfoSeq* DiskServiceServant::getDiskVolumeInfoList(const DS::StorageServerSeq& stservers,
                                                                 DS::DiskGroup* pool, CORBA::Long dbmode) {
    SERVE(DS::DiskVolumeInfoSeq, stservers, pool, dbmode) {
        REQUIRE(pool);
        return model_.volume_infos(*pool);
    } END;
}

DS::DiskGroupInfoSeq* DiskServiceServant::getDiskGroupInfoListByStorageUnitLabel(
    const char* master_server, const char* storage_unit_label, const char* server_type, CORBA::Long option,
    const char* reserved) {
    SERVE(DS::DiskGroupInfoSeq, master_server, storage_unit_label, server_type, option, reserved) {
        return model_.pools_by_label(storage_unit_label, server_type);
    } END;
}

DS::MountPointSeq* DiskServiceServant::getExtendedMountpointListByStorageUnitLabel(
    const char* master_server, const char* storage_unit_label, const char* server_type, CORBA::Long option,
    const char* reserved) {
    SERVE(DS::MountPointSeq, master_server, storage_unit_label, server_type, option, reserved) {
        DS::DiskGroupInfoSeq_var pools = model_.pools_by_label(storage_unit_label, server_type);
        auto* out = new DS::MountPointSeq;
        for (CORBA::ULong i = 0; i < pools->length(); ++i) {
            DS::MountPointSeq_var mps = model_.mount_points(*pools[i]->group());
            for (CORBA::ULong j = 0; j < mps->length(); ++j) {
                const CORBA::ULong n = out->length();
                out->length(n + 1);
                (*out)[n] = deep_copy(mps[j].in());
            }
        }
        return out;
    } END;
}

DS::DiskVolume* DiskServiceServant::updateDiskVolumeState(DS::DiskVolume* volume, DS::DiskGroup* pool,
                                                          CORBA::Long dbmode, CORBA::Long state) {
    SERVE(DS::DiskVolume, volume, pool, dbmode, state) {
        REQUIRE(volume);
        REQUIRE(pool);
        return model_.set_volume_state(*volume, *pool, state);
    } END;
}

DS::DiskVolume* DiskServiceServant::deleteDiskVolume(DS::DiskVolume* volume, DS::DiskGroup* pool, CORBA::Long dbmode) {
    SERVE(DS::DiskVolume, volume, pool, dbmode) {
        REQUIRE(volume);
        REQUIRE(pool);
        return model_.delete_volume(*volume, *pool);
    } END;
}

DS::DiskVolume* DiskServiceServant::updateDiskVolume(DS::DiskVolume* volume, DS::DiskGroup* pool, CORBA::Long dbmode) {
    SERVE(DS::DiskVolume, volume, pool, dbmode) {
        REQUIRE(volume);
        REQUIRE(pool);
        return model_.update_volume(*volume, *pool);
    } END;
}

DS::DiskVolumeSeq* DiskServiceServant::updateDiskVolumeList(const DS::DiskVolumeSeq& volumes, DS::DiskGroup* pool,
                                                            CORBA::Long option) {
    SERVE(DS::DiskVolumeSeq, volumes, pool, option) {
        REQUIRE(pool);
        auto* out = new DS::DiskVolumeSeq;
        out->length(volumes.length());
        for (CORBA::ULong i = 0; i < volumes.length(); ++i)
            (*out)[i] = volumes[i] ? model_.update_volume(*volumes[i].in(), *pool) : nullptr;
        return out;
    } END;
}

// Mount queueing is accepted and has no lasting effect here.
CORBA::Long DiskServiceServant::mountDiskVolume(DS::DiskVolume* volume, DS::DiskGroup* pool, DS::StorageServer* stserver,
                                                DS::MountPoint* mount, CORBA::Long option) {
    SERVE_NUMBER(volume, pool, stserver, mount, option) { return 0; } END;
}

CORBA::Long DiskServiceServant::unmountDiskVolume(DS::DiskVolume* volume, DS::DiskGroup* pool,
                                                  DS::StorageServer* stserver, DS::MountPoint* mount) {
    SERVE_NUMBER(volume, pool, stserver, mount) { return 0; } END;
}

DS::MountPointSeq* DiskServiceServant::getMountPointList(DS::DiskGroup* pool) {
    SERVE(DS::MountPointSeq, pool) {
        REQUIRE(pool);
        return model_.mount_points(*pool);
    } END;
}

// ---- pools ----

DS::DiskGroupSeq* DiskServiceServant::getDiskGroupList(const DS::StorageServerSeq& stservers,
                                                       CORBA::Boolean first_option, CORBA::Boolean second_option,
                                                       CORBA::Long dbmode) {
    SERVE(DS::DiskGroupSeq, stservers, first_option, second_option, dbmode) { return model_.pools(stservers); } END;
}

DS::DiskGroup* DiskServiceServant::importDiskGroup(DS::DiskGroup* pool, const DS::StorageServerSeq& stservers) {
    SERVE(DS::DiskGroup, pool, stservers) {
        REQUIRE(pool);
        return model_.import_pool(*pool, stservers);
    } END;
}

DS::DiskGroup* DiskServiceServant::createDiskGroup(DS::DiskGroup* pool, const DS::StorageServerSeq& stservers,
                                                   const DS::DiskSeq& disks, CORBA::Long dbmode) {
    SERVE(DS::DiskGroup, pool, stservers, disks, dbmode) {
        REQUIRE(pool);
        return model_.create_pool(*pool, stservers, disks, false);
    } END;
}

DS::DiskGroup* DiskServiceServant::mergeDiskGroups(DS::DiskGroup* primary_pool, DS::DiskGroup* secondary_pool,
                                                   const DS::PropertySeq& props) {
    SERVE(DS::DiskGroup, primary_pool, secondary_pool, props) {
        REQUIRE(primary_pool);
        REQUIRE(secondary_pool);
        return model_.merge_pools(*primary_pool, *secondary_pool);
    } END;
}

DS::DiskGroupInfo* DiskServiceServant::getDiskGroupInfo(DS::DiskGroup* pool, CORBA::Long dbmode) {
    SERVE(DS::DiskGroupInfo, pool, dbmode) {
        REQUIRE(pool);
        return model_.pool_info(*pool);
    } END;
}

DS::DiskGroupInfo* DiskServiceServant::getPotentialDiskGroupInfo(DS::DiskGroup* pool) {
    SERVE(DS::DiskGroupInfo, pool) {
        REQUIRE(pool);
        return model_.pool_info(*pool);
    } END;
}

DS::DiskGroupInfoSeq* DiskServiceServant::getDiskGroupInfoList(const DS::StorageServerSeq& stservers,
                                                               CORBA::Boolean first_option,
                                                               CORBA::Boolean second_option, CORBA::Long dbmode) {
    SERVE(DS::DiskGroupInfoSeq, stservers, first_option, second_option, dbmode) {
        return model_.pool_infos(stservers);
    } END;
}

DS::DiskGroup* DiskServiceServant::updateDiskGroupState(DS::DiskGroup* pool, CORBA::Long dbmode, CORBA::Long state) {
    SERVE(DS::DiskGroup, pool, dbmode, state) {
        REQUIRE(pool);
        return model_.set_pool_state(*pool, state);
    } END;
}

DS::DiskGroup* DiskServiceServant::deleteDiskGroup(DS::DiskGroup* pool, CORBA::Long dbmode) {
    SERVE(DS::DiskGroup, pool, dbmode) {
        REQUIRE(pool);
        return model_.delete_pool(*pool);
    } END;
}

DS::DiskGroup* DiskServiceServant::updateDiskGroup(DS::DiskGroup* pool, CORBA::Long dbmode) {
    SERVE(DS::DiskGroup, pool, dbmode) {
        REQUIRE(pool);
        return model_.update_pool(*pool);
    } END;
}

// ---- disk storage units: this service keeps none ----

namespace {
[[noreturn]] void no_storage_units(const char* method) {
    fail(kInvalidValue, "operation not supported by this service", method);
}
}  // namespace

DS::DiskStorageUnitSeq* DiskServiceServant::getDiskStorageUnitList(const char* master_server) {
    SERVE(DS::DiskStorageUnitSeq, master_server) { return new DS::DiskStorageUnitSeq; } END;
}

DS::DiskStorageUnitSeq* DiskServiceServant::getDiskStorageUnitListByDiskGroup(DS::DiskGroup* pool) {
    SERVE(DS::DiskStorageUnitSeq, pool) { return new DS::DiskStorageUnitSeq; } END;
}

DS::DiskStorageUnit* DiskServiceServant::createDiskStorageUnit(DS::DiskStorageUnit* unit, DS::DiskGroup* pool,
                                                               const DS::DataMoverSeq& movers) {
    SERVE(DS::DiskStorageUnit, unit, pool, movers) { no_storage_units(op_); } END;
}

DS::DiskStorageUnitInfo* DiskServiceServant::getDiskStorageUnitInfo(DS::DiskStorageUnit* unit) {
    SERVE(DS::DiskStorageUnitInfo, unit) { no_storage_units(op_); } END;
}

DS::DiskStorageUnitInfoSeq* DiskServiceServant::getDiskStorageUnitInfoList(const char* master_server) {
    SERVE(DS::DiskStorageUnitInfoSeq, master_server) { return new DS::DiskStorageUnitInfoSeq; } END;
}

DS::DiskStorageUnit* DiskServiceServant::deleteDiskStorageUnit(DS::DiskStorageUnit* unit) {
    SERVE(DS::DiskStorageUnit, unit) { no_storage_units(op_); } END;
}

DS::DiskStorageUnit* DiskServiceServant::updateDiskStorageUnit(DS::DiskStorageUnit* unit) {
    SERVE(DS::DiskStorageUnit, unit) { no_storage_units(op_); } END;
}

DS::DiskStorageUnitSeq* DiskServiceServant::updateDiskStorageUnitList(const DS::DiskStorageUnitSeq& units) {
    SERVE(DS::DiskStorageUnitSeq, units) { no_storage_units(op_); } END;
}

// ---- storage servers ----

DS::StorageServerInfo* DiskServiceServant::getStorageServerInfo(DS::StorageServer* stserver, CORBA::Long dbmode) {
    SERVE(DS::StorageServerInfo, stserver, dbmode) {
        REQUIRE(stserver);
        return model_.server_info(*stserver);
    } END;
}

DS::StorageServerInfoSeq* DiskServiceServant::getStorageServerInfoList(const char* machine_name, CORBA::Long dbmode) {
    SERVE(DS::StorageServerInfoSeq, machine_name, dbmode) { return model_.server_infos(machine_name); } END;
}

DS::StorageServer* DiskServiceServant::createStorageServer(DS::StorageServer* stserver, CORBA::Long dbmode) {
    SERVE(DS::StorageServer, stserver, dbmode) {
        REQUIRE(stserver);
        return model_.create_server(*stserver);
    } END;
}

DS::StorageServer* DiskServiceServant::removeStorageServer(DS::StorageServer* stserver, CORBA::Long dbmode) {
    SERVE(DS::StorageServer, stserver, dbmode) {
        REQUIRE(stserver);
        return model_.remove_server(*stserver);
    } END;
}

CORBA::Long DiskServiceServant::addStorageServer(DS::DiskGroup* pool, DS::StorageServer* stserver) {
    SERVE_NUMBER(pool, stserver) {
        REQUIRE(pool);
        REQUIRE(stserver);
        return model_.add_host(*pool, *stserver);
    } END;
}

CORBA::Long DiskServiceServant::deleteStorageServer(DS::DiskGroup* pool, DS::StorageServer* stserver) {
    SERVE_NUMBER(pool, stserver) {
        REQUIRE(pool);
        REQUIRE(stserver);
        return model_.remove_host(*pool, *stserver);
    } END;
}

DS::StorageServer* DiskServiceServant::updateStorageServer(DS::StorageServer* stserver, CORBA::Long dbmode) {
    SERVE(DS::StorageServer, stserver, dbmode) {
        REQUIRE(stserver);
        return model_.update_server(*stserver);
    } END;
}

CORBA::Long DiskServiceServant::addDataMover(DS::DiskStorageUnit* unit, DS::DataMover* mover) {
    SERVE_NUMBER(unit, mover) { return 0; } END;
}

CORBA::Long DiskServiceServant::updateDataMovers(DS::DiskStorageUnit* unit, const DS::DataMoverSeq& movers) {
    SERVE_NUMBER(unit, movers) { return 0; } END;
}

CORBA::Long DiskServiceServant::deleteDataMover(DS::DiskStorageUnit* unit, DS::DataMover* mover) {
    SERVE_NUMBER(unit, mover) { return 0; } END;
}

DS::ServertypeInfo* DiskServiceServant::getServertypeInfo(const char* master_server, const char* server_type) {
    SERVE(DS::ServertypeInfo, master_server, server_type) {
        return model_.servertype_info(master_server, server_type);
    } END;
}

// ---- housekeeping ----

void DiskServiceServant::ping() { faults_.enter(__func__, record()); }

void DiskServiceServant::resetPreCommittedSpaceOnAllVolumes() {
    faults_.enter(__func__, record());
    transact(model_, [&] { model_.reset_precommitted(); });
}

DS::ObjSpecSeq* DiskServiceServant::getObjectsByMachine(const char* machine_name, CORBA::Boolean option) {
    SERVE(DS::ObjSpecSeq, machine_name, option) { return model_.objects_of(machine_name); } END;
}

char* DiskServiceServant::setGlobalAttribute(const char* attribute_name, const char* attribute_value) {
    const Fault f = faults_.enter(__func__, record(attribute_name, attribute_value));
    if (f.kind == Fault::REPLY) {
        const char* s = nullptr;
        if (f.reply >>= s) return CORBA::string_dup(s);
    }
    const std::string old = transact(model_, [&] { return model_.set_attribute(attribute_name, attribute_value); });
    return CORBA::string_dup(old.c_str());
}

CORBA::Long DiskServiceServant::queueDiskVolumeMount(DS::DiskVolume* volume, DS::DiskGroup* pool,
                                                     DS::StorageServer* stserver, DS::MountPoint* mount,
                                                     CORBA::Long option) {
    SERVE_NUMBER(volume, pool, stserver, mount, option) { return 0; } END;
}

CORBA::Long DiskServiceServant::dequeueDiskVolumeMount(DS::DiskVolume* volume, DS::DiskGroup* pool,
                                                       DS::StorageServer* stserver, DS::MountPoint* mount) {
    SERVE_NUMBER(volume, pool, stserver, mount) { return 0; } END;
}

CORBA::Long DiskServiceServant::queueDiskVolumeUnmount(DS::DiskVolume* volume, DS::DiskGroup* pool,
                                                       DS::StorageServer* stserver, DS::MountPoint* mount) {
    SERVE_NUMBER(volume, pool, stserver, mount) { return 0; } END;
}

CORBA::Long DiskServiceServant::dequeueDiskVolumeUnmount(DS::DiskVolume* volume, DS::DiskGroup* pool,
                                                         DS::StorageServer* stserver, DS::MountPoint* mount) {
    SERVE_NUMBER(volume, pool, stserver, mount) { return 0; } END;
}

DS::MountPoint* DiskServiceServant::getMountPoint(DS::DiskVolume* volume, DS::DiskGroup* pool,
                                                  DS::StorageServer* stserver, DS::MountPoint* mount) {
    SERVE(DS::MountPoint, volume, pool, stserver, mount) {
        REQUIRE(pool);
        REQUIRE(mount);
        return model_.mount_point(*pool, *mount);
    } END;
}

DS::StorageServerConfigItemSeq* DiskServiceServant::getStorageServerConfig(DS::StorageServer* stserver,
                                                                           CORBA::Long dbmode) {
    SERVE(DS::StorageServerConfigItemSeq, stserver, dbmode) {
        REQUIRE(stserver);
        return model_.config(*stserver);
    } END;
}

DS::StorageServerConfigItemSeq* DiskServiceServant::updateStorageServerConfig(
    DS::StorageServer* stserver, const DS::StorageServerConfigItemSeq& items, CORBA::Long dbmode) {
    SERVE(DS::StorageServerConfigItemSeq, stserver, items, dbmode) {
        REQUIRE(stserver);
        return model_.update_config(*stserver, items);
    } END;
}

}  // namespace svc
