#include "Values.h"

#include <cstring>

namespace svc {

const char* prop(const DS::PropertySeq& list, const char* name) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        const DS::Property* p = list[i];
        if (p && p->name() && p->value() && std::strcmp(p->name(), name) == 0) return p->value();
    }
    return nullptr;
}

void add_prop(DS::PropertySeq& list, const char* name, const char* value) {
    const CORBA::ULong n = list.length();
    list.length(n + 1);
    DS::Property* p = new OBV_DS::Property;
    p->name(name);
    p->value(value);
    list[n] = p;
}

void set_prop(DS::PropertySeq& list, const char* name, const char* value) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        DS::Property* p = list[i];
        if (p && p->name() && std::strcmp(p->name(), name) == 0) {
            p->value(value);
            return;
        }
    }
    add_prop(list, name, value);
}

void remove_prop(DS::PropertySeq& list, const char* name) {
    CORBA::ULong out = 0;
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        DS::Property* p = list[i];
        if (p && p->name() && std::strcmp(p->name(), name) == 0) continue;
        if (out != i) {
            if (p) p->_add_ref();
            list[out] = p;
        }
        ++out;
    }
    list.length(out);
}

namespace {

// Names that may occur more than once: a volume's replication sources and
// targets, a server's array types. Readers take them by index.
bool is_list(const char* name) {
    static const char* const kLists[] = {"DSM::ReplicationSourceSpec", "DSM::ReplicationTargetSpec",
                                         "Arraytype.List"};
    for (const char* list : kLists)
        if (std::strcmp(list, name) == 0) return true;
    return false;
}

bool usable(const DS::Property* p) { return p && p->name() && p->value(); }

}  // namespace

void merge_props(DS::PropertySeq& to, const DS::PropertySeq& from) {
    // A request that gives a list gives all of it: its entries replace the
    // stored ones, in the request's order.
    for (CORBA::ULong i = 0; i < from.length(); ++i)
        if (usable(from[i]) && is_list(from[i]->name())) remove_prop(to, from[i]->name());
    for (CORBA::ULong i = 0; i < from.length(); ++i) {
        const DS::Property* p = from[i];
        if (!usable(p) || std::strcmp(p->name(), "DSM::AuditReason") == 0) continue;
        if (is_list(p->name()))
            add_prop(to, p->name(), p->value());
        else
            set_prop(to, p->name(), p->value());
    }
}

std::string text(const char* s) { return s ? s : ""; }

Decoder::Decoder(const std::string& bytes) : buffer_(bytes.size() / sizeof(CORBA::ULongLong) + 1) {
    std::memcpy(buffer_.data(), bytes.data(), bytes.size());
    stream_ = std::make_unique<cdrMemoryStream>(buffer_.data(), bytes.size());
}

}  // namespace svc
