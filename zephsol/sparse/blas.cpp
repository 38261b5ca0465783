// Checked wrappers of the matrix products of the BLAS.
#include "zephsol/sparse/blas.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "zephsol/sparse/hherr.h"

namespace zephsol::sparse {
namespace {

bool is_trans(char c) {
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return c == 'N' || c == 'T' || c == 'C';
}
bool no_trans(char c) { return std::toupper(static_cast<unsigned char>(c)) == 'N'; }

}  // namespace

void blas_single_thread() { blas_threads(1); }

void blas_threads(i32 n) {
  if (openblas_get_num_threads() != n) openblas_set_num_threads(n);
}

namespace {

// Processors this process may run on.
long own_processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  return sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
}

// Processors the one-minute load leaves free, this process (one of the
// running ones the load counts) not counted as busy.
long free_processors(long cpus) {
  double load = 0.0;
  std::ifstream("/proc/loadavg") >> load;
  return cpus - (std::lround(load) - 1);
}

}  // namespace

i32 factor_threads() {
  const long cpus = own_processors(), free = free_processors(cpus);
  if (free <= 1) return 1;  // a busy machine: more threads would only wait
  if (const char* s = std::getenv("OMP_NUM_THREADS"); s != nullptr && *s != '\0') {
    const long n = std::strtol(s, nullptr, 10);  // the first of a list
    if (n >= 1) return static_cast<i32>(std::min(n, 256L));
  }
  return static_cast<i32>(std::clamp<long>(free, 1, cpus));
}

namespace {

class Team;
// The team of the calling thread: the one its factorisation built, none
// while it runs a task of a team (a run asked for there takes its tasks in
// order on that thread, unless the task builds a team of its own).
thread_local Team* current = nullptr;

// The team's threads, waiting for a batch of tasks between runs.
class Team {
 public:
  explicit Team(i32 n) {
    for (i32 k = 1; k < n; ++k) threads_.emplace_back([this] { serve(); });
  }
  ~Team() {
    {
      const std::lock_guard<std::mutex> hold(m_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  i32 size() const { return static_cast<i32>(threads_.size()) + 1; }
  void run(i32 count, const std::function<void(i32)>& task) {
    {
      const std::lock_guard<std::mutex> hold(m_);
      task_ = &task;
      count_ = count;
      next_ = 0;
      busy_ = static_cast<i32>(threads_.size());
      ++batch_;
    }
    wake_.notify_all();
    work();
    std::unique_lock<std::mutex> hold(m_);
    done_.wait(hold, [this] { return busy_ == 0; });
    task_ = nullptr;
  }

 private:
  // Takes tasks of the current batch until none is left.
  void work() {
    Team* const was = current;
    current = nullptr;
    for (i32 k = next_++; k < count_; k = next_++) (*task_)(k);
    current = was;
  }
  void serve() {
    std::uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock<std::mutex> hold(m_);
        wake_.wait(hold, [&] { return stop_ || batch_ != seen; });
        if (stop_) return;
        seen = batch_;
      }
      work();
      const std::lock_guard<std::mutex> hold(m_);
      if (--busy_ == 0) done_.notify_one();
    }
  }
  std::vector<std::thread> threads_;
  std::mutex m_;
  std::condition_variable wake_, done_;
  const std::function<void(i32)>* task_ = nullptr;
  i32 count_ = 0;
  std::atomic<i32> next_{0};
  i32 busy_ = 0;
  std::uint64_t batch_ = 0;
  bool stop_ = false;
};

}  // namespace

struct ProductTeam::Threads {
  explicit Threads(i32 n) : team(n) {}
  Team team;
};

ProductTeam::ProductTeam(i32 n) {
  blas_threads(1);
  if (n > 1 && current == nullptr) {
    own_ = std::make_unique<Threads>(n);
    current = &own_->team;
  }
}
ProductTeam::~ProductTeam() {
  if (own_) current = nullptr;
}
i32 ProductTeam::size() { return current != nullptr ? current->size() : 1; }
void ProductTeam::run(i32 count, const std::function<void(i32)>& task) {
  if (current != nullptr && count > 1) {
    current->run(count, task);
    return;
  }
  for (i32 k = 0; k < count; ++k) task(k);
}

void dgemm(char ta, char tb, i32 m, i32 n, i32 k, double alpha, const double* a, i32 lda, const double* b,
           i32 ldb, double beta, double* c, i32 ldc) {
  const i32 nrowa = no_trans(ta) ? m : k;
  const i32 nrowb = no_trans(tb) ? k : n;
  i32 info = 0;
  if (!is_trans(ta)) info = 1;
  else if (!is_trans(tb)) info = 2;
  else if (m < 0) info = 3;
  else if (n < 0) info = 4;
  else if (k < 0) info = 5;
  else if (lda < std::max(1, nrowa)) info = 8;
  else if (ldb < std::max(1, nrowb)) info = 10;
  else if (ldc < std::max(1, m)) info = 13;
  if (info != 0) blas_argument_error("DGEMM ", info);
  dgemm_(&ta, &tb, &m, &n, &k, &alpha, a, &lda, b, &ldb, &beta, c, &ldc, 1, 1);
}

void dgemv(char t, i32 m, i32 n, double alpha, const double* a, i32 lda, const double* x, i32 incx,
           double beta, double* y, i32 incy) {
  i32 info = 0;
  if (!is_trans(t)) info = 1;
  else if (m < 0) info = 2;
  else if (n < 0) info = 3;
  else if (lda < std::max(1, m)) info = 6;
  else if (incx == 0) info = 8;
  else if (incy == 0) info = 11;
  if (info != 0) blas_argument_error("DGEMV ", info);
  dgemv_(&t, &m, &n, &alpha, a, &lda, x, &incx, &beta, y, &incy, 1);
}

}  // namespace zephsol::sparse
