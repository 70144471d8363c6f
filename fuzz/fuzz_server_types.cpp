// Server type names and storage unit subtypes, through the helper and the
// two exported translations, with a caller buffer of every length from 0 to
// 255 bytes (allocated to the byte, so a longer write is an overflow).
//
//   input: subtype (u32, as a signed int), buffer length octet, name text
#include "Exercise.h"

#include "DiskServiceHelper.h"
#include "dsm.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace dsmfuzz;
using H = DiskServiceHelper;

void check_name(const Text& name) {
    const char* n = name ? name->c_str() : nullptr;
    std::uint32_t subtype = 99;
    const int status = dsm_get_disk_subtype(n, &subtype);
    const bool known = H::isKnownServerType(n);
    FUZZ_CHECK(status == (known ? DSM_OK : DSM_E_INVALID_ARG));
    if (!n) {
        FUZZ_CHECK(H::identifyStuSubtype(n) == 0);
        return;
    }
    const int helper_subtype = H::identifyStuSubtype(n);
    if (!known) {
        FUZZ_CHECK(helper_subtype == 6 && subtype == 99);
        return;
    }
    FUZZ_CHECK(subtype == static_cast<std::uint32_t>(helper_subtype));
    // Every known name but the one sharing subtype 6 reads back.
    if (helper_subtype != 6) FUZZ_CHECK(std::strcmp(H::identifyStuServerType(helper_subtype), n) == 0);
}

void check_subtype(int subtype, int length) {
    std::unique_ptr<char[]> buf(new char[static_cast<std::size_t>(length)]);
    const int status = dsm_get_storageserver_type(subtype, buf.get(), length);
    if (subtype < 0) {
        FUZZ_CHECK(status == DSM_E_INVALID_ARG);
        return;
    }
    FUZZ_CHECK(status == DSM_OK);
    const char* name = H::identifyStuServerType(subtype);
    FUZZ_CHECK(name && (H::isKnownServerType(name) || std::strcmp(name, "DiskPool") == 0));
    if (length > 0)
        FUZZ_CHECK(std::string(name).substr(0, static_cast<std::size_t>(length) - 1) == buf.get());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    install_reading_logger(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    const int subtype = static_cast<int>(in.u32());
    const int length = in.byte();
    check_subtype(subtype, length);
    check_name(in.text());
    return 0;
}
