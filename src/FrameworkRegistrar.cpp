#include "FrameworkRegistrar.h"

#include "Framework.hh"
#include "KDLogger.h"
#include "RegistrarService.h"
#include "ValueFactoryTable.h"

namespace FW = Orvane::Keldra::TL::Framework;
namespace OBV_FW = OBV_Orvane::Keldra::TL::Framework;

namespace {

// Every framework value the service may send; BaseObject and
// ExpansionAttribute are never sent on their own. Details bound their
// nesting.
const dsm::FactoryEntry kFactories[] = {
    {"IDL:Orvane/Keldra/TL/Framework/NumericMessageItem:1.0", dsm::makeFactory<FW::NumericMessageItem_init>},
    {"IDL:Orvane/Keldra/TL/Framework/MessageItem:1.0", dsm::makeFactory<FW::MessageItem_init>},
    {"IDL:Orvane/Keldra/TL/Framework/IllegalArgumentExceptionDetails:1.0", dsm::makeNestingBoundedFactory<FW::IllegalArgumentExceptionDetails_init, OBV_FW::IllegalArgumentExceptionDetails>},
    {"IDL:Orvane/Keldra/TL/Framework/Message:1.0", dsm::makeFactory<FW::Message_init>},
    {"IDL:Orvane/Keldra/TL/Framework/ErrorCodeExceptionDetails:1.0", dsm::makeNestingBoundedFactory<FW::ErrorCodeExceptionDetails_init, OBV_FW::ErrorCodeExceptionDetails>},
    {"IDL:Orvane/Keldra/TL/Framework/ServiceExceptionDetails:1.0", dsm::makeNestingBoundedFactory<FW::ServiceExceptionDetails_init, OBV_FW::ServiceExceptionDetails>},
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
