#include "core/xml/xml_tree.h"

#include <limits>
#include <stdexcept>
#include <utility>

namespace Zor::xml {

dom::node_id dom::Add(node_value value) {
  if (nodes_.size() >= std::numeric_limits<node_id>::max())
    throw std::length_error("xml::dom: too many nodes");
  nodes_.push_back(node{{}, std::move(value)});
  return static_cast<node_id>(nodes_.size() - 1);
}

dom::dom(reader& in) {
  std::vector<node_id> open;  // innermost open element last
  // The text node the current run of character data extends, and the white
  // space read since the run's last text piece (kept only if text follows).
  bool in_run = false;
  node_id run = 0;
  std::string pending_blank;

  auto attach = [&](node_value value) {
    const node_id id = Add(std::move(value));
    nodes_[open.back()].children.push_back(id);
    return id;
  };

  while (in.read()) {
    switch (in.node_type()) {
      case reader::none:
        continue;  // a block that completed no node does not end a run
      case reader::text:
        if (open.empty()) break;
        if (in_run) {
          std::string& content = boost::get<text>(nodes_[run].value).content;
          content += pending_blank;
          content += in.value();
        } else {
          run = attach(text{in.value()});
          in_run = true;
        }
        pending_blank.clear();
        continue;
      case reader::whitespace:
        if (in_run) pending_blank += in.value();
        continue;
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
    in_run = false;
    pending_blank.clear();
  }
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
