// Work shared among threads where the pieces are independent: a fixed
// partition of a range into pieces, run on as many threads as given, and
// the backing of a large area with memory before it is filled.
//
// A piece's bounds follow from the range and the number of pieces alone,
// never from the number of threads, so that work summed piece by piece in
// piece order gives the same result on any number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace zephsol {

// Bounds [first, last) of piece k (0-based) of `pieces` nearly equal pieces
// of [0, n): the first n % pieces pieces one longer.
struct Piece {
  std::int64_t first = 0, last = 0;
};
Piece piece_of(std::int64_t n, int pieces, int k);

// Runs task(k) for k = 0 .. tasks - 1 on up to `threads` threads (the
// calling thread one of them), each task once, and returns when all have
// ended. Tasks are taken in increasing order; one thread runs them in
// order on the calling thread.
void run_tasks(int threads, int tasks, const std::function<void(int)>& task);

// Backs `bytes` bytes from p with writable memory now, `threads` threads
// sharing the faults, the contents kept; a system without the call leaves
// the faults to the first writes.
void prefault(void* p, std::size_t bytes, int threads);

// Storage of `bytes` bytes (rounded up to whole 2 MB pages) aligned to and
// asking for large pages where the system has them, so that an area
// touched once does not fault page by small page; free it with std::free.
// Null when the memory cannot be had.
void* large_page_alloc(std::size_t bytes);

}  // namespace zephsol
