// Loading a 2048 x 2048 float32 field from a NumPy .npz archive (stored, as np.savez writes)
// and from VTK XML ImageData and RectilinearGrid files (appended raw, uncompressed), each
// against one raw read of the same file's bytes, with the file in the page cache (cold:0) and
// read from the disk (cold:1).

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "data/field_reader.h"
#include "file_reads.h"
#include "data/flow_field.h"

namespace vortana {
namespace {

constexpr int kSide = 2048;

std::string Le16(uint16_t v) { return {char(v & 0xFF), char(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(uint16_t(v & 0xFFFF)) + Le16(uint16_t(v >> 16)); }

std::string FloatBytes(const std::vector<float>& values) {
  return std::string(reinterpret_cast<const char*>(values.data()), values.size() * 4);
}

/// A .npy array of float32 values, C order, version 1.0.
std::string Npy(const std::vector<float>& values, const std::string& shape) {
  std::string dict = "{'descr': '<f4', 'fortran_order': False, 'shape': " + shape + ", }";
  while ((10 + dict.size() + 1) % 64 != 0) dict += ' ';
  dict += '\n';
  return std::string("\x93NUMPY\x01\x00", 8) + Le16(uint16_t(dict.size())) + dict +
         FloatBytes(values);
}

/// A zip archive of stored entries, as np.savez writes one.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string body, directory;
  for (const auto& [name, data] : entries) {
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    const std::string common = Le16(20) + Le16(0) + Le16(0) + Le16(0) + Le16(0x21) + Le32(crc) +
                               Le32(uint32_t(data.size())) + Le32(uint32_t(data.size())) +
                               Le16(uint16_t(name.size())) + Le16(0);
    const uint32_t offset = uint32_t(body.size());
    body += "PK\x03\x04" + common + name + data;
    directory += "PK\x01\x02" + Le16(20) + common + Le16(0) + Le16(0) + Le16(0) + Le32(0) +
                 Le32(offset) + name;
  }
  const uint16_t n = uint16_t(entries.size());
  return body + directory + "PK\x05\x06" + Le16(0) + Le16(0) + Le16(n) + Le16(n) +
         Le32(uint32_t(directory.size())) + Le32(uint32_t(body.size())) + Le16(0);
}

/// VTK XML with every array appended raw, UInt32 size words.
std::string VtkAppended(const std::string& kind, const std::string& geometry,
                        const std::vector<std::pair<std::string, std::string>>& coordinates,
                        const std::string& velocity) {
  const std::string extent =
      "0 " + std::to_string(kSide - 1) + " 0 " + std::to_string(kSide - 1) + " 0 0";
  std::string appended = Le32(uint32_t(velocity.size())) + velocity;
  std::string coordinateXml;
  for (const auto& [name, bytes] : coordinates) {
    coordinateXml += "<DataArray type=\"Float32\" Name=\"" + name +
                     "\" format=\"appended\" offset=\"" + std::to_string(appended.size()) +
                     "\"/>\n";
    appended += Le32(uint32_t(bytes.size())) + bytes;
  }
  return "<?xml version=\"1.0\"?>\n<VTKFile type=\"" + kind +
         "\" version=\"1.0\" byte_order=\"LittleEndian\" header_type=\"UInt32\">\n<" + kind +
         " WholeExtent=\"" + extent + "\"" + geometry + ">\n<Piece Extent=\"" + extent +
         "\">\n<PointData Vectors=\"velocity\">\n<DataArray type=\"Float32\" Name=\"velocity\" "
         "NumberOfComponents=\"3\" format=\"appended\" offset=\"0\"/>\n</PointData>\n" +
         (coordinateXml.empty() ? "" : "<Coordinates>\n" + coordinateXml + "</Coordinates>\n") +
         "</Piece>\n</" + kind + ">\n<AppendedData encoding=\"raw\">\n_" + appended +
         "\n</AppendedData>\n</VTKFile>\n";
}

/// The field in each format on disk, written once per run and removed at exit.
class FormatsOnDisk {
 public:
  FormatsOnDisk() {
    folder_ = std::filesystem::temp_directory_path() /
              ("vortana-formats-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    std::vector<float> axis(kSide), u(std::size_t{kSide} * kSide), v(u.size()),
        velocity(3 * u.size());
    for (int i = 0; i < kSide; ++i) axis[i] = static_cast<float>(i) / (kSide - 1);
    for (std::size_t k = 0; k < u.size(); ++k) {
      const float x = axis[k % kSide];
      const float y = axis[k / kSide];
      u[k] = velocity[3 * k] = 0.5f - y;
      v[k] = velocity[3 * k + 1] = x - 0.5f;
    }
    const std::string side = std::to_string(kSide);
    Write("large.npz", StoredZip({{"x.npy", Npy(axis, "(" + side + ",)")},
                                  {"y.npy", Npy(axis, "(" + side + ",)")},
                                  {"u.npy", Npy(u, "(" + side + ", " + side + ")")},
                                  {"v.npy", Npy(v, "(" + side + ", " + side + ")")}}));
    const std::string spacing = std::to_string(1.0 / (kSide - 1));
    Write(
        "large.vti",
        VtkAppended("ImageData", " Origin=\"0 0 0\" Spacing=\"" + spacing + " " + spacing + " 1\"",
                    {}, FloatBytes(velocity)));
    Write("large.vtr",
          VtkAppended("RectilinearGrid", "",
                      {{"x", FloatBytes(axis)}, {"y", FloatBytes(axis)}, {"z", FloatBytes({0.0f})}},
                      FloatBytes(velocity)));
  }
  ~FormatsOnDisk() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

 private:
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary)
        .write(bytes.data(), std::streamsize(bytes.size()));
  }
  std::filesystem::path folder_;
};

const FormatsOnDisk& Formats() {
  static const FormatsOnDisk formats;
  return formats;
}

void BM_Load(benchmark::State& state, const char* name) {
  const std::string path = Formats().Path(name);
  for (auto _ : state) {
    PrepareRead(state, path);
    const LoadResult loaded = LoadDataSet(path);
    if (!loaded.Ok()) {
      state.SkipWithError(loaded.Message().c_str());
      return;
    }
    benchmark::DoNotOptimize(loaded.Field()->Stats().maxSpeed);
  }
  state.SetBytesProcessed(state.iterations() * int64_t(std::filesystem::file_size(path)));
}

void BM_ReadRaw(benchmark::State& state, const char* name) {
  ReadRawFile(state, Formats().Path(name));
}

BENCHMARK_CAPTURE(BM_Load, npz, "large.npz")->Apply(CachedAndCold);
BENCHMARK_CAPTURE(BM_ReadRaw, npz, "large.npz")->Apply(CachedAndCold);
BENCHMARK_CAPTURE(BM_Load, vti, "large.vti")->Apply(CachedAndCold);
BENCHMARK_CAPTURE(BM_ReadRaw, vti, "large.vti")->Apply(CachedAndCold);
BENCHMARK_CAPTURE(BM_Load, vtr, "large.vtr")->Apply(CachedAndCold);
BENCHMARK_CAPTURE(BM_ReadRaw, vtr, "large.vtr")->Apply(CachedAndCold);

}  // namespace
}  // namespace vortana
