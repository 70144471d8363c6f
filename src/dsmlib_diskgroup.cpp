// Disk pools: lists, details and held-value readers, and every change.
#include "dsm.h"
#include "dsmlib_api.h"
#include "dsmlib_popext.h"

#include <cstdlib>

#define DSM_UNIT "dsmlib_diskgroup"

using dsm::Frame;

// A new pool value populated from a pool record; returns from the body on
// failure.
#define DSM_POOL_VALUE(frame, var, record) \
    DS::DiskGroup_var var = ::dsm::new_diskgroup(); \
    DSM_POPULATE(frame, "DiskGroup", dsml_populate_diskgroup((record), var.in()))

// A storage server list built from caller records.
#define DSM_SERVER_LIST(frame, var, records, count, what) \
    DS::StorageServerSeq var; \
    DSM_POPULATE(frame, what, dsml_populate_stslist((records), (count), var))

namespace {

// ---- pool lists ----

// The shared body of the two pool lists; 'call' invokes the operation and
// 'fill' converts one element.
template <class Call, class Fill>
int pool_list(const Frame& f, const dsm_storageserver_t* stservers, int num_stservers,
              dsm_dbmode db_mode, dsm_diskgroupinfo_t* diskgroups, int num_alloc_diskgroups,
              int* num_avail_diskgroups, const char* op, const char* seq_type, Call call,
              Fill fill) {
    return f.run([&] {
        DSM_REQUIRE(f, stservers);
        DSM_REQUIRE_COUNT(f, num_stservers);
        DSM_REQUIRE(f, diskgroups);
        DSM_REQUIRE_COUNT(f, num_alloc_diskgroups);
        DSM_REQUIRE(f, num_avail_diskgroups);
        DSM_CONNECT(f, dsm);
        DSM_SERVER_LIST(f, servers, stservers, num_stservers, "StorageServerSeq");
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        f.calling(op, __LINE__);
        auto result = call(dsm.in(), servers, mode);
        if (!result.operator->()) return f.nullResult(op, seq_type, __LINE__);
        DSM_LOG(f, DSM_SEV_TRACE, op, " - #diskgroups = ", result->length());
        dsm::fill_buffer(result.in(), diskgroups, num_alloc_diskgroups, num_avail_diskgroups,
                         [&](CORBA::ULong i, auto* value, dsm_diskgroupinfo_t& rec) { fill(f, i, value, rec); });
        return DSM_OK;
    });
}

// Keeps a reference to the pool info in the record and extracts it.
void hold_and_extract_info(const Frame& f, CORBA::ULong i, DS::DiskGroupInfo* value,
                           dsm_diskgroupinfo_t& rec) {
    dsm::hold(rec.object_ref, value);
    if (!value || dsml_extract_diskgroupinfo(value, &rec) != 0)
        DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract diskgroupinfo #", i);
}

}  // namespace

extern "C" int dsm_get_diskgroup_list(const dsm_storageserver_t* stservers, int num_stservers,
                                      int first_option, int second_option, dsm_dbmode db_mode,
                                      dsm_diskgroupinfo_t* diskgroups, int num_alloc_diskgroups,
                                      int* num_avail_diskgroups) {
    DSM_FRAME(f, DSM_UNIT);
    return pool_list(
        f, stservers, num_stservers, db_mode, diskgroups, num_alloc_diskgroups,
        num_avail_diskgroups, "getDiskGroupList", "DiskGroupSeq",
        [&](DS::DiskServiceMgr_ptr dsm, const DS::StorageServerSeq& servers, CORBA::Long mode) {
            return DS::DiskGroupSeq_var(
                dsm->getDiskGroupList(servers, first_option != 0, second_option != 0, mode));
        },
        [](const Frame& fr, CORBA::ULong i, DS::DiskGroup* value, dsm_diskgroupinfo_t& rec) {
            dsm::clear_record(rec);
            if (!value || dsml_extract_diskgroup(value, &rec) != 0)
                DSM_LOG(fr, DSM_SEV_WARNING, "Failed to extract diskgroup #", i);
        });
}

extern "C" int dsm_get_diskgroupinfo_list(const dsm_storageserver_t* stservers, int num_stservers,
                                          int first_option, int second_option, dsm_dbmode db_mode,
                                          dsm_diskgroupinfo_t* diskgroups, int num_alloc_diskgroups,
                                          int* num_avail_diskgroups) {
    DSM_FRAME(f, DSM_UNIT);
    return pool_list(
        f, stservers, num_stservers, db_mode, diskgroups, num_alloc_diskgroups,
        num_avail_diskgroups, "getDiskGroupInfoList", "DiskGroupInfoSeq",
        [&](DS::DiskServiceMgr_ptr dsm, const DS::StorageServerSeq& servers, CORBA::Long mode) {
            return DS::DiskGroupInfoSeq_var(
                dsm->getDiskGroupInfoList(servers, first_option != 0, second_option != 0, mode));
        },
        hold_and_extract_info);
}

namespace {

const char* or_empty(const char* s) { return s ? s : ""; }

// Asks for the pools behind a storage unit label; shared with the LSU list.
DS::DiskGroupInfoSeq* pools_by_label(const Frame& f, DS::DiskServiceMgr_ptr dsm,
                                     const char* master_server, const char* storage_unit_label,
                                     const char* server_type, int query_option) {
    const char* type = server_type && *server_type ? server_type : "";
    DSM_LOG(f, DSM_SEV_TRACE, "master_server = ", master_server);
    DSM_LOG(f, DSM_SEV_TRACE, "storage_unit_label = ", storage_unit_label);
    DSM_LOG(f, DSM_SEV_TRACE, "server_type = ", type);
    f.calling("getDiskGroupInfoListByStorageUnitLabel", __LINE__);
    return dsm->getDiskGroupInfoListByStorageUnitLabel(master_server, storage_unit_label, type,
                                                       query_option, "");
}

}  // namespace

extern "C" int dsm_get_diskgroupinfo_list_by_storage_unit_label(
    const char* master_server, const char* storage_unit_label, const char* server_type,
    int query_option, dsm_diskgroupinfo_t** diskgroups, int* num_diskgroups) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, master_server);
        DSM_REQUIRE(f, storage_unit_label);
        *num_diskgroups = 0;
        *diskgroups = nullptr;
        DSM_CONNECT(f, dsm);
        DS::DiskGroupInfoSeq_var result =
            pools_by_label(f, dsm.in(), master_server, storage_unit_label, server_type, query_option);
        if (!result.operator->())
            return f.nullResult("getDiskGroupInfoListByStorageUnitLabel", "DiskGroupInfo", __LINE__);
        const CORBA::ULong length = result->length();
        *num_diskgroups = static_cast<int>(length);
        if (length == 0) return DSM_OK;
        auto* block = static_cast<dsm_diskgroupinfo_t*>(std::malloc(length * sizeof(dsm_diskgroupinfo_t)));
        if (!block) {
            DSM_LOG(f, DSM_SEV_ERROR, "malloc failed for dsm_diskgroupinfo_t list");
            return DSM_E_NOMEM;
        }
        for (CORBA::ULong i = 0; i < length; ++i) {
            DSM_LOG(f, DSM_SEV_TRACE, "getDiskGroupInfoListByStorageUnitLabel - #diskgroups = ", length);
            dsm::clear_record(block[i]);
            hold_and_extract_info(f, i, result[i], block[i]);
        }
        *diskgroups = block;
        return DSM_OK;
    });
}

extern "C" int dsm_get_diskgroupinfo(const dsm_diskgroup_t* diskgroup, dsm_dbmode db_mode,
                                     dsm_diskgroupinfo_t* diskgroupinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskgroup);
        DSM_REQUIRE(f, diskgroupinfo);
        DSM_CONNECT(f, dsm);
        DSM_POOL_VALUE(f, pool, diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        f.calling("getDiskGroupInfo", __LINE__);
        DS::DiskGroupInfo_var info = dsm->getDiskGroupInfo(pool.in(), mode);
        if (!info.in()) return f.nullResult("getDiskGroupInfo", "DiskGroupInfo", __LINE__);
        if (diskgroupinfo->object_ref) {
            DSM_LOG(f, DSM_SEV_TRACE, "Found older DiskGroupInfo object reference, removing it");
            dsm::release_held<DS::DiskGroupInfo>(diskgroupinfo->object_ref);
        }
        DSM_LOG(f, DSM_SEV_TRACE, "Storing new DiskGroupInfo object reference");
        dsm::hold(diskgroupinfo->object_ref, info.in());
        if (dsml_extract_diskgroupinfo(info.in(), diskgroupinfo) != 0)
            DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract diskgroupinfo for ", diskgroupinfo->diskgroup.name);
        return DSM_OK;
    });
}

// ---- members of a held pool ----

extern "C" int dsm_get_diskgroup_volumes(const dsm_diskgroupinfo_t* diskgroupinfo,
                                         dsm_diskvolumeinfo_t* diskvolumes, int num_alloc_diskvolumes,
                                         int* num_avail_diskvolumes) {
    DSM_FRAME(f, DSM_UNIT);
    return dsm::held_members<DS::DiskGroupInfo>(
        f, diskgroupinfo, "diskgroupinfo", "DiskGroupInfo",
        DSM_BUFFER(diskvolumes, num_alloc_diskvolumes, num_avail_diskvolumes), "diskvolumes",
        [](DS::DiskGroupInfo* info) -> const DS::DiskVolumeSeq& { return info->volumes(); },
        [&](CORBA::ULong i, DS::DiskVolume* value, dsm_diskvolumeinfo_t& rec) {
            if (!value || dsml_extract_diskvolume(value, &rec) != 0)
                DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract diskvolume #", i);
            rec.diskgroup = diskgroupinfo->diskgroup;
        });
}

extern "C" int dsm_get_diskgroup_stservers(const dsm_diskgroupinfo_t* diskgroupinfo,
                                           dsm_storageserver_t* stservers, int num_alloc_stservers,
                                           int* num_avail_stservers) {
    DSM_FRAME(f, DSM_UNIT);
    return dsm::held_members<DS::DiskGroupInfo>(
        f, diskgroupinfo, "diskgroupinfo", "DiskGroupInfo",
        DSM_BUFFER(stservers, num_alloc_stservers, num_avail_stservers), "stservers",
        [](DS::DiskGroupInfo* info) -> const DS::StorageServerSeq& { return info->hosts(); },
        [&](CORBA::ULong i, DS::StorageServer* value, dsm_storageserver_t& rec) {
            if (!value || dsml_extract_storageserver(value, &rec) != 0)
                DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract stserver #", i);
        });
}

extern "C" int dsm_get_diskgroup_datamovers(const dsm_diskgroupinfo_t* diskgroupinfo,
                                            dsm_datamover_name_t* datamovers, int num_alloc_datamovers,
                                            int* num_avail_datamovers) {
    DSM_FRAME(f, DSM_UNIT);
    return dsm::held_members<DS::DiskGroupInfo>(
        f, diskgroupinfo, "diskgroupinfo", "DiskGroupInfo",
        DSM_BUFFER(datamovers, num_alloc_datamovers, num_avail_datamovers), "datamovers",
        [](DS::DiskGroupInfo* info) -> const DS::DataMoverSeq& { return info->datamovers(); },
        [](CORBA::ULong, DS::DataMover* value, dsm_datamover_name_t& rec) {
            if (value) V_strlcpy(rec, or_empty(value->name()), sizeof rec);
        });
}

extern "C" int dsm_get_diskgroup_disks(const dsm_diskgroupinfo_t* diskgroupinfo, dsm_disk_t* disks,
                                       int num_alloc_disks, int* num_avail_disks) {
    DSM_FRAME(f, DSM_UNIT);
    return dsm::held_members<DS::DiskGroupInfo>(
        f, diskgroupinfo, "diskgroupinfo", "DiskGroupInfo",
        DSM_BUFFER(disks, num_alloc_disks, num_avail_disks), "disks",
        [](DS::DiskGroupInfo* info) -> const DS::DiskSeq& { return info->disks(); },
        [&](CORBA::ULong i, DS::Disk* value, dsm_disk_t& rec) {
            if (!value || dsml_extract_disk(value, &rec) != 0)
                DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract disk #", i);
        });
}

// ---- numeric properties of a held pool ----

int _dsm_diskgroup_payload(const Frame& f, const dsm_diskgroupinfo_t* diskgroupinfo,
                           const char* property, std::int64_t* value, std::uint64_t* uvalue) {
    return f.run([&] {
        DSM_REQUIRE(f, diskgroupinfo);
        DSM_REQUIRE_HELD(f, diskgroupinfo->object_ref, "DiskGroupInfo");
        if (!value && !uvalue) return DSM_OK;
        const DS::DiskGroup* group = dsm::held<DS::DiskGroupInfo>(diskgroupinfo->object_ref)->group();
        if (!group) return DSM_E_INVALID_ARG;
        CORBA::String_var text = DiskServiceHelper::getPropertyByName(group->properties(), property);
        if (!text.in()) return DSM_E_INVALID_ARG;
        if (value)
            *value = DiskServiceHelper::toInt64(text.in());
        else
            *uvalue = DiskServiceHelper::toUInt64(text.in());
        return DSM_OK;
    });
}

#define DSM_POOL_PAYLOAD(fn, property, type, slot_signed, slot_unsigned) \
    extern "C" int fn(const dsm_diskgroupinfo_t* diskgroupinfo, type* value) { \
        DSM_FRAME(f, DSM_UNIT); \
        return _dsm_diskgroup_payload(f, diskgroupinfo, property, slot_signed, slot_unsigned); \
    }

DSM_POOL_PAYLOAD(dsm_diskgroup_flags, "DSM::flags", int64_t, value, nullptr)
DSM_POOL_PAYLOAD(dsm_diskgroup_flagsext, "DSM::flagsExt", uint64_t, nullptr, value)
DSM_POOL_PAYLOAD(dsm_diskgroup_physcapacity, "DSM::totalPhysicalCapacity", int64_t, value, nullptr)
DSM_POOL_PAYLOAD(dsm_diskgroup_max_io_streams, "DSM::maxIOStreams", int64_t, value, nullptr)
DSM_POOL_PAYLOAD(dsm_diskgroup_physused, "DSM::usedPhysicalSpace", int64_t, value, nullptr)

#undef DSM_POOL_PAYLOAD

// ---- changes ----

namespace {

// The result side of a change that returns the pool: null → 2050202;
// otherwise the pool is extracted into 'out' (a failure is only logged) and
// the audit value decides between 0 and 2000053.
int pool_result(const Frame& f, const char* op, DS::DiskGroup* result, dsm_diskgroupinfo_t* out,
                const dsm_diskgroup_t& pool, bool audited) {
    if (!result) return f.nullResult(op, "DiskGroup", __LINE__);
    const int audit = audited ? dsm::audit_value(result->properties()) : 0;
    if (dsml_extract_diskgroup(result, out) != 0)
        DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract diskgroupinfo for ", pool.name);
    return dsm::apply_audit(DSM_OK, audit);
}

}  // namespace

extern "C" int dsm_create_diskgroup(const dsm_diskgroup_t* diskgroup, const dsm_storageserver_t* stservers,
                                    int num_stservers, const dsm_disk_t* disks, int num_disks,
                                    dsm_dbmode db_mode, dsm_diskgroupinfo_t* diskgroupinfo,
                                    const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskgroup);
        DSM_REQUIRE(f, stservers);
        DSM_REQUIRE_COUNT(f, num_stservers);
        DSM_REQUIRE(f, disks);
        DSM_REQUIRE_COUNT(f, num_disks);
        DSM_REQUIRE(f, diskgroupinfo);
        DSM_CONNECT(f, dsm);
        DSM_SERVER_LIST(f, servers, stservers, num_stservers, "StorageServerSeq");
        DSM_POOL_VALUE(f, pool, diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        dsm::add_reason(pool->properties(), reason);
        const DS::DiskSeq no_disks;  // the disks are checked but never sent
        f.calling("createDiskGroup", __LINE__);
        DS::DiskGroup_var result = dsm->createDiskGroup(pool.in(), servers, no_disks, mode);
        return pool_result(f, "createDiskGroup", result.in(), diskgroupinfo, *diskgroup, true);
    });
}

extern "C" int dsm_import_diskgroup(const dsm_diskgroup_t* diskgroup, const dsm_storageserver_t* stservers,
                                    int num_stservers, dsm_diskgroupinfo_t* diskgroupinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskgroup);
        DSM_REQUIRE(f, stservers);
        DSM_REQUIRE_COUNT(f, num_stservers);
        DSM_REQUIRE(f, diskgroupinfo);
        DSM_CONNECT(f, dsm);
        DSM_POOL_VALUE(f, pool, diskgroup);
        DSM_SERVER_LIST(f, servers, stservers, num_stservers, "StorageServerSeq");
        f.calling("importDiskGroup", __LINE__);
        DS::DiskGroup_var result = dsm->importDiskGroup(pool.in(), servers);
        return pool_result(f, "importDiskGroup", result.in(), diskgroupinfo, *diskgroup, false);
    });
}

extern "C" int dsm_merge_diskgroups(const dsm_diskgroup_t* primary_diskgroup,
                                    const dsm_diskgroup_t* secondary_diskgroup,
                                    dsm_diskgroupinfo_t* diskgroupinfo, const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, primary_diskgroup);
        DSM_REQUIRE(f, secondary_diskgroup);
        DSM_REQUIRE(f, diskgroupinfo);
        DSM_CONNECT(f, dsm);
        DSM_POOL_VALUE(f, primary, primary_diskgroup);
        DSM_POOL_VALUE(f, secondary, secondary_diskgroup);
        dsm::add_reason(primary->properties(), reason);
        const DS::PropertySeq no_properties;
        f.calling("mergeDiskGroups", __LINE__);
        DS::DiskGroup_var result = dsm->mergeDiskGroups(primary.in(), secondary.in(), no_properties);
        if (!result.in()) return f.nullResult("mergeDiskGroups", "DiskGroup", __LINE__);
        // The merged pool replaces the record whole; a reference it held is
        // the caller's to release beforehand.
        dsm::clear_record(*diskgroupinfo);
        return pool_result(f, "mergeDiskGroups", result.in(), diskgroupinfo, *primary_diskgroup, true);
    });
}

extern "C" int dsm_delete_diskgroup(const dsm_diskgroup_t* diskgroup, dsm_dbmode db_mode,
                                    dsm_diskgroupinfo_t* diskgroupinfo, const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskgroup);
        DSM_REQUIRE(f, diskgroupinfo);
        DSM_CONNECT(f, dsm);
        DSM_POOL_VALUE(f, pool, diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        dsm::add_reason(pool->properties(), reason);
        f.calling("deleteDiskGroup", __LINE__);
        DS::DiskGroup_var result = dsm->deleteDiskGroup(pool.in(), mode);
        return pool_result(f, "deleteDiskGroup", result.in(), diskgroupinfo, *diskgroup, true);
    });
}

extern "C" int dsm_unimport_diskgroup(const dsm_diskgroup_t* diskgroup, dsm_diskgroupinfo_t* diskgroupinfo) {
    return dsm_delete_diskgroup(diskgroup, 1, diskgroupinfo, nullptr);
}

namespace {

// Adds or removes one storage server of a pool; the service answers with a
// number of which 0 and 2000053 both mean done.
template <class Call>
int pool_membership(const Frame& f, const dsm_diskgroup_t* diskgroup, const dsm_storageserver_t* stserver,
                    const char* reason, const char* op, Call call) {
    return f.run([&] {
        DSM_REQUIRE(f, diskgroup);
        DSM_REQUIRE(f, stserver);
        DSM_CONNECT(f, dsm);
        DSM_POOL_VALUE(f, pool, diskgroup);
        DSM_SERVER_LIST(f, servers, stserver, 1, "StorageServer");
        dsm::add_reason(pool->properties(), reason);
        f.calling(op, __LINE__);
        const CORBA::Long result = call(dsm.in(), pool.in(), servers[0].in());
        if (result != 0 && result != DSM_E_AUDIT) {
            DSM_LOG(f, DSM_SEV_ERROR, op, " (RDSM) returned NULL ");
            return DSM_E_NULL_RESULT;
        }
        return DSM_OK;
    });
}

}  // namespace

extern "C" int dsm_add_diskgroup_stserver(const dsm_diskgroup_t* diskgroup, const dsm_storageserver_t* stserver,
                                          const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return pool_membership(f, diskgroup, stserver, reason, "addStorageServer",
                           [](DS::DiskServiceMgr_ptr dsm, DS::DiskGroup* pool, DS::StorageServer* s) {
                               return dsm->addStorageServer(pool, s);
                           });
}

extern "C" int dsm_remove_diskgroup_stserver(const dsm_diskgroup_t* diskgroup,
                                             const dsm_storageserver_t* stserver, const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return pool_membership(f, diskgroup, stserver, reason, "deleteStorageServer",
                           [](DS::DiskServiceMgr_ptr dsm, DS::DiskGroup* pool, DS::StorageServer* s) {
                               return dsm->deleteStorageServer(pool, s);
                           });
}

extern "C" int dsm_update_diskgroup(const dsm_diskgroupinfo_t* diskgroupinfo_in,
                                    const unsigned char* update_mask, dsm_dbmode db_mode,
                                    dsm_diskgroupinfo_t* diskgroupinfo_out, const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskgroupinfo_in);
        DSM_REQUIRE(f, update_mask);
        DSM_REQUIRE(f, diskgroupinfo_out);
        DSM_CONNECT(f, dsm);
        DSM_POOL_VALUE(f, pool, &diskgroupinfo_in->diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        DS::PropertySeq& props = pool->properties();
        if (update_mask[0]) dsm::add_number(props, "DSM::highWaterMark", diskgroupinfo_in->high_watermark);
        if (update_mask[1]) dsm::add_number(props, "DSM::lowWaterMark", diskgroupinfo_in->low_watermark);
        if (update_mask[2]) dsm::add_field(props, "DSM::userTag", diskgroupinfo_in->user_tag);
        dsm::add_reason(props, reason);
        f.calling("updateDiskGroup", __LINE__);
        DS::DiskGroup_var result = dsm->updateDiskGroup(pool.in(), mode);
        return pool_result(f, "updateDiskGroup", result.in(), diskgroupinfo_out, diskgroupinfo_in->diskgroup, true);
    });
}

extern "C" int dsm_update_diskgroup_state(const dsm_diskgroup_t* diskgroup, int kdu_state,
                                          dsm_dbmode db_mode, dsm_diskgroupinfo_t* diskgroupinfo,
                                          const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskgroup);
        DSM_REQUIRE(f, diskgroupinfo);
        if (kdu_state != 1 && kdu_state != 2) {
            DSM_LOG(f, DSM_SEV_ERROR, "Failed to convert State (error=", DSM_E_INVALID_ARG, ")");
            return DSM_E_INVALID_ARG;
        }
        const CORBA::Long state = kdu_state + 1;
        DSM_CONNECT(f, dsm);
        DSM_POOL_VALUE(f, pool, diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        dsm::add_reason(pool->properties(), reason);
        f.calling("updateDiskGroupState", __LINE__);
        DS::DiskGroup_var result = dsm->updateDiskGroupState(pool.in(), mode, state);
        return pool_result(f, "updateDiskGroupState", result.in(), diskgroupinfo, *diskgroup, true);
    });
}

namespace {

// The single-property setters and the replication refresh: one property on
// the pool sent by updateDiskGroup, then the output record refilled from the
// service whatever the update did (its failure still wins).
int pool_property_update(const Frame& f, const dsm_diskgroup_t* diskgroup, const char* property,
                         const std::string& value, dsm_dbmode db_mode,
                         dsm_diskgroupinfo_t* diskgroupinfo, const char* reason) {
    return f.run([&] {
        DSM_REQUIRE(f, diskgroup);
        DSM_CONNECT(f, dsm);
        int audit = 0;
        int status = f.run([&] {
            CORBA::Long mode = 0;
            DSM_DBMODE(f, db_mode, mode);
            DSM_POOL_VALUE(f, pool, diskgroup);
            if (property) DiskServiceHelper::addProperty(pool->properties(), property, value.c_str());
            dsm::add_reason(pool->properties(), reason);
            f.calling("updateDiskGroup", __LINE__);
            DS::DiskGroup_var result = dsm->updateDiskGroup(pool.in(), mode);
            if (!result.in()) return f.nullResult("updateDiskGroup", "DiskGroup", __LINE__);
            audit = dsm::audit_value(result->properties());
            return DSM_OK;
        });
        if (diskgroupinfo) {
            const int refill = dsm_get_diskgroupinfo(diskgroup, db_mode, diskgroupinfo);
            if (status == DSM_OK) status = refill;
        }
        return dsm::apply_audit(status, audit);
    });
}

}  // namespace

extern "C" int dsm_update_diskgroup_flags(const dsm_diskgroup_t* diskgroup, int64_t kdu_flags,
                                          dsm_dbmode db_mode, dsm_diskgroupinfo_t* diskgroupinfo,
                                          const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return pool_property_update(f, diskgroup, "DSM::flags", DiskServiceHelper::toText(kdu_flags),
                                db_mode, diskgroupinfo, reason);
}

extern "C" int dsm_update_diskgroup_flagsext(const dsm_diskgroup_t* diskgroup, uint64_t kdu_flagsext,
                                             dsm_dbmode db_mode, dsm_diskgroupinfo_t* diskgroupinfo,
                                             const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return pool_property_update(f, diskgroup, "DSM::flagsExt",
                                DiskServiceHelper::toTextUnsigned(kdu_flagsext), db_mode,
                                diskgroupinfo, reason);
}

extern "C" int dsm_update_diskgroup_max_io_streams(const dsm_diskgroup_t* diskgroup, int32_t max_io_streams,
                                                   dsm_dbmode db_mode, dsm_diskgroupinfo_t* diskgroupinfo,
                                                   const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return pool_property_update(f, diskgroup, "DSM::maxIOStreams",
                                DiskServiceHelper::toText(max_io_streams), db_mode, diskgroupinfo,
                                reason);
}

extern "C" int dsm_refresh_diskgroup_replication_props(const dsm_diskgroup_t* diskgroup,
                                                       dsm_diskgroupinfo_t* diskgroupinfo,
                                                       const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return pool_property_update(f, diskgroup, nullptr, std::string(), 2, diskgroupinfo, reason);
}

// ======================================================================
// Disk volumes
// ======================================================================

#define DSM_VOLUME_VALUE(frame, var, record) \
    DS::DiskVolume_var var = ::dsm::new_diskvolume(); \
    DSM_POPULATE(frame, "DiskVolume", dsml_populate_diskvolume((record), var.in()))

namespace {

const dsm_diskvolume_t* volume_part(const dsm_diskvolumeinfo_t* info) {
    // An info record begins with the fields of a volume record.
    return reinterpret_cast<const dsm_diskvolume_t*>(info);
}

// The properties of the volume inside a held volume info (null when the
// service sent none).
DS::PropertySeq* held_volume_properties(const void* object_ref) {
    DS::DiskVolume* volume = dsm::held<DS::DiskVolumeInfo>(object_ref)->volume();
    return volume ? &volume->properties() : nullptr;
}

char* volume_property(const DS::DiskVolumeInfo* info, const char* name) {
    const DS::DiskVolume* volume = info->volume();
    return volume ? DiskServiceHelper::getPropertyByName(volume->properties(), name) : nullptr;
}

// Copies the caller's pool record into the output unless they are one.
void copy_pool(const dsm_diskgroup_t* from, dsm_diskgroup_t* to) {
    if (from != to) *to = *from;
}

int get_diskvolumeinfo(const Frame& f, const dsm_diskvolume_t* diskvolume, dsm_dbmode db_mode,
                       dsm_diskvolumeinfo_t* diskvolumeinfo, bool keep_reference) {
    return f.run([&] {
        DSM_REQUIRE(f, diskvolume);
        DSM_REQUIRE(f, diskvolumeinfo);
        DSM_CONNECT(f, dsm);
        DSM_VOLUME_VALUE(f, volume, diskvolume);
        DSM_POOL_VALUE(f, pool, &diskvolume->diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        f.calling("getDiskVolumeInfo", __LINE__);
        DS::DiskVolumeInfo_var info = dsm->getDiskVolumeInfo(volume.in(), pool.in(), mode);
        if (!info.in()) return f.nullResult("getDiskVolumeInfo", "DiskVolumeInfo", __LINE__);
        if (keep_reference)
            dsm::hold(diskvolumeinfo->object_ref, info.in());
        else
            diskvolumeinfo->object_ref = nullptr;
        if (dsml_extract_diskvolumeinfo(info.in(), diskvolumeinfo) != 0)
            DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract diskvolumeinfo for ", diskvolume->name);
        copy_pool(&diskvolume->diskgroup, &diskvolumeinfo->diskgroup);
        return DSM_OK;
    });
}

// Copies one pool identity field from the result, saying so when missing.
void pool_field(const Frame& f, const char* value, char* field, size_t size, const char* label,
                const char* missing) {
    if (value) {
        V_strlcpy(field, value, size);
        DSM_LOG(f, DSM_SEV_TRACE, label, field);
    } else {
        DSM_LOG(f, DSM_SEV_ERROR, missing);
    }
}

// The shared tail of the lookups by media id, name and legacy identity: the
// record is cleared, filled from the result, and given the pool identity the
// result names.
void fill_looked_up(const Frame& f, const DS::DiskVolumeInfo* info, dsm_diskvolumeinfo_t* rec,
                    const char* key) {
    dsm::clear_record(*rec);
    if (dsml_extract_diskvolumeinfo(info, rec) != 0)
        DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract diskvolumeinfo for ", key);
    CORBA::String_var pool_name = volume_property(info, "DSM::diskGroupName");
    pool_field(f, pool_name.in(), rec->diskgroup.name, sizeof rec->diskgroup.name,
               "diskvolumeinfo.diskgroup.name = ",
               "DiskServiceHelper::getPropertyByName returned NULL DSM::diskGroupName");
    CORBA::String_var master = volume_property(info, "DSM::master");
    pool_field(f, master.in(), rec->diskgroup.master_server, sizeof rec->diskgroup.master_server,
               "diskvolumeinfo.diskgroup.master_server = ",
               "DiskServiceHelper::getPropertyByName returned NULL DSM::master");
    pool_field(f, info->servertype(), rec->diskgroup.server_type, sizeof rec->diskgroup.server_type,
               "diskvolumeinfo.diskgroup.server_type = ", "DiskVolumeInfo returned NULL servertype");
}

template <class Call>
int lookup_volume(const Frame& f, dsm_diskvolumeinfo_t* diskvolumeinfo, const char* op,
                  const char* key, uint64_t* flags, Call call) {
    DSM_CONNECT(f, dsm);
    f.calling(op, __LINE__);
    DS::DiskVolumeInfo_var info = call(dsm.in());
    if (!info.in()) return f.nullResult(op, "DiskVolumeInfo", __LINE__);
    fill_looked_up(f, info.in(), diskvolumeinfo, key);
    if (flags) {
        CORBA::String_var text = volume_property(info.in(), "DSM::flags");
        if (text.in()) {
            DSM_LOG(f, DSM_SEV_TRACE, "diskvolumeinfo.volume.flags = ", text.in());
            *flags = static_cast<uint64_t>(DiskServiceHelper::toInt64(text.in()));
        } else {
            DSM_LOG(f, DSM_SEV_ERROR, "DiskServiceHelper::getPropertyByName returned NULL DSM::flags");
        }
    }
    return DSM_OK;
}

int lookup_by_mediaid(const Frame& f, const char* diskvolume_mediaid,
                      dsm_diskvolumeinfo_t* diskvolumeinfo, uint64_t* flags) {
    return f.run([&] {
        DSM_REQUIRE(f, diskvolume_mediaid);
        DSM_REQUIRE(f, diskvolumeinfo);
        DSM_LOG(f, DSM_SEV_TRACE, "diskvolume media ID = ", diskvolume_mediaid);
        return lookup_volume(f, diskvolumeinfo, "getDiskVolumeInfoByMediaId", diskvolume_mediaid, flags,
                             [&](DS::DiskServiceMgr_ptr dsm) {
                                 return dsm->getDiskVolumeInfoByMediaId(diskvolume_mediaid);
                             });
    });
}

template <class Call>
int lookup_on_server(const Frame& f, const char* master_server, const dsm_storageserver_t* stserver,
                     const char* diskvolumeid, dsm_diskvolumeinfo_t* diskvolumeinfo, const char* op,
                     Call call) {
    return f.run([&] {
        DSM_REQUIRE(f, master_server);
        DSM_REQUIRE(f, stserver);
        DSM_REQUIRE(f, diskvolumeid);
        DSM_REQUIRE(f, diskvolumeinfo);
        DSM_LOG(f, DSM_SEV_TRACE, "master_server = ", master_server);
        DSM_LOG(f, DSM_SEV_TRACE, "server_type = ", stserver->server_type);
        DSM_LOG(f, DSM_SEV_TRACE, "diskvolume ID = ", diskvolumeid);
        DSM_LOG(f, DSM_SEV_TRACE, "storage_server = ", stserver->name);
        return lookup_volume(f, diskvolumeinfo, op, diskvolumeid, nullptr,
                             [&](DS::DiskServiceMgr_ptr dsm) { return call(dsm); });
    });
}

}  // namespace

extern "C" int dsm_get_diskvolumeinfo(const dsm_diskvolume_t* diskvolume, dsm_dbmode db_mode,
                                      dsm_diskvolumeinfo_t* diskvolumeinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return get_diskvolumeinfo(f, diskvolume, db_mode, diskvolumeinfo, false);
}

extern "C" int dsm_get_diskvolumeinfoEX(const dsm_diskvolume_t* diskvolume, dsm_dbmode db_mode,
                                        dsm_diskvolumeinfo_t* diskvolumeinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return get_diskvolumeinfo(f, diskvolume, db_mode, diskvolumeinfo, true);
}

extern "C" int dsm_get_diskvolumeinfo_by_mediaid(const char* diskvolume_mediaid,
                                                 dsm_diskvolumeinfo_t* diskvolumeinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return lookup_by_mediaid(f, diskvolume_mediaid, diskvolumeinfo, nullptr);
}

extern "C" int dsm_get_diskvolumeinfo_and_flags_by_mediaid(const char* diskvolume_mediaid,
                                                           dsm_diskvolumeinfo_t* diskvolumeinfo,
                                                           uint64_t* flags) {
    DSM_FRAME(f, DSM_UNIT);
    return lookup_by_mediaid(f, diskvolume_mediaid, diskvolumeinfo, flags);
}

extern "C" int dsm_get_diskvolumeinfo_by_name(const char* master_server, const dsm_storageserver_t* stserver,
                                              const char* diskvolumeid, dsm_diskvolumeinfo_t* diskvolumeinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return lookup_on_server(f, master_server, stserver, diskvolumeid, diskvolumeinfo,
                            "getDiskVolumeInfoByName", [&](DS::DiskServiceMgr_ptr dsm) {
                                return dsm->getDiskVolumeInfoByName(
                                    master_server, dsm::field_text(stserver->server_type).c_str(), diskvolumeid,
                                    dsm::field_text(stserver->name).c_str());
                            });
}

extern "C" int dsm_get_diskvolumeinfo_by_volumeid(const char* master_server,
                                                  const dsm_storageserver_t* stserver,
                                                  const char* diskvolumeid,
                                                  dsm_diskvolumeinfo_t* diskvolumeinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return lookup_on_server(f, master_server, stserver, diskvolumeid, diskvolumeinfo,
                            "getDiskVolumeInfoByLegacyInfo", [&](DS::DiskServiceMgr_ptr dsm) {
                                return dsm->getDiskVolumeInfoByLegacyInfo(
                                    master_server, dsm::field_text(stserver->name).c_str(),
                                    dsm::field_text(stserver->server_type).c_str(), diskvolumeid);
                            });
}

extern "C" int dsm_get_diskvolumeinfo_list(const dsm_storageserver_t* stservers, int num_stservers,
                                           const dsm_diskgroup_t* diskgroup, dsm_dbmode db_mode,
                                           dsm_diskvolumeinfo_t* diskvolumes, int num_alloc_diskvolumes,
                                           int* num_avail_diskvolumes) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, stservers);
        DSM_REQUIRE_COUNT(f, num_stservers);
        DSM_REQUIRE(f, diskgroup);
        DSM_REQUIRE(f, diskvolumes);
        DSM_REQUIRE_COUNT(f, num_alloc_diskvolumes);
        DSM_REQUIRE(f, num_avail_diskvolumes);
        DSM_CONNECT(f, dsm);
        DSM_SERVER_LIST(f, servers, stservers, num_stservers, "StorageServerSeq");
        DSM_POOL_VALUE(f, pool, diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        f.calling("getDiskVolumeInfoList", __LINE__);
        DS::DiskVolumeInfoSeq_var result = dsm->getDiskVolumeInfoList(servers, pool.in(), mode);
        if (!result.operator->())
            return f.nullResult("getDiskVolumeInfoList", "DiskVolumeInfoSeq", __LINE__);
        DSM_LOG(f, DSM_SEV_TRACE, "getDiskVolumeInfoList - #diskvolumes = ", result->length());
        dsm::fill_buffer(result.in(), diskvolumes, num_alloc_diskvolumes, num_avail_diskvolumes,
                         [&](CORBA::ULong i, DS::DiskVolumeInfo* value, dsm_diskvolumeinfo_t& rec) {
                             // The embedded pool record takes the caller's below.
                             dsm::clear_record_except(rec, rec.diskgroup);
                             dsm::hold(rec.object_ref, value);
                             if (!value || dsml_extract_diskvolumeinfo(value, &rec) != 0)
                                 DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract diskvolumeinfo #", i);
                             rec.diskgroup = *diskgroup;
                         });
        return DSM_OK;
    });
}

extern "C" int dsm_diskvolume_load(dsm_diskvolumeinfo_t* diskvolumeinfo, int extract) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskvolumeinfo);
        if (diskvolumeinfo->object_ref) {
            DSM_LOG(f, DSM_SEV_TRACE, "Found older DiskVolumeInfo object reference, remomving it");
            dsm::release_held<DS::DiskVolumeInfo>(diskvolumeinfo->object_ref);
        }
        // Only the names travel: the pool by name, master and server type,
        // the volume by name.
        const dsm_diskgroup_t& group = diskvolumeinfo->diskgroup;
        DS::DiskGroup_var pool = dsm::new_diskgroup();
        pool->name(dsm::field_text(group.name).c_str());
        dsm::add_field(pool->properties(), "DSM::master", group.master_server);
        dsm::add_field(pool->properties(), "DSM::servertype", group.server_type);
        DS::DiskVolume_var volume = dsm::new_diskvolume();
        volume->name(dsm::field_text(diskvolumeinfo->name).c_str());
        DSM_CONNECT(f, dsm);
        f.calling("getDiskVolumeInfo", __LINE__);
        DS::DiskVolumeInfo_var info = dsm->getDiskVolumeInfo(volume.in(), pool.in(), 1);
        if (!info.in()) return f.nullResult("getDiskVolumeInfo", "DiskVolumeInfo", __LINE__);
        dsm::hold(diskvolumeinfo->object_ref, info.in());
        if (extract && dsml_extract_diskvolumeinfo(info.in(), diskvolumeinfo) != 0)
            DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract diskvolumeinfo for ", diskvolumeinfo->name);
        return DSM_OK;
    });
}

// ---- numeric properties and replication specifications of a held volume ----

int _dsm_diskvolume_payload(const Frame& f, const dsm_diskvolumeinfo_t* diskvolumeinfo,
                            const char* property, uint64_t* payload) {
    return f.run([&] {
        DSM_REQUIRE(f, diskvolumeinfo);
        DSM_REQUIRE(f, payload);
        DSM_REQUIRE_HELD(f, diskvolumeinfo->object_ref, "DiskVolumeInfo");
        CORBA::String_var text =
            volume_property(dsm::held<DS::DiskVolumeInfo>(diskvolumeinfo->object_ref), property);
        if (!text.in()) return DSM_E_INVALID_ARG;
        *payload = static_cast<uint64_t>(DiskServiceHelper::toInt64(text.in()));
        return DSM_OK;
    });
}

#define DSM_VOLUME_PAYLOAD(fn, property) \
    extern "C" int fn(const dsm_diskvolumeinfo_t* diskvolumeinfo, uint64_t* payload) { \
        DSM_FRAME(f, DSM_UNIT); \
        return _dsm_diskvolume_payload(f, diskvolumeinfo, property, payload); \
    }

DSM_VOLUME_PAYLOAD(dsm_diskvolume_flags, "DSM::flags")
DSM_VOLUME_PAYLOAD(dsm_diskvolume_physcapacity, "DSM::totalPhysicalCapacity")
DSM_VOLUME_PAYLOAD(dsm_diskvolume_freephys, "DSM::freePhysicalSpace")
DSM_VOLUME_PAYLOAD(dsm_diskvolume_num_active_read_streams, "DSM::activeReadStreams")
DSM_VOLUME_PAYLOAD(dsm_diskvolume_num_active_write_streams, "DSM::activeWriteStreams")

#undef DSM_VOLUME_PAYLOAD

namespace {

const char* replication_property(int kind) {
    return kind == 0 ? "DSM::ReplicationSourceSpec" : "DSM::ReplicationTargetSpec";
}

}  // namespace

int dsm_get_diskvolume_rep(const Frame& f, int kind, const dsm_diskvolumeinfo_t* diskvolumeinfo,
                           unsigned int index, char* repname, int repname_len) {
    return f.run([&] {
        DSM_REQUIRE(f, diskvolumeinfo);
        DSM_REQUIRE(f, repname);
        DSM_REQUIRE_COUNT(f, repname_len);
        DSM_REQUIRE_HELD(f, diskvolumeinfo->object_ref, "diskvolumeinfo");
        DS::DiskVolumeInfo_var info = dsm::held<DS::DiskVolumeInfo>(diskvolumeinfo->object_ref);
        info->_add_ref();  // our own reference for the call
        const DS::PropertySeq* props = held_volume_properties(info.in());
        const char* wanted = replication_property(kind);
        unsigned int seen = 0;
        for (CORBA::ULong i = 0; props && i < props->length(); ++i) {
            const DS::Property* p = (*props)[i];
            if (!p || !p->name() || !p->value() || std::strcmp(p->name(), wanted) != 0) continue;
            if (seen++ != index) continue;
            std::memset(repname, 0, static_cast<size_t>(repname_len));
            V_strlcpy(repname, p->value(), static_cast<size_t>(repname_len));
            return DSM_OK;
        }
        return DSM_E_NO_REPLICATION;
    });
}

extern "C" int dsm_get_diskvolume_repsource(const dsm_diskvolumeinfo_t* diskvolumeinfo, unsigned int index,
                                            char* repname, int repname_len) {
    DSM_FRAME(f, DSM_UNIT);
    return dsm_get_diskvolume_rep(f, 0, diskvolumeinfo, index, repname, repname_len);
}

extern "C" int dsm_get_diskvolume_reptarget(const dsm_diskvolumeinfo_t* diskvolumeinfo, unsigned int index,
                                            char* repname, int repname_len) {
    DSM_FRAME(f, DSM_UNIT);
    return dsm_get_diskvolume_rep(f, 1, diskvolumeinfo, index, repname, repname_len);
}

// ---- volume changes ----

namespace {

// The result side shared by the volume changes: the output record holds no
// reference afterwards, is filled from the returned volume and, where
// 'pool' is given, takes the caller's pool record.
void volume_result(const Frame& f, const DS::DiskVolume* result, dsm_diskvolumeinfo_t* out,
                   const decltype(dsm_diskvolume_t::name)& name, const dsm_diskgroup_t* pool) {
    out->object_ref = nullptr;
    if (dsml_extract_diskvolume(result, out) != 0)
        DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract diskvolumeinfo for ", name);
    if (pool) copy_pool(pool, &out->diskgroup);
}

// "DSM::AuditSucess" of a volume change: 108 is a refusal, anything else is
// passed on.
int volume_audit(const DS::DiskVolume* result) {
    const int audit = dsm::audit_value(result->properties());
    return audit == 108 ? DSM_E_AUDIT : audit;
}

}  // namespace

extern "C" int dsm_create_diskvolume(const dsm_diskvolume_t* diskvolume, const dsm_disk_t* disks,
                                     int num_disks, dsm_dbmode db_mode, dsm_diskvolumeinfo_t* diskvolumeinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskvolume);
        DSM_REQUIRE(f, disks);
        DSM_REQUIRE_COUNT(f, num_disks);
        DSM_REQUIRE(f, diskvolumeinfo);
        DSM_CONNECT(f, dsm);
        DSM_VOLUME_VALUE(f, volume, diskvolume);
        if (disks[0].volume_config[0] != '\0')
            dsm::add_field(volume->properties(), "volume_config", disks[0].volume_config);
        DSM_POOL_VALUE(f, pool, &diskvolume->diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        const DS::DiskSeq no_disks;  // the disk records are checked but never sent
        f.calling("createDiskVolume", __LINE__);
        DS::DiskVolume_var result = dsm->createDiskVolume(volume.in(), pool.in(), no_disks, mode);
        if (!result.in()) return f.nullResult("createDiskVolume", "DiskVolume", __LINE__);
        volume_result(f, result.in(), diskvolumeinfo, diskvolume->name, &diskvolume->diskgroup);
        return DSM_OK;
    });
}

extern "C" int dsm_create_diskvolume_from_diskvolumeinfo(const dsm_diskvolumeinfo_t* diskvolumeinfo_in,
                                                         const dsm_disk_t* disks, int num_disks,
                                                         dsm_dbmode db_mode,
                                                         dsm_diskvolumeinfo_t* diskvolumeinfo,
                                                         const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskvolumeinfo_in);
        DSM_REQUIRE(f, disks);
        DSM_REQUIRE_COUNT(f, num_disks);
        DSM_REQUIRE(f, diskvolumeinfo);
        DSM_CONNECT(f, dsm);
        DS::DiskVolumeInfo_var info = dsm::new_diskvolumeinfo();
        DSM_POPULATE(f, "DiskVolume", dsml_populate_diskvolumeinfo(diskvolumeinfo_in, info.in()));
        DSM_POOL_VALUE(f, pool, &diskvolumeinfo_in->diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        dsm::add_reason(pool->properties(), reason);
        const DS::DiskSeq no_disks;
        f.calling("createDiskVolume", __LINE__);
        DS::DiskVolume_var result = dsm->createDiskVolume(info->volume(), pool.in(), no_disks, mode);
        if (!result.in()) return f.nullResult("createDiskVolume", "DiskVolume", __LINE__);
        volume_result(f, result.in(), diskvolumeinfo, diskvolumeinfo_in->name, &diskvolumeinfo_in->diskgroup);
        return DSM_OK;
    });
}

extern "C" int dsm_add_diskvolume(const dsm_diskvolume_t* diskvolume, const dsm_disk_t* disks,
                                  int num_disks, dsm_diskvolumeinfo_t* diskvolumeinfo_out) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskvolume);
        DSM_REQUIRE(f, disks);
        DSM_REQUIRE_COUNT(f, num_disks);
        DSM_REQUIRE(f, diskvolumeinfo_out);
        dsm_diskvolumeinfo_t current;
        dsm::clear_record(current);
        // The temporary's reference is released on every path.
        struct Release {
            dsm_diskvolumeinfo_t& rec;
            ~Release() { dsm::release_held<DS::DiskVolumeInfo>(rec.object_ref); }
        } release{current};
        int status = get_diskvolumeinfo(f, diskvolume, 0, &current, true);
        if (status != DSM_OK) {
            DSM_LOG(f, DSM_SEV_TRACE, "_get_diskvolumeinfo returned an error=", status);
            return status;
        }
        status = dsm_create_diskvolume_from_diskvolumeinfo(&current, disks, num_disks, 1,
                                                           diskvolumeinfo_out, nullptr);
        if (status != DSM_OK)
            DSM_LOG(f, DSM_SEV_TRACE, "dsm_create_diskvolume_from_diskvolumeinfo failed, error=", status);
        return status;
    });
}

extern "C" int dsm_delete_diskvolume(const dsm_diskvolume_t* diskvolume, dsm_dbmode db_mode,
                                     dsm_diskvolumeinfo_t* diskvolumeinfo, const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskvolume);
        DSM_REQUIRE(f, diskvolumeinfo);
        DSM_CONNECT(f, dsm);
        DSM_VOLUME_VALUE(f, volume, diskvolume);
        DSM_POOL_VALUE(f, pool, &diskvolume->diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        dsm::add_reason(volume->properties(), reason);
        f.calling("deleteDiskVolume", __LINE__);
        DS::DiskVolume_var result = dsm->deleteDiskVolume(volume.in(), pool.in(), mode);
        if (!result.in()) return f.nullResult("deleteDiskVolume", "DiskVolume", __LINE__);
        const int status = volume_audit(result.in());
        volume_result(f, result.in(), diskvolumeinfo, diskvolume->name, &diskvolume->diskgroup);
        return status;
    });
}

extern "C" int dsm_update_diskvolume(const dsm_diskvolumeinfo_t* diskvolumeinfo_in,
                                     const unsigned char* update_mask, dsm_dbmode db_mode,
                                     dsm_diskvolumeinfo_t* diskvolumeinfo_out) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskvolumeinfo_in);
        DSM_REQUIRE(f, update_mask);
        DSM_REQUIRE(f, diskvolumeinfo_out);
        DSM_CONNECT(f, dsm);
        DSM_VOLUME_VALUE(f, volume, volume_part(diskvolumeinfo_in));
        DSM_POOL_VALUE(f, pool, &diskvolumeinfo_in->diskgroup);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        DS::PropertySeq& props = volume->properties();
        const std::pair<const char*, int64_t> space[] = {
            {"DSM::totalCapacity", diskvolumeinfo_in->total_capacity},
            {"DSM::freeSpace", diskvolumeinfo_in->free_space},
            {"DSM::potentialFreeSpace", diskvolumeinfo_in->potential_free_space},
            {"DSM::committedSpace", diskvolumeinfo_in->committed_space},
            {"DSM::preCommittedSpace", diskvolumeinfo_in->precommitted_space},
        };
        for (int i = 0; i < 5; ++i)
            if (update_mask[i]) dsm::add_number(props, space[i].first, space[i].second);
        if (update_mask[5]) {
            uint64_t flags = 0;
            if (diskvolumeinfo_in->object_ref) {
                CORBA::String_var text = volume_property(
                    dsm::held<DS::DiskVolumeInfo>(diskvolumeinfo_in->object_ref), "DSM::flags");
                if (text.in()) flags = static_cast<uint64_t>(DiskServiceHelper::toInt64(text.in()));
            }
            dsm::add_number(props, "DSM::flags", static_cast<int64_t>(flags));
        }
        f.calling("updateDiskVolume", __LINE__);
        DS::DiskVolume_var result = dsm->updateDiskVolume(volume.in(), pool.in(), mode);
        if (!result.in()) return f.nullResult("updateDiskVolume", "DiskVolume", __LINE__);
        volume_result(f, result.in(), diskvolumeinfo_out, diskvolumeinfo_in->name,
                      &diskvolumeinfo_in->diskgroup);
        return DSM_OK;
    });
}

namespace {

int reset_committed_precommitted_space(const Frame& f, const dsm_diskvolume_t* diskvolume,
                                       dsm_dbmode db_mode, dsm_diskvolumeinfo_t* diskvolumeinfo) {
    DSM_CONNECT(f, dsm);
    DSM_VOLUME_VALUE(f, volume, diskvolume);
    DSM_POOL_VALUE(f, pool, &diskvolume->diskgroup);
    CORBA::Long mode = 0;
    DSM_DBMODE(f, db_mode, mode);
    dsm::add_number(volume->properties(), "DSM::committedSpace", 0);
    dsm::add_number(volume->properties(), "DSM::preCommittedSpace", 0);
    f.calling("updateDiskVolume", __LINE__);
    DS::DiskVolume_var result = dsm->updateDiskVolume(volume.in(), pool.in(), mode);
    if (!result.in()) return f.nullResult("updateDiskVolume", "DiskVolume", __LINE__);
    volume_result(f, result.in(), diskvolumeinfo, diskvolume->name, nullptr);
    return DSM_OK;
}

int update_real_diskvolume_state(const Frame& f, const dsm_diskvolume_t* diskvolume,
                                 CORBA::Long service_state, dsm_dbmode db_mode,
                                 dsm_diskvolumeinfo_t* diskvolumeinfo, const char* reason) {
    DSM_CONNECT(f, dsm);
    DSM_VOLUME_VALUE(f, volume, diskvolume);
    DSM_POOL_VALUE(f, pool, &diskvolume->diskgroup);
    CORBA::Long mode = 0;
    DSM_DBMODE(f, db_mode, mode);
    dsm::add_reason(volume->properties(), reason);
    f.calling("updateDiskVolumeState", __LINE__);
    DS::DiskVolume_var result = dsm->updateDiskVolumeState(volume.in(), pool.in(), mode, service_state);
    if (!result.in()) return f.nullResult("updateDiskVolumeState", "DiskVolume", __LINE__);
    const int status = volume_audit(result.in());
    volume_result(f, result.in(), diskvolumeinfo, diskvolume->name, &diskvolume->diskgroup);
    return status;
}

// The two state changes: the caller's 1 and 2 become service states
// (first, first + 1); the internal change resets the committed space first.
int volume_state_change(const Frame& f, const dsm_diskvolume_t* diskvolume, long long state,
                        CORBA::Long first, bool reset_space, dsm_dbmode db_mode,
                        dsm_diskvolumeinfo_t* diskvolumeinfo, const char* reason) {
    return f.run([&] {
        DSM_REQUIRE(f, diskvolume);
        DSM_REQUIRE(f, diskvolumeinfo);
        if (state != 1 && state != 2) {
            DSM_LOG(f, DSM_SEV_ERROR, "Failed to convert State (error=", DSM_E_INVALID_ARG, ")");
            return DSM_E_INVALID_ARG;
        }
        if (reset_space) {
            const int status = reset_committed_precommitted_space(f, diskvolume, db_mode, diskvolumeinfo);
            if (status != DSM_OK) return status;
        }
        return update_real_diskvolume_state(f, diskvolume, first + static_cast<CORBA::Long>(state) - 1,
                                            db_mode, diskvolumeinfo, reason);
    });
}

}  // namespace

extern "C" int dsm_update_diskvolume_state(const dsm_diskvolume_t* diskvolume, int state, dsm_dbmode db_mode,
                                           dsm_diskvolumeinfo_t* diskvolumeinfo, const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return volume_state_change(f, diskvolume, state, 2, false, db_mode, diskvolumeinfo, reason);
}

extern "C" int dsm_update_diskvolume_internal_state(const dsm_diskvolume_t* diskvolume, unsigned int state,
                                                    dsm_dbmode db_mode, dsm_diskvolumeinfo_t* diskvolumeinfo,
                                                    const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return volume_state_change(f, diskvolume, state, 4, true, db_mode, diskvolumeinfo, reason);
}

// ---- edits of a held volume ----

extern "C" int dsm_set_diskvolume_flags(dsm_diskvolumeinfo_t* diskvolumeinfo, int64_t flags) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskvolumeinfo);
        if (!diskvolumeinfo->object_ref) {
            DS::DiskVolumeInfo_var info = dsm::new_diskvolumeinfo(std::nothrow);
            if (!info.in()) {
                DSM_LOG(f, DSM_SEV_ERROR, "DiskVolumeInfo object reference invalid is NULL");
                return DSM_E_INVALID_ARG;
            }
            DSM_POPULATE(f, "DiskVolume", dsml_populate_diskvolumeinfo(diskvolumeinfo, info.in()));
            dsm::hold(diskvolumeinfo->object_ref, info.in());
        }
        DS::DiskVolumeInfo_var info = dsm::held<DS::DiskVolumeInfo>(diskvolumeinfo->object_ref);
        info->_add_ref();  // our own reference for the call
        DS::PropertySeq* props = held_volume_properties(info.in());
        if (!props) {
            DSM_LOG(f, DSM_SEV_ERROR, "DiskVolumeInfo object reference invalid is NULL");
            return DSM_E_INVALID_ARG;
        }
        dsm::add_number(*props, "DSM::flags", flags);
        return DSM_OK;
    });
}

namespace {

int set_diskvolume_rep(const Frame& f, int kind, dsm_diskvolumeinfo_t* diskvolumeinfo, const char* repname) {
    return f.run([&] {
        DSM_REQUIRE(f, diskvolumeinfo);
        DSM_REQUIRE(f, repname);
        DSM_REQUIRE_HELD(f, diskvolumeinfo->object_ref, "diskvolumeinfo");
        DS::DiskVolumeInfo_var info = dsm::held<DS::DiskVolumeInfo>(diskvolumeinfo->object_ref);
        info->_add_ref();
        DS::PropertySeq* props = held_volume_properties(info.in());
        if (!props) {
            DSM_LOG(f, DSM_SEV_ERROR, "diskvolumeinfo object reference is NULL");
            return DSM_E_INVALID_ARG;
        }
        DiskServiceHelper::addProperty(*props, replication_property(kind), repname);
        static const char* const kCount = "DSMi::ReplicationSourceAndTargetSpecCount";
        CORBA::String_var count = DiskServiceHelper::getPropertyByName(*props, kCount);
        if (count.in()) {
            const int next = DiskServiceHelper::toInt(count.in()) + 1;
            DSM_LOG(f, DSM_SEV_TRACE, "update existing DSM_iPROP_REPL_SOURCE_AND_TARGET_SPEC_COUNT to", next);
            DiskServiceHelper::updateProperty(*props, kCount, DiskServiceHelper::toText(next).c_str(), true);
        } else {
            DSM_LOG(f, DSM_SEV_TRACE, "add new DSM_iPROP_REPL_SOURCE_AND_TARGET_SPEC_COUNT");
            DiskServiceHelper::addProperty(*props, kCount, "1");
        }
        return DSM_OK;
    });
}

}  // namespace

extern "C" int dsm_set_diskvolume_repsource(dsm_diskvolumeinfo_t* diskvolumeinfo, const char* repname) {
    DSM_FRAME(f, DSM_UNIT);
    return set_diskvolume_rep(f, 0, diskvolumeinfo, repname);
}

extern "C" int dsm_set_diskvolume_reptarget(dsm_diskvolumeinfo_t* diskvolumeinfo, const char* repname) {
    DSM_FRAME(f, DSM_UNIT);
    return set_diskvolume_rep(f, 1, diskvolumeinfo, repname);
}

// ======================================================================
// Mount points, global attributes, server types and LSU lists
// ======================================================================

namespace {

// Fills one mount point record; true when the mount point carries more
// than the two properties the record has room for (then the record holds
// it for the accessors).
bool fill_mountpoint(const Frame& f, const DS::MountPoint* mp, dsm_mountpoint_t& rec) {
    V_strlcpy(rec.path, or_empty(mp->path()), sizeof rec.path);
    const DS::PropertySeq& props = mp->properties();
    bool further = false;
    for (CORBA::ULong j = 0; j < props.length(); ++j) {
        const DS::Property* p = props[j];
        if (!p) {
            DSM_LOG(f, DSM_SEV_WARNING, "mountpont.properties[", j, "] is NULL");
            continue;
        }
        if (!p->name() || !p->value()) {
            DSM_LOG(f, DSM_SEV_WARNING, "mountpont.properties[", j, "] is invalid");
            continue;
        }
        if (std::strcmp(p->name(), "DSM::storageServer") == 0) {
            V_strlcpy(rec.machine_name, p->value(), sizeof rec.machine_name);
            DSM_LOG(f, DSM_SEV_TRACE, "mountpoint.machine_name = ", rec.machine_name);
        } else if (std::strcmp(p->name(), "DSM::state") == 0) {
            rec.state = DiskServiceHelper::toAtoi(p->value());
            DSM_LOG(f, DSM_SEV_TRACE, "mountpoint.state = ", rec.state);
        } else {
            further = true;
        }
    }
    return further;
}

}  // namespace

extern "C" int dsm_get_diskgroup_mountpoints(const dsm_diskgroupinfo_t* diskgroupinfo,
                                             dsm_mountpoint_t* mountpoints, int num_alloc_mps,
                                             int* num_avail_mps) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, diskgroupinfo);
        if (DSM_BUFFER(mountpoints, num_alloc_mps, num_avail_mps).bad(f, __LINE__)) return DSM_E_INVALID_ARG;
        DSM_CONNECT(f, dsm);
        DSM_REQUIRE_HELD(f, diskgroupinfo->object_ref, "DiskGroupInfo");
        DS::DiskGroupInfo* info = dsm::held<DS::DiskGroupInfo>(diskgroupinfo->object_ref);
        f.calling("getMountPointList", __LINE__);
        DS::MountPointSeq_var result = dsm->getMountPointList(info->group());
        if (!result.operator->()) return f.nullResult("getMountPointList", "MountPointSeq", __LINE__);
        DSM_LOG(f, DSM_SEV_TRACE, "getMountPointList - #mountpoints = ", result->length());
        dsm::fill_buffer(result.in(), mountpoints, num_alloc_mps, num_avail_mps,
                         [&](CORBA::ULong, DS::MountPoint* mp, dsm_mountpoint_t& rec) {
                             dsm::clear_record(rec);
                             if (mp && fill_mountpoint(f, mp, rec)) dsm::hold(rec.object_ref, mp);
                         });
        return DSM_OK;
    });
}

namespace {

char* mountpoint_property(const dsm_mountpoint_t* mountpoint, const char* name) {
    return DiskServiceHelper::getPropertyByName(
        dsm::held<DS::MountPoint>(mountpoint->object_ref)->properties(), name);
}

}  // namespace

extern "C" int dsm_mountpoint_dvname(const dsm_mountpoint_t* mountpoint, char* diskvolume_name,
                                     int diskvolume_name_len) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, mountpoint);
        DSM_REQUIRE(f, diskvolume_name);
        if (diskvolume_name_len < 257) return DSM_E_INVALID_ARG;
        DSM_REQUIRE_HELD(f, mountpoint->object_ref, "mountpoint");
        CORBA::String_var name = mountpoint_property(mountpoint, "DSM::diskVolumeName");
        std::memset(diskvolume_name, 0, static_cast<size_t>(diskvolume_name_len));
        if (!name.in()) return DSM_E_INVALID_ARG;
        V_strlcpy(diskvolume_name, name.in(), 256);
        return DSM_OK;
    });
}

extern "C" int dsm_mountpoint_flags(const dsm_mountpoint_t* mountpoint, uint64_t* kdu_flags) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, mountpoint);
        DSM_REQUIRE(f, kdu_flags);
        DSM_REQUIRE_HELD(f, mountpoint->object_ref, "mountpoint");
        CORBA::String_var text = mountpoint_property(mountpoint, "DSM::flags");
        if (!text.in()) return DSM_E_INVALID_ARG;
        *kdu_flags = DiskServiceHelper::toUInt64(text.in());
        return DSM_OK;
    });
}

extern "C" int dsm_set_global_attribute(const char* name, const char* value, char* old_value,
                                        int old_value_len) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, name);
        DSM_REQUIRE(f, old_value);
        DSM_REQUIRE_COUNT(f, old_value_len);
        DSM_LOG(f, DSM_SEV_TRACE, "name = ", name);
        if (!value || !*value)
            DSM_LOG(f, DSM_SEV_TRACE, "value = empty - Getting value");
        else
            DSM_LOG(f, DSM_SEV_TRACE, "value = ", value);
        DSM_CONNECT(f, dsm);
        f.calling("setGlobalAttribute", __LINE__);
        CORBA::String_var previous = dsm->setGlobalAttribute(name, or_empty(value));
        V_strlcpy(old_value, or_empty(previous.in()), static_cast<size_t>(old_value_len));
        DSM_LOG(f, DSM_SEV_TRACE, "old_value = ", old_value_len > 0 ? old_value : "");
        return DSM_OK;
    });
}

extern "C" int dsm_get_storageserver_type(int disk_subtype, char* storageserver_type, int sts_type_len) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE_COUNT(f, disk_subtype);
        DSM_REQUIRE(f, storageserver_type);
        DSM_REQUIRE_COUNT(f, sts_type_len);
        DSM_LOG(f, DSM_SEV_TRACE, "disk_subtype = ", disk_subtype);
        DSM_LOG(f, DSM_SEV_TRACE, "sts_type_len (caller allocated mem-size) ", sts_type_len);
        const char* name = DiskServiceHelper::identifyStuServerType(disk_subtype);
        if (!name) {
            DSM_LOG(f, DSM_SEV_ERROR, "DiskServiceHelper::identifyStuServerType returned NULL storageserver_type");
            return DSM_E_NULL_RESULT;
        }
        DSM_LOG(f, DSM_SEV_TRACE, "DiskServiceHelperidentifyStuServerType() = ", name);
        V_strlcpy(storageserver_type, name, static_cast<size_t>(sts_type_len));
        return DSM_OK;
    });
}

extern "C" int dsm_get_disk_subtype(const char* storageserver_type, uint32_t* disk_subtype) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, storageserver_type);
        DSM_REQUIRE(f, disk_subtype);
        DSM_LOG(f, DSM_SEV_TRACE, "storageserver_type = ", storageserver_type);
        if (!DiskServiceHelper::isKnownServerType(storageserver_type)) {
            DSM_LOG(f, DSM_SEV_ERROR, "Unknown storager server type: ", storageserver_type);
            return DSM_E_INVALID_ARG;
        }
        *disk_subtype = static_cast<uint32_t>(DiskServiceHelper::identifyStuSubtype(storageserver_type));
        DSM_LOG(f, DSM_SEV_TRACE, "DiskServiceHelper::identifyStuSubtype() = ", *disk_subtype);
        return DSM_OK;
    });
}

namespace {

// The LSU array under construction; freed unless handed to the caller.
struct LsuArray {
    dsm_ELP_lsu_t* data = nullptr;
    int count = 0;
    ~LsuArray() { std::free(data); }
    dsm_ELP_lsu_t* release() {
        dsm_ELP_lsu_t* d = data;
        data = nullptr;
        return d;
    }
    // Room for 'more' further records; false when memory is short.
    bool grow(const Frame& f, CORBA::ULong more) {
        const size_t total = static_cast<size_t>(count) + more;
        void* bigger = data ? std::realloc(data, total * sizeof *data) : std::malloc(total * sizeof *data);
        if (!bigger && total > 0) {
            DSM_LOG(f, DSM_SEV_TRACE, data ? "realloc" : "malloc", " failed for dsm_ELP_lsu_t list");
            return false;
        }
        data = static_cast<dsm_ELP_lsu_t*>(bigger);
        return true;
    }
};

void fill_lsu(const Frame& f, const DS::DiskGroupInfo* pool, const DS::DiskVolume* volume,
              dsm_ELP_lsu_t& lsu) {
    dsm::clear_record(lsu);
    const DS::StorageServer* first = pool->hosts().length() > 0 ? pool->hosts()[0].in() : nullptr;
    V_strlcpy(lsu.lsu_name, volume ? or_empty(volume->name()) : "", sizeof lsu.lsu_name);
    V_strlcpy(lsu.stserver_name, first ? or_empty(first->name()) : "", sizeof lsu.stserver_name);
    V_strlcpy(lsu.diskgroup_name, or_empty(pool->name()), sizeof lsu.diskgroup_name);
    V_strlcpy(lsu.server_type, or_empty(pool->servertype()), sizeof lsu.server_type);
    V_strlcpy(lsu.master_server, or_empty(pool->master_server()), sizeof lsu.master_server);
    DSM_LOG(f, DSM_SEV_TRACE, "lsu name = ", lsu.lsu_name);
    DSM_LOG(f, DSM_SEV_TRACE, "storage server name = ", lsu.stserver_name);
    DSM_LOG(f, DSM_SEV_TRACE, "disk group = ", lsu.diskgroup_name);
    DSM_LOG(f, DSM_SEV_TRACE, "server type = ", lsu.server_type);
    DSM_LOG(f, DSM_SEV_TRACE, "master server = ", lsu.master_server);
}

}  // namespace

extern "C" int dsm_get_ELP_LSU_list_by_storage_unit_label(const char* master_server,
                                                          const char* storage_unit_label,
                                                          const char* server_type, int query_option,
                                                          dsm_ELP_lsu_t** lsu_list, int* num_lsus) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, master_server);
        DSM_REQUIRE(f, storage_unit_label);
        *num_lsus = 0;
        DSM_CONNECT(f, dsm);
        DS::DiskGroupInfoSeq_var pools =
            pools_by_label(f, dsm.in(), master_server, storage_unit_label, server_type, query_option);
        if (!pools.operator->())
            return f.nullResult("getDiskGroupInfoListByStorageUnitLabel", "DiskGroupInfo", __LINE__);
        LsuArray lsus;
        for (CORBA::ULong i = 0; i < pools->length(); ++i) {
            DSM_LOG(f, DSM_SEV_TRACE, "getDiskGroupInfoListByStorageUnitLabel - #diskgroups = ", pools->length());
            const DS::DiskGroupInfo* pool = pools[i];
            if (!pool) continue;
            const DS::DiskVolumeSeq& volumes = pool->volumes();
            if (!lsus.grow(f, volumes.length())) {
                *num_lsus = 0;
                return DSM_E_NOMEM;
            }
            for (CORBA::ULong v = 0; v < volumes.length(); ++v) {
                fill_lsu(f, pool, volumes[v], lsus.data[lsus.count]);
                *num_lsus = ++lsus.count;
            }
        }
        *lsu_list = lsus.count > 0 ? lsus.release() : nullptr;
        return DSM_OK;
    });
}

namespace {

template <std::size_t N>
int compare_fields(const char (&a)[N], const char (&b)[N]) {
    const int c = dsm::field_view(a).compare(dsm::field_view(b));  // compares as unsigned char
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

}  // namespace

extern "C" int dsm_sort_ELP_lsu_list_by_ssname_sstype(const dsm_ELP_lsu_t* a, const dsm_ELP_lsu_t* b) {
    const int by_name = compare_fields(a->stserver_name, b->stserver_name);
    return by_name != 0 ? by_name : compare_fields(a->server_type, b->server_type);
}
