// Rewriting the end of a problem tape through a copy of its file.
#include "zephsol/dbio/tapecopy.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/punits.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

namespace fs = std::filesystem;

// The unit of a data block, made its current one.
word current_unit(word file) {
  word name = 0;
  DBNAME(file, name);
  FILCTL& f = filctl();
  f.curfil = file;
  f.curunt = entry_unit(dbio_state().dbst.at(dbst_index(file)));
  f.name8[0] = name;
  return f.curunt;
}

std::string copy_name(const std::string& name) { return name + ".NEW"; }

}  // namespace

void tape_continue_in_copy(word file) {
  const word unit = current_unit(file);
  const std::string name = unit_file_name(unit);
  std::error_code ec;
  fs::copy_file(name, copy_name(name), fs::copy_options::overwrite_existing, ec);
  if (ec) MSGPUT(-3993, filctl().name8[0], unit);
  unit_move_to_file(copy_name(name));
}

void tape_copy_replaces(word file) {
  const word unit = current_unit(file);
  const std::string copy = unit_file_name(unit);
  const std::string name = copy.substr(0, copy.size() - copy_name("").size());
  std::error_code ec;
  fs::rename(copy, name, ec);
  if (ec) MSGPUT(-3993, filctl().name8[0], unit);
  unit_move_to_file(name);
}

void tape_copy_discard(word file) {
  const std::string name = unit_file_name(current_unit(file));
  if (name.empty()) return;
  std::error_code ec;
  fs::remove(copy_name(name), ec);
}

}  // namespace zephsol
