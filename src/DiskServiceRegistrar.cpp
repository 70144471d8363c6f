#include "DiskServiceRegistrar.h"

#include "DiskService.hh"
#include "KDLogger.h"
#include "RegistrarService.h"
#include "ValueFactoryTable.h"

namespace DS = Orvane::Keldra::DL::DiskService;

namespace {

#define DSM_FACTORY(Name) \
    { "IDL:Orvane/Keldra/DL/DiskService/" #Name ":1.0", dsm::makeFactory<DS::Name##_init> }

// Every disk service value type, in the order they are registered.
const dsm::FactoryEntry kFactories[] = {
    DSM_FACTORY(MountPoint),
    DSM_FACTORY(DiskVolume),
    DSM_FACTORY(Property),
    DSM_FACTORY(StorageServerConfigItem),
    DSM_FACTORY(DiskStorageUnitInfo),
    DSM_FACTORY(DiskInfo),
    DSM_FACTORY(StorageServer),
    DSM_FACTORY(Enclosure),
    DSM_FACTORY(StorageServerCredentials),
    DSM_FACTORY(ObjSpec),
    DSM_FACTORY(DiskStorageUnit),
    {"IDL:Orvane/Keldra/DL/DiskService/DiskServiceExceptionDetails:1.0",
     dsm::makeNestingBoundedFactory<DS::DiskServiceExceptionDetails_init,
                                    OBV_Orvane::Keldra::DL::DiskService::DiskServiceExceptionDetails>},
    DSM_FACTORY(ServertypeInfo),
    DSM_FACTORY(EnclosureInfo),
    DSM_FACTORY(Disk),
    DSM_FACTORY(DiskGroup),
    DSM_FACTORY(DiskVolumeInfo),
    DSM_FACTORY(DiskGroupInfo),
    DSM_FACTORY(StorageServerInfo),
    DSM_FACTORY(DataMover),
};

#undef DSM_FACTORY

}  // namespace

int DiskServiceRegistrar::init(CORBA::ORB_ptr orb) {
    Tracer trace(KDLogger::s_default, this, "DiskServiceRegistrar::init", __FILE__, __LINE__);
    dsm::registerFactories(orb, kFactories, sizeof kFactories / sizeof kFactories[0],
                           "DiskServiceRegistrar::init", 261);
    return 0;
}

int DiskServiceRegistrar::init(int, ACE_TCHAR*[]) { return dsm::initFromOrbService(*this); }
