#include "merge_entries.hpp"

#include "parse_messages.hpp"

namespace vorn {

std::optional<ParseError> insert_entry(MappingBuilder& target, std::string_view key, const DocNode& node,
                                       SourcePosition at) {
    if (key != "<<") {
        put_entry(target, key, node);
        return std::nullopt;
    }
    if (!node.value.is_mapping()) return error_at(must_be_mapping("merge source"), at);
    merge_mapping(target, node.value);
    return std::nullopt;
}

}  // namespace vorn
