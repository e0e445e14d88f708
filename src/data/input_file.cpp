#include "data/input_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace vortana {

namespace {

std::string ReasonFromErrno(int error) { return std::generic_category().message(error); }

}  // namespace

InputFile InputFile::Open(const std::string& name, std::string& error) {
  InputFile input;
  input.name_ = name;
  // Looked at before it is opened: opening a named pipe for reading waits for a writer, for ever
  // if none comes, and a folder opens for reading on some systems. Neither is a data set file.
  // A path that cannot be looked at is left to the open, which says why.
  std::error_code ec;
  const auto status = std::filesystem::status(name, ec);
  if (!ec && std::filesystem::is_directory(status)) {
    error = name + " is a folder, not a file";
    return input;
  }
  if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    error = name + " is not a regular file";
    return input;
  }
  errno = 0;
  input.file_.reset(std::fopen(name.c_str(), "rb"));
  if (!input.file_) {
    const int reason = errno;
    error = name + " cannot be opened" + (reason ? " (" + ReasonFromErrno(reason) + ")" : "");
    return input;
  }
  input.size_ = std::filesystem::file_size(name, ec);
  if (ec) {
    error = name + " cannot be opened (" + ec.message() + ")";
    input.file_.reset();
  }
  return input;
}

std::string InputFile::ReadExactly(void* buffer, std::size_t count) {
  errno = 0;
  const std::size_t got = std::fread(buffer, 1, count, file_.get());
  if (got == count) return {};
  if (std::ferror(file_.get())) {
    const int reason = errno;
    return name_ + " could not be read" + (reason ? " (" + ReasonFromErrno(reason) + ")" : "");
  }
  return name_ + " became shorter while it was being read";
}

}  // namespace vortana
