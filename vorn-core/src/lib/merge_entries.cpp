#include "merge_entries.hpp"

#include <iterator>

#include "parse_messages.hpp"

namespace vorn {

void put_entry(Mapping& target, std::string key, Node node) {
    if (target.empty() || std::prev(target.end())->first < key) {
        target.append_in_order(std::move(key), std::move(node));
    } else {
        target.insert(std::move(key), std::move(node));
    }
}

void merge_mapping(Mapping& target, Mapping&& source) {
    if (target.empty()) {
        target = std::move(source);
        return;
    }
    source.drain([&target](std::string&& key, Node&& node) {
        target.insert_if_absent(std::move(key), std::move(node));
    });
}

std::optional<ParseError> insert_entry(Mapping& target, std::string key, Node node, std::uint64_t line,
                                       std::uint64_t column) {
    if (key != "<<") {
        put_entry(target, std::move(key), std::move(node));
        return std::nullopt;
    }
    if (!node.value.is_mapping()) return ParseError{must_be_mapping("merge source"), line, column};
    merge_mapping(target, std::move(node.value.mapping()));
    return std::nullopt;
}

}  // namespace vorn
