#include "system/os/command_line.h"

#include <array>
#include <stdexcept>

namespace {

const char* const kNotAKey = "Supplied argument is not part of eCmdLineParamKey";

const std::array<std::string, 4>& KeyTexts() {
  static const std::array<std::string, 4> texts = {"mode", "database", "project-settings",
                                                   "export-format"};
  return texts;
}

}  // namespace

const std::string& CmdLineKeyText(eCmdLineParamKey key) {
  const int index = static_cast<int>(key);
  if (index < 0 || index > 3) throw std::invalid_argument(kNotAKey);
  return KeyTexts()[static_cast<std::size_t>(index)];
}

eCmdLineParamKey CmdLineKeyFromName(const std::string& name) {
  const auto& texts = KeyTexts();
  for (std::size_t i = 0; i < texts.size(); ++i)
    if (texts[i] == name) return static_cast<eCmdLineParamKey>(i);
  throw std::invalid_argument(kNotAKey);
}

void BuildCommandLine(std::string& out, const std::map<std::string, std::string>& args) {
  out.clear();
  for (const auto& [name, value] : args) {
    if (name.find('"') != std::string::npos || value.find('"') != std::string::npos) {
      out.clear();
      throw std::invalid_argument(
          "One of the arguments names and/or values contains a quote (\")");
    }
    out += "--" + name + "=\"" + value + "\" ";
  }
}

void BuildCommandLine(std::string& out, const std::map<eCmdLineParamKey, std::string>& args) {
  std::map<std::string, std::string> named;
  for (const auto& [key, value] : args) named[CmdLineKeyText(key)] = value;
  BuildCommandLine(out, named);
}

void ParseCommandLine(std::map<std::string, std::string>& out, const std::string& text) {
  out.clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t dashes = text.find("--", pos);
    if (dashes == std::string::npos) break;
    const std::size_t nameStart = dashes + 2;
    const std::size_t equals = text.find('=', nameStart);
    if (equals == std::string::npos) break;
    std::string name = text.substr(nameStart, equals - nameStart);

    std::size_t valueStart = equals + 1;
    std::size_t valueEnd;
    if (valueStart < text.size() && text[valueStart] == '"') {
      ++valueStart;
      valueEnd = text.find('"', valueStart);
    } else {
      valueEnd = text.find("--", valueStart);
    }
    if (valueEnd == std::string::npos) valueEnd = text.size();
    out[std::move(name)] = text.substr(valueStart, valueEnd - valueStart);
    pos = valueEnd;
  }
}

void ParseCommandLine(std::map<eCmdLineParamKey, std::string>& out, const std::string& text) {
  std::map<std::string, std::string> named;
  ParseCommandLine(named, text);
  out.clear();
  for (const auto& [name, value] : named) out[CmdLineKeyFromName(name)] = value;
}
