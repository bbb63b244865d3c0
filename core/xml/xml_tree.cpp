#include "core/xml/xml_tree.h"

#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

namespace Zor::xml {

dom::node_id dom::Add(node_value value) {
  if (nodes_.size() >= std::numeric_limits<node_id>::max())
    throw std::length_error("xml::dom: too many nodes");
  nodes_.push_back(node{{}, std::move(value)});
  return static_cast<node_id>(nodes_.size() - 1);
}

namespace {

constexpr const char* kXmlSpace = " \t\n\r";
constexpr const char* kLineBreak = "\n\r";

// Drops the white space that leads a run of character data up to and
// including its last line break, and the white space that trails it from its
// first line break on: the indentation lines around a text, not the blanks on
// the text's own first and last lines. `run` holds text, not only blanks.
std::string TrimLayout(std::string run) {
  const std::size_t last = run.find_last_not_of(kXmlSpace);
  const std::size_t trail_break = run.find_first_of(kLineBreak, last + 1);
  if (trail_break != std::string::npos) run.erase(trail_break);
  const std::size_t first = run.find_first_not_of(kXmlSpace);
  const std::size_t lead_break = run.find_last_of(kLineBreak, first);
  if (lead_break != std::string::npos) run.erase(0, lead_break + 1);
  return run;
}

}  // namespace

dom::dom(reader& in) {
  std::vector<node_id> open;  // innermost open element last
  // The character data read since the last markup, and whether any of it is
  // not white space. It becomes one text node when the run ends, so where the
  // reader happened to split it (block ends, line ends, references) does not
  // matter.
  std::string run;
  bool run_has_text = false;

  auto attach = [&](node_value value) {
    const node_id id = Add(std::move(value));
    nodes_[open.back()].children.push_back(id);
    return id;
  };
  auto end_run = [&] {
    if (run_has_text && !open.empty()) attach(text{TrimLayout(std::move(run))});
    run.clear();
    run_has_text = false;
  };

  while (in.read()) {
    switch (in.node_type()) {
      case reader::none:
        continue;  // a block that completed no node does not end a run
      case reader::text:
        if (!open.empty()) {
          run += in.value();
          run_has_text = true;
        }
        continue;
      case reader::whitespace: {
        if (open.empty()) continue;
        const std::string blank = in.value();
        const std::size_t line_break = blank.find_last_of(kLineBreak);
        // Leading blanks up to a line break are dropped anyway: keep only
        // what follows it, so a long run of blank lines costs no memory.
        if (!run_has_text && line_break != std::string::npos)
          run.assign(blank, line_break + 1);
        else
          run += blank;
        continue;
      }
      default:
        break;
    }
    end_run();
    switch (in.node_type()) {
      case reader::comment:
        if (!open.empty()) attach(comment{in.value()});
        break;
      case reader::processing_instruction:
        if (!open.empty()) attach(processing_instruction{in.value()});
        break;
      case reader::element: {
        element e{in.name(), in.namespace_uri(), {}};
        const int count = in.attribute_count();
        for (int i = 0; i < count; ++i) {
          in.move_to_attribute(i);
          e.attributes[in.qualified_name()] = in.value();
        }
        const node_id id = open.empty() ? Add(std::move(e)) : attach(std::move(e));
        open.push_back(id);
        break;
      }
      case reader::end_element:
        if (open.empty()) throw std::runtime_error("xml::dom: too many tags closed");
        open.pop_back();
        break;
      default:
        break;
    }
  }
  end_run();  // a stream that failed inside a text keeps what was read
}

boost::optional<dom::node_id> dom::find_child(node_id parent, const char* name) const {
  if (name == nullptr || parent >= nodes_.size()) return boost::none;
  for (const node_id child : nodes_[parent].children) {
    const auto* e = boost::get<element>(&nodes_[child].value);
    if (e != nullptr && e->name == name) return child;
  }
  return boost::none;
}

}  // namespace Zor::xml
