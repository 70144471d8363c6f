// Registers the value factories of the framework module with an ORB.
#ifndef DSMLIB_FRAMEWORKREGISTRAR_H
#define DSMLIB_FRAMEWORKREGISTRAR_H

#include <ace/Service_Object.h>
#include <omniORB4/CORBA.h>

class FrameworkRegistrar : public virtual ACE_Service_Object {
public:
    // Registers every factory of the module with 'orb'; returns 0 (a factory
    // that fails is reported and skipped).
    int init(CORBA::ORB_ptr orb);
    // Service-object form: registers with the ORB of the process's
    // OrbService; registers nothing and returns 0 when there is none.
    int init(int argc, ACE_TCHAR* argv[]) override;
};

#endif
