/* The public header as a C99 compiler sees it: the records keep their
 * widths and their embedded records first, and the prototypes declare. A
 * violated check makes an array of negative size, so this unit fails to
 * compile. */
#include "dsm.h"

#include <stddef.h>

#define DSM_CHECK(name, cond) typedef char dsm_check_##name[(cond) ? 1 : -1]

DSM_CHECK(pool_name, sizeof(((dsm_diskgroup_t *)0)->name) == 257);
DSM_CHECK(pool_master, sizeof(((dsm_diskgroup_t *)0)->master_server) == 1025);
DSM_CHECK(pool_first, offsetof(dsm_diskgroupinfo_t, diskgroup) == 0);
DSM_CHECK(pool_capacity, sizeof(((dsm_diskgroupinfo_t *)0)->total_capacity) == 8);
DSM_CHECK(pool_state, sizeof(((dsm_diskgroupinfo_t *)0)->kdu_state) == 4);
DSM_CHECK(volume_id, sizeof(((dsm_diskvolume_t *)0)->id) == 4097);
DSM_CHECK(volume_info_name, offsetof(dsm_diskvolumeinfo_t, name) == offsetof(dsm_diskvolume_t, name));
DSM_CHECK(volume_info_id, offsetof(dsm_diskvolumeinfo_t, id) == offsetof(dsm_diskvolume_t, id));
DSM_CHECK(volume_info_pool,
          offsetof(dsm_diskvolumeinfo_t, diskgroup) == offsetof(dsm_diskvolume_t, diskgroup));
DSM_CHECK(media_id, sizeof(((dsm_diskvolumeinfo_t *)0)->disk_media_id) == 33);
DSM_CHECK(server_first, offsetof(dsm_storageserverinfo_t, stserver) == 0);
DSM_CHECK(enclosure_first, offsetof(dsm_enclosureinfo_t, enclosure) == 0);
DSM_CHECK(config_name, sizeof(((dsm_configitem_t *)0)->name) == 65);
DSM_CHECK(mount_path, sizeof(((dsm_mountpoint_t *)0)->path) == 4097);
DSM_CHECK(lsu_name, sizeof(((dsm_ELP_lsu_t *)0)->lsu_name) == 4097);
DSM_CHECK(name_buffer, sizeof(dsm_name_t) == 1025);
DSM_CHECK(datamover_buffer, sizeof(dsm_datamover_name_t) == 1025);
/* A cleared record reads as not reported. */
DSM_CHECK(unknown_is_zero, DSM_TRI_UNKNOWN == 0 && DSM_CONFIG_UNKNOWN == 0);

/* Calls through the prototypes, as a C caller writes them. */
int dsm_c_header_check(void);
int dsm_c_header_check(void) {
    dsm_diskvolumeinfo_t info;
    dsm_name_t display[2];
    dsm_name_t names[2];
    int avail = 0;
    int rc = 0;
    info.object_ref = NULL;
    rc |= dsm_get_diskvolumeinfo((const dsm_diskvolume_t *)(const void *)&info, DSM_DBMODE_0, &info);
    rc |= dsm_get_datamover_arraytypes("dm", display, names, 2, &avail);
    rc |= dsm_removeref_diskvolumeinfo_list(&info, 1);
    return rc;
}
