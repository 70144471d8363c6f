// The shared body of the two value-factory registrars.
#ifndef DSMLIB_VALUEFACTORYTABLE_H
#define DSMLIB_VALUEFACTORYTABLE_H

#include <omniORB4/CORBA.h>

class KDLogger;

namespace dsm {

// One value type: its repository id and a maker of its generated factory.
struct FactoryEntry {
    const char* repoId;
    CORBA::ValueFactoryBase* (*make)();
};

template <class Init>
CORBA::ValueFactoryBase* makeFactory() {
    return new Init;
}

// Registers every entry with 'orb' in order. An entry whose factory cannot
// be made or registered is reported through the host logger 'failureLogId'
// as (initName, severity 3, message 100, repository id) and skipped. Returns
// the number of entries that failed.
int registerFactories(CORBA::ORB_ptr orb, const FactoryEntry* entries, int count,
                      const char* initName, int failureLogId);

}  // namespace dsm

#endif
