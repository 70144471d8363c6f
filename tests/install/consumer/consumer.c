/* A program built against an installed libdsm, as a product command would
 * be: only the public header and -ldsm. It checks that the calls reach the
 * library and come back with its statuses. */
#include <dsm.h>

#include <stdio.h>
#include <string.h>

static int expect(int ok, const char *what) {
    if (!ok) fprintf(stderr, "consumer: %s\n", what);
    return ok ? 0 : 1;
}

int main(void) {
    int failures = 0;
    dsm_diskgroupinfo_t pools[1];
    int avail = -1;
    memset(pools, 0, sizeof pools);
    failures += expect(dsm_get_diskgroup_list(NULL, 0, 0, 0, DSM_DBMODE_1, pools, 1, &avail) == DSM_E_INVALID_ARG,
                       "a null server list is not refused with DSM_E_INVALID_ARG");
    failures += expect(avail == -1, "a refused call wrote its count");
    failures += expect(dsmlib_get_logger() != NULL, "no logging function");
    const char *emm = dsmlib_set_emmserver("emm.example.test");
    failures += expect(emm != NULL && strcmp(emm, "emm.example.test") == 0, "the EMM server was not stored");
    emm = dsmlib_get_emmserver();
    failures += expect(emm != NULL && strcmp(emm, "emm.example.test") == 0, "the EMM server was not kept");
    if (failures == 0) printf("consumer: ok\n");
    return failures == 0 ? 0 : 1;
}
