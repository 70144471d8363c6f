/*
 * Lists every disk pool the disk service knows, with its volumes and their
 * sizes, and releases every reference the library handed out.
 *
 *   list_pools
 *
 * The EMM server comes from the product configuration ($KDCONF_FILE).
 * Exits 0 on success, 1 when a call fails (its status is printed).
 */
#include <dsm.h>

#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Prints the library's error messages; everything else is left out. */
static void print_errors(int severity, const char *text, const char *localized, const char *function,
                         const char *source, int line) {
    (void)source;
    (void)line;
    if (severity >= DSM_SEV_ERROR)
        fprintf(stderr, "libdsm: %s: %s%s%s\n", function, text, localized ? " / " : "", localized ? localized : "");
}

/* Prints one pool's volumes; the pool record must hold its reference. */
static int print_volumes(const dsm_diskgroupinfo_t *pool) {
    int avail = 0;
    /* A first call with room for nothing asks how many there are. */
    dsm_diskvolumeinfo_t none;
    int status = dsm_get_diskgroup_volumes(pool, &none, 0, &avail);
    if (status != DSM_OK) return status;
    if (avail == 0) return DSM_OK;
    dsm_diskvolumeinfo_t *volumes = calloc((size_t)avail, sizeof *volumes);
    if (!volumes) return DSM_E_NOMEM;
    int filled = 0;
    status = dsm_get_diskgroup_volumes(pool, volumes, avail, &filled);
    for (int i = 0; status == DSM_OK && i < filled && i < avail; ++i)
        printf("  volume %-20s %s  total %" PRId64 " bytes, free %" PRId64 " bytes\n", volumes[i].name,
               volumes[i].kdu_state == DSM_DV_STATE_DOWN ? "down" : "up  ", volumes[i].total_capacity,
               volumes[i].free_space);
    /* Volume elements read from a held pool hold no reference: nothing to release. */
    free(volumes);
    return status;
}

int main(void) {
    dsmlib_set_logger(print_errors, NULL);
    printf("libdsm %s (built against %s)\n", dsmlib_version(), DSM_VERSION_STRING);

    /* Every pool: a server list that names no server. The array must not be
     * NULL, even though its count is 0. */
    dsm_storageserver_t no_server;
    memset(&no_server, 0, sizeof no_server);

    /* Ask for the count first, then allocate; the count may grow between the
     * two calls, which the second call reports in 'avail'. */
    int avail = 0;
    dsm_diskgroupinfo_t probe;
    memset(&probe, 0, sizeof probe);
    int status = dsm_get_diskgroupinfo_list(&no_server, 0, 0, 0, DSM_DBMODE_1, &probe, 0, &avail);
    if (status != DSM_OK) {
        fprintf(stderr, "dsm_get_diskgroupinfo_list failed: %d\n", status);
        return 1;
    }
    const int alloc = avail;
    dsm_diskgroupinfo_t *pools = calloc(alloc > 0 ? (size_t)alloc : 1, sizeof *pools);
    if (!pools) return 1;
    status = dsm_get_diskgroupinfo_list(&no_server, 0, 0, 0, DSM_DBMODE_1, pools, alloc, &avail);
    const int filled = avail < alloc ? avail : alloc;
    for (int i = 0; status == DSM_OK && i < filled; ++i) {
        printf("pool %s (%s): total %" PRId64 " bytes, used %" PRId64 " bytes, %d volume(s)\n", pools[i].diskgroup.name,
               pools[i].diskgroup.server_type, pools[i].total_capacity, pools[i].used_space, pools[i].num_diskvolumes);
        const int volumes = print_volumes(&pools[i]);
        if (volumes != DSM_OK) {
            fprintf(stderr, "dsm_get_diskgroup_volumes failed for %s: %d\n", pools[i].diskgroup.name, volumes);
            status = volumes;
        }
    }
    /* Each filled element holds one reference: release them all, also after
     * a failure. */
    if (filled > 0) dsm_removeref_diskgroupinfo_list(pools, filled);
    free(pools);
    if (status != DSM_OK) {
        fprintf(stderr, "listing failed: %d\n", status);
        return 1;
    }
    printf("%d pool(s)\n", filled);
    return 0;
}
