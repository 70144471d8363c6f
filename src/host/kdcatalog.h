/*
 * Host catalog client: the product catalog's storage units, storage groups,
 * storage lifecycle policies (SLPs), policies with their schedules, policy
 * type features, and the master server name.
 *
 * The catalog is a directory of plain text files named by the configuration
 * key CATALOG_DIR: stunits, stgroups, slps, policies and policy_types. Each
 * line is one record of blank-separated "key=value" tokens ('#' starts a
 * comment line); lists are comma-separated. See src/host/README.md.
 *
 * Every db_get* function returns 0 and fills the record when the named
 * object exists, KDCAT_NOT_FOUND when it does not, and KDCAT_DB_ERROR when
 * the catalog cannot be read (no CATALOG_DIR, an unreadable file, a line that
 * does not parse). Records own heap lists; release them with their free
 * function, which leaves the record empty and may be called again.
 */
#ifndef KDHOST_KDCATALOG_H
#define KDHOST_KDCATALOG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KDCAT_NOT_FOUND 227 /* no entry was found */
#define KDCAT_DB_ERROR 220  /* database system error */

#define KDCAT_NAME_LEN 129
#define KDCAT_MAX_RESIDENCES 8

/* Storage unit. */
typedef struct STUNIT_REC {
    char name[KDCAT_NAME_LEN];
    int type;                          /* 0 or 6: disk */
    uint16_t sub_media_type;           /* 6: STSDYNAMIC */
    char disk_pool[KDCAT_NAME_LEN];    /* empty: none */
} STUNIT_REC;

/* Storage group: storage units and how one is chosen. */
typedef struct STGROUP {
    char name[KDCAT_NAME_LEN];
    int selection_method;              /* 3: FAILOVER */
    int num_members;
    char (*members)[KDCAT_NAME_LEN];   /* num_members names, in order */
} STGROUP;

/* One operation of a storage lifecycle policy. */
typedef struct SS_OPERATION {
    int type;                          /* 0: backup */
    char storage[KDCAT_NAME_LEN];      /* empty: not specified */
} SS_OPERATION;

/* Storage lifecycle policy. */
typedef struct SS_REC {
    char name[KDCAT_NAME_LEN];
    int num_operations;
    SS_OPERATION *operations;          /* num_operations, in order */
} SS_REC;

/* One schedule of a policy, in a singly linked list. */
typedef struct CLASS_SCHED {
    char name[KDCAT_NAME_LEN];
    int num_residences;                /* 0..KDCAT_MAX_RESIDENCES */
    char residence[KDCAT_MAX_RESIDENCES][KDCAT_NAME_LEN];
    struct CLASS_SCHED *next;
} CLASS_SCHED;

/* Policy record: its schedules. */
typedef struct CLASS {
    char name[KDCAT_NAME_LEN];
    CLASS_SCHED *schedules;            /* first schedule, or null */
} CLASS;

/* Policy attributes. */
typedef struct CLASS_ATTR {
    int policy_type;
    int client_compress;
    int client_encrypt;
    int fast_backup;                   /* 1: fast backups requested */
    int num_residences;                /* 0..KDCAT_MAX_RESIDENCES */
    char residence[KDCAT_MAX_RESIDENCES][KDCAT_NAME_LEN];
} CLASS_ATTR;

/* Empty records. 'clear' non-zero zeroes the whole record; zero only drops
 * (without freeing) the lists it points to. */
void db_initSTUNIT_REC(STUNIT_REC *rec, int clear);
void db_initSTGROUP(STGROUP *rec, int clear);
void db_initSS_REC(SS_REC *rec, int clear);

int db_getSTUNIT(const char *name, STUNIT_REC *rec);
int db_getSTGROUP(const char *name, STGROUP *rec);
int db_getStorageService(const char *name, SS_REC *rec);
int db_getCLASS(CLASS *rec, const char *name);
int db_getCLASS_ATTR(CLASS_ATTR *attr, const char *name);

void db_STUNITfree(STUNIT_REC *rec);
void db_STGROUPfree(STGROUP *rec);
void db_freeSS_REC(SS_REC *rec);
void db_freeCLASS(CLASS *rec);

/* The feature mask of a policy type when it has 'feature' (any of its bits),
 * else 0; an unknown type or an unreadable catalog gives 0. 'options' is
 * reserved and must be 0. */
unsigned int grey_boxes(int policy_type, unsigned int feature, int options);

/* The master server (the first SERVER of the product configuration) into
 * buf; 0 on success, KDCAT_DB_ERROR when there is none or size is too small
 * to hold it. */
int db_getservernameEx(char *buf, int size);

#ifdef __cplusplus
}
#endif

#endif
