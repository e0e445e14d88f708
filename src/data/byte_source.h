#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>

namespace vortana {

/// The bytes of one input, read from the start on: a file, or a buffer in memory. Readers see
/// only this, so that the same reader serves files, tests and the fuzzer.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  /// What messages call the input (a file's path).
  virtual const std::string& Name() const = 0;
  /// The size when the input was opened, so that an input too short for its header is refused
  /// before anything is allocated.
  virtual uint64_t Size() const = 0;
  /// Reads the next `count` bytes or explains why not, naming the input.
  [[nodiscard]] virtual std::string ReadExactly(void* buffer, std::size_t count) = 0;
  /// Moves to `offset` bytes from the start (at most Size()), so that a reader of a format with
  /// an index (a zip archive) reads only the parts it needs; returns the failure or nothing.
  [[nodiscard]] virtual std::string Seek(uint64_t offset) = 0;
  /// A name under which a library that reads files itself opens this very input (the opened
  /// file, even if its path has changed since); empty for an input that is no file.
  virtual std::string SystemPath() const { return {}; }
};

/// Where a reader opens the inputs of a data set by name; a data set may be several inputs (the
/// grid and data files of a pair).
class ByteStore {
 public:
  virtual ~ByteStore() = default;

  /// Opens `name`; on failure returns nullptr and sets `error`, naming the input and the reason.
  virtual std::unique_ptr<ByteSource> Open(const std::string& name, std::string& error) = 0;
};

/// The file system: each name is a path, opened as InputFile opens it.
class FileStore final : public ByteStore {
 public:
  std::unique_ptr<ByteSource> Open(const std::string& name, std::string& error) override;
};

/// Buffers in memory under names. The buffers are not copied: they must outlive every source
/// opened from them.
class MemoryStore final : public ByteStore {
 public:
  void Add(const std::string& name, std::span<const unsigned char> bytes);
  /// A name never added cannot be opened, as a missing file cannot.
  std::unique_ptr<ByteSource> Open(const std::string& name, std::string& error) override;

 private:
  std::map<std::string, std::span<const unsigned char>> buffers_;
};

}  // namespace vortana
