// Structured: fuzz bytes decoded into each kind of value the service sends
// (see FuzzValues.h), including the null members and elements only a local
// value can have, then extracted into records and read back through the
// exported accessors of the held kinds.
//
//   input: kind octet (mod the number of kinds), the value, then the knobs
#include "Exercise.h"

#include <iterator>

namespace {

using namespace dsmfuzz;

template <class T, T* (*Read)(Reader&)>
void run(Reader& in) {
    typename T::_var_type v = Read(in);
    exercise(in, v.in());
}

using Run = void (*)(Reader&);
const Run kKinds[] = {
    run<DS::DiskGroup, read_diskgroup>,
    run<DS::DiskGroupInfo, read_diskgroupinfo>,
    run<DS::DiskVolume, read_diskvolume>,
    run<DS::DiskVolumeInfo, read_diskvolumeinfo>,
    run<DS::StorageServer, read_storageserver>,
    run<DS::StorageServerInfo, read_storageserverinfo>,
    run<DS::StorageServerConfigItem, read_configitem>,
    run<DS::Enclosure, read_enclosure>,
    run<DS::EnclosureInfo, read_enclosureinfo>,
    run<DS::Disk, read_disk>,
    run<DS::MountPoint, read_mountpoint>,
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    install_reading_logger(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    kKinds[in.byte() % std::size(kKinds)](in);
    return 0;
}
