// Wire: fuzz bytes unmarshalled by the ORB as the values, sequences and
// exceptions the service sends, then run through the library: extraction,
// the accessors of held values, the exception frame.
//
//   input: kind octet (mod the number of kinds), byte-order octet (bit 0:
//          little-endian), 6 knob octets, then the CDR encoding
#include "FuzzValues.h"

#include "dsmlib_internal.h"

#include <omniORB4/cdrStream.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

using namespace dsmfuzz;

constexpr std::size_t kKnobs = 6;

// Two defects of omniORB 4.2.5 in reading a value's type information
// (orb-defects/README.md): it reads the byte before a repository id or
// codebase URL of length 0, far outside its buffer; and it allocates a list
// of repository ids by the count the reply gives before checking that the
// reply holds that many. The ORB is not ours to fix, so inputs that could
// reach either are skipped: wherever a 4-aligned word looks like a value tag
// announcing a codebase URL or repository ids, no length that follows may be
// 0 and no count larger than the bytes left can hold. DSM_FUZZ_UNGUARDED=1
// keeps them.
struct Words {
    const std::string& bytes;
    bool le;
    // The 4-octet word at 'at'; 1 (neither a tag nor an empty length) past the end.
    std::uint32_t operator[](std::size_t at) const {
        if (at + 4 > bytes.size()) return 1;
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i) w = (w << 8) | static_cast<std::uint8_t>(bytes[at + (le ? 3 - i : i)]);
        return w;
    }
};

constexpr std::uint32_t kValueTagMin = 0x7fffff00;
constexpr std::uint32_t kIndirection = 0xffffffff;

// Steps over one string (or its indirection) at 'at'; false when it is empty.
bool skip_string(const Words& w, std::size_t& at) {
    const std::uint32_t length = w[at];
    at = length == kIndirection ? at + 8 : (at + 4 + length + 3) / 4 * 4;
    return length != 0;
}

bool unreadable_type_information(const Words& w, std::size_t at) {
    const std::uint32_t tag = w[at];
    if (tag < kValueTagMin) return false;
    at += 4;
    if ((tag & 0x01) && !skip_string(w, at)) return true;
    if ((tag & 0x06) == 0x02) return w[at] == 0;
    if ((tag & 0x06) != 0x06) return false;
    const std::uint32_t count = w[at];
    at += 4;
    const std::size_t size = w.bytes.size();
    if (count != kIndirection && count > (size - std::min(at, size)) / 4) return true;
    for (std::uint32_t i = 0; count != kIndirection && i < count && at < size; ++i)
        if (!skip_string(w, at)) return true;
    return false;
}

// Decodes a copy of 'bytes', aligned as the ORB's own buffers are, into a
// new value; a rejection by the ORB ends the input.
template <class Holder, class Decode, class Use>
void wire_kind(const std::string& bytes, bool little_endian, Decode decode, Use use) {
    static const bool unguarded = std::getenv("DSM_FUZZ_UNGUARDED") != nullptr;
    for (std::size_t at = 0; !unguarded && at + 4 <= bytes.size(); at += 4)
        if (unreadable_type_information(Words{bytes, little_endian}, at)) return;
    std::vector<std::uint64_t> aligned(bytes.size() / 8 + 1);
    std::memcpy(aligned.data(), bytes.data(), bytes.size());
    cdrMemoryStream in(aligned.data(), bytes.size());
    in.setByteSwapFlag(little_endian);
    Holder value;
    try {
        decode(in, value);
    } catch (const CORBA::SystemException&) {
        return;
    }
    use(value);
}

template <class T>
void value_kind(const std::string& bytes, bool le, Reader& knobs) {
    using Var = typename T::_var_type;
    wire_kind<Var>(bytes, le, [](cdrStream& s, Var& v) { v = T::_NP_unmarshal(s); }, [&](Var& v) {
        if (v.in()) exercise(knobs, v.in());
    });
}

template <class Seq>
void sequence_kind(const std::string& bytes, bool le, Reader& knobs) {
    wire_kind<Seq>(bytes, le, [](cdrStream& s, Seq& q) { q <<= s; }, [&](Seq& q) {
        for (CORBA::ULong i = 0; i < q.length(); ++i)
            if (q[i].in()) exercise(knobs, q[i].in());
    });
}

template <class E>
void exception_kind(const std::string& bytes, bool le, Reader&) {
    wire_kind<E>(bytes, le, [](cdrStream& s, E& e) { e <<= s; }, [](E& e) { exercise(e); });
}

#define DSM_FUZZ_WIRE_VALUE(T, name) value_kind<DS::T>,
#define DSM_FUZZ_WIRE_LIST(T, name) sequence_kind<DS::T##Seq>,
void (*const kKinds[])(const std::string&, bool, Reader&) = {
    DSM_FUZZ_VALUE_KINDS(DSM_FUZZ_WIRE_VALUE)
    DSM_FUZZ_LIST_KINDS(DSM_FUZZ_WIRE_LIST)
    exception_kind<FW::ServiceException>,
    exception_kind<FW::IllegalArgumentException>,
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    install_reading_logger(nullptr);
    // The ORB needs a factory for every value type it is to decode.
    FUZZ_CHECK(!dsmlibp_register_factories(true));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 + kKnobs) return 0;
    Reader knobs(data + 2, kKnobs);
    kKinds[data[0] % std::size(kKinds)](
        std::string(reinterpret_cast<const char*>(data) + 2 + kKnobs, size - 2 - kKnobs), data[1] & 1, knobs);
    return 0;
}
