#include "DiskServiceHelper.h"

#include "Brenlow.h"
#include "FrameworkExceptions.h"
#include "KDLogger.h"
#include "dsmlib_log.h"

#include "kdbase.h"

#include <ace/OS_NS_time.h>
#include <ace/OS_NS_unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>

namespace DS = Orvane::Keldra::DL::DiskService;
namespace FW = Orvane::Keldra::TL::Framework;

namespace {

constexpr int kOriginator = 178;
constexpr int kMsgMissingArgument = 18;
constexpr int kMsgServiceSummary = 1;
constexpr int kMsgArgumentSummary = 2;
constexpr const char* kService = "DiskService";
constexpr const char* kClass = "DiskServiceHelper";

// The helper's host logger: the process's library logger, else one of our
// own obtained once.
KDLogger* helper_logger() {
    if (KDLogger::s_defaultLib) return KDLogger::s_defaultLib;
    static KDLogger* own = KDLogFactory::Instance()->getLogger(kOriginator, false);
    return own;
}

#define DSM_HELPER_TRACE(name) \
    Tracer dsm_trace_(helper_logger(), nullptr, "DiskServiceHelper::" name, __FILE__, __LINE__)

void send_app_message(int msgid, Brenlow::L10N::Lis& args) {
    KDLogger* logger = helper_logger();
    if (!logger || !logger->handle()) return;
    Brenlow::Logging::AppMsg::send(*logger, 0, msgid, args);
}

// The generated downcasts take non-const pointers; they never modify.
template <class T>
const T* downcast(const CORBA::ValueBase* v) {
    return T::_downcast(const_cast<CORBA::ValueBase*>(v));
}

bool same(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

std::string local_host() {
    char name[256] = {0};
    if (ACE_OS::hostname(name, sizeof name) != 0) return std::string();
    name[sizeof name - 1] = '\0';
    return name;
}

std::string origin_method(const char* method, int line) {
    return dsm::compose(method ? method : "NULL", "():", line);
}

// The origin every raised detail carries.
void fill_origin(FW::ServiceExceptionDetails& d, const char* className, const char* method,
                 int line) {
    d.originatingService(kService);
    d.originatingClass(className ? className : "NULL");
    d.originatingMethod(origin_method(method, line).c_str());
    d.originatingHost(local_host().c_str());
    d.timeStamp(static_cast<CORBA::LongLong>(ACE_OS::time(nullptr)));
}

// Attaches message 'msgnum' (with one optional string insert) to the details
// and reports it as an application message.
void attach_message(FW::ServiceExceptionDetails& d, int msgnum, const char* insert) {
    FW::Message_var msg = new OBV_Orvane::Keldra::TL::Framework::Message;
    msg->originatorId(kOriginator);
    msg->timeStamp(static_cast<CORBA::LongLong>(ACE_OS::time(nullptr)));
    msg->textId(msgnum);
    Brenlow::L10N::Lis args(msgnum);
    if (insert) {
        FW::StringMessageItem_var item = new OBV_Orvane::Keldra::TL::Framework::StringMessageItem;
        item->position(0);
        item->name(insert);
        item->stringValue(insert);
        msg->inserts().length(1);
        msg->inserts()[0] = item._retn();
        args.add(insert);
    }
    send_app_message(msgnum, args);
    d.message(msg.in());
}

const char* domain_name(CORBA::Long domain) {
    switch (domain) {
        case 1: return "DSM";
        case 2: return "EMM";
        case 3: return "RDSM";
        case 4: return "STS";
        default: return "";
    }
}

void append_field(std::string& out, const char* label, const char* value) {
    if (value && *value) out.append(label).append(value);
}

std::string origin_text(const FW::ServiceExceptionDetails& d) {
    std::string out = ":\n";
    append_field(out, " method=", d.originatingMethod());
    append_field(out, " class=", d.originatingClass());
    append_field(out, " service=", d.originatingService());
    append_field(out, " host=", d.originatingHost());
    return out;
}

const DS::DiskServiceExceptionDetails* disk_details(const DiskServiceHelper::ServiceException& e) {
    return downcast<DS::DiskServiceExceptionDetails>(e.details.in());
}

std::string translate(const FW::Message* msg, const char* typeName, const char* locale) {
    if (!msg) return typeName;
    Brenlow::L10N::Lis args(msg->textId());
    const FW::MessageItemSeq& inserts = msg->inserts();
    for (CORBA::ULong i = 0; i < inserts.length(); ++i) {
        const FW::MessageItem* item = inserts[i];
        if (auto* s = downcast<FW::StringMessageItem>(item))
            args.add(static_cast<const char*>(s->stringValue()));
        else if (auto* n = downcast<FW::NumericMessageItem>(item))
            args.add(static_cast<long long>(n->numericValue()));
    }
    char text[2048];
    if (xlatemsg(msg->textId(), args.list(), msg->originatorId(), text, sizeof text, locale) == 0)
        return text;
    return dsm::compose("Unable to translate localized message:", " Originator ID = ",
                        msg->originatorId(), " Message ID = ", msg->textId());
}

// A classic-locale input stream per thread, reset for every text: making and
// imbuing one per number dominated the extraction of long lists.
std::istringstream& number_stream() {
    thread_local std::istringstream in = [] {
        std::istringstream s;
        s.imbue(std::locale::classic());
        return s;
    }();
    return in;
}

template <class T>
T read_number(const char* text) {
    T value = 0;
    if (!text) return 0;
    std::istringstream& in = number_stream();
    in.str(std::string(text));
    in.clear();
    in >> value;
    return value;
}

}  // namespace

// ---- properties ----

char* DiskServiceHelper::getPropertyByName(const PropertySeq& list, const char* name) {
    if (!name)
        throwIllArgException("name", kClass, "getPropertyByName", __LINE__, kMsgMissingArgument, "name");
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        const Property* p = list[i];
        if (!p || !p->name() || !p->value()) continue;
        if (std::strcmp(p->name(), name) == 0) return CORBA::string_dup(p->value());
    }
    return nullptr;
}

DiskServiceHelper::Property* DiskServiceHelper::buildProperty(const char* name, const char* value) {
    Property* p = new OBV_Orvane::Keldra::DL::DiskService::Property;
    p->name(name);
    p->value(value);
    return p;
}

namespace {

void require_name_and_value(const char* name, const char* value, const char* method, int line) {
    if (!name)
        DiskServiceHelper::throwIllArgException("name", kClass, method, line, kMsgMissingArgument, "name");
    if (!value)
        DiskServiceHelper::throwIllArgException("value", kClass, method, line, kMsgMissingArgument, "value");
}

}  // namespace

void DiskServiceHelper::addProperty(PropertySeq& list, const char* name, const char* value) {
    require_name_and_value(name, value, "addProperty", __LINE__);
    const CORBA::ULong at = list.length();
    list.length(at + 1);
    try {
        list[at] = buildProperty(name, value);
    } catch (const std::bad_alloc&) {
        throwSvcException(1, 2050001, "Property", kClass, "buildProperty", __LINE__,
                          mapError2Message(1, 2050001), "Property");
    }
}

void DiskServiceHelper::updateProperty(PropertySeq& list, const char* name, const char* value,
                                       bool add) {
    DSM_HELPER_TRACE("updateProperty");
    require_name_and_value(name, value, "updateProperty", __LINE__);
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        Property* p = list[i];
        if (p && same(p->name(), name)) {
            p->value(value);
            return;
        }
    }
    if (add) addProperty(list, name, value);
}

// ---- server types ----

namespace {

struct ServerType {
    const char* name;
    int subtype;
};

const ServerType kServerTypes[] = {
    {"LegacyDisk", 0}, {"BasicDisk", 1}, {"NearStore", 2}, {"SnapVault", 3}, {"SANDisk", 6},
};

const ServerType* find_server_type(const char* name) {
    for (const ServerType& t : kServerTypes)
        if (same(t.name, name)) return &t;
    return nullptr;
}

}  // namespace

int DiskServiceHelper::identifyStuSubtype(const char* servertype) {
    DSM_HELPER_TRACE("identifyStuSubtype");
    if (!servertype) return 0;
    const ServerType* t = find_server_type(servertype);
    return t ? t->subtype : 6;
}

const char* DiskServiceHelper::identifyStuServerType(int subtype) {
    DSM_HELPER_TRACE("identifyStuServerType");
    // SANDisk shares subtype 6 with every other pool type.
    for (const ServerType& t : kServerTypes)
        if (t.subtype == subtype && subtype != 6) return t.name;
    return "DiskPool";
}

bool DiskServiceHelper::isKnownServerType(const char* servertype) {
    DSM_HELPER_TRACE("isKnownServerType");
    return find_server_type(servertype) != nullptr;
}

// ---- exceptions ----

int DiskServiceHelper::mapError2Message(int domain, int status) {
    DSM_HELPER_TRACE("mapError2Message");
    if (domain != 1) return -1;
    switch (status) {
        case 2050001: return 20;
        case 2050010: return 8;
        case 2050011: return 23;
        case 2050012: return 27;
        case 2050020: return 22;
        case 2050023: return 24;
        case 2050028: return 25;
        case 2050029: return 26;
        default: return -1;
    }
}

void DiskServiceHelper::throwSvcException(int domain, int status, const char* errorText,
                                          const char* className, const char* method, int line,
                                          int msgnum, const char* insert) {
    DSM_HELPER_TRACE("throwSvcException");
    dsm::ictr_trace("DSM", "throwSvcException", method, errorText);
    DS::DiskServiceExceptionDetails_var d = new OBV_Orvane::Keldra::DL::DiskService::DiskServiceExceptionDetails;
    fill_origin(*d.in(), className, method, line);
    d->errorText(errorText ? errorText : "NULL");
    d->errorDomain(domain);
    d->errorCode(status);
    if (msgnum != -1) attach_message(*d.in(), msgnum, insert);
    Brenlow::L10N::Lis summary(kMsgServiceSummary);
    summary.add(static_cast<const char*>(d->originatingMethod()))
        .add(static_cast<const char*>(d->errorText()))
        .add(domain)
        .add(status);
    send_app_message(kMsgServiceSummary, summary);
    ServiceExceptionHelper::raise(d._retn());
}

void DiskServiceHelper::throwIllArgException(const char* argument, const char* className,
                                             const char* method, int line, int msgnum,
                                             const char* insert) {
    DSM_HELPER_TRACE("throwIllArgException");
    dsm::ictr_trace("DSM", "throwIllArgException", method, argument);
    FW::IllegalArgumentExceptionDetails_var d =
        IllegalArgumentExceptionHelper::makeDetails(kService, className, origin_method(method, line).c_str(),
                                                    local_host().c_str());
    d->argumentName(argument ? argument : "NULL");
    if (msgnum != -1) attach_message(*d.in(), msgnum, insert);
    Brenlow::L10N::Lis summary(kMsgArgumentSummary);
    summary.add(static_cast<const char*>(d->originatingMethod()))
        .add(static_cast<const char*>(d->argumentName()));
    send_app_message(kMsgArgumentSummary, summary);
    IllegalArgumentExceptionHelper::raise(d._retn());
}

std::string DiskServiceHelper::exceptionDetailText(const ServiceException& e) {
    std::string out = "ServiceException";
    const DS::DiskServiceExceptionDetails* d = disk_details(e);
    if (!d) return out;
    out += origin_text(*d);
    out += dsm::compose(" errorDomain=", domain_name(d->errorDomain()), " errorCode=", d->errorCode(),
                        " errorText=", d->errorText() ? d->errorText() : "");
    return out;
}

std::string DiskServiceHelper::exceptionDetailText(const IllegalArgumentException& e) {
    std::string out = "IllegalArgumentException";
    if (e.details.in()) out += origin_text(*e.details.in());
    return out;
}

std::string DiskServiceHelper::localizedMessage(const ServiceException& e, const char* locale) {
    const DS::DiskServiceExceptionDetails* d = disk_details(e);
    return translate(d ? d->message() : nullptr, "ServiceException", locale);
}

std::string DiskServiceHelper::localizedMessage(const IllegalArgumentException& e,
                                                const char* locale) {
    const FW::IllegalArgumentExceptionDetails* d = e.details.in();
    return translate(d ? d->message() : nullptr, "IllegalArgumentException", locale);
}

// ---- numbers ----

std::uint64_t DiskServiceHelper::toUInt64(const char* text) { return read_number<std::uint64_t>(text); }
std::int64_t DiskServiceHelper::toInt64(const char* text) { return read_number<std::int64_t>(text); }
CORBA::Long DiskServiceHelper::toLong(const char* text) { return read_number<CORBA::Long>(text); }
int DiskServiceHelper::toInt(const char* text) { return read_number<int>(text); }

int DiskServiceHelper::toAtoi(const char* text) {
    if (!text) return 0;
    errno = 0;
    long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

std::string DiskServiceHelper::toText(std::int64_t value) { return dsm::compose(value); }
std::string DiskServiceHelper::toTextUnsigned(std::uint64_t value) { return dsm::compose(value); }
