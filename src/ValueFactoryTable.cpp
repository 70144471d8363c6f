#include "ValueFactoryTable.h"

#include "KDLogger.h"

namespace dsm {

namespace {

void registerOne(CORBA::ORB_ptr orb, const FactoryEntry& entry) {
    CORBA::ValueFactoryBase* factory = entry.make();
    CORBA::ValueFactory previous = nullptr;
    try {
        previous = orb->register_value_factory(entry.repoId, factory);
    } catch (...) {
        factory->_remove_ref();
        throw;
    }
    if (previous) previous->_remove_ref();
    // The ORB holds its own reference now.
    factory->_remove_ref();
}

}  // namespace

namespace {
thread_local int t_nesting = 0;
}

NestingGuard::NestingGuard() {
    if (t_nesting >= kMaxDetailsNesting) throw CORBA::MARSHAL(0, CORBA::COMPLETED_YES);
    ++t_nesting;
}

NestingGuard::~NestingGuard() { --t_nesting; }

int registerFactories(CORBA::ORB_ptr orb, const FactoryEntry* entries, int count,
                      const char* initName, int failureLogId) {
    KDLogger* failureLog = nullptr;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        try {
            registerOne(orb, entries[i]);
        } catch (...) {
            ++failures;
            if (!failureLog) failureLog = KDLogFactory::Instance()->getLogger(failureLogId, false);
            failureLog->logApp(initName, 3, 100, entries[i].repoId);
        }
    }
    return failures;
}

}  // namespace dsm
