// Numbered file channels ("units"): the platform layer under the text files,
// the work files and the problem tapes.
//
// A unit is opened on a named file in one of three forms:
//   - formatted sequential: lines of text (listing, logs, decks);
//   - unformatted sequential: records framed by a 4-byte length before and
//     after (problem tapes), as the platform's Fortran writes them;
//   - unformatted direct access: fixed-length records addressed by number
//     (work files), read and written with pread/pwrite.
// A sequential write ends the file after the record written, as a Fortran
// sequential file does. Units 0 and 6 are standard output and unit 5
// standard input until they are opened on a file; a text line written to
// any other unit that is not open (its open failed and was reported) is
// dropped, so that a failed open leaves no stray file behind.
//
// Every operation is checked: a failure ends the run through the fatal path
// of the message queue (a failed write or file extension is message -3993).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zephsol {

enum class UnitForm { Formatted, Unformatted };
enum class UnitStatus { Old, Unknown, Scratch };
enum class UnitAccess { Sequential, Direct };

constexpr int kMaxUnit = 1000;

// The units of the program's own files. The result file's unit is a system
// word (IPOSTU); work files and problem tapes take theirs from the file
// system.
inline constexpr int kConsole = 0;           // standard output
inline constexpr int kInputDeck = 5;         // the input deck ("INPT")
inline constexpr int kListing = 6;           // the listing ("LIST")
inline constexpr int kSolverList = 99;       // "SOLV.LST", while it is read
inline constexpr int kProgressFile = 997;    // the progress file ("STAT")
inline constexpr int kConvergenceLog = 998;  // the convergence log ("CONV")
inline constexpr int kErrorLog = 999;        // the error log ("ERRO")

// Writes the lines on the listing and then the same lines on the error log.
void write_listing_and_log(std::initializer_list<std::string_view> lines);
// A blank-padded text of n characters (s cut to n).
std::string padded(std::string_view s, std::size_t n);

// Open unit on file name (blanks at the end of the name are dropped). For
// direct access, reclen_bytes is the fixed record length. A unit that is
// already open is closed first (its file kept).
void unit_open(int unit, std::string_view name, UnitForm form, UnitStatus status,
               UnitAccess access = UnitAccess::Sequential, std::size_t reclen_bytes = 0);
// Close; the file is deleted when del is true (and always for a scratch file).
void unit_close(int unit, bool del = false);
bool unit_is_open(int unit);
// Whether file name (blanks at the end dropped) can be opened as an existing
// file to read: it exists through any links, is not a directory and may be
// read. Never throws; a link loop or a name too long is simply false.
bool file_readable(std::string_view name) noexcept;
std::string unit_file_name(int unit);

// Formatted units.
void unit_write_line(int unit, std::string_view line);  // appends '\n'
// The next line, without its line end, cut to its first `columns`
// characters (the rest is skipped as it is read); nullopt at the end of the
// file. A line that does not end within kLongestLine characters ends the run
// (-3005) after a line naming the file.
inline constexpr std::size_t kLongestLine = std::size_t{1} << 20;
std::optional<std::string> unit_read_line(int unit, std::size_t columns);
void unit_flush(int unit);
void unit_flush_all();

// Sequential units (either form): position at the start.
void unit_rewind(int unit);
// Sequential units: position at the end of the file, so that what is written
// next follows what the file holds.
void unit_append(int unit);
// Sequential units: empty the file, so that it holds only what is written
// from now on.
void unit_empty(int unit);

// Unformatted sequential records.
void unit_write_record(int unit, std::span<const std::byte> data);
// Reads the next record into data (at most data.size() bytes are kept):
// Read with its full length; End at the end of the file; Damaged when the
// file ends inside the record or its two length markers differ (the caller
// decides how the run ends; the position is left at the record).
struct RecordRead {
  enum Outcome { Read, End, Damaged } outcome;
  std::size_t length = 0;
};
RecordRead unit_read_record(int unit, std::span<std::byte> data);
// Skips the next record; false at the end of the file.
bool unit_skip_record(int unit);
// Steps back over one record; false at the start of the file.
bool unit_backspace(int unit);

// Direct-access records, numbered from 1.
void unit_write_direct(int unit, std::int64_t rec, std::span<const std::byte> data);
// False when the record lies beyond the end of the file.
bool unit_read_direct(int unit, std::int64_t rec, std::span<std::byte> data);

// Async-signal-safe: write the pending text of a formatted unit opened on a
// file, then tail after it (an interrupt's last lines).
void unit_finish_text_signal_safe(int unit, std::string_view tail);

// Async-signal-safe: delete the files of every open direct-access unit
// (used by the interrupt handler, which cannot take the ordinary path).
void unit_unlink_direct_files_signal_safe();

// Replaces the text file `name` whole by these lines: they are written to
// the file beside it (file_beside) and that file is renamed over it, so that
// a reader or a killed run finds the old text or the new one, never a part.
// The unit only names the file in messages: a file that cannot be created
// is message -3019 naming `name`, a failed write -3993.
void unit_replace_text(int unit, const std::string& name, std::span<const std::string> lines);
std::string file_beside(const std::string& name);

// Close every unit (flushing text units), keeping files except scratch files.
void unit_close_all();

// Tests: forget every unit (files are closed, not deleted).
void unit_reset_all();

}  // namespace zephsol
