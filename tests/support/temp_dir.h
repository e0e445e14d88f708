#pragma once

#include <filesystem>
#include <string>

namespace vortana::testing {

/// A fresh folder under the system's temporary directory, removed with everything in it when the
/// object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  /// Path() / name, as a string.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace vortana::testing
