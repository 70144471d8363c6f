// Structured: fuzz bytes decoded into each kind of value the service sends
// (see FuzzValues.h), including the null members and elements only a local
// value can have, then extracted into records and read back through the
// exported accessors of the held kinds.
//
//   input: kind octet (mod the number of kinds), the value, then the knobs
#include "FuzzValues.h"

#include <iterator>

namespace {

using namespace dsmfuzz;

template <class T, T* (*Read)(Reader&)>
void run(Reader& in) {
    typename T::_var_type v = Read(in);
    exercise(in, v.in());
}

#define DSM_FUZZ_RUN(T, name) run<DS::T, read_##name>,
void (*const kKinds[])(Reader&) = {DSM_FUZZ_VALUE_KINDS(DSM_FUZZ_RUN)};

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
