#include "FrameworkRegistrar.h"

#include "Framework.hh"
#include "KDLogger.h"
#include "RegistrarService.h"
#include "ValueFactoryTable.h"

namespace FW = Orvane::Keldra::TL::Framework;

namespace {

// Every framework value the service may send; BaseObject and
// ExpansionAttribute are never sent on their own.
const dsm::FactoryEntry kFactories[] = {
    {"IDL:Orvane/Keldra/TL/Framework/NumericMessageItem:1.0", dsm::makeFactory<FW::NumericMessageItem_init>},
    {"IDL:Orvane/Keldra/TL/Framework/MessageItem:1.0", dsm::makeFactory<FW::MessageItem_init>},
    {"IDL:Orvane/Keldra/TL/Framework/IllegalArgumentExceptionDetails:1.0", dsm::makeFactory<FW::IllegalArgumentExceptionDetails_init>},
    {"IDL:Orvane/Keldra/TL/Framework/Message:1.0", dsm::makeFactory<FW::Message_init>},
    {"IDL:Orvane/Keldra/TL/Framework/ErrorCodeExceptionDetails:1.0", dsm::makeFactory<FW::ErrorCodeExceptionDetails_init>},
    {"IDL:Orvane/Keldra/TL/Framework/ServiceExceptionDetails:1.0", dsm::makeFactory<FW::ServiceExceptionDetails_init>},
    {"IDL:Orvane/Keldra/TL/Framework/StringMessageItem:1.0", dsm::makeFactory<FW::StringMessageItem_init>},
};

}  // namespace

int FrameworkRegistrar::init(CORBA::ORB_ptr orb) {
    Tracer trace(KDLogger::s_default, this, "FrameworkRegistrar::init", __FILE__, __LINE__);
    dsm::registerFactories(orb, kFactories, sizeof kFactories / sizeof kFactories[0],
                           "FrameworkRegistrar::init", 261);
    return 0;
}

int FrameworkRegistrar::init(int, ACE_TCHAR*[]) { return dsm::initFromOrbService(*this); }
