// Conversion between the caller's flat records and the service's value
// types. Extraction copies a value into a record (typed members and the
// properties it knows); population builds a value from a record. Each
// returns 0 or a status; no exception leaves them. None touches a record's
// object_ref.
#ifndef DSMLIB_POPEXT_H
#define DSMLIB_POPEXT_H

#include "dsmlib_internal.h"
#include "dsm.h"

int dsml_extract_diskgroup(const DS::DiskGroup* value, dsm_diskgroupinfo_t* rec);
// Keeps identity fields the record already has.
int dsml_extract_diskgroupinfo(const DS::DiskGroupInfo* value, dsm_diskgroupinfo_t* rec);
int dsml_extract_diskvolume(const DS::DiskVolume* value, dsm_diskvolumeinfo_t* rec);
// Keeps name and id the record already has; free space is capacity - used.
int dsml_extract_diskvolumeinfo(const DS::DiskVolumeInfo* value, dsm_diskvolumeinfo_t* rec);
int dsml_extract_storageserver(const DS::StorageServer* value, dsm_storageserver_t* rec);
int dsml_extract_storageserverinfo(const DS::StorageServerInfo* value, dsm_storageserverinfo_t* rec);
// 5 when the item has no name or no value.
int dsml_extract_storageserverconfig(const DS::StorageServerConfigItem* value, dsm_configitem_t* rec);
int dsml_extract_enclosure(const DS::Enclosure* value, dsm_enclosure_t* rec);
int dsml_extract_enclosureinfo(const DS::EnclosureInfo* value, dsm_enclosureinfo_t* rec);
int dsml_extract_disk(const DS::Disk* value, dsm_disk_t* rec);

int dsml_populate_diskgroup(const dsm_diskgroup_t* rec, DS::DiskGroup* value);
int dsml_populate_diskvolume(const dsm_diskvolume_t* rec, DS::DiskVolume* value);
// Creates the info's DiskVolume; carries flags and replication entries over
// from the value the record holds, if any (only read).
int dsml_populate_diskvolumeinfo(const dsm_diskvolumeinfo_t* rec, DS::DiskVolumeInfo* value);
// 'list' gets exactly 'count' new servers.
int dsml_populate_stslist(const dsm_storageserver_t* stservers, int num_stservers,
                          DS::StorageServerSeq& list);
// 2050200 for an unknown data_type.
int dsml_populate_storageserverconfig(const dsm_configitem_t* rec,
                                      DS::StorageServerConfigItem* value);

#endif
