// Fast (rapidor) backup validation of backup destinations and policies, and
// the query of the storage servers that offer fast backups.
//
// A destination ("residence") is a storage lifecycle policy (SLP), a storage
// group or a storage unit, read from the product catalog; a storage unit's
// disk pool is asked of the disk service, and a server type's features come
// from the device mappings. Every negative is an answer, not an error: the
// functions say why in the host log (level 2 for progress and expected
// negatives, 16 for failures), tagged with their own names, and never leave
// a catalog record or a service reference behind.
#include "dsm.h"

#include "kdbase.h"
#include "kdcatalog.h"
#include "kdmappings.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kLogLine = 2148;     // residence and policy messages
constexpr int kServerLine = 1024;  // storage server query messages

constexpr int kLogProgress = 2;
constexpr int kLogFailure = 16;

constexpr int kStatusNullArgument = 20;
constexpr int kStatusNoMemory = 36;
constexpr int kStatusPolicyExcludes = 144;
constexpr int kStatusNoPolicyStorage = 5300;
constexpr int kStatusScheduleResidence = 5301;
constexpr int kStatusPolicyResidence = 5302;

constexpr int kSelectionFailover = 3;
constexpr uint16_t kSubMediaStsDynamic = 6;
constexpr int kSlpBackupOperation = 0;
constexpr int64_t kPoolFastBackupFlag = 0x100000;
constexpr unsigned int kFeatureQuery = 0x40000000;
constexpr unsigned int kFeatureRapidor = 0x08000000;
constexpr dsm_dbmode kDbMode = 1;

}  // namespace

// One host log line composed in a buffer of 'size' bytes and tagged with a
// function's name: FB_LOG tags with the caller's own (a macro so that
// __func__ is the caller's), FB_LOG_AS with the name of the function a
// helper works for.
#define FB_LOG_AS(function, size, level, ...)               \
    do {                                                    \
        char fb_line_[size];                                \
        V_snprintf(fb_line_, sizeof fb_line_, __VA_ARGS__); \
        logmsg(level, fb_line_, function);                  \
    } while (0)
#define FB_LOG(size, level, ...) FB_LOG_AS(__func__, size, level, __VA_ARGS__)

namespace {

bool is_set(const char* name) { return name && *name && std::strcmp(name, "*NULL*") != 0; }

bool is_disk_unit(const STUNIT_REC& unit) {
    return (unit.type == 0 || unit.type == 6) && unit.sub_media_type == kSubMediaStsDynamic;
}

int clamp_count(int n) { return n < 0 ? 0 : (n > KDCAT_MAX_RESIDENCES ? KDCAT_MAX_RESIDENCES : n); }

// Writes through an optional "is a" out-value.
void set_is(int* out, int value) {
    if (out) *out = value;
}

// The outcome of a catalog lookup of 'name' as a 'kind': false, logged and
// with the out-value 0, when the catalog has no such object; else the
// out-value 1.
bool found_as(int status, const char* function, const char* name, const char* kind, int* is) {
    if (status != 0) {
        FB_LOG_AS(function, kLogLine, kLogProgress, "%s is not a %s", name, kind);
        set_is(is, 0);
        return false;
    }
    set_is(is, 1);
    return true;
}

// Loaded device mappings, freed on every path.
class Mappings {
public:
    Mappings() { m_ = InitializeMappings_C_(&error_, getTornelString("DEVICE_MAPPINGS_FILE")); }
    ~Mappings() { FreeMappings_C_(m_); }
    Mappings(const Mappings&) = delete;
    Mappings& operator=(const Mappings&) = delete;
    const kd_mappings_t* get() const { return m_; }
    int error() const { return error_; }

private:
    kd_mappings_t* m_ = nullptr;
    int error_ = 0;
};

// The server type's feature query; false when the mappings do not know it.
bool query_features(const char* server_type, const kd_mappings_t* mappings, ExtendedAttrQuery& q) {
    std::memset(&q, 0, sizeof q);
    V_strlcpy(q.storage_type, "ELP", sizeof q.storage_type);
    V_strlncpy(q.server_type, server_type, 16, sizeof q.server_type);
    q.request = KD_MAPPINGS_REQ_FEATURES;
    return GetExtendedAttributes_C_(&q, mappings) != 0;
}

}  // namespace

// 1 when the device mappings give 'server_type' the fast backup feature.
// Shared by the disk pool check and the storage server filter; 'size' is the
// caller's message buffer size.
#define FB_MAPPINGS_RAPIDOR(size, type_name, result)                                   \
    do {                                                                               \
        Mappings mappings_;                                                            \
        ExtendedAttrQuery q_;                                                          \
        (result) = 0;                                                                  \
        if (!mappings_.get()) {                                                        \
            FB_LOG(size, kLogFailure, "Initialize Mappings error(%d)", mappings_.error()); \
        } else if (query_features(type_name, mappings_.get(), q_)) {                   \
            FB_LOG(size, kLogProgress, "MAPPINGS LOADED FOR %s", q_.server_type);      \
            if (q_.feature_rapidor) {                                                  \
                FB_LOG(size, kLogProgress, "MAPPINGS FEATURE RAPIDOR ENABLED");         \
                (result) = 1;                                                          \
            } else {                                                                   \
                FB_LOG(size, kLogFailure, "MAPPINGS FEATURE RAPIDOR DISABLED");         \
            }                                                                          \
        }                                                                              \
    } while (0)

namespace {

// ---- residences ----

// Reads the pool's flags from the disk service and its server type's
// features from the mappings. The caller's pool information reference is
// released on every path.
int diskpool_support_fast_backup(const char* master_server, const char* disk_group_name) {
    if (!master_server) {
        FB_LOG(kLogLine, kLogFailure, "master_server is NULL");
        return 0;
    }
    if (!disk_group_name) {
        FB_LOG(kLogLine, kLogFailure, "disk_group_name is NULL");
        return 0;
    }
    FB_LOG(kLogLine, kLogProgress, "validating master server %s, disk group name %s", master_server,
           disk_group_name);

    dsm_diskgroup_t pool;
    std::memset(&pool, 0, sizeof pool);
    V_strlcpy(pool.name, disk_group_name, sizeof pool.name);
    V_strlcpy(pool.server_type, "DiskPool", sizeof pool.server_type);
    V_strlcpy(pool.master_server, master_server, sizeof pool.master_server);
    dsm_diskgroupinfo_t info;
    std::memset(&info, 0, sizeof info);
    if (dsm_get_diskgroupinfo(&pool, kDbMode, &info) != DSM_OK) {
        FB_LOG(kLogLine, kLogFailure, "get disk group info failed");
        dsm_removeref_diskgroupinfo(&info);
        return 0;
    }

    int supported = 0;
    int64_t flags = 0;
    if (dsm_diskgroup_flags(&info, &flags) != DSM_OK) {
        FB_LOG(kLogLine, kLogFailure, "get disk group flags failed");
    } else if (!(flags & kPoolFastBackupFlag)) {
        FB_LOG(kLogLine, kLogFailure, "disk group does not support fast backup");
    } else {
        FB_LOG(kLogLine, kLogProgress, "disk group support fast backup");
        FB_MAPPINGS_RAPIDOR(kLogLine, info.diskgroup.server_type, supported);
    }
    dsm_removeref_diskgroupinfo(&info);
    return supported;
}

constexpr const char* kSlpFn = "slp_support_fast_backup";

// Whether an SLP's backup storage (a storage group or unit) supports fast
// backups: 1 yes, 0 no, and *decided set when the storage was a group,
// which settles the whole SLP at once.
int slp_storage_support(const char* storage, const char* slp, bool* decided) {
    int is_group = 0;
    if (!storage_group_support_fast_backup(storage, &is_group)) {
        FB_LOG_AS(kSlpFn, kLogLine, kLogFailure, "the storage group %s in the SLP %s does not support rapidor", storage, slp);
        return 0;
    }
    if (is_group) {
        FB_LOG_AS(kSlpFn, kLogLine, kLogProgress, "the storage group %s in the SLP %s supports rapidor", storage, slp);
        *decided = true;
        return 1;
    }
    int is_unit = 0;
    if (!storage_unit_support_fast_backup(storage, &is_unit)) {
        FB_LOG_AS(kSlpFn, kLogLine, kLogFailure, "the STU %s in the SLP %s does not support rapidor", storage, slp);
        return 0;
    }
    if (!is_unit) {
        FB_LOG_AS(kSlpFn, kLogLine, kLogFailure, "the STU %s in the SLP %s is neither storage unit nor storage group", storage,
               slp);
        return 0;
    }
    return 1;
}

int slp_support_fast_backup(const char* name, int* is_slp) {
    SS_REC slp;
    std::memset(&slp, 0, sizeof slp);
    db_initSS_REC(&slp, 0);
    if (!found_as(db_getStorageService(name, &slp), __func__, name, "SLP", is_slp)) {
        db_freeSS_REC(&slp);
        return 1;
    }
    int supported = 1;
    for (int i = 0; i < slp.num_operations; ++i) {
        const SS_OPERATION& op = slp.operations[i];
        if (op.type != kSlpBackupOperation) continue;
        if (!op.storage[0]) {
            FB_LOG(kLogLine, kLogFailure, "a backup storage in SLP %s must be specified", name);
            supported = 0;
            break;
        }
        bool decided = false;
        supported = slp_storage_support(op.storage, name, &decided);
        if (!supported || decided) break;
    }
    db_freeSS_REC(&slp);
    return supported;
}

}  // namespace

extern "C" int storage_unit_support_fast_backup(const char* name, int* is_stu) {
    if (!name) {
        FB_LOG(kLogLine, kLogFailure, "name is NULL");
        return 0;
    }
    char master[257];
    if (db_getservernameEx(master, sizeof master) != 0) {
        FB_LOG(kLogLine, kLogFailure, "get master server name failed");
        return 0;
    }
    STUNIT_REC unit;
    db_initSTUNIT_REC(&unit, 1);
    if (!found_as(db_getSTUNIT(name, &unit), __func__, name, "storage unit", is_stu)) {
        db_STUNITfree(&unit);
        return 1;
    }
    int supported = 0;
    if (!is_disk_unit(unit)) {
        FB_LOG(kLogLine, kLogProgress, "%s is not a disk media or the sub media type is not STSDYNAMIC", name);
    } else {
        supported = diskpool_support_fast_backup(master, unit.disk_pool);
        if (!supported) FB_LOG(kLogLine, kLogFailure, "the STU %s does not support rapidor", name);
    }
    db_STUNITfree(&unit);
    return supported;
}

extern "C" int storage_group_support_fast_backup(const char* name, int* is_stgroup) {
    if (!name) {
        FB_LOG(kLogLine, kLogFailure, "name is NULL");
        return 0;
    }
    STGROUP group;
    db_initSTGROUP(&group, 1);
    if (!found_as(db_getSTGROUP(name, &group), __func__, name, "storage group", is_stgroup)) {
        db_STGROUPfree(&group);
        return 1;
    }
    int supported = 1;
    if (group.selection_method != kSelectionFailover) {
        FB_LOG(kLogLine, kLogFailure,
               "the storage group %s does not support rapidor because its selection method is not FAILOVER", name);
        supported = 0;
    }
    for (int i = 0; supported && i < group.num_members; ++i) {
        const char* member = group.members[i];
        int is_unit = 0;
        if (!storage_unit_support_fast_backup(member, &is_unit)) {
            FB_LOG(kLogLine, kLogFailure, "the STU %s in the group %s does not support rapidor", member, name);
            supported = 0;
        } else if (!is_unit) {
            FB_LOG(kLogLine, kLogFailure, "the STU %s in the group %s is not a valid STU", member, name);
            supported = 0;
        }
    }
    db_STGROUPfree(&group);
    return supported;
}

extern "C" int residence_support_fast_backup(const char* name) {
    if (!name) {
        FB_LOG(kLogLine, kLogFailure, "name is NULL");
        return 0;
    }
    // The kinds in the order they are tried; the first that knows the name
    // answers.
    static const struct {
        int (*check)(const char*, int*);
        const char* label;
    } kinds[] = {{slp_support_fast_backup, "SLP"},
                 {storage_group_support_fast_backup, "storage group"},
                 {storage_unit_support_fast_backup, "storage unit"}};
    for (const auto& kind : kinds) {
        int is = 0;
        if (!kind.check(name, &is)) {
            FB_LOG(kLogLine, kLogProgress, "%s %s does not support rapidor ", kind.label, name);
            return 0;
        }
        if (is) {
            FB_LOG(kLogLine, kLogProgress, "%s %s supports rapidor ", kind.label, name);
            return 1;
        }
    }
    FB_LOG(kLogLine, kLogFailure, "%s is not a valid residence", name);
    return 0;
}

namespace {

constexpr const char* kResidenceFn = "validate_fast_backup_residence";

// The schedules' residences: 5301 for one that does not support fast
// backups; *all_override tells whether every schedule named its own.
int validate_schedules(const CLASS& policy, bool* all_override) {
    bool any = false;
    bool every = true;
    for (const CLASS_SCHED* s = policy.schedules; s; s = s->next) {
        any = true;
        const int count = s->num_residences > 0 ? clamp_count(s->num_residences) : 1;
        bool overrides = false;
        for (int i = 0; i < count; ++i) {
            const char* residence = s->residence[i];
            if (!is_set(residence)) continue;
            overrides = true;
            FB_LOG_AS(kResidenceFn, kLogLine, kLogProgress, "validating %s in schedule", residence);
            if (!residence_support_fast_backup(residence)) return kStatusScheduleResidence;
        }
        every = every && overrides;
    }
    *all_override = any && every;
    return 0;
}

}  // namespace

extern "C" int validate_fast_backup_residence(const CLASS* policy, const CLASS_ATTR* attr) {
    if (!policy || !attr) {
        FB_LOG(kLogLine, kLogFailure, "policy or policy attributes is NULL");
        return kStatusNullArgument;
    }
    if (attr->fast_backup == 0) return 0;
    bool all_override = false;
    if (const int status = validate_schedules(*policy, &all_override)) return status;
    if (all_override) {
        FB_LOG(kLogLine, kLogProgress, "all schedules overwrite the policy storage selections");
        return 0;
    }
    const int count = clamp_count(attr->num_residences);
    for (int i = 0; i < count; ++i) {
        const char* residence = attr->residence[i];
        if (!is_set(residence)) {
            FB_LOG(kLogLine, kLogFailure, "you must select a storage with a rapidor enabled policy");
            return kStatusNoPolicyStorage;
        }
        FB_LOG(kLogLine, kLogProgress, "validating %s", residence);
        if (!residence_support_fast_backup(residence)) return kStatusPolicyResidence;
    }
    return 0;
}

extern "C" int validate_fast_backup_enabled(const CLASS* policy, const CLASS_ATTR* attr) {
    if (!policy || !attr) {
        FB_LOG(kLogLine, kLogFailure, "policy or policy attributes is NULL");
        return kStatusNullArgument;
    }
    if (attr->fast_backup != 1) return 0;
    const unsigned int features = grey_boxes(attr->policy_type, kFeatureQuery, 0);
    if ((features & (kFeatureQuery | kFeatureRapidor)) != (kFeatureQuery | kFeatureRapidor)) {
        FB_LOG(kLogLine, kLogFailure, "rapidor is not supported for policy type");
        return kStatusPolicyExcludes;
    }
    if (attr->client_encrypt) {
        FB_LOG(kLogLine, kLogFailure, "rapidor is not supported with client encryption");
        return kStatusPolicyExcludes;
    }
    if (attr->client_compress) {
        FB_LOG(kLogLine, kLogFailure, "rapidor is not supported with client compress");
        return kStatusPolicyExcludes;
    }
    return validate_fast_backup_residence(policy, attr);
}

extern "C" int validate_fast_backup_by_classname(const char* classname, const CLASS_ATTR* attr) {
    if (!classname || !attr) {
        FB_LOG(kLogLine, kLogFailure, "classname or policy attributes is NULL");
        return kStatusNullArgument;
    }
    CLASS policy;
    std::memset(&policy, 0, sizeof policy);
    const int status = db_getCLASS(&policy, classname);
    if (status != 0) {
        FB_LOG(kLogLine, kLogFailure, "db_getCLASS failed: %s (%d)", getECmsg(status), status);
        db_freeCLASS(&policy);
        return status;
    }
    const int result = validate_fast_backup_enabled(&policy, attr);
    db_freeCLASS(&policy);
    return result;
}

// ---- storage servers ----
//
// Records returned by the list hold one service reference each. The query
// releases the reference of every record it drops, clears or hands out, so
// the caller's list is plain data that query_storage_server_free (or free)
// disposes of completely.

namespace {

typedef int (*server_filter_t)(dsm_storageserverinfo_t*);

int storage_server_support_fast_backup(const dsm_storageserverinfo_t* server) {
    int supported = 0;
    FB_MAPPINGS_RAPIDOR(kServerLine, server->stserver.server_type, supported);
    return supported;
}

int fast_backup_filter(dsm_storageserverinfo_t* server) {
    uint32_t state = 0;
    dsm_storageserver_state(server, &state);
    return state != 0 && storage_server_support_fast_backup(server);
}

void drop_list(dsm_storageserverinfo_t** list, int filled) {
    if (*list && filled > 0) dsm_removeref_storageserver_list(*list, filled);
    std::free(*list);
    *list = nullptr;
}

// The growing buffer protocol: asks with the allocated count and grows to
// what the service reports until everything fits.
int get_all_storage_servers(dsm_storageserverinfo_t** list, int* count) {
    for (;;) {
        FB_LOG(kServerLine, kLogProgress, "calling dsm_get_storageserverinfo_list for %d storage servers", *count);
        std::memset(*list, 0, sizeof **list * static_cast<size_t>(*count));
        int avail = 0;
        const int status = dsm_get_storageserverinfo_list("", kDbMode, *list, *count, &avail);
        if (status != DSM_OK) {
            FB_LOG(kServerLine, kLogFailure, "dsm_get_storageserverinfo_list call failed, xq_status = %d", status);
            drop_list(list, 0);
            return status;
        }
        if (avail <= *count) {
            FB_LOG(kServerLine, kLogProgress,
                   "dsm_get_storageserverinfo_list returned %d storage servers, xq_status = %d", avail, status);
            *count = avail;
            return 0;
        }
        // The records filled so far are read again by the next call.
        dsm_removeref_storageserver_list(*list, *count);
        *count = avail;
        FB_LOG(kServerLine, kLogProgress, "needs to make another call with %d storage servers", *count);
        void* grown = std::realloc(*list, sizeof **list * static_cast<size_t>(*count));
        if (!grown) {
            FB_LOG(kServerLine, kLogFailure, "dsm_get_storageserverinfo_list call failed, xq_status = %d",
                   kStatusNoMemory);
            drop_list(list, 0);
            return kStatusNoMemory;
        }
        *list = static_cast<dsm_storageserverinfo_t*>(grown);
    }
}

// Keeps the records 'filter' accepts at the front of the list, in order.
int select_storage_servers(dsm_storageserverinfo_t** list, int* count, server_filter_t filter) {
    if (const int status = get_all_storage_servers(list, count)) return status;
    int kept = 0;
    for (int i = 0; i < *count; ++i) {
        dsm_storageserverinfo_t& rec = (*list)[i];
        if (!filter(&rec)) {
            dsm_removeref_storageserver(&rec);
            continue;
        }
        if (kept != i) std::memcpy(&(*list)[kept], &rec, sizeof rec);
        ++kept;
    }
    if (kept == 0) {
        drop_list(list, 0);
        *count = 0;
        return 0;
    }
    FB_LOG(kServerLine, kLogProgress, "%d records of server selected", kept);
    *count = kept;
    return 0;
}

}  // namespace

extern "C" int query_storage_server_support_fast_backup(dsm_storageserverinfo_t** sts_info_buf,
                                                         int* sts_avail_count) {
    if (!sts_info_buf || !sts_avail_count) {
        FB_LOG(kServerLine, kLogFailure, "sts_info_buf or sts_avail_count is NULL");
        return kStatusNullArgument;
    }
    auto* list = static_cast<dsm_storageserverinfo_t*>(std::malloc(sizeof(dsm_storageserverinfo_t)));
    if (!list) {
        FB_LOG(kServerLine, kLogFailure, "failed to alloc memory for storage server info");
        return kStatusNoMemory;
    }
    int count = 1;
    const int status = select_storage_servers(&list, &count, fast_backup_filter);
    if (status != 0) {
        std::free(list);
        return status;
    }
    if (list) dsm_removeref_storageserver_list(list, count);
    *sts_info_buf = list;
    *sts_avail_count = count;
    return 0;
}

extern "C" void query_storage_server_free(dsm_storageserverinfo_t* sts_info_buf) { std::free(sts_info_buf); }
