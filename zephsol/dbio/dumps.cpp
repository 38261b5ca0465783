// Data block dump and record print.
#include "zephsol/dbio/dumps.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recbody.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"

namespace zephsol {

namespace {

constexpr word kChunk = 10;
constexpr std::int64_t kLargestInteger = 8388608;  // 2^23: larger words may be reals or characters

bool in_printable_range(std::uint32_t byte) { return byte >= 32 && byte <= 95; }

// Machine codes 5 and 7: characters when every byte, most significant
// first, is a printable character of the 64-character set.
bool characters_by_range(word w) {
  const auto u = static_cast<std::uint32_t>(w);
  for (int shift = 24; shift >= 0; shift -= 8)
    if (!in_printable_range((u >> shift) & 0xFFu)) return false;
  return true;
}

// Machine codes 2 and 3: each byte's two zone bits z and four digit bits d
// must spell a character of the six-bit code.
bool characters_by_zone(word w) {
  const auto u = static_cast<std::uint32_t>(w);
  for (int shift = 24; shift >= 0; shift -= 8) {
    const std::uint32_t byte = (u >> shift) & 0xFFu, z = byte >> 6, d = byte & 0xFu;
    if (z == 0 || z == 2 || (z == 3 && d > 9) || (z == 1 && d >= 2 && d <= 9)) return false;
  }
  return true;
}

// Other machine codes: the word compared with "0000" once both have lost
// their first four characters by a shift there and back.
bool characters_by_shift(word w) {
  const word bits = 4 * sysw().NBTCHR;
  const auto strip = [bits](word x) { return BITSHR(BITSHL(x, bits), bits); };
  return strip(w) == strip(name_word("0000"));
}

bool reads_as_characters(word w) {
  switch (sysw().MACHCD) {
    case 5:
    case 7: return characters_by_range(w);
    case 2:
    case 3: return characters_by_zone(w);
    default: return characters_by_shift(w);
  }
}

std::string field(word w) {
  if (std::llabs(std::int64_t{w}) <= kLargestInteger) return fline("(I13)", {w});
  if (reads_as_characters(w)) return fline("(9X,A4)", {w});
  return fline("(1P,E13.5)", {word_real(w)});
}

// The dump's page lines: the title, and on a page break inside a record the
// continuation line.
struct DumpPage {
  word file;
  word name;
  word f = 1;  // file number
  word r = 0;  // record number in the file

  void title() const {
    fwrite_unit(kListing, "('0',A4,'  FILE DUMP.',13X,'UNIT NUMBER =',I4)", {name, file});
  }
  // Room for n lines; a new page repeats the title.
  void lines(word n) const {
    word newpg = 0;
    LINCNT(n, newpg);
    if (newpg == 0) return;
    sysw().NLINE += 2;
    title();
  }
  void record_line() const {
    fwrite_unit(kListing, "('0',39('-'),'  FILE NO.',I6,',   RECORD NO.',I8,'  ',48('-'))", {f, r});
  }
  void chunk(const word* words, word n) const {
    word newpg = 0;
    LINCNT(1, newpg);
    if (newpg != 0) {
      sysw().NLINE += 4;
      title();
      fwrite_unit(kListing, "('0-- (CONTINUED) ',24('-'),'  FILE NO.',I6,',   RECORD NO.',I8,'  ',48('-'))", {f, r});
    }
    RECPRT(words, n);
  }
};

}  // namespace

void RECPRT(const word* words, word count) {
  for (word at = 0; at < count; at += kChunk) {
    std::string line = " ";
    for (word i = at; i < count && i < at + kChunk; ++i) line += field(words[i]);
    unit_write_line(kListing, line);
  }
}

void DPFILE(word file, word area, word size) {
  const word B = sysw().NBUFSZ;
  if (size - B < kChunk) recbody::fatal(3, B + kChunk, size);
  const word name = recbody::name_of(file);
  word found = 0;
  if (name != name_word("****")) DBFIND(name, found);
  if (found == 0) {
    MSGPUT(10, file, name);
    return;
  }
  if (found > 0) {
    MSGPUT(3511, name, file);
    return;
  }
  word status = 0;
  DBOPNS(file, area + size - B, kRead, status);
  if (status != 0) recbody::fatal(10, file, name);
  std::array<word, 6> h{};
  HDRGET(file, h);

  DumpPage page{file, name};
  PAGHDR();
  sysw().NLINE += 2;
  page.title();
  fwrite_unit(kListing, "('0***** HEADER =',6I8,' *****')", {h[0], h[1], h[2], h[3], h[4], h[5]});

  word* words = core().words(area, kChunk).data();
  word nread = 0;
  const auto read = [&] {
    nread = kChunk;
    DBRDST(file, words, kChunk, 0, nread, status);
  };
  read();
  for (;;) {
    if (status == 2) {
      page.lines(2);
      fwrite_unit(kListing, "('0',49('='),'     END OF FILE     ',57('='))");
      read();
      if (status == 2) break;
      ++page.f;
      page.r = 0;
    }
    page.lines(2);
    ++page.r;
    page.record_line();
    for (;;) {
      page.chunk(words, nread);
      if (status == 1) {  // the record ended with this chunk
        read();
        break;
      }
      read();
      if (status == 0 || (status == 1 && nread > 0)) continue;
      if (status == 1) read();  // it ended exactly at the last chunk
      break;
    }
  }
  page.lines(2);
  unit_write_line(kListing, "0END OF DUMP");
  DBCLOS(file, kCloseRewind);
}

}  // namespace zephsol
