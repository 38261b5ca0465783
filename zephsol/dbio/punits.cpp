#include "zephsol/dbio/punits.h"

#include <cassert>
#include <string>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

// The first kind of a work file, and the one kind besides 1 and 2 that opens
// an existing file.
constexpr word kWorkKind = 5;

PurecsPair& counters(word unit) {
  assert(unit >= 1 && unit <= kFitRows && "unit without record counters");
  return dbio_state().PURECS[static_cast<std::size_t>(unit - 1)];
}

bool is_work_unit(word unit) { return unit >= filctl().fstwrk; }


// "WORK" and two digits of the unit's place among the work units.
std::string work_file_name(word unit) {
  const word n = unit - filctl().fstwrk + 1;
  assert(n >= 1 && n <= 99 && "at most 99 work units");
  return "WORK" + std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

// The current record buffer as bytes.
std::span<std::byte> record_bytes(word buf) {
  return std::as_writable_bytes(core().words(buf, filctl().blkwds));
}

}  // namespace

void UNTOPN(word unit, word key, word /*reserved*/, word kind) {
  const UnitForm form = kind % 2 != 0 ? UnitForm::Unformatted : UnitForm::Formatted;
  if (key != 0) {
    const bool old = kind <= 2 || kind == kWorkKind;
    unit_open(unit, solver_file_name(exec_state().solvky, key), form, old ? UnitStatus::Old : UnitStatus::Unknown);
    return;
  }
  if (kind < kWorkKind) {
    unit_open(unit, "", form, UnitStatus::Scratch);
    return;
  }
  const word first_work = filctl().fstwrk;
  if (unit < first_work) {
    MSGPUT(-961, unit, first_work);
    return;
  }
  unit_open(unit, work_file_name(unit), form, UnitStatus::Unknown, UnitAccess::Direct,
            static_cast<std::size_t>(filctl().blkwds) * 4);
}

void UNTCLS(word unit) { unit_close(unit, false); }

void unit_move_to_file(const std::string& name) {
  const word unit = filctl().curunt;
  const word next = counters(unit).next;
  unit_open(unit, name, UnitForm::Unformatted, UnitStatus::Old);
  for (word r = 1; r < next; ++r)
    if (!unit_skip_record(unit)) MSGPUT(-3011, filctl().name8[0], unit);
}

void on_damaged_file(word number, void (*end)()) {
  DbioState& s = dbio_state();
  s.damaged_block = number;
  s.damaged_end = end;
}

void damaged_file() {
  const DbioState& s = dbio_state();
  if (s.damaged_end != nullptr && s.damaged_block != 0 && s.filctl.curfil == s.damaged_block) s.damaged_end();
}

void damaged_data() {
  const DbioState& s = dbio_state();
  if (s.damaged_end != nullptr && s.damaged_block != 0) s.damaged_end();
}

void PUOPEN(word key, word kind) {
  const word unit = filctl().curunt;
  UNTOPN(unit, key, 0, kind);
  DbioState& s = dbio_state();
  if (!s.purecs_set) {
    s.PURECS.fill(PurecsPair{});
    s.purecs_set = true;
  }
  PurecsPair& rc = counters(unit);
  if (!is_work_unit(unit) && kind == kWorkKind && rc.written == 0) rc.written = kOpenEndedRecords;
}

void PUCLOS(word opt) {
  const word unit = filctl().curunt;
  if (opt >= 0)
    UNTCLS(unit);
  else
    unit_close(unit, true);
}

void PUREAD(word buf, word& eof) {
  const word unit = filctl().curunt;
  PurecsPair& rc = counters(unit);
  eof = 0;
  const word r = rc.next;
  if (r > rc.written) {
    eof = 1;
    return;
  }
  const auto bytes = record_bytes(buf);
  if (is_work_unit(unit)) {
    if (!unit_read_direct(unit, r, bytes)) {
      eof = 1;
      return;
    }
  } else {
    const RecordRead got = unit_read_record(unit, bytes);
    if (got.outcome == RecordRead::End) {
      eof = 1;
      return;
    }
    if (got.outcome == RecordRead::Damaged || got.length != bytes.size()) {
      damaged_file();
      MSGPUT(-3005, filctl().name8[0], unit);
    }
  }
  rc.next = r + 1;
}

void PUWRIT(word buf) {
  const word unit = filctl().curunt;
  PurecsPair& rc = counters(unit);
  const word r = rc.next;
  const auto bytes = record_bytes(buf);
  if (is_work_unit(unit))
    unit_write_direct(unit, r, bytes);
  else
    unit_write_record(unit, bytes);
  rc.next = r + 1;
  rc.written = r;
}

void PUSEEK(word n, word& eof) {
  assert(n >= 1);
  const word unit = filctl().curunt;
  PurecsPair& rc = counters(unit);
  eof = 0;
  if (is_work_unit(unit)) {
    rc.next = n;
    return;
  }
  if (n == 1) {
    unit_rewind(unit);
    rc.next = 1;
    return;
  }
  if (n > rc.written) {
    eof = 1;
    return;
  }
  for (word d = n - rc.next; d < 0; ++d)
    if (!unit_backspace(unit)) MSGPUT(-3011, filctl().name8[0], unit);
  for (word d = n - rc.next; d > 0; --d)
    if (!unit_skip_record(unit)) {
      eof = 1;
      return;
    }
  rc.next = n;
}

}  // namespace zephsol
