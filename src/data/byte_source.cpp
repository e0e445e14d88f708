#include "data/byte_source.h"

#include <algorithm>
#include <cstring>

#include "data/input_file.h"

namespace vortana {

namespace {

class MemorySource final : public ByteSource {
 public:
  MemorySource(std::string name, std::span<const unsigned char> bytes)
      : name_(std::move(name)), bytes_(bytes) {}

  const std::string& Name() const override { return name_; }
  uint64_t Size() const override { return bytes_.size(); }
  std::string ReadExactly(void* buffer, std::size_t count) override {
    if (count > bytes_.size() - position_) {
      return name_ + " became shorter while it was being read";
    }
    if (count > 0) std::memcpy(buffer, bytes_.data() + position_, count);
    position_ += count;
    return {};
  }
  std::string Seek(uint64_t offset) override {
    if (offset > bytes_.size()) return name_ + " became shorter while it was being read";
    position_ = static_cast<std::size_t>(offset);
    return {};
  }

 private:
  std::string name_;
  std::span<const unsigned char> bytes_;
  std::size_t position_ = 0;
};

}  // namespace

std::unique_ptr<ByteSource> FileStore::Open(const std::string& name, std::string& error) {
  auto file = std::make_unique<InputFile>(InputFile::Open(name, error));
  if (!file->IsOpen()) return nullptr;
  return file;
}

void MemoryStore::Add(const std::string& name, std::span<const unsigned char> bytes) {
  buffers_[name] = bytes;
}

std::unique_ptr<ByteSource> MemoryStore::Open(const std::string& name, std::string& error) {
  const auto found = buffers_.find(name);
  if (found == buffers_.end()) {
    error = name + " cannot be opened (No such file or directory)";
    return nullptr;
  }
  return std::make_unique<MemorySource>(name, found->second);
}

}  // namespace vortana
