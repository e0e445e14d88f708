#include "data/npz_reader.h"

#include <zip.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "data/flow_field.h"
#include "data/large_pages.h"
#include "data/npy_header.h"
#include "data/rectilinear_grid.h"
#include "data/row_gate.h"

namespace vortana {

namespace {

/// Deflate turns no fewer than 1 byte into at most 1032 (its longest run per bit); an entry
/// that claims more than that of its compressed size is refused before anything is allocated.
constexpr uint64_t kMostInflation = 1032;
/// Values are converted in pieces of this many bytes, so that no copy of a whole array is made.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

/// A refusal from the thread that reads the bands: the whole message.
struct Refused {
  std::string message;
};
/// No honest header is longer; numpy itself writes a few hundred bytes.
constexpr std::size_t kLongestHeader = std::size_t{1} << 20;

struct ZipDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

/// The archive's bytes as libzip asks for them: only the directory and the entries opened are
/// read, so that one step of a long series costs that step's bytes, not the whole file's.
struct ArchiveReader {
  explicit ArchiveReader(ByteSource& source) : input(source) { zip_error_init(&error); }
  ~ArchiveReader() { zip_error_fini(&error); }
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  static zip_int64_t Call(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    return static_cast<ArchiveReader*>(self)->Do(data, length, command);
  }

  zip_int64_t Do(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_OPEN:
        return Move(0) ? 0 : -1;
      case ZIP_SOURCE_READ: {
        const uint64_t n = std::min<uint64_t>(length, input.Size() - position);
        if (n == 0) return 0;
        if (std::string failed = input.ReadExactly(data, static_cast<std::size_t>(n));
            !failed.empty()) {
          return Fail(failed);
        }
        position += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_CLOSE:
      case ZIP_SOURCE_FREE:
        return 0;
      case ZIP_SOURCE_STAT: {
        if (length < sizeof(zip_stat_t)) return -1;
        auto* stat = static_cast<zip_stat_t*>(data);
        zip_stat_init(stat);
        stat->size = input.Size();
        stat->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error, data, length);
      case ZIP_SOURCE_SEEK: {
        const zip_int64_t offset =
            zip_source_seek_compute_offset(position, input.Size(), data, length, &error);
        return offset >= 0 && Move(static_cast<uint64_t>(offset)) ? 0 : -1;
      }
      case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(position);
      case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_SEEKABLE;
      default:
        zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  bool Move(uint64_t offset) {
    if (std::string failed = input.Seek(offset); !failed.empty()) {
      Fail(failed);
      return false;
    }
    position = offset;
    return true;
  }

  zip_int64_t Fail(const std::string& why) {
    if (failure.empty()) failure = why;
    zip_error_set(&error, ZIP_ER_READ, EIO);
    return -1;
  }

  ByteSource& input;
  uint64_t position = 0;
  zip_error_t error;
  std::string failure;  // the input's own account of a failed read, for the message
};

std::string ShapeText(const std::vector<uint64_t>& shape) {
  if (shape.empty()) return "() (a single value)";
  std::string text;
  for (const uint64_t extent : shape) text += (text.empty() ? "" : " x ") + std::to_string(extent);
  return text;
}

/// One .npy array of the archive, read from its start to its end once.
class NpyEntry {
 public:
  NpyEntry(std::string archiveName, std::string arrayName)
      : archiveName_(std::move(archiveName)), arrayName_(std::move(arrayName)) {}

  /// Opens the entry of an archive of `archiveBytes` bytes and reads its header; returns the
  /// failure or nothing.
  std::string Open(zip_t* archive, zip_int64_t index, uint64_t archiveBytes) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
        (stat.valid & (ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE)) !=
            (ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE)) {
      return Fault("cannot be read: " + std::string(zip_strerror(archive)));
    }
    size_ = stat.size;
    stored_ = (stat.valid & ZIP_STAT_COMP_METHOD) != 0 && stat.comp_method == ZIP_CM_STORE;
    if (stat.comp_size > archiveBytes) {
      return Fault("claims " + std::to_string(stat.comp_size) +
                   " compressed bytes in an archive of " + std::to_string(archiveBytes));
    }
    if (size_ / kMostInflation > stat.comp_size) {
      return Fault("claims " + std::to_string(size_) + " bytes from " +
                   std::to_string(stat.comp_size) + " compressed; no compression packs so tight");
    }
    file_.reset(zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0));
    if (!file_) return Fault("cannot be read: " + std::string(zip_strerror(archive)));

    std::vector<unsigned char> header(std::min<uint64_t>(kNpyPreludeBytes, size_));
    if (auto error = Read(header.data(), header.size()); !error.empty()) return error;
    std::size_t headerEnd = 0;
    if (auto error = ParseNpyPrelude(header, headerEnd); !error.empty()) return Fault(error);
    if (headerEnd > kLongestHeader || headerEnd > size_) {
      return Fault("declares a header of " + std::to_string(headerEnd) + " bytes in an entry of " +
                   std::to_string(size_));
    }
    const std::size_t had = header.size();
    header.resize(headerEnd);
    if (auto error = Read(header.data() + had, headerEnd - had); !error.empty()) return error;
    if (auto error = ParseNpyHeader(header, header_); !error.empty()) return Fault(error);
    const uint64_t count = header_.Count();
    if (count > (size_ - headerEnd) / header_.itemBytes) {
      return Fault("has shape " + ShapeText(header_.shape) + " but holds " +
                   std::to_string((size_ - headerEnd) / header_.itemBytes) + " values");
    }
    headerEnd_ = headerEnd;
    position_ = 0;
    return {};
  }

  /// Kept without compression, so that it can be read from any point.
  bool Stored() const { return stored_; }

  /// Rows `firstRow` to `firstRow + count` of step `step` of `steps` of an array in C order
  /// (`rows` x `columns` a step) into `out`, as floats. Reads on from where the last read ended
  /// (a compressed entry inflates through what lies between); only a stored entry goes back.
  std::string ReadRows(uint64_t step, uint64_t steps, std::size_t rows, std::size_t columns,
                       std::size_t firstRow, std::size_t count, float* out,
                       std::vector<unsigned char>& chunk) {
    const std::size_t item = header_.itemBytes;
    const uint64_t target = (step * rows + firstRow) * columns * item;
    if (target < position_) {
      if (!stored_ || zip_fseek(file_.get(), static_cast<zip_int64_t>(headerEnd_ + target),
                                SEEK_SET) != 0) {
        return Fault("cannot be read: " + std::string(zip_error_strerror(
                                              zip_file_get_error(file_.get()))));
      }
      position_ = target;
    }
    if (auto error = Skip(target - position_, chunk); !error.empty()) return error;
    const std::size_t values = count * columns;
    if (item == sizeof(float) && header_.bigEndian == (std::endian::native == std::endian::big)) {
      // Floats of this machine: straight into place.
      if (auto error = Read(out, values * item); !error.empty()) return error;
    } else {
      const std::size_t chunkValues = chunk.size() / item;
      for (std::size_t done = 0; done < values;) {
        const std::size_t n = std::min(chunkValues, values - done);
        if (auto error = Read(chunk.data(), n * item); !error.empty()) return error;
        ConvertNpyValues(header_, chunk.data(), n, out + done);
        done += n;
      }
    }
    return step + 1 == steps && firstRow + count == rows ? ReadToEnd(chunk) : std::string();
  }

  const NpyHeader& Header() const { return header_; }
  const std::string& ArrayName() const { return arrayName_; }

  /// Values of the array's step `step` of `steps` (its first index in C order, its last in
  /// Fortran order), `rows` x `columns` of them, into `out` in C order.
  std::string ReadStep(uint64_t step, uint64_t steps, std::size_t rows, std::size_t columns,
                       std::vector<float>& out) {
    const std::size_t item = header_.itemBytes;
    const std::size_t perStep = rows * columns;
    ResizeOnLargePages(out, perStep);
    std::vector<unsigned char> chunk(std::min<std::size_t>(kChunkBytes, perStep * steps * item));
    const std::size_t chunkValues = chunk.size() / item;
    if (!header_.fortranOrder) {
      return ReadRows(step, steps, rows, columns, 0, rows, out.data(), chunk);
    }
    // Fortran order: the step varies fastest, then the row, then the column.
    std::size_t t = 0, r = 0, c = 0;
    const uint64_t total = perStep * steps;
    for (uint64_t done = 0; done < total;) {
      const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(chunkValues, total - done));
      if (auto error = Read(chunk.data(), n * item); !error.empty()) return error;
      for (std::size_t i = 0; i < n; ++i) {
        if (t == step) ConvertNpyValues(header_, chunk.data() + i * item, 1, &out[r * columns + c]);
        if (++t == steps) {
          t = 0;
          if (++r == rows) {
            r = 0;
            ++c;
          }
        }
      }
      done += n;
    }
    return ReadToEnd(chunk);
  }

 private:
  /// Reads on from the last value to the end of the entry, where libzip compares the checksum
  /// of an entry read from its start with the one the archive holds: a damaged entry is
  /// refused, not drawn. (An entry not read straight through from its start, a later step or
  /// bands from the last row, cannot be checked so.)
  std::string ReadToEnd(std::vector<unsigned char>& chunk) {
    for (;;) {
      const zip_int64_t got = zip_fread(file_.get(), chunk.data(), chunk.size());
      if (got == 0) return {};
      if (got < 0) {
        zip_error_t* error = zip_file_get_error(file_.get());
        if (zip_error_code_zip(error) == ZIP_ER_CRC) {
          return Fault("is damaged: its values do not match the archive's checksum (CRC-32)");
        }
        return Fault("cannot be read: " + std::string(zip_error_strerror(error)));
      }
    }
  }

  std::string Fault(const std::string& what) const {
    return archiveName_ + ": array " + arrayName_ + " " + what;
  }

  std::string Read(void* buffer, std::size_t count) {
    if (count == 0) return {};
    const zip_int64_t got = zip_fread(file_.get(), buffer, count);
    if (got != static_cast<zip_int64_t>(count)) {
      zip_error_t* error = zip_file_get_error(file_.get());
      return Fault(got < 0 ? "cannot be read: " + std::string(zip_error_strerror(error))
                           : "ends early");
    }
    position_ += count;
    return {};
  }

  /// Moves `count` bytes on: a stored entry seeks, a compressed one has to be inflated through.
  std::string Skip(uint64_t count, std::vector<unsigned char>& chunk) {
    if (count > 0 && stored_ && count <= static_cast<uint64_t>(INT64_MAX)) {
      if (zip_fseek(file_.get(), static_cast<zip_int64_t>(count), SEEK_CUR) == 0) {
        position_ += count;
        return {};
      }
      zip_error_t* error = zip_file_get_error(file_.get());
      return Fault("cannot be read: " + std::string(zip_error_strerror(error)));
    }
    while (count > 0) {
      const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(count, chunk.size()));
      if (auto error = Read(chunk.data(), n); !error.empty()) return error;
      count -= n;
    }
    return {};
  }

  std::string archiveName_;
  std::string arrayName_;
  uint64_t size_ = 0;
  bool stored_ = false;
  std::size_t headerEnd_ = 0;  // where the values start in the entry
  uint64_t position_ = 0;      // where the next read starts, in bytes after headerEnd_
  std::unique_ptr<zip_file_t, ZipFileClose> file_;
  NpyHeader header_;
};

/// The archive of one load: its entries by array name.
class NpzArchive {
 public:
  explicit NpzArchive(std::string name) : name_(std::move(name)) {}

  /// Opens the archive in `input`, which must outlive it: entries are read from it on demand.
  std::string Open(ByteSource& input) {
    bytes_ = input.Size();
    zip_error_t error;
    zip_error_init(&error);
    reader_ = std::make_unique<ArchiveReader>(input);
    zip_source_t* source = zip_source_function_create(&ArchiveReader::Call, reader_.get(), &error);
    if (source != nullptr) {
      archive_.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
      if (!archive_) zip_source_free(source);
    }
    std::string reason = archive_ ? "" : zip_error_strerror(&error);
    zip_error_fini(&error);
    if (!archive_) {
      if (!reader_->failure.empty()) return reader_->failure;
      return name_ + " is not a zip archive as np.savez writes: " + reason;
    }
    const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      const char* entry = zip_get_name(archive_.get(), static_cast<zip_uint64_t>(i), 0);
      const std::string_view entryName = entry != nullptr ? entry : "";
      if (entryName.ends_with(".npy")) {
        arrays_.emplace_back(entryName.substr(0, entryName.size() - 4), i);
      }
    }
    return {};
  }

  std::optional<zip_int64_t> Find(std::string_view array) const {
    for (const auto& [name, index] : arrays_) {
      if (name == array) return index;
    }
    return std::nullopt;
  }

  /// "x, y, speed", or "no arrays".
  std::string ArrayList() const {
    std::string list;
    for (const auto& entry : arrays_) list += (list.empty() ? "" : ", ") + entry.first;
    return list.empty() ? "no arrays" : list;
  }

  /// Opens `array`, or says it is missing when `required`; an optional one that is missing
  /// leaves `entry` empty.
  std::string OpenArray(const std::string& array, bool required, std::optional<NpyEntry>& entry) {
    const std::optional<zip_int64_t> index = Find(array);
    if (!index) {
      return required ? name_ + " holds no array " + array + " (it holds " + ArrayList() + ")"
                      : std::string();
    }
    entry.emplace(name_, array);
    return entry->Open(archive_.get(), *index, bytes_);
  }

 private:
  std::string name_;
  uint64_t bytes_ = 0;
  std::unique_ptr<ArchiveReader> reader_;  // declared first, so that the archive closes first
  std::unique_ptr<zip_t, ZipDiscard> archive_;
  std::vector<std::pair<std::string, zip_int64_t>> arrays_;
};

/// The shape of u: rows and columns, and the steps before them.
struct FieldShapeOfU {
  uint64_t steps = 1;
  uint64_t rows = 0;
  uint64_t columns = 0;
};

std::string CheckShapeOfU(const std::string& name, const NpyHeader& header, FieldShapeOfU& shape) {
  const std::vector<uint64_t>& s = header.shape;
  if (s.size() != 2 && s.size() != 3) {
    return name + ": array u has shape " + ShapeText(s) +
           "; a field is rows x columns, or steps x rows x columns";
  }
  if (s.size() == 3) shape.steps = s[0];
  shape.rows = s[s.size() - 2];
  shape.columns = s[s.size() - 1];
  for (const auto& [what, extent] : {std::pair{"rows", shape.rows}, {"columns", shape.columns}}) {
    if (extent < 2 || extent > static_cast<uint64_t>(kMaxDimension)) {
      return name + ": array u has shape " + ShapeText(s) + "; a field has 2 to " +
             std::to_string(kMaxDimension) + " " + what;
    }
  }
  if (shape.steps == 0) return name + ": array u has shape " + ShapeText(s) + ", no time step";
  return {};
}

/// Reads axis `axis` (x or y): its values as a 1-D array, or as a meshgrid of u's shape whose
/// every row (x) or column (y) repeats the first.
std::string ReadAxis(const std::string& name, NpyEntry& entry, const FieldShapeOfU& u,
                     const std::vector<uint64_t>& uShape, bool alongColumns,
                     std::vector<float>& values) {
  const std::vector<uint64_t>& s = entry.Header().shape;
  const uint64_t wanted = alongColumns ? u.columns : u.rows;
  const std::string& axis = entry.ArrayName();
  if (s.size() == 1) {
    if (s[0] != wanted) {
      return name + ": array u has shape " + ShapeText(uShape) + "; " + axis + " has " +
             std::to_string(s[0]) + " values";
    }
    return alongColumns ? entry.ReadStep(0, 1, 1, s[0], values)
                        : entry.ReadStep(0, 1, s[0], 1, values);
  }
  if (s.size() != 2 || s[0] != u.rows || s[1] != u.columns) {
    return name + ": array u has shape " + ShapeText(uShape) + "; " + axis + " has shape " +
           ShapeText(s) + " (an axis is " + std::to_string(wanted) + " values, or a meshgrid of " +
           std::to_string(u.rows) + " x " + std::to_string(u.columns) + ")";
  }
  std::vector<float> grid;
  if (auto error = entry.ReadStep(0, 1, u.rows, u.columns, grid); !error.empty()) return error;
  values.clear();
  for (std::size_t i = 0; i < wanted; ++i)
    values.push_back(alongColumns ? grid[i] : grid[i * u.columns]);
  for (std::size_t r = 0; r < u.rows; ++r) {
    for (std::size_t c = 0; c < u.columns; ++c) {
      const float first = alongColumns ? grid[c] : grid[r * u.columns];
      if (!(grid[r * u.columns + c] == first)) {
        return name + ": " + axis + " changes along the " + (alongColumns ? "rows" : "columns") +
               " (at row " + std::to_string(r) + ", column " + std::to_string(c) +
               "): a curvilinear grid, which a field cannot hold";
      }
    }
  }
  return {};
}

}  // namespace

bool NpzReader::ClaimsName(std::string_view path) const { return path.ends_with(".npz"); }

bool NpzReader::ClaimsContents(std::span<const unsigned char> head) const {
  return head.size() >= 4 && head[0] == 'P' && head[1] == 'K' &&
         ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6));
}

LoadResult NpzReader::Read(const std::string& path, ByteStore& store,
                           const ReadRequest& request) const {
  std::string openError;
  const std::unique_ptr<ByteSource> input = store.Open(path, openError);
  if (!input) return LoadResult::Failed(path, openError);
  try {
    NpzArchive archive(path);
    if (auto error = archive.Open(*input); !error.empty()) return LoadResult::Failed(path, error);

    std::optional<NpyEntry> u, v, w, x, y, pressure, vorticity;
    if (auto error = archive.OpenArray("u", true, u); !error.empty()) {
      return LoadResult::Failed(path, error);
    }
    FieldShapeOfU shape;
    if (auto error = CheckShapeOfU(path, u->Header(), shape); !error.empty()) {
      return LoadResult::Failed(path, error);
    }
    const std::vector<uint64_t> uShape = u->Header().shape;
    const int stepCount = static_cast<int>(std::min<uint64_t>(shape.steps, INT32_MAX));
    if (request.step < 0 || static_cast<uint64_t>(request.step) >= shape.steps) {
      LoadResult refused = LoadResult::Failed(
          path, path + " holds " + std::to_string(shape.steps) +
                    (shape.steps == 1 ? " time step" : " time steps") + "; there is no step " +
                    std::to_string(request.step));
      refused.SetStepCount(stepCount);
      return refused;
    }
    const std::pair<const char*, std::optional<NpyEntry>*> others[] = {{"v", &v},
                                                                       {"x", &x},
                                                                       {"y", &y},
                                                                       {"w", &w},
                                                                       {"pressure", &pressure},
                                                                       {"vorticity", &vorticity}};
    for (const auto& [array, entry] : others) {
      const bool required = std::string_view(array) == "v" || std::string_view(array) == "x" ||
                            std::string_view(array) == "y";
      if (auto error = archive.OpenArray(array, required, *entry); !error.empty()) {
        return LoadResult::Failed(path, error);
      }
    }

    RectilinearSource source;
    source.name = path;
    if (auto error = ReadAxis(path, *x, shape, uShape, true, source.x); !error.empty()) {
      return LoadResult::Failed(path, error);
    }
    if (auto error = ReadAxis(path, *y, shape, uShape, false, source.y); !error.empty()) {
      return LoadResult::Failed(path, error);
    }
    for (const auto& [axis, values] : {std::pair{"x", &source.x}, {"y", &source.y}}) {
      if (auto error = CheckAxis(path, axis, *values, 2); !error.empty()) {
        return LoadResult::Failed(path, error);
      }
    }

    const std::size_t rows = shape.rows;
    const std::size_t columns = shape.columns;
    const uint64_t step = static_cast<uint64_t>(request.step);
    std::vector<float> values[5];
    NodeComponent* targets[5] = {&source.u, &source.v, &source.w, &source.scalar0, &source.scalar1};
    std::optional<NpyEntry>* entries[5] = {&u, &v, &w, &pressure, &vorticity};
    // A large step in C order is read band by band on another thread while this one builds the
    // rows in; rows are built from the last of the file's when y falls, which only a stored
    // entry can give first.
    const bool fallingY = source.y[1] < source.y[0];
    bool banded = WorthReadingInBands(rows * columns);
    for (int k = 0; k < 5; ++k) {
      if (!*entries[k]) continue;
      NpyEntry& entry = **entries[k];
      if (entry.Header().shape != uShape) {
        return LoadResult::Failed(path, path + ": array " + entry.ArrayName() + " has shape " +
                                            ShapeText(entry.Header().shape) + "; u has shape " +
                                            ShapeText(uShape));
      }
      banded = banded && !entry.Header().fortranOrder && (!fallingY || entry.Stored());
    }
    source.scalarCount = vorticity ? 2 : pressure ? 1 : 0;
    if (!banded) {
      for (int k = 0; k < 5; ++k) {
        if (!*entries[k]) continue;
        if (auto error = (*entries[k])->ReadStep(step, shape.steps, rows, columns, values[k]);
            !error.empty()) {
          return LoadResult::Failed(path, error);
        }
        targets[k]->data = values[k].data();
      }
      LoadResult result = BuildRectilinearField(source);
      result.SetStepCount(stepCount);
      return result;
    }
    for (int k = 0; k < 5; ++k) {
      if (!*entries[k]) continue;
      ResizeOnLargePages(values[k], rows * columns);
      targets[k]->data = values[k].data();
    }
    LoadResult result = BuildWhileReading(
        [&](ThreadRows& gate) {
          std::vector<unsigned char> chunk(kChunkBytes);
          const std::size_t band = std::max<std::size_t>(1, kBandValues / columns);
          for (std::size_t done = 0; done < rows && !gate.Stopped();) {
            const std::size_t n = std::min(band, rows - done);
            const std::size_t first = fallingY ? rows - done - n : done;
            for (int k = 0; k < 5; ++k) {
              if (!*entries[k]) continue;
              if (auto error = (*entries[k])->ReadRows(step, shape.steps, rows, columns, first, n,
                                                       values[k].data() + first * columns, chunk);
                  !error.empty()) {
                throw Refused{error};
              }
            }
            done += n;
            gate.RowsIn(done);
          }
        },
        [&](RowGate* gate) { return BuildRectilinearField(source, {}, gate); });
    result.SetStepCount(stepCount);
    return result;
  } catch (const Refused& refused) {
    return LoadResult::Failed(path, refused.message);
  } catch (const std::bad_alloc&) {
    return LoadResult::Failed(path, "there is not enough memory to read " + path);
  } catch (const ThreadRows::Ended&) {
    return LoadResult::Failed(path, path + " cannot be read: its values stopped short");
  }
}

}  // namespace vortana
