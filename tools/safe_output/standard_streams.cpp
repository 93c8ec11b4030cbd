#include "tools/safe_output/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tobrisk {
namespace {

bool standardOutputClosed = false;

#ifdef _WIN32
constexpr const char* kNullDevice = "NUL";
#else
constexpr const char* kNullDevice = "/dev/null";
#endif

}  // namespace

#ifdef _WIN32
// -2: the descriptor was given no handle at start, as for a program started without one.
bool DescriptorIsClosed(int descriptor) {
  const intptr_t handle = ::_get_osfhandle(descriptor);
  return handle == -1 || handle == -2;
}
#else
bool DescriptorIsClosed(int descriptor) { return ::fcntl(descriptor, F_GETFD) == -1 && errno == EBADF; }
#endif

bool OpenClosedStandardStreams() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (!DescriptorIsClosed(descriptor)) continue;
    const int opened = ::open(kNullDevice, descriptor == 0 ? O_RDONLY : O_WRONLY);
    if (opened < 0) return false;
    if (opened != descriptor) {  // a lower one was open: move it into place
      const bool moved = ::dup2(opened, descriptor) == descriptor;
      ::close(opened);
      if (!moved) return false;
    }
    if (descriptor == STDOUT_FILENO) standardOutputClosed = true;
  }
#ifdef _WIN32
  // Bytes as written: a PNG on standard output must not gain a carriage
  // return before each line feed, and messages read as on every system.
  ::_setmode(STDOUT_FILENO, _O_BINARY);
  ::_setmode(STDERR_FILENO, _O_BINARY);
#endif
  return true;
}

bool StandardOutputWasClosed() { return standardOutputClosed; }

int PrintToStandardOutput(std::string_view program, std::string_view text) {
  int error = standardOutputClosed ? EBADF : 0;
  if (error == 0) {
    errno = 0;
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) error = errno != 0 ? errno : EIO;
  }
  if (error == 0) return 0;
  std::fprintf(stderr, "%.*s: cannot write standard output: %s\n", static_cast<int>(program.size()), program.data(),
               std::strerror(error));
  return 1;
}

}  // namespace tobrisk
