// New values for requests, with every member set: numbers 0, strings empty,
// lists empty, nested values nil. omniidl's default constructors leave
// numeric and boolean members unset, and whatever the heap held there would
// travel to the service; the library makes the values it builds here only.
#ifndef DSMLIB_VALUES_H
#define DSMLIB_VALUES_H

#include "dsmlib_internal.h"

#include <new>

namespace dsm {

DS::DiskGroup* new_diskgroup();
DS::DiskVolume* new_diskvolume();
DS::DiskVolumeInfo* new_diskvolumeinfo();
// Null when memory is short.
DS::DiskVolumeInfo* new_diskvolumeinfo(const std::nothrow_t&);
DS::StorageServer* new_storageserver();
DS::StorageServerConfigItem* new_configitem();

}  // namespace dsm

#endif
