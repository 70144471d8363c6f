// C++ wrappers of the host's localised logging library: argument lists and
// application messages, each owning what it wraps.
#ifndef DSMLIB_BRENLOW_H
#define DSMLIB_BRENLOW_H

#include "brnwlog.h"

class KDLogger;

namespace Brenlow {
namespace L10N {

// A failure status of the argument library. Deliberately not a standard
// exception: the call frame reports it as "any other exception".
class LisX {
public:
    explicit LisX(int status) : status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

// Base of everything that carries an argument list.
class LisMgr {
public:
    virtual ~LisMgr() = default;
};

// Owns an argument list; each add wraps one value in a cell of its own.
class Lis : public LisMgr {
public:
    explicit Lis(int msgid = 0) : msgid_(msgid) {}
    ~Lis() override;
    Lis(const Lis&) = delete;
    Lis& operator=(const Lis&) = delete;

    Lis& add(const char* text);
    Lis& add(int value);
    Lis& add(long long value);

    int msgid() const { return msgid_; }
    const brnwLis_t* list() const { return list_; }
    // Hands the list over (to a message that frees it).
    brnwLis_t* release();

private:
    template <class Wrap, class Value>
    Lis& wrap(Wrap fn, Value value);

    int msgid_;
    brnwLis_t* list_ = nullptr;
};

}  // namespace L10N

namespace Logging {

template <class T>
class ClassWrap {
public:
    ClassWrap() = default;
    ClassWrap(const ClassWrap&) = delete;
    ClassWrap& operator=(const ClassWrap&) = delete;
    T* get() const { return ptr_; }
    T** out() { return &ptr_; }

protected:
    T* ptr_ = nullptr;
};

// Owns a message and frees it with brnwLogFreeMsg.
class Msg : public ClassWrap<brnwLogMsg_t> {
public:
    ~Msg();
};

class NonDebugMsg : public Msg, public L10N::LisMgr {};

// An application message on a host logger's handle.
class AppMsg : public NonDebugMsg {
public:
    // Sends message 'msgid' with 'args' to 'logger' with 'flags'; returns the
    // send status (1 when the logger is disabled).
    static int send(KDLogger& logger, int flags, int msgid, L10N::Lis& args);
};

}  // namespace Logging
}  // namespace Brenlow

#endif
