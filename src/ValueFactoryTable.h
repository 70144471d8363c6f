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

// A service exception's details nest details of their own kind (the root
// causes), and the ORB unmarshals that nesting by recursion on the calling
// thread: a chain thousands deep from a faulty or hostile peer would exhaust
// the caller's stack. The details factories make values that count the
// nesting per thread and refuse a chain deeper than this with MARSHAL. The
// error code cannot be saved: it travels after the root causes.
constexpr int kMaxDetailsNesting = 64;

// Counts one level for its lifetime; throws MARSHAL beyond the bound.
class NestingGuard {
public:
    NestingGuard();
    ~NestingGuard();
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
};

template <class Value>
class NestingBounded : public Value {
public:
    void _PR_unmarshal_state(cdrStream& s) override {
        NestingGuard level;
        Value::_PR_unmarshal_state(s);
    }
};

template <class Init, class Value>
class NestingBoundedInit : public Init {
public:
    CORBA::ValueBase* create_for_unmarshal() override { return new NestingBounded<Value>; }
};

// 'Init' is the generated factory, 'Value' the generated concrete (OBV_) class.
template <class Init, class Value>
CORBA::ValueFactoryBase* makeNestingBoundedFactory() {
    return new NestingBoundedInit<Init, Value>;
}

// Registers every entry with 'orb' in order. An entry whose factory cannot
// be made or registered is reported through the host logger 'failureLogId'
// as (initName, severity 3, message 100, repository id) and skipped. Returns
// the number of entries that failed.
int registerFactories(CORBA::ORB_ptr orb, const FactoryEntry* entries, int count,
                      const char* initName, int failureLogId);

}  // namespace dsm

#endif
