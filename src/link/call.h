// How calls on one controller stay apart (internal to the library).
#pragma once

#include "quarn7/clsvyx7.h"

namespace quarn7 {

// Held by every member for the length of the call. Calls from other threads wait for the running
// one; a member calling another member on the same thread goes on; a call that arrives on the
// calling thread while the controller waits inside host code (the event pump, a message box) is
// refused with CallRefused, so it can never take the running transaction's reply.
class clsvyx7::Call {
public:
    explicit Call(clsvyx7& controller);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

private:
    clsvyx7& c_;
};

// Marks a stretch in which host code runs on the calling thread.
class clsvyx7::ForeignCode {
public:
    explicit ForeignCode(clsvyx7& controller) : c_(controller) { ++c_.foreign_depth_; }
    ~ForeignCode() { --c_.foreign_depth_; }
    ForeignCode(const ForeignCode&) = delete;
    ForeignCode& operator=(const ForeignCode&) = delete;

private:
    clsvyx7& c_;
};

}  // namespace quarn7
