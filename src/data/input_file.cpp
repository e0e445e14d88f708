#include "data/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <system_error>
#include <utility>

namespace vortana {

namespace {

std::string ReasonFromErrno(int error) { return std::generic_category().message(error); }

std::function<void(const std::string&)>& BeforeOpenHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

}  // namespace

void SetBeforeOpenHookForTesting(std::function<void(const std::string& name)> hook) {
  BeforeOpenHook() = std::move(hook);
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), name_(std::move(other.name_)), size_(other.size_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    name_ = std::move(other.name_);
    size_ = other.size_;
  }
  return *this;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

InputFile InputFile::Open(const std::string& name, std::string& error) {
  InputFile input;
  input.name_ = name;
  if (const auto& hook = BeforeOpenHook()) hook(name);
  // Opened first and then looked at, so that what is checked is what is read: a check by name
  // before the open can be outrun by a file swapped in between. Without O_NONBLOCK, opening a
  // named pipe waits for a writer, for ever if none comes.
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = name + " cannot be opened (" + ReasonFromErrno(errno) + ")";
    return input;
  }
  input.fd_ = fd;
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    error = name + " cannot be opened (" + ReasonFromErrno(errno) + ")";
    return InputFile();
  }
  if (S_ISDIR(status.st_mode)) {
    error = name + " is a folder, not a file";
    return InputFile();
  }
  if (!S_ISREG(status.st_mode)) {
    error = name + " is not a regular file";
    return InputFile();
  }
  // A regular file reads the same either way; blocking reads keep ReadExactly simple.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    error = name + " cannot be opened (" + ReasonFromErrno(errno) + ")";
    return InputFile();
  }
  input.size_ = static_cast<uint64_t>(status.st_size);
  return input;
}

std::string InputFile::ReadExactly(void* buffer, std::size_t count) {
  auto* next = static_cast<unsigned char*>(buffer);
  while (count > 0) {
    const ssize_t got = ::read(fd_, next, count);
    if (got < 0) {
      if (errno == EINTR) continue;
      return name_ + " could not be read (" + ReasonFromErrno(errno) + ")";
    }
    if (got == 0) return name_ + " became shorter while it was being read";
    next += got;
    count -= static_cast<std::size_t>(got);
  }
  return {};
}

std::string InputFile::Seek(uint64_t offset) {
  if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max()) ||
      ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    return name_ + " could not be read (" + ReasonFromErrno(errno) + ")";
  }
  return {};
}

std::string InputFile::SystemPath() const {
#if defined(__linux__)
  if (fd_ >= 0) return "/proc/self/fd/" + std::to_string(fd_);
#endif
  return {};
}

}  // namespace vortana
