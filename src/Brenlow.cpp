#include "Brenlow.h"

#include "KDLogger.h"

#include <cstdlib>
#include <new>

namespace Brenlow {
namespace L10N {

namespace {

bool failed(int status) { return status < -6 || status == -3 || status > 1; }

}  // namespace

Lis::~Lis() { brnwLisFree(list_); }

brnwLis_t* Lis::release() {
    brnwLis_t* list = list_;
    list_ = nullptr;
    return list;
}

template <class Wrap, class Value>
Lis& Lis::wrap(Wrap fn, Value value) {
    // Cleared: wrapping a value first releases what the cell held before.
    auto* any = static_cast<brnwLisAny_t*>(std::calloc(1, sizeof(brnwLisAny_t)));
    if (!any) throw LisX(-3);
    int status = fn(any, value);
    if (failed(status)) {
        std::free(any);
        throw LisX(status);
    }
    status = brnwLisAddArg(&list_, any);
    if (failed(status)) throw LisX(status);
    return *this;
}

Lis& Lis::add(const char* text) { return wrap(brnwLisAny_string, text); }
Lis& Lis::add(int value) { return wrap(brnwLisAny_int, value); }
Lis& Lis::add(long long value) { return wrap(brnwLisAny_longlong, value); }

}  // namespace L10N

namespace Logging {

Msg::~Msg() {
    if (ptr_) brnwLogFreeMsg(ptr_);
}

int AppMsg::send(KDLogger& logger, int flags, int msgid, L10N::Lis& args) {
    if (logger.isDisabled()) return 1;
    AppMsg msg;
    int status = brnwLogInitMsg(msg.out(), logger.handle(), 2, 0);
    if (status != 0) return status;
    brnwLogSetAppAttr(msg.get(), msgid, args.release());
    status = brnwLogMsg(logger.handle(), flags, msg.get());
    if (status == 0 && (flags & 32) && logger.listener()) logger.listener()(msg.get());
    return status;
}

}  // namespace Logging
}  // namespace Brenlow
