/*
 * libdsm - disk storage management for the backup product's daemons and
 * commands.
 *
 * Every object lives in the remote DiskServiceMgr on the media-manager (EMM)
 * server; this library validates arguments, connects (and reconnects) to it,
 * converts the caller's flat records into the service's values and back, and
 * turns every failure into an integer status with a logged explanation.
 *
 * Ownership, once for the whole interface:
 *  - Records and arrays passed to the library are the caller's. The library
 *    never allocates or frees a record, except the arrays returned by the
 *    storage unit label queries, which it allocates with malloc() and the
 *    caller releases with free() (after releasing the references they hold).
 *  - An info record's object_ref is either NULL or holds exactly one counted
 *    reference to a service value. Release it with the matching
 *    dsm_removeref_* function before the record goes away. Copying a record
 *    copies the pointer without a count: release exactly one of the copies.
 *  - Strings passed in are read during the call only, except the locale name
 *    given to dsmlib_set_logger, whose pointer is stored as it is.
 *
 * Statuses: 0 is success. The library's own values are listed below; any
 * other value is an error code of the disk service passed through. Every
 * remote call is bounded (the product configuration's ORB_CONNECT_TIMEOUT_MS
 * and ORB_CALL_TIMEOUT_MS). A change that ends in DSM_E_CORBA (2050301) after
 * a timeout or a broken connection may still have been applied by the
 * service: read the object back before repeating the change.
 *
 * Threads: set the context (logger, ORB, EMM server) before using the
 * library from several threads; never use one record from two threads at
 * once. Otherwise any number of threads may call at once, also while the
 * service fails, stalls or restarts: the connection is shared safely, and
 * two threads that find it broken at the same moment may both reconnect.
 * The logging function may be called from any calling thread.
 */
#ifndef DSM_H
#define DSM_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The library is built with hidden visibility; what this header declares is
 * its whole exported interface. */
#if defined(DSM_BUILDING_LIBRARY) && defined(__GNUC__)
#pragma GCC visibility push(default)
#endif

/* ---- statuses ---- */
#define DSM_OK                       0
#define DSM_E_SERVICE               (-1)      /* service exception without usable code */
#define DSM_E_CONFIG_ITEM            5        /* config item without name or value */
#define DSM_E_AUDIT              2000053      /* audit refused or flagged the change */
#define DSM_E_NOMEM              2050001      /* memory exhausted */
#define DSM_E_NO_REPLICATION     2050013      /* no such replication source/target */
#define DSM_E_INVALID_ARG        2050200      /* invalid argument */
#define DSM_E_NO_CONNECTION      2050201      /* DiskServiceMgr cannot be reached */
#define DSM_E_NULL_RESULT        2050202      /* the service returned no value */
#define DSM_E_CORBA              2050301      /* ORB (system or unexpected user) exception */
#define DSM_E_STD                2050302      /* standard library exception */
#define DSM_E_UNKNOWN            2050303      /* any other exception */

/* ---- logging ---- */
/* Severities passed to the logging function (single bits). */
#define DSM_SEV_TRACE     2   /* inputs, "Calling dsm->...", values read back */
#define DSM_SEV_PROGRESS  4   /* settings and connection */
#define DSM_SEV_WARNING   8   /* an element that could not be converted */
#define DSM_SEV_ERROR    16   /* a failed call */
#define DSM_SEV_FATAL    32   /* an unexpected failure */

/* The caller's logging function: severity, composed text, the localized text
 * of a service or argument exception (else NULL), the logging function's
 * name, its source unit and line. Called with no lock held. */
typedef void (*dsmlib_logger_t)(int severity, const char *text, const char *localized,
                                const char *function, const char *source, int line);

/* Installs 'logger' (NULL: one that discards everything) and stores 'locale'
 * (the pointer itself; NULL: the process locale). Returns the previous
 * logging function, never NULL. */
dsmlib_logger_t dsmlib_set_logger(dsmlib_logger_t logger, const char *locale);
/* The current logging function, never NULL. */
dsmlib_logger_t dsmlib_get_logger(void);
/* The stored locale name (the process locale until one is set). */
const char *dsmlib_get_logger_locale(void);

/* ---- context ---- */
/* Turns a plain object reference (a CORBA::Object_ptr, borrowed) into a new
 * DiskServiceMgr reference (returned as owned), or NULL when the object is
 * not one. */
typedef void *(*dsmlib_DSM_context_t)(void *object);

/* Stores the narrowing function for newly connected references. NULL keeps
 * the stored one (the generated narrowing when none is stored). */
void dsmlib_set_DSM_context(dsmlib_DSM_context_t narrow);

#ifdef __cplusplus
class Orb;
#else
typedef struct Orb Orb;
#endif
/* Uses the caller's ORB wrapper (which stays the caller's). NULL returns the
 * ORB in use, making a private one when none is set; NULL when none could be
 * made. */
Orb *dsmlib_set_orb(Orb *orb);

/* Marks the value factories as registered without registering them (for a
 * process that registers them itself). Returns false. */
bool dsmlib_set_noOBVregistration(void);

/* Stores the EMM server name (at most 255 characters are kept) and returns
 * the stored name. NULL reads EMM and master server from the product
 * configuration and returns the EMM name, or NULL when it cannot be read. The
 * returned buffer is the library's; it stays valid. */
const char *dsmlib_set_emmserver(const char *name);
/* The stored EMM server name, read from the configuration on first use; NULL
 * when it cannot be determined. */
const char *dsmlib_get_emmserver(void);
/* The master server name (first server of the configuration); never NULL,
 * empty when unknown. */
const char *dsmlib_get_masterserver(void);

/* Connects to DiskServiceMgr on the EMM server (or proves the connection
 * alive with one ping). 0, or 2050201 when the service cannot be reached. */
int dsmlib_ping(void);

/* Database modes sent with most pool, volume and storage server operations. */
typedef int dsm_dbmode;
#define DSM_DBMODE_0 0
#define DSM_DBMODE_1 1
#define DSM_DBMODE_2 2

/* ---- records ----
 * Flat, caller-owned records. A char[N] field holds at most N-1 characters
 * and is always terminated; an empty string means "not set". Where a record
 * embeds another, the embedded one comes first so that a pointer to the
 * larger record can stand for the smaller one. */

/* Pool state (kdu_state of dsm_diskgroupinfo_t). */
#define DSM_DG_STATE_UP     1
#define DSM_DG_STATE_DOWN   2
#define DSM_DG_STATE_OTHER  3   /* any other state reported by the service */

/* Volume state (kdu_state of dsm_diskvolumeinfo_t). */
#define DSM_DV_STATE_NONE   0
#define DSM_DV_STATE_UP     1
#define DSM_DV_STATE_DOWN   2

/* Tri-state (availability, connectivity). */
#define DSM_TRI_UNKNOWN     0   /* not reported */
#define DSM_TRI_YES         1
#define DSM_TRI_NO          2

/* Kind of a configuration value (data_type of dsm_configitem_t). */
#define DSM_CONFIG_UNKNOWN  0   /* a kind the library does not know */
#define DSM_CONFIG_TYPE_1   1
#define DSM_CONFIG_TYPE_2   2
#define DSM_CONFIG_TYPE_3   3
#define DSM_CONFIG_TYPE_4   4

/* Names a disk pool. */
typedef struct dsm_diskgroup {
    char name[257];
    char id[257];                   /* object id at the service */
    char server_type[65];
    char master_server[1025];
    char access_media_server[1025]; /* empty: none */
} dsm_diskgroup_t;

/* A disk pool with its attributes; object_ref: NULL or one counted
 * reference to a DiskGroupInfo. */
typedef struct dsm_diskgroupinfo {
    dsm_diskgroup_t diskgroup;
    int32_t storage_type;
    int64_t total_capacity;
    int64_t used_space;
    int32_t kdu_state;              /* DSM_DG_STATE_* (0 until filled) */
    int32_t availability;           /* DSM_TRI_*: YES when not imported */
    int32_t connectivity;           /* DSM_TRI_* */
    int32_t high_watermark;
    int32_t low_watermark;
    int32_t num_diskvolumes;
    int32_t num_disks;
    int32_t num_stservers;
    char system_tag[257];
    char user_tag[257];
    void *object_ref;
} dsm_diskgroupinfo_t;

/* Names a disk volume. */
typedef struct dsm_diskvolume {
    char name[257];
    char id[4097];
    dsm_diskgroup_t diskgroup;
} dsm_diskvolume_t;

/* A disk volume with its attributes. Begins exactly like dsm_diskvolume_t,
 * so one record may serve as volume input and info output. object_ref: NULL
 * or one counted reference to a DiskVolumeInfo. */
typedef struct dsm_diskvolumeinfo {
    char name[257];
    char id[4097];
    dsm_diskgroup_t diskgroup;
    char disk_media_id[33];
    int64_t total_capacity;
    int64_t free_space;
    int64_t potential_free_space;
    int64_t committed_space;
    int64_t precommitted_space;
    int32_t kdu_state;              /* DSM_DV_STATE_* */
    int32_t num_read_mounts;
    int32_t max_read_mounts;
    int32_t num_write_mounts;
    int32_t max_write_mounts;
    char system_tag[257];           /* system tag or volume layout string */
    void *object_ref;
} dsm_diskvolumeinfo_t;

/* A storage server. */
typedef struct dsm_storageserver {
    char name[1025];
    char id[257];
    char server_type[65];
    int32_t storage_type;
    char access_media_server[1025]; /* empty: none */
} dsm_storageserver_t;

/* A storage server with its flags; object_ref: NULL or one counted
 * reference to a StorageServerInfo. */
typedef struct dsm_storageserverinfo {
    dsm_storageserver_t stserver;
    int32_t property_flags;
    void *object_ref;
} dsm_storageserverinfo_t;

/* A configuration item of a storage server. */
typedef struct dsm_configitem {
    char name[65];
    char value[1025];
    int32_t data_type;              /* DSM_CONFIG_* */
    char description[1025];
    int32_t fixed;                  /* 1 when fixed, else 0 */
} dsm_configitem_t;

/* Names a disk array (enclosure). */
typedef struct dsm_enclosure {
    char name[257];
    char id[257];
    char server_type[65];
} dsm_enclosure_t;

/* An enclosure with its attributes; object_ref: NULL or one counted
 * reference to an EnclosureInfo. */
typedef struct dsm_enclosureinfo {
    dsm_enclosure_t enclosure;
    char en_type[257];
    char serial_number[257];
    char array_type[257];
    int64_t storage_capacity;
    int32_t availability;           /* DSM_TRI_* */
    int32_t connectivity;           /* DSM_TRI_* */
    int32_t num_disks;
    int32_t num_stservers;
    void *object_ref;
} dsm_enclosureinfo_t;

/* A disk of a pool or of an enclosure. */
typedef struct dsm_disk {
    char name[257];
    char id[257];
    int32_t availability;           /* DSM_TRI_NO when the service marks it used */
    char volume_config[1025];       /* read by dsm_create_diskvolume only */
} dsm_disk_t;

/* A mount point of a pool's volume on a host; object_ref: NULL or one
 * counted reference to a MountPoint. */
typedef struct dsm_mountpoint {
    char path[4097];
    char machine_name[1025];
    int32_t state;
    void *object_ref;
} dsm_mountpoint_t;

/* One logical storage unit reached through a storage unit label. */
typedef struct dsm_ELP_lsu {
    char lsu_name[4097];
    char stserver_name[1025];
    char diskgroup_name[257];
    char server_type[65];
    char master_server[1025];
} dsm_ELP_lsu_t;

/* One name buffer (array types, data movers). */
typedef char dsm_name_t[1025];
typedef dsm_name_t dsm_datamover_name_t;

/* ---- functions ----
 * Every function returns the status: 0, a DSM_E_* value, or an error code of
 * the disk service. Output records may be partly written on failure. List
 * functions store the service's count in *num_avail_* and fill at most
 * num_alloc_* records; fewer allocated than available is no error. */

/* Pools of the servers into diskgroups (no reference held); *num_avail gets the service's count. */
int dsm_get_diskgroup_list(const dsm_storageserver_t *stservers, int num_stservers,
    int first_option, int second_option, dsm_dbmode db_mode,
    dsm_diskgroupinfo_t *diskgroups, int num_alloc_diskgroups, int *num_avail_diskgroups);
/* Pool details of the servers into diskgroups, each holding a DiskGroupInfo reference. */
int dsm_get_diskgroupinfo_list(const dsm_storageserver_t *stservers, int num_stservers,
    int first_option, int second_option, dsm_dbmode db_mode,
    dsm_diskgroupinfo_t *diskgroups, int num_alloc_diskgroups, int *num_avail_diskgroups);
/* Pools behind a storage unit label in a malloc'ed array (caller frees, after releasing each reference). */
int dsm_get_diskgroupinfo_list_by_storage_unit_label(const char *master_server,
    const char *storage_unit_label, const char *server_type, int query_option,
    dsm_diskgroupinfo_t **diskgroups, int *num_diskgroups);
/* One pool's details; replaces the record's reference with a new one. */
int dsm_get_diskgroupinfo(const dsm_diskgroup_t *diskgroup, dsm_dbmode db_mode,
    dsm_diskgroupinfo_t *diskgroupinfo);
/* Volumes of the held pool (no service call); needs the record's reference. */
int dsm_get_diskgroup_volumes(const dsm_diskgroupinfo_t *diskgroupinfo,
    dsm_diskvolumeinfo_t *diskvolumes, int num_alloc_diskvolumes,
    int *num_avail_diskvolumes);
/* Storage servers of the held pool (no service call); needs the reference. */
int dsm_get_diskgroup_stservers(const dsm_diskgroupinfo_t *diskgroupinfo,
    dsm_storageserver_t *stservers, int num_alloc_stservers, int *num_avail_stservers);
/* Data mover names of the held pool (no service call); needs the reference. */
int dsm_get_diskgroup_datamovers(const dsm_diskgroupinfo_t *diskgroupinfo,
    dsm_datamover_name_t *datamovers, int num_alloc_datamovers,
    int *num_avail_datamovers);
/* Disks of the held pool (no service call); needs the reference. */
int dsm_get_diskgroup_disks(const dsm_diskgroupinfo_t *diskgroupinfo, dsm_disk_t *disks,
    int num_alloc_disks, int *num_avail_disks);
/* "DSM::flags" of the held pool; 2050200 without reference or property. */
int dsm_diskgroup_flags(const dsm_diskgroupinfo_t *diskgroupinfo, int64_t *value);
/* "DSM::flagsExt" of the held pool; 2050200 without reference or property. */
int dsm_diskgroup_flagsext(const dsm_diskgroupinfo_t *diskgroupinfo, uint64_t *value);
/* "DSM::totalPhysicalCapacity" of the held pool; 2050200 when missing. */
int dsm_diskgroup_physcapacity(const dsm_diskgroupinfo_t *diskgroupinfo, int64_t *value);
/* "DSM::maxIOStreams" of the held pool; 2050200 when missing. */
int dsm_diskgroup_max_io_streams(const dsm_diskgroupinfo_t *diskgroupinfo,
    int64_t *value);
/* "DSM::usedPhysicalSpace" of the held pool; 2050200 when missing. */
int dsm_diskgroup_physused(const dsm_diskgroupinfo_t *diskgroupinfo, int64_t *value);
/* Creates a pool on the servers from the disks; fills diskgroupinfo (no reference); 2000053 when audited. */
int dsm_create_diskgroup(const dsm_diskgroup_t *diskgroup,
    const dsm_storageserver_t *stservers, int num_stservers, const dsm_disk_t *disks,
    int num_disks, dsm_dbmode db_mode, dsm_diskgroupinfo_t *diskgroupinfo,
    const char *reason);
/* Imports a pool through the servers; fills diskgroupinfo (no reference). */
int dsm_import_diskgroup(const dsm_diskgroup_t *diskgroup,
    const dsm_storageserver_t *stservers, int num_stservers,
    dsm_diskgroupinfo_t *diskgroupinfo);
/* Merges the secondary pool into the primary; fills diskgroupinfo; 2000053 when audited. */
int dsm_merge_diskgroups(const dsm_diskgroup_t *primary_diskgroup,
    const dsm_diskgroup_t *secondary_diskgroup, dsm_diskgroupinfo_t *diskgroupinfo,
    const char *reason);
/* Deletes the pool; fills diskgroupinfo with the returned pool; 2000053 when audited. */
int dsm_delete_diskgroup(const dsm_diskgroup_t *diskgroup, dsm_dbmode db_mode,
    dsm_diskgroupinfo_t *diskgroupinfo, const char *reason);
/* Deletes the pool in database mode 1 without a reason. */
int dsm_unimport_diskgroup(const dsm_diskgroup_t *diskgroup,
    dsm_diskgroupinfo_t *diskgroupinfo);
/* Adds a storage server to the pool; 2000053 when audited. */
int dsm_add_diskgroup_stserver(const dsm_diskgroup_t *diskgroup,
    const dsm_storageserver_t *stserver, const char *reason);
/* Removes a storage server from the pool; 2000053 when audited. */
int dsm_remove_diskgroup_stserver(const dsm_diskgroup_t *diskgroup,
    const dsm_storageserver_t *stserver, const char *reason);
/* Sends the pool fields selected by update_mask; fills diskgroupinfo_out; 2000053 when audited. */
int dsm_update_diskgroup(const dsm_diskgroupinfo_t *diskgroupinfo_in,
    const unsigned char *update_mask, dsm_dbmode db_mode,
    dsm_diskgroupinfo_t *diskgroupinfo_out, const char *reason);
/* Sets the pool state; fills diskgroupinfo. */
int dsm_update_diskgroup_state(const dsm_diskgroup_t *diskgroup, int kdu_state,
    dsm_dbmode db_mode, dsm_diskgroupinfo_t *diskgroupinfo, const char *reason);
/* Sets the pool's "DSM::flags"; fills diskgroupinfo. */
int dsm_update_diskgroup_flags(const dsm_diskgroup_t *diskgroup, int64_t kdu_flags,
    dsm_dbmode db_mode, dsm_diskgroupinfo_t *diskgroupinfo, const char *reason);
/* Sets the pool's "DSM::flagsExt"; fills diskgroupinfo. */
int dsm_update_diskgroup_flagsext(const dsm_diskgroup_t *diskgroup, uint64_t kdu_flagsext,
    dsm_dbmode db_mode, dsm_diskgroupinfo_t *diskgroupinfo, const char *reason);
/* Sets the pool's "DSM::maxIOStreams"; fills diskgroupinfo. */
int dsm_update_diskgroup_max_io_streams(const dsm_diskgroup_t *diskgroup,
    int32_t max_io_streams, dsm_dbmode db_mode, dsm_diskgroupinfo_t *diskgroupinfo,
    const char *reason);
/* Asks the service to refresh the pool's replication properties; fills diskgroupinfo. */
int dsm_refresh_diskgroup_replication_props(const dsm_diskgroup_t *diskgroup,
    dsm_diskgroupinfo_t *diskgroupinfo, const char *reason);
/* One volume's details (input and output may be the same record); holds a reference. */
int dsm_get_diskvolumeinfo(const dsm_diskvolume_t *diskvolume, dsm_dbmode db_mode,
    dsm_diskvolumeinfo_t *diskvolumeinfo);
/* As dsm_get_diskvolumeinfo, through the extended service query. */
int dsm_get_diskvolumeinfoEX(const dsm_diskvolume_t *diskvolume, dsm_dbmode db_mode,
    dsm_diskvolumeinfo_t *diskvolumeinfo);
/* The volume with this media id; holds a reference. */
int dsm_get_diskvolumeinfo_by_mediaid(const char *diskvolume_mediaid,
    dsm_diskvolumeinfo_t *diskvolumeinfo);
/* The volume with this media id and its "DSM::flags"; holds a reference. */
int dsm_get_diskvolumeinfo_and_flags_by_mediaid(const char *diskvolume_mediaid,
    dsm_diskvolumeinfo_t *diskvolumeinfo, uint64_t *flags);
/* The volume of this name on the storage server; holds a reference. */
int dsm_get_diskvolumeinfo_by_name(const char *master_server,
    const dsm_storageserver_t *stserver, const char *diskvolumeid,
    dsm_diskvolumeinfo_t *diskvolumeinfo);
/* The volume of this id on the storage server; holds a reference. */
int dsm_get_diskvolumeinfo_by_volumeid(const char *master_server,
    const dsm_storageserver_t *stserver, const char *diskvolumeid,
    dsm_diskvolumeinfo_t *diskvolumeinfo);
/* Volumes of the pool on the servers, each holding a reference. */
int dsm_get_diskvolumeinfo_list(const dsm_storageserver_t *stservers, int num_stservers,
    const dsm_diskgroup_t *diskgroup, dsm_dbmode db_mode,
    dsm_diskvolumeinfo_t *diskvolumes, int num_alloc_diskvolumes,
    int *num_avail_diskvolumes);
/* Reloads the volume from the service, replacing its reference; extract non-zero refills the fields. */
int dsm_diskvolume_load(dsm_diskvolumeinfo_t *diskvolumeinfo, int extract);
/* "DSM::flags" of the held volume; 2050200 without reference or property. */
int dsm_diskvolume_flags(const dsm_diskvolumeinfo_t *diskvolumeinfo, uint64_t *payload);
/* "DSM::totalPhysicalCapacity" of the held volume; 2050200 when missing. */
int dsm_diskvolume_physcapacity(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    uint64_t *payload);
/* "DSM::freePhysicalSpace" of the held volume; 2050200 when missing. */
int dsm_diskvolume_freephys(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    uint64_t *payload);
/* "DSM::activeReadStreams" of the held volume; 2050200 when missing. */
int dsm_diskvolume_num_active_read_streams(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    uint64_t *payload);
/* "DSM::activeWriteStreams" of the held volume; 2050200 when missing. */
int dsm_diskvolume_num_active_write_streams(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    uint64_t *payload);
/* The index-th "DSM::ReplicationSourceSpec" of the held volume into repname; 2050013 when absent. */
int dsm_get_diskvolume_repsource(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    unsigned int index, char *repname, int repname_len);
/* The index-th "DSM::ReplicationTargetSpec" of the held volume into repname; 2050013 when absent. */
int dsm_get_diskvolume_reptarget(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    unsigned int index, char *repname, int repname_len);
/* Creates a volume on the disks (volume_config of the first disk); fills diskvolumeinfo. */
int dsm_create_diskvolume(const dsm_diskvolume_t *diskvolume, const dsm_disk_t *disks,
    int num_disks, dsm_dbmode db_mode, dsm_diskvolumeinfo_t *diskvolumeinfo);
/* Creates a volume from a filled info record; fills diskvolumeinfo; 2000053 when audited. */
int dsm_create_diskvolume_from_diskvolumeinfo(
    const dsm_diskvolumeinfo_t *diskvolumeinfo_in, const dsm_disk_t *disks, int num_disks,
    dsm_dbmode db_mode, dsm_diskvolumeinfo_t *diskvolumeinfo, const char *reason);
/* Adds an existing volume with its disks to its pool; fills diskvolumeinfo_out. */
int dsm_add_diskvolume(const dsm_diskvolume_t *diskvolume, const dsm_disk_t *disks,
    int num_disks, dsm_diskvolumeinfo_t *diskvolumeinfo_out);
/* Deletes the volume; fills diskvolumeinfo; 2000053 when audited. */
int dsm_delete_diskvolume(const dsm_diskvolume_t *diskvolume, dsm_dbmode db_mode,
    dsm_diskvolumeinfo_t *diskvolumeinfo, const char *reason);
/* Sends the volume fields selected by update_mask; fills diskvolumeinfo_out. */
int dsm_update_diskvolume(const dsm_diskvolumeinfo_t *diskvolumeinfo_in,
    const unsigned char *update_mask, dsm_dbmode db_mode,
    dsm_diskvolumeinfo_t *diskvolumeinfo_out);
/* Sets the volume state; fills diskvolumeinfo; 2000053 when audited. */
int dsm_update_diskvolume_state(const dsm_diskvolume_t *diskvolume, int state,
    dsm_dbmode db_mode, dsm_diskvolumeinfo_t *diskvolumeinfo, const char *reason);
/* Sets the volume's internal state bits; fills diskvolumeinfo. */
int dsm_update_diskvolume_internal_state(const dsm_diskvolume_t *diskvolume,
    unsigned int state, dsm_dbmode db_mode, dsm_diskvolumeinfo_t *diskvolumeinfo,
    const char *reason);
/* Sets "DSM::flags" of the held volume at the service; needs the reference. */
int dsm_set_diskvolume_flags(dsm_diskvolumeinfo_t *diskvolumeinfo, int64_t flags);
/* Adds a replication source to the held volume at the service; needs the reference. */
int dsm_set_diskvolume_repsource(dsm_diskvolumeinfo_t *diskvolumeinfo,
    const char *repname);
/* Adds a replication target to the held volume at the service; needs the reference. */
int dsm_set_diskvolume_reptarget(dsm_diskvolumeinfo_t *diskvolumeinfo,
    const char *repname);
/* Mount points of the held pool, each holding a MountPoint reference. */
int dsm_get_diskgroup_mountpoints(const dsm_diskgroupinfo_t *diskgroupinfo,
    dsm_mountpoint_t *mountpoints, int num_alloc_mps, int *num_avail_mps);
/* "DSM::diskVolumeName" of the held mount point, cut to diskvolume_name_len. */
int dsm_mountpoint_dvname(const dsm_mountpoint_t *mountpoint, char *diskvolume_name,
    int diskvolume_name_len);
/* "DSM::flags" of the held mount point; 2050200 when missing. */
int dsm_mountpoint_flags(const dsm_mountpoint_t *mountpoint, uint64_t *kdu_flags);
/* Sets a global attribute; its previous value goes to old_value (cut to old_value_len). */
int dsm_set_global_attribute(const char *name, const char *value, char *old_value,
    int old_value_len);
/* Server type name of a disk subtype into storageserver_type (cut to sts_type_len). */
int dsm_get_storageserver_type(int disk_subtype, char *storageserver_type,
    int sts_type_len);
/* Disk subtype of a server type name. */
int dsm_get_disk_subtype(const char *storageserver_type, uint32_t *disk_subtype);
/* Logical storage units behind a label in a malloc'ed array (caller frees). */
int dsm_get_ELP_LSU_list_by_storage_unit_label(const char *master_server,
    const char *storage_unit_label, const char *server_type, int query_option,
    dsm_ELP_lsu_t **lsu_list, int *num_lsus);
/* qsort comparison of two units: storage server name, then server type. */
int dsm_sort_ELP_lsu_list_by_ssname_sstype(const dsm_ELP_lsu_t *a,
    const dsm_ELP_lsu_t *b);
/* Storage servers of the machine, each holding a StorageServerInfo reference. */
int dsm_get_storageserverinfo_list(const char *machine_name, dsm_dbmode db_mode,
    dsm_storageserverinfo_t *stservers, int num_alloc_stservers,
    int *num_avail_stservers);
/* One validated storage server; replaces the record's reference with a new one. */
int dsm_get_storageserverinfo(const dsm_storageserver_t *stserver, dsm_dbmode db_mode,
    dsm_storageserverinfo_t *stserverinfo);
/* One storage server without validation; replaces the record's reference. */
int dsm_get_storageserverinfo_novalidate(const dsm_storageserver_t *stserver,
    dsm_dbmode db_mode, dsm_storageserverinfo_t *stserverinfo);
/* Configuration items of the server; items without name or value are skipped. */
int dsm_get_storageserver_configitems(const dsm_storageserver_t *stserver,
    dsm_dbmode db_mode, dsm_configitem_t *configitems, int num_alloc,
    int *num_avail_configitems);
/* Sends the configuration items to the server; 2000053 when audited. */
int dsm_update_storageserver_configitems(const dsm_storageserver_t *stserver,
    dsm_dbmode db_mode, const dsm_configitem_t *configitems, unsigned int num_configitems,
    const char *reason);
/* Creates the storage server; 2000053 when audited. */
int dsm_create_storageserver(const dsm_storageserver_t *stserver, dsm_dbmode db_mode,
    const char *reason);
/* Updates the storage server; 2000053 when audited. */
int dsm_update_storageserver(const dsm_storageserver_t *stserver, dsm_dbmode db_mode,
    const char *reason);
/* Deletes the storage server; 2000053 when audited. */
int dsm_delete_storageserver(const dsm_storageserver_t *stserver, dsm_dbmode db_mode,
    const char *reason);
/* Sets the server's "DSM::flags"; fills stserverinfo. */
int dsm_update_storageserver_flags(const dsm_storageserver_t *stserver, int64_t flags,
    dsm_dbmode db_mode, dsm_storageserverinfo_t *stserverinfo, const char *reason);
/* Sets the server's "DSM::flagsExt"; fills stserverinfo. */
int dsm_update_storageserver_flagsext(const dsm_storageserver_t *stserver,
    uint64_t flagsext, dsm_dbmode db_mode, dsm_storageserverinfo_t *stserverinfo,
    const char *reason);
/* Sets the server's "DSM::AdminUp"; fills stserverinfo. */
int dsm_update_storageserver_state(const dsm_storageserver_t *stserver,
    unsigned int state, dsm_dbmode db_mode, dsm_storageserverinfo_t *stserverinfo,
    const char *reason);
/* "DSM::state" of the held server; 2050200 when missing. */
int dsm_storageserver_state(const dsm_storageserverinfo_t *stserverinfo,
    uint32_t *kdu_state);
/* "DSM::flags" of the held server; 2050200 when missing. */
int dsm_storageserver_flags(const dsm_storageserverinfo_t *stserverinfo,
    uint64_t *kdu_flags);
/* "DSM::flagsExt" of the held server; 2050200 when missing. */
int dsm_storageserver_flagsext(const dsm_storageserverinfo_t *stserverinfo,
    uint64_t *kdu_flagsext);
/* Array types ("Arraytype.List") of the held server as display and internal names. */
int dsm_get_storageserver_arraytypes(const dsm_storageserverinfo_t *stserverinfo,
    dsm_name_t *at_display_names, dsm_name_t *at_names, int num_alloc_names,
    int *num_avail_names);
/* Array types of a data mover as display and internal names. */
int dsm_get_datamover_arraytypes(const char *datamover, dsm_name_t *at_display_names,
    dsm_name_t *at_names, int num_alloc_names, int *num_avail_names);
/* Enclosures of the servers (no reference held). */
int dsm_get_enclosure_list(const dsm_storageserver_t *stservers, int num_stservers,
    dsm_enclosure_t *enclosures, int num_alloc_enclosures, int *num_avail_enclosures);
/* Enclosure details of the servers, each holding an EnclosureInfo reference. */
int dsm_get_enclosureinfo_list(const dsm_storageserver_t *stservers, int num_stservers,
    dsm_enclosureinfo_t *enclosures, int num_alloc_enclosures, int *num_avail_enclosures);
/* Disks of the held enclosure (no service call); needs the reference. */
int dsm_get_enclosure_disks(const dsm_enclosureinfo_t *enclosureinfo, dsm_disk_t *disks,
    int num_alloc_disks, int *num_avail_disks);
/* Storage servers of the held enclosure (no service call); needs the reference. */
int dsm_get_enclosure_stservers(const dsm_enclosureinfo_t *enclosureinfo,
    dsm_storageserver_t *stservers, int num_alloc_stservers, int *num_avail_stservers);
/* Imports the enclosure as the named pool; fills diskgroupinfo (no reference). */
int dsm_import_enclosure(const dsm_enclosureinfo_t *enclosureinfo, const char *diskgroup,
    const char *master_server, const dsm_storageserver_t *stservers, int num_stservers,
    int num_share_stservers, dsm_diskgroupinfo_t *diskgroupinfo);

/* Reference release: only an argument fault fails. Releasing a record whose
 * object_ref is NULL does nothing. */
/* Releases the StorageServerInfo reference of the record and clears it; 2050200 for NULL. */
int dsm_removeref_storageserver(dsm_storageserverinfo_t *stserverinfo);
/* Releases the references of num_stservers records; 2050200 for NULL or a negative count. */
int dsm_removeref_storageserver_list(dsm_storageserverinfo_t *stservers,
    int num_stservers);
/* Releases the DiskGroupInfo reference of the record and clears it; 2050200 for NULL. */
int dsm_removeref_diskgroupinfo(dsm_diskgroupinfo_t *diskgroupinfo);
/* Releases the references of num_diskgroups records; 2050200 for NULL or a negative count. */
int dsm_removeref_diskgroupinfo_list(dsm_diskgroupinfo_t *diskgroups, int num_diskgroups);
/* Releases the DiskVolumeInfo reference of the record and clears it; 2050200 for NULL. */
int dsm_removeref_diskvolumeinfo(dsm_diskvolumeinfo_t *diskvolumeinfo);
/* Releases the references of num_diskvolumes records; 2050200 for NULL or a negative count. */
int dsm_removeref_diskvolumeinfo_list(dsm_diskvolumeinfo_t *diskvolumes,
    int num_diskvolumes);
/* Releases the EnclosureInfo reference of the record and clears it; 2050200 for NULL. */
int dsm_removeref_enclosureinfo(dsm_enclosureinfo_t *enclosureinfo);
/* Releases the references of num_enclosures records; 2050200 for NULL or a negative count. */
int dsm_removeref_enclosureinfo_list(dsm_enclosureinfo_t *enclosures, int num_enclosures);
/* Releases the MountPoint reference of the record and clears it; 2050200 for NULL. */
int dsm_removeref_mountpoint(dsm_mountpoint_t *mountpoint);
/* Releases the references of num_mountpoints records; 2050200 for NULL or a negative count. */
int dsm_removeref_mountpoint_list(dsm_mountpoint_t *mountpoints, int num_mountpoints);

/* Fast (rapidor) backup validation. The catalog records come from the
 * product's catalog library; they are only passed through here. Results and
 * reasons go to the host log, not to the library's logger. */
struct CLASS;
struct CLASS_ATTR;
/* 1 when the storage unit supports fast backups or 'name' is not a storage
 * unit, 0 otherwise. *is_stu is set to 1 or 0 once the catalog was asked;
 * callers set it to 0 first. */
int storage_unit_support_fast_backup(const char *name, int *is_stu);
/* 1 when the storage group supports fast backups or 'name' is not a storage
 * group, 0 otherwise; *is_stgroup as for storage units. */
int storage_group_support_fast_backup(const char *name, int *is_stgroup);
/* 1 when the residence (SLP, storage group or storage unit) supports fast
 * backups, 0 otherwise. */
int residence_support_fast_backup(const char *residence);
/* 0 when every residence the policy and its schedules name supports fast
 * backups (or fast backups are off), else 5300, 5301 or 5302. */
int validate_fast_backup_residence(const struct CLASS *policy, const struct CLASS_ATTR *attr);
/* As validate_fast_backup_residence, after checking that the policy type
 * and client options allow fast backups (144 otherwise). */
int validate_fast_backup_enabled(const struct CLASS *policy, const struct CLASS_ATTR *attr);
/* validate_fast_backup_enabled on the catalog's policy 'classname'; the
 * catalog status when it cannot be read. */
int validate_fast_backup_by_classname(const char *classname, const struct CLASS_ATTR *attr);
/* The storage servers that are up and whose type offers fast backups: 0 with
 * a malloc'ed list (or NULL and a count of 0 when there is none), 20 for a
 * NULL argument, 36 when memory runs out, or the library's status. Free the
 * list with query_storage_server_free. */
int query_storage_server_support_fast_backup(dsm_storageserverinfo_t **sts_info_buf,
    int *sts_avail_count);
/* Frees a list from query_storage_server_support_fast_backup; NULL is a no-op. */
void query_storage_server_free(dsm_storageserverinfo_t *sts_info_buf);

#if defined(DSM_BUILDING_LIBRARY) && defined(__GNUC__)
#pragma GCC visibility pop
#endif

#ifdef __cplusplus
}
#endif

#endif /* DSM_H */
