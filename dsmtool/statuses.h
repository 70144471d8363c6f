// What the library's statuses mean, for people reading the tool's output.
#ifndef DSMTOOL_STATUSES_H
#define DSMTOOL_STATUSES_H

// One sentence for a status of the library; any value it does not define is
// an error code of the disk service, passed through.
const char* status_meaning(int status);
// The status's symbolic name in dsm.h ("DSM_E_NO_CONNECTION"), or "" for a
// code of the disk service.
const char* status_name(int status);
// The product statuses the fast backup checks return (20, 36, ...), else
// status_meaning().
const char* fast_backup_status_meaning(int status);

#endif
