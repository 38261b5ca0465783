// Scratch files of the sparse library.
//
// The library keeps data that does not fit in `work` on scratch files of its
// own, addressed by unit numbers (a registry apart from the program's units,
// so the library's unit 6 or 13 is not the program's). Every file is a
// scratch file: created in the working directory and removed from it at
// once, so that its storage goes with the close, or with the process
// whatever way it ends. Opening a unit that holds a file replaces it.
//
// Kinds (integers 4 bytes, doubles 8 bytes, machine order, no headers):
//   pair file (xislop): records of 1024 larger then 1024 smaller indices;
//   kind 1: records of 1024 integers of a first then of a second array;
//   kind 2 and the factor files (xdslof): records of 1024 doubles;
//   kind 3: records of 1024 first integers, 1024 second, 1024 doubles;
//   sequential (xdslos): one record per write, of any length.
// A direct-access file is addressed by entry positions from 1: position p
// lies in record (p-1)/1024+1 at offset (p-1) mod 1024 + 1. A write of a
// stretch reads a partly written record first (a record beyond the end of
// the file is taken as zeros; one that exists but cannot be read fails the
// write, rather than lose its other entries) and writes full middle
// records blind.
//
// Codes: -1 open, close, rewind or direct-access transfer; -2 sequential
// transfer; -3 end of a sequential file. The routines never write messages.
//
// Tests: a fault hook fails the k-th next open, close, rewind, read or write
// of a unit, and a trace records each record read and written.
#pragma once

#include <map>
#include <vector>

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

inline constexpr i32 kRecordEntries = 1024;

enum class FileKind { Pair, IntPair, Double, Entry, Sequential };

struct ScratchFile {
  int fd = -1;
  FileKind kind = FileKind::Sequential;
};

enum class FileOp { Open, Close, Rewind, Read, Write };

// One record read or written (record number; for sequential files the
// count of records transferred on the unit so far).
struct FileEvent {
  int unit;
  FileOp op;
  i64 record;
  bool operator==(const FileEvent&) const = default;
};

struct FileRegistry {
  std::map<int, ScratchFile> open;
  struct Fault {
    int unit;
    FileOp op;
    int countdown;
  };
  std::vector<Fault> faults;
  bool tracing = false;
  std::vector<FileEvent> events;
  std::map<int, i64> seq_count;
};

// Open, close, rewind.
void xislop(i32 lunit, i32& ier);
void xdslop(i32 lunit, i32 kind, i32& ier);
void xdslof(i32 lunit, i32& ier);
void xdslos(i32 lunit, i32& ier);
void xislcl(i32 lunit, i32& ier);
void xdslcl(i32 lunit, i32 kind, i32& ier);
void xdslcf(i32 lunit, i32& ier);
void xdslrw(i32 lunit, i32& ier);
// Record-length units: kind 2 gives 4 (per integer word), kind 3
// xislev(2), any other kind xislev(1).
i32 xdslru(i32 kind);

// Sequential records of n integers or doubles; n <= 0 transfers nothing.
void xislwr(i32 lunit, i64 n, const iword* v, i32& ier);
void xdslwr(i32 lunit, i64 n, const double* v, i32& ier);
void xislrd(i32 lunit, i64 n, iword* v, i32& ier);
void xdslrd(i32 lunit, i64 n, double* v, i32& ier);

// Stretches of n entries from entry position p (n < 1 does nothing).
void xislw2(i32 lunit, const iword* larger, const iword* smaller, i64 p, i64 n, i32& ier);
void xislw1(i32 lunit, iword* larger, iword* smaller, i64 p, i64 n, i32& ier);
// option 1 integer pair file (doubles unused), 2 double file (integers
// unused), 3 entry file; another option gives -1 without a transfer.
void xdslw2(i32 lunit, i32 option, const iword* first, const iword* second, const double* v, i64 p,
            i64 n, i32& ier);
void xdslw1(i32 lunit, i32 option, iword* first, iword* second, double* v, i64 p, i64 n,
            i32& ier);
// n doubles of a double file from the place (record, offset), offset 1-1024.
void xdslw6(i32 lunit, const double* v, i64 record, i32 offset, i64 n, i32& ier);
void xdslw5(i32 lunit, double* v, i64 record, i32 offset, i64 n, i32& ier);
// Moves a place (record, offset) by d entries and renormalises the offset
// to 1-1024.
void xdslwn(i64& record, i32& offset, i64 d);

// State of the registry.
bool scratch_open(int unit);
int scratch_open_count();
void scratch_close_all();

// Tests: fail the k-th next operation op on unit (k >= 1).
void scratch_fail(int unit, FileOp op, int k);
// Tests: record every record transferred (cleared when switched on).
void scratch_trace(bool on);
const std::vector<FileEvent>& scratch_events();

}  // namespace zephsol::sparse
