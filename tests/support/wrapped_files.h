#pragma once

#include <functional>
#include <memory>
#include <string>

#include "data/byte_source.h"

namespace vortana::testing {

/// A source that hands every call to the file it wraps, for a test that changes one thing about
/// how a reader sees a file (counts its reads, hides its system path).
class ForwardingSource : public ByteSource {
 public:
  explicit ForwardingSource(std::unique_ptr<ByteSource> file) : file_(std::move(file)) {}
  const std::string& Name() const override { return file_->Name(); }
  uint64_t Size() const override { return file_->Size(); }
  std::string ReadExactly(void* buffer, std::size_t count) override {
    return file_->ReadExactly(buffer, count);
  }
  std::string Seek(uint64_t offset) override { return file_->Seek(offset); }
  std::string SystemPath() const override { return file_->SystemPath(); }

 private:
  std::unique_ptr<ByteSource> file_;
};

/// Files, each opened as FileStore opens it and handed to `wrap`.
class WrappingStore final : public ByteStore {
 public:
  using Wrap = std::function<std::unique_ptr<ByteSource>(std::unique_ptr<ByteSource>)>;
  explicit WrappingStore(Wrap wrap) : wrap_(std::move(wrap)) {}
  std::unique_ptr<ByteSource> Open(const std::string& name, std::string& error) override {
    std::unique_ptr<ByteSource> file = files_.Open(name, error);
    return file ? wrap_(std::move(file)) : nullptr;
  }

 private:
  FileStore files_;
  Wrap wrap_;
};

}  // namespace vortana::testing
