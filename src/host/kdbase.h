/*
 * Host base library: product configuration, bounded string functions,
 * plain log lines and message texts.
 *
 * The product configuration is a plain key/value file ("KEY = value" per
 * line, '#' starts a comment). Its path is $KDCONF_FILE when that is set and
 * not empty, else KDCONF_DEFAULT_PATH.
 */
#ifndef KDHOST_KDBASE_H
#define KDHOST_KDBASE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KDCONF_DEFAULT_PATH "/etc/keldra/xq.conf"
#define KDCONF_NAME_LEN 257

/* What the library needs of the product configuration. */
typedef struct kdconf_info {
    char emm_server[KDCONF_NAME_LEN];       /* key EMM_SERVER; empty when absent */
    int num_servers;                        /* entries of 'servers' */
    char (*servers)[KDCONF_NAME_LEN];       /* keys SERVER, in file order; first is the master */
} kdconf_info_t;

/* Reads the configuration file into a new record (*info). 0 on success;
 * non-zero (and *info null) when the file is missing, unreadable or has a
 * line that is neither blank, a comment nor "KEY = value". */
int kdconf_get_info(kdconf_info_t **info);
/* Frees *info and sets it to null; a null *info is a no-op. */
void kdconf_free_info(kdconf_info_t **info);
/* Copies the value of the first line with 'key' into buf (bounded, always
 * terminated). 0 when found; non-zero when absent or the file is unusable. */
int kdconf_get_value(const char *key, char *buf, size_t size);
/* The configuration path in use (see above). */
const char *kdconf_path(void);

/* Bounded copies. All results are terminated within 'size' (when size > 0).
 * V_strlcpy copies at most size-1 bytes of src and returns strlen(src).
 * V_strlncpy copies at most min(n, size-1) bytes and returns the count copied.
 * V_snprintf is vsnprintf's contract: returns the length it wanted. */
size_t V_strlcpy(char *dst, const char *src, size_t size);
size_t V_strlncpy(char *dst, const char *src, size_t n, size_t size);
int V_snprintf(char *buf, size_t size, const char *fmt, ...)
    __attribute__((format(printf, 3, 4)));

/* One plain host log line. level 2 progress, 16 failure; text is cut at
 * 2147 characters. */
void logmsg(int level, const char *text, const char *function);

/* Text of a product (catalog) status; never null. */
const char *getECmsg(int status);

/* Value of a configuration key as a static string, or null when absent.
 * Used for "DEVICE_MAPPINGS_FILE". */
const char *getTornelString(const char *key);

/* Sink for every host log line (logmsg, KDLogger, Tracer, application
 * messages), for administrators' tools and tests: channel is "logmsg",
 * "app", "trace" or "logger". Null restores the default (the file named by
 * the configuration key HOST_LOG_FILE, or nothing when that is absent). */
typedef void (*kdhost_log_sink_t)(const char *channel, int level, const char *function,
                                  const char *text);
void kdhost_set_log_sink(kdhost_log_sink_t sink);

#ifdef __cplusplus
}
#endif

#endif
