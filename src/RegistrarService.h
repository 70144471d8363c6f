// The service-object entry shared by both registrars.
#ifndef DSMLIB_REGISTRARSERVICE_H
#define DSMLIB_REGISTRARSERVICE_H

#include "Orb.h"

namespace dsm {

// Calls registrar.init(orb) with the ORB of the process's OrbService; 0 and
// nothing registered when the process has none.
template <class Registrar>
int initFromOrbService(Registrar& registrar) {
    OrbService* service = OrbService::Instance();
    if (!service || !service->orb()) return 0;
    return registrar.init(service->orb()->orb());
}

}  // namespace dsm

#endif
