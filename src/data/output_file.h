#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace vortana {

/// One file written whole or not at all. The bytes go to a hidden temporary file in the target's
/// folder, which replaces the target only once it is complete and on disk; until then, and on
/// any failure, the target keeps its old content and the temporary is removed. /dev/null is
/// written directly. A target that exists and is not a regular file (a folder, a named pipe, a
/// device) is refused before anything is created: writing into a pipe waits for a reader.
///
/// Failures are sticky: the first one is kept and every later call does nothing, so a writer may
/// write all its parts and look once, at Commit. Every failure reads "cannot write KIND TARGET
/// (reason)", KIND saying what the file is to the user ("the PNG file").
class OutputFile {
 public:
  static OutputFile Create(const std::string& target, std::string_view kind = {});

  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  /// Abandons the file unless it was committed.
  ~OutputFile();

  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }

  void Write(const void* bytes, std::size_t count);
  void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }

  /// For a library that writes to a stream of its own accord; null once the file has failed.
  /// A stream error is found at Finish; a failure the library reports goes to Fail.
  std::FILE* Stream() const { return Failed() ? nullptr : stream_; }
  void Fail(std::string_view reason);

  /// Flushes, syncs and closes the temporary, keeping it; returns the failure, or nothing. Files
  /// that are to appear together are all finished first, then all committed.
  [[nodiscard]] std::string Finish();
  /// Finishes, then puts the file in place of the target; returns the failure, or nothing.
  [[nodiscard]] std::string Commit();
  /// Drops what was written: the target stays as it was.
  void Abandon();

 private:
  OutputFile() = default;
  void FailWithErrno(int error);
  void CloseStream();

  std::string target_;     // where the file goes, links resolved
  std::string shownName_;  // the target as the caller named it
  std::string kind_;
  std::string temporary_;  // empty when writing the target directly, or nothing is left to remove
  std::FILE* stream_ = nullptr;
  bool finished_ = false;
  bool committed_ = false;
  std::string error_;
};

/// Writes `bytes` as the whole of `target`; returns the failure, or nothing.
[[nodiscard]] std::string WriteWholeFile(const std::string& target, std::string_view kind,
                                         std::string_view bytes);

/// Why `target` cannot be an output file, or nothing: it exists and is not a regular file (nor
/// /dev/null). Lets a program refuse an output before it starts on the work.
std::string NonRegularOutputReason(const std::string& target);

/// Whether both paths name one existing file (the same device and inode, links followed).
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace vortana
