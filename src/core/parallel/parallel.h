// Splitting row loops over the processor's cores.
//
// One program-wide pool of persistent worker threads runs the bodies; the calling thread takes
// part, so N workers means the caller plus N - 1 pool threads. A range is cut into contiguous
// chunks that the threads claim in turn, so every index is visited exactly once whatever the
// timing. The operations that use it write disjoint rows per index, which is why their results do
// not depend on the worker count or on which thread ran which chunk.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace vorlino {

// Sets how many threads a parallel call may use, the caller included: 1 runs every body inline on
// the caller's thread and starts no thread; 0 or a negative count restores the default, the
// number of hardware threads. More workers than cores is valid. Waits for a call in progress, so
// it must not be called from inside a body.
void setWorkerCount(int count);

// The number of threads a parallel call may use (at least 1).
int workerCount();

// Below this many units of work (pixels, say) in total a call runs inline: waking the workers
// would cost more than it saves.
inline constexpr std::int64_t kMinParallelWork = std::int64_t{1} << 16;

// A non-owning reference to a callable body(begin, end), so that no call allocates.
class RowBody {
 public:
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, RowBody>>>
  RowBody(F&& f)  // NOLINT: implicit on purpose, as a lambda is passed straight in
      : object_(const_cast<void*>(static_cast<const void*>(&f))),
        call_([](void* object, int begin, int end) {
          (*static_cast<std::remove_reference_t<F>*>(object))(begin, end);
        }) {}
  void operator()(int begin, int end) const { call_(object_, begin, end); }

 private:
  void* object_;
  void (*call_)(void*, int, int);
};

// Calls body(begin, end) over contiguous chunks that together cover [0, count) exactly once, on
// as many threads as workerCount() allows, and returns when all are done. workPerIndex is the
// cost of one index (pixels of a row, say): a total below kMinParallelWork, a count of 1, one
// worker, a call made from inside a body (nesting) or while another thread's call holds the pool
// all run body(0, count) inline. The first exception thrown by a body is rethrown here once every
// chunk already started has finished; the chunks not yet started are skipped.
void parallelRows(int count, std::int64_t workPerIndex, RowBody body);

// The same for work that is worth splitting at any size: one index per chunk at the finest.
inline void parallelRows(int count, RowBody body) {
  parallelRows(count, kMinParallelWork, body);
}

// Runs first() and second() at the same time when a second thread is free, else one after the
// other on the caller's thread; exceptions as for parallelRows.
template <class First, class Second>
void parallelInvoke(First&& first, Second&& second) {
  parallelRows(2, [&](int begin, int end) {
    for (int i = begin; i < end; ++i) {
      if (i == 0)
        first();
      else
        second();
    }
  });
}

}  // namespace vorlino
