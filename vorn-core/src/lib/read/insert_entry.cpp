#include "read/insert_entry.hpp"

#include "read/merge_rule.hpp"
#include "read/parse_messages.hpp"

namespace vorn {

std::optional<ParseError> insert_entry(MappingBuilder& target, std::string_view key, const DocNode& node,
                                       SourcePosition at) {
    if (key != merge_key) {
        target.put(key, node);
        return std::nullopt;
    }
    if (!node.value.is_mapping()) return error_at(must_be_mapping("merge source"), at);
    target.merge(node.value.entries());
    return std::nullopt;
}

}  // namespace vorn
