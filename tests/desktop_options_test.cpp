#include "app/desktop_options.h"

#include <gtest/gtest.h>

namespace vortana {
namespace {

TEST(DesktopOptions, TakesOneDataSetHelpAndVersion) {
  struct Case {
    std::vector<std::string> args;
    bool help, version;
    std::optional<std::string> dataset;
    std::string error;
  };
  const Case cases[] = {
      {{}, false, false, std::nullopt, ""},
      {{"flow.gri"}, false, false, "flow.gri", ""},
      {{"--help"}, true, false, std::nullopt, ""},
      {{"-h", "flow.gri"}, true, false, "flow.gri", ""},
      {{"--version"}, false, true, std::nullopt, ""},
      {{"--", "-odd.gri"}, false, false, "-odd.gri", ""},
      {{"--bogus", "a.gri"}, false, false, "a.gri", "unknown option '--bogus'"},
      {{"a.gri", "b.gri"}, false, false, "a.gri", "one data set at a time; unexpected 'b.gri'"},
      // A lone "-" is a name, not an option.
      {{"-"}, false, false, "-", ""},
  };
  for (const Case& c : cases) {
    const DesktopOptions o = ParseDesktopOptions(c.args);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
    EXPECT_EQ(o.help, c.help);
    EXPECT_EQ(o.version, c.version);
    EXPECT_EQ(o.dataset, c.dataset);
    EXPECT_EQ(o.error, c.error);
  }
  EXPECT_TRUE(AsksForHelpOrVersion({"-platform", "offscreen", "--version"}));
  EXPECT_FALSE(AsksForHelpOrVersion({"--", "--help"}));
  EXPECT_FALSE(AsksForHelpOrVersion({"flow.gri"}));
}

}  // namespace
}  // namespace vortana
