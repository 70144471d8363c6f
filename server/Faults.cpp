#include "Faults.h"

#include "Hostile.h"

#include <chrono>
#include <thread>

namespace svc {

void Faults::add(const std::string& op, long count, const Fault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (long i = 0; i < count; ++i) queued_[op].push_back(fault);
}

void Faults::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.clear();
}

void Faults::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.clear();
    counts_.clear();
    last_.clear();
    log_.clear();
}

Fault Faults::take(const char* op) {
    for (const std::string& key : {std::string(op), std::string("*")}) {
        if (key == "*" && std::string(op) == "ping") break;
        auto it = queued_.find(key);
        if (it == queued_.end() || it->second.empty()) continue;
        Fault f = it->second.front();
        it->second.pop_front();
        return f;
    }
    return Fault();
}

Fault Faults::enter(const char* op, DsmControl::AnySeq&& args) {
    Fault f;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_[op];
        last_[op] = std::move(args);
        log_.push_back(op);
        if (log_.size() > 1000) log_.pop_front();
        f = take(op);
    }
    if (f.kind == Fault::DELAY) std::this_thread::sleep_for(std::chrono::milliseconds(f.millis));
    raise(f);
    return f;
}

long Faults::count(const std::string& op) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = counts_.find(op);
    return it == counts_.end() ? 0 : it->second;
}

DsmControl::StringSeq* Faults::log() {
    std::lock_guard<std::mutex> lock(mutex_);
    auto* out = new DsmControl::StringSeq;
    out->length(static_cast<CORBA::ULong>(log_.size()));
    CORBA::ULong i = 0;
    for (const std::string& op : log_) (*out)[i++] = op.c_str();
    return out;
}

DsmControl::AnySeq* Faults::last_arguments(const std::string& op) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = last_.find(op);
    return it == last_.end() ? new DsmControl::AnySeq : new DsmControl::AnySeq(it->second);
}

void raise(const Fault& f) {
    switch (f.kind) {
        case Fault::SERVICE: {
            auto* d = FW::ServiceExceptionDetails::_downcast(f.details.in());
            throw FW::ServiceException(deep_copy(d));
        }
        case Fault::ILLEGAL_ARGUMENT: {
            auto* d = FW::IllegalArgumentExceptionDetails::_downcast(f.details.in());
            throw FW::IllegalArgumentException(deep_copy(d));
        }
        case Fault::SYSTEM:
            switch (f.system) {
                case DsmControl::SYS_TRANSIENT: throw CORBA::TRANSIENT(0, CORBA::COMPLETED_NO);
                case DsmControl::SYS_COMM_FAILURE: throw CORBA::COMM_FAILURE(0, CORBA::COMPLETED_MAYBE);
                case DsmControl::SYS_NO_MEMORY: throw CORBA::NO_MEMORY(0, CORBA::COMPLETED_NO);
                case DsmControl::SYS_BAD_PARAM: throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO);
                case DsmControl::SYS_OBJECT_NOT_EXIST: throw CORBA::OBJECT_NOT_EXIST(0, CORBA::COMPLETED_NO);
                default: throw CORBA::UNKNOWN(0, CORBA::COMPLETED_MAYBE);
            }
        case Fault::HOSTILE:
            if (f.hostile == DsmControl::HOSTILE_DEEP_ROOT_CAUSES) raise_deep_root_causes(f.size);
            return;
        default:
            return;
    }
}

}  // namespace svc
