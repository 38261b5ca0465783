// The result file: the text file, in the FEMAP neutral layout version "4.5",
// through which the post-processor reads the results.
//
// The file is unit IPOSTU (system word 50), opened by the first output call
// of the run (NPOSTC = 0) on the file that the "POST" key of the solver list
// names, and never closed or rewound by the output. Blocks open with "   -1"
// and their number and close with "   -1": the header (100) once; then per
// output step the output set (450), the output vectors (451) and the group of
// the step's nodes and elements (408). Every vector of block 451 is one
// vector record: set and vector identifiers, title, minimum, maximum and
// absolute maximum, two component lines, the entities of the extremes with
// the output and entity types, three flags, one value line per entity and
// the terminator "-1,0.,". Integer fields are those of the neutral layout
// (I6 identifiers, I8 entities, I14 integer values, I5 in titles); a number
// wider than its field is written whole in the width it needs, never as
// asterisks.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

inline constexpr word kNodeEntity = 7;
inline constexpr word kElementEntity = 8;

// Opens the result file and writes its header block.
void post_open();
// Block 450 of the current step (set NSTEPC, title interval NINTVL and step
// NSTEP), then the opening lines of block 451.
void post_output_set();
// The closing line of block 451.
void post_end_vectors();
// Block 408 of the current step: group NSTEPC + 10000 with its nodes and
// elements.
void post_group(std::span<const word> nodes, std::span<const word> elements);
// Writes what is buffered for the result file (the end of an output call).
void post_flush();

// Minimum and maximum of a vector as the writers scan their entities: the
// minimum starts at +1.0E37 and the maximum at -1.0E37, a value strictly
// smaller or greater replaces them and records its entity (0 until then).
struct Extremes {
  float min = 1.0e37f;
  float max = -1.0e37f;
  word min_id = 0;
  word max_id = 0;
  void scan(word id, float v) noexcept {
    if (v > max) {
      max = v;
      max_id = id;
    }
    if (v < min) {
      min = v;
      min_id = id;
    }
  }
};

// The fixed words of a vector record.
struct VectorHead {
  word id;
  std::string_view title;      // written blank-padded to title_width bytes
  int title_width;
  std::string_view components;  // component line 1, as written
  word out_type;
  word entity;                  // kNodeEntity or kElementEntity
  std::string_view flags;       // the flags line, as written
  bool total;                   // a magnitude vector: its absolute maximum is its maximum
};

// Lines 1-7 of a vector record of the current step.
void post_vector_head(const VectorHead& head, const Extremes& ext);
// A value line of a real vector, and of an integer vector.
void post_value(word id, float value);
void post_int_value(word id, word value);
// The terminator of a vector record.
void post_vector_end();

// One real vector over count entities (i from 0): extremes scanned over the
// entities that scanned(i) accepts, value lines for those listed(i) accepts,
// each entity with identifier id(i) and value value(i).
template <class Id, class Value, class Scanned, class Listed>
void post_vector(const VectorHead& head, word count, Id id, Value value, Scanned scanned, Listed listed) {
  Extremes ext;
  for (word i = 0; i < count; ++i)
    if (scanned(i)) ext.scan(id(i), value(i));
  post_vector_head(head, ext);
  for (word i = 0; i < count; ++i)
    if (listed(i)) post_value(id(i), value(i));
  post_vector_end();
}

}  // namespace zephsol
