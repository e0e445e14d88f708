#include "data/vtk_xml_reader.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "data/flow_field.h"
#include "data/rectilinear_grid.h"
#include "data/vtk_data_array.h"
#include "data/whole_input.h"

namespace vortana {

namespace {

struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

/// What the XML part of the file says; the arrays' values are decoded afterwards.
struct VtkDocument {
  std::string fileType;
  std::string byteOrder;
  std::string headerType;
  std::string compressor;
  std::optional<std::string> wholeExtent, origin, spacing, direction;
  int pieces = 0;
  std::optional<std::string> pieceExtent;
  std::string activeVectors;
  std::vector<VtkDataArray> pointArrays;
  std::vector<VtkDataArray> coordinates;
  std::string appendedEncoding;
  bool sawAppended = false;

  // Where the parse is: the element path that matters and the array being filled.
  std::vector<std::string> open;
  VtkDataArray* current = nullptr;
};

const char* Attribute(const XML_Char** attributes, std::string_view name) {
  for (int i = 0; attributes[i] != nullptr; i += 2) {
    if (name == attributes[i]) return attributes[i + 1];
  }
  return nullptr;
}

void OnStart(void* user, const XML_Char* element, const XML_Char** attributes) {
  VtkDocument& doc = *static_cast<VtkDocument*>(user);
  const std::string_view name = element;
  const std::string parent = doc.open.empty() ? "" : doc.open.back();
  doc.open.emplace_back(name);
  auto take = [&](std::string_view key, std::string& into) {
    if (const char* value = Attribute(attributes, key)) into = value;
  };
  auto takeOptional = [&](std::string_view key, std::optional<std::string>& into) {
    if (const char* value = Attribute(attributes, key)) into = value;
  };
  if (name == "VTKFile" && doc.open.size() == 1) {
    take("type", doc.fileType);
    take("byte_order", doc.byteOrder);
    take("header_type", doc.headerType);
    take("compressor", doc.compressor);
  } else if (parent == "VTKFile" && name == doc.fileType) {
    takeOptional("WholeExtent", doc.wholeExtent);
    takeOptional("Origin", doc.origin);
    takeOptional("Spacing", doc.spacing);
    takeOptional("Direction", doc.direction);
  } else if (name == "Piece" && parent == doc.fileType) {
    if (++doc.pieces == 1) takeOptional("Extent", doc.pieceExtent);
  } else if (name == "PointData" && parent == "Piece" && doc.pieces == 1) {
    take("Vectors", doc.activeVectors);
  } else if (name == "DataArray" && doc.pieces == 1 &&
             (parent == "PointData" || parent == "Coordinates") && doc.open.size() >= 3 &&
             doc.open[doc.open.size() - 3] == "Piece") {
    std::vector<VtkDataArray>& into = parent == "PointData" ? doc.pointArrays : doc.coordinates;
    VtkDataArray& array = into.emplace_back();
    take("Name", array.name);
    take("type", array.type);
    take("format", array.format);
    if (const char* components = Attribute(attributes, "NumberOfComponents")) {
      array.components = 0;
      std::from_chars(components, components + std::strlen(components), array.components);
    }
    if (const char* offset = Attribute(attributes, "offset")) {
      std::from_chars(offset, offset + std::strlen(offset), array.offset);
    }
    doc.current = &array;
  } else if (name == "AppendedData") {
    doc.sawAppended = true;
    take("encoding", doc.appendedEncoding);
  }
}

void OnEnd(void* user, const XML_Char*) {
  VtkDocument& doc = *static_cast<VtkDocument*>(user);
  doc.open.pop_back();
  doc.current = nullptr;
}

void OnText(void* user, const XML_Char* text, int length) {
  VtkDocument& doc = *static_cast<VtkDocument*>(user);
  if (doc.current != nullptr) doc.current->text.append(text, static_cast<std::size_t>(length));
}

/// Where the appended data's text begins: after the '_' that follows the AppendedData tag.
/// Returns the end of the XML to parse (just past that tag's '>') or bytes.size() when there is
/// no appended section.
std::size_t FindAppended(std::span<const unsigned char> bytes, std::size_t& dataStart) {
  static constexpr std::string_view kTag = "<AppendedData";
  const auto* begin = reinterpret_cast<const char*>(bytes.data());
  const std::string_view text(begin, bytes.size());
  const std::size_t tag = text.find(kTag);
  if (tag == std::string_view::npos) return bytes.size();
  const std::size_t close = text.find('>', tag);
  if (close == std::string_view::npos) return bytes.size();
  const std::size_t marker = text.find('_', close);
  if (marker == std::string_view::npos) return bytes.size();
  dataStart = marker + 1;
  return close + 1;
}

template <std::size_t N>
bool ParseNumbers(const std::string& text, std::array<double, N>& out) {
  const char* at = text.data();
  const char* end = at + text.size();
  for (double& value : out) {
    while (at < end && (*at == ' ' || *at == '\t' || *at == '\n' || *at == '\r')) ++at;
    const auto parsed = std::from_chars(at, end, value);
    if (parsed.ec != std::errc() || parsed.ptr == at) return false;
    at = parsed.ptr;
  }
  return true;
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char p, char q) {
    return std::tolower(static_cast<unsigned char>(p)) ==
           std::tolower(static_cast<unsigned char>(q));
  });
}

const VtkDataArray* FindArray(const std::vector<VtkDataArray>& arrays,
                              std::initializer_list<std::string_view> names) {
  for (const std::string_view name : names) {
    for (const VtkDataArray& array : arrays) {
      if (SameName(array.name, name)) return &array;
    }
  }
  return nullptr;
}

std::string ArrayList(const std::vector<VtkDataArray>& arrays) {
  std::string list;
  for (const VtkDataArray& array : arrays) {
    list += (list.empty() ? "" : ", ") + array.name + " (" + std::to_string(array.components) +
            (array.components == 1 ? " component)" : " components)");
  }
  return list.empty() ? "no point data arrays" : list;
}

class VtkLoad {
 public:
  VtkLoad(const std::string& path, std::span<const unsigned char> bytes)
      : path_(path), bytes_(bytes) {}

  LoadResult Run(const ReadRequest& request) {
    if (auto error = Parse(); !error.empty()) return Fail(error);
    if (auto error = CheckDocument(); !error.empty()) return Fail(error);
    if (request.step != 0) {
      LoadResult refused =
          Fail(path_ + " holds 1 time step; there is no step " + std::to_string(request.step));
      refused.SetStepCount(1);
      return refused;
    }
    if (auto error = ReadExtent(); !error.empty()) return Fail(error);
    if (auto error = ReadAxes(); !error.empty()) return Fail(error);
    if (auto error = ReadPointData(); !error.empty()) return Fail(error);
    return BuildRectilinearField(source_, notice_);
  }

 private:
  LoadResult Fail(const std::string& message) const { return LoadResult::Failed(path_, message); }

  std::string Parse() {
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser) throw std::bad_alloc();
    XML_SetUserData(parser.get(), &doc_);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    std::size_t dataStart = bytes_.size();
    const std::size_t xmlEnd = FindAppended(bytes_, dataStart);
    const bool whole = xmlEnd == bytes_.size();
    // The appended section is not XML (raw bytes may hold anything); only what comes before
    // it is parsed.
    std::size_t at = 0;
    do {
      const std::size_t piece = std::min<std::size_t>(xmlEnd - at, 1 << 30);
      const bool last = at + piece == xmlEnd;
      if (XML_Parse(parser.get(), reinterpret_cast<const char*>(bytes_.data() + at),
                    static_cast<int>(piece), last && whole) == XML_STATUS_ERROR) {
        return path_ + " is not well-formed XML (line " +
               std::to_string(XML_GetCurrentLineNumber(parser.get())) +
               "): " + XML_ErrorString(XML_GetErrorCode(parser.get()));
      }
      at += piece;
    } while (at < xmlEnd);
    if (!whole && doc_.sawAppended) {
      appended_.present = true;
      appended_.base64 = doc_.appendedEncoding == "base64";
      appended_.bytes = bytes_.subspan(dataStart);
      if (!appended_.base64 && doc_.appendedEncoding != "raw") {
        return path_ + ": AppendedData has encoding \"" + doc_.appendedEncoding +
               "\"; raw and base64 are read";
      }
    }
    return {};
  }

  std::string CheckDocument() {
    if (doc_.fileType.empty()) return path_ + " is not a VTK XML file (no VTKFile type)";
    if (doc_.fileType == "StructuredGrid") {
      return path_ +
             " holds a StructuredGrid, a curvilinear grid, which a field cannot hold; "
             "ImageData and RectilinearGrid are read";
    }
    if (doc_.fileType != "ImageData" && doc_.fileType != "RectilinearGrid") {
      return path_ + " holds a " + doc_.fileType + "; ImageData and RectilinearGrid are read";
    }
    if (doc_.byteOrder == "BigEndian") {
      encoding_.bigEndian = true;
    } else if (!doc_.byteOrder.empty() && doc_.byteOrder != "LittleEndian") {
      return path_ + " has byte_order \"" + doc_.byteOrder + "\"";
    }
    if (doc_.headerType == "UInt64") {
      encoding_.headerBytes = 8;
    } else if (!doc_.headerType.empty() && doc_.headerType != "UInt32") {
      return path_ + " has header_type \"" + doc_.headerType + "\"; UInt32 and UInt64 are read";
    }
    if (doc_.compressor == "vtkZLibDataCompressor") {
      encoding_.zlib = true;
    } else if (!doc_.compressor.empty()) {
      return path_ + " is compressed with " + doc_.compressor +
             "; only vtkZLibDataCompressor is read";
    }
    if (doc_.pieces != 1) {
      return path_ + " holds " + std::to_string(doc_.pieces) + " pieces; one is read";
    }
    return {};
  }

  std::string ReadExtent() {
    const std::optional<std::string>& text = doc_.wholeExtent ? doc_.wholeExtent : doc_.pieceExtent;
    std::array<double, 6> extent{};
    if (!text || !ParseNumbers(*text, extent)) {
      return path_ + ": the " + doc_.fileType + " has no WholeExtent of six integers";
    }
    if (doc_.pieceExtent && doc_.wholeExtent && *doc_.pieceExtent != *doc_.wholeExtent) {
      std::array<double, 6> piece{};
      if (!ParseNumbers(*doc_.pieceExtent, piece) || piece != extent) {
        return path_ + ": the piece's Extent \"" + *doc_.pieceExtent +
               "\" is not the WholeExtent \"" + *doc_.wholeExtent + "\"; one whole piece is read";
      }
    }
    static constexpr const char* kAxes[] = {"x", "y", "z"};
    for (int a = 0; a < 3; ++a) {
      const double low = extent[2 * a];
      const double high = extent[2 * a + 1];
      if (!(low >= -1e9 && high <= 1e9 && high >= low) || low != static_cast<int64_t>(low) ||
          high != static_cast<int64_t>(high) || high - low + 1 > kMaxDimension) {
        return path_ + ": the extent along " + kAxes[a] + " is " + std::to_string(low) + " to " +
               std::to_string(high) + "; a field has 1 to " + std::to_string(kMaxDimension) +
               " nodes a side";
      }
      low_[a] = static_cast<int64_t>(low);
      counts_[a] = static_cast<std::size_t>(high - low + 1);
    }
    nodes_ = uint64_t{counts_[0]} * counts_[1] * counts_[2];
    return {};
  }

  std::string ReadAxes() {
    std::vector<float>* axes[] = {&source_.x, &source_.y, &source_.z};
    static constexpr const char* kAxes[] = {"x", "y", "z"};
    if (doc_.fileType == "ImageData") {
      std::array<double, 3> origin{0, 0, 0}, spacing{1, 1, 1};
      if (doc_.origin && !ParseNumbers(*doc_.origin, origin)) {
        return path_ + ": Origin \"" + *doc_.origin + "\" is not three numbers";
      }
      if (doc_.spacing && !ParseNumbers(*doc_.spacing, spacing)) {
        return path_ + ": Spacing \"" + *doc_.spacing + "\" is not three numbers";
      }
      if (doc_.direction) {
        std::array<double, 9> direction{};
        constexpr std::array<double, 9> kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};
        if (!ParseNumbers(*doc_.direction, direction) || direction != kIdentity) {
          return path_ + ": Direction \"" + *doc_.direction +
                 "\" turns the image; only the identity (axes along x, y and z) is read";
        }
      }
      for (int a = 0; a < 3; ++a) {
        axes[a]->resize(counts_[a]);
        for (std::size_t i = 0; i < counts_[a]; ++i) {
          const double index = static_cast<double>(low_[a] + static_cast<int64_t>(i));
          (*axes[a])[i] = static_cast<float>(origin[a] + index * spacing[a]);
        }
      }
    } else {
      if (doc_.coordinates.size() != 3) {
        return path_ + ": the RectilinearGrid's Coordinates hold " +
               std::to_string(doc_.coordinates.size()) + " arrays, not 3 (x, y, z)";
      }
      for (int a = 0; a < 3; ++a) {
        const VtkDataArray& array = doc_.coordinates[a];
        if (array.components != 1) {
          return path_ + ": coordinate array " + array.name + " has " +
                 std::to_string(array.components) + " components, not 1";
        }
        if (auto error = DecodeVtkDataArray(array, encoding_, appended_, counts_[a], *axes[a]);
            !error.empty()) {
          return path_ + ": coordinate array " + kAxes[a] + " (" + array.name + ") " + error;
        }
      }
    }
    for (int a = 0; a < 3; ++a) {
      if (auto error = CheckAxis(path_, kAxes[a], *axes[a], a < 2 ? 2 : 1); !error.empty()) {
        return error;
      }
    }
    return {};
  }

  const VtkDataArray* ChooseVelocity(std::string& error) const {
    if (!doc_.activeVectors.empty()) {
      for (const VtkDataArray& array : doc_.pointArrays) {
        if (array.name == doc_.activeVectors) {
          if (array.components == 3) return &array;
          error = path_ + ": the active vectors " + array.name + " have " +
                  std::to_string(array.components) + " components, not 3";
          return nullptr;
        }
      }
      error = path_ + ": the active vectors " + doc_.activeVectors +
              " are not among the point data (" + ArrayList(doc_.pointArrays) + ")";
      return nullptr;
    }
    for (const VtkDataArray& array : doc_.pointArrays) {
      if (array.components == 3 && (SameName(array.name, "velocity") || array.name == "U")) {
        return &array;
      }
    }
    error = path_ +
            " has no velocity: no active vectors (PointData Vectors) and no 3-component "
            "array named velocity or U among the point data (" +
            ArrayList(doc_.pointArrays) + ")";
    return nullptr;
  }

  std::string ReadPointData() {
    std::string error;
    const VtkDataArray* velocity = ChooseVelocity(error);
    if (velocity == nullptr) return error;
    const float* values = nullptr;
    if (auto fault =
            DecodeVtkDataArray(*velocity, encoding_, appended_, nodes_ * 3, velocity_, &values);
        !fault.empty()) {
      return path_ + ": array " + velocity->name + " " + fault;
    }
    if (values == nullptr) values = velocity_.data();
    source_.u = {values, 3};
    source_.v = {values + 1, 3};
    source_.w = {values + 2, 3};
    const VtkDataArray* pressure = FindArray(doc_.pointArrays, {"pressure", "p"});
    const VtkDataArray* vorticity = FindArray(doc_.pointArrays, {"vorticity"});
    const std::pair<const VtkDataArray*, NodeComponent*> scalars[] = {
        {pressure, &source_.scalar0}, {vorticity, &source_.scalar1}};
    for (int k = 0; k < 2; ++k) {
      const VtkDataArray* array = scalars[k].first;
      if (array == nullptr) continue;
      if (array->components != 1) {
        notice_ += path_ + ": " + array->name + " has " + std::to_string(array->components) +
                   " components and is left out; a scalar has 1. ";
        continue;
      }
      if (auto fault =
              DecodeVtkDataArray(*array, encoding_, appended_, nodes_, scalars_[k], &values);
          !fault.empty()) {
        return path_ + ": array " + array->name + " " + fault;
      }
      scalars[k].second->data = values != nullptr ? values : scalars_[k].data();
      source_.scalarCount = k + 1;
    }
    if (!notice_.empty()) notice_.pop_back();
    return {};
  }

  std::string path_;
  std::span<const unsigned char> bytes_;
  VtkDocument doc_;
  VtkEncoding encoding_;
  VtkAppendedData appended_;
  int64_t low_[3] = {};
  std::size_t counts_[3] = {};
  uint64_t nodes_ = 0;
  RectilinearSource source_;
  std::vector<float> velocity_;
  std::vector<float> scalars_[2];
  std::string notice_;
};

}  // namespace

bool VtkXmlReader::ClaimsName(std::string_view path) const {
  return path.ends_with(".vti") || path.ends_with(".vtr");
}

bool VtkXmlReader::ClaimsContents(std::span<const unsigned char> head) const {
  const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
  return text.find("<VTKFile") != std::string_view::npos ||
         (text.starts_with("<?xml") && text.find("VTKFile") != std::string_view::npos);
}

LoadResult VtkXmlReader::Read(const std::string& path, ByteStore& store,
                              const ReadRequest& request) const {
  // Placed so that raw appended floats can be read where they lie: VTK's writers start each
  // array's size word at a multiple of 4 bytes into the appended data.
  std::vector<unsigned char> bytes;
  std::size_t start = 0;
  const auto appendedData = [](std::span<const unsigned char> head) {
    std::size_t dataStart = std::string_view::npos;
    FindAppended(head, dataStart);
    return dataStart;
  };
  if (auto error = ReadWholeInput(path, store, bytes, start, appendedData); !error.empty()) {
    return LoadResult::Failed(path, error);
  }
  try {
    return VtkLoad(path, std::span<const unsigned char>(bytes).subspan(start)).Run(request);
  } catch (const std::bad_alloc&) {
    return LoadResult::Failed(path, "there is not enough memory to read " + path);
  }
}

}  // namespace vortana
