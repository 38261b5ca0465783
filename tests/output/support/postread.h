// An independent reader of the result file for the output tests: it parses
// the text line by line against the neutral-file layout (framing, block
// numbers, fixed lines, field widths by pattern) without any code of the
// writer, and collects the steps, their vectors and their groups. Every
// departure from the layout is reported in `errors` with its line number.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zephsol::test {

struct PostVector {
  int set = 0;
  int id = 0;
  std::string title;        // as written, blanks included
  double min = 0, max = 0, absmax = 0;
  std::string components;   // component line 1
  int min_id = 0, max_id = 0, out_type = 0, entity = 0;
  std::string flags;
  std::vector<std::pair<int, double>> values;
  std::vector<std::string> lines;  // the whole record as written
};

struct PostStep {
  int set = 0;
  std::string title;
  std::vector<PostVector> vectors;
  bool has_group = false;
  int group = 0;
  std::vector<int> nodes, elements;

  // The vector of identifier id, or null.
  const PostVector* vector(int id) const;
  std::vector<int> vector_ids() const;
};

struct PostFile {
  bool has_header = false;
  std::vector<PostStep> steps;
  std::vector<std::string> errors;
};

PostFile read_post(const std::vector<std::string>& lines);

// The lines of a text file (without line ends).
std::vector<std::string> file_lines(const std::string& path);

}  // namespace zephsol::test
