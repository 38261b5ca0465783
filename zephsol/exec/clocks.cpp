// Clocks and the module status line.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

constexpr word kStatusSwitch = 4;
constexpr word kMaxStatusWords = 10;

std::tm local_now() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm;
}


void write_status(const std::string& line) {
  unit_write_line(sysw().LOGUNT, line);
  unit_write_line(kErrorLog, line);
}

}  // namespace

std::string DATMDY() {
  const std::tm tm = local_now();
  return fline("(I2.2,'/',I2.2,'/',I2.2)", {tm.tm_mon + 1, tm.tm_mday, tm.tm_year % 100});
}

std::string TIMHMS() {
  const std::tm tm = local_now();
  return fline("(I2.2,':',I2.2,':',I2.2)", {tm.tm_hour, tm.tm_min, tm.tm_sec});
}

float ELAPSD() {
  RunFrame& f = exec_state().frame;
  const std::int64_t now =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  if (!f.clock_started) {
    f.clock_started = true;
    f.clock_base_ns = now;
  }
  return static_cast<float>(static_cast<double>(now - f.clock_base_ns) * 1.0e-9);
}

float IOSECS() { return static_cast<float>(sysw().NBLKIO) * 0.0333f; }

void MODBGN(std::string_view name8) {
  if (DIAGLV(kStatusSwitch) == 0) return;
  auto& rec = exec_state().frame.modrec;
  const auto name = name_words8(name8);
  rec = {name[0], name[1], name_word("BEGN")};
  MODSTS(rec.data(), 3);
}

void MODSTS(const word* words, word n) {
  const std::string t = TIMHMS();
  const float e = ELAPSD();
  const float io = IOSECS();
  const auto blocks_written = file_system_hooks().blocks_written;
  const word blocks = blocks_written != nullptr ? blocks_written() : 0;
  RunFrame& f = exec_state().frame;
  if (!f.modsts_headed) {
    f.modsts_headed = true;
    write_status(fline("(1X,A8,'.  CPU SEC   IO SEC    BLOCKS  MODULE STATUS')", {t}));
  }
  std::vector<FmtArg> args{t, e, io, blocks};
  const word count = std::clamp<word>(n, 0, kMaxStatusWords);
  std::vector<std::string> names;
  names.reserve(count);
  for (word i = 0; i < count; ++i) names.push_back(word_name(words[i]));
  for (const auto& s : names) args.emplace_back(s);
  std::string line;
  for (const auto& rec : fortran_records("(1X,A8,'.',F9.3,F9.1,I10,2X,10A4)", args)) line += rec;
  write_status(line);
}

}  // namespace zephsol
