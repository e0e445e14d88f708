#pragma once

#include "data/field_reader.h"

namespace vortana {

/// A VTK XML ImageData (.vti) or RectilinearGrid (.vtr) file, as VTK and ParaView-like
/// applications write it: the point data's active vectors (else an array named velocity or U)
/// are the velocity, arrays pressure (or p) and vorticity the scalars; ascii, inline base64 or
/// appended (raw or base64) arrays, zlib-compressed or not, with UInt32 or UInt64 size words.
/// The z nodes are the slices. One file is one time step.
class VtkXmlReader final : public FieldReader {
 public:
  std::string_view Kind() const override { return "VTK XML image or rectilinear grid"; }
  /// NAME.vti or NAME.vtr.
  bool ClaimsName(std::string_view path) const override;
  /// An XML document whose head names a VTKFile.
  bool ClaimsContents(std::span<const unsigned char> head) const override;
  LoadResult Read(const std::string& path, ByteStore& store,
                  const ReadRequest& request) const override;
};

}  // namespace vortana
