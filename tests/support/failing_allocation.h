// Lets a test make an allocation fail, to see what an operation leaves behind
// when memory runs out part way:
//
//   for (long k = 0;; ++k) {
//     FailingAllocation fail(k);        // the k-th operator new from now throws
//     try { list.CopyFrom(source); } catch (const std::bad_alloc&) {}
//     ... the list is whole, nothing leaked ...
//     if (!fail.Fired()) break;         // the operation needed fewer than k
//   }
//
// Only operator new of the calling thread counts; every other allocation
// goes through as usual (so sanitizers still see matching pairs).
#pragma once

class FailingAllocation {
 public:
  explicit FailingAllocation(long countdown);
  ~FailingAllocation();
  FailingAllocation(const FailingAllocation&) = delete;
  FailingAllocation& operator=(const FailingAllocation&) = delete;

  // Whether an allocation was made to fail.
  bool Fired() const;
};
