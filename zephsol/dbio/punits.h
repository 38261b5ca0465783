// Physical units: the unit opener for every file of the system, and the
// record transfers of the data-block units.
//
// Permanent units (the problem tapes "NPTP" and "OPTP", units below the
// first work unit) are sequential unformatted files, kept after the run.
// Work units are direct-access files "WORKnn" (nn = unit - first work unit
// + 1) with records of NBUFSZ - 1 words, deleted at the end of the run.
// PUOPEN to PUSEEK act on the current unit, FILCTL word 2; buffers are
// open-core indexes of NBUFSZ - 1 words. PURECS keeps each unit's next record
// and last record written for the whole run.
//
// Messages: -961 a work file on a unit below the first work unit (unit, first
// work unit); -3005 a problem-tape record of the wrong length (name, unit),
// unless the caller named the block in on_damaged_file.
// Failed opens, reads, writes and closes end the run in the unit channels
// (-3019 open, -3005 read, -3993 write or extension).
#pragma once

#include <string>

#include "zephsol/exec/words.h"

namespace zephsol {

// Opens unit. key is a four-character key word of the solver list table (its
// value is the file name), or 0; reserved is not read; kind: odd unformatted,
// even formatted; kinds 1, 2 and 5 open an existing file. Without a key,
// kinds below 5 open a scratch file and kinds 5 and up a direct-access work
// file "WORKnn".
void UNTOPN(word unit, word key, word reserved, word kind);
// Closes unit and keeps its file.
void UNTCLS(word unit);

// Opens the current unit (UNTOPN with the key and kind); the first call of
// the run sets every unit's counters to (1, 0).
void PUOPEN(word key, word kind);
// Closes the current unit: opt >= 0 keeps its file, opt < 0 deletes it.
void PUCLOS(word opt);
// Reads the next record into buf; eof = 1 when there is none.
void PUREAD(word buf, word& eof);
// Writes buf as the next record; it becomes the last record of the unit.
void PUWRIT(word buf);
// Positions so that the next transfer is record n; eof = 1 when a permanent
// unit has no record n.
void PUSEEK(word n, word& eof);

// Moves the current permanent unit onto file `name` (which must hold the
// records of its file so far) at the record it had reached; its file is kept.
// Fatal -3011 when name holds fewer records.
void unit_move_to_file(const std::string& name);

// A permanent data block whose file comes from outside the run (the old
// problem tape): when its file ends before its data does, or holds a record
// of the wrong length, end() ends the run with the caller's own message in
// place of the file system's program-logic end. One block at a time.
void on_damaged_file(word number, void (*end)());
// Called where the file of the current data block has ended early or holds
// a damaged record: ends the run through the caller's end when the block was
// named in on_damaged_file, else returns.
void damaged_file();
// Called where a record of a data block contradicts itself or what it
// addresses: on a restart (a block named in on_damaged_file) the data may
// come from a damaged old problem tape, and the caller's end ends the run;
// otherwise returns, and the caller ends the run on its own fatal message.
void damaged_data();

}  // namespace zephsol
