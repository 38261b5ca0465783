#include "common/testing.h"

#include "common/scratch.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/pools.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol::testing {

FreshFileSystem::FreshFileSystem(word memo, word nbufsz)
    : dir_(make_scratch_dir("zephdbio")), previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(dir_);
  unit_reset_all();
  reset_exec_state();
  reset_dbio_state();
  core_release();
  sysw().MEMO = memo;
  if (!core_allocate(memo)) throw std::runtime_error("cannot allocate the open core");
  CORINI();
  sysw().NBUFSZ = nbufsz;
  BUFINI();
  unit_open(6, "listing", UnitForm::Formatted, UnitStatus::Unknown);
  unit_open(999, "errors", UnitForm::Formatted, UnitStatus::Unknown);
}

FreshFileSystem::~FreshFileSystem() {
  unit_reset_all();
  core_release();
  reset_dbio_state();
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
  remove_scratch_dir(dir_);
}

std::string FreshFileSystem::read(const std::string& name) const {
  unit_flush_all();
  return read_file(dir_ / name);
}

void make_current(word number) {
  word r[2];
  DBUNIT(number, r);
  FILCTL& f = filctl();
  DBNAME(number, f.name8[0]);
  f.name8[1] = name_word("    ");
  if (f.curunt != 0) f.status = fit(f.curunt).status;
}

void store_current() {
  const FILCTL& f = filctl();
  if (f.curunt != 0) fit(f.curunt).status = f.status;
}

}  // namespace zephsol::testing
