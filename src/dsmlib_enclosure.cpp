// Storage servers (lists, details, configuration items, changes, flags,
// state and array types) and enclosures (lists, their disks and servers,
// import as a disk pool).
#include "dsm.h"
#include "dsmlib_api.h"
#include "dsmlib_popext.h"

#define DSM_UNIT "dsmlib_enclosure"

using dsm::Frame;

// The one-element server list every storage server request names the
// server by.
#define DSM_ONE_SERVER(frame, var, record) \
    DS::StorageServerSeq var; \
    DSM_POPULATE(frame, "StorageServer", dsml_populate_stslist((record), 1, var))

namespace {

DS::PropertySeq* held_server_properties(const void* object_ref) {
    DS::StorageServer* host = dsm::held<DS::StorageServerInfo>(object_ref)->host();
    return host ? &host->properties() : nullptr;
}

char* held_server_property(const void* object_ref, const char* name) {
    const DS::PropertySeq* props = held_server_properties(object_ref);
    return props ? DiskServiceHelper::getPropertyByName(*props, name) : nullptr;
}

}  // namespace

// ---- storage server queries ----

extern "C" int dsm_get_storageserverinfo_list(const char* machine_name, dsm_dbmode db_mode,
                                              dsm_storageserverinfo_t* stservers, int num_alloc_stservers,
                                              int* num_avail_stservers) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, machine_name);
        if (DSM_BUFFER(stservers, num_alloc_stservers, num_avail_stservers).bad(f, __LINE__))
            return DSM_E_INVALID_ARG;
        DSM_CONNECT(f, dsm);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        f.calling("getStorageServerInfoList", __LINE__);
        DS::StorageServerInfoSeq_var result = dsm->getStorageServerInfoList(machine_name, mode);
        if (!result.operator->())
            return f.nullResult("getStorageServerInfoList", "StorageServerInfoSeq", __LINE__);
        DSM_LOG(f, DSM_SEV_TRACE, "getStorageServerInfoList - #stservers = ", result->length());
        dsm::fill_buffer(result.in(), stservers, num_alloc_stservers, num_avail_stservers,
                         [&](CORBA::ULong i, DS::StorageServerInfo* value, dsm_storageserverinfo_t& rec) {
                             dsm::clear_record(rec);
                             dsm::hold(rec.object_ref, value);
                             if (!value || dsml_extract_storageserverinfo(value, &rec) != 0)
                                 DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract stsinfo #", i);
                         });
        return DSM_OK;
    });
}

namespace {

// The lookup behind both info queries; 'validate' asks the service to fail
// for a server it does not know.
int storageserver_lookup(const Frame& f, const dsm_storageserver_t* stserver, dsm_dbmode db_mode,
                         dsm_storageserverinfo_t* stserverinfo, bool validate) {
    return f.run([&] {
        DSM_REQUIRE(f, stserver);
        DSM_REQUIRE(f, stserverinfo);
        DSM_CONNECT(f, dsm);
        DSM_ONE_SERVER(f, servers, stserver);
        if (validate)
            DiskServiceHelper::addProperty(servers[0]->properties(), "DSM::StorageServerMustExist", "true");
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        f.calling("getStorageServerInfo", __LINE__);
        DS::StorageServerInfo_var info = dsm->getStorageServerInfo(servers[0].in(), mode);
        if (!info.in()) return f.nullResult("getStorageServerInfo", "StorageServerInfo", __LINE__);
        if (stserverinfo->object_ref) {
            DSM_LOG(f, DSM_SEV_TRACE, "Found older StorageServerInfo object reference, removing it");
            dsm::release_held<DS::StorageServerInfo>(stserverinfo->object_ref);
        }
        DSM_LOG(f, DSM_SEV_TRACE, "Storing new StorageServerInfo object reference");
        dsm::hold(stserverinfo->object_ref, info.in());
        if (dsml_extract_storageserverinfo(info.in(), stserverinfo) != 0)
            DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract stserverinfo for ", stserver->name);
        return DSM_OK;
    });
}

}  // namespace

extern "C" int dsm_get_storageserverinfo(const dsm_storageserver_t* stserver, dsm_dbmode db_mode,
                                         dsm_storageserverinfo_t* stserverinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return storageserver_lookup(f, stserver, db_mode, stserverinfo, true);
}

extern "C" int dsm_get_storageserverinfo_novalidate(const dsm_storageserver_t* stserver, dsm_dbmode db_mode,
                                                    dsm_storageserverinfo_t* stserverinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return storageserver_lookup(f, stserver, db_mode, stserverinfo, false);
}

// ---- configuration items ----

extern "C" int dsm_get_storageserver_configitems(const dsm_storageserver_t* stserver, dsm_dbmode db_mode,
                                                 dsm_configitem_t* configitems, int num_alloc,
                                                 int* num_avail_configitems) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, stserver);
        DSM_REQUIRE(f, configitems);
        DSM_REQUIRE(f, num_avail_configitems);
        DSM_CONNECT(f, dsm);
        DSM_ONE_SERVER(f, servers, stserver);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        f.calling("getStorageServerConfig", __LINE__);
        DS::StorageServerConfigItemSeq_var result = dsm->getStorageServerConfig(servers[0].in(), mode);
        if (!result.operator->())
            return f.nullResult("getStorageServerConfig", "StorageServerConfigItemSeq", __LINE__);
        DSM_LOG(f, DSM_SEV_TRACE, "getStorageServerConfig - #configitems = ", result->length());
        dsm::fill_buffer(result.in(), configitems, num_alloc, num_avail_configitems,
                         [&](CORBA::ULong i, DS::StorageServerConfigItem* value, dsm_configitem_t& rec) {
                             dsm::clear_record(rec);
                             if (!value || dsml_extract_storageserverconfig(value, &rec) != 0)
                                 DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract configitem #", i);
                         });
        return DSM_OK;
    });
}

extern "C" int dsm_update_storageserver_configitems(const dsm_storageserver_t* stserver, dsm_dbmode db_mode,
                                                    const dsm_configitem_t* configitems,
                                                    unsigned int num_configitems, const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, stserver);
        DSM_REQUIRE(f, configitems);
        DSM_CONNECT(f, dsm);
        DSM_ONE_SERVER(f, servers, stserver);
        DS::StorageServerConfigItemSeq items;
        items.length(num_configitems);
        for (unsigned int i = 0; i < num_configitems; ++i) {
            DS::StorageServerConfigItem_var item = dsm::new_configitem();
            const int status = dsml_populate_storageserverconfig(&configitems[i], item.in());
            // A bad item is reported and sent as far as it was populated.
            if (status != 0) DSM_LOG(f, DSM_SEV_ERROR, "Failed to populate StorageServerConfig (error=", status, ")");
            items[i] = item._retn();
        }
        if (num_configitems > 0) dsm::add_reason(items[0]->properties(), reason);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        f.calling("updateStorageServerConfig", __LINE__);
        DS::StorageServerConfigItemSeq_var result = dsm->updateStorageServerConfig(servers[0].in(), items, mode);
        if (!result.operator->())
            return f.nullResult("updateStorageServerConfig", "StorageServerConfigItemSeq", __LINE__);
        // The service has applied or refused the request by now; an empty
        // answer carries no audit value.
        if (result->length() == 0 || !result[0].in()) return DSM_OK;
        return dsm::apply_audit(DSM_OK, dsm::audit_value(result[0]->properties()));
    });
}

// ---- create, update, delete ----

namespace {

template <class Call>
int storageserver_change(const Frame& f, const dsm_storageserver_t* stserver, dsm_dbmode db_mode,
                         const char* reason, const char* op, Call call) {
    return f.run([&] {
        DSM_REQUIRE(f, stserver);
        DSM_CONNECT(f, dsm);
        DSM_ONE_SERVER(f, servers, stserver);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        dsm::add_reason(servers[0]->properties(), reason);
        f.calling(op, __LINE__);
        DS::StorageServer_var result = call(dsm.in(), servers[0].in(), mode);
        if (!result.in()) return f.nullResult(op, "StorageServer", __LINE__);
        return dsm::apply_audit(DSM_OK, dsm::audit_value(result->properties()));
    });
}

}  // namespace

extern "C" int dsm_create_storageserver(const dsm_storageserver_t* stserver, dsm_dbmode db_mode,
                                        const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    if (reason) DSM_LOG(f, DSM_SEV_TRACE, "reason  #create sts= ", reason);
    return storageserver_change(f, stserver, db_mode, reason, "createStorageServer",
                                [](DS::DiskServiceMgr_ptr dsm, DS::StorageServer* s, CORBA::Long mode) {
                                    return dsm->createStorageServer(s, mode);
                                });
}

extern "C" int dsm_update_storageserver(const dsm_storageserver_t* stserver, dsm_dbmode db_mode,
                                        const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return storageserver_change(f, stserver, db_mode, reason, "updateStorageServer",
                                [](DS::DiskServiceMgr_ptr dsm, DS::StorageServer* s, CORBA::Long mode) {
                                    return dsm->updateStorageServer(s, mode);
                                });
}

extern "C" int dsm_delete_storageserver(const dsm_storageserver_t* stserver, dsm_dbmode db_mode,
                                        const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return storageserver_change(f, stserver, db_mode, reason, "removeStorageServer",
                                [](DS::DiskServiceMgr_ptr dsm, DS::StorageServer* s, CORBA::Long mode) {
                                    return dsm->removeStorageServer(s, mode);
                                });
}

// ---- flags and state ----

namespace {

// One property on the server sent by updateStorageServer; then, when an
// output record is given, a fresh validating lookup into it, whose status
// replaces the update's. Only a mode or population failure or a null result
// goes on to the lookup: an exception from the update ends the call with its
// own status, so a failed change is never reported as the lookup's success.
// A refused change still reports 2000053.
int storageserver_property_update(const Frame& f, const dsm_storageserver_t* stserver,
                                  const char* property, const std::string& value,
                                  dsm_dbmode db_mode, dsm_storageserverinfo_t* stserverinfo,
                                  const char* reason, const char* calling) {
    return f.run([&] {
        DSM_REQUIRE(f, stserver);
        DSM_CONNECT(f, dsm);
        int audit = 0;
        int status = [&] {
            CORBA::Long mode = 0;
            DSM_DBMODE(f, db_mode, mode);
            DSM_ONE_SERVER(f, servers, stserver);
            DS::PropertySeq& props = servers[0]->properties();
            DiskServiceHelper::addProperty(props, property, value.c_str());
            dsm::add_reason(props, reason);
            DSM_LOG(f, DSM_SEV_TRACE, calling);
            DS::StorageServer_var result = dsm->updateStorageServer(servers[0].in(), mode);
            if (!result.in()) return f.nullResult("updateStorageServer", "StorageServerInfo", __LINE__);
            audit = dsm::audit_value(result->properties());
            return DSM_OK;
        }();
        if (stserverinfo) status = storageserver_lookup(f, stserver, db_mode, stserverinfo, true);
        return dsm::apply_audit(status, audit);
    });
}

}  // namespace

extern "C" int dsm_update_storageserver_flags(const dsm_storageserver_t* stserver, int64_t flags,
                                              dsm_dbmode db_mode, dsm_storageserverinfo_t* stserverinfo,
                                              const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return storageserver_property_update(f, stserver, "DSM::flags", DiskServiceHelper::toText(flags),
                                         db_mode, stserverinfo, reason, "Calling dsm->updateStorageServer()");
}

extern "C" int dsm_update_storageserver_flagsext(const dsm_storageserver_t* stserver, uint64_t flagsext,
                                                 dsm_dbmode db_mode, dsm_storageserverinfo_t* stserverinfo,
                                                 const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return storageserver_property_update(f, stserver, "DSM::flagsExt",
                                         DiskServiceHelper::toTextUnsigned(flagsext), db_mode,
                                         stserverinfo, reason, "Calling dsm->updateStorageServer()");
}

extern "C" int dsm_update_storageserver_state(const dsm_storageserver_t* stserver, unsigned int state,
                                              dsm_dbmode db_mode, dsm_storageserverinfo_t* stserverinfo,
                                              const char* reason) {
    DSM_FRAME(f, DSM_UNIT);
    return storageserver_property_update(f, stserver, "DSM::AdminUp", state == 1 ? "1" : "0", db_mode,
                                         stserverinfo, reason, "Calling dsm->updateStorageServer");
}

namespace {

// Reads one number from the held server's properties (0 when absent).
template <class T, class Read>
int storageserver_value(const Frame& f, const dsm_storageserverinfo_t* stserverinfo, T* out,
                        const char* out_name, const char* property, Read read) {
    return f.run([&] {
        DSM_REQUIRE(f, stserverinfo);
        if (f.isNull(out, out_name, __LINE__)) return DSM_E_INVALID_ARG;
        DSM_REQUIRE_HELD(f, stserverinfo->object_ref, "StorageServerInfo");
        CORBA::String_var text = held_server_property(stserverinfo->object_ref, property);
        *out = read(text.in());
        return DSM_OK;
    });
}

}  // namespace

extern "C" int dsm_storageserver_state(const dsm_storageserverinfo_t* stserverinfo, uint32_t* kdu_state) {
    DSM_FRAME(f, DSM_UNIT);
    return storageserver_value(f, stserverinfo, kdu_state, "kdu_state", "DSM::state", [](const char* t) {
        const CORBA::Long n = DiskServiceHelper::toLong(t);
        return static_cast<uint32_t>(n == 1 || n == 2 ? n : 0);
    });
}

extern "C" int dsm_storageserver_flags(const dsm_storageserverinfo_t* stserverinfo, uint64_t* kdu_flags) {
    DSM_FRAME(f, DSM_UNIT);
    return storageserver_value(f, stserverinfo, kdu_flags, "kdu_flags", "DSM::flags", [](const char* t) {
        return static_cast<uint64_t>(DiskServiceHelper::toInt64(t));
    });
}

extern "C" int dsm_storageserver_flagsext(const dsm_storageserverinfo_t* stserverinfo, uint64_t* kdu_flagsext) {
    DSM_FRAME(f, DSM_UNIT);
    return storageserver_value(f, stserverinfo, kdu_flagsext, "kdu_flagsext", "DSM::flagsExt",
                               [](const char* t) { return DiskServiceHelper::toUInt64(t); });
}

// ---- array types ----

namespace {

// Splits "internal:display" at the last colon into the caller's slots;
// false (nothing written) when there is no colon.
bool split_array_type(const char* value, dsm_name_t* display, dsm_name_t* internal) {
    char work[sizeof(dsm_name_t)];
    V_strlcpy(work, value, sizeof work);
    char* colon = std::strrchr(work, ':');
    if (!colon) return false;
    *colon = '\0';
    V_strlcpy(*display, colon + 1, sizeof *display);
    if (internal) V_strlcpy(*internal, work, sizeof *internal);
    return true;
}

}  // namespace

extern "C" int dsm_get_storageserver_arraytypes(const dsm_storageserverinfo_t* stserverinfo,
                                                dsm_name_t* at_display_names, dsm_name_t* at_names,
                                                int num_alloc_names, int* num_avail_names) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, stserverinfo);
        DSM_REQUIRE(f, at_display_names);
        DSM_REQUIRE(f, num_avail_names);
        if (dsm::field_view(stserverinfo->stserver.server_type) != "SharedDisk") {
            DSM_LOG(f, DSM_SEV_ERROR, "Invalid servertype for storage server", stserverinfo->stserver.server_type);
            return DSM_E_INVALID_ARG;
        }
        DSM_REQUIRE_HELD(f, stserverinfo->object_ref, "StorageServerInfo");
        *num_avail_names = 0;
        const DS::PropertySeq* props = held_server_properties(stserverinfo->object_ref);
        for (CORBA::ULong i = 0; props && i < props->length(); ++i) {
            const DS::Property* p = (*props)[i];
            if (!p || !p->name() || !p->value() || std::strcmp(p->name(), "Arraytype.List") != 0) continue;
            if (*num_avail_names >= num_alloc_names) {
                ++*num_avail_names;  // counted, no room to copy
                continue;
            }
            const int at = *num_avail_names;
            if (split_array_type(p->value(), &at_display_names[at], at_names ? &at_names[at] : nullptr))
                ++*num_avail_names;
        }
        return DSM_OK;
    });
}

extern "C" int dsm_get_datamover_arraytypes(const char* datamover, dsm_name_t* at_display_names,
                                            dsm_name_t* at_names, int num_alloc_names, int* num_avail_names) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, datamover);
        DSM_REQUIRE(f, at_display_names);
        DSM_REQUIRE(f, num_avail_names);
        dsm_storageserver_t server;
        dsm::clear_record(server);
        V_strlcpy(server.name, datamover, sizeof server.name);
        V_strlcpy(server.server_type, "SharedDisk", sizeof server.server_type);
        server.storage_type = 6;
        V_strlcpy(server.access_media_server, datamover, 65);
        dsm_storageserverinfo_t info;
        dsm::clear_record(info);
        int status = dsm_get_storageserverinfo(&server, 0, &info);
        if (status != DSM_OK) return status;
        status = dsm_get_storageserver_arraytypes(&info, at_display_names, at_names, num_alloc_names,
                                                  num_avail_names);
        dsm_removeref_storageserver(&info);
        return status;
    });
}

// ======================================================================
// Enclosures
// ======================================================================

namespace {

template <class Call, class Fill, class Rec>
int enclosure_list(const Frame& f, const dsm_storageserver_t* stservers, int num_stservers,
                   const dsm::Buffer<Rec>& buffer, const char* op, const char* seq_type, Call call,
                   Fill fill) {
    return f.run([&] {
        DSM_REQUIRE(f, stservers);
        DSM_REQUIRE_COUNT(f, num_stservers);
        if (buffer.bad(f, __LINE__)) return DSM_E_INVALID_ARG;
        DSM_CONNECT(f, dsm);
        DS::StorageServerSeq servers;
        DSM_POPULATE(f, "StorageServerSeq", dsml_populate_stslist(stservers, num_stservers, servers));
        DSM_LOG(f, DSM_SEV_TRACE, "Calling dsm->", op, "(provide_union=true)");
        auto result = call(dsm.in(), servers);
        if (!result.operator->()) return f.nullResult(op, seq_type, __LINE__);
        DSM_LOG(f, DSM_SEV_TRACE, op, " - #enclosures = ", result->length());
        dsm::fill_buffer(result.in(), buffer.out, buffer.num_alloc, buffer.num_avail,
                         [&](CORBA::ULong i, auto* value, Rec& rec) {
                             dsm::clear_record(rec);
                             fill(i, value, rec);
                         });
        return DSM_OK;
    });
}

}  // namespace

extern "C" int dsm_get_enclosure_list(const dsm_storageserver_t* stservers, int num_stservers,
                                      dsm_enclosure_t* enclosures, int num_alloc_enclosures,
                                      int* num_avail_enclosures) {
    DSM_FRAME(f, DSM_UNIT);
    return enclosure_list(
        f, stservers, num_stservers, DSM_BUFFER(enclosures, num_alloc_enclosures, num_avail_enclosures),
        "getEnclosureList", "EnclosureSeq",
        [](DS::DiskServiceMgr_ptr dsm, const DS::StorageServerSeq& servers) {
            return DS::EnclosureSeq_var(dsm->getEnclosureList(servers, true));
        },
        [&](CORBA::ULong i, DS::Enclosure* value, dsm_enclosure_t& rec) {
            if (!value || dsml_extract_enclosure(value, &rec) != 0)
                DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract enclosure #", i);
        });
}

extern "C" int dsm_get_enclosureinfo_list(const dsm_storageserver_t* stservers, int num_stservers,
                                          dsm_enclosureinfo_t* enclosures, int num_alloc_enclosures,
                                          int* num_avail_enclosures) {
    DSM_FRAME(f, DSM_UNIT);
    return enclosure_list(
        f, stservers, num_stservers, DSM_BUFFER(enclosures, num_alloc_enclosures, num_avail_enclosures),
        "getEnclosureInfoList", "EnclosureInfoSeq",
        [](DS::DiskServiceMgr_ptr dsm, const DS::StorageServerSeq& servers) {
            return DS::EnclosureInfoSeq_var(dsm->getEnclosureInfoList(servers, true));
        },
        [&](CORBA::ULong i, DS::EnclosureInfo* value, dsm_enclosureinfo_t& rec) {
            dsm::hold(rec.object_ref, value);
            if (!value || dsml_extract_enclosureinfo(value, &rec) != 0)
                DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract enclosureinfo #", i);
        });
}

extern "C" int dsm_get_enclosure_disks(const dsm_enclosureinfo_t* enclosureinfo, dsm_disk_t* disks,
                                       int num_alloc_disks, int* num_avail_disks) {
    DSM_FRAME(f, DSM_UNIT);
    return dsm::held_members<DS::EnclosureInfo>(
        f, enclosureinfo, "enclosureinfo", "EnclosureInfo", DSM_BUFFER(disks, num_alloc_disks, num_avail_disks),
        "disks", [](DS::EnclosureInfo* info) -> const DS::DiskSeq& { return info->disks(); },
        [&](CORBA::ULong i, DS::Disk* value, dsm_disk_t& rec) {
            if (!value || dsml_extract_disk(value, &rec) != 0)
                DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract disk #", i);
        });
}

extern "C" int dsm_get_enclosure_stservers(const dsm_enclosureinfo_t* enclosureinfo,
                                           dsm_storageserver_t* stservers, int num_alloc_stservers,
                                           int* num_avail_stservers) {
    DSM_FRAME(f, DSM_UNIT);
    return dsm::held_members<DS::EnclosureInfo>(
        f, enclosureinfo, "enclosureinfo", "EnclosureInfo",
        DSM_BUFFER(stservers, num_alloc_stservers, num_avail_stservers), "stservers",
        [](DS::EnclosureInfo* info) -> const DS::StorageServerSeq& { return info->hosts(); },
        [&](CORBA::ULong i, DS::StorageServer* value, dsm_storageserver_t& rec) {
            if (!value || dsml_extract_storageserver(value, &rec) != 0)
                DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract stserver #", i);
        });
}

extern "C" int dsm_import_enclosure(const dsm_enclosureinfo_t* enclosureinfo, const char* diskgroup,
                                    const char* master_server, const dsm_storageserver_t* stservers,
                                    int num_stservers, int num_share_stservers,
                                    dsm_diskgroupinfo_t* diskgroupinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_REQUIRE(f, enclosureinfo);
        DSM_REQUIRE(f, master_server);
        DSM_REQUIRE(f, stservers);
        DSM_REQUIRE_COUNT(f, num_stservers);
        DSM_REQUIRE_COUNT(f, num_share_stservers);
        DSM_REQUIRE(f, diskgroupinfo);
        DSM_REQUIRE_HELD(f, enclosureinfo->object_ref, "EnclosureInfo");
        DSM_CONNECT(f, dsm);
        DS::EnclosureInfo* info = dsm::held<DS::EnclosureInfo>(enclosureinfo->object_ref);
        DS::Enclosure* enclosure = info->enclosure();
        DSM_REQUIRE_HELD(f, enclosure, "EnclosureInfo");
        // The properties go onto the held enclosure itself and stay there.
        if (!diskgroup || !*diskgroup) {
            DSM_LOG(f, DSM_SEV_TRACE, "Diskgroup name is not specified; Default to the enclosure name");
        } else {
            DSM_LOG(f, DSM_SEV_TRACE, "Specified diskgroup name = ", diskgroup);
            DiskServiceHelper::addProperty(enclosure->properties(), "DSM::diskGroupName", diskgroup);
        }
        DSM_LOG(f, DSM_SEV_TRACE, "Specified master server = ", master_server);
        DiskServiceHelper::addProperty(enclosure->properties(), "DSM::master", master_server);
        DS::StorageServerSeq servers;
        DSM_POPULATE(f, "StorageServerSeq", dsml_populate_stslist(stservers, num_stservers, servers));
        const DS::PropertySeq no_properties;
        f.calling("importEnclosure", __LINE__);
        DS::DiskGroup_var result =
            dsm->importEnclosure(enclosure, info->disks(), servers, num_share_stservers, no_properties);
        if (!result.in()) return f.nullResult("importEnclosure", "DiskGroup", __LINE__);
        dsm::clear_record(*diskgroupinfo);
        if (dsml_extract_diskgroup(result.in(), diskgroupinfo) != 0)
            DSM_LOG(f, DSM_SEV_WARNING, "Failed to extract diskgroupinfo for ", enclosureinfo->enclosure.name);
        return DSM_OK;
    });
}
