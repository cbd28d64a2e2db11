#include "merge_entries.hpp"

#include "parse_messages.hpp"

namespace vorn {

void merge_mapping(Mapping& target, Mapping&& source) {
    if (target.empty()) {
        target = std::move(source);
        return;
    }
    source.drain([&target](std::string&& key, Node&& node) { target.insert_if_absent(std::move(key), std::move(node)); });
}

std::optional<ParseError> insert_entry(Mapping& target, std::string key, Node node, std::uint64_t line,
                                       std::uint64_t column) {
    if (key != "<<") {
        target.insert(std::move(key), std::move(node));
        return std::nullopt;
    }
    if (!node.value.is_mapping()) return ParseError{must_be_mapping("merge source"), line, column};
    merge_mapping(target, std::move(node.value.mapping()));
    return std::nullopt;
}

}  // namespace vorn
