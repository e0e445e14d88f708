#include "support/program_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace vortana::testing {

namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string ReadText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

ProgramRun RunRender(const std::vector<std::string>& args) {
  TempDir streams;
  std::string command = "ASAN_OPTIONS=exitcode=86 UBSAN_OPTIONS=exitcode=87 timeout 120 " +
                        Quoted(VORTANA_RENDER_EXE);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " >" + Quoted(streams.File("out")) + " 2>" + Quoted(streams.File("err"));
  const int result = std::system(command.c_str());
  ProgramRun run;
  run.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  run.out = ReadText(streams.File("out"));
  run.err = ReadText(streams.File("err"));
  return run;
}

}  // namespace vortana::testing
