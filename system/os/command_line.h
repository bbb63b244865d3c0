// The suite's convention for starting one of its programs from another:
// named arguments of the form --name="value".
//
//   std::string line;
//   BuildCommandLine(line, {{"mode", "run"}, {"database", "x"}});
//   // line == "--database=\"x\" --mode=\"run\" "
//   std::map<std::string, std::string> args;
//   ParseCommandLine(args, line);          // args["mode"] == "run"
//
// Names and values cannot hold a double quote: the builder throws
// std::invalid_argument rather than write an argument that would not parse.
#pragma once

#include <map>
#include <string>

// The fixed underlying type lets a caller hold any int here (read from a
// file, say) without undefined behaviour; the functions below reject it.
enum eCmdLineParamKey : int {
  eCmdLineMode = 0,
  eCmdLineDatabase = 1,
  eCmdLineProjectSettings = 2,
  eCmdLineExportFormat = 3,
};

// The text of a key: "mode", "database", "project-settings", "export-format".
// Throws std::invalid_argument for a value outside the four keys.
const std::string& CmdLineKeyText(eCmdLineParamKey key);
// The key of an exact (case-sensitive) key text; throws std::invalid_argument
// ("Supplied argument is not part of eCmdLineParamKey") for any other name.
eCmdLineParamKey CmdLineKeyFromName(const std::string& name);

// Writes --name="value" followed by one blank for each pair, in ascending order
// of name.
void BuildCommandLine(std::string& out, const std::map<std::string, std::string>& args);
void BuildCommandLine(std::string& out, const std::map<eCmdLineParamKey, std::string>& args);

// Reads every --name=value of `text`; a later argument replaces an earlier one
// of the same name. A quoted value ends at the next quote, an unquoted one
// before the next "--" (keeping the blank in front of it).
void ParseCommandLine(std::map<std::string, std::string>& out, const std::string& text);
void ParseCommandLine(std::map<eCmdLineParamKey, std::string>& out, const std::string& text);
