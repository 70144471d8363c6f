#include "dsmlib_values.h"

namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;

namespace {

void clear_base(FW::BaseObject& v) { v.expansion().length(0); }

void clear_spec(DS::ObjSpec& v) {
    clear_base(v);
    v.objId("");
    v.type(0);
    v.properties().length(0);
    v.name("");
}

void clear(OBV_DS::DiskGroup& v) {
    clear_spec(v);
    v.size(0);
}

void clear(OBV_DS::DiskVolume& v) {
    clear_spec(v);
    v.size(0);
}

void clear(OBV_DS::StorageServer& v) {
    clear_spec(v);
    v.servertype("");
}

void clear(OBV_DS::StorageServerConfigItem& v) {
    clear_spec(v);
    v.value("");
    v.cdtype(0);
}

void clear(OBV_DS::DiskVolumeInfo& v) {
    clear_base(v);
    v.capacity(0);
    v.stsState(0);
    v.volume(nullptr);
    v.servertype("");
    v.storage_server_name("");
    v.state(0);
    v.potential_free(0);
    v.name("");
    v.used(0);
}

template <class Obv>
Obv* cleared(Obv* v) {
    if (v) clear(*v);
    return v;
}

}  // namespace

namespace dsm {

DS::DiskGroup* new_diskgroup() { return cleared(new OBV_DS::DiskGroup); }
DS::DiskVolume* new_diskvolume() { return cleared(new OBV_DS::DiskVolume); }
DS::DiskVolumeInfo* new_diskvolumeinfo() { return cleared(new OBV_DS::DiskVolumeInfo); }
DS::DiskVolumeInfo* new_diskvolumeinfo(const std::nothrow_t&) {
    return cleared(new (std::nothrow) OBV_DS::DiskVolumeInfo);
}
DS::StorageServer* new_storageserver() { return cleared(new OBV_DS::StorageServer); }
DS::StorageServerConfigItem* new_configitem() { return cleared(new OBV_DS::StorageServerConfigItem); }

}  // namespace dsm
