// Service values built from fuzz bytes (the grammar of FuzzInput.h), with
// everything the wire cannot carry: null strings, null elements, null
// nested values. Each reader consumes the members in the order listed; the
// seed generator writes them in the same order.
//
//   properties   count (at most 32), then per element a tag octet: 0xFF a
//                null element, else a name and a value text
//   sequence     count (at most 4), then per element a tag octet: 0xFF null,
//                else the element
//   nested value tag octet: 0xFF null, else the value
//   ObjSpec      objId, type (u32), name, properties, then the form's own:
//                DiskGroup/DiskVolume size (i64), Disk used (octet),
//                StorageServer servertype, StorageServerConfigItem value and
//                cdtype (u32)
//   DiskGroupInfo   capacity, stsState, group, servertype, hosts,
//                storage_server_name, id, volumes, disks, master_server,
//                formatted, datamovers, state, name, used
//   DiskVolumeInfo  capacity, stsState, volume, servertype,
//                storage_server_name, state, potential_free, name, used
//   StorageServerInfo  credentials (userName, password), datamovers, host, name
//   EnclosureInfo  capacity, enclosure, servertype, hosts, properties, id,
//                disks, name
//   MountPoint   properties, path
//   details      kind octet (mod 5: null, ServiceExceptionDetails,
//                ErrorCodeExceptionDetails, DiskServiceExceptionDetails,
//                IllegalArgumentExceptionDetails), originatingService,
//                exceptionClassName, originatingHost, originatingClass,
//                originatingMethod, timeStamp, message, the kind's own
//                (errorCode; errorText, errorDomain; argumentName), root
//                causes (count at most 4, each a details)
//   message      tag octet (0xFF null), textId, originatorId, timeStamp,
//                inserts (count at most 8; kind octet mod 4: null, plain,
//                string, numeric; position, name, stringValue or
//                numericValue)
#ifndef DSM_FUZZ_FUZZVALUES_H
#define DSM_FUZZ_FUZZVALUES_H

#include "FuzzInput.h"

#include "DiskService.hh"

namespace dsmfuzz {

namespace DS = Orvane::Keldra::DL::DiskService;
namespace FW = Orvane::Keldra::TL::Framework;

constexpr std::uint8_t kNullElement = 0xFF;
constexpr std::size_t kMaxProperties = 32;
constexpr std::size_t kMaxElements = 4;
constexpr std::size_t kMaxInserts = 8;
constexpr std::size_t kMaxCauses = 4;
// Root-cause chains nest at most this deep and hold at most kMaxNodes
// details in all; deeper replies are another concern than parsing.
constexpr int kMaxDepth = 16;
constexpr int kMaxNodes = 64;

void read_properties(Reader& in, DS::PropertySeq& out);

DS::DiskGroup* read_diskgroup(Reader& in);
DS::DiskVolume* read_diskvolume(Reader& in);
DS::Disk* read_disk(Reader& in);
DS::StorageServer* read_storageserver(Reader& in);
DS::StorageServerConfigItem* read_configitem(Reader& in);
DS::Enclosure* read_enclosure(Reader& in);
DS::DiskGroupInfo* read_diskgroupinfo(Reader& in);
DS::DiskVolumeInfo* read_diskvolumeinfo(Reader& in);
DS::StorageServerInfo* read_storageserverinfo(Reader& in);
DS::EnclosureInfo* read_enclosureinfo(Reader& in);
DS::MountPoint* read_mountpoint(Reader& in);

// Null for the null kind; the caller owns the result.
FW::ServiceExceptionDetails* read_details(Reader& in);

}  // namespace dsmfuzz

#endif
