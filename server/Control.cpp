#include "Servant.h"

#include <cstring>

namespace svc {

namespace {

const char* const kOperations[] = {
    "getDiskList", "getDiskInfo", "getDiskInfoList", "getEnclosureList", "getEnclosureInfo",
    "getEnclosureInfoList", "importEnclosure", "getDiskVolumeList", "createDiskVolume", "getDiskVolumeInfo",
    "getDiskVolumeInfoByMediaId", "getDiskVolumeInfoByLegacyInfo", "getDiskVolumeInfoByName",
    "getDiskVolumeInfoList", "getDiskGroupInfoListByStorageUnitLabel",
    "getExtendedMountpointListByStorageUnitLabel", "updateDiskVolumeState", "deleteDiskVolume",
    "updateDiskVolume", "updateDiskVolumeList", "mountDiskVolume", "unmountDiskVolume", "getMountPointList",
    "getDiskGroupList", "importDiskGroup", "createDiskGroup", "mergeDiskGroups", "getDiskGroupInfo",
    "getPotentialDiskGroupInfo", "getDiskGroupInfoList", "updateDiskGroupState", "deleteDiskGroup",
    "updateDiskGroup", "getDiskStorageUnitList", "getDiskStorageUnitListByDiskGroup", "createDiskStorageUnit",
    "getDiskStorageUnitInfo", "getDiskStorageUnitInfoList", "deleteDiskStorageUnit", "updateDiskStorageUnit",
    "updateDiskStorageUnitList", "getStorageServerInfo", "getStorageServerInfoList", "createStorageServer",
    "removeStorageServer", "addStorageServer", "deleteStorageServer", "updateStorageServer", "addDataMover",
    "updateDataMovers", "deleteDataMover", "getServertypeInfo", "ping", "resetPreCommittedSpaceOnAllVolumes",
    "getObjectsByMachine", "setGlobalAttribute", "queueDiskVolumeMount", "dequeueDiskVolumeMount",
    "queueDiskVolumeUnmount", "dequeueDiskVolumeUnmount", "getMountPoint", "getStorageServerConfig",
    "updateStorageServerConfig",
};

}  // namespace

bool known_operation(const char* name) {
    if (!name) return false;
    if (std::strcmp(name, "*") == 0) return true;
    for (const char* op : kOperations)
        if (std::strcmp(op, name) == 0) return true;
    return false;
}

void ControlServant::add(const char* operation, CORBA::Long count, const Fault& fault) {
    if (!known_operation(operation)) throw DsmControl::ControlError("unknown operation");
    if (count < 1) throw DsmControl::ControlError("count must be at least 1");
    faults_.add(operation, count, fault);
}

void ControlServant::failWithServiceException(const char* operation, CORBA::Long count,
                                              FW::ServiceExceptionDetails* details) {
    Fault f;
    f.kind = Fault::SERVICE;
    f.details = deep_copy(details);
    add(operation, count, f);
}

void ControlServant::failWithIllegalArgument(const char* operation, CORBA::Long count,
                                             FW::IllegalArgumentExceptionDetails* details) {
    Fault f;
    f.kind = Fault::ILLEGAL_ARGUMENT;
    f.details = deep_copy(details);
    add(operation, count, f);
}

void ControlServant::failWithSystemException(const char* operation, CORBA::Long count,
                                             DsmControl::SystemFault kind) {
    Fault f;
    f.kind = Fault::SYSTEM;
    f.system = kind;
    add(operation, count, f);
}

void ControlServant::returnNull(const char* operation, CORBA::Long count) {
    Fault f;
    f.kind = Fault::NULL_RESULT;
    add(operation, count, f);
}

void ControlServant::delayReply(const char* operation, CORBA::Long count, CORBA::Long millis) {
    if (millis < 0) throw DsmControl::ControlError("negative delay");
    Fault f;
    f.kind = Fault::DELAY;
    f.millis = millis;
    add(operation, count, f);
}

void ControlServant::setAuditOutcome(const char* operation, CORBA::Long count, const char* value) {
    Fault f;
    f.kind = Fault::AUDIT;
    f.value = text(value);
    add(operation, count, f);
}

void ControlServant::scriptReply(const char* operation, CORBA::Long count, const CORBA::Any& result) {
    Fault f;
    f.kind = Fault::REPLY;
    f.reply = result;
    add(operation, count, f);
}

void ControlServant::sendHostile(const char* operation, CORBA::Long count, DsmControl::HostileKind kind,
                                 CORBA::Long size) {
    if (size < 0) throw DsmControl::ControlError("negative size");
    Fault f;
    f.kind = Fault::HOSTILE;
    f.hostile = kind;
    f.size = size;
    add(operation, count, f);
}

void ControlServant::clearFaults() { faults_.clear(); }

void ControlServant::seed(const CORBA::Any& value) {
    transact(model_, [&] { model_.seed(value); });
}

CORBA::Long ControlServant::callCount(const char* operation) { return faults_.count(text(operation)); }

DsmControl::StringSeq* ControlServant::callLog() { return faults_.log(); }

DsmControl::AnySeq* ControlServant::lastArguments(const char* operation) {
    if (!known_operation(operation)) throw DsmControl::ControlError("unknown operation");
    return faults_.last_arguments(text(operation));
}

void ControlServant::reset() {
    faults_.reset();
    transact(model_, [&] { model_.reset(); });
}

void ControlServant::shutdown() { stop_(); }

}  // namespace svc
