#include "data/field_reader.h"

#include <algorithm>
#include <array>

#include "data/flow_field.h"
#include "data/grid_pair_reader.h"
#include "data/netcdf_reader.h"
#include "data/npz_reader.h"
#include "data/vtk_xml_reader.h"

namespace vortana {

namespace {

/// A path whose last part is empty, "." or ".." names a folder whatever is on disk; cutting an
/// extension from it would name a hidden file beside it instead (". " would become ".gri").
bool NamesAFolder(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string_view last =
      std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  return last.empty() || last == "." || last == "..";
}

}  // namespace

ReaderSet::ReaderSet(std::vector<const FieldReader*> readers) : readers_(std::move(readers)) {}

const ReaderSet& ReaderSet::Standard() {
  static const GridPairReader gridPair;
  static const NpzReader npz;
  static const VtkXmlReader vtkXml;
  static const NetcdfReader netcdf;
  static const ReaderSet standard({&gridPair, &npz, &vtkXml, &netcdf});
  return standard;
}

const FieldReader& ReaderSet::Choose(const std::string& path, ByteStore& store) const {
  for (const FieldReader* reader : readers_) {
    if (reader->ClaimsName(path)) return *reader;
  }
  // An input that cannot be opened or read is left to the first reader, which says why.
  std::string ignored;
  if (const std::unique_ptr<ByteSource> input = store.Open(path, ignored)) {
    std::array<unsigned char, FieldReader::kHeadBytes> head{};
    const std::size_t length =
        static_cast<std::size_t>(std::min<uint64_t>(input->Size(), head.size()));
    if (input->ReadExactly(head.data(), length).empty()) {
      for (const FieldReader* reader : readers_) {
        if (reader->ClaimsContents(std::span(head.data(), length))) return *reader;
      }
    }
  }
  return *readers_.front();
}

ReaderSet ReaderSet::Replacing(const FieldReader& reader) const {
  std::vector<const FieldReader*> readers = readers_;
  const auto same = std::find_if(readers.begin(), readers.end(), [&](const FieldReader* r) {
    return r->Kind() == reader.Kind();
  });
  if (same != readers.end()) {
    *same = &reader;
  } else {
    readers.push_back(&reader);
  }
  return ReaderSet(std::move(readers));
}

LoadResult LoadDataSet(const std::string& path, ByteStore& store, const ReaderSet& readers,
                       const ReadRequest& request) {
  if (NamesAFolder(path)) return LoadResult::Failed(path, path + " is a folder, not a file");
  const FieldReader& reader = readers.Choose(path, store);
  return reader.Read(path, store, request);
}

LoadResult LoadDataSet(const std::string& path) {
  FileStore files;
  return LoadDataSet(path, files);
}

}  // namespace vortana
