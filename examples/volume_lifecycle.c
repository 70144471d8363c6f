/*
 * Creates a volume in a pool, sets it down and up again, and deletes it,
 * each change with an audit reason, handling every status the calls return.
 *
 *   volume_lifecycle POOL VOLUME
 *
 * The EMM server comes from the product configuration ($KDCONF_FILE).
 * Exits 0 when every step worked, 1 otherwise.
 */
#include <dsm.h>

#include <stdio.h>
#include <string.h>

/* What a status means to this program. A change the audit flagged
 * (DSM_E_AUDIT) was made: the output record is filled, and the product
 * records why. A change that ended in DSM_E_CORBA may still have been made:
 * read the volume back before trying again. */
static int report(const char *step, int status) {
    switch (status) {
    case DSM_OK:
        printf("%s: done\n", step);
        return 1;
    case DSM_E_AUDIT:
        printf("%s: done, flagged by the audit\n", step);
        return 1;
    case DSM_E_INVALID_ARG:
        fprintf(stderr, "%s: invalid argument\n", step);
        return 0;
    case DSM_E_NO_CONNECTION:
        fprintf(stderr, "%s: DiskServiceMgr cannot be reached\n", step);
        return 0;
    case DSM_E_NULL_RESULT:
        fprintf(stderr, "%s: the service answered nothing\n", step);
        return 0;
    case DSM_E_CORBA:
        fprintf(stderr, "%s: the call broke off; the change may have been made\n", step);
        return 0;
    case DSM_E_STD:
    case DSM_E_UNKNOWN:
    case DSM_E_NOMEM:
        fprintf(stderr, "%s: failed inside the library (%d)\n", step, status);
        return 0;
    default:
        fprintf(stderr, "%s: the disk service refused it with error %d\n", step, status);
        return 0;
    }
}

/* Copies at most size-1 bytes and always terminates. */
static void put(char *field, size_t size, const char *text) {
    strncpy(field, text, size - 1);
    field[size - 1] = '\0';
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s POOL VOLUME\n", argv[0]);
        return 2;
    }
    /* The pool as the service knows it: its record names it for the volume. */
    dsm_diskgroup_t key;
    memset(&key, 0, sizeof key);
    put(key.name, sizeof key.name, argv[1]);
    const char *master = dsmlib_get_masterserver();
    put(key.master_server, sizeof key.master_server, master ? master : "");
    dsm_diskgroupinfo_t pool;
    memset(&pool, 0, sizeof pool);
    if (!report("read the pool", dsm_get_diskgroupinfo(&key, DSM_DBMODE_1, &pool))) return 1;

    dsm_diskvolumeinfo_t volume;
    memset(&volume, 0, sizeof volume);
    put(volume.name, sizeof volume.name, argv[2]);
    volume.diskgroup = pool.diskgroup;
    volume.kdu_state = DSM_DV_STATE_UP;
    /* The volume record that names it for the changes below. */
    dsm_diskvolume_t named;
    memset(&named, 0, sizeof named);
    put(named.name, sizeof named.name, argv[2]);
    named.diskgroup = pool.diskgroup;
    dsm_removeref_diskgroupinfo(&pool); /* the copied fields stay; the reference goes */

    dsm_disk_t disk;
    memset(&disk, 0, sizeof disk);
    dsm_diskvolumeinfo_t out;
    memset(&out, 0, sizeof out);
    int ok = report("create", dsm_create_diskvolume_from_diskvolumeinfo(&volume, &disk, 1, DSM_DBMODE_1, &out,
                                                                         "example: new volume"));
    /* No output record of these calls holds a reference: nothing to release. */
    if (ok) ok = report("set down", dsm_update_diskvolume_state(&named, DSM_DV_STATE_DOWN, DSM_DBMODE_1, &out,
                                                                "example: maintenance"));
    if (ok) ok = report("set up", dsm_update_diskvolume_state(&named, DSM_DV_STATE_UP, DSM_DBMODE_1, &out,
                                                              "example: maintenance over"));
    if (ok) {
        memset(&out, 0, sizeof out);
        ok = report("read back", dsm_get_diskvolumeinfo(&named, DSM_DBMODE_1, &out));
        if (ok) printf("%s is %s\n", out.name, out.kdu_state == DSM_DV_STATE_UP ? "up" : "not up");
    }
    /* Deleted whatever happened before, so that the example leaves nothing behind. */
    const int deleted = report("delete", dsm_delete_diskvolume(&named, DSM_DBMODE_1, &out, "example: done"));
    return ok && deleted ? 0 : 1;
}
