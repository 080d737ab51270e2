#pragma once

#include <cstddef>

// The largest single allocation a piece of code makes. The program that links this replaces the
// global operator new with one that takes note while a watch is running (one at a time).
//
//   TAllocationWatch watch;
//   LoadSomething();
//   EXPECT_LT(watch.Largest(), 64 << 10);
class TAllocationWatch {
  public:
    TAllocationWatch();
    ~TAllocationWatch();
    TAllocationWatch(const TAllocationWatch&) = delete;
    TAllocationWatch& operator=(const TAllocationWatch&) = delete;

    size_t Largest() const;
};
