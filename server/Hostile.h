// Generated replies that probe a client's bounds: lists of any length, a
// service exception whose root causes nest deep, a property value of any
// size. The content is predictable so that tests can check what arrived.
#ifndef DSMSERVICE_HOSTILE_H
#define DSMSERVICE_HOSTILE_H

#include "Values.h"

#include <string>
#include <type_traits>
#include <utility>

namespace svc {

// Error code of the details at the top of a deep chain.
constexpr CORBA::Long kHostileErrorCode = 2050020;

// Raises a ServiceException (disk service details, kHostileErrorCode) whose
// root causes nest 'depth' levels below it, each level holding one cause.
[[noreturn]] void raise_deep_root_causes(long depth);

// Fills a list reply with 'size' elements named "hostile-<index>" (zero
// padded to 7 digits); the lists a client reads records from.
void generate(DS::DiskGroupSeq& seq, CORBA::ULong size);
void generate(DS::DiskGroupInfoSeq& seq, CORBA::ULong size);
void generate(DS::DiskVolumeSeq& seq, CORBA::ULong size);
void generate(DS::DiskVolumeInfoSeq& seq, CORBA::ULong size);
void generate(DS::StorageServerInfoSeq& seq, CORBA::ULong size);

// The value of the last property is extended to 'size' bytes: its own text,
// then 'a'..'z' repeated by absolute position (byte i is 'a' + i % 26). An
// empty list gets one property "DSM::hostile".
void inflate_last_property(DS::PropertySeq& props, CORBA::ULong size);

// The property list a reply carries: its own (an ObjSpec, an enclosure info,
// a mount point), that of the object an info describes, or for a list that of
// its first element. Null when there is none.
DS::PropertySeq* reply_properties(DS::ObjSpec* v);
DS::PropertySeq* reply_properties(DS::DiskGroupInfo* v);
DS::PropertySeq* reply_properties(DS::DiskVolumeInfo* v);
DS::PropertySeq* reply_properties(DS::StorageServerInfo* v);
DS::PropertySeq* reply_properties(DS::EnclosureInfo* v);
DS::PropertySeq* reply_properties(DS::MountPoint* v);
inline DS::PropertySeq* reply_properties(CORBA::ValueBase*) { return nullptr; }
template <class Seq>
auto reply_properties(Seq* seq) -> decltype(seq->length(), (*seq)[0].in(), (DS::PropertySeq*)nullptr) {
    if (!seq || seq->length() == 0) return nullptr;
    return reply_properties((*seq)[0].in());
}

// True when generate() knows the list type R.
template <class R, class = void>
struct generated_list : std::false_type {};
template <class R>
struct generated_list<R, std::void_t<decltype(generate(std::declval<R&>(), CORBA::ULong()))>>
    : std::true_type {};

}  // namespace svc

#endif
