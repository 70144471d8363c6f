// Pieces shared by the exported families: the caller-buffer protocol, held
// references, request values and the audit convention.
#ifndef DSMLIB_API_H
#define DSMLIB_API_H

#include "DiskServiceHelper.h"
#include "dsmlib_field.h"
#include "dsmlib_frame.h"
#include "dsmlib_values.h"

#include "kdbase.h"

#include <cstring>
#include <type_traits>

namespace dsm {

// Fills out[0 .. min(length, num_alloc)-1] in service order after storing
// the full length in *num_avail; a buffer that is too small is no error.
// 'fill' gets (index, element of the sequence, record).
template <class Seq, class Rec, class Fill>
void fill_buffer(const Seq& seq, Rec* out, int num_alloc, int* num_avail, Fill fill) {
    const CORBA::ULong length = seq.length();
    *num_avail = static_cast<int>(length);
    for (CORBA::ULong i = 0; i < length && static_cast<long long>(i) < num_alloc; ++i)
        fill(i, seq[i].in(), out[i]);
}

template <class Rec>
void clear_record(Rec& rec) {
    std::memset(&rec, 0, sizeof rec);
}

// Clears 'rec' except its member 'keep', for callers that overwrite that
// member whole afterwards: the result is the same bytes as a full clear.
template <class Rec, class Member>
void clear_record_except(Rec& rec, Member& keep) {
    char* const begin = reinterpret_cast<char*>(&rec);
    char* const from = reinterpret_cast<char*>(&keep);
    char* const to = from + sizeof keep;
    std::memset(begin, 0, static_cast<std::size_t>(from - begin));
    std::memset(to, 0, static_cast<std::size_t>(begin + sizeof rec - to));
}

// The value a record holds (borrowed), typed.
template <class T>
T* held(const void* object_ref) {
    return static_cast<T*>(const_cast<void*>(object_ref));
}

// Makes 'value' the record's held reference with one count of its own.
template <class T>
void hold(void*& object_ref, T* value) {
    if (value) value->_add_ref();
    object_ref = value;
}

// Releases what the record holds, if anything, and clears the field.
template <class T>
void release_held(void*& object_ref) {
    if (T* v = held<T>(object_ref)) v->_remove_ref();
    object_ref = nullptr;
}

// Appends "DSM::AuditReason" when the caller gives a reason.
inline void add_reason(DS::PropertySeq& props, const char* reason) {
    if (reason) DiskServiceHelper::addProperty(props, "DSM::AuditReason", reason);
}

// "DSM::AuditSucess" of a returned value as a signed decimal; 0 when absent.
inline int audit_value(const DS::PropertySeq& props) {
    CORBA::String_var v = DiskServiceHelper::getPropertyByName(props, "DSM::AuditSucess");
    return v.in() ? DiskServiceHelper::toInt(v.in()) : 0;
}

// A non-zero audit value turns success into 2000053; it never hides a failure.
inline int apply_audit(int status, int audit) {
    return status == DSM_OK && audit != 0 ? DSM_E_AUDIT : status;
}

// Appends name=<number as base-10 text>.
inline void add_number(DS::PropertySeq& props, const char* name, std::int64_t value) {
    DiskServiceHelper::addProperty(props, name, DiskServiceHelper::toText(value).c_str());
}
inline void add_unsigned(DS::PropertySeq& props, const char* name, std::uint64_t value) {
    DiskServiceHelper::addProperty(props, name, DiskServiceHelper::toTextUnsigned(value).c_str());
}
// Appends name=<a caller's character field>.
template <std::size_t N>
void add_field(DS::PropertySeq& props, const char* name, const char (&field)[N]) {
    DiskServiceHelper::addProperty(props, name, field_text(field).c_str());
}

// A caller's output array with its allocated count and the pointer to the
// available count, each with its parameter name for the argument checks.
template <class Rec>
struct Buffer {
    Rec* out;
    const char* out_name;
    int num_alloc;
    const char* alloc_name;
    int* num_avail;
    const char* avail_name;

    // Checks the three in parameter order; true when one is unusable.
    bool bad(const Frame& f, int line) const {
        return f.isNull(out, out_name, line) || f.isNegative(num_alloc, alloc_name, line) ||
               f.isNull(num_avail, avail_name, line);
    }
};

// The listings that read a member sequence of a record's held value
// instead of asking the service: checks in parameter order, the held
// reference, then the caller-buffer protocol with every element cleared
// before 'fill' converts it.
template <class Held, class Record, class Rec, class Member, class Fill>
int held_members(const Frame& f, const Record* record, const char* record_name,
                 const char* held_name, const Buffer<Rec>& buffer, const char* label,
                 Member member, Fill fill) {
    return f.run([&] {
        if (f.isNull(record, record_name, __LINE__) || buffer.bad(f, __LINE__))
            return DSM_E_INVALID_ARG;
        if (!record->object_ref) {
            DSM_LOG(f, DSM_SEV_ERROR, held_name, " object reference is NULL");
            return DSM_E_INVALID_ARG;
        }
        const auto& seq = member(held<Held>(record->object_ref));
        DSM_LOG(f, DSM_SEV_TRACE, held_name, " - #", label, " = ", seq.length());
        fill_buffer(seq, buffer.out, buffer.num_alloc, buffer.num_avail,
                    [&](CORBA::ULong i, auto* value, Rec& rec) {
                        clear_record(rec);
                        fill(i, value, rec);
                    });
        return DSM_OK;
    });
}

}  // namespace dsm

#define DSM_BUFFER(out, num_alloc, num_avail) \
    ::dsm::Buffer<std::remove_pointer_t<decltype(out)>> { out, #out, num_alloc, #num_alloc, num_avail, #num_avail }

#define DSM_REQUIRE_HELD(frame, ref, what) \
    do { \
        if (!(ref)) { \
            DSM_LOG(frame, DSM_SEV_ERROR, what " object reference is NULL"); \
            return DSM_E_INVALID_ARG; \
        } \
    } while (0)

#endif
