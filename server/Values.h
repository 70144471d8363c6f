// Small tools over the service's value types: deep copies, property lists
// and argument recording.
#ifndef DSMSERVICE_VALUES_H
#define DSMSERVICE_VALUES_H

#include "DiskService.hh"
#include "DsmControl.hh"

#include <omniORB4/cdrStream.h>

#include <string>

namespace svc {

namespace DS = Orvane::Keldra::DL::DiskService;
namespace FW = Orvane::Keldra::TL::Framework;
namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;

// A deep copy (nested values included) by a marshalling round trip, so that
// what the service stores never shares a value with a reply or a request.
template <class T>
T* deep_copy(T* v) {
    if (!v) return nullptr;
    cdrMemoryStream s;
    T::_NP_marshal(v, s);
    // The tracker of the marshalling pass knows positions of the output, not
    // of the input; reading with it in place misreads shared values.
    s.clearValueTracker();
    T* copy = T::_NP_unmarshal(s);
    s.clearValueTracker();
    return copy;
}

// The value of the first property 'name', or null.
const char* prop(const DS::PropertySeq& list, const char* name);
// Sets the first property 'name' or appends it.
void set_prop(DS::PropertySeq& list, const char* name, const char* value);
void remove_prop(DS::PropertySeq& list, const char* name);
// Copies every property of 'from' into 'to' (replacing by name); the audit
// reason of a request is not an attribute and is skipped.
void merge_props(DS::PropertySeq& to, const DS::PropertySeq& from);


std::string text(const char* s);

// ---- arguments as anys, for the control interface ----
inline void put(CORBA::Any& a, const char* s) { a <<= s; }
inline void put(CORBA::Any& a, CORBA::Long v) { a <<= v; }
inline void put(CORBA::Any& a, CORBA::Boolean v) { a <<= CORBA::Any::from_boolean(v); }
template <class V>
void put(CORBA::Any& a, V* v) {
    a <<= v;  // counted copy of the pointer
}
template <class S>
auto put(CORBA::Any& a, const S& s) -> decltype(s.length(), void()) {
    a <<= s;
}

template <class... Args>
DsmControl::AnySeq record(const Args&... args) {
    DsmControl::AnySeq seq;
    seq.length(sizeof...(Args));
    CORBA::ULong i = 0;
    ((put(seq[i++], args)), ...);
    return seq;
}

}  // namespace svc

#endif
