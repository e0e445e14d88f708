#include "data/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <system_error>
#include <utility>

namespace vortana {

namespace {

bool IsDevNull(const struct stat& status) {
  struct stat null {};
  return ::stat("/dev/null", &null) == 0 && status.st_dev == null.st_dev &&
         status.st_ino == null.st_ino;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The temporary's name may not be longer than the target's folder allows, even where the
// target's own name only just fits.
constexpr std::size_t kTemporaryStemBytes = 200;

std::string TemporaryName(const std::string& folder, const std::string& fileName) {
  thread_local std::mt19937 random{std::random_device{}()};
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name = folder + "/." + fileName.substr(0, kTemporaryStemBytes) + ".";
  for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
  return name;
}

}  // namespace

std::string NonRegularOutputReason(const std::string& target) {
  struct stat status {};
  if (::stat(target.c_str(), &status) != 0) return {};
  if (S_ISREG(status.st_mode) || IsDevNull(status)) return {};
  if (S_ISDIR(status.st_mode)) return "it is a folder";
  return "it is not a regular file";
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

OutputFile OutputFile::Create(const std::string& target, std::string_view kind) {
  OutputFile file;
  file.shownName_ = target;
  file.kind_ = kind;
  file.target_ = target;
  if (target.empty()) {
    file.FailWithErrno(ENOENT);
    return file;
  }
  if (const std::string reason = NonRegularOutputReason(target); !reason.empty()) {
    file.Fail(reason);
    return file;
  }

  struct stat status {};
  const bool exists = ::stat(target.c_str(), &status) == 0;
  if (!exists && errno != ENOENT) {
    file.FailWithErrno(errno);  // a path through a file, a loop of links, no permission
    return file;
  }
  if (exists && IsDevNull(status)) {
    errno = 0;
    file.stream_ = std::fopen(target.c_str(), "wb");
    if (!file.stream_) file.FailWithErrno(errno);
    return file;
  }
  if (exists) {
    // Through a link the file it names is replaced, and the link stays.
    if (char* resolved = ::realpath(target.c_str(), nullptr)) {
      file.target_ = resolved;
      std::free(resolved);
    }
  }

  const std::string folder = FolderOf(file.target_);
  const std::string fileName = FileNameOf(file.target_);
  const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  if (fileName.size() > static_cast<std::size_t>(nameMax > 0 ? nameMax : NAME_MAX)) {
    file.FailWithErrno(ENAMETOOLONG);
    return file;
  }
  int descriptor = -1;
  for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
    file.temporary_ = TemporaryName(folder, fileName);
    descriptor = ::open(file.temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0 && errno != EEXIST) break;
  }
  if (descriptor < 0) {
    file.temporary_.clear();
    file.FailWithErrno(errno);
    return file;
  }
  // A replaced file keeps its permissions; a new one gets what the umask allows, as from fopen.
  if (exists) (void)::fchmod(descriptor, status.st_mode & 07777);
  file.stream_ = ::fdopen(descriptor, "wb");
  if (!file.stream_) {
    const int error = errno;
    ::close(descriptor);
    file.FailWithErrno(error);
  }
  return file;
}

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    if (!committed_) Abandon();
    target_ = std::move(other.target_);
    shownName_ = std::move(other.shownName_);
    kind_ = std::move(other.kind_);
    temporary_ = std::exchange(other.temporary_, {});
    stream_ = std::exchange(other.stream_, nullptr);
    finished_ = other.finished_;
    committed_ = std::exchange(other.committed_, true);
    error_ = std::move(other.error_);
  }
  return *this;
}

OutputFile::~OutputFile() {
  if (!committed_) Abandon();
}

void OutputFile::Fail(std::string_view reason) {
  if (!Failed()) {
    error_ = "cannot write ";
    if (!kind_.empty()) error_ += kind_ + " ";
    error_ += shownName_ + " (" + std::string(reason) + ")";
  }
  CloseStream();
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

void OutputFile::FailWithErrno(int error) {
  Fail(std::generic_category().message(error != 0 ? error : EIO));
}

void OutputFile::CloseStream() {
  if (stream_) std::fclose(std::exchange(stream_, nullptr));
}

void OutputFile::Write(const void* bytes, std::size_t count) {
  if (Failed() || finished_ || count == 0) return;
  errno = 0;
  if (std::fwrite(bytes, 1, count, stream_) != count) FailWithErrno(errno);
}

std::string OutputFile::Finish() {
  if (finished_ || Failed()) {
    finished_ = true;
    return error_;
  }
  finished_ = true;
  errno = 0;
  // A failure while a library wrote through Stream() left only the error flag; the flush tries
  // what is still buffered again and so learns the reason.
  const bool streamFailed = std::ferror(stream_) != 0;
  if (std::fflush(stream_) != 0 || streamFailed) {
    FailWithErrno(errno);
    return error_;
  }
  // Only a file on disk is a whole file: a full disk or a failing device may show only here.
  if (!temporary_.empty() && ::fsync(::fileno(stream_)) != 0 && errno != EINVAL) {
    FailWithErrno(errno);
    return error_;
  }
  errno = 0;
  const bool closed = std::fclose(std::exchange(stream_, nullptr)) == 0;
  if (!closed) FailWithErrno(errno);
  return error_;
}

std::string OutputFile::Commit() {
  if (!Finish().empty()) return error_;
  if (committed_) return {};
  if (!temporary_.empty()) {
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
      FailWithErrno(errno);
      return error_;
    }
    temporary_.clear();
    // The new name lasts only once the folder holding it is on disk too.
    const int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      (void)::fsync(folder);
      ::close(folder);
    }
  }
  committed_ = true;
  return {};
}

void OutputFile::Abandon() {
  if (committed_) return;
  Fail("the file was abandoned before it was complete");
}

std::string WriteWholeFile(const std::string& target, std::string_view kind,
                           std::string_view bytes) {
  OutputFile file = OutputFile::Create(target, kind);
  file.Write(bytes);
  return file.Commit();
}

}  // namespace vortana
