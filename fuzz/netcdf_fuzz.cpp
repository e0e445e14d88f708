// Reads hostile NetCDF files through the same reader choice as a path the user names, both as a
// whole field (step 0 and a later step), from memory and from a file (an in-memory file, which
// the reader hands libnetcdf by its system path once the header has passed). A finding is a
// crash, a sanitizer report, a run that does not end, a refusal that does not name its file, a
// field whose node array disagrees with its dimensions, a file refused whose bytes load, or a file
// and its bytes giving other nodes.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/byte_source.h"
#include "data/field_reader.h"
#include "data/flow_field.h"

namespace {

const std::string kName = "case.nc";

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "netcdf_fuzz: %s\n", what);
  std::abort();
}

void Check(const vortana::LoadResult& loaded) {
  if (!loaded.Ok()) {
    Require(loaded.Field() == nullptr, "a refused file left a field behind");
    Require(loaded.Message().find(kName) != std::string::npos, "a refusal does not name its file");
    return;
  }
  const vortana::FlowField& field = *loaded.Field();
  const int64_t declared = int64_t{field.Width()} * field.Height() * field.Depth();
  Require(static_cast<int64_t>(field.Nodes().size()) == declared, "node count differs");
  Require(field.Width() >= 2 && field.Height() >= 2, "a field narrower than 2 nodes loaded");
  (void)field.VelocityAt(field.Stats().maxPosition.x / 2, field.Stats().maxPosition.y / 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vortana::MemoryStore store;
  store.Add(kName, {data, size});
  const vortana::LoadResult first = vortana::LoadDataSet(kName, store);
  Check(first);
  if (first.StepCount() > 1) {
    Check(vortana::LoadDataSet(kName, store, vortana::ReaderSet::Standard(),
                               vortana::ReadRequest{first.StepCount() - 1}));
  }
  // The same bytes as a file: the same answer, and the same nodes.
  const int fd = memfd_create("case.nc", MFD_CLOEXEC);
  Require(fd >= 0, "no in-memory file");
  Require(size == 0 || write(fd, data, size) == static_cast<ssize_t>(size), "short write");
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const vortana::LoadResult fromFile = vortana::LoadDataSet(path);
  close(fd);
  // libnetcdf refuses some images in memory that it reads as files (a file longer than its
  // values by a few bytes less than libnetcdf expects); the other way round is ours.
  Require(fromFile.Ok() || !first.Ok(), "a file is refused whose bytes load");
  if (first.Ok() && fromFile.Ok()) {
    const auto& a = first.Field()->Nodes();
    const auto& b = fromFile.Field()->Nodes();
    Require(a.size() == b.size() &&
                (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0),
            "a file and its bytes give other nodes");
  }
  return 0;
}
