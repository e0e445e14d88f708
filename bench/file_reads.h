// What the reader benchmarks measure a load against: one raw read of the same file, with the
// file in the page cache (warm) or read from the disk (cold), and the means to make it cold.

#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace vortana {

/// Asks the system to forget the file's cached pages, so that the next read comes from the disk.
/// Clean pages only: the file must have been written and synced.
inline void DropFromCache(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  ::fdatasync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

/// A reader benchmark's runs: with the file cached (cold:0) and read from the disk (cold:1), in
/// milliseconds of real time. Use as ->Apply(CachedAndCold).
inline void CachedAndCold(benchmark::internal::Benchmark* b) {
  b->ArgName("cold")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}

/// Before an iteration: a cold run (range(0) == 1) drops the file from the cache untimed.
inline void PrepareRead(benchmark::State& state, const std::string& path) {
  if (state.range(0) == 0) return;
  state.PauseTiming();
  DropFromCache(path);
  state.ResumeTiming();
}

/// Reads the whole file into fresh memory with one large read; false when it cannot. The memory
/// is mapped for the read and unmapped after it, so that no run reuses pages an earlier one
/// touched (the allocator keeps freed blocks of up to 32 MiB for the next request).
inline bool ReadIntoFreshMemory(const std::string& path) {
  const std::size_t size = std::filesystem::file_size(path);
  void* bytes = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (bytes == MAP_FAILED) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  const bool read = file && std::fread(bytes, 1, size, file) == size;
  if (file) std::fclose(file);
  benchmark::DoNotOptimize(bytes);
  ::munmap(bytes, size);
  return read;
}

/// The floor: the file read into fresh memory with one large read.
inline void ReadRawFile(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    PrepareRead(state, path);
    if (!ReadIntoFreshMemory(path)) {
      state.SkipWithError("cannot read the file");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}

}  // namespace vortana
