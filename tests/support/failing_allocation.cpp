#include "tests/support/failing_allocation.h"

#include <dlfcn.h>

#include <cstddef>
#include <new>

namespace {

thread_local long tCountdown = -1;  // -1: never fail
thread_local bool tFired = false;

using NewFn = void* (*)(std::size_t);

// The operator new this one stands in front of (the sanitizer's or the
// standard library's), so that the matching operator delete frees it.
void* NextNew(const char* symbol, std::size_t n) {
  // dlsym allocates with malloc, never with operator new.
  static const NewFn plain = reinterpret_cast<NewFn>(dlsym(RTLD_NEXT, "_Znwm"));
  static const NewFn array = reinterpret_cast<NewFn>(dlsym(RTLD_NEXT, "_Znam"));
  return (symbol[3] == 'a' ? array : plain)(n);
}

void MaybeFail() {
  if (tCountdown < 0) return;
  if (tCountdown-- == 0) {
    tFired = true;
    throw std::bad_alloc();
  }
}

}  // namespace

FailingAllocation::FailingAllocation(long countdown) {
  tCountdown = countdown;
  tFired = false;
}

FailingAllocation::~FailingAllocation() { tCountdown = -1; }

bool FailingAllocation::Fired() const { return tFired; }

void* operator new(std::size_t n) {
  MaybeFail();
  return NextNew("_Znwm", n);
}

void* operator new[](std::size_t n) {
  MaybeFail();
  return NextNew("_Znam", n);
}
