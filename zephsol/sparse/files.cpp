// Scratch files of the sparse library: registry, direct-access stretches
// through whole records, sequential records.
#include "zephsol/sparse/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <vector>

#include "zephsol/sparse/hherr.h"
#include "zephsol/sparse/state.h"

namespace zephsol::sparse {
namespace {

FileRegistry& reg() { return library_state().files; }

// True when the fault hook fails this operation.
bool fault(int unit, FileOp op) {
  auto& faults = reg().faults;
  for (auto it = faults.begin(); it != faults.end(); ++it) {
    if (it->unit != unit || it->op != op) continue;
    if (--it->countdown > 0) return false;
    faults.erase(it);
    return true;
  }
  return false;
}

void trace(int unit, FileOp op, i64 record) {
  if (reg().tracing) reg().events.push_back({unit, op, record});
}

ScratchFile* find(int unit) {
  auto it = reg().open.find(unit);
  return it == reg().open.end() ? nullptr : &it->second;
}

// Moves exactly n bytes between p and the file at offset at; false at the
// end of the file or on an error.
bool transfer(int fd, bool write, void* p, std::size_t n, off_t at) {
  auto* c = static_cast<char*>(p);
  while (n > 0) {
    const ssize_t k = write ? ::pwrite(fd, c, n, at) : ::pread(fd, c, n, at);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return false;
    c += k;
    at += k;
    n -= static_cast<std::size_t>(k);
  }
  return true;
}

bool write_all(int fd, const void* p, std::size_t n, off_t at) {
  return transfer(fd, true, const_cast<void*>(p), n, at);
}
bool read_all(int fd, void* p, std::size_t n, off_t at) { return transfer(fd, false, p, n, at); }

// Closes unit's file (its storage goes with it); -1 when the close fails.
i32 close_unit(i32 lunit) {
  if (fault(lunit, FileOp::Close)) return -1;
  auto it = reg().open.find(lunit);
  if (it == reg().open.end()) return 0;
  const int rc = ::close(it->second.fd);
  reg().open.erase(it);
  reg().seq_count.erase(lunit);
  return rc == 0 ? 0 : -1;
}

// Opens unit as a new scratch file of the kind, replacing an open one.
i32 open_unit(i32 lunit, FileKind kind) {
  if (lunit < 0) return -1;
  if (find(lunit) && close_unit(lunit) != 0) return -1;
  if (fault(lunit, FileOp::Open)) return -1;
  static unsigned serial = 0;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    const std::string name = "zsparse" + std::to_string(::getpid()) + "_" + std::to_string(lunit) +
                             "_" + std::to_string(++serial) + ".tmp";
    fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) ::unlink(name.c_str());
    else if (errno != EEXIST) break;
  }
  if (fd < 0) return -1;
  reg().open[lunit] = {fd, kind};
  reg().seq_count[lunit] = 0;
  return 0;
}

// Layout of one record: up to three arrays of 1024 elements.
struct Layout {
  int narr;
  std::array<std::size_t, 3> elem;  // bytes per element of each array
  std::size_t bytes() const {
    std::size_t b = 0;
    for (int a = 0; a < narr; ++a) b += elem[a] * kRecordEntries;
    return b;
  }
  std::size_t offset(int a) const {
    std::size_t b = 0;
    for (int k = 0; k < a; ++k) b += elem[k] * kRecordEntries;
    return b;
  }
};

constexpr Layout kIntPair{2, {4, 4, 0}};
constexpr Layout kDoubles{1, {8, 0, 0}};
constexpr Layout kEntries{3, {4, 4, 8}};

// Records moved in one system call at most.
constexpr i64 kBatch = 32;

// Writes n entries of the arrays src (one pointer per array of the layout)
// from entry position p.
i32 write_stretch(i32 lunit, const Layout& lay, std::array<const char*, 3> src, i64 p, i64 n) {
  if (n < 1) return 0;
  ScratchFile* f = find(lunit);
  if (!f) return -1;
  const std::size_t rb = lay.bytes();
  std::vector<char> buf(rb * kBatch);
  i64 rec = (p - 1) / kRecordEntries + 1;
  i64 off = (p - 1) % kRecordEntries;
  i64 done = 0;
  while (done < n) {
    // Gather consecutive full records into one batch; a partly written
    // record is read first and goes alone.
    const i64 first = rec;
    i64 nrec = 0;
    while (done < n && nrec < kBatch) {
      const i64 chunk = std::min<i64>(n - done, kRecordEntries - off);
      if (chunk < kRecordEntries && nrec > 0) break;  // full records go out first
      char* r = buf.data() + nrec * rb;
      if (chunk < kRecordEntries) {
        // A record not written yet starts as zeros; one that exists but
        // cannot be read would lose the entries it holds.
        const off_t at = static_cast<off_t>((rec - 1) * static_cast<i64>(rb));
        struct stat st {};
        if (::fstat(f->fd, &st) != 0) return -1;
        if (at >= st.st_size) {
          std::fill(r, r + rb, char{0});
        } else {
          trace(lunit, FileOp::Read, rec);
          if (fault(lunit, FileOp::Read) || !read_all(f->fd, r, rb, at)) return -1;
        }
      }
      for (int a = 0; a < lay.narr; ++a) {
        const std::size_t e = lay.elem[a];
        std::memcpy(r + lay.offset(a) + off * e, src[a] + done * e, chunk * e);
      }
      done += chunk;
      off = 0;
      ++rec;
      ++nrec;
      if (chunk < kRecordEntries) break;
    }
    for (i64 k = 0; k < nrec; ++k) {
      if (fault(lunit, FileOp::Write)) return -1;
      trace(lunit, FileOp::Write, first + k);
    }
    if (!write_all(f->fd, buf.data(), nrec * rb, static_cast<off_t>((first - 1) * static_cast<i64>(rb))))
      return -1;
  }
  return 0;
}

// Reads n entries into the arrays dst from entry position p.
i32 read_stretch(i32 lunit, const Layout& lay, std::array<char*, 3> dst, i64 p, i64 n) {
  if (n < 1) return 0;
  ScratchFile* f = find(lunit);
  if (!f) return -1;
  const std::size_t rb = lay.bytes();
  std::vector<char> buf(rb * kBatch);
  i64 rec = (p - 1) / kRecordEntries + 1;
  i64 off = (p - 1) % kRecordEntries;
  const i64 last = (p - 1 + n - 1) / kRecordEntries + 1;
  i64 done = 0;
  while (rec <= last) {
    const i64 nrec = std::min<i64>(kBatch, last - rec + 1);
    for (i64 k = 0; k < nrec; ++k) {
      if (fault(lunit, FileOp::Read)) return -1;
      trace(lunit, FileOp::Read, rec + k);
    }
    if (!read_all(f->fd, buf.data(), nrec * rb, static_cast<off_t>((rec - 1) * static_cast<i64>(rb))))
      return -1;
    for (i64 k = 0; k < nrec; ++k) {
      const i64 chunk = std::min<i64>(n - done, kRecordEntries - off);
      const char* r = buf.data() + k * rb;
      for (int a = 0; a < lay.narr; ++a) {
        const std::size_t e = lay.elem[a];
        std::memcpy(dst[a] + done * e, r + lay.offset(a) + off * e, chunk * e);
      }
      done += chunk;
      off = 0;
    }
    rec += nrec;
  }
  return 0;
}

const Layout* option_layout(i32 option) {
  switch (option) {
    case 1: return &kIntPair;
    case 2: return &kDoubles;
    case 3: return &kEntries;
    default: return nullptr;
  }
}

// Sequential records: an 8-byte length, then the bytes. A write ends the
// file after the record written.
i32 seq_write(i32 lunit, const void* p, i64 bytes) {
  ScratchFile* f = find(lunit);
  if (!f || fault(lunit, FileOp::Write)) return -2;
  const off_t at = ::lseek(f->fd, 0, SEEK_CUR);
  if (at < 0) return -2;
  const std::int64_t len = bytes;
  if (!write_all(f->fd, &len, sizeof len, at) || !write_all(f->fd, p, bytes, at + 8)) return -2;
  const off_t end = at + 8 + static_cast<off_t>(bytes);
  if (::lseek(f->fd, end, SEEK_SET) < 0 || ::ftruncate(f->fd, end) != 0) return -2;
  trace(lunit, FileOp::Write, ++reg().seq_count[lunit]);
  return 0;
}

// Reads the next record into bytes; a record shorter than asked is -2.
i32 seq_read(i32 lunit, void* p, i64 bytes) {
  ScratchFile* f = find(lunit);
  if (!f || fault(lunit, FileOp::Read)) return -2;
  const off_t at = ::lseek(f->fd, 0, SEEK_CUR);
  if (at < 0) return -2;
  std::int64_t len = 0;
  const ssize_t k = ::pread(f->fd, &len, sizeof len, at);
  if (k == 0) return -3;
  if (k != sizeof len || len < 0) return -2;
  if (bytes > len || !read_all(f->fd, p, static_cast<std::size_t>(bytes), at + 8)) return -2;
  if (::lseek(f->fd, at + 8 + static_cast<off_t>(len), SEEK_SET) < 0) return -2;
  trace(lunit, FileOp::Read, ++reg().seq_count[lunit]);
  return 0;
}

}  // namespace

void xislop(i32 lunit, i32& ier) { ier = open_unit(lunit, FileKind::Pair); }

void xdslop(i32 lunit, i32 kind, i32& ier) {
  static constexpr FileKind kinds[] = {FileKind::IntPair, FileKind::Double, FileKind::Entry};
  ier = (kind < 1 || kind > 3) ? -1 : open_unit(lunit, kinds[kind - 1]);
}

void xdslof(i32 lunit, i32& ier) { ier = open_unit(lunit, FileKind::Double); }
void xdslos(i32 lunit, i32& ier) { ier = open_unit(lunit, FileKind::Sequential); }
void xislcl(i32 lunit, i32& ier) { ier = close_unit(lunit); }
void xdslcl(i32 lunit, i32 /*kind*/, i32& ier) { ier = close_unit(lunit); }
void xdslcf(i32 lunit, i32& ier) { ier = close_unit(lunit); }

void xdslrw(i32 lunit, i32& ier) {
  ier = 0;
  ScratchFile* f = find(lunit);
  if (!f || fault(lunit, FileOp::Rewind) || ::lseek(f->fd, 0, SEEK_SET) != 0) ier = -1;
  else reg().seq_count[lunit] = 0;
}

i32 xdslru(i32 kind) { return kind == 2 ? 4 : xislev(kind == 3 ? 2 : 1); }

void xislwr(i32 lunit, i64 n, const iword* v, i32& ier) {
  ier = n > 0 ? seq_write(lunit, v, n * 4) : 0;
}
void xdslwr(i32 lunit, i64 n, const double* v, i32& ier) {
  ier = n > 0 ? seq_write(lunit, v, n * 8) : 0;
}
void xislrd(i32 lunit, i64 n, iword* v, i32& ier) { ier = n > 0 ? seq_read(lunit, v, n * 4) : 0; }
void xdslrd(i32 lunit, i64 n, double* v, i32& ier) { ier = n > 0 ? seq_read(lunit, v, n * 8) : 0; }

void xislw2(i32 lunit, const iword* larger, const iword* smaller, i64 p, i64 n, i32& ier) {
  ier = write_stretch(lunit, kIntPair,
                      {reinterpret_cast<const char*>(larger), reinterpret_cast<const char*>(smaller), nullptr},
                      p, n);
}

void xislw1(i32 lunit, iword* larger, iword* smaller, i64 p, i64 n, i32& ier) {
  ier = read_stretch(lunit, kIntPair,
                     {reinterpret_cast<char*>(larger), reinterpret_cast<char*>(smaller), nullptr}, p, n);
}

void xdslw2(i32 lunit, i32 option, const iword* first, const iword* second, const double* v, i64 p,
            i64 n, i32& ier) {
  const Layout* lay = option_layout(option);
  if (!lay) {
    ier = -1;
    return;
  }
  std::array<const char*, 3> src{};
  if (option == 2) src[0] = reinterpret_cast<const char*>(v);
  else {
    src[0] = reinterpret_cast<const char*>(first);
    src[1] = reinterpret_cast<const char*>(second);
    src[2] = reinterpret_cast<const char*>(v);
  }
  ier = write_stretch(lunit, *lay, src, p, n);
}

void xdslw1(i32 lunit, i32 option, iword* first, iword* second, double* v, i64 p, i64 n,
            i32& ier) {
  const Layout* lay = option_layout(option);
  if (!lay) {
    ier = -1;
    return;
  }
  std::array<char*, 3> dst{};
  if (option == 2) dst[0] = reinterpret_cast<char*>(v);
  else {
    dst[0] = reinterpret_cast<char*>(first);
    dst[1] = reinterpret_cast<char*>(second);
    dst[2] = reinterpret_cast<char*>(v);
  }
  ier = read_stretch(lunit, *lay, dst, p, n);
}

void xdslw6(i32 lunit, const double* v, i64 record, i32 offset, i64 n, i32& ier) {
  ier = write_stretch(lunit, kDoubles, {reinterpret_cast<const char*>(v), nullptr, nullptr},
                      (record - 1) * kRecordEntries + offset, n);
}

void xdslw5(i32 lunit, double* v, i64 record, i32 offset, i64 n, i32& ier) {
  ier = read_stretch(lunit, kDoubles, {reinterpret_cast<char*>(v), nullptr, nullptr},
                     (record - 1) * kRecordEntries + offset, n);
}

void xdslwn(i64& record, i32& offset, i64 d) {
  i64 o = offset + d;
  if (d >= 0) {
    record += (o - 1) / kRecordEntries;
    o = (o - 1) % kRecordEntries + 1;
  } else if (o <= 0) {
    const i64 back = (kRecordEntries - o) / kRecordEntries;
    record -= back;
    o += back * kRecordEntries;
  }
  offset = static_cast<i32>(o);
}

bool scratch_open(int unit) { return find(unit) != nullptr; }
int scratch_open_count() { return static_cast<int>(reg().open.size()); }

void scratch_close_all() {
  for (auto& [unit, f] : reg().open) ::close(f.fd);
  reg().open.clear();
  reg().seq_count.clear();
}

void scratch_fail(int unit, FileOp op, int k) { reg().faults.push_back({unit, op, std::max(k, 1)}); }

void scratch_trace(bool on) {
  reg().tracing = on;
  if (on) reg().events.clear();
}

const std::vector<FileEvent>& scratch_events() { return reg().events; }

}  // namespace zephsol::sparse
