/*
 * Host localised logging library: argument lists, message translation and
 * application messages.
 */
#ifndef KDHOST_BRNWLOG_H
#define KDHOST_BRNWLOG_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One argument cell; callers allocate it (32 bytes) and hand it to
 * brnwLisAddArg, which takes ownership. */
#define BRNW_LIS_ANY_SIZE 32
typedef struct brnwLisAny {
    unsigned char cell[BRNW_LIS_ANY_SIZE];
} brnwLisAny_t;

typedef struct brnwLis brnwLis_t;       /* an argument list */
typedef struct brnwLog brnwLog_t;       /* a log handle */
typedef struct brnwLogMsg brnwLogMsg_t; /* an application message */

/* Status values of the argument functions: 0 and 1 are success; -3 is out of
 * memory; below -6 and above 1 are failures of the library. */
int brnwLisAny_string(brnwLisAny_t *any, const char *value);
int brnwLisAny_int(brnwLisAny_t *any, int value);
int brnwLisAny_longlong(brnwLisAny_t *any, long long value);
/* Appends 'any' to *list, creating the list when *list is null; owns 'any'
 * afterwards, also on failure. */
int brnwLisAddArg(brnwLis_t **list, brnwLisAny_t *any);
void brnwLisFree(brnwLis_t *list);
/* Number of arguments (0 for a null list), and the text of argument i as
 * the message catalogue would insert it (bounded; returns its full length,
 * 0 and an empty text past the end). */
int brnwLisCount(const brnwLis_t *list);
int brnwLisArgText(const brnwLis_t *list, int i, char *buf, size_t size);

/* Translates message 'msgid' of 'originator' with its arguments into
 * 'locale' (null or "" means the process locale). 0 and the text in 'out'
 * (bounded, terminated) on success; non-zero when there is no catalogue
 * entry for that originator, message and locale. */
int xlatemsg(int msgid, const brnwLis_t *args, int originator, char *out, size_t size,
             const char *locale);

/* Application messages. */
int brnwLogInitMsg(brnwLogMsg_t **msg, brnwLog_t *log, int attr, int reserved);
/* Attaches message number and argument list (the message owns the list). */
int brnwLogSetAppAttr(brnwLogMsg_t *msg, int msgid, brnwLis_t *args);
/* Sends; 0 on success. */
int brnwLogMsg(brnwLog_t *log, int flags, brnwLogMsg_t *msg);
void brnwLogFreeMsg(brnwLogMsg_t *msg);
/* The composed text of a message (for listeners). */
const char *brnwLogMsgText(const brnwLogMsg_t *msg);

#ifdef __cplusplus
}
#endif

#endif
