#include <zip.h>

#include <memory>
#include <vector>

#include "data/array_writers.h"
#include "data/gridded_steps.h"
#include "data/little_endian.h"
#include "data/output_file.h"

namespace vortana {

namespace {

/// One .npy file (format 1.0): magic, version, header length, a header dictionary padded with
/// spaces to a multiple of 64 bytes with its newline, then little-endian float32 values.
std::string NpyBytes(const std::vector<float>& values, const std::vector<std::size_t>& shape) {
  std::string dims;
  for (std::size_t n : shape) dims += std::to_string(n) + ", ";
  if (shape.size() > 1) dims.resize(dims.size() - 2);  // a 1-tuple keeps its comma: (4,)
  else dims.pop_back();
  std::string header = "{'descr': '<f4', 'fortran_order': False, 'shape': (" + dims + "), }";
  const std::size_t preamble = 10;
  const std::size_t total = (preamble + header.size() + 1 + 63) / 64 * 64;
  header.append(total - preamble - header.size() - 1, ' ');
  header += '\n';
  std::string bytes = "\x93NUMPY";
  bytes += '\x01';
  bytes += '\x00';
  bytes += static_cast<char>(header.size() & 0xff);
  bytes += static_cast<char>(header.size() >> 8);
  bytes += header;
  const std::size_t start = bytes.size();
  bytes.resize(start + 4 * values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    StoreFloatLE(values[i], reinterpret_cast<unsigned char*>(&bytes[start + 4 * i]));
  }
  return bytes;
}

std::string ZipErrorText(zip_error_t* error) { return zip_error_strerror(error); }

/// The archive as bytes, built by libzip in memory; throws the reason as a string.
std::string ZipInMemory(const std::vector<std::pair<std::string, std::string>>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!buffer) throw ZipErrorText(&error);
  zip_source_keep(buffer);
  const std::unique_ptr<zip_source_t, decltype(&zip_source_free)> keep(buffer, zip_source_free);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  if (!archive) throw ZipErrorText(&error);
  for (const auto& [name, bytes] : entries) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    const zip_int64_t index =
        source ? zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      if (source) zip_source_free(source);
      const std::string reason = zip_strerror(archive);
      zip_discard(archive);
      throw reason;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  if (zip_close(archive) != 0) {
    const std::string reason = zip_strerror(archive);
    zip_discard(archive);
    throw reason;
  }
  zip_stat_t stat;
  if (zip_source_stat(buffer, &stat) != 0 || zip_source_open(buffer) != 0) {
    throw std::string("cannot read back the archive");
  }
  std::string bytes(static_cast<std::size_t>(stat.size), '\0');
  const zip_int64_t read = zip_source_read(buffer, bytes.data(), bytes.size());
  zip_source_close(buffer);
  if (read != static_cast<zip_int64_t>(bytes.size())) {
    throw std::string("cannot read back the archive");
  }
  return bytes;
}

}  // namespace

std::string WriteNpzFile(const std::string& target, const GriddedSteps& steps) {
  std::vector<std::size_t> shape;
  if (steps.Steps() > 1) shape.push_back(static_cast<std::size_t>(steps.Steps()));
  if (steps.HasZ()) shape.push_back(steps.Zs().size());
  shape.push_back(steps.Ys().size());
  shape.push_back(steps.Xs().size());
  std::vector<std::pair<std::string, std::string>> entries;
  entries.emplace_back("x.npy", NpyBytes(steps.Xs(), {steps.Xs().size()}));
  entries.emplace_back("y.npy", NpyBytes(steps.Ys(), {steps.Ys().size()}));
  if (steps.HasZ()) entries.emplace_back("z.npy", NpyBytes(steps.Zs(), {steps.Zs().size()}));
  entries.emplace_back("u.npy", NpyBytes(steps.U(), shape));
  entries.emplace_back("v.npy", NpyBytes(steps.V(), shape));
  if (steps.HasW()) entries.emplace_back("w.npy", NpyBytes(steps.W(), shape));
  if (steps.ScalarCount() >= 1) entries.emplace_back("pressure.npy", NpyBytes(steps.Pressure(), shape));
  if (steps.ScalarCount() >= 2) {
    entries.emplace_back("vorticity.npy", NpyBytes(steps.Vorticity(), shape));
  }
  std::string bytes;
  try {
    bytes = ZipInMemory(entries);
  } catch (const std::string& reason) {
    return "cannot write the NumPy file " + target + " (" + reason + ")";
  }
  return WriteWholeFile(target, "the NumPy file", bytes);
}

}  // namespace vortana
