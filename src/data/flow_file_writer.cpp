#include "data/flow_file_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "data/base_name.h"
#include "data/flow_field.h"
#include "data/little_endian.h"

namespace vortana {

namespace {

/// Nodes encoded before each write call.
constexpr std::size_t kNodesPerBlock = 1 << 16;

class OutputFile {
 public:
  explicit OutputFile(std::string name) : name_(std::move(name)) {
    errno = 0;
    file_.reset(std::fopen(name_.c_str(), "wb"));
    if (!file_) error_ = name_ + " cannot be created" + Reason();
  }

  void Write(const unsigned char* bytes, std::size_t count) {
    if (!error_.empty()) return;
    errno = 0;
    if (std::fwrite(bytes, 1, count, file_.get()) != count) {
      error_ = name_ + " could not be written" + Reason();
    }
  }

  /// Closes the file and returns the first failure, or nothing.
  std::string Finish() {
    if (file_) {
      errno = 0;
      const bool closed = std::fclose(file_.release()) == 0;
      if (!closed && error_.empty()) error_ = name_ + " could not be written" + Reason();
    }
    return error_;
  }

 private:
  static std::string Reason() {
    const int error = errno;
    return error ? " (" + std::generic_category().message(error) + ")" : "";
  }

  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  std::string name_;
  std::unique_ptr<std::FILE, Closer> file_;
  std::string error_;
};

void AppendFloat(std::vector<unsigned char>& bytes, float value) {
  unsigned char encoded[4];
  StoreFloatLE(value, encoded);
  bytes.insert(bytes.end(), encoded, encoded + 4);
}

}  // namespace

std::string WriteFlowFiles(const std::string& baseName, int width, int height, int depth,
                           int scalarCount, const std::vector<GridPoint>& nodes) {
  if (width < 0 || height < 0 || depth < 0 ||
      nodes.size() != static_cast<uint64_t>(int64_t{width} * height * depth)) {
    return "the nodes do not fill a grid of " + std::to_string(width) + " x " +
           std::to_string(height) + " x " + std::to_string(depth);
  }
  char header[kGridHeaderBytes + 1];
  const int length = std::snprintf(header, sizeof header, "SN4DB %d %d %d %d 0 0.0", width, height,
                                   depth, scalarCount);
  if (length < 0 || static_cast<std::size_t>(length) > kGridHeaderBytes) {
    return "the grid header would not fit in " + std::to_string(kGridHeaderBytes) + " bytes";
  }
  std::fill(header + length, header + kGridHeaderBytes, ' ');

  OutputFile grid(GridFileName(baseName));
  OutputFile data(DataFileName(baseName));
  grid.Write(reinterpret_cast<const unsigned char*>(header), kGridHeaderBytes);

  std::vector<unsigned char> gridBytes;
  std::vector<unsigned char> dataBytes;
  for (std::size_t first = 0; first < nodes.size(); first += kNodesPerBlock) {
    gridBytes.clear();
    dataBytes.clear();
    const std::size_t last = std::min(nodes.size(), first + kNodesPerBlock);
    for (std::size_t i = first; i < last; ++i) {
      const GridPoint& node = nodes[i];
      AppendFloat(gridBytes, node.position.x);
      AppendFloat(gridBytes, node.position.y);
      AppendFloat(gridBytes, node.position.z);
      AppendFloat(dataBytes, node.velocity.x);
      AppendFloat(dataBytes, node.velocity.y);
      AppendFloat(dataBytes, node.velocity.z);
      for (int s = 0; s < scalarCount; ++s) {
        AppendFloat(dataBytes, s == 0 ? node.scalar0 : s == 1 ? node.scalar1 : 0.0f);
      }
    }
    grid.Write(gridBytes.data(), gridBytes.size());
    data.Write(dataBytes.data(), dataBytes.size());
  }
  const std::string gridError = grid.Finish();
  const std::string dataError = data.Finish();
  return !gridError.empty() ? gridError : dataError;
}

}  // namespace vortana
