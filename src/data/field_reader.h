#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/byte_source.h"
#include "data/load_result.h"

namespace vortana {

/// Which part of a data set to read. A source that holds several time steps or slices reads
/// one per request; step 0 is the one every source has.
struct ReadRequest {
  int step = 0;
};

/// How many time steps and slices a source holds.
struct SourceExtent {
  int steps;
  int slices;
};

/// One kind of data set source. Each reader builds the same FlowField from its inputs, opened
/// by name through a ByteStore, so that files and memory read alike.
class FieldReader {
 public:
  /// Bytes at the start of an input that ClaimsContents is shown (fewer when it is shorter).
  static constexpr std::size_t kHeadBytes = 64;

  virtual ~FieldReader() = default;

  /// What users call the kind, for messages and choices.
  virtual std::string_view Kind() const = 0;
  /// Whether a path so named is of this kind (by its ending).
  virtual bool ClaimsName(std::string_view path) const = 0;
  /// Whether an input that begins with `head` is of this kind.
  virtual bool ClaimsContents(std::span<const unsigned char> head) const = 0;
  /// Reads the data set that `path` names. A failure names the input at fault and the reason.
  virtual LoadResult Read(const std::string& path, ByteStore& store,
                          const ReadRequest& request) const = 0;
  /// The steps and slices `path` holds; a reader that knows no cheaper way reads step 0 and
  /// answers {1, its depth} ({1, 0} when it does not load).
  virtual SourceExtent Probe(const std::string& path, ByteStore& store) const;
  /// Whether this is the grid/data file pair, whose pictures keep the older program's defaults.
  virtual bool IsFilePair() const { return false; }
};

/// The readers a path is offered to, in order. The first is also taken for a path that no
/// reader claims, by name or by contents, so that it reports what is wrong with the path.
class ReaderSet {
 public:
  explicit ReaderSet(std::vector<const FieldReader*> readers);

  /// The grid/data file pair and every other built-in reader.
  static const ReaderSet& Standard();

  /// The reader that claims `path` by name; else the one that claims what it begins with; else
  /// the first.
  const FieldReader& Choose(const std::string& path, ByteStore& store) const;

  /// The same readers with `reader` in place of the one of its kind (added last when none is),
  /// for a reader set up with a user's choices.
  ReaderSet Replacing(const FieldReader& reader) const;

 private:
  std::vector<const FieldReader*> readers_;
};

/// Loads the data set that `path` names through the reader chosen for it.
LoadResult LoadDataSet(const std::string& path, ByteStore& store,
                       const ReaderSet& readers = ReaderSet::Standard(),
                       const ReadRequest& request = {});

/// The same from the file system.
LoadResult LoadDataSet(const std::string& path);

}  // namespace vortana
