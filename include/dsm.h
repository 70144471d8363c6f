/**
 * @file dsm.h
 * @brief libdsm - disk storage management for the backup product's daemons
 * and commands.
 *
 * Every object lives in the remote DiskServiceMgr on the media-manager (EMM)
 * server; this library validates arguments, connects (and reconnects) to it,
 * converts the caller's flat records into the service's values and back, and
 * turns every failure into an integer status with a logged explanation.
 *
 * Ownership, once for the whole interface:
 *  - Records and arrays passed to the library are the caller's. The library
 *    never allocates or frees a record, except the arrays returned by the
 *    storage unit label queries and by the fast backup storage server query,
 *    which it allocates with malloc() and the caller releases with free()
 *    (after releasing the references they hold, if any).
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
 *
 * Arguments are checked in the order of the parameter list before anything
 * is sent; the first NULL pointer or negative count among those a function
 * checks (its block says which) is logged with the parameter's name and ends
 * the call with 2050200. A function that talks to
 * the service then connects (2050201 when it cannot), builds its request,
 * calls one operation (2050202 when it answers nothing) and converts the
 * answer. A service exception returns its disk service error code (-1 when
 * it carries none); an ORB, standard library or other failure returns
 * 2050301, 2050302 or 2050303. Output records may be partly written on
 * failure. A record or element whose conversion fails is logged and left as
 * far as it got; the call still succeeds.
 *
 * The list protocol: most list functions take the caller's array, the
 * number of elements allocated (num_alloc_..., 0 or more) and a pointer to
 * the available count (num_avail_...). Once the service has answered they
 * store the number of elements it returned in the available count and fill
 * elements 0 to min(available, allocated) - 1 in the service's order. Fewer
 * allocated than available is no error: the status is 0, and the caller may
 * call again with a larger array. Elements beyond those filled are not
 * touched. The array pointer must not be NULL, even with 0 allocated. A
 * filled element's object_ref is overwritten: a reference it held before is
 * dropped without release, so pass elements that hold none (zeroed ones).
 *
 * @section dsm_every_pool How to list every pool
 *
 * The pool lists dsm_get_diskgroup_list() and dsm_get_diskgroupinfo_list()
 * send the storage servers they are given, and the service answers an empty
 * server list with every pool. Pass a non-NULL dsm_storageserver_t array
 * with num_stservers 0: the array is then not read, but it must not be NULL
 * (a NULL array fails with 2050200 whatever the count). The same holds for
 * the enclosure lists (dsm_get_enclosure_list(), dsm_get_enclosureinfo_list()).
 *
 * @code
 * dsm_storageserver_t no_server;
 * dsm_diskgroupinfo_t pools[64];
 * int avail = 0;
 * int rc;
 *
 * memset(pools, 0, sizeof pools);
 * rc = dsm_get_diskgroupinfo_list(&no_server, 0, 0, 0, DSM_DBMODE_0,
 *                                 pools, 64, &avail);
 * if (rc == 0) {
 *     int filled = avail < 64 ? avail : 64;
 *     ... use pools[0] to pools[filled - 1]; avail > 64 means call again
 *         with a larger array ...
 *     dsm_removeref_diskgroupinfo_list(pools, filled);
 * }
 * @endcode
 */
#ifndef DSM_H
#define DSM_H

#include <stdbool.h>
#include <stdint.h>

#include "dsm_version.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The library is built with hidden visibility; what this header declares is
 * its whole exported interface. */
#if defined(DSM_BUILDING_LIBRARY) && defined(__GNUC__)
#pragma GCC visibility push(default)
#endif

/**
 * @defgroup dsm_statuses Statuses
 * @brief The library's own status values.
 *
 * Every function returns 0 on success. The values below are the library's
 * own; any other value is an error code of the disk service passed through
 * unchanged. The fast backup validators return the product's own statuses
 * instead (see @ref dsm_fastbackup).
 * @{
 */
#define DSM_OK                       0        /**< success */
#define DSM_E_SERVICE               (-1)      /**< service exception without usable code */
#define DSM_E_CONFIG_ITEM            5        /**< config item without name or value (logged by the listing, which goes on) */
#define DSM_E_AUDIT              2000053      /**< audit refused or flagged the change */
#define DSM_E_NOMEM              2050001      /**< memory exhausted */
#define DSM_E_NO_REPLICATION     2050013      /**< no such replication source/target */
#define DSM_E_INVALID_ARG        2050200      /**< invalid argument */
#define DSM_E_NO_CONNECTION      2050201      /**< DiskServiceMgr cannot be reached */
#define DSM_E_NULL_RESULT        2050202      /**< the service returned no value */
#define DSM_E_CORBA              2050301      /**< ORB (system or unexpected user) exception */
#define DSM_E_STD                2050302      /**< standard library exception */
#define DSM_E_UNKNOWN            2050303      /**< any other exception */
/** @} */

/**
 * @defgroup dsm_settings Settings, connection and logging
 * @brief The library's version, logging function, ORB, EMM server and
 * connection check.
 *
 * Make these settings before using the library from several threads. Only
 * dsmlib_ping() talks to the service.
 * @{
 */

/**
 * @brief The version of the library actually loaded.
 *
 * Nothing is sent to the service. Compare the answer with
 * DSM_VERSION_STRING, the version this caller was built against.
 *
 * @return the version as "MAJOR.MINOR.PATCH": a constant string of the
 *         library's, never NULL, not to be freed
 */
const char *dsmlib_version(void);

/**
 * @name Severities
 * Severities passed to the logging function (single bits).
 * @{
 */
#define DSM_SEV_TRACE     2   /**< inputs, "Calling dsm->...", values read back */
#define DSM_SEV_PROGRESS  4   /**< settings and connection */
#define DSM_SEV_WARNING   8   /**< an element that could not be converted */
#define DSM_SEV_ERROR    16   /**< a failed call */
#define DSM_SEV_FATAL    32   /**< an unexpected failure */
/** @} */

/**
 * @brief The caller's logging function.
 *
 * It receives, in this order: the severity (a DSM_SEV_ value), the composed
 * text, the localized text of a service or argument exception (else NULL),
 * the name of the function that logs, its source unit and line. It is called
 * with no lock held, from whichever thread made the call that logs. The
 * strings are valid during the call only.
 */
typedef void (*dsmlib_logger_t)(int severity, const char *text, const char *localized,
                                const char *function, const char *source, int line);

/**
 * @brief Installs the logging function and the locale of translated
 * exception texts.
 *
 * Nothing is sent to the service.
 *
 * @param[in] logger the function every message goes to; NULL installs one
 *            that discards everything
 * @param[in] locale locale name into which the messages of service and
 *            argument exceptions are translated; the pointer itself is
 *            stored, so the string must stay valid while it is in use; NULL
 *            stores a copy of the process locale name as it is now
 * @return the previous logging function; never NULL (the discarding one when
 *         none was installed)
 */
dsmlib_logger_t dsmlib_set_logger(dsmlib_logger_t logger, const char *locale);

/**
 * @brief The current logging function.
 *
 * @return the installed logging function; never NULL (installs and returns
 *         the discarding one when none was installed)
 */
dsmlib_logger_t dsmlib_get_logger(void);

/**
 * @brief The locale into which exception texts are translated.
 *
 * @return the pointer given to dsmlib_set_logger(); until one is given, a
 *         copy of the process locale name taken on first use (the library's
 *         buffer); never NULL
 */
const char *dsmlib_get_logger_locale(void);

/**
 * @brief The caller's narrowing function.
 *
 * It turns a plain object reference (a CORBA::Object_ptr, borrowed) into a
 * new DiskServiceMgr reference (returned as owned), or returns NULL when the
 * object is not one.
 */
typedef void *(*dsmlib_DSM_context_t)(void *object);

/**
 * @brief Stores the narrowing function for newly connected references.
 *
 * Nothing is sent. The function is used at the next connection; a
 * connection already made stays as it is.
 *
 * @param[in] narrow the narrowing function; NULL keeps the stored one (the
 *            generated narrowing when none is stored)
 */
void dsmlib_set_DSM_context(dsmlib_DSM_context_t narrow);

#ifdef __cplusplus
class Orb;
#else
/** @brief The host layer's ORB wrapper; opaque to a C caller. */
typedef struct Orb Orb;
#endif

/**
 * @brief Chooses the ORB the library connects with, or answers the one in
 * use.
 *
 * Nothing is sent to the service.
 *
 * @param[in] orb the caller's ORB wrapper, which stays the caller's (the
 *            library never deletes it); NULL asks for the ORB in use, making
 *            the library's private ORB when none is set
 * @return @p orb when it is not NULL; otherwise the ORB in use, or NULL when
 *         none could be made (the failure is logged)
 */
Orb *dsmlib_set_orb(Orb *orb);

/**
 * @brief Marks the value factories as registered without registering them.
 *
 * For a process that registers the factories with its ORB itself. Nothing
 * is sent; the call makes the library's private ORB when none is set, as
 * dsmlib_set_orb(NULL) does.
 *
 * @return false, always
 */
bool dsmlib_set_noOBVregistration(void);

/**
 * @brief Stores the EMM server name, or reads it from the product
 * configuration.
 *
 * Nothing is sent; the next call that connects reconnects when the stored
 * name differs from the one it is connected to.
 *
 * @param[in] name the EMM server; at most 255 characters are kept; NULL reads
 *            the EMM server and the master server (the first server, when
 *            there is one) from the product configuration and stores them
 * @return the stored EMM name, in a buffer of the library's that stays valid
 *         (its content changes when the name is set again); NULL when @p name
 *         is NULL and the configuration cannot be read or names no EMM
 *         server (the stored names then stay as they were)
 */
const char *dsmlib_set_emmserver(const char *name);

/**
 * @brief The EMM server name.
 *
 * When none is stored yet, it is read from the product configuration as
 * dsmlib_set_emmserver(NULL) does.
 *
 * @return the stored name, in the library's buffer; NULL when it cannot be
 *         determined
 */
const char *dsmlib_get_emmserver(void);

/**
 * @brief The master server name.
 *
 * When none is stored yet, the product configuration is read (its first
 * server), as dsmlib_set_emmserver(NULL) does.
 *
 * @return the stored name, in the library's buffer; never NULL, empty when
 *         unknown
 */
const char *dsmlib_get_masterserver(void);

/**
 * @brief Connects to DiskServiceMgr on the EMM server, or proves the
 * connection alive.
 *
 * A cached connection is checked with one ping and used when it answers and
 * still belongs to the stored EMM server; otherwise the library connects
 * anew (registering the value factories once) and caches the connection.
 *
 * @return 0; 2050201 (the service cannot be reached, or the EMM server is
 *         unknown); 2050302, 2050303 (an unexpected failure)
 */
int dsmlib_ping(void);

/**
 * @brief Database mode sent with most pool, volume and storage server
 * operations.
 *
 * One of DSM_DBMODE_0, DSM_DBMODE_1 and DSM_DBMODE_2; a function given any
 * other value fails with 2050200 before it calls its operation.
 */
typedef int dsm_dbmode;
#define DSM_DBMODE_0 0 /**< database mode 0 */
#define DSM_DBMODE_1 1 /**< database mode 1 */
#define DSM_DBMODE_2 2 /**< database mode 2 */

/** @} */

/**
 * @defgroup dsm_records Records
 * @brief The caller's records and the values stored in them.
 *
 * Flat, caller-owned records. A char[N] field the library fills holds at
 * most N-1 characters and is always terminated; an empty string means "not
 * set". Character fields are read at most to their declared size; a field
 * with no terminating NUL is taken whole. Where a record embeds another, the
 * embedded one comes first so that a pointer to the larger record can stand
 * for the smaller one.
 *
 * An info record's object_ref is NULL or holds one counted reference to the
 * service value it was last filled from; the matching dsm_removeref_
 * function releases it (see @ref dsm_removeref).
 * @{
 */

/**
 * @name Pool states
 * Values of kdu_state in dsm_diskgroupinfo_t.
 * @{
 */
#define DSM_DG_STATE_UP     1   /**< the pool is up */
#define DSM_DG_STATE_DOWN   2   /**< the pool is down */
#define DSM_DG_STATE_OTHER  3   /**< any other state reported by the service */
/** @} */

/**
 * @name Volume states
 * Values of kdu_state in dsm_diskvolumeinfo_t.
 * @{
 */
#define DSM_DV_STATE_NONE   0   /**< neither up nor down */
#define DSM_DV_STATE_UP     1   /**< the volume is up */
#define DSM_DV_STATE_DOWN   2   /**< the volume is down */
/** @} */

/**
 * @name Tri-state
 * Values of availability and connectivity.
 * @{
 */
#define DSM_TRI_UNKNOWN     0   /**< not reported */
#define DSM_TRI_YES         1   /**< yes */
#define DSM_TRI_NO          2   /**< no */
/** @} */

/**
 * @name Configuration value kinds
 * Values of data_type in dsm_configitem_t; the service numbers the same
 * kinds differently (its code is given with each).
 * @{
 */
#define DSM_CONFIG_UNKNOWN  0   /**< a kind the library does not know */
#define DSM_CONFIG_TYPE_1   1   /**< kind 1 (the service's kind 2) */
#define DSM_CONFIG_TYPE_2   2   /**< kind 2 (the service's kind 1) */
#define DSM_CONFIG_TYPE_3   3   /**< kind 3 (the service's kind 0) */
#define DSM_CONFIG_TYPE_4   4   /**< kind 4 (the service's kind 3) */
/** @} */

/** @brief Names a disk pool. */
typedef struct dsm_diskgroup {
    char name[257];                 /**< pool name */
    char id[257];                   /**< object id at the service */
    char server_type[65];           /**< storage server type of the pool */
    char master_server[1025];       /**< master server that owns the pool */
    char access_media_server[1025]; /**< media server the pool is reached through; empty: none */
} dsm_diskgroup_t;

/**
 * @brief A disk pool with its attributes.
 *
 * object_ref: NULL or one counted reference to a DiskGroupInfo; release it
 * with dsm_removeref_diskgroupinfo().
 */
typedef struct dsm_diskgroupinfo {
    dsm_diskgroup_t diskgroup;      /**< identity of the pool */
    int32_t storage_type;           /**< object type number of the pool value at the service */
    int64_t total_capacity;         /**< total capacity */
    int64_t used_space;             /**< used space */
    int32_t kdu_state;              /**< DSM_DG_STATE_UP, _DOWN or _OTHER (0 until filled) */
    int32_t availability;           /**< tri-state (DSM_TRI_): YES when not imported, NO when imported */
    int32_t connectivity;           /**< tri-state (DSM_TRI_) */
    int32_t high_watermark;         /**< high water mark, as the service sends it */
    int32_t low_watermark;          /**< low water mark */
    int32_t num_diskvolumes;        /**< number of volumes (filled by the queries with details) */
    int32_t num_disks;              /**< number of disks (filled by the queries with details) */
    int32_t num_stservers;          /**< number of storage servers (filled by the queries with details) */
    char system_tag[257];           /**< tag set by the system */
    char user_tag[257];             /**< tag set by the user */
    void *object_ref;               /**< NULL or one counted reference to the pool's DiskGroupInfo */
} dsm_diskgroupinfo_t;

/** @brief Names a disk volume. */
typedef struct dsm_diskvolume {
    char name[257];                 /**< volume name */
    char id[4097];                  /**< object id at the service */
    dsm_diskgroup_t diskgroup;      /**< the pool the volume belongs to */
} dsm_diskvolume_t;

/**
 * @brief A disk volume with its attributes.
 *
 * Begins exactly like dsm_diskvolume_t, so one record may serve as volume
 * input and info output. object_ref: NULL or one counted reference to a
 * DiskVolumeInfo; release it with dsm_removeref_diskvolumeinfo().
 */
typedef struct dsm_diskvolumeinfo {
    char name[257];                 /**< volume name */
    char id[4097];                  /**< object id at the service */
    dsm_diskgroup_t diskgroup;      /**< the pool the volume belongs to */
    char disk_media_id[33];         /**< media id of the volume */
    int64_t total_capacity;         /**< capacity */
    int64_t free_space;             /**< free space */
    int64_t potential_free_space;   /**< potential free space */
    int64_t committed_space;        /**< committed space */
    int64_t precommitted_space;     /**< pre-committed space */
    int32_t kdu_state;              /**< DSM_DV_STATE_NONE, _UP or _DOWN */
    int32_t num_read_mounts;        /**< current readers */
    int32_t max_read_mounts;        /**< maximum readers */
    int32_t num_write_mounts;       /**< current writers */
    int32_t max_write_mounts;       /**< maximum writers */
    char system_tag[257];           /**< system tag or volume layout string */
    void *object_ref;               /**< NULL or one counted reference to the volume's DiskVolumeInfo */
} dsm_diskvolumeinfo_t;

/** @brief A storage server. */
typedef struct dsm_storageserver {
    char name[1025];                /**< storage server host name */
    char id[257];                   /**< object id at the service */
    char server_type[65];           /**< storage server type */
    int32_t storage_type;           /**< object type number of the server value at the service */
    char access_media_server[1025]; /**< media server the server is reached through; empty: none */
} dsm_storageserver_t;

/**
 * @brief A storage server with its flags.
 *
 * object_ref: NULL or one counted reference to a StorageServerInfo; release
 * it with dsm_removeref_storageserver().
 */
typedef struct dsm_storageserverinfo {
    dsm_storageserver_t stserver;   /**< the server */
    int32_t property_flags;         /**< the server's "DSM::flags", read as a 32-bit number (clamped) */
    void *object_ref;               /**< NULL or one counted reference to the server's StorageServerInfo */
} dsm_storageserverinfo_t;

/** @brief A configuration item of a storage server. */
typedef struct dsm_configitem {
    char name[65];                  /**< item name */
    char value[1025];               /**< item value as text */
    int32_t data_type;              /**< kind of value: DSM_CONFIG_TYPE_1 to _4, or DSM_CONFIG_UNKNOWN */
    char description[1025];         /**< description text */
    int32_t fixed;                  /**< 1 when fixed, else 0 */
} dsm_configitem_t;

/** @brief Names a disk array (enclosure). */
typedef struct dsm_enclosure {
    char name[257];                 /**< enclosure name */
    char id[257];                   /**< object id at the service */
    char server_type[65];           /**< server type */
} dsm_enclosure_t;

/**
 * @brief An enclosure with its attributes.
 *
 * object_ref: NULL or one counted reference to an EnclosureInfo; release it
 * with dsm_removeref_enclosureinfo().
 */
typedef struct dsm_enclosureinfo {
    dsm_enclosure_t enclosure;      /**< identity of the enclosure */
    char en_type[257];              /**< enclosure type text */
    char serial_number[257];        /**< serial number */
    char array_type[257];           /**< array type text */
    int64_t storage_capacity;       /**< capacity */
    int32_t availability;           /**< tri-state (DSM_TRI_) */
    int32_t connectivity;           /**< tri-state (DSM_TRI_) */
    int32_t num_disks;              /**< number of disks */
    int32_t num_stservers;          /**< number of storage servers */
    void *object_ref;               /**< NULL or one counted reference to the enclosure's EnclosureInfo */
} dsm_enclosureinfo_t;

/** @brief A disk of a pool or of an enclosure. */
typedef struct dsm_disk {
    char name[257];                 /**< disk name */
    char id[257];                   /**< object id at the service */
    int32_t availability;           /**< DSM_TRI_NO when the service marks it used, else DSM_TRI_YES */
    char volume_config[1025];       /**< volume configuration text; read by dsm_create_diskvolume() only */
} dsm_disk_t;

/**
 * @brief A mount point of a pool's volume on a host.
 *
 * object_ref: NULL or one counted reference to a MountPoint; release it with
 * dsm_removeref_mountpoint().
 */
typedef struct dsm_mountpoint {
    char path[4097];                /**< mount path */
    char machine_name[1025];        /**< host that mounts it ("DSM::storageServer") */
    int32_t state;                  /**< mount state number ("DSM::state") */
    void *object_ref;               /**< NULL, or one counted reference to the MountPoint when it carries further properties */
} dsm_mountpoint_t;

/** @brief One logical storage unit reached through a storage unit label. */
typedef struct dsm_ELP_lsu {
    char lsu_name[4097];            /**< name of the logical storage unit (a volume name) */
    char stserver_name[1025];       /**< storage server name (the first server of the pool) */
    char diskgroup_name[257];       /**< disk pool name */
    char server_type[65];           /**< storage server type */
    char master_server[1025];       /**< master server */
} dsm_ELP_lsu_t;

/** @brief One name buffer (array types, data movers). */
typedef char dsm_name_t[1025];
/** @brief One data mover name. */
typedef dsm_name_t dsm_datamover_name_t;

/** @} */

/**
 * @defgroup dsm_pools Disk pools
 * @brief List, read and change disk pools.
 *
 * The list functions follow the list protocol of this header (see dsm.h).
 * To list every pool, pass a non-NULL, possibly empty storage server array
 * with a count of 0 (@ref dsm_every_pool). A pool record that holds its
 * DiskGroupInfo reference (dsm_get_diskgroupinfo(),
 * dsm_get_diskgroupinfo_list(), the storage unit label query) lets the
 * member and property readers work without asking the service again.
 * @{
 */

/**
 * @brief Lists the pools that the given storage servers see, without their
 * details.
 *
 * Sends getDiskGroupList with the server list, @p first_option and
 * @p second_option as two booleans (non-zero is true) and the database mode.
 * Each filled element is cleared, then given the pool's identity, type,
 * capacity, used space, state, availability, connectivity, water marks and
 * tags; num_diskvolumes, num_disks and num_stservers stay 0.
 * Ownership: no element holds a reference afterwards (object_ref is cleared
 * with the element, without release).
 *
 * To list every pool, pass a non-NULL @p stservers with @p num_stservers 0
 * (@ref dsm_every_pool).
 *
 * @param[in]  stservers   the servers whose pools are wanted; must not be
 *                         NULL, even when @p num_stservers is 0 (it is then
 *                         not read)
 * @param[in]  num_stservers number of records in @p stservers, 0 or more; 0
 *                         sends an empty list, which the service answers
 *                         with every pool
 * @param[in]  first_option  sent as the operation's first boolean
 * @param[in]  second_option sent as the operation's second boolean
 * @param[in]  db_mode     database mode
 * @param[out] diskgroups  the caller's array; must not be NULL
 * @param[in]  num_alloc_diskgroups number of elements in @p diskgroups, 0 or
 *                         more
 * @param[out] num_avail_diskgroups receives the number of pools the service
 *                         returned; must not be NULL
 * @return 0, also when fewer elements were allocated than available; 2050200
 *         (NULL pointer, negative count, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_diskgroup_list(const dsm_storageserver_t *stservers, int num_stservers,
    int first_option, int second_option, dsm_dbmode db_mode,
    dsm_diskgroupinfo_t *diskgroups, int num_alloc_diskgroups, int *num_avail_diskgroups);

/**
 * @brief Lists the pools that the given storage servers see, with their
 * details, each element holding its pool's value.
 *
 * Sends getDiskGroupInfoList with the server list, @p first_option and
 * @p second_option as two booleans (non-zero is true) and the database mode.
 * The elements are not cleared: each filled element's object_ref gets a new
 * counted reference (one it held before is overwritten without release), its
 * identity fields that are already set are kept and the others, with every
 * attribute and the three counts, come from the service. Pass zeroed
 * elements.
 * Ownership: every filled element holds one reference afterwards; release
 * them with dsm_removeref_diskgroupinfo_list() over the filled elements.
 *
 * To list every pool, pass a non-NULL @p stservers with @p num_stservers 0
 * (@ref dsm_every_pool).
 *
 * @param[in]  stservers   the servers whose pools are wanted; must not be
 *                         NULL, even when @p num_stservers is 0 (it is then
 *                         not read)
 * @param[in]  num_stservers number of records in @p stservers, 0 or more; 0
 *                         sends an empty list, which the service answers
 *                         with every pool
 * @param[in]  first_option  sent as the operation's first boolean
 * @param[in]  second_option sent as the operation's second boolean
 * @param[in]  db_mode     database mode
 * @param[in,out] diskgroups the caller's array, best zeroed; must not be NULL
 * @param[in]  num_alloc_diskgroups number of elements in @p diskgroups, 0 or
 *                         more
 * @param[out] num_avail_diskgroups receives the number of pools the service
 *                         returned; must not be NULL
 * @return 0, also when fewer elements were allocated than available; 2050200
 *         (NULL pointer, negative count, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_diskgroupinfo_list(const dsm_storageserver_t *stservers, int num_stservers,
    int first_option, int second_option, dsm_dbmode db_mode,
    dsm_diskgroupinfo_t *diskgroups, int num_alloc_diskgroups, int *num_avail_diskgroups);

/**
 * @brief The pools that serve a storage unit label, with their details, in
 * an array the library allocates.
 *
 * Sends getDiskGroupInfoListByStorageUnitLabel with @p master_server,
 * @p storage_unit_label, the server type (the empty string when
 * @p server_type is NULL or empty), @p query_option unchanged and an empty
 * last argument; no database mode is sent. After the argument checks
 * *@p num_diskgroups is set to 0 and *@p diskgroups to NULL; once the service
 * has answered, *@p num_diskgroups gets the number of pools and, when there
 * is at least one, *@p diskgroups a malloc()ed array of that many records,
 * each cleared, holding a reference and filled with the pool's details.
 * Ownership: the array is the caller's. Release its references with
 * dsm_removeref_diskgroupinfo_list(*diskgroups, *num_diskgroups), then
 * free(*diskgroups). With no pool, *@p diskgroups stays NULL.
 *
 * @param[in]  master_server      master server; must not be NULL
 * @param[in]  storage_unit_label the label; must not be NULL
 * @param[in]  server_type        storage server type; may be NULL or empty
 *                                (no type)
 * @param[in]  query_option       passed to the service unchanged
 * @param[out] diskgroups         receives the array or NULL; must not be NULL
 *                                (it is not checked)
 * @param[out] num_diskgroups     receives the number of pools; must not be
 *                                NULL (it is not checked)
 * @return 0; 2050200 (NULL @p master_server or @p storage_unit_label); 2050201
 *         (no connection); 2050202 (null result); 2050001 (the array cannot
 *         be allocated: *@p num_diskgroups holds the count, *@p diskgroups is
 *         NULL); a service error code or -1; 2050301..2050303
 */
int dsm_get_diskgroupinfo_list_by_storage_unit_label(const char *master_server,
    const char *storage_unit_label, const char *server_type, int query_option,
    dsm_diskgroupinfo_t **diskgroups, int *num_diskgroups);

/**
 * @brief Reads one pool's details into a record that holds the pool's value.
 *
 * Sends getDiskGroupInfo with the pool named by @p diskgroup (name, id,
 * master server, server type, media server) and the database mode. Once the
 * service has answered, a reference the record held is released and the new
 * one stored; then the record is filled without being cleared: identity
 * fields already set in its diskgroup part are kept, the others and every
 * attribute come from the service. @p diskgroup may point to the record's
 * own diskgroup part. On failure the record is unchanged.
 * Ownership: @p diskgroupinfo holds exactly one reference afterwards, the
 * newest; release it with dsm_removeref_diskgroupinfo().
 *
 * @param[in]     diskgroup     the pool to read; must not be NULL
 * @param[in]     db_mode       database mode
 * @param[in,out] diskgroupinfo filled on success; an older reference it held
 *                              is released; must not be NULL
 * @return 0; 2050200 (NULL argument, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_diskgroupinfo(const dsm_diskgroup_t *diskgroup, dsm_dbmode db_mode,
    dsm_diskgroupinfo_t *diskgroupinfo);

/**
 * @brief The volumes of a pool, read from the value the pool record holds.
 *
 * Nothing is sent: the volumes are those the held DiskGroupInfo carried when
 * it was read. The list protocol of this header applies. Each filled element
 * is cleared, given the volume's name, id, capacity and properties, and a
 * copy of @p diskgroupinfo's diskgroup part as its pool.
 * Ownership: no element holds a reference (object_ref NULL); to use the
 * volume readers, read the volume with dsm_get_diskvolumeinfoEX() or
 * dsm_diskvolume_load().
 *
 * @param[in]  diskgroupinfo a pool record holding its reference; must not be
 *                           NULL
 * @param[out] diskvolumes   the caller's array; must not be NULL
 * @param[in]  num_alloc_diskvolumes number of elements in @p diskvolumes, 0
 *                           or more
 * @param[out] num_avail_diskvolumes receives the number of volumes; must not
 *                           be NULL
 * @return 0; 2050200 (NULL pointer, negative count, a record without its
 *         reference); 2050302, 2050303 (an unexpected failure)
 */
int dsm_get_diskgroup_volumes(const dsm_diskgroupinfo_t *diskgroupinfo,
    dsm_diskvolumeinfo_t *diskvolumes, int num_alloc_diskvolumes,
    int *num_avail_diskvolumes);

/**
 * @brief The storage servers of a pool, read from the value the pool record
 * holds.
 *
 * Nothing is sent. The list protocol of this header applies; each filled
 * element is cleared, then filled.
 *
 * @param[in]  diskgroupinfo a pool record holding its reference; must not be
 *                           NULL
 * @param[out] stservers     the caller's array; must not be NULL
 * @param[in]  num_alloc_stservers number of elements in @p stservers, 0 or
 *                           more
 * @param[out] num_avail_stservers receives the number of storage servers;
 *                           must not be NULL
 * @return 0; 2050200 (NULL pointer, negative count, a record without its
 *         reference); 2050302, 2050303 (an unexpected failure)
 */
int dsm_get_diskgroup_stservers(const dsm_diskgroupinfo_t *diskgroupinfo,
    dsm_storageserver_t *stservers, int num_alloc_stservers, int *num_avail_stservers);

/**
 * @brief The data mover names of a pool, read from the value the pool record
 * holds.
 *
 * Nothing is sent. The list protocol of this header applies; each filled
 * buffer is cleared, then given one name.
 *
 * @param[in]  diskgroupinfo a pool record holding its reference; must not be
 *                           NULL
 * @param[out] datamovers    the caller's array of name buffers; must not be
 *                           NULL
 * @param[in]  num_alloc_datamovers number of buffers in @p datamovers, 0 or
 *                           more
 * @param[out] num_avail_datamovers receives the number of data movers; must
 *                           not be NULL
 * @return 0; 2050200 (NULL pointer, negative count, a record without its
 *         reference); 2050302, 2050303 (an unexpected failure)
 */
int dsm_get_diskgroup_datamovers(const dsm_diskgroupinfo_t *diskgroupinfo,
    dsm_datamover_name_t *datamovers, int num_alloc_datamovers,
    int *num_avail_datamovers);

/**
 * @brief The disks of a pool, read from the value the pool record holds.
 *
 * Nothing is sent. The list protocol of this header applies; each filled
 * element is cleared, then given the disk's name, id and availability.
 *
 * @param[in]  diskgroupinfo a pool record holding its reference; must not be
 *                           NULL
 * @param[out] disks         the caller's array; must not be NULL
 * @param[in]  num_alloc_disks number of elements in @p disks, 0 or more
 * @param[out] num_avail_disks receives the number of disks; must not be NULL
 * @return 0; 2050200 (NULL pointer, negative count, a record without its
 *         reference); 2050302, 2050303 (an unexpected failure)
 */
int dsm_get_diskgroup_disks(const dsm_diskgroupinfo_t *diskgroupinfo, dsm_disk_t *disks,
    int num_alloc_disks, int *num_avail_disks);

/**
 * @brief The pool's "DSM::flags", read from the value the pool record holds.
 *
 * Nothing is sent. The property is looked up in the held pool's properties
 * and read as a signed 64-bit decimal.
 *
 * @param[in]  diskgroupinfo a pool record holding its reference; must not be
 *                           NULL
 * @param[out] value         receives the number; unchanged on failure; NULL
 *                           reads nothing and the status is 0
 * @return 0; 2050200 (NULL @p diskgroupinfo, a record without its reference,
 *         a held value without its pool, the property absent);
 *         2050302, 2050303 (an unexpected failure)
 */
int dsm_diskgroup_flags(const dsm_diskgroupinfo_t *diskgroupinfo, int64_t *value);

/**
 * @brief The pool's "DSM::flagsExt", read from the value the pool record
 * holds.
 *
 * Nothing is sent. The property is looked up in the held pool's properties
 * and read as an unsigned 64-bit decimal.
 *
 * @param[in]  diskgroupinfo a pool record holding its reference; must not be
 *                           NULL
 * @param[out] value         receives the number; unchanged on failure; NULL
 *                           reads nothing and the status is 0
 * @return 0; 2050200 (NULL @p diskgroupinfo, a record without its reference,
 *         a held value without its pool, the property absent);
 *         2050302, 2050303 (an unexpected failure)
 */
int dsm_diskgroup_flagsext(const dsm_diskgroupinfo_t *diskgroupinfo, uint64_t *value);

/**
 * @brief The pool's "DSM::totalPhysicalCapacity", read from the value the
 * pool record holds.
 *
 * Nothing is sent. The property is looked up in the held pool's properties
 * and read as a signed 64-bit decimal.
 *
 * @param[in]  diskgroupinfo a pool record holding its reference; must not be
 *                           NULL
 * @param[out] value         receives the number; unchanged on failure; NULL
 *                           reads nothing and the status is 0
 * @return 0; 2050200 (NULL @p diskgroupinfo, a record without its reference,
 *         a held value without its pool, the property absent);
 *         2050302, 2050303 (an unexpected failure)
 */
int dsm_diskgroup_physcapacity(const dsm_diskgroupinfo_t *diskgroupinfo, int64_t *value);

/**
 * @brief The pool's "DSM::maxIOStreams", read from the value the pool record
 * holds.
 *
 * Nothing is sent. The property is looked up in the held pool's properties
 * and read as a signed 64-bit decimal.
 *
 * @param[in]  diskgroupinfo a pool record holding its reference; must not be
 *                           NULL
 * @param[out] value         receives the number; unchanged on failure; NULL
 *                           reads nothing and the status is 0
 * @return 0; 2050200 (NULL @p diskgroupinfo, a record without its reference,
 *         a held value without its pool, the property absent);
 *         2050302, 2050303 (an unexpected failure)
 */
int dsm_diskgroup_max_io_streams(const dsm_diskgroupinfo_t *diskgroupinfo,
    int64_t *value);

/**
 * @brief The pool's "DSM::usedPhysicalSpace", read from the value the pool
 * record holds.
 *
 * Nothing is sent. The property is looked up in the held pool's properties
 * and read as a signed 64-bit decimal.
 *
 * @param[in]  diskgroupinfo a pool record holding its reference; must not be
 *                           NULL
 * @param[out] value         receives the number; unchanged on failure; NULL
 *                           reads nothing and the status is 0
 * @return 0; 2050200 (NULL @p diskgroupinfo, a record without its reference,
 *         a held value without its pool, the property absent);
 *         2050302, 2050303 (an unexpected failure)
 */
int dsm_diskgroup_physused(const dsm_diskgroupinfo_t *diskgroupinfo, int64_t *value);

/**
 * @brief Creates a pool on the storage servers.
 *
 * Sends createDiskGroup with the pool built from @p diskgroup (name, id,
 * master server, server type, media server; "DSM::AuditReason" when
 * @p reason is given), the server list, an empty disk list and the database
 * mode: the disk records are checked but not sent. The returned pool is
 * written into @p diskgroupinfo, which is not cleared first: fields the
 * returned pool does not carry keep their values. A non-zero audit value
 * ("DSM::AuditSucess") of the returned pool turns success into 2000053, with
 * the record filled.
 * Ownership: @p diskgroupinfo's object_ref is left as it was (neither set nor
 * released).
 *
 * @param[in]  diskgroup     the new pool; must not be NULL
 * @param[in]  stservers     its storage servers; must not be NULL
 * @param[in]  num_stservers number of records in @p stservers, 0 or more
 * @param[in]  disks         checked only, not read; must not be NULL
 * @param[in]  num_disks     0 or more; checked only
 * @param[in]  db_mode       database mode
 * @param[out] diskgroupinfo receives the created pool; must not be NULL
 * @param[in]  reason        audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change); 2050200
 *         (NULL pointer, negative count, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_create_diskgroup(const dsm_diskgroup_t *diskgroup,
    const dsm_storageserver_t *stservers, int num_stservers, const dsm_disk_t *disks,
    int num_disks, dsm_dbmode db_mode, dsm_diskgroupinfo_t *diskgroupinfo,
    const char *reason);

/**
 * @brief Imports a pool through the storage servers.
 *
 * Sends importDiskGroup with the pool built from @p diskgroup and the server
 * list; no database mode, no reason, and the audit value is not read. The
 * returned pool is written into @p diskgroupinfo, which is not cleared
 * first.
 * Ownership: @p diskgroupinfo's object_ref is left as it was.
 *
 * @param[in]  diskgroup     the pool to import; must not be NULL
 * @param[in]  stservers     the servers to import it through; must not be
 *                           NULL
 * @param[in]  num_stservers number of records in @p stservers, 0 or more
 * @param[out] diskgroupinfo receives the imported pool; must not be NULL
 * @return 0; 2050200 (NULL pointer, negative count); 2050201 (no connection);
 *         2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_import_diskgroup(const dsm_diskgroup_t *diskgroup,
    const dsm_storageserver_t *stservers, int num_stservers,
    dsm_diskgroupinfo_t *diskgroupinfo);

/**
 * @brief Merges the secondary pool into the primary one.
 *
 * Sends mergeDiskGroups with the two pools (the primary carrying
 * "DSM::AuditReason" when @p reason is given) and an empty property list.
 * Once the service has answered, @p diskgroupinfo is cleared whole and
 * filled with the merged pool; a non-zero audit value turns success into
 * 2000053.
 * Ownership: the clearing drops a reference @p diskgroupinfo held without
 * releasing it: release it first. The record holds none afterwards.
 *
 * @param[in]  primary_diskgroup   the pool that remains; must not be NULL
 * @param[in]  secondary_diskgroup the pool merged into it; must not be NULL
 * @param[out] diskgroupinfo       receives the merged pool; must not be NULL
 * @param[in]  reason              audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change); 2050200 (NULL
 *         pointer); 2050201 (no connection); 2050202 (null result); a
 *         service error code or -1; 2050301..2050303
 */
int dsm_merge_diskgroups(const dsm_diskgroup_t *primary_diskgroup,
    const dsm_diskgroup_t *secondary_diskgroup, dsm_diskgroupinfo_t *diskgroupinfo,
    const char *reason);

/**
 * @brief Deletes a pool.
 *
 * Sends deleteDiskGroup with the pool built from @p diskgroup (with
 * "DSM::AuditReason" when @p reason is given) and the database mode. The
 * pool the service returns is written into @p diskgroupinfo, which is not
 * cleared first; a non-zero audit value turns success into 2000053, with the
 * record filled.
 * Ownership: @p diskgroupinfo's object_ref is left as it was.
 *
 * @param[in]  diskgroup     the pool to delete; must not be NULL
 * @param[in]  db_mode       database mode
 * @param[out] diskgroupinfo receives the deleted pool; must not be NULL
 * @param[in]  reason        audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change); 2050200 (NULL
 *         pointer, unknown @p db_mode); 2050201 (no connection); 2050202
 *         (null result); a service error code or -1; 2050301..2050303
 */
int dsm_delete_diskgroup(const dsm_diskgroup_t *diskgroup, dsm_dbmode db_mode,
    dsm_diskgroupinfo_t *diskgroupinfo, const char *reason);

/**
 * @brief Deletes a pool in database mode 1 without a reason.
 *
 * The same as dsm_delete_diskgroup(diskgroup, DSM_DBMODE_1, diskgroupinfo,
 * NULL), whose name the messages carry.
 * Ownership: @p diskgroupinfo's object_ref is left as it was.
 *
 * @param[in]  diskgroup     the pool to delete; must not be NULL
 * @param[out] diskgroupinfo receives the deleted pool; must not be NULL
 * @return as dsm_delete_diskgroup(): 0; 2000053 (audit); 2050200 (NULL
 *         pointer); 2050201 (no connection); 2050202 (null result); a
 *         service error code or -1; 2050301..2050303
 */
int dsm_unimport_diskgroup(const dsm_diskgroup_t *diskgroup,
    dsm_diskgroupinfo_t *diskgroupinfo);

/**
 * @brief Adds a storage server to a pool.
 *
 * Sends addStorageServer with the pool built from @p diskgroup (with
 * "DSM::AuditReason" when @p reason is given) and the server. The service
 * answers a number: 0 and 2000053 both count as success and give 0.
 *
 * @param[in] diskgroup the pool; must not be NULL
 * @param[in] stserver  the server to add; must not be NULL
 * @param[in] reason    audit reason; NULL sends none
 * @return 0 (also when the service answers 2000053); 2050200 (NULL pointer);
 *         2050201 (no connection); 2050202 (the service answered a number
 *         other than 0 and 2000053); a service error code or -1;
 *         2050301..2050303
 */
int dsm_add_diskgroup_stserver(const dsm_diskgroup_t *diskgroup,
    const dsm_storageserver_t *stserver, const char *reason);

/**
 * @brief Removes a storage server from a pool.
 *
 * Sends deleteStorageServer with the pool built from @p diskgroup (with
 * "DSM::AuditReason" when @p reason is given) and the server. The service
 * answers a number: 0 and 2000053 both count as success and give 0.
 *
 * @param[in] diskgroup the pool; must not be NULL
 * @param[in] stserver  the server to remove; must not be NULL
 * @param[in] reason    audit reason; NULL sends none
 * @return 0 (also when the service answers 2000053); 2050200 (NULL pointer);
 *         2050201 (no connection); 2050202 (the service answered a number
 *         other than 0 and 2000053); a service error code or -1;
 *         2050301..2050303
 */
int dsm_remove_diskgroup_stserver(const dsm_diskgroup_t *diskgroup,
    const dsm_storageserver_t *stserver, const char *reason);

/**
 * @brief Changes a pool's water marks and user tag.
 *
 * Sends updateDiskGroup with the pool built from @p diskgroupinfo_in's
 * diskgroup part, the database mode and, for each non-zero byte of
 * @p update_mask in order: byte 0 the high_watermark as
 * "DSM::highWaterMark", byte 1 the low_watermark as "DSM::lowWaterMark",
 * byte 2 the user_tag as "DSM::userTag"; then "DSM::AuditReason" when
 * @p reason is given. The returned pool is written into
 * @p diskgroupinfo_out, which is not cleared first; a non-zero audit value
 * turns success into 2000053, with the record filled.
 * Ownership: @p diskgroupinfo_out's object_ref is left as it was.
 *
 * @param[in]  diskgroupinfo_in  the pool and its new values; must not be NULL
 * @param[in]  update_mask       three bytes, all read; must not be NULL
 * @param[in]  db_mode           database mode
 * @param[out] diskgroupinfo_out receives the changed pool; must not be NULL
 * @param[in]  reason            audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change); 2050200 (NULL
 *         pointer, unknown @p db_mode); 2050201 (no connection); 2050202
 *         (null result); a service error code or -1; 2050301..2050303
 */
int dsm_update_diskgroup(const dsm_diskgroupinfo_t *diskgroupinfo_in,
    const unsigned char *update_mask, dsm_dbmode db_mode,
    dsm_diskgroupinfo_t *diskgroupinfo_out, const char *reason);

/**
 * @brief Sets a pool's state.
 *
 * @p kdu_state is checked before connecting, then sent with updateDiskGroupState
 * as the service's state (DSM_DG_STATE_UP as 2, DSM_DG_STATE_DOWN as 3),
 * with the pool built from @p diskgroup (and "DSM::AuditReason" when
 * @p reason is given) and the database mode. The returned pool is written
 * into @p diskgroupinfo, which is not cleared first; a non-zero audit value
 * turns success into 2000053, with the record filled.
 * Ownership: @p diskgroupinfo's object_ref is left as it was.
 *
 * @param[in]  diskgroup     the pool; must not be NULL
 * @param[in]  kdu_state     DSM_DG_STATE_UP or DSM_DG_STATE_DOWN
 * @param[in]  db_mode       database mode
 * @param[out] diskgroupinfo receives the changed pool; must not be NULL
 * @param[in]  reason        audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change); 2050200 (NULL
 *         pointer, another @p kdu_state, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_update_diskgroup_state(const dsm_diskgroup_t *diskgroup, int kdu_state,
    dsm_dbmode db_mode, dsm_diskgroupinfo_t *diskgroupinfo, const char *reason);

/**
 * @brief Sets a pool's "DSM::flags", then reads the pool back.
 *
 * Sends updateDiskGroup with the pool built from @p diskgroup, "DSM::flags"
 * as a signed decimal and "DSM::AuditReason" when @p reason is given. The
 * returned pool is not extracted: when @p diskgroupinfo is given, it is
 * refilled afterwards by dsm_get_diskgroupinfo(diskgroup, db_mode,
 * diskgroupinfo), whether the update succeeded or not (not when
 * no connection could be made).
 * Ownership: a refilled @p diskgroupinfo holds exactly one new reference (an
 * older one is released); release it with dsm_removeref_diskgroupinfo().
 *
 * @param[in]     diskgroup     the pool; must not be NULL
 * @param[in]     kdu_flags     the new flags
 * @param[in]     db_mode       database mode of the update and the refill
 * @param[in,out] diskgroupinfo refilled from the service; may be NULL (no
 *                              refill)
 * @param[in]     reason        audit reason; NULL sends none
 * @return the update's failure, else the refill's status, else 2000053 when
 *         the audit refused or flagged the change, else 0; the failures are
 *         2050200 (NULL @p diskgroup, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_update_diskgroup_flags(const dsm_diskgroup_t *diskgroup, int64_t kdu_flags,
    dsm_dbmode db_mode, dsm_diskgroupinfo_t *diskgroupinfo, const char *reason);

/**
 * @brief Sets a pool's "DSM::flagsExt", then reads the pool back.
 *
 * Sends updateDiskGroup with the pool built from @p diskgroup,
 * "DSM::flagsExt" as an unsigned decimal and "DSM::AuditReason" when
 * @p reason is given. When @p diskgroupinfo is given, it is refilled
 * afterwards by dsm_get_diskgroupinfo(diskgroup, db_mode, diskgroupinfo),
 * whether the update succeeded or not (not when
 * no connection could be made).
 * Ownership: a refilled @p diskgroupinfo holds exactly one new reference (an
 * older one is released); release it with dsm_removeref_diskgroupinfo().
 *
 * @param[in]     diskgroup     the pool; must not be NULL
 * @param[in]     kdu_flagsext  the new extended flags
 * @param[in]     db_mode       database mode of the update and the refill
 * @param[in,out] diskgroupinfo refilled from the service; may be NULL (no
 *                              refill)
 * @param[in]     reason        audit reason; NULL sends none
 * @return the update's failure, else the refill's status, else 2000053 when
 *         the audit refused or flagged the change, else 0; the failures are
 *         2050200 (NULL @p diskgroup, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_update_diskgroup_flagsext(const dsm_diskgroup_t *diskgroup, uint64_t kdu_flagsext,
    dsm_dbmode db_mode, dsm_diskgroupinfo_t *diskgroupinfo, const char *reason);

/**
 * @brief Sets a pool's "DSM::maxIOStreams", then reads the pool back.
 *
 * Sends updateDiskGroup with the pool built from @p diskgroup,
 * "DSM::maxIOStreams" as a signed decimal and "DSM::AuditReason" when
 * @p reason is given. When @p diskgroupinfo is given, it is refilled
 * afterwards by dsm_get_diskgroupinfo(diskgroup, db_mode, diskgroupinfo),
 * whether the update succeeded or not (not when
 * no connection could be made).
 * Ownership: a refilled @p diskgroupinfo holds exactly one new reference (an
 * older one is released); release it with dsm_removeref_diskgroupinfo().
 *
 * @param[in]     diskgroup      the pool; must not be NULL
 * @param[in]     max_io_streams the new maximum number of I/O streams
 * @param[in]     db_mode        database mode of the update and the refill
 * @param[in,out] diskgroupinfo  refilled from the service; may be NULL (no
 *                               refill)
 * @param[in]     reason         audit reason; NULL sends none
 * @return the update's failure, else the refill's status, else 2000053 when
 *         the audit refused or flagged the change, else 0; the failures are
 *         2050200 (NULL @p diskgroup, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_update_diskgroup_max_io_streams(const dsm_diskgroup_t *diskgroup,
    int32_t max_io_streams, dsm_dbmode db_mode, dsm_diskgroupinfo_t *diskgroupinfo,
    const char *reason);

/**
 * @brief Asks the service to refresh a pool's replication properties, then
 * reads the pool back.
 *
 * Sends updateDiskGroup in database mode 2 with the pool built from
 * @p diskgroup and no change of its own ("DSM::AuditReason" when @p reason is
 * given). When @p diskgroupinfo is given, it is refilled afterwards by
 * dsm_get_diskgroupinfo(diskgroup, DSM_DBMODE_2, diskgroupinfo), whether the
 * update succeeded or not (not when no connection could be made).
 * Ownership: a refilled @p diskgroupinfo holds exactly one new reference (an
 * older one is released); release it with dsm_removeref_diskgroupinfo().
 *
 * @param[in]     diskgroup     the pool; must not be NULL
 * @param[in,out] diskgroupinfo refilled from the service; may be NULL (no
 *                              refill)
 * @param[in]     reason        audit reason; NULL sends none
 * @return the update's failure, else the refill's status, else 2000053 when
 *         the audit refused or flagged the change, else 0; the failures are
 *         2050200 (NULL @p diskgroup); 2050201 (no connection); 2050202 (null
 *         result); a service error code or -1; 2050301..2050303
 */
int dsm_refresh_diskgroup_replication_props(const dsm_diskgroup_t *diskgroup,
    dsm_diskgroupinfo_t *diskgroupinfo, const char *reason);

/** @} */

/**
 * @defgroup dsm_volumes Disk volumes
 * @brief Read and change disk volumes.
 *
 * Only dsm_get_diskvolumeinfoEX(), dsm_get_diskvolumeinfo_list() and
 * dsm_diskvolume_load() leave a DiskVolumeInfo reference in the record (and
 * dsm_set_diskvolume_flags() when the record held none); the readers of
 * numbers and replication entries and the setters need it. The functions
 * that change a volume at the service leave no reference in their output
 * record.
 *
 * A typical sequence for a new volume: read a volume info record holding its
 * reference, add replication entries and flags with the setters, create the
 * volume with dsm_create_diskvolume_from_diskvolumeinfo(), then release the
 * reference with dsm_removeref_diskvolumeinfo().
 * @{
 */

/**
 * @brief Reads one volume's details into a record, without keeping a
 * reference.
 *
 * Sends getDiskVolumeInfo with the volume (name, id), its pool (the
 * @p diskvolume's diskgroup part) and the database mode. Once the service
 * has answered, the record's object_ref is set to NULL and the record is
 * filled without being cleared: a name and id already set are kept, and
 * free_space is capacity minus used space. Its pool part becomes a copy of
 * @p diskvolume's. Input and output may be the same record.
 * Ownership: @p diskvolumeinfo holds no reference afterwards; one it held is
 * dropped without release, so release it first. For the readers that need a
 * reference use dsm_get_diskvolumeinfoEX().
 *
 * @param[in]  diskvolume     the volume to read; must not be NULL; may be
 *                            the same record as @p diskvolumeinfo
 * @param[in]  db_mode        database mode
 * @param[out] diskvolumeinfo filled on success; must not be NULL
 * @return 0; 2050200 (NULL pointer, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_diskvolumeinfo(const dsm_diskvolume_t *diskvolume, dsm_dbmode db_mode,
    dsm_diskvolumeinfo_t *diskvolumeinfo);

/**
 * @brief Reads one volume's details into a record that holds the volume's
 * value.
 *
 * As dsm_get_diskvolumeinfo(), but once the service has answered the
 * record's object_ref gets a new counted reference to the volume's value.
 * Ownership: @p diskvolumeinfo holds one reference afterwards; release it
 * with dsm_removeref_diskvolumeinfo(). A reference it held before is
 * overwritten without release, so release it first.
 *
 * @param[in]  diskvolume     the volume to read; must not be NULL; may be
 *                            the same record as @p diskvolumeinfo
 * @param[in]  db_mode        database mode
 * @param[out] diskvolumeinfo filled on success; must not be NULL
 * @return 0; 2050200 (NULL pointer, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_diskvolumeinfoEX(const dsm_diskvolume_t *diskvolume, dsm_dbmode db_mode,
    dsm_diskvolumeinfo_t *diskvolumeinfo);

/**
 * @brief Reads the volume with a media id, without keeping a reference.
 *
 * Sends getDiskVolumeInfoByMediaId. Once the service has answered, the
 * record is cleared whole and filled; its pool part takes the pool name
 * ("DSM::diskGroupName"), the master server ("DSM::master") and the server
 * type the service gives (one that is missing is logged and left empty).
 * Ownership: @p diskvolumeinfo holds no reference afterwards; one it held is
 * dropped by the clearing without release, so release it first.
 *
 * @param[in]  diskvolume_mediaid the media id; must not be NULL
 * @param[out] diskvolumeinfo     filled on success; must not be NULL
 * @return 0; 2050200 (NULL pointer); 2050201 (no connection); 2050202 (null
 *         result); a service error code or -1; 2050301..2050303
 */
int dsm_get_diskvolumeinfo_by_mediaid(const char *diskvolume_mediaid,
    dsm_diskvolumeinfo_t *diskvolumeinfo);

/**
 * @brief Reads the volume with a media id and its "DSM::flags", without
 * keeping a reference.
 *
 * As dsm_get_diskvolumeinfo_by_mediaid(); then the volume's "DSM::flags" is
 * read as a 64-bit decimal into *@p flags. A missing property is logged and
 * leaves *@p flags unchanged; the status stays 0.
 * Ownership: @p diskvolumeinfo holds no reference afterwards; one it held is
 * dropped by the clearing without release, so release it first.
 *
 * @param[in]  diskvolume_mediaid the media id; must not be NULL
 * @param[out] diskvolumeinfo     filled on success; must not be NULL
 * @param[out] flags              receives the flags; may be NULL (not read)
 * @return 0; 2050200 (NULL @p diskvolume_mediaid or @p diskvolumeinfo);
 *         2050201 (no connection); 2050202 (null result); a service error
 *         code or -1; 2050301..2050303
 */
int dsm_get_diskvolumeinfo_and_flags_by_mediaid(const char *diskvolume_mediaid,
    dsm_diskvolumeinfo_t *diskvolumeinfo, uint64_t *flags);

/**
 * @brief Reads the volume of a name on a storage server, without keeping a
 * reference.
 *
 * Sends getDiskVolumeInfoByName with @p master_server, the server's type, the
 * volume name @p diskvolumeid and the server's name (no other field of
 * @p stserver is sent). Once the service has answered, the record is cleared
 * whole and filled; its pool part takes the pool name, master server and
 * server type the service gives (one that is missing is logged and left
 * empty).
 * Ownership: @p diskvolumeinfo holds no reference afterwards; one it held is
 * dropped by the clearing without release, so release it first.
 *
 * @param[in]  master_server  master server; must not be NULL
 * @param[in]  stserver       the storage server (name and server type);
 *                            must not be NULL
 * @param[in]  diskvolumeid   the volume name; must not be NULL
 * @param[out] diskvolumeinfo filled on success; must not be NULL
 * @return 0; 2050200 (NULL pointer); 2050201 (no connection); 2050202 (null
 *         result); a service error code or -1; 2050301..2050303
 */
int dsm_get_diskvolumeinfo_by_name(const char *master_server,
    const dsm_storageserver_t *stserver, const char *diskvolumeid,
    dsm_diskvolumeinfo_t *diskvolumeinfo);

/**
 * @brief Reads the volume of an id on a storage server, without keeping a
 * reference.
 *
 * Sends getDiskVolumeInfoByLegacyInfo with @p master_server, the server's
 * name, its type and the volume id @p diskvolumeid (no other field of
 * @p stserver is sent). Once the service has answered, the record is cleared
 * whole and filled; its pool part takes the pool name, master server and
 * server type the service gives (one that is missing is logged and left
 * empty).
 * Ownership: @p diskvolumeinfo holds no reference afterwards; one it held is
 * dropped by the clearing without release, so release it first.
 *
 * @param[in]  master_server  master server; must not be NULL
 * @param[in]  stserver       the storage server (name and server type);
 *                            must not be NULL
 * @param[in]  diskvolumeid   the volume id; must not be NULL
 * @param[out] diskvolumeinfo filled on success; must not be NULL
 * @return 0; 2050200 (NULL pointer); 2050201 (no connection); 2050202 (null
 *         result); a service error code or -1; 2050301..2050303
 */
int dsm_get_diskvolumeinfo_by_volumeid(const char *master_server,
    const dsm_storageserver_t *stserver, const char *diskvolumeid,
    dsm_diskvolumeinfo_t *diskvolumeinfo);

/**
 * @brief Lists the volumes of a pool, each element holding its volume's
 * value.
 *
 * Sends getDiskVolumeInfoList with the server list, the pool built from
 * @p diskgroup and the database mode. The list protocol of this header
 * applies. Each filled element is cleared, given a counted reference and
 * the volume's details, and a copy of @p diskgroup as its pool part.
 * Ownership: every filled element holds one reference afterwards; release
 * them with dsm_removeref_diskvolumeinfo_list() over the filled elements.
 *
 * @param[in]  stservers     the servers to ask through; must not be NULL,
 *                           even when @p num_stservers is 0 (it is then not
 *                           read)
 * @param[in]  num_stservers number of records in @p stservers, 0 or more
 * @param[in]  diskgroup     the pool; must not be NULL
 * @param[in]  db_mode       database mode
 * @param[out] diskvolumes   the caller's array; must not be NULL
 * @param[in]  num_alloc_diskvolumes number of elements in @p diskvolumes, 0
 *                           or more
 * @param[out] num_avail_diskvolumes receives the number of volumes the
 *                           service returned; must not be NULL
 * @return 0, also when fewer elements were allocated than available; 2050200
 *         (NULL pointer, negative count, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_diskvolumeinfo_list(const dsm_storageserver_t *stservers, int num_stservers,
    const dsm_diskgroup_t *diskgroup, dsm_dbmode db_mode,
    dsm_diskvolumeinfo_t *diskvolumes, int num_alloc_diskvolumes,
    int *num_avail_diskvolumes);

/**
 * @brief Reads a named volume again, replacing the reference its record
 * holds.
 *
 * First releases the reference the record holds, if any. Then sends
 * getDiskVolumeInfo in database mode 1 with only names: the volume's name,
 * and its pool's name, master server and server type. On success the record
 * holds a new reference and, when @p extract is non-zero, is filled again
 * (without being cleared: a name and id already set are kept).
 * Ownership: @p diskvolumeinfo holds exactly one reference after success and
 * none after a failure; release it with dsm_removeref_diskvolumeinfo().
 *
 * @param[in,out] diskvolumeinfo the volume to read, named by its name and
 *                               pool part; must not be NULL
 * @param[in]     extract        non-zero: refill the fields; 0: only replace
 *                               the reference
 * @return 0; 2050200 (NULL @p diskvolumeinfo); 2050201 (no connection);
 *         2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_diskvolume_load(dsm_diskvolumeinfo_t *diskvolumeinfo, int extract);

/**
 * @brief The volume's "DSM::flags", read from the value the record holds.
 *
 * Nothing is sent. The first property of that name is read as a signed
 * 64-bit decimal and stored unchanged in 64 bits.
 *
 * @param[in]  diskvolumeinfo a volume record holding its reference; must not
 *                            be NULL
 * @param[out] payload        receives the number; unchanged on failure; must
 *                            not be NULL
 * @return 0; 2050200 (NULL pointer, a record without its reference, the
 *         property absent); 2050302, 2050303 (an unexpected failure)
 */
int dsm_diskvolume_flags(const dsm_diskvolumeinfo_t *diskvolumeinfo, uint64_t *payload);

/**
 * @brief The volume's "DSM::totalPhysicalCapacity", read from the value the
 * record holds.
 *
 * Nothing is sent. The property is read as a signed 64-bit decimal and
 * stored unchanged in 64 bits.
 *
 * @param[in]  diskvolumeinfo a volume record holding its reference; must not
 *                            be NULL
 * @param[out] payload        receives the number; unchanged on failure; must
 *                            not be NULL
 * @return 0; 2050200 (NULL pointer, a record without its reference, the
 *         property absent); 2050302, 2050303 (an unexpected failure)
 */
int dsm_diskvolume_physcapacity(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    uint64_t *payload);

/**
 * @brief The volume's "DSM::freePhysicalSpace", read from the value the
 * record holds.
 *
 * Nothing is sent. The property is read as a signed 64-bit decimal and
 * stored unchanged in 64 bits.
 *
 * @param[in]  diskvolumeinfo a volume record holding its reference; must not
 *                            be NULL
 * @param[out] payload        receives the number; unchanged on failure; must
 *                            not be NULL
 * @return 0; 2050200 (NULL pointer, a record without its reference, the
 *         property absent); 2050302, 2050303 (an unexpected failure)
 */
int dsm_diskvolume_freephys(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    uint64_t *payload);

/**
 * @brief The volume's "DSM::activeReadStreams", read from the value the
 * record holds.
 *
 * Nothing is sent. The property is read as a signed 64-bit decimal and
 * stored unchanged in 64 bits.
 *
 * @param[in]  diskvolumeinfo a volume record holding its reference; must not
 *                            be NULL
 * @param[out] payload        receives the number; unchanged on failure; must
 *                            not be NULL
 * @return 0; 2050200 (NULL pointer, a record without its reference, the
 *         property absent); 2050302, 2050303 (an unexpected failure)
 */
int dsm_diskvolume_num_active_read_streams(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    uint64_t *payload);

/**
 * @brief The volume's "DSM::activeWriteStreams", read from the value the
 * record holds.
 *
 * Nothing is sent. The property is read as a signed 64-bit decimal and
 * stored unchanged in 64 bits.
 *
 * @param[in]  diskvolumeinfo a volume record holding its reference; must not
 *                            be NULL
 * @param[out] payload        receives the number; unchanged on failure; must
 *                            not be NULL
 * @return 0; 2050200 (NULL pointer, a record without its reference, the
 *         property absent); 2050302, 2050303 (an unexpected failure)
 */
int dsm_diskvolume_num_active_write_streams(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    uint64_t *payload);

/**
 * @brief One replication source of the volume, read from the value the
 * record holds.
 *
 * Nothing is sent. The "DSM::ReplicationSourceSpec" properties of the held
 * volume are counted from 0 in the order the service lists them (targets
 * are not counted). When entry @p index exists, all @p repname_len bytes of
 * @p repname are cleared and the entry copied into it, cut to
 * @p repname_len - 1 characters.
 *
 * @param[in]  diskvolumeinfo a volume record holding its reference; must not
 *                            be NULL
 * @param[in]  index          zero-based number of the source
 * @param[out] repname        receives the entry; untouched when it does not
 *                            exist; must not be NULL
 * @param[in]  repname_len    size of @p repname in bytes, 0 or more
 * @return 0; 2050013 (no such entry); 2050200 (NULL pointer, negative
 *         @p repname_len, a record without its reference); 2050302, 2050303
 *         (an unexpected failure)
 */
int dsm_get_diskvolume_repsource(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    unsigned int index, char *repname, int repname_len);

/**
 * @brief One replication target of the volume, read from the value the
 * record holds.
 *
 * Nothing is sent. The "DSM::ReplicationTargetSpec" properties of the held
 * volume are counted from 0 in the order the service lists them (sources
 * are not counted). When entry @p index exists, all @p repname_len bytes of
 * @p repname are cleared and the entry copied into it, cut to
 * @p repname_len - 1 characters.
 *
 * @param[in]  diskvolumeinfo a volume record holding its reference; must not
 *                            be NULL
 * @param[in]  index          zero-based number of the target
 * @param[out] repname        receives the entry; untouched when it does not
 *                            exist; must not be NULL
 * @param[in]  repname_len    size of @p repname in bytes, 0 or more
 * @return 0; 2050013 (no such entry); 2050200 (NULL pointer, negative
 *         @p repname_len, a record without its reference); 2050302, 2050303
 *         (an unexpected failure)
 */
int dsm_get_diskvolume_reptarget(const dsm_diskvolumeinfo_t *diskvolumeinfo,
    unsigned int index, char *repname, int repname_len);

/**
 * @brief Creates a volume in its pool.
 *
 * Sends createDiskVolume with the volume built from @p diskvolume (name, id,
 * and "volume_config" with the first disk's volume_config when that is not
 * empty), its pool (the diskvolume's diskgroup part), an empty disk list and
 * the database mode: the disk records are not sent, and @p disks[0] is read
 * even when @p num_disks is 0. Once the service has answered,
 * @p diskvolumeinfo's object_ref is set to NULL and the record is filled
 * from the returned volume (not cleared first); its pool part becomes a copy
 * of @p diskvolume's. The audit value is not read.
 * Ownership: @p diskvolumeinfo holds no reference afterwards; one it held is
 * dropped without release, so release it first.
 *
 * @param[in]  diskvolume     the new volume; must not be NULL
 * @param[in]  disks          at least one disk record; only the first one's
 *                            volume_config is read; must not be NULL
 * @param[in]  num_disks      0 or more; checked only
 * @param[in]  db_mode        database mode
 * @param[out] diskvolumeinfo receives the created volume; must not be NULL
 * @return 0; 2050200 (NULL pointer, negative count, unknown @p db_mode);
 *         2050201 (no connection); 2050202 (null result); a service error
 *         code or -1; 2050301..2050303
 */
int dsm_create_diskvolume(const dsm_diskvolume_t *diskvolume, const dsm_disk_t *disks,
    int num_disks, dsm_dbmode db_mode, dsm_diskvolumeinfo_t *diskvolumeinfo);

/**
 * @brief Creates a volume from a filled volume info record.
 *
 * Sends createDiskVolume with the volume built from @p diskvolumeinfo_in
 * (name, id, potential free, committed and pre-committed space, media id,
 * system tag, state, readers and writers; and, when the record holds a
 * reference, the held volume's "DSM::flags" and its replication entries as
 * set by dsm_set_diskvolume_flags(), dsm_set_diskvolume_repsource() and
 * dsm_set_diskvolume_reptarget()), its pool (with "DSM::AuditReason" when
 * @p reason is given), an empty disk list and the database mode: the disk
 * records are checked but not read. Once the service has answered,
 * @p diskvolumeinfo's object_ref is set to NULL and the record is filled
 * from the returned volume (not cleared first); its pool part becomes a copy
 * of @p diskvolumeinfo_in's. The audit value is not read: success is 0.
 * Ownership: @p diskvolumeinfo holds no reference afterwards; one it held is
 * dropped without release, so release it first. @p diskvolumeinfo_in keeps
 * its reference.
 *
 * @param[in]  diskvolumeinfo_in the new volume; must not be NULL
 * @param[in]  disks             checked only, not read; must not be NULL
 * @param[in]  num_disks         0 or more; checked only
 * @param[in]  db_mode           database mode
 * @param[out] diskvolumeinfo    receives the created volume; must not be NULL
 * @param[in]  reason            audit reason; NULL sends none
 * @return 0; 2050200 (NULL pointer, negative count, unknown @p db_mode);
 *         2050201 (no connection); 2050202 (null result); a service error
 *         code or -1; 2050301..2050303
 */
int dsm_create_diskvolume_from_diskvolumeinfo(
    const dsm_diskvolumeinfo_t *diskvolumeinfo_in, const dsm_disk_t *disks, int num_disks,
    dsm_dbmode db_mode, dsm_diskvolumeinfo_t *diskvolumeinfo, const char *reason);

/**
 * @brief Adds a volume the service knows to its pool.
 *
 * Reads the volume as dsm_get_diskvolumeinfoEX() does in database mode 0
 * (getDiskVolumeInfo) into a record of its own, then creates it from that
 * record as dsm_create_diskvolume_from_diskvolumeinfo() does in database
 * mode 1 without a reason (createDiskVolume). The first failure ends the
 * call; the temporary reference is released on every path.
 * Ownership: @p diskvolumeinfo_out holds no reference afterwards; one it
 * held is dropped without release, so release it first.
 *
 * @param[in]  diskvolume         the volume; must not be NULL
 * @param[in]  disks              checked only, not read; must not be NULL
 * @param[in]  num_disks          0 or more; checked only
 * @param[out] diskvolumeinfo_out receives the created volume; must not be
 *                                NULL
 * @return 0; 2050200 (NULL pointer, negative count); 2050201 (no
 *         connection); 2050202 (null result of either operation); a service
 *         error code or -1; 2050301..2050303
 */
int dsm_add_diskvolume(const dsm_diskvolume_t *diskvolume, const dsm_disk_t *disks,
    int num_disks, dsm_diskvolumeinfo_t *diskvolumeinfo_out);

/**
 * @brief Deletes a volume.
 *
 * Sends deleteDiskVolume with the volume built from @p diskvolume (with
 * "DSM::AuditReason" when @p reason is given), its pool and the database
 * mode. Once the service has answered, @p diskvolumeinfo's object_ref is set
 * to NULL and the record is filled from the returned volume (not cleared
 * first); its pool part becomes a copy of @p diskvolume's. The status is
 * then the returned volume's audit value: 0 or absent gives 0, 108 gives
 * 2000053, and any other value is returned as it is.
 * Ownership: @p diskvolumeinfo holds no reference afterwards; one it held is
 * dropped without release, so release it first.
 *
 * @param[in]  diskvolume     the volume to delete; must not be NULL
 * @param[in]  db_mode        database mode
 * @param[out] diskvolumeinfo receives the deleted volume; must not be NULL
 * @param[in]  reason         audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused the change); another audit value of
 *         the service; 2050200 (NULL pointer, unknown @p db_mode); 2050201
 *         (no connection); 2050202 (null result); a service error code or
 *         -1; 2050301..2050303
 */
int dsm_delete_diskvolume(const dsm_diskvolume_t *diskvolume, dsm_dbmode db_mode,
    dsm_diskvolumeinfo_t *diskvolumeinfo, const char *reason);

/**
 * @brief Changes a volume's space figures and flags.
 *
 * Sends updateDiskVolume with the volume built from @p diskvolumeinfo_in
 * (name, id), its pool, the database mode and, for each non-zero byte of
 * @p update_mask in order: byte 0 total_capacity as "DSM::totalCapacity",
 * byte 1 free_space as "DSM::freeSpace", byte 2 potential_free_space as
 * "DSM::potentialFreeSpace", byte 3 committed_space as "DSM::committedSpace",
 * byte 4 precommitted_space as "DSM::preCommittedSpace", byte 5 the first
 * "DSM::flags" of the value @p diskvolumeinfo_in holds (0 when it holds none
 * or the property is absent) as "DSM::flags". Once the service has answered,
 * @p diskvolumeinfo_out's object_ref is set to NULL and the record is filled
 * from the returned volume (not cleared first); its pool part becomes a copy
 * of @p diskvolumeinfo_in's. The audit value is not read.
 * Ownership: @p diskvolumeinfo_out holds no reference afterwards; one it
 * held is dropped without release, so release it first.
 *
 * @param[in]  diskvolumeinfo_in  the volume and its new values; must not be
 *                                NULL
 * @param[in]  update_mask        six bytes, all read; must not be NULL
 * @param[in]  db_mode            database mode
 * @param[out] diskvolumeinfo_out receives the changed volume; must not be
 *                                NULL
 * @return 0; 2050200 (NULL pointer, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_update_diskvolume(const dsm_diskvolumeinfo_t *diskvolumeinfo_in,
    const unsigned char *update_mask, dsm_dbmode db_mode,
    dsm_diskvolumeinfo_t *diskvolumeinfo_out);

/**
 * @brief Sets a volume's state.
 *
 * @p state is checked before connecting, then sent with updateDiskVolumeState
 * as the service's state (DSM_DV_STATE_UP as 2, DSM_DV_STATE_DOWN as 3),
 * with the volume built from @p diskvolume (and "DSM::AuditReason" when
 * @p reason is given), its pool and the database mode. Once the service has
 * answered, @p diskvolumeinfo's object_ref is set to NULL and the record is
 * filled from the returned volume (not cleared first); its pool part becomes
 * a copy of @p diskvolume's. The status is then the returned volume's audit
 * value: 0 or absent gives 0, 108 gives 2000053, and any other value is
 * returned as it is.
 * Ownership: @p diskvolumeinfo holds no reference afterwards; one it held is
 * dropped without release, so release it first.
 *
 * @param[in]  diskvolume     the volume; must not be NULL
 * @param[in]  state          DSM_DV_STATE_UP or DSM_DV_STATE_DOWN
 * @param[in]  db_mode        database mode
 * @param[out] diskvolumeinfo receives the changed volume; must not be NULL
 * @param[in]  reason         audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused the change); another audit value of
 *         the service; 2050200 (NULL pointer, another @p state, unknown
 *         @p db_mode); 2050201 (no connection); 2050202 (null result); a
 *         service error code or -1; 2050301..2050303
 */
int dsm_update_diskvolume_state(const dsm_diskvolume_t *diskvolume, int state,
    dsm_dbmode db_mode, dsm_diskvolumeinfo_t *diskvolumeinfo, const char *reason);

/**
 * @brief Sets a volume's internal state, after resetting its committed
 * space.
 *
 * @p state is checked before connecting. Two requests follow: first
 * updateDiskVolume with "DSM::committedSpace" and "DSM::preCommittedSpace"
 * both 0 (a failure ends the call); then updateDiskVolumeState with
 * @p state 1 sent as the service's state 4 and 2 as 5, and
 * "DSM::AuditReason" when @p reason is given. A failure of the second leaves
 * the committed space at 0 at the service. Once each request is answered,
 * @p diskvolumeinfo's object_ref is set to NULL and the record is filled
 * from the returned volume (not cleared first); after the second its pool
 * part becomes a copy of @p diskvolume's. The status is then the returned volume's audit value: 0 or absent
 * gives 0, 108 gives 2000053, and any other value is returned as it is.
 * Ownership: @p diskvolumeinfo holds no reference afterwards; one it held is
 * dropped without release, so release it first.
 *
 * @param[in]  diskvolume     the volume; must not be NULL
 * @param[in]  state          1 or 2
 * @param[in]  db_mode        database mode of both requests
 * @param[out] diskvolumeinfo receives the changed volume; must not be NULL
 * @param[in]  reason         audit reason of the state change; NULL sends
 *                            none
 * @return 0; 2000053 (the audit refused the change); another audit value of
 *         the service; 2050200 (NULL pointer, another @p state, unknown
 *         @p db_mode); 2050201 (no connection); 2050202 (null result); a
 *         service error code or -1; 2050301..2050303
 */
int dsm_update_diskvolume_internal_state(const dsm_diskvolume_t *diskvolume,
    unsigned int state, dsm_dbmode db_mode, dsm_diskvolumeinfo_t *diskvolumeinfo,
    const char *reason);

/**
 * @brief Adds "DSM::flags" to the volume value the record holds; nothing is
 * sent.
 *
 * When the record holds no reference, a new volume value is first built
 * from the record's own fields (as dsm_create_diskvolume_from_diskvolumeinfo()
 * would send them) and held by the record. Then "DSM::flags" with @p flags
 * as a signed decimal is appended to the held volume's properties. An
 * existing "DSM::flags" is not replaced, and every reader takes the first
 * (dsm_diskvolume_flags(), byte 5 of dsm_update_diskvolume(),
 * dsm_create_diskvolume_from_diskvolumeinfo()): the new value counts only
 * where the volume had no flags yet. The flags reach the service when the
 * record is sent by dsm_create_diskvolume_from_diskvolumeinfo().
 * Ownership: a record that held no reference holds a new one afterwards;
 * release it with dsm_removeref_diskvolumeinfo(). One it held is kept.
 *
 * @param[in,out] diskvolumeinfo the volume record; must not be NULL
 * @param[in]     flags          the flags to add
 * @return 0; 2050200 (NULL @p diskvolumeinfo, a value that cannot be made, a
 *         held value without its volume); 2050001 (memory exhausted);
 *         2050302, 2050303 (an unexpected failure)
 */
int dsm_set_diskvolume_flags(dsm_diskvolumeinfo_t *diskvolumeinfo, int64_t flags);

/**
 * @brief Adds a replication source to the volume value the record holds;
 * nothing is sent.
 *
 * Appends "DSM::ReplicationSourceSpec" with @p repname to the held volume's
 * properties (no check for duplicates) and increases
 * "DSMi::ReplicationSourceAndTargetSpecCount", which counts sources and
 * targets together (adding it with 1 when absent). The entry reaches the
 * service when the record is sent by
 * dsm_create_diskvolume_from_diskvolumeinfo().
 * Ownership: the record's reference is kept; none is added or released.
 *
 * @param[in,out] diskvolumeinfo a volume record holding its reference; must
 *                               not be NULL
 * @param[in]     repname        the source; must not be NULL
 * @return 0; 2050200 (NULL pointer, a record without its reference, a held
 *         value without its volume); 2050001 (memory exhausted); 2050302,
 *         2050303 (an unexpected failure)
 */
int dsm_set_diskvolume_repsource(dsm_diskvolumeinfo_t *diskvolumeinfo,
    const char *repname);

/**
 * @brief Adds a replication target to the volume value the record holds;
 * nothing is sent.
 *
 * Appends "DSM::ReplicationTargetSpec" with @p repname to the held volume's
 * properties (no check for duplicates) and increases
 * "DSMi::ReplicationSourceAndTargetSpecCount", which counts sources and
 * targets together (adding it with 1 when absent). The entry reaches the
 * service when the record is sent by
 * dsm_create_diskvolume_from_diskvolumeinfo().
 * Ownership: the record's reference is kept; none is added or released.
 *
 * @param[in,out] diskvolumeinfo a volume record holding its reference; must
 *                               not be NULL
 * @param[in]     repname        the target; must not be NULL
 * @return 0; 2050200 (NULL pointer, a record without its reference, a held
 *         value without its volume); 2050001 (memory exhausted); 2050302,
 *         2050303 (an unexpected failure)
 */
int dsm_set_diskvolume_reptarget(dsm_diskvolumeinfo_t *diskvolumeinfo,
    const char *repname);

/** @} */

/**
 * @defgroup dsm_mounts Mount points, global attributes, server types and LSU lists
 * @brief Mount points of a pool, global attributes, storage server types and
 * the logical storage units behind a storage unit label.
 * @{
 */

/**
 * @brief Lists the mount points of a pool's volumes.
 *
 * After the argument checks the library connects, then requires the pool
 * record's reference, and sends getMountPointList with the held pool. The
 * list protocol of this header applies. Each filled element is cleared and
 * given the mount point's path, its host ("DSM::storageServer") and its
 * state ("DSM::state", decimal).
 * Ownership: an element holds a reference to its MountPoint only when the
 * mount point carries properties beyond "DSM::storageServer" and
 * "DSM::state" (dsm_mountpoint_dvname() and dsm_mountpoint_flags() need
 * one); the others have object_ref NULL. Release them with
 * dsm_removeref_mountpoint_list() over the filled elements (NULL ones are
 * skipped).
 *
 * @param[in]  diskgroupinfo a pool record holding its reference; must not be
 *                           NULL
 * @param[out] mountpoints   the caller's array; must not be NULL
 * @param[in]  num_alloc_mps number of elements in @p mountpoints, 0 or more
 * @param[out] num_avail_mps receives the number of mount points the service
 *                           returned; must not be NULL
 * @return 0, also when fewer elements were allocated than available; 2050200
 *         (NULL pointer, negative count, a pool record without its
 *         reference); 2050201 (no connection, also for a record without its
 *         reference); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_diskgroup_mountpoints(const dsm_diskgroupinfo_t *diskgroupinfo,
    dsm_mountpoint_t *mountpoints, int num_alloc_mps, int *num_avail_mps);

/**
 * @brief The volume name of a mount point, read from the value the record
 * holds.
 *
 * Nothing is sent. When @p diskvolume_name_len is at least 257 and the
 * record holds its reference, all @p diskvolume_name_len bytes of
 * @p diskvolume_name are cleared and the mount point's "DSM::diskVolumeName"
 * is copied into it, cut to 255 characters whatever the buffer's size.
 *
 * @param[in]  mountpoint          a mount point record holding its
 *                                 reference; must not be NULL
 * @param[out] diskvolume_name     receives the name; left cleared when the
 *                                 property is absent; must not be NULL
 * @param[in]  diskvolume_name_len size of @p diskvolume_name in bytes; at
 *                                 least 257 (else 2050200, nothing written)
 * @return 0; 2050200 (NULL pointer, @p diskvolume_name_len below 257, a
 *         record without its reference, the property absent); 2050302,
 *         2050303 (an unexpected failure)
 */
int dsm_mountpoint_dvname(const dsm_mountpoint_t *mountpoint, char *diskvolume_name,
    int diskvolume_name_len);

/**
 * @brief The "DSM::flags" of a mount point, read from the value the record
 * holds.
 *
 * Nothing is sent. The property is read as an unsigned 64-bit decimal.
 *
 * @param[in]  mountpoint a mount point record holding its reference; must
 *                        not be NULL
 * @param[out] kdu_flags  receives the flags; unchanged on failure; must not
 *                        be NULL
 * @return 0; 2050200 (NULL pointer, a record without its reference, the
 *         property absent); 2050302, 2050303 (an unexpected failure)
 */
int dsm_mountpoint_flags(const dsm_mountpoint_t *mountpoint, uint64_t *kdu_flags);

/**
 * @brief Sets a global attribute of the disk service, or reads it.
 *
 * Sends setGlobalAttribute with @p name and @p value (the empty string when
 * @p value is NULL); an empty value asks for the current value only. The
 * string the service returns, the attribute's previous value, is copied into
 * @p old_value, cut to @p old_value_len - 1 characters.
 *
 * @param[in]  name          the attribute; must not be NULL
 * @param[in]  value         its new value; NULL or empty reads the value
 * @param[out] old_value     receives the previous (or current) value; must
 *                           not be NULL
 * @param[in]  old_value_len size of @p old_value in bytes, 0 or more (0
 *                           writes nothing)
 * @return 0; 2050200 (NULL @p name or @p old_value, negative
 *         @p old_value_len); 2050201 (no connection); a service error code
 *         or -1; 2050301..2050303
 */
int dsm_set_global_attribute(const char *name, const char *value, char *old_value,
    int old_value_len);

/**
 * @brief The storage server type name of a disk subtype.
 *
 * Nothing is sent: the library's own table answers. Subtypes 0 to 3 give
 * "LegacyDisk", "BasicDisk", "NearStore" and "SnapVault"; any other subtype
 * (6 included) gives "DiskPool". The name is copied into
 * @p storageserver_type, cut to @p sts_type_len - 1 characters.
 *
 * @param[in]  disk_subtype       the subtype, 0 or more
 * @param[out] storageserver_type receives the name; must not be NULL
 * @param[in]  sts_type_len       size of @p storageserver_type in bytes, 0
 *                                or more (0 writes nothing)
 * @return 0; 2050200 (negative @p disk_subtype or @p sts_type_len, NULL
 *         @p storageserver_type); 2050302, 2050303 (an unexpected failure)
 */
int dsm_get_storageserver_type(int disk_subtype, char *storageserver_type,
    int sts_type_len);

/**
 * @brief The disk subtype of a storage server type name.
 *
 * Nothing is sent: the library's own table answers. The names it knows,
 * exactly as written, are "LegacyDisk" (0), "BasicDisk" (1), "NearStore"
 * (2), "SnapVault" (3) and "SANDisk" (6).
 *
 * @param[in]  storageserver_type the type name; must not be NULL
 * @param[out] disk_subtype       receives the subtype; unchanged on
 *                                failure; must not be NULL
 * @return 0; 2050200 (NULL pointer, a name the table does not know);
 *         2050302, 2050303 (an unexpected failure)
 */
int dsm_get_disk_subtype(const char *storageserver_type, uint32_t *disk_subtype);

/**
 * @brief The logical storage units behind a storage unit label, in an array
 * the library allocates.
 *
 * Sends getDiskGroupInfoListByStorageUnitLabel as
 * dsm_get_diskgroupinfo_list_by_storage_unit_label() does, then makes one
 * record per volume of each returned pool, in the service's order: the
 * volume name, the name of the pool's first storage server (empty when it
 * has none), the pool's name, server type and master server. After the
 * argument checks *@p num_lsus is set to 0; on success it holds the number
 * of records and *@p lsu_list the array (NULL when there is none). On
 * failure *@p lsu_list is not written and nothing is left to free.
 * Ownership: the array is the caller's, plain data without references;
 * release it with free(). Sort it with
 * dsm_sort_ELP_lsu_list_by_ssname_sstype().
 *
 * @param[in]  master_server      master server; must not be NULL
 * @param[in]  storage_unit_label the label; must not be NULL
 * @param[in]  server_type        storage server type; may be NULL or empty
 *                                (no type)
 * @param[in]  query_option       passed to the service unchanged
 * @param[out] lsu_list           receives the array or NULL; must not be
 *                                NULL (it is not checked)
 * @param[out] num_lsus           receives the number of records; must not be
 *                                NULL (it is not checked)
 * @return 0; 2050200 (NULL @p master_server or @p storage_unit_label); 2050201
 *         (no connection); 2050202 (null result); 2050001 (the array cannot
 *         be allocated; *@p num_lsus is then 0); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_ELP_LSU_list_by_storage_unit_label(const char *master_server,
    const char *storage_unit_label, const char *server_type, int query_option,
    dsm_ELP_lsu_t **lsu_list, int *num_lsus);

/**
 * @brief Compares two logical storage units by storage server name, then by
 * server type.
 *
 * Nothing is sent. Each field is compared byte by byte as unsigned
 * characters, up to its terminator or its declared size; the other fields
 * play no part. For qsort(), call it from a function that takes two const
 * void pointers.
 *
 * @param[in] a the first record; must not be NULL
 * @param[in] b the second record; must not be NULL
 * @return -1 when @p a sorts first, 1 when @p b does, 0 when both fields are
 *         equal
 */
int dsm_sort_ELP_lsu_list_by_ssname_sstype(const dsm_ELP_lsu_t *a,
    const dsm_ELP_lsu_t *b);

/** @} */

/**
 * @defgroup dsm_servers Storage servers
 * @brief List, read and change storage servers and their configuration.
 *
 * A storage server record that holds its StorageServerInfo reference
 * (dsm_get_storageserverinfo_list(), dsm_get_storageserverinfo(),
 * dsm_get_storageserverinfo_novalidate(), or the flag and state updates with
 * an output record) lets the state, flags and array type readers work
 * without asking the service again.
 * @{
 */

/**
 * @brief Lists the storage servers of a machine, each element holding its
 * server's value.
 *
 * Sends getStorageServerInfoList with @p machine_name and the database mode.
 * The list protocol of this header applies. Each filled element is cleared,
 * given a counted reference and the server's identity and flags.
 * Ownership: every filled element holds one reference afterwards; release
 * them with dsm_removeref_storageserver_list() over the filled elements.
 *
 * @param[in]  machine_name the machine; must not be NULL; the empty string
 *                          asks for every storage server
 * @param[in]  db_mode      database mode
 * @param[out] stservers    the caller's array; must not be NULL
 * @param[in]  num_alloc_stservers number of elements in @p stservers, 0 or
 *                          more
 * @param[out] num_avail_stservers receives the number of servers the service
 *                          returned; must not be NULL
 * @return 0, also when fewer elements were allocated than available; 2050200
 *         (NULL pointer, negative count, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_storageserverinfo_list(const char *machine_name, dsm_dbmode db_mode,
    dsm_storageserverinfo_t *stservers, int num_alloc_stservers,
    int *num_avail_stservers);

/**
 * @brief Reads one storage server into a record that holds its value; the
 * service fails for a server it does not know.
 *
 * Sends getStorageServerInfo with the server built from @p stserver (name,
 * id, type number, server type, media server) plus
 * "DSM::StorageServerMustExist" = "true", and the database mode. Once the
 * service has answered, a reference the record held is released and the new
 * one stored; then the record is filled without being cleared.
 * Ownership: @p stserverinfo holds exactly one reference afterwards, the
 * newest; release it with dsm_removeref_storageserver().
 *
 * @param[in]     stserver     the server to read; must not be NULL
 * @param[in]     db_mode      database mode
 * @param[in,out] stserverinfo filled on success; an older reference it held
 *                             is released; must not be NULL
 * @return 0; 2050200 (NULL pointer, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1
 *         (also for an unknown server); 2050301..2050303
 */
int dsm_get_storageserverinfo(const dsm_storageserver_t *stserver, dsm_dbmode db_mode,
    dsm_storageserverinfo_t *stserverinfo);

/**
 * @brief Reads one storage server into a record that holds its value,
 * without asking the service to validate it.
 *
 * As dsm_get_storageserverinfo(), without the "DSM::StorageServerMustExist"
 * property.
 * Ownership: @p stserverinfo holds exactly one reference afterwards, the
 * newest; release it with dsm_removeref_storageserver().
 *
 * @param[in]     stserver     the server to read; must not be NULL
 * @param[in]     db_mode      database mode
 * @param[in,out] stserverinfo filled on success; an older reference it held
 *                             is released; must not be NULL
 * @return 0; 2050200 (NULL pointer, unknown @p db_mode); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_storageserverinfo_novalidate(const dsm_storageserver_t *stserver,
    dsm_dbmode db_mode, dsm_storageserverinfo_t *stserverinfo);

/**
 * @brief Lists the configuration items of a storage server.
 *
 * Sends getStorageServerConfig with the server and the database mode. The
 * list protocol of this header applies, except that @p num_alloc is not
 * checked (a negative count fills nothing). Each filled element is cleared
 * and filled; an item without a name or a value is logged and its element
 * stays empty but for what was read (it keeps its place and is counted).
 *
 * @param[in]  stserver    the server; must not be NULL
 * @param[in]  db_mode     database mode
 * @param[out] configitems the caller's array; must not be NULL
 * @param[in]  num_alloc   number of elements in @p configitems
 * @param[out] num_avail_configitems receives the number of items the service
 *                         returned; must not be NULL
 * @return 0, also when fewer elements were allocated than available; 2050200
 *         (NULL pointer, unknown @p db_mode); 2050201 (no connection);
 *         2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_get_storageserver_configitems(const dsm_storageserver_t *stserver,
    dsm_dbmode db_mode, dsm_configitem_t *configitems, int num_alloc,
    int *num_avail_configitems);

/**
 * @brief Sends configuration items to a storage server.
 *
 * Sends updateStorageServerConfig with the server, @p num_configitems items
 * built from @p configitems (name, value, kind; "DSM::AuditReason" on the
 * first item when @p reason is given) and the database mode. An item whose
 * data_type the library does not know is logged and sent with its name and
 * value only; the status does not change for it. A non-zero audit value on the first
 * item the service returns gives 2000053; an empty answer gives 0.
 *
 * @param[in] stserver        the server; must not be NULL
 * @param[in] db_mode         database mode
 * @param[in] configitems     the items; must not be NULL, even when
 *                            @p num_configitems is 0
 * @param[in] num_configitems number of items in @p configitems
 * @param[in] reason          audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change); 2050200 (NULL
 *         pointer, unknown @p db_mode); 2050201 (no connection); 2050202
 *         (null result); a service error code or -1; 2050301..2050303
 */
int dsm_update_storageserver_configitems(const dsm_storageserver_t *stserver,
    dsm_dbmode db_mode, const dsm_configitem_t *configitems, unsigned int num_configitems,
    const char *reason);

/**
 * @brief Creates a storage server.
 *
 * Sends createStorageServer with the server built from @p stserver (with
 * "DSM::AuditReason" when @p reason is given) and the database mode. A
 * non-zero audit value of the returned server gives 2000053. No record is
 * changed.
 *
 * @param[in] stserver the server; must not be NULL
 * @param[in] db_mode  database mode
 * @param[in] reason   audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change); 2050200 (NULL
 *         @p stserver, unknown @p db_mode); 2050201 (no connection); 2050202
 *         (null result); a service error code or -1; 2050301..2050303
 */
int dsm_create_storageserver(const dsm_storageserver_t *stserver, dsm_dbmode db_mode,
    const char *reason);

/**
 * @brief Updates a storage server.
 *
 * Sends updateStorageServer with the server built from @p stserver (with
 * "DSM::AuditReason" when @p reason is given) and the database mode. A
 * non-zero audit value of the returned server gives 2000053. No record is
 * changed.
 *
 * @param[in] stserver the server; must not be NULL
 * @param[in] db_mode  database mode
 * @param[in] reason   audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change); 2050200 (NULL
 *         @p stserver, unknown @p db_mode); 2050201 (no connection); 2050202
 *         (null result); a service error code or -1; 2050301..2050303
 */
int dsm_update_storageserver(const dsm_storageserver_t *stserver, dsm_dbmode db_mode,
    const char *reason);

/**
 * @brief Deletes a storage server.
 *
 * Sends removeStorageServer with the server built from @p stserver (with
 * "DSM::AuditReason" when @p reason is given) and the database mode. A
 * non-zero audit value of the returned server gives 2000053. No record is
 * changed.
 *
 * @param[in] stserver the server; must not be NULL
 * @param[in] db_mode  database mode
 * @param[in] reason   audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change); 2050200 (NULL
 *         @p stserver, unknown @p db_mode); 2050201 (no connection); 2050202
 *         (null result); a service error code or -1; 2050301..2050303
 */
int dsm_delete_storageserver(const dsm_storageserver_t *stserver, dsm_dbmode db_mode,
    const char *reason);

/**
 * @brief Sets a storage server's "DSM::flags", then reads the server back.
 *
 * Sends updateStorageServer with the server built from @p stserver,
 * "DSM::flags" as a signed decimal and "DSM::AuditReason" when @p reason is
 * given. When @p stserverinfo is given, it is then refilled as
 * dsm_get_storageserverinfo() does (getStorageServerInfo), and the refill's
 * status replaces the update's; an exception during the update (a service
 * error, an ORB or other failure) ends the call before the refill.
 * Ownership: a refilled @p stserverinfo holds exactly one new reference (an
 * older one is released); release it with dsm_removeref_storageserver().
 *
 * @param[in]     stserver     the server; must not be NULL
 * @param[in]     flags        the new flags
 * @param[in]     db_mode      database mode of the update and the refill
 * @param[in,out] stserverinfo refilled from the service; may be NULL (no
 *                             refill)
 * @param[in]     reason       audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change, and the
 *         refill, if any, succeeded); 2050200 (NULL @p stserver, unknown
 *         @p db_mode); 2050201 (no connection); 2050202 (null result of the
 *         update, returned only without @p stserverinfo); a service error
 *         code or -1; 2050301..2050303
 */
int dsm_update_storageserver_flags(const dsm_storageserver_t *stserver, int64_t flags,
    dsm_dbmode db_mode, dsm_storageserverinfo_t *stserverinfo, const char *reason);

/**
 * @brief Sets a storage server's "DSM::flagsExt", then reads the server
 * back.
 *
 * Sends updateStorageServer with the server built from @p stserver,
 * "DSM::flagsExt" as an unsigned decimal and "DSM::AuditReason" when
 * @p reason is given. When @p stserverinfo is given, it is then refilled as
 * dsm_get_storageserverinfo() does (getStorageServerInfo), and the refill's
 * status replaces the update's; an exception during the update (a service
 * error, an ORB or other failure) ends the call before the refill.
 * Ownership: a refilled @p stserverinfo holds exactly one new reference (an
 * older one is released); release it with dsm_removeref_storageserver().
 *
 * @param[in]     stserver     the server; must not be NULL
 * @param[in]     flagsext     the new extended flags
 * @param[in]     db_mode      database mode of the update and the refill
 * @param[in,out] stserverinfo refilled from the service; may be NULL (no
 *                             refill)
 * @param[in]     reason       audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change, and the
 *         refill, if any, succeeded); 2050200 (NULL @p stserver, unknown
 *         @p db_mode); 2050201 (no connection); 2050202 (null result of the
 *         update, returned only without @p stserverinfo); a service error
 *         code or -1; 2050301..2050303
 */
int dsm_update_storageserver_flagsext(const dsm_storageserver_t *stserver,
    uint64_t flagsext, dsm_dbmode db_mode, dsm_storageserverinfo_t *stserverinfo,
    const char *reason);

/**
 * @brief Sets a storage server up or down, then reads the server back.
 *
 * Sends updateStorageServer with the server built from @p stserver,
 * "DSM::AdminUp" = "1" when @p state is 1 and "0" for any other value, and
 * "DSM::AuditReason" when @p reason is given. When @p stserverinfo is given,
 * it is then refilled as dsm_get_storageserverinfo() does
 * (getStorageServerInfo), and the refill's status replaces the update's;
 * an exception during the update (a service error, an ORB or other failure)
 * ends the call before the refill.
 * Ownership: a refilled @p stserverinfo holds exactly one new reference (an
 * older one is released); release it with dsm_removeref_storageserver().
 *
 * @param[in]     stserver     the server; must not be NULL
 * @param[in]     state        1: up; any other value: down
 * @param[in]     db_mode      database mode of the update and the refill
 * @param[in,out] stserverinfo refilled from the service; may be NULL (no
 *                             refill)
 * @param[in]     reason       audit reason; NULL sends none
 * @return 0; 2000053 (the audit refused or flagged the change, and the
 *         refill, if any, succeeded); 2050200 (NULL @p stserver, unknown
 *         @p db_mode); 2050201 (no connection); 2050202 (null result of the
 *         update, returned only without @p stserverinfo); a service error
 *         code or -1; 2050301..2050303
 */
int dsm_update_storageserver_state(const dsm_storageserver_t *stserver,
    unsigned int state, dsm_dbmode db_mode, dsm_storageserverinfo_t *stserverinfo,
    const char *reason);

/**
 * @brief The state of a storage server, read from the value the record
 * holds.
 *
 * Nothing is sent. "DSM::state" of the held server is read as a number: 1
 * (up) and 2 (down) are stored as they are; any other number, or an absent
 * property, stores 0 with status 0.
 *
 * @param[in]  stserverinfo a server record holding its reference; must not
 *                          be NULL
 * @param[out] kdu_state    receives 1, 2 or 0; must not be NULL
 * @return 0 (also when the property is absent); 2050200 (NULL pointer, a
 *         record without its reference); 2050302, 2050303 (an unexpected
 *         failure)
 */
int dsm_storageserver_state(const dsm_storageserverinfo_t *stserverinfo,
    uint32_t *kdu_state);

/**
 * @brief The "DSM::flags" of a storage server, read from the value the
 * record holds.
 *
 * Nothing is sent. The property is read as a signed 64-bit decimal and
 * stored unchanged in 64 bits; an absent property stores 0 with status 0.
 *
 * @param[in]  stserverinfo a server record holding its reference; must not
 *                          be NULL
 * @param[out] kdu_flags    receives the flags; must not be NULL
 * @return 0 (also when the property is absent); 2050200 (NULL pointer, a
 *         record without its reference); 2050302, 2050303 (an unexpected
 *         failure)
 */
int dsm_storageserver_flags(const dsm_storageserverinfo_t *stserverinfo,
    uint64_t *kdu_flags);

/**
 * @brief The "DSM::flagsExt" of a storage server, read from the value the
 * record holds.
 *
 * Nothing is sent. The property is read as an unsigned 64-bit decimal; an
 * absent property stores 0 with status 0.
 *
 * @param[in]  stserverinfo a server record holding its reference; must not
 *                          be NULL
 * @param[out] kdu_flagsext receives the extended flags; must not be NULL
 * @return 0 (also when the property is absent); 2050200 (NULL pointer, a
 *         record without its reference); 2050302, 2050303 (an unexpected
 *         failure)
 */
int dsm_storageserver_flagsext(const dsm_storageserverinfo_t *stserverinfo,
    uint64_t *kdu_flagsext);

/**
 * @brief The array types of a "SharedDisk" storage server, read from the
 * value the record holds.
 *
 * Nothing is sent. The record's server_type must be exactly "SharedDisk"
 * (checked before the reference). Each "Arraytype.List" property of the held
 * server, in order, has the form internal name, colon, display name and is
 * split at its last colon: the display name goes to @p at_display_names and
 * the internal name to @p at_names, each cut to 1024 characters.
 * *@p num_avail_names is set to 0, then counts the entries stored and, once
 * @p num_alloc_names are stored, every further "Arraytype.List" property. A
 * property without a colon is skipped while there is room, but counted
 * after that.
 *
 * @param[in]  stserverinfo     a "SharedDisk" server record holding its
 *                              reference; must not be NULL
 * @param[out] at_display_names receives the display names; must not be NULL
 * @param[out] at_names         receives the internal names; may be NULL (not
 *                              stored)
 * @param[in]  num_alloc_names  number of buffers in each array (not checked;
 *                              a negative number stores nothing)
 * @param[out] num_avail_names  receives the count; must not be NULL
 * @return 0; 2050200 (NULL pointer, another server type, a record without
 *         its reference); 2050302, 2050303 (an unexpected failure)
 */
int dsm_get_storageserver_arraytypes(const dsm_storageserverinfo_t *stserverinfo,
    dsm_name_t *at_display_names, dsm_name_t *at_names, int num_alloc_names,
    int *num_avail_names);

/**
 * @brief The array types of a data mover.
 *
 * Reads the data mover as a "SharedDisk" storage server with
 * dsm_get_storageserverinfo() in database mode 0 (getStorageServerInfo; the
 * server's name is @p datamover, its type number 6 and its media server
 * @p datamover cut to 64 characters), then answers as
 * dsm_get_storageserver_arraytypes() does. The reference read is released
 * before returning.
 *
 * @param[in]  datamover        the data mover machine; must not be NULL
 * @param[out] at_display_names receives the display names; must not be NULL
 * @param[out] at_names         receives the internal names; may be NULL (not
 *                              stored)
 * @param[in]  num_alloc_names  number of buffers in each array (not checked;
 *                              a negative number stores nothing)
 * @param[out] num_avail_names  receives the count; must not be NULL
 * @return 0; 2050200 (NULL pointer); 2050201 (no connection); 2050202 (null
 *         result); a service error code or -1 (also for a machine the
 *         service does not know as a storage server); 2050301..2050303
 */
int dsm_get_datamover_arraytypes(const char *datamover, dsm_name_t *at_display_names,
    dsm_name_t *at_names, int num_alloc_names, int *num_avail_names);

/** @} */

/**
 * @defgroup dsm_enclosures Enclosures
 * @brief List enclosures, their disks and storage servers, and import one as
 * a disk pool.
 *
 * As for the pools, a non-NULL storage server array with a count of 0 sends
 * an empty server list, which the service answers with every enclosure.
 * @{
 */

/**
 * @brief Lists the enclosures that the given storage servers see, without
 * their details.
 *
 * Sends getEnclosureList with the server list and the union flag set (the
 * enclosures seen by any of the servers). The list protocol of this header
 * applies. Each filled element is cleared, then given the enclosure's name,
 * id and server type.
 *
 * @param[in]  stservers     the servers; must not be NULL, even when
 *                           @p num_stservers is 0 (it is then not read)
 * @param[in]  num_stservers number of records in @p stservers, 0 or more
 * @param[out] enclosures    the caller's array; must not be NULL
 * @param[in]  num_alloc_enclosures number of elements in @p enclosures, 0 or
 *                           more
 * @param[out] num_avail_enclosures receives the number of enclosures the
 *                           service returned; must not be NULL
 * @return 0, also when fewer elements were allocated than available; 2050200
 *         (NULL pointer, negative count); 2050201 (no connection); 2050202
 *         (null result); a service error code or -1; 2050301..2050303
 */
int dsm_get_enclosure_list(const dsm_storageserver_t *stservers, int num_stservers,
    dsm_enclosure_t *enclosures, int num_alloc_enclosures, int *num_avail_enclosures);

/**
 * @brief Lists the enclosures that the given storage servers see, with their
 * details, each element holding its enclosure's value.
 *
 * Sends getEnclosureInfoList with the server list and the union flag set.
 * The list protocol of this header applies. Each filled element is cleared,
 * given a counted reference and the enclosure's details.
 * Ownership: every filled element holds one reference afterwards; release
 * them with dsm_removeref_enclosureinfo_list() over the filled elements.
 *
 * @param[in]  stservers     the servers; must not be NULL, even when
 *                           @p num_stservers is 0 (it is then not read)
 * @param[in]  num_stservers number of records in @p stservers, 0 or more
 * @param[out] enclosures    the caller's array; must not be NULL
 * @param[in]  num_alloc_enclosures number of elements in @p enclosures, 0 or
 *                           more
 * @param[out] num_avail_enclosures receives the number of enclosures the
 *                           service returned; must not be NULL
 * @return 0, also when fewer elements were allocated than available; 2050200
 *         (NULL pointer, negative count); 2050201 (no connection); 2050202
 *         (null result); a service error code or -1; 2050301..2050303
 */
int dsm_get_enclosureinfo_list(const dsm_storageserver_t *stservers, int num_stservers,
    dsm_enclosureinfo_t *enclosures, int num_alloc_enclosures, int *num_avail_enclosures);

/**
 * @brief The disks of an enclosure, read from the value the record holds.
 *
 * Nothing is sent. The list protocol of this header applies; each filled
 * element is cleared, then given the disk's name, id and availability.
 *
 * @param[in]  enclosureinfo an enclosure record holding its reference; must
 *                           not be NULL
 * @param[out] disks         the caller's array; must not be NULL
 * @param[in]  num_alloc_disks number of elements in @p disks, 0 or more
 * @param[out] num_avail_disks receives the number of disks; must not be NULL
 * @return 0; 2050200 (NULL pointer, negative count, a record without its
 *         reference); 2050302, 2050303 (an unexpected failure)
 */
int dsm_get_enclosure_disks(const dsm_enclosureinfo_t *enclosureinfo, dsm_disk_t *disks,
    int num_alloc_disks, int *num_avail_disks);

/**
 * @brief The storage servers of an enclosure, read from the value the record
 * holds.
 *
 * Nothing is sent. The list protocol of this header applies; each filled
 * element is cleared, then filled.
 *
 * @param[in]  enclosureinfo an enclosure record holding its reference; must
 *                           not be NULL
 * @param[out] stservers     the caller's array; must not be NULL
 * @param[in]  num_alloc_stservers number of elements in @p stservers, 0 or
 *                           more
 * @param[out] num_avail_stservers receives the number of storage servers;
 *                           must not be NULL
 * @return 0; 2050200 (NULL pointer, negative count, a record without its
 *         reference); 2050302, 2050303 (an unexpected failure)
 */
int dsm_get_enclosure_stservers(const dsm_enclosureinfo_t *enclosureinfo,
    dsm_storageserver_t *stservers, int num_alloc_stservers, int *num_avail_stservers);

/**
 * @brief Imports an enclosure as a disk pool.
 *
 * After the argument checks the record's reference is required, then the
 * library connects. "DSM::diskGroupName" (when @p diskgroup is neither NULL
 * nor empty; otherwise the pool takes the enclosure's name) and
 * "DSM::master" are appended to the enclosure inside the held value, where
 * they stay: a second import from the same record sends them again. Sends
 * importEnclosure with that enclosure, its disks as held, the server list,
 * @p num_share_stservers unchanged and an empty property list. Once the
 * service has answered, @p diskgroupinfo is cleared whole and filled with
 * the new pool.
 * Ownership: @p diskgroupinfo holds no reference afterwards; one it held is
 * dropped by the clearing without release, so release it first.
 * @p enclosureinfo keeps its reference.
 *
 * @param[in]  enclosureinfo       an enclosure record holding its reference;
 *                                 must not be NULL
 * @param[in]  diskgroup           name of the new pool; may be NULL or empty
 *                                 (the enclosure's name)
 * @param[in]  master_server       master server; must not be NULL
 * @param[in]  stservers           the servers; must not be NULL
 * @param[in]  num_stservers       number of records in @p stservers, 0 or
 *                                 more
 * @param[in]  num_share_stservers 0 or more; passed to the service as its
 *                                 number argument (it selects no record)
 * @param[out] diskgroupinfo       receives the new pool; must not be NULL
 * @return 0; 2050200 (NULL pointer, negative count, a record without its
 *         reference, a held value without its enclosure); 2050201 (no
 *         connection); 2050202 (null result); a service error code or -1;
 *         2050301..2050303
 */
int dsm_import_enclosure(const dsm_enclosureinfo_t *enclosureinfo, const char *diskgroup,
    const char *master_server, const dsm_storageserver_t *stservers, int num_stservers,
    int num_share_stservers, dsm_diskgroupinfo_t *diskgroupinfo);

/** @} */

/**
 * @defgroup dsm_removeref Reference release
 * @brief Release the reference an info record holds.
 *
 * Nothing is sent to the service and only an argument fault fails. Each
 * function releases the counted reference in object_ref and sets it to
 * NULL; the other fields stay as they are. A record whose object_ref is
 * NULL is left as it is, so releasing twice is harmless.
 * @{
 */

/**
 * @brief Releases the StorageServerInfo reference of a record.
 *
 * @param[in,out] stserverinfo the record; must not be NULL
 * @return 0; 2050200 (NULL @p stserverinfo)
 */
int dsm_removeref_storageserver(dsm_storageserverinfo_t *stserverinfo);

/**
 * @brief Releases the StorageServerInfo references of an array of records.
 *
 * @param[in,out] stservers     the records; must not be NULL, even when
 *                              @p num_stservers is 0
 * @param[in]     num_stservers number of records to release, 0 or more
 * @return 0; 2050200 (NULL @p stservers, negative @p num_stservers)
 */
int dsm_removeref_storageserver_list(dsm_storageserverinfo_t *stservers,
    int num_stservers);

/**
 * @brief Releases the DiskGroupInfo reference of a record.
 *
 * @param[in,out] diskgroupinfo the record; must not be NULL
 * @return 0; 2050200 (NULL @p diskgroupinfo)
 */
int dsm_removeref_diskgroupinfo(dsm_diskgroupinfo_t *diskgroupinfo);

/**
 * @brief Releases the DiskGroupInfo references of an array of records.
 *
 * @param[in,out] diskgroups     the records; must not be NULL, even when
 *                               @p num_diskgroups is 0
 * @param[in]     num_diskgroups number of records to release, 0 or more
 * @return 0; 2050200 (NULL @p diskgroups, negative @p num_diskgroups)
 */
int dsm_removeref_diskgroupinfo_list(dsm_diskgroupinfo_t *diskgroups, int num_diskgroups);

/**
 * @brief Releases the DiskVolumeInfo reference of a record.
 *
 * @param[in,out] diskvolumeinfo the record; must not be NULL
 * @return 0; 2050200 (NULL @p diskvolumeinfo)
 */
int dsm_removeref_diskvolumeinfo(dsm_diskvolumeinfo_t *diskvolumeinfo);

/**
 * @brief Releases the DiskVolumeInfo references of an array of records.
 *
 * @param[in,out] diskvolumes     the records; must not be NULL, even when
 *                                @p num_diskvolumes is 0
 * @param[in]     num_diskvolumes number of records to release, 0 or more
 * @return 0; 2050200 (NULL @p diskvolumes, negative @p num_diskvolumes)
 */
int dsm_removeref_diskvolumeinfo_list(dsm_diskvolumeinfo_t *diskvolumes,
    int num_diskvolumes);

/**
 * @brief Releases the EnclosureInfo reference of a record.
 *
 * @param[in,out] enclosureinfo the record; must not be NULL
 * @return 0; 2050200 (NULL @p enclosureinfo)
 */
int dsm_removeref_enclosureinfo(dsm_enclosureinfo_t *enclosureinfo);

/**
 * @brief Releases the EnclosureInfo references of an array of records.
 *
 * @param[in,out] enclosures     the records; must not be NULL, even when
 *                               @p num_enclosures is 0
 * @param[in]     num_enclosures number of records to release, 0 or more
 * @return 0; 2050200 (NULL @p enclosures, negative @p num_enclosures)
 */
int dsm_removeref_enclosureinfo_list(dsm_enclosureinfo_t *enclosures, int num_enclosures);

/**
 * @brief Releases the MountPoint reference of a record.
 *
 * @param[in,out] mountpoint the record; must not be NULL
 * @return 0; 2050200 (NULL @p mountpoint)
 */
int dsm_removeref_mountpoint(dsm_mountpoint_t *mountpoint);

/**
 * @brief Releases the MountPoint references of an array of records.
 *
 * @param[in,out] mountpoints     the records; must not be NULL, even when
 *                                @p num_mountpoints is 0
 * @param[in]     num_mountpoints number of records to release, 0 or more
 * @return 0; 2050200 (NULL @p mountpoints, negative @p num_mountpoints)
 */
int dsm_removeref_mountpoint_list(dsm_mountpoint_t *mountpoints, int num_mountpoints);

/** @} */

/**
 * @defgroup dsm_fastbackup Fast backup validators
 * @brief Whether backup destinations and policies allow fast (rapidor)
 * backups, and which storage servers offer them.
 *
 * A destination ("residence") is a storage lifecycle policy (SLP), a
 * storage group or a storage unit. The facts come from the product catalog
 * (the directory CATALOG_DIR of the product configuration), from the disk
 * service (the flags of a storage unit's disk pool) and from the device
 * mappings (DEVICE_MAPPINGS_FILE: whether a storage server type offers the
 * fast backup feature). These functions do not use the library's logging
 * function: they explain every answer in host log lines tagged with their
 * own names. They return the product's values, not the library's statuses:
 * 0; 20 (a NULL argument); 36 (memory exhausted); 144 (the policy's type or
 * client options exclude fast backups); 5300 (a fast backup policy without
 * storage); 5301 (a schedule's residence does not support them); 5302 (a
 * policy's residence does not support them); a catalog status (227: no such
 * entry, 220: the catalog cannot be read).
 *
 * The policy validators take two catalog records that this header declares
 * as incomplete types: struct CLASS, a policy with its list of schedules
 * (each naming up to 8 residences), and struct CLASS_ATTR, a policy's
 * attributes (policy type, client compression and encryption flags, fast
 * backup flag, up to 8 residences). They are the host catalog's records
 * (kdcatalog.h in the source tree): code built against that catalog reads
 * them with db_getCLASS(&policy, name) and db_getCLASS_ATTR(&attr, name)
 * (0 when found) and frees the policy with db_freeCLASS(). Neither that
 * header nor a link name for the host library is installed, so a caller
 * built against the installed package alone cannot make these records:
 * it can only pass on records that such catalog code made.
 * validate_fast_backup_by_classname() reads the policy itself, by name, but
 * still takes the attributes. The residence checks and the storage server
 * query take names and records of this header only.
 * @{
 */

/** @brief A policy record of the host catalog (incomplete here). */
struct CLASS;
/** @brief A policy attributes record of the host catalog (incomplete here). */
struct CLASS_ATTR;

/**
 * @brief Whether a storage unit supports fast backups; 1 also for a name
 * that is not a storage unit.
 *
 * Reads the master server name and the storage unit from the catalog. A
 * disk storage unit (type 0 or 6 with sub media type 6) supports fast
 * backups when its disk pool, read with dsm_get_diskgroupinfo() (the pool
 * the unit names, server type "DiskPool", the master server, database mode
 * 1), has the bit 0x100000 in its "DSM::flags" and the device mappings give
 * the pool's server type the fast backup feature. Any other storage unit
 * does not. A name the catalog does not give as a storage unit (also when it
 * cannot be read) is "not a storage unit".
 *
 * @param[in]  name   the name to judge; NULL gives 0
 * @param[out] is_stu set to 1 (a storage unit) or 0 (not one) once the
 *                    catalog was asked; untouched when the call ends before
 *                    (NULL @p name, no master server), so set it to 0 first;
 *                    may be NULL
 * @return 1 when the storage unit supports fast backups or @p name is not a
 *         storage unit; 0 otherwise (also for a NULL @p name or an unknown
 *         master server)
 */
int storage_unit_support_fast_backup(const char *name, int *is_stu);

/**
 * @brief Whether a storage group supports fast backups; 1 also for a name
 * that is not a storage group.
 *
 * Reads the storage group from the catalog. It supports fast backups when
 * its selection method is failover (3) and every member is a storage unit
 * that supports them (storage_unit_support_fast_backup()); a group without
 * members does. A name the catalog does not give as a storage group (also
 * when it cannot be read) is "not a storage group".
 *
 * @param[in]  name       the name to judge; NULL gives 0
 * @param[out] is_stgroup set to 1 (a storage group) or 0 (not one) once the
 *                        catalog was asked; untouched for a NULL @p name, so
 *                        set it to 0 first; may be NULL
 * @return 1 when the storage group supports fast backups or @p name is not a
 *         storage group; 0 otherwise (also for a NULL @p name)
 */
int storage_group_support_fast_backup(const char *name, int *is_stgroup);

/**
 * @brief Whether a residence supports fast backups.
 *
 * The name is tried as an SLP, then as a storage group
 * (storage_group_support_fast_backup()), then as a storage unit
 * (storage_unit_support_fast_backup()); the first kind the catalog knows the
 * name as answers. An SLP's backup operations are judged in order: one
 * without storage, or whose storage is neither a group nor a unit, or is one
 * that does not support fast backups, gives 0; the first storage group that
 * supports them settles the SLP as supported; an SLP whose backup storage
 * units all support them is supported.
 *
 * @param[in] residence the name to judge; NULL gives 0
 * @return 1 when it supports fast backups; 0 when it does not, when it is
 *         none of the three kinds, or for NULL
 */
int residence_support_fast_backup(const char *residence);

/**
 * @brief Whether every residence a fast backup policy names supports fast
 * backups.
 *
 * A fast backup flag of 0 in @p attr gives 0 without any check. Otherwise
 * each residence that a schedule of @p policy names (as many as its count,
 * one when the count is 0) must pass residence_support_fast_backup(); unset
 * names (NULL, empty or "*NULL*") are skipped. When there is a schedule and
 * every schedule names a residence, the policy's own residences are not
 * needed: 0. Otherwise each of @p attr's residences, up to its count (at most
 * 8), must be set and pass the same check; a count below 1 gives 0.
 *
 * @param[in] policy the policy with its schedules; must not be NULL
 * @param[in] attr   the policy's attributes; must not be NULL
 * @return 0 (valid, or fast backups off); 20 (NULL argument); 5300 (an unset
 *         policy residence); 5301 (a schedule's residence does not support
 *         fast backups); 5302 (a policy residence does not)
 */
int validate_fast_backup_residence(const struct CLASS *policy, const struct CLASS_ATTR *attr);

/**
 * @brief Whether a policy may have fast backups: its type, its client options
 * and its residences.
 *
 * A fast backup flag other than 1 in @p attr gives 0 without any check.
 * Otherwise the catalog's features of the policy type must include fast
 * backups, and client encryption and client compression must be off; then
 * the answer is validate_fast_backup_residence() on the same records.
 *
 * @param[in] policy the policy with its schedules; must not be NULL
 * @param[in] attr   the policy's attributes; must not be NULL
 * @return 0 (valid, or fast backups not requested); 20 (NULL argument); 144
 *         (the policy type, client encryption or client compression excludes
 *         fast backups); 5300, 5301, 5302 (as validate_fast_backup_residence())
 */
int validate_fast_backup_enabled(const struct CLASS *policy, const struct CLASS_ATTR *attr);

/**
 * @brief validate_fast_backup_enabled() on the catalog's policy of a name.
 *
 * Reads the policy @p classname from the catalog, validates it with @p attr
 * and frees it again.
 *
 * @param[in] classname the policy name; must not be NULL
 * @param[in] attr      the policy's attributes; must not be NULL
 * @return as validate_fast_backup_enabled(): 0, 20, 144, 5300, 5301, 5302;
 *         or the catalog's status when the policy cannot be read (227: no
 *         such policy, 220: the catalog cannot be read)
 */
int validate_fast_backup_by_classname(const char *classname, const struct CLASS_ATTR *attr);

/**
 * @brief The storage servers whose state is known and whose type offers fast
 * backups, in an array the library allocates.
 *
 * Lists every storage server with dsm_get_storageserverinfo_list() (the
 * empty machine name, database mode 1), asking again with a larger array
 * while the service reports more, and keeps, in the service's order, those
 * whose dsm_storageserver_state() is 1 or 2 and whose server type the device
 * mappings give the fast backup feature.
 * Ownership: the array is the caller's. Its records hold no reference (every
 * reference is released before the call returns); free it with
 * query_storage_server_free().
 *
 * @param[out] sts_info_buf    receives a malloc()ed array, or NULL when no
 *                             server qualifies; not written on failure; must
 *                             not be NULL
 * @param[out] sts_avail_count receives the number of records; not written on
 *                             failure; must not be NULL
 * @return 0; 20 (NULL argument); 36 (memory exhausted); a status of
 *         dsm_get_storageserverinfo_list()
 */
int query_storage_server_support_fast_backup(dsm_storageserverinfo_t **sts_info_buf,
    int *sts_avail_count);

/**
 * @brief Frees an array from query_storage_server_support_fast_backup().
 *
 * Its records hold no reference, so nothing else needs releasing.
 *
 * @param[in] sts_info_buf the array; NULL does nothing
 */
void query_storage_server_free(dsm_storageserverinfo_t *sts_info_buf);

/** @} */

#if defined(DSM_BUILDING_LIBRARY) && defined(__GNUC__)
#pragma GCC visibility pop
#endif

#ifdef __cplusplus
}
#endif

#endif /* DSM_H */
