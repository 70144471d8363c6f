// Scripted faults and the record of received calls.
#ifndef DSMSERVICE_FAULTS_H
#define DSMSERVICE_FAULTS_H

#include "Values.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace svc {

struct Fault {
    enum Kind { NONE, SERVICE, ILLEGAL_ARGUMENT, SYSTEM, NULL_RESULT, DELAY, AUDIT, REPLY, HOSTILE };
    Kind kind = NONE;
    CORBA::ValueBase_var details;   // SERVICE / ILLEGAL_ARGUMENT
    DsmControl::SystemFault system = DsmControl::SYS_TRANSIENT;
    long millis = 0;                // DELAY
    std::string value;              // AUDIT
    CORBA::Any reply;               // REPLY
    DsmControl::HostileKind hostile = DsmControl::HOSTILE_LONG_SEQUENCE;
    long size = 0;                  // HOSTILE
};

class Faults {
public:
    // Queues 'count' copies of 'fault' for 'op' ("*" for every operation but
    // ping). Unknown operation names are refused by the caller.
    void add(const std::string& op, long count, const Fault& fault);
    void clear();
    void reset();

    // Records the call and takes the next fault for it. Exceptions are raised
    // here; a delay is slept here, outside every lock.
    Fault enter(const char* op, DsmControl::AnySeq&& args);

    long count(const std::string& op);
    DsmControl::StringSeq* log();
    DsmControl::AnySeq* last_arguments(const std::string& op);

private:
    Fault take(const char* op);

    std::mutex mutex_;
    std::map<std::string, std::deque<Fault>> queued_;
    std::map<std::string, long> counts_;
    std::map<std::string, DsmControl::AnySeq> last_;
    std::deque<std::string> log_;
};

// Throws what a fault of kind SERVICE, ILLEGAL_ARGUMENT, SYSTEM or a hostile
// deep root-cause chain stands for.
void raise(const Fault& f);

}  // namespace svc

#endif
