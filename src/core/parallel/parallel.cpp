#include "parallel/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vorlino {
namespace {

// Chunks per thread: more than one, so that a thread slowed down by the rest of the machine
// leaves its share to the others instead of holding up the call.
constexpr int kChunksPerWorker = 4;
// No chunk is smaller than this much work, unless an index alone is worth more.
constexpr std::int64_t kMinChunkWork = kMinParallelWork / 4;

// True on a thread while it runs a body: a parallel call from there runs inline.
thread_local bool tInsideBody = false;

class BodyScope {
 public:
  BodyScope() : previous_(tInsideBody) { tInsideBody = true; }
  ~BodyScope() { tInsideBody = previous_; }
  BodyScope(const BodyScope&) = delete;
  BodyScope& operator=(const BodyScope&) = delete;

 private:
  bool previous_;
};

int defaultWorkerCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(std::min(n, 256u));
}

// One parallel call: the chunks, the next one to claim and the first failure.
struct Job {
  RowBody body;
  int count;
  int chunks;
  std::atomic<int> next{0};
  std::exception_ptr error;  // guarded by the pool's mutex
  int active = 0;            // pool threads working on this job, guarded by the pool's mutex

  Job(RowBody b, int n, int c) : body(b), count(n), chunks(c) {}

  // Chunk k covers [k * count / chunks, (k + 1) * count / chunks): contiguous, none empty.
  int boundary(int k) const {
    return static_cast<int>(static_cast<std::int64_t>(k) * count / chunks);
  }
};

class Pool {
 public:
  explicit Pool(int threads) {
    threads_.reserve(static_cast<std::size_t>(threads));
    try {
      for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { workerLoop(); });
    } catch (...) {
      stop();
      throw;
    }
  }
  ~Pool() { stop(); }
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  // Runs job on the pool's threads and the caller's; returns once no thread is left inside it.
  void run(Job& job) {
    {
      std::lock_guard lock(mutex_);
      job_ = &job;
      ++generation_;
    }
    wake_.notify_all();
    work(job, mutex_);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return job.active == 0; });
    job_ = nullptr;
  }

 private:
  void workerLoop() {
    std::uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || (job_ && generation_ != seen); });
      if (stopping_) return;
      seen = generation_;
      Job& job = *job_;
      ++job.active;
      lock.unlock();
      work(job, mutex_);
      lock.lock();
      if (--job.active == 0) done_.notify_all();
    }
  }

  // Claims and runs chunks until none is left; a failure skips the chunks not yet claimed.
  static void work(Job& job, std::mutex& mutex) {
    const BodyScope scope;
    for (;;) {
      const int k = job.next.fetch_add(1, std::memory_order_relaxed);
      if (k >= job.chunks) return;
      try {
        job.body(job.boundary(k), job.boundary(k + 1));
      } catch (...) {
        job.next.store(job.chunks, std::memory_order_relaxed);
        std::lock_guard lock(mutex);
        if (!job.error) job.error = std::current_exception();
      }
    }
  }

  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  Job* job_ = nullptr;
  std::uint64_t generation_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// The program-wide state: the worker count, and the pool built for it on first use. A call holds
// callMutex while it uses the pool, so that setWorkerCount cannot replace it underneath.
struct Workers {
  std::mutex callMutex;
  std::atomic<int> count{defaultWorkerCount()};
  std::unique_ptr<Pool> pool;  // guarded by callMutex
};

Workers& workers() {
  static Workers instance;
  return instance;
}

}  // namespace

void setWorkerCount(int count) {
  Workers& w = workers();
  const int n = count <= 0 ? defaultWorkerCount() : std::min(count, 256);
  std::lock_guard lock(w.callMutex);
  if (n == w.count.load()) return;
  w.pool.reset();  // joins the threads; the next call builds a pool of the new size
  w.count.store(n);
}

int workerCount() {
  return workers().count.load(std::memory_order_relaxed);
}

void parallelRows(int count, std::int64_t workPerIndex, RowBody body) {
  if (count <= 0) return;
  Workers& w = workers();
  const int threads = w.count.load(std::memory_order_relaxed);
  const std::int64_t perIndex = std::max<std::int64_t>(workPerIndex, 1);
  const std::int64_t total = perIndex * count;
  if (threads <= 1 || count == 1 || total < kMinParallelWork || tInsideBody) {
    body(0, count);
    return;
  }
  const std::int64_t byWork = std::max<std::int64_t>(total / kMinChunkWork, 1);
  const int chunks = static_cast<int>(
      std::min<std::int64_t>({count, std::int64_t{threads} * kChunksPerWorker, byWork}));
  if (chunks <= 1) {
    body(0, count);
    return;
  }
  // Another thread's call holds the pool: this one runs inline rather than wait for it.
  std::unique_lock lock(w.callMutex, std::try_to_lock);
  if (!lock.owns_lock()) {
    const BodyScope scope;
    body(0, count);
    return;
  }
  if (!w.pool) {
    try {
      w.pool = std::make_unique<Pool>(threads - 1);
    } catch (...) {  // no thread to be had: the work is done all the same, inline
      lock.unlock();
      const BodyScope scope;
      body(0, count);
      return;
    }
  }
  Job job(body, count, chunks);
  w.pool->run(job);
  if (job.error) std::rethrow_exception(job.error);
}

}  // namespace vorlino
