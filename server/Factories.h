// Registration of every value factory with an ORB.
#ifndef DSMSERVICE_FACTORIES_H
#define DSMSERVICE_FACTORIES_H

#include <omniORB4/CORBA.h>

namespace svc {
void register_value_factories(CORBA::ORB_ptr orb);
}

#endif
