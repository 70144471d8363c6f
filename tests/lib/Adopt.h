// Value-type member setters take a reference of their own; adopt() hands a
// new value to one and drops the creator's reference at the end of the
// statement, so the member ends up the only owner.
#ifndef DSM_TESTS_ADOPT_H
#define DSM_TESTS_ADOPT_H

#include <omniORB4/CORBA.h>

namespace dsmtest {

template <class T>
struct Adopted {
    explicit Adopted(T* p) : v(p) {}
    Adopted(const Adopted&) = delete;
    ~Adopted() { CORBA::remove_ref(v); }
    operator T*() const { return v; }
    T* v;
};

template <class T>
Adopted<T> adopt(T* v) { return Adopted<T>(v); }

}  // namespace dsmtest

#endif
