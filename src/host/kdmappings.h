/*
 * Device mappings: which storage server types each storage type knows, and
 * their feature attributes. The mappings file (path from the configuration
 * key DEVICE_MAPPINGS_FILE) holds one line per server type:
 *
 *     <storage type> <server type> [feature ...]
 *
 * for example "ELP AdvancedDisk rapidor". '#' starts a comment line.
 */
#ifndef KDHOST_KDMAPPINGS_H
#define KDHOST_KDMAPPINGS_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct kd_mappings kd_mappings_t; /* opaque, owned by the caller */

#define KD_MAPPINGS_REQ_FEATURES 8 /* request code: feature attributes */

/* A query of one server type's extended attributes. */
typedef struct ExtendedAttrQuery {
    char storage_type[8];  /* "ELP" */
    char server_type[17];  /* at most 16 characters */
    char vendor[5];        /* reserved: empty */
    int request;           /* KD_MAPPINGS_REQ_FEATURES */
    int feature_rapidor;   /* out: non-zero when the type offers fast backups */
} ExtendedAttrQuery;

/* Loads the mappings file at 'path'. Non-null on success; null with *status
 * set to the error number (an errno value, or EINVAL for a malformed line)
 * otherwise. Free the result with FreeMappings_C_. */
kd_mappings_t *InitializeMappings_C_(int *status, const char *path);
void FreeMappings_C_(kd_mappings_t *mappings);

/* Non-zero when the query's storage type and server type are mapped and
 * the request is known; the answer fields are then filled. */
int GetExtendedAttributes_C_(ExtendedAttrQuery *query, const kd_mappings_t *mappings);

#ifdef __cplusplus
}
#endif

#endif
