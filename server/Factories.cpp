// Value factories for every value type of the two modules: the service and
// plain ORB clients (its tests) need all of them, nested ones included.
#include "Factories.h"

#include "DiskService.hh"

namespace svc {

#define VALUE_FACTORY(Module, Name) \
    {Module::Name::_PD_repoId, [] { return static_cast<CORBA::ValueFactoryBase*>(new Module::Name##_init); }}

void register_value_factories(CORBA::ORB_ptr orb) {
    namespace DS = Orvane::Keldra::DL::DiskService;
    namespace FW = Orvane::Keldra::TL::Framework;
    struct Entry {
        const char* id;
        CORBA::ValueFactoryBase* (*make)();
    };
    const Entry entries[] = {
        VALUE_FACTORY(FW, ExpansionAttribute), VALUE_FACTORY(FW, BaseObject), VALUE_FACTORY(FW, MessageItem),
        VALUE_FACTORY(FW, Message), VALUE_FACTORY(FW, StringMessageItem), VALUE_FACTORY(FW, NumericMessageItem),
        VALUE_FACTORY(FW, ServiceExceptionDetails), VALUE_FACTORY(FW, ErrorCodeExceptionDetails),
        VALUE_FACTORY(FW, IllegalArgumentExceptionDetails), VALUE_FACTORY(DS, Property), VALUE_FACTORY(DS, ObjSpec),
        VALUE_FACTORY(DS, DiskGroup), VALUE_FACTORY(DS, DiskVolume), VALUE_FACTORY(DS, Disk),
        VALUE_FACTORY(DS, StorageServer), VALUE_FACTORY(DS, StorageServerConfigItem), VALUE_FACTORY(DS, DataMover),
        VALUE_FACTORY(DS, Enclosure), VALUE_FACTORY(DS, DiskStorageUnit), VALUE_FACTORY(DS, DiskGroupInfo),
        VALUE_FACTORY(DS, DiskVolumeInfo), VALUE_FACTORY(DS, DiskInfo), VALUE_FACTORY(DS, EnclosureInfo),
        VALUE_FACTORY(DS, StorageServerCredentials), VALUE_FACTORY(DS, StorageServerInfo),
        VALUE_FACTORY(DS, DiskStorageUnitInfo), VALUE_FACTORY(DS, ServertypeInfo), VALUE_FACTORY(DS, MountPoint),
        VALUE_FACTORY(DS, DiskServiceExceptionDetails),
    };
    for (const Entry& e : entries) {
        CORBA::ValueFactoryBase* f = e.make();
        CORBA::ValueFactory old = orb->register_value_factory(e.id, f);
        if (old) old->_remove_ref();
        f->_remove_ref();
    }
}

}  // namespace svc
