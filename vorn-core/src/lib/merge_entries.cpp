#include "merge_entries.hpp"

#include "parse_messages.hpp"

namespace vorn {

std::optional<ParseError> insert_entry(MappingBuilder& target, std::string_view key, const DocNode& node,
                                       std::uint64_t line, std::uint64_t column) {
    if (key != "<<") {
        put_entry(target, key, node);
        return std::nullopt;
    }
    if (!node.value.is_mapping()) return ParseError{must_be_mapping("merge source"), line, column};
    merge_mapping(target, node.value);
    return std::nullopt;
}

}  // namespace vorn
