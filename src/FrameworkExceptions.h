// Raising the framework's user exceptions. The exceptions adopt the details
// value handed to them.
#ifndef DSMLIB_FRAMEWORKEXCEPTIONS_H
#define DSMLIB_FRAMEWORKEXCEPTIONS_H

#include "Framework.hh"

#include <ace/OS_NS_time.h>

class ServiceExceptionHelper {
public:
    typedef Orvane::Keldra::TL::Framework::ServiceExceptionDetails Details;
    // Takes over 'details'.
    [[noreturn]] static void raise(Details* details) {
        throw Orvane::Keldra::TL::Framework::ServiceException(details);
    }
};

class IllegalArgumentExceptionHelper {
public:
    typedef Orvane::Keldra::TL::Framework::IllegalArgumentExceptionDetails Details;

    // New details with the origin filled in and the current time.
    static Details* makeDetails(const char* service, const char* className, const char* method,
                                const char* host) {
        Details* d = new OBV_Orvane::Keldra::TL::Framework::IllegalArgumentExceptionDetails;
        d->originatingService(service ? service : "");
        d->originatingClass(className ? className : "NULL");
        d->originatingMethod(method ? method : "NULL");
        d->exceptionClassName("IllegalArgumentException");
        d->originatingHost(host ? host : "");
        d->timeStamp(static_cast<CORBA::LongLong>(ACE_OS::time(nullptr)));
        return d;
    }
    // Takes over 'details'.
    [[noreturn]] static void raise(Details* details) {
        throw Orvane::Keldra::TL::Framework::IllegalArgumentException(details);
    }
};

#endif
