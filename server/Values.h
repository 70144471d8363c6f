// Small tools over the service's value types: deep copies, property lists
// and argument recording.
#ifndef DSMSERVICE_VALUES_H
#define DSMSERVICE_VALUES_H

#include "DiskService.hh"
#include "DsmControl.hh"

#include <omniORB4/cdrStream.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

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

// Drops a result that will not be sent: a value by its count, a sequence by
// delete.
template <class R>
void discard(R* r) {
    if constexpr (std::is_base_of_v<CORBA::ValueBase, R>)
        CORBA::remove_ref(r);
    else
        delete r;
}

// Member setters of values take a count of their own; this hands a new value
// to one without leaking the creator's count.
template <class T>
struct Owned {
    T* v;
    explicit Owned(T* value) : v(value) {}
    ~Owned() { CORBA::remove_ref(v); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    operator T*() const { return v; }
};

// Values and sequences marshalled one after another into bytes, in the
// ORB's own encoding: how the service keeps an object in its database.
class Encoder {
public:
    template <class T>
    Encoder& value(T* v) {
        T::_NP_marshal(v, stream_);
        return *this;
    }
    template <class S>
    Encoder& seq(const S& s) {
        s >>= stream_;
        return *this;
    }
    std::string bytes() const {
        return std::string(static_cast<const char*>(stream_.bufPtr()), stream_.bufSize());
    }

private:
    cdrMemoryStream stream_;
};

// Reads what an Encoder wrote, in the same order. Malformed bytes raise
// CORBA::MARSHAL.
class Decoder {
public:
    explicit Decoder(const std::string& bytes);
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    template <class T>
    T* value() {
        return T::_NP_unmarshal(*stream_);
    }
    template <class S>
    void seq(S& s) {
        s <<= *stream_;
    }

private:
    // The stream aligns by address, as the encoder's buffer was aligned.
    std::vector<CORBA::ULongLong> buffer_;
    std::unique_ptr<cdrMemoryStream> stream_;
};

// The value of the first property 'name', or null.
const char* prop(const DS::PropertySeq& list, const char* name);
// Appends a property, whether or not the name is there already.
void add_prop(DS::PropertySeq& list, const char* name, const char* value);
// Sets the first property 'name' or appends it.
void set_prop(DS::PropertySeq& list, const char* name, const char* value);
void remove_prop(DS::PropertySeq& list, const char* name);
// Copies every property of 'from' into 'to', replacing by name (a name that
// may repeat replaces all its entries); the audit reason of a request is not
// an attribute and is skipped.
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
