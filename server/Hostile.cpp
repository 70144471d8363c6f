#include "Hostile.h"

#include <cstdio>

namespace svc {

namespace {

namespace OBV_FW = OBV_Orvane::Keldra::TL::Framework;

std::string element_name(CORBA::ULong i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "hostile-%07lu", static_cast<unsigned long>(i));
    return buf;
}

template <class T>
T* named(const std::string& name) {
    T* v = new T;
    v->name(name.c_str());
    v->objId(("id-" + name).c_str());
    return v;
}

// Each element built alone: nothing shared, so the wire carries every one
// of them in full.
template <class Seq, class Make>
void fill(Seq& seq, CORBA::ULong size, Make make) {
    seq.length(size);
    for (CORBA::ULong i = 0; i < size; ++i) seq[i] = make(element_name(i));
}

}  // namespace

void raise_deep_root_causes(long depth) {
    // Built from the innermost cause outwards, so that no step recurses.
    FW::ServiceExceptionDetails_var cause;
    for (long level = depth; level >= 1; --level) {
        FW::ServiceExceptionDetails_var d = new OBV_FW::ServiceExceptionDetails;
        d->exceptionClassName("ServiceException");
        d->originatingMethod(("root cause " + std::to_string(level)).c_str());
        if (cause.in()) {
            d->rootCauses().length(1);
            d->rootCauses()[0] = cause._retn();
        }
        cause = d._retn();
    }
    DS::DiskServiceExceptionDetails_var top = new OBV_DS::DiskServiceExceptionDetails;
    top->originatingService("DiskService");
    top->exceptionClassName("ServiceException");
    top->originatingMethod("hostile");
    top->errorCode(kHostileErrorCode);
    top->errorDomain(1);
    top->errorText(("root causes nest " + std::to_string(depth) + " deep").c_str());
    if (cause.in()) {
        top->rootCauses().length(1);
        top->rootCauses()[0] = cause._retn();
    }
    throw FW::ServiceException(top._retn());
}

void generate(DS::DiskGroupSeq& seq, CORBA::ULong size) {
    fill(seq, size, [](const std::string& n) { return named<OBV_DS::DiskGroup>(n); });
}

void generate(DS::DiskGroupInfoSeq& seq, CORBA::ULong size) {
    fill(seq, size, [](const std::string& n) {
        auto* info = new OBV_DS::DiskGroupInfo;
        info->group(Owned<DS::DiskGroup>(named<OBV_DS::DiskGroup>(n)));
        info->name(n.c_str());
        info->id(("id-" + n).c_str());
        return info;
    });
}

void generate(DS::DiskVolumeSeq& seq, CORBA::ULong size) {
    fill(seq, size, [](const std::string& n) { return named<OBV_DS::DiskVolume>(n); });
}

void generate(DS::DiskVolumeInfoSeq& seq, CORBA::ULong size) {
    fill(seq, size, [](const std::string& n) {
        auto* info = new OBV_DS::DiskVolumeInfo;
        info->volume(Owned<DS::DiskVolume>(named<OBV_DS::DiskVolume>(n)));
        info->name(n.c_str());
        return info;
    });
}

void generate(DS::StorageServerInfoSeq& seq, CORBA::ULong size) {
    fill(seq, size, [](const std::string& n) {
        auto* info = new OBV_DS::StorageServerInfo;
        info->host(Owned<DS::StorageServer>(named<OBV_DS::StorageServer>(n)));
        info->name(n.c_str());
        return info;
    });
}

void inflate_last_property(DS::PropertySeq& props, CORBA::ULong size) {
    if (props.length() == 0 || !props[props.length() - 1].in()) set_prop(props, "DSM::hostile", "");
    DS::Property* last = props[props.length() - 1];
    std::string value = text(last->value()).substr(0, size);
    value.reserve(size);
    for (CORBA::ULong i = static_cast<CORBA::ULong>(value.size()); i < size; ++i)
        value.push_back(static_cast<char>('a' + i % 26));
    last->value(value.c_str());
}

DS::PropertySeq* reply_properties(DS::ObjSpec* v) { return v ? &v->properties() : nullptr; }
DS::PropertySeq* reply_properties(DS::DiskGroupInfo* v) { return v ? reply_properties(v->group()) : nullptr; }
DS::PropertySeq* reply_properties(DS::DiskVolumeInfo* v) { return v ? reply_properties(v->volume()) : nullptr; }
DS::PropertySeq* reply_properties(DS::StorageServerInfo* v) { return v ? reply_properties(v->host()) : nullptr; }
DS::PropertySeq* reply_properties(DS::EnclosureInfo* v) { return v ? &v->properties() : nullptr; }
DS::PropertySeq* reply_properties(DS::MountPoint* v) { return v ? &v->properties() : nullptr; }

}  // namespace svc
