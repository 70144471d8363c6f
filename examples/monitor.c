/*
 * A multi-threaded monitor: several threads poll the disk service at once,
 * as a daemon's workers would, and keep working across a restart of the
 * service. The library reconnects by itself; each thread only reports when
 * it loses the service and when it has it back.
 *
 *   monitor THREADS SECONDS
 *
 * The EMM server comes from the product configuration ($KDCONF_FILE).
 * Exits 0 when every thread's last poll succeeded, 1 otherwise.
 */
#include <dsm.h>

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

struct worker {
    int id;
    double seconds;
    long polls;
    long failures;
    int last_status;
};

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

/* One poll: how many pools the service holds. Each thread uses records of
 * its own; the connection is the library's, shared safely. */
static int poll_pools(int *count) {
    dsm_storageserver_t no_server;
    memset(&no_server, 0, sizeof no_server);
    dsm_diskgroupinfo_t pools[16];
    memset(pools, 0, sizeof pools);
    int avail = 0;
    const int status = dsm_get_diskgroupinfo_list(&no_server, 0, 0, 0, DSM_DBMODE_1, pools, 16, &avail);
    if (status == DSM_OK) dsm_removeref_diskgroupinfo_list(pools, avail < 16 ? avail : 16);
    *count = avail;
    return status;
}

static void *watch(void *arg) {
    struct worker *w = arg;
    const double start = now();
    double lost_at = 0;
    while (now() - start < w->seconds) {
        int pools = 0;
        const int status = poll_pools(&pools);
        ++w->polls;
        if (status != DSM_OK) {
            ++w->failures;
            if (w->last_status == DSM_OK) {
                lost_at = now();
                printf("thread %d: lost the service (status %d)\n", w->id, status);
            }
        } else if (w->last_status != DSM_OK) {
            printf("thread %d: back after %.1f s, %d pool(s)\n", w->id, now() - lost_at, pools);
        }
        w->last_status = status;
        const struct timespec pause = {0, 50 * 1000 * 1000};
        nanosleep(&pause, NULL);
    }
    return NULL;
}

int main(int argc, char **argv) {
    if (argc != 3 || atoi(argv[1]) < 1 || atoi(argv[1]) > 64 || atof(argv[2]) <= 0) {
        fprintf(stderr, "usage: %s THREADS(1-64) SECONDS\n", argv[0]);
        return 2;
    }
    const int threads = atoi(argv[1]);
    /* The context is set, and the first call made, before the threads start. */
    int pools = 0;
    const int first = poll_pools(&pools);
    if (first != DSM_OK) {
        fprintf(stderr, "the service does not answer (status %d)\n", first);
        return 1;
    }
    printf("watching %d pool(s) with %d thread(s)\n", pools, threads);
    fflush(stdout);

    struct worker workers[64];
    pthread_t ids[64];
    for (int i = 0; i < threads; ++i) {
        workers[i] = (struct worker){i, atof(argv[2]), 0, 0, DSM_OK};
        if (pthread_create(&ids[i], NULL, watch, &workers[i]) != 0) return 1;
    }
    int healthy = 1;
    for (int i = 0; i < threads; ++i) {
        pthread_join(ids[i], NULL);
        printf("thread %d: %ld polls, %ld failed, last status %d\n", i, workers[i].polls, workers[i].failures,
               workers[i].last_status);
        healthy = healthy && workers[i].last_status == DSM_OK;
    }
    return healthy ? 0 : 1;
}
