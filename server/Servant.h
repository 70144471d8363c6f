// The DiskServiceMgr servant and the control servant of the bundled service.
#ifndef DSMSERVICE_SERVANT_H
#define DSMSERVICE_SERVANT_H

#include "Faults.h"
#include "Model.h"

#include <functional>

namespace svc {

namespace POA_DS = POA_Orvane::Keldra::DL::DiskService;

class DiskServiceServant : public POA_DS::DiskServiceMgr {
public:
    DiskServiceServant(Model& model, Faults& faults) : model_(model), faults_(faults) {}

    DS::DiskSeq* getDiskList(const DS::StorageServerSeq& stservers, CORBA::Boolean opt1, CORBA::Boolean opt2) override;
    DS::DiskInfo* getDiskInfo(DS::Disk* dsk, DS::StorageServer* stserver) override;
    DS::DiskInfoSeq* getDiskInfoList(const DS::StorageServerSeq& stservers, CORBA::Boolean opt1, CORBA::Boolean opt2) override;
    DS::EnclosureSeq* getEnclosureList(const DS::StorageServerSeq& stservers, CORBA::Boolean provide_union) override;
    DS::EnclosureInfo* getEnclosureInfo(DS::Enclosure* encl, DS::StorageServer* stserver) override;
    DS::EnclosureInfoSeq* getEnclosureInfoList(const DS::StorageServerSeq& stservers, CORBA::Boolean provide_union) override;
    DS::DiskGroup* importEnclosure(DS::Enclosure* encl, const DS::DiskSeq& disks, const DS::StorageServerSeq& stservers, CORBA::Long option, const DS::PropertySeq& props) override;
    DS::DiskVolumeSeq* getDiskVolumeList(const DS::StorageServerSeq& stservers, DS::DiskGroup* pool, CORBA::Long option) override;
    DS::DiskVolume* createDiskVolume(DS::DiskVolume* volume, DS::DiskGroup* pool, const DS::DiskSeq& disks, CORBA::Long dbmode) override;
    DS::DiskVolumeInfo* getDiskVolumeInfo(DS::DiskVolume* volume, DS::DiskGroup* pool, CORBA::Long dbmode) override;
    DS::DiskVolumeInfo* getDiskVolumeInfoByMediaId(const char* media_id) override;
    DS::DiskVolumeInfo* getDiskVolumeInfoByLegacyInfo(const char* master_server, const char* storage_server_name, const char* server_type, const char* volume_id) override;
    DS::DiskVolumeInfo* getDiskVolumeInfoByName(const char* master_server, const char* server_type, const char* volume_id, const char* storage_server_name) override;
    DS::DiskVolumeInfoSeq* getDiskVolumeInfoList(const DS::StorageServerSeq& stservers, DS::DiskGroup* pool, CORBA::Long dbmode) override;
    DS::DiskGroupInfoSeq* getDiskGroupInfoListByStorageUnitLabel(const char* master_server, const char* storage_unit_label, const char* server_type, CORBA::Long option, const char* reserved) override;
    DS::MountPointSeq* getExtendedMountpointListByStorageUnitLabel(const char* master_server, const char* storage_unit_label, const char* server_type, CORBA::Long option, const char* reserved) override;
    DS::DiskVolume* updateDiskVolumeState(DS::DiskVolume* volume, DS::DiskGroup* pool, CORBA::Long dbmode, CORBA::Long state) override;
    DS::DiskVolume* deleteDiskVolume(DS::DiskVolume* volume, DS::DiskGroup* pool, CORBA::Long dbmode) override;
    DS::DiskVolume* updateDiskVolume(DS::DiskVolume* volume, DS::DiskGroup* pool, CORBA::Long dbmode) override;
    DS::DiskVolumeSeq* updateDiskVolumeList(const DS::DiskVolumeSeq& volumes, DS::DiskGroup* pool, CORBA::Long option) override;
    CORBA::Long mountDiskVolume(DS::DiskVolume* volume, DS::DiskGroup* pool, DS::StorageServer* stserver, DS::MountPoint* mount, CORBA::Long option) override;
    CORBA::Long unmountDiskVolume(DS::DiskVolume* volume, DS::DiskGroup* pool, DS::StorageServer* stserver, DS::MountPoint* mount) override;
    DS::MountPointSeq* getMountPointList(DS::DiskGroup* pool) override;
    DS::DiskGroupSeq* getDiskGroupList(const DS::StorageServerSeq& stservers, CORBA::Boolean first_option, CORBA::Boolean second_option, CORBA::Long dbmode) override;
    DS::DiskGroup* importDiskGroup(DS::DiskGroup* pool, const DS::StorageServerSeq& stservers) override;
    DS::DiskGroup* createDiskGroup(DS::DiskGroup* pool, const DS::StorageServerSeq& stservers, const DS::DiskSeq& disks, CORBA::Long dbmode) override;
    DS::DiskGroup* mergeDiskGroups(DS::DiskGroup* primary_pool, DS::DiskGroup* secondary_pool, const DS::PropertySeq& props) override;
    DS::DiskGroupInfo* getDiskGroupInfo(DS::DiskGroup* pool, CORBA::Long dbmode) override;
    DS::DiskGroupInfo* getPotentialDiskGroupInfo(DS::DiskGroup* pool) override;
    DS::DiskGroupInfoSeq* getDiskGroupInfoList(const DS::StorageServerSeq& stservers, CORBA::Boolean first_option, CORBA::Boolean second_option, CORBA::Long dbmode) override;
    DS::DiskGroup* updateDiskGroupState(DS::DiskGroup* pool, CORBA::Long dbmode, CORBA::Long state) override;
    DS::DiskGroup* deleteDiskGroup(DS::DiskGroup* pool, CORBA::Long dbmode) override;
    DS::DiskGroup* updateDiskGroup(DS::DiskGroup* pool, CORBA::Long dbmode) override;
    DS::DiskStorageUnitSeq* getDiskStorageUnitList(const char* master_server) override;
    DS::DiskStorageUnitSeq* getDiskStorageUnitListByDiskGroup(DS::DiskGroup* pool) override;
    DS::DiskStorageUnit* createDiskStorageUnit(DS::DiskStorageUnit* unit, DS::DiskGroup* pool, const DS::DataMoverSeq& movers) override;
    DS::DiskStorageUnitInfo* getDiskStorageUnitInfo(DS::DiskStorageUnit* unit) override;
    DS::DiskStorageUnitInfoSeq* getDiskStorageUnitInfoList(const char* master_server) override;
    DS::DiskStorageUnit* deleteDiskStorageUnit(DS::DiskStorageUnit* unit) override;
    DS::DiskStorageUnit* updateDiskStorageUnit(DS::DiskStorageUnit* unit) override;
    DS::DiskStorageUnitSeq* updateDiskStorageUnitList(const DS::DiskStorageUnitSeq& units) override;
    DS::StorageServerInfo* getStorageServerInfo(DS::StorageServer* stserver, CORBA::Long dbmode) override;
    DS::StorageServerInfoSeq* getStorageServerInfoList(const char* machine_name, CORBA::Long dbmode) override;
    DS::StorageServer* createStorageServer(DS::StorageServer* stserver, CORBA::Long dbmode) override;
    DS::StorageServer* removeStorageServer(DS::StorageServer* stserver, CORBA::Long dbmode) override;
    CORBA::Long addStorageServer(DS::DiskGroup* pool, DS::StorageServer* stserver) override;
    CORBA::Long deleteStorageServer(DS::DiskGroup* pool, DS::StorageServer* stserver) override;
    DS::StorageServer* updateStorageServer(DS::StorageServer* stserver, CORBA::Long dbmode) override;
    CORBA::Long addDataMover(DS::DiskStorageUnit* unit, DS::DataMover* mover) override;
    CORBA::Long updateDataMovers(DS::DiskStorageUnit* unit, const DS::DataMoverSeq& movers) override;
    CORBA::Long deleteDataMover(DS::DiskStorageUnit* unit, DS::DataMover* mover) override;
    DS::ServertypeInfo* getServertypeInfo(const char* master_server, const char* server_type) override;
    void ping() override;
    void resetPreCommittedSpaceOnAllVolumes() override;
    DS::ObjSpecSeq* getObjectsByMachine(const char* machine_name, CORBA::Boolean option) override;
    char* setGlobalAttribute(const char* attribute_name, const char* attribute_value) override;
    CORBA::Long queueDiskVolumeMount(DS::DiskVolume* volume, DS::DiskGroup* pool, DS::StorageServer* stserver, DS::MountPoint* mount, CORBA::Long option) override;
    CORBA::Long dequeueDiskVolumeMount(DS::DiskVolume* volume, DS::DiskGroup* pool, DS::StorageServer* stserver, DS::MountPoint* mount) override;
    CORBA::Long queueDiskVolumeUnmount(DS::DiskVolume* volume, DS::DiskGroup* pool, DS::StorageServer* stserver, DS::MountPoint* mount) override;
    CORBA::Long dequeueDiskVolumeUnmount(DS::DiskVolume* volume, DS::DiskGroup* pool, DS::StorageServer* stserver, DS::MountPoint* mount) override;
    DS::MountPoint* getMountPoint(DS::DiskVolume* volume, DS::DiskGroup* pool, DS::StorageServer* stserver, DS::MountPoint* mount) override;
    DS::StorageServerConfigItemSeq* getStorageServerConfig(DS::StorageServer* stserver, CORBA::Long dbmode) override;
    DS::StorageServerConfigItemSeq* updateStorageServerConfig(DS::StorageServer* stserver, const DS::StorageServerConfigItemSeq& items, CORBA::Long dbmode) override;

private:
    template <class R, class Body>
    R* serve(const char* op, DsmControl::AnySeq&& args, Body body);
    template <class Body>
    CORBA::Long serve_number(const char* op, DsmControl::AnySeq&& args, Body body);

    Model& model_;
    Faults& faults_;
};

class ControlServant : public POA_DsmControl::Control {
public:
    ControlServant(Model& model, Faults& faults, std::function<void()> stop)
        : model_(model), faults_(faults), stop_(std::move(stop)) {}

    void failWithServiceException(const char* operation, CORBA::Long count, FW::ServiceExceptionDetails* details) override;
    void failWithIllegalArgument(const char* operation, CORBA::Long count, FW::IllegalArgumentExceptionDetails* details) override;
    void failWithSystemException(const char* operation, CORBA::Long count, DsmControl::SystemFault kind) override;
    void returnNull(const char* operation, CORBA::Long count) override;
    void delayReply(const char* operation, CORBA::Long count, CORBA::Long millis) override;
    void setAuditOutcome(const char* operation, CORBA::Long count, const char* value) override;
    void scriptReply(const char* operation, CORBA::Long count, const CORBA::Any& result) override;
    void sendHostile(const char* operation, CORBA::Long count, DsmControl::HostileKind kind, CORBA::Long size) override;
    void clearFaults() override;
    void seed(const CORBA::Any& value) override;
    CORBA::Long callCount(const char* operation) override;
    DsmControl::StringSeq* callLog() override;
    DsmControl::AnySeq* lastArguments(const char* operation) override;
    void reset() override;
    void shutdown() override;

private:
    void add(const char* operation, CORBA::Long count, const Fault& fault);

    Model& model_;
    Faults& faults_;
    std::function<void()> stop_;
};

// Every operation name of DiskServiceMgr, for the control interface's checks.
bool known_operation(const char* name);

}  // namespace svc

#endif
