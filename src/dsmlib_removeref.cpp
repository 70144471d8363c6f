// Gives back the counted references that query functions leave in the
// object_ref of info records. No service is involved.
#include "dsm.h"
#include "dsmlib_api.h"

#define DSM_UNIT "dsmlib_removeref"

namespace {

// One body for both forms: a single form passes one record and no count
// name, so there is no count to check.
template <class Held, class Rec>
int release_records(const dsm::Frame& f, Rec* records, const char* records_name, int count,
                    const char* count_name) {
    return f.run([&] {
        if (f.isNull(records, records_name, __LINE__)) return DSM_E_INVALID_ARG;
        if (count_name && f.isNegative(count, count_name, __LINE__)) return DSM_E_INVALID_ARG;
        for (int i = 0; i < count; ++i) dsm::release_held<Held>(records[i].object_ref);
        return DSM_OK;
    });
}

}  // namespace

// The single form is the list form of one record without a count to check.
#define DSM_REMOVEREF_PAIR(single, list, Rec, Held, arg, list_arg, count_arg) \
    extern "C" int single(Rec* arg) { \
        DSM_FRAME(f, DSM_UNIT); \
        return release_records<Held>(f, arg, #arg, 1, nullptr); \
    } \
    extern "C" int list(Rec* list_arg, int count_arg) { \
        DSM_FRAME(f, DSM_UNIT); \
        return release_records<Held>(f, list_arg, #list_arg, count_arg, #count_arg); \
    }

DSM_REMOVEREF_PAIR(dsm_removeref_diskgroupinfo, dsm_removeref_diskgroupinfo_list,
                   dsm_diskgroupinfo_t, DS::DiskGroupInfo, diskgroupinfo, diskgroups,
                   num_diskgroups)
DSM_REMOVEREF_PAIR(dsm_removeref_diskvolumeinfo, dsm_removeref_diskvolumeinfo_list,
                   dsm_diskvolumeinfo_t, DS::DiskVolumeInfo, diskvolumeinfo, diskvolumes,
                   num_diskvolumes)
DSM_REMOVEREF_PAIR(dsm_removeref_enclosureinfo, dsm_removeref_enclosureinfo_list,
                   dsm_enclosureinfo_t, DS::EnclosureInfo, enclosureinfo, enclosures,
                   num_enclosures)
DSM_REMOVEREF_PAIR(dsm_removeref_mountpoint, dsm_removeref_mountpoint_list, dsm_mountpoint_t,
                   DS::MountPoint, mountpoint, mountpoints, num_mountpoints)

#undef DSM_REMOVEREF_PAIR

// The storage server pair names the single record in both null messages.
extern "C" int dsm_removeref_storageserver(dsm_storageserverinfo_t* stserverinfo) {
    DSM_FRAME(f, DSM_UNIT);
    return release_records<DS::StorageServerInfo>(f, stserverinfo, "stserverinfo", 1, nullptr);
}

extern "C" int dsm_removeref_storageserver_list(dsm_storageserverinfo_t* stservers,
                                               int num_stservers) {
    DSM_FRAME(f, DSM_UNIT);
    return release_records<DS::StorageServerInfo>(f, stservers, "stserverinfo", num_stservers,
                                                  "num_stservers");
}
