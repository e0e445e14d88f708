#include "command_line.h"

#include <algorithm>
#include <charconv>

namespace vortana {

namespace {

// Help in the layout of the GNU tools: short name or indent, long name, value name, then the
// description in a column of its own; the usage text as the program gives it.
class HelpFormatter : public CLI::Formatter {
 public:
  explicit HelpFormatter(std::string usage) : usage_(std::move(usage)) { column_width(40); }

  std::string make_usage(const CLI::App*, std::string) const override { return usage_; }
  std::string make_positionals(const CLI::App*) const override { return {}; }
  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    if (positional) return CLI::Formatter::make_option_name(option, positional);
    const std::vector<std::string>& shortNames = option->get_snames();
    const std::vector<std::string>& longNames = option->get_lnames();
    std::string name = shortNames.empty() ? "    " : "-" + shortNames.front() + ", ";
    return longNames.empty() ? name : name + "--" + longNames.front();
  }
  std::string make_option_opts(const CLI::Option* option) const override {
    return option->get_expected_max() == 0 ? std::string() : " " + option->get_type_name();
  }

 private:
  std::string usage_;
};

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

}  // namespace

std::unique_ptr<CLI::App> MakeCommandLine(const std::string& usage, const std::string& footer) {
  auto app = std::make_unique<CLI::App>();
  app->formatter(std::make_shared<HelpFormatter>(usage));
  app->footer(footer);
  // Unknown options are left over and refused by UnknownOptionText, in our words.
  app->allow_extras();
  app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app->option_defaults()->disable_flag_override();
  return app;
}

void ParseArguments(CLI::App& app, const std::vector<std::string>& args) {
  // CLI11 reads "--name=" as "--name" and takes the next argument as the value, or as a flag
  // given no value. The empty value is what was typed: it is passed on to be refused by the
  // option's own check, and a flag refuses it as it refuses any value.
  std::vector<std::string> split;
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    optionsEnded = optionsEnded || arg == "--";
    const CLI::Option* option =
        !optionsEnded && arg.size() > 3 && arg.ends_with('=') && arg.starts_with("--")
            ? app.get_option_no_throw(arg.substr(0, arg.size() - 1))
            : nullptr;
    if (option != nullptr && option->get_expected_max() == 0) {
      throw CLI::ArgumentMismatch::FlagOverride(arg.substr(2, arg.size() - 3));
    } else if (option != nullptr) {
      split.push_back(arg.substr(0, arg.size() - 1));
      split.emplace_back();
    } else {
      split.push_back(arg);
    }
  }
  std::reverse(split.begin(), split.end());  // CLI11 takes the arguments last first
  app.parse(split);
}

std::optional<int> StrictInteger(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::string UsageErrorText(const CLI::App& app, const CLI::Error& error,
                           const std::function<std::string(const std::string&)>& expects) {
  const std::string what = error.what();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    // CLI11 begins these with the option's name: "--grid-size: 1 required N missing", or with
    // the long name as typed: "legend was given a disallowed flag override".
    for (const CLI::Option* option : app.get_options()) {
      for (const std::string& name : option->get_lnames()) {
        if (StartsWith(what, "--" + name + ":")) {
          const std::string expected = expects ? expects("--" + name) : std::string();
          return "--" + name + " needs a value" + (expected.empty() ? "" : ": " + expected);
        }
        if (StartsWith(what, name + " was given")) return "--" + name + " takes no value";
      }
    }
  }
  return what;
}

std::string UnknownOptionText(const CLI::App& app) {
  for (const std::string& arg : app.remaining()) {
    if (arg == "--") break;  // CLI11 keeps the end of the options among what it left over
    if (arg.size() > 1 && arg[0] == '-') return "unknown option '" + arg + "'";
  }
  return {};
}

}  // namespace vortana
