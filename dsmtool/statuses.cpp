#include "statuses.h"

#include "dsm.h"

#include <cstddef>

namespace {

struct Status {
    int value;
    const char* name;
    const char* meaning;
};

// Every status of dsm.h, in the order the header lists them.
const Status kStatuses[] = {
    {DSM_OK, "DSM_OK", "success"},
    {DSM_E_SERVICE, "DSM_E_SERVICE", "the disk service failed without an error code"},
    {DSM_E_CONFIG_ITEM, "DSM_E_CONFIG_ITEM", "a configuration item has no name or value"},
    {DSM_E_AUDIT, "DSM_E_AUDIT", "the service's audit refused or flagged the change"},
    {DSM_E_NOMEM, "DSM_E_NOMEM", "out of memory"},
    {DSM_E_NO_REPLICATION, "DSM_E_NO_REPLICATION", "no such replication source or target"},
    {DSM_E_INVALID_ARG, "DSM_E_INVALID_ARG", "invalid argument"},
    {DSM_E_NO_CONNECTION, "DSM_E_NO_CONNECTION", "no connection to DiskServiceMgr"},
    {DSM_E_NULL_RESULT, "DSM_E_NULL_RESULT", "the service returned no value"},
    {DSM_E_CORBA, "DSM_E_CORBA", "communication with the service failed"},
    {DSM_E_STD, "DSM_E_STD", "internal error (standard exception)"},
    {DSM_E_UNKNOWN, "DSM_E_UNKNOWN", "internal error (unknown exception)"},
};

// The product's general statuses that the fast backup checks return.
const Status kFastBackupStatuses[] = {
    {20, "", "invalid argument"},
    {36, "", "out of memory"},
    {144, "", "the policy type or client options exclude fast backups"},
    {220, "", "the catalog cannot be read"},
    {227, "", "no such catalog entry"},
    {5300, "", "the policy names no storage"},
    {5301, "", "a schedule's storage does not support fast backups"},
    {5302, "", "the policy's storage does not support fast backups"},
};

template <std::size_t N>
const Status* find(const Status (&table)[N], int status) {
    for (const Status& s : table)
        if (s.value == status) return &s;
    return nullptr;
}

}  // namespace

const char* status_meaning(int status) {
    const Status* s = find(kStatuses, status);
    return s ? s->meaning : "error reported by the disk service";
}

const char* status_name(int status) {
    const Status* s = find(kStatuses, status);
    return s ? s->name : "";
}

const char* fast_backup_status_meaning(int status) {
    const Status* s = find(kFastBackupStatuses, status);
    return s ? s->meaning : status_meaning(status);
}
