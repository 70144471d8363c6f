// Server type names and storage unit subtypes, through the helper and the
// two exported translations, with a caller buffer of every length from 0 to
// 255 bytes (allocated to the byte, so a longer write is an overflow).
//
//   input: subtype (u32, as a signed int), buffer length octet, name text
#include "FuzzValues.h"

#include "DiskServiceHelper.h"
#include "dsm.h"

#include <cstring>
#include <memory>

using H = DiskServiceHelper;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    dsmfuzz::install_reading_logger(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dsmfuzz::Reader in(data, size);
    const int subtype = static_cast<int>(in.u32());
    const int length = in.byte();
    std::unique_ptr<char[]> buf(new char[static_cast<std::size_t>(length)]);
    const int status = dsm_get_storageserver_type(subtype, buf.get(), length);
    FUZZ_CHECK(status == (subtype < 0 ? DSM_E_INVALID_ARG : DSM_OK));
    if (subtype >= 0) {
        const char* name = H::identifyStuServerType(subtype);
        FUZZ_CHECK(name && (H::isKnownServerType(name) || std::strcmp(name, "DiskPool") == 0));
        if (length > 0)
            FUZZ_CHECK(std::string(name).substr(0, static_cast<std::size_t>(length) - 1) == buf.get());
    }

    const dsmfuzz::Text name = in.text();
    const char* n = name ? name->c_str() : nullptr;
    std::uint32_t back = 99;
    const bool known = H::isKnownServerType(n);
    FUZZ_CHECK(dsm_get_disk_subtype(n, &back) == (known ? DSM_OK : DSM_E_INVALID_ARG));
    const int helper_subtype = H::identifyStuSubtype(n);
    if (!n)
        FUZZ_CHECK(helper_subtype == 0);
    else if (!known)
        FUZZ_CHECK(helper_subtype == 6 && back == 99);
    else
        FUZZ_CHECK(back == static_cast<std::uint32_t>(helper_subtype));
    // Every known name but the one sharing subtype 6 reads back.
    if (n && known && helper_subtype != 6)
        FUZZ_CHECK(std::strcmp(H::identifyStuServerType(helper_subtype), n) == 0);
    return 0;
}
