#include "dsmlib_frame.h"

#include "DiskServiceHelper.h"

namespace dsm {

bool Frame::isNull(const void* arg, const char* name, int line) const noexcept {
    if (arg) return false;
    log(DSM_SEV_ERROR, line, "Input argument '", name, "' is NULL");
    return true;
}

bool Frame::isNegative(long long count, const char* name, int line) const noexcept {
    if (count >= 0) return false;
    log(DSM_SEV_ERROR, line, "Input argument '", name, "' is negative (", count, ")");
    return true;
}

DS::DiskServiceMgr_ptr Frame::connect(int line) const {
    DS::DiskServiceMgr_ptr dsm = dsmlibp_connect_dsm();
    if (CORBA::is_nil(dsm)) log(DSM_SEV_ERROR, line, "Failed to connect to DiskServiceMgr (kdemm)");
    return dsm;
}

int Frame::populateFailed(const char* type, int status, int line) const noexcept {
    log(DSM_SEV_ERROR, line, "Failed to populate ", type, " (error=", status, ")");
    return status;
}

int Frame::dbMode(dsm_dbmode mode, CORBA::Long* out, int line) const noexcept {
    const int status = dsmlibp_db_mode(mode, out);
    if (status != 0) log(DSM_SEV_ERROR, line, "Failed to convert DbMode (error=", status, ")");
    return status;
}

void Frame::calling(const char* operation, int line) const noexcept {
    log(DSM_SEV_TRACE, line, "Calling dsm->", operation, "()");
}

int Frame::nullResult(const char* operation, const char* type, int line) const noexcept {
    log(DSM_SEV_ERROR, line, operation, " returned NULL ", type);
    return DSM_E_NULL_RESULT;
}

int Frame::serviceExceptionStatus(const FW::ServiceException& e) const noexcept {
    int status = -1;
    try {
        if (auto* d = DS::DiskServiceExceptionDetails::_downcast(e.details.in()))
            status = d->errorCode();
    } catch (...) {
        log(DSM_SEV_FATAL, line_, "DiskServiceExceptionDetails dynamic_cast exception");
    }
    if (status < 0) log(DSM_SEV_FATAL, line_, "Failed to extract error code from ServiceExeption");
    return status;
}

namespace {

// Logs a user exception's detail text with its message translated into the
// logger locale. A translation that itself fails (the argument library can
// throw) leaves the localized text out rather than escaping the handler.
template <class E>
void log_user_exception(const Frame& f, int line, const E& e) noexcept {
    std::string text;
    std::string localized;
    bool translated = false;
    try {
        text = DiskServiceHelper::exceptionDetailText(e);
        localized = DiskServiceHelper::localizedMessage(e, dsmlib_get_logger_locale());
        translated = true;
    } catch (...) {
        if (text.empty()) text = E::_PD_repoId;
    }
    try {
        emit(DSM_SEV_ERROR, text, translated ? localized.c_str() : nullptr, f.function(),
             f.source(), line);
    } catch (...) {
    }
}

}  // namespace

int Frame::onServiceException(const FW::ServiceException& e) const noexcept {
    log_user_exception(*this, line_, e);
    return serviceExceptionStatus(e);
}

int Frame::onIllegalArgument(const FW::IllegalArgumentException& e) const noexcept {
    log_user_exception(*this, line_, e);
    return DSM_E_INVALID_ARG;
}

int Frame::onCorbaException(const CORBA::Exception& e) const noexcept {
    try {
        log(DSM_SEV_FATAL, line_, "CORBA exception: ", dsmlibp_describe(e));
    } catch (...) {
    }
    return DSM_E_CORBA;
}

int Frame::onStdException(const std::exception& e) const noexcept {
    log(DSM_SEV_FATAL, line_, "std::exception: ", e.what());
    return DSM_E_STD;
}

int Frame::onUnknownException() const noexcept {
    log(DSM_SEV_FATAL, line_, "Unknown (...) exception thrown");
    return DSM_E_UNKNOWN;
}

}  // namespace dsm
