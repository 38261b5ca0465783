// A library preloaded into the program by the tape tests: with
// ZEPH_KILL_AFTER_TRUNCATE="NAME N" in the environment, the N-th ftruncate
// of the file NAME (in the working directory) runs and then the process
// kills itself (SIGKILL), as a user's kill at that instant would. Before the
// cut it writes the file's size then to NAME.size, so that the test can
// tell whether the cut lost bytes the run had written.
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Ftruncate = int (*)(int, off_t);

bool names_file(int fd, const std::string& name) {
  char path[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), path, sizeof path - 1);
  if (n <= 0) return false;
  path[n] = '\0';
  const char* base = std::strrchr(path, '/');
  return name == (base != nullptr ? base + 1 : path);
}

int cut(int fd, off_t length) {
  static const auto real = reinterpret_cast<Ftruncate>(::dlsym(RTLD_NEXT, "ftruncate"));
  static int seen = 0;
  const char* setting = std::getenv("ZEPH_KILL_AFTER_TRUNCATE");
  char name[256] = {};
  int nth = 0;
  if (setting == nullptr || std::sscanf(setting, "%255s %d", name, &nth) != 2 || !names_file(fd, name) || ++seen != nth)
    return real(fd, length);
  struct stat st {};
  ::fstat(fd, &st);
  if (FILE* f = std::fopen((std::string(name) + ".size").c_str(), "w")) {
    std::fprintf(f, "%lld\n", static_cast<long long>(st.st_size));
    std::fclose(f);
  }
  const int rc = real(fd, length);
  ::kill(::getpid(), SIGKILL);
  return rc;
}

}  // namespace

extern "C" int ftruncate(int fd, off_t length) { return cut(fd, length); }
extern "C" int ftruncate64(int fd, off_t length) { return cut(fd, length); }
