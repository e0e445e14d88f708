#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vortana {

/// A CLI11 command line as both programs use it: GNU-style long options ("--name value",
/// "--name=value", "--" ends the options), the last of a repeated option wins, flags take no
/// value, and every refusal is a usage error text of our own (see UsageErrorText).
/// The help is `usage` (the usage lines and what the program does), the options, and `footer`.
std::unique_ptr<CLI::App> MakeCommandLine(const std::string& usage, const std::string& footer);

/// Parses `args` (without the program name) into `app`; throws what CLI11 throws.
void ParseArguments(CLI::App& app, const std::vector<std::string>& args);

/// A whole decimal integer, optionally signed, nothing before or after it.
std::optional<int> StrictInteger(std::string_view text);

/// The text of a command line that cannot be run, naming the option at fault: CLI11's own
/// errors in our wording ("--width needs a value", "--legend takes no value"), ours as thrown.
/// `expects`, when given, says what an option's value must be ("an integer between 8 and 128"),
/// to be added to "needs a value".
std::string UsageErrorText(const CLI::App& app, const CLI::Error& error,
                           const std::function<std::string(const std::string&)>& expects = {});

/// The first argument CLI11 left over that looks like an option ("unknown option '--bogus'"),
/// or an empty text.
std::string UnknownOptionText(const CLI::App& app);

}  // namespace vortana
