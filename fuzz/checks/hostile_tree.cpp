#include "hostile_tree.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "text_facts.hpp"

namespace vorn::fuzz {

namespace {

// Pieces that strings are assembled from; each stands for a rule of the
// reader that a careless writer would trip over.
// clang-format off: one line per kind of piece reads better than one per piece
constexpr std::array<std::string_view, 40> fragments = {
    ":", ": ", "a:b", "\"", "'", "\\", "\\\"", " #", "#", "# x", "-", "- ", "--",
    "|", "|-", "&", "&a", "*", "*a", "<<", "[]", "{}", "[ ]", "?", " ", "  ",
    "\r", "\n", "\n  ", "\r\n", std::string_view("\0", 1), "\xE2\x80\xA8", "\xC2\xA0",
    "\xE3\x80\x80", "\xEF\xBB\xBF", "\xE2\x80\x8B", "\xC3\xA9", "_vorn_version", "1.0", "x",
};
// clang-format on

// The limits keep a recipe of a few kilobytes from describing a tree that
// takes long to build; the fuzzer explores shapes, not sizes.
constexpr int max_depth = 24;
constexpr unsigned max_children = 5;
constexpr unsigned max_pieces = 8;

class RecipeReader {
public:
    explicit RecipeReader(std::string_view recipe) : recipe_(recipe) {}

    bool exhausted() const noexcept { return position_ >= recipe_.size(); }

    // The next byte of the recipe; 0 once it is used up, so every recipe
    // ends in small scalars.
    unsigned next() noexcept { return exhausted() ? 0 : static_cast<unsigned char>(recipe_[position_++]); }

private:
    std::string_view recipe_;
    std::size_t position_ = 0;
};

std::string read_raw_string(RecipeReader& reader) {
    std::string text;
    const unsigned pieces = reader.next() % (max_pieces + 1);
    for (unsigned i = 0; i < pieces; ++i) {
        const unsigned choice = reader.next();
        if (choice & 1) {
            text += fragments[(choice >> 1) % fragments.size()];
        } else {
            // The next byte stands for itself when it is ASCII, so the fuzzer
            // can spell arbitrary words too.
            const unsigned byte = reader.next();
            text += static_cast<char>(byte < 0x80 ? byte : 'a' + byte % 26);
        }
    }
    return text;
}

void erase_all(std::string& text, std::string_view characters) {
    std::erase_if(text, [&](char c) { return characters.find(c) != std::string_view::npos; });
}

// Rewrites a multi-line text into the shape a literal block reads back:
// each line keeps its leading spaces, loses White_Space around the rest and
// disappears if nothing is left; then the common indentation is removed.
std::string as_literal_block_text(std::string_view text) {
    struct Line {
        std::size_t spaces;
        std::string_view content;
    };
    std::vector<Line> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        const std::size_t spaces = std::min(line.find_first_not_of(' '), line.size());
        const std::string_view content = trim_white_space(line.substr(spaces));
        if (!content.empty()) lines.push_back({spaces, content});
        if (end == text.size()) break;
        start = end + 1;
    }
    std::size_t common = SIZE_MAX;
    for (const Line& line : lines) common = std::min(common, line.spaces);
    std::string block;
    for (const Line& line : lines) {
        if (!block.empty()) block += '\n';
        block.append(line.spaces - common, ' ');
        block += line.content;
    }
    return block;
}

std::string read_key(RecipeReader& reader) {
    std::string key = read_raw_string(reader);
    erase_all(key, "\t");
    // A line feed stays when the next byte is odd.
    if (key.find('\n') != std::string::npos && (reader.next() & 1) == 0) erase_all(key, "\n");
    return key;
}

// A key as a caller may hand it over: a line feed stays when the next byte
// is odd, so that trees with and without one are both common.
std::string read_raw_key(RecipeReader& reader) {
    std::string key = read_raw_string(reader);
    if (key.find('\n') != std::string::npos && (reader.next() & 1) == 0) erase_all(key, "\n");
    return key;
}

std::string read_scalar_text(RecipeReader& reader) {
    std::string text = read_raw_string(reader);
    erase_all(text, "\t");
    if (text.find('\n') != std::string::npos) text = as_literal_block_text(text);
    return text;
}

Value read_value(RecipeReader& reader, int depth) {
    const unsigned kind = reader.next() % 4;
    if (kind < 2 || depth >= max_depth || reader.exhausted()) return Value(read_scalar_text(reader));
    const unsigned children = reader.next() % (max_children + 1);
    if (kind == 2) {
        Sequence items;
        for (unsigned i = 0; i < children; ++i) items.append(Node(read_value(reader, depth + 1)));
        return Value(std::move(items));
    }
    Mapping entries;
    for (unsigned i = 0; i < children; ++i) {
        std::string key = read_key(reader);
        entries.insert(std::move(key), Node(read_value(reader, depth + 1)));
    }
    return Value(std::move(entries));
}

CallerTree read_caller_value(RecipeReader& reader, int depth) {
    CallerTree node;
    const unsigned kind = reader.next() % 4;
    if (kind < 2 || depth >= max_depth || reader.exhausted()) {
        node.text = read_raw_string(reader);
        return node;
    }
    node.kind = kind == 2 ? FlatTree::Kind::sequence : FlatTree::Kind::mapping;
    const unsigned children = reader.next() % (max_children + 1);
    for (unsigned i = 0; i < children; ++i) {
        std::string key = node.kind == FlatTree::Kind::mapping ? read_raw_key(reader) : std::string();
        node.children.push_back(read_caller_value(reader, depth + 1));
        node.children.back().key = std::move(key);
    }
    return node;
}

void add_to(FlatTreeBuilder& builder, const CallerTree& node, std::string_view key) {
    if (node.kind == FlatTree::Kind::scalar) {
        builder.add_scalar(key, node.text);
        return;
    }
    builder.open(node.kind, key, node.children.size());
    for (const CallerTree& child : node.children) add_to(builder, child, child.key);
    builder.close();
}

}  // namespace

CallerTree build_caller_tree(std::string_view recipe) {
    RecipeReader reader(recipe);
    const unsigned shape = reader.next();
    if (shape % 4 == 0) return read_caller_value(reader, max_depth);
    CallerTree root;
    root.kind = shape % 4 == 1 ? FlatTree::Kind::sequence : FlatTree::Kind::mapping;
    const bool mapping = root.kind == FlatTree::Kind::mapping;
    // The version first (a later entry may replace it), last, or not at all.
    const unsigned version = mapping ? (shape >> 2) % 4 : 0;
    const auto add_version = [&root] {
        CallerTree entry;
        entry.key = "_vorn_version";
        entry.text = "1.0";
        root.children.push_back(std::move(entry));
    };
    if (version == 1) add_version();
    while (!reader.exhausted()) {
        std::string key = mapping ? read_raw_key(reader) : std::string();
        root.children.push_back(read_caller_value(reader, 1));
        root.children.back().key = std::move(key);
    }
    if (version >= 2) add_version();
    return root;
}

Value value_of(const CallerTree& tree) {
    if (tree.kind == FlatTree::Kind::scalar) return Value(tree.text);
    if (tree.kind == FlatTree::Kind::sequence) {
        Sequence items;
        for (const CallerTree& child : tree.children) items.append(Node(value_of(child)));
        return Value(std::move(items));
    }
    Mapping entries;
    for (const CallerTree& child : tree.children) entries.insert(child.key, Node(value_of(child)));
    return Value(std::move(entries));
}

FlatTree flat_tree_of(const CallerTree& tree) {
    FlatTreeBuilder builder;
    add_to(builder, tree, {});
    return builder.finish();
}

Value build_hostile_tree(std::string_view recipe) {
    RecipeReader reader(recipe);
    Mapping root;
    while (!reader.exhausted()) {
        std::string key = read_key(reader);
        root.insert(std::move(key), Node(read_value(reader, 1)));
    }
    // Last, so that a recipe cannot replace it: the reader refuses a
    // document without the version.
    root.insert("_vorn_version", Node(Value(std::string("1.0"))));
    return Value(std::move(root));
}

}  // namespace vorn::fuzz
