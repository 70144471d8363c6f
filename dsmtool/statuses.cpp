#include "statuses.h"

#include "dsm.h"

const char* status_meaning(int status) {
    switch (status) {
        case DSM_OK: return "success";
        case DSM_E_SERVICE: return "the disk service failed without an error code";
        case DSM_E_CONFIG_ITEM: return "a configuration item has no name or value";
        case DSM_E_AUDIT: return "the service's audit refused or flagged the change";
        case DSM_E_NOMEM: return "out of memory";
        case DSM_E_NO_REPLICATION: return "no such replication source or target";
        case DSM_E_INVALID_ARG: return "invalid argument";
        case DSM_E_NO_CONNECTION: return "no connection to DiskServiceMgr";
        case DSM_E_NULL_RESULT: return "the service returned no value";
        case DSM_E_CORBA: return "communication with the service failed";
        case DSM_E_STD: return "internal error (standard exception)";
        case DSM_E_UNKNOWN: return "internal error (unknown exception)";
        default: return "error reported by the disk service";
    }
}
