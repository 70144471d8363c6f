// Structured: fuzz bytes decoded into the details of a ServiceException or
// an IllegalArgumentException (every details kind, messages with inserts of
// every kind, root-cause chains; see FuzzValues.h) and raised inside an
// exported function's frame, with the logger locale taken from the input:
// the detail text, the translation and the status mapping.
//
//   input: locale text, exception octet (bit 0: IllegalArgumentException),
//          details
#include "FuzzValues.h"

namespace {

using namespace dsmfuzz;

// The logger keeps the locale's pointer, so it lives until the next input.
std::string g_locale;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    const Text locale = in.text();
    g_locale = locale.value_or("");
    install_reading_logger(locale ? g_locale.c_str() : nullptr);
    const bool illegal_argument = in.byte() & 1;
    FW::ServiceExceptionDetails_var details = read_details(in);
    // The exception takes a reference of its own.
    if (illegal_argument) {
        auto* own = FW::IllegalArgumentExceptionDetails::_downcast(details.in());
        if (own) own->_add_ref();
        exercise(FW::IllegalArgumentException(own));
    } else {
        if (details.in()) details->_add_ref();
        exercise(FW::ServiceException(details.in()));
    }
    return 0;
}
