#include "zephsol/exec/units.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "zephsol/exec/console.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/words.h"

namespace zephsol {

namespace {

struct Unit {
  int fd = -1;
  bool own_fd = true;  // false for the preconnected standard streams
  std::string name;
  UnitForm form = UnitForm::Formatted;
  UnitAccess access = UnitAccess::Sequential;
  UnitStatus status = UnitStatus::Unknown;
  std::size_t reclen = 0;
  off_t pos = 0;               // logical position of a sequential unit
  bool trunc_pending = true;   // the next write ends the file there
  std::string wbuf;            // pending text output (starts at wpos)
  off_t wpos = 0;
  std::string rbuf;            // text read ahead (starts at rpos)
  off_t rpos = 0;
  std::size_t rcur = 0;        // next unread character of rbuf
  bool eof_seen = false;
  // Direct access: records read ahead, whole, from record ahead_first on.
  std::vector<std::byte> ahead;
  std::int64_t ahead_first = 0;
  std::int64_t ahead_count = 0;
  std::int64_t window = 1;     // records the next read takes
};

// Most records one read of a direct-access unit takes ahead.
constexpr std::int64_t kMaxReadAhead = 64;

constexpr std::size_t kTextFlush = 1 << 16;

std::array<std::unique_ptr<Unit>, kMaxUnit + 1>& table() {
  static std::array<std::unique_ptr<Unit>, kMaxUnit + 1> t;
  return t;
}

bool g_in_failure = false;

// An I/O failure ends the run through the message queue. A failure met while
// that path is itself printing is dropped, so that it cannot recurse.
void io_fatal(word code, word p1, word p2) {
  if (g_in_failure) return;
  g_in_failure = true;
  MSGPUT(code, p1, p2);
  g_in_failure = false;
}

// A file that cannot be opened is named on the console, and on the listing
// and the error log when they are open files, before the fatal message.
void open_fatal(int unit, const std::string& name) {
  if (g_in_failure) return;
  const std::string line = "0*** CANNOT OPEN FILE \"" + name + "\" ON UNIT " + std::to_string(unit) +
                           ": " + std::strerror(errno);
  const std::string console = line + "\n";
  (void)!::write(1, console.data(), console.size());
  g_in_failure = true;
  for (int u : {kListing, kErrorLog})
    if (u != unit && unit_is_open(u)) unit_write_line(u, line);
  g_in_failure = false;
  io_fatal(-3019, name_word(name.substr(0, 4)), unit);
}

Unit* get(int unit);

// A write that failed ends the run with -3993. The listing and the error
// log are where that message goes: a failure of either is named on the
// console first and kept for the progress file, so that the reason reaches
// the user through whichever of them can still be written.
void write_fatal(int unit) {
  const int err = errno;
  if (!g_in_failure && (unit == 6 || unit == 999)) {
    const Unit* u = get(unit);
    const std::string line = "0*** CANNOT WRITE FILE \"" + (u ? u->name : std::string()) + "\" ON UNIT " +
                             std::to_string(unit) + ": " + std::strerror(err);
    const std::string console = line + "\n";
    (void)!::write(1, console.data(), console.size());
    std::string& note = exec_state().frame.write_failure;
    if (note.empty()) note = line.substr(1);
  }
  io_fatal(-3993, unit, err);
}

// Signals that end the run are held while a file comes into being or goes
// away together with its entry in the unit table, so that the interrupt
// handler, which deletes the work files it finds in the table, never meets
// a work file that the table does not show.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &saved_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t saved_{};
};

bool full_pwrite(int fd, const char* p, std::size_t n, off_t at) {
  while (n > 0) {
    const ssize_t w = ::pwrite(fd, p, n, at);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = ENOSPC;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
    at += w;
  }
  return true;
}

bool full_write(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Reads up to n bytes at `at`; returns the count read, or -1 on error.
ssize_t full_pread(int fd, char* p, std::size_t n, off_t at) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd, p + got, n - got, at + static_cast<off_t>(got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

bool is_stream_fd(const Unit& u) { return !u.own_fd; }

// A preconnected standard unit, created on first use.
Unit* preconnected(int unit) {
  auto& slot = table()[unit];
  if (slot) return slot.get();
  if (unit == kConsole || unit == kListing) {
    slot = std::make_unique<Unit>();
    slot->fd = 1;
    slot->own_fd = false;
    slot->name = "(standard output)";
    return slot.get();
  }
  if (unit == kInputDeck) {
    slot = std::make_unique<Unit>();
    slot->fd = 0;
    slot->own_fd = false;
    slot->name = "(standard input)";
    return slot.get();
  }
  return nullptr;
}

Unit* get(int unit) {
  if (unit < 0 || unit > kMaxUnit) return nullptr;
  return table()[unit].get();
}

Unit& require(int unit) {
  Unit* u = (unit >= 0 && unit <= kMaxUnit) ? get(unit) : nullptr;
  if (!u && unit >= 0 && unit <= kMaxUnit) u = preconnected(unit);
  if (!u) {
    io_fatal(-3019, name_word("UNIT"), unit);
    static Unit dummy;  // reached only when the fatal path is already running
    return dummy;
  }
  return *u;
}

// Writes the pending text at its position. The buffer is emptied before the
// position moves past it, so that an interrupt handler that writes the
// pending text again at the position (unit_finish_text_signal_safe) writes
// the same bytes at the same place. A write that fails leaves the position
// where the text would have begun: what is written later follows the last
// byte that reached the file, never a gap.
void flush_text(int unit, Unit& u) {
  if (u.wbuf.empty()) return;
  const std::size_t n = u.wbuf.size();
  bool ok;
  if (is_stream_fd(u) && u.fd == STDOUT_FILENO) {
    const std::string shown = console_text(u.wbuf);
    ok = full_write(u.fd, shown.data(), shown.size());
  } else if (is_stream_fd(u))
    ok = full_write(u.fd, u.wbuf.data(), n);
  else
    ok = full_pwrite(u.fd, u.wbuf.data(), n, u.wpos);
  u.wbuf.clear();
  if (!ok) return write_fatal(unit);
  u.wpos += static_cast<off_t>(n);
}

// Appends a line to the pending text without ever moving the buffer while
// a signal may arrive: the buffer is flushed first when the line would not
// fit, and it grows (with signals held) only for a line longer than it.
void append_text(int unit, Unit& u, std::string_view line) {
  const std::size_t need = line.size() + 1;
  if (u.wbuf.capacity() < kTextFlush + 1) {
    const SignalsHeld held;
    u.wbuf.reserve(2 * kTextFlush);
  }
  if (u.wbuf.size() + need > u.wbuf.capacity()) flush_text(unit, u);
  if (need > u.wbuf.capacity()) {
    const SignalsHeld held;
    u.wbuf.reserve(need);
  }
  u.wbuf.append(line);
  u.wbuf.push_back('\n');
}

// A write follows what was read: the logical position is where reading stopped.
void settle_position(Unit& u) {
  if (!u.rbuf.empty() || u.rcur) {
    u.pos = u.rpos + static_cast<off_t>(u.rcur);
    u.rbuf.clear();
    u.rcur = 0;
  }
}

// The file ends at the logical position when a write there is to end it.
void end_file_here(int unit, Unit& u) {
  if (u.trunc_pending && !is_stream_fd(u)) {
    if (::ftruncate(u.fd, u.pos) != 0) write_fatal(unit);
    u.trunc_pending = false;
    u.wpos = u.pos;
  }
}

// Sequential write at the logical position: the file ends after it.
void start_write(int unit, Unit& u) {
  settle_position(u);
  end_file_here(unit, u);
}

void reposition(Unit& u, off_t at) {
  u.pos = at;
  u.wpos = at;
  u.rbuf.clear();
  u.rcur = 0;
  u.rpos = at;
  u.trunc_pending = true;
  u.eof_seen = false;
}

}  // namespace

void unit_open(int unit, std::string_view name_in, UnitForm form, UnitStatus status,
               UnitAccess access, std::size_t reclen_bytes) {
  if (unit < 0 || unit > kMaxUnit) {
    io_fatal(-3019, name_word("UNIT"), unit);
    return;
  }
  if (get(unit)) unit_close(unit);
  std::string name(name_in);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();

  const SignalsHeld held;
  auto u = std::make_unique<Unit>();
  u->form = form;
  u->access = access;
  u->status = status;
  u->reclen = reclen_bytes;
  if (status == UnitStatus::Scratch || name.empty()) {
    std::string tmpl = "zephscrXXXXXX";
    u->fd = ::mkstemp(tmpl.data());
    if (u->fd < 0) {
      open_fatal(unit, tmpl);
      return;
    }
    ::unlink(tmpl.c_str());
    u->name = tmpl;
    u->status = UnitStatus::Scratch;
  } else {
    const int flags = (status == UnitStatus::Old) ? O_RDWR : (O_RDWR | O_CREAT);
    u->fd = ::open(name.c_str(), flags | O_CLOEXEC, 0644);
    if (u->fd < 0 && status == UnitStatus::Old && errno == EACCES)
      u->fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (u->fd < 0) {
      open_fatal(unit, name);
      return;
    }
    u->name = name;
  }
  table()[unit] = std::move(u);
}

bool file_readable(std::string_view name_in) noexcept {
  std::array<char, 4097> path{};
  while (!name_in.empty() && (name_in.back() == ' ' || name_in.back() == '\0')) name_in.remove_suffix(1);
  if (name_in.empty() || name_in.size() >= path.size()) return false;
  std::memcpy(path.data(), name_in.data(), name_in.size());
  struct stat st {};
  return ::stat(path.data(), &st) == 0 && !S_ISDIR(st.st_mode) && ::access(path.data(), R_OK) == 0;
}

void unit_close(int unit, bool del) {
  Unit* u = get(unit);
  if (!u) return;
  if (u->form == UnitForm::Formatted) flush_text(unit, *u);
  const std::string name = u->name;
  const bool own = u->own_fd;
  const bool scratch = u->status == UnitStatus::Scratch;
  const int fd = u->fd;
  {
    const SignalsHeld held;
    if (own && del && !scratch) ::unlink(name.c_str());
    table()[unit].reset();
  }
  if (own && fd >= 0 && ::close(fd) != 0) write_fatal(unit);
}

bool unit_is_open(int unit) { return get(unit) != nullptr && get(unit)->own_fd; }

std::string unit_file_name(int unit) {
  Unit* u = get(unit);
  return u ? u->name : std::string{};
}

void unit_write_line(int unit, std::string_view line) {
  if (unit < 0 || unit > kMaxUnit) return;
  Unit* u = get(unit);
  if (!u) u = preconnected(unit);
  // Every unit written is opened first; one that is not open now failed to
  // open, which was reported, and its lines go nowhere.
  if (!u) return;
  start_write(unit, *u);
  append_text(unit, *u, line);
  u->pos += static_cast<off_t>(line.size() + 1);
  if (is_stream_fd(*u) || u->wbuf.size() >= kTextFlush) flush_text(unit, *u);
}

// A line that does not end within kLongestLine characters (a device or a
// binary file read as text) is named on the console, the listing and the
// error log, and ends the run as a read that found garbage.
void endless_line_fatal(int unit, const Unit& u) {
  if (g_in_failure) return;
  const std::string line = "0*** NO LINE END IN FILE \"" + u.name + "\" ON UNIT " + std::to_string(unit) +
                           " WITHIN " + std::to_string(kLongestLine) + " CHARACTERS";
  const std::string console = line + "\n";
  (void)!::write(1, console.data(), console.size());
  g_in_failure = true;
  for (int other : {kListing, kErrorLog})
    if (other != unit && unit_is_open(other)) unit_write_line(other, line);
  g_in_failure = false;
  io_fatal(-3005, name_word(u.name.substr(0, 4)), unit);
}

std::optional<std::string> unit_read_line(int unit, std::size_t columns) {
  Unit& u = require(unit);
  if (u.fd < 0) return std::nullopt;
  flush_text(unit, u);
  if (u.rbuf.empty() && u.rcur == 0) u.rpos = u.pos;
  std::string line;
  std::size_t length = 0;  // characters of the line so far, kept or not
  auto take = [&](std::size_t from, std::size_t n) {
    if (line.size() < columns) line.append(u.rbuf, from, std::min(n, columns - line.size()));
    length += n;
  };
  for (;;) {
    if (u.rcur < u.rbuf.size()) {
      const auto nl = u.rbuf.find('\n', u.rcur);
      if (nl != std::string::npos) {
        take(u.rcur, nl - u.rcur);
        u.rcur = nl + 1;
        u.trunc_pending = true;
        return line;
      }
      take(u.rcur, u.rbuf.size() - u.rcur);
      u.rcur = u.rbuf.size();
      if (length > kLongestLine) {
        endless_line_fatal(unit, u);
        return std::nullopt;
      }
    }
    // Refill.
    u.rpos += static_cast<off_t>(u.rbuf.size());
    u.rbuf.assign(kTextFlush, '\0');
    u.rcur = 0;
    ssize_t r;
    if (is_stream_fd(u)) {
      do r = ::read(u.fd, u.rbuf.data(), u.rbuf.size());
      while (r < 0 && errno == EINTR);
    } else {
      r = full_pread(u.fd, u.rbuf.data(), u.rbuf.size(), u.rpos);
    }
    if (r < 0) {
      u.rbuf.clear();
      io_fatal(-3005, name_word(u.name.substr(0, 4)), unit);
      return std::nullopt;
    }
    u.rbuf.resize(static_cast<std::size_t>(r));
    if (r == 0) {
      u.pos = u.rpos;
      u.trunc_pending = true;
      if (length == 0) return std::nullopt;
      return line;  // last line without a line end
    }
  }
}

void unit_flush(int unit) {
  Unit* u = get(unit);
  if (u && u->form == UnitForm::Formatted) flush_text(unit, *u);
}

void unit_flush_all() {
  for (int i = 0; i <= kMaxUnit; ++i) unit_flush(i);
}

void unit_rewind(int unit) {
  Unit& u = require(unit);
  if (u.form == UnitForm::Formatted) flush_text(unit, u);
  reposition(u, 0);
}

void unit_append(int unit) {
  Unit& u = require(unit);
  if (u.form == UnitForm::Formatted) flush_text(unit, u);
  if (u.fd < 0 || is_stream_fd(u)) return;
  struct stat st {};
  if (::fstat(u.fd, &st) != 0) {
    io_fatal(-3993, unit, 0);
    return;
  }
  reposition(u, st.st_size);
}

void unit_empty(int unit) {
  Unit& u = require(unit);
  if (u.form == UnitForm::Formatted) flush_text(unit, u);
  if (u.fd < 0 || is_stream_fd(u)) return;
  reposition(u, 0);
  start_write(unit, u);
}

void unit_write_record(int unit, std::span<const std::byte> data) {
  Unit& u = require(unit);
  if (u.fd < 0) return;
  settle_position(u);
  const auto len = static_cast<std::uint32_t>(data.size());
  if (data.size() > 0x7FFFFFFFu) {
    io_fatal(-3993, unit, 0);
    return;
  }
  iovec iov[3] = {{const_cast<std::uint32_t*>(&len), 4},
                  {const_cast<std::byte*>(data.data()), data.size()},
                  {const_cast<std::uint32_t*>(&len), 4}};
  std::size_t total = data.size() + 8;
  off_t at = u.pos;
  // pwritev may write short; finish the rest with plain pwrite.
  ssize_t w;
  do w = ::pwritev(u.fd, iov, 3, at);
  while (w < 0 && errno == EINTR);
  if (w < 0) {
    write_fatal(unit);
    return;
  }
  if (static_cast<std::size_t>(w) < total) {
    std::string rest;
    rest.append(reinterpret_cast<const char*>(&len), 4);
    rest.append(reinterpret_cast<const char*>(data.data()), data.size());
    rest.append(reinterpret_cast<const char*>(&len), 4);
    if (!full_pwrite(u.fd, rest.data() + w, total - static_cast<std::size_t>(w), at + w)) {
      write_fatal(unit);
      return;
    }
  }
  u.pos += static_cast<off_t>(total);
  // The file is cut after the record only once the record is in it: a run
  // killed in between keeps every byte written before (a record written
  // over in place, such as the last block of a problem tape that a
  // checkpoint appends to, is never missing).
  end_file_here(unit, u);
}

RecordRead unit_read_record(int unit, std::span<std::byte> data) {
  Unit& u = require(unit);
  if (u.fd < 0) return {RecordRead::End};
  std::uint32_t len = 0;
  const ssize_t r = full_pread(u.fd, reinterpret_cast<char*>(&len), 4, u.pos);
  if (r < 0) {
    io_fatal(-3005, name_word(u.name.substr(0, 4)), unit);
    return {RecordRead::End};
  }
  if (r == 0) return {RecordRead::End};
  std::uint32_t tail = 0;
  const std::size_t keep = std::min<std::size_t>(len, data.size());
  if (r != 4 || full_pread(u.fd, reinterpret_cast<char*>(data.data()), keep, u.pos + 4) !=
                    static_cast<ssize_t>(keep) ||
      full_pread(u.fd, reinterpret_cast<char*>(&tail), 4, u.pos + 4 + len) != 4 || tail != len)
    return {RecordRead::Damaged};
  u.pos += static_cast<off_t>(len) + 8;
  u.trunc_pending = true;
  return {RecordRead::Read, len};
}

bool unit_skip_record(int unit) {
  Unit& u = require(unit);
  std::uint32_t len = 0;
  const ssize_t r = full_pread(u.fd, reinterpret_cast<char*>(&len), 4, u.pos);
  if (r == 0) return false;
  struct stat st{};
  if (r != 4 || ::fstat(u.fd, &st) != 0 || u.pos + 8 + static_cast<off_t>(len) > st.st_size) {
    io_fatal(-3011, name_word(u.name.substr(0, 4)), unit);
    return false;
  }
  u.pos += static_cast<off_t>(len) + 8;
  u.trunc_pending = true;
  return true;
}

bool unit_backspace(int unit) {
  Unit& u = require(unit);
  if (u.pos < 8) return false;
  std::uint32_t len = 0;
  if (full_pread(u.fd, reinterpret_cast<char*>(&len), 4, u.pos - 4) != 4 ||
      u.pos - 8 - static_cast<off_t>(len) < 0) {
    io_fatal(-3011, name_word(u.name.substr(0, 4)), unit);
    return false;
  }
  u.pos -= static_cast<off_t>(len) + 8;
  u.trunc_pending = true;
  return true;
}

void unit_write_direct(int unit, std::int64_t rec, std::span<const std::byte> data) {
  Unit& u = require(unit);
  if (u.fd < 0) return;
  const off_t at = static_cast<off_t>(rec - 1) * static_cast<off_t>(u.reclen);
  if (rec < 1 || data.size() > u.reclen ||
      !full_pwrite(u.fd, reinterpret_cast<const char*>(data.data()), data.size(), at))
    write_fatal(unit);
  // A record read ahead is kept as written.
  if (rec >= u.ahead_first && rec < u.ahead_first + u.ahead_count)
    std::memcpy(u.ahead.data() + (rec - u.ahead_first) * static_cast<std::int64_t>(u.reclen), data.data(),
                data.size());
}

namespace {

// The kernel copies into a destination off a 16-byte boundary at a fraction
// of its usual speed, and record buffers of the file system sit at even word
// indexes (4 bytes past an 8-byte boundary). Such reads go through an aligned
// staging area and one copy in user space.
constexpr std::size_t kStagingBytes = 1 << 16;

ssize_t aligned_pread(int fd, char* p, std::size_t n, off_t at) {
  if (reinterpret_cast<std::uintptr_t>(p) % 16 == 0 || n > kStagingBytes) return full_pread(fd, p, n, at);
  alignas(64) static char staging[kStagingBytes];
  const ssize_t r = full_pread(fd, staging, n, at);
  if (r > 0) std::memcpy(p, staging, static_cast<std::size_t>(r));
  return r;
}

// Windows ahead of the one just read that the system is asked to fetch.
constexpr std::int64_t kWindowsHinted = 8;

// Asks the system to bring the records of the next windows in the direction
// of reading into its cache, so that the disk reads them while the caller
// works on the window just read.
void hint_next_windows(const Unit& u, bool backward) {
  const auto reclen = static_cast<std::int64_t>(u.reclen);
  const std::int64_t span = kWindowsHinted * u.window;
  const std::int64_t first = backward ? std::max<std::int64_t>(1, u.ahead_first - span) : u.ahead_first + u.ahead_count;
  const std::int64_t count = backward ? u.ahead_first - first : span;
  if (count > 0)
    (void)::posix_fadvise(u.fd, static_cast<off_t>((first - 1) * reclen), static_cast<off_t>(count * reclen),
                          POSIX_FADV_WILLNEED);
}

}  // namespace

// Direct-access reads that go on from the last one, forward or backward,
// take ever more records at once (up to kMaxReadAhead), so that a data block
// read in sequence costs few transfers, and ask for the next windows to be
// read ahead meanwhile; any other read takes one record.
bool unit_read_direct(int unit, std::int64_t rec, std::span<std::byte> data) {
  Unit& u = require(unit);
  if (u.fd < 0 || rec < 1) return false;
  const auto reclen = static_cast<std::int64_t>(u.reclen);
  if (static_cast<std::int64_t>(data.size()) == reclen && reclen > 0) {
    if (rec >= u.ahead_first && rec < u.ahead_first + u.ahead_count) {
      std::memcpy(data.data(), u.ahead.data() + (rec - u.ahead_first) * reclen, data.size());
      return true;
    }
    const bool forward = u.ahead_count > 0 && rec == u.ahead_first + u.ahead_count;
    const bool backward = u.ahead_count > 0 && rec == u.ahead_first - 1;
    u.window = forward || backward ? std::min(2 * u.window, kMaxReadAhead) : 1;
    const std::int64_t first = backward ? std::max<std::int64_t>(1, rec - u.window + 1) : rec;
    const std::int64_t count = backward ? rec - first + 1 : u.window;
    u.ahead.resize(static_cast<std::size_t>(count * reclen));
    u.ahead_count = 0;
    const ssize_t r = full_pread(u.fd, reinterpret_cast<char*>(u.ahead.data()),
                                 static_cast<std::size_t>(count * reclen), static_cast<off_t>((first - 1) * reclen));
    // Bytes of record rec that the file holds: none beyond its end, a part is an error.
    const std::int64_t held = r < 0 ? -1 : std::min<std::int64_t>(r - (rec - first) * reclen, reclen);
    if (held <= 0 && r >= 0) return false;
    if (held < reclen) {
      io_fatal(-3005, name_word(u.name.substr(0, 4)), unit);
      return false;
    }
    u.ahead_first = first;
    u.ahead_count = r / reclen;
    if (forward || backward) hint_next_windows(u, backward);
    std::memcpy(data.data(), u.ahead.data() + (rec - first) * reclen, data.size());
    return true;
  }
  const off_t at = static_cast<off_t>(rec - 1) * static_cast<off_t>(u.reclen);
  const ssize_t r = aligned_pread(u.fd, reinterpret_cast<char*>(data.data()), data.size(), at);
  if (r == 0) return false;
  if (r != static_cast<ssize_t>(data.size())) {
    io_fatal(-3005, name_word(u.name.substr(0, 4)), unit);
    return false;
  }
  return true;
}

void unit_finish_text_signal_safe(int unit, std::string_view tail) {
  const Unit* u = get(unit);
  if (u == nullptr || !u->own_fd || u->form != UnitForm::Formatted || u->fd < 0) return;
  const std::size_t n = u->wbuf.size();
  if (!full_pwrite(u->fd, u->wbuf.data(), n, u->wpos)) return;
  (void)full_pwrite(u->fd, tail.data(), tail.size(), u->wpos + static_cast<off_t>(n));
}

void unit_unlink_direct_files_signal_safe() {
  for (auto& slot : table()) {
    Unit* u = slot.get();
    if (u && u->access == UnitAccess::Direct && u->own_fd && !u->name.empty() &&
        u->status != UnitStatus::Scratch)
      ::unlink(u->name.c_str());
  }
}

std::string file_beside(const std::string& name) { return name + ".new"; }

void unit_replace_text(int unit, const std::string& name, std::span<const std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  const std::string beside = file_beside(name);
  int fd = -1;
  {
    const SignalsHeld held;
    fd = ::open(beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }
  if (fd < 0) return open_fatal(unit, name);
  bool ok = full_write(fd, text.data(), text.size());
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(beside.c_str(), name.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (ok) return;
  ::unlink(beside.c_str());
  errno = err;
  write_fatal(unit);
}

void unit_close_all() {
  for (int i = 0; i <= kMaxUnit; ++i) {
    Unit* u = get(i);
    if (!u) continue;
    if (u->own_fd)
      unit_close(i);
    else
      flush_text(i, *u);
  }
}

void unit_reset_all() {
  for (int i = 0; i <= kMaxUnit; ++i) {
    Unit* u = get(i);
    if (!u) continue;
    if (u->form == UnitForm::Formatted) flush_text(i, *u);
    if (u->own_fd && u->fd >= 0) ::close(u->fd);
    table()[i].reset();
  }
}

void write_listing_and_log(std::initializer_list<std::string_view> lines) {
  for (int unit : {kListing, kErrorLog})
    for (std::string_view l : lines) unit_write_line(unit, l);
}

std::string padded(std::string_view s, std::size_t n) {
  std::string r(s.substr(0, n));
  r.resize(n, ' ');
  return r;
}

}  // namespace zephsol
