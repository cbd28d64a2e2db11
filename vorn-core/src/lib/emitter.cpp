#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "scalar_writer.hpp"
#include "vorn/emit.hpp"

namespace vorn {

namespace {

using EntryIterator = decltype(std::declval<const Mapping&>().begin());

// One open collection whose entries or items are still being written. The
// walk keeps these on an explicit stack, so the depth of the tree costs heap
// memory, never native stack.
struct OpenBlock {
    bool is_mapping;
    std::uint64_t indent;
    EntryIterator next_entry;
    EntryIterator end_entry;
    const Sequence* items;
    std::size_t next_item;
};

class LayoutWriter {
public:
    explicit LayoutWriter(std::string& out) : out_(out) {}

    void emit_mapping(const Mapping& mapping, std::uint64_t indent) {
        open(mapping, indent);
        run();
    }

    void emit_sequence(const Sequence& items, std::uint64_t indent) {
        open(items, indent);
        run();
    }

private:
    void open(const Mapping& mapping, std::uint64_t indent) {
        stack_.push_back({true, indent, mapping.begin(), mapping.end(), nullptr, 0});
    }

    void open(const Sequence& items, std::uint64_t indent) {
        stack_.push_back({false, indent, {}, {}, &items, 0});
    }

    void run() {
        while (!stack_.empty()) {
            OpenBlock& block = stack_.back();
            const Node* node;
            if (block.is_mapping) {
                if (block.next_entry == block.end_entry) {
                    stack_.pop_back();
                    continue;
                }
                const auto& [key, entry_node] = *block.next_entry++;
                node = &entry_node;
                write_comment_lines(out_, node->comments);
                out_.append(block.indent, ' ');
                write_key(out_, key);
                out_ += ':';
            } else {
                if (block.next_item == block.items->size()) {
                    stack_.pop_back();
                    continue;
                }
                node = &(*block.items)[block.next_item++];
                write_comment_lines(out_, node->comments);
                out_.append(block.indent, ' ');
                out_ += "- ";
            }
            // `block` may dangle once write_value opens a nested block.
            write_value(*node, block.indent, block.is_mapping);
        }
    }

    // Writes what follows the colon or the hyphen; a non-empty collection is
    // opened as a new block two columns deeper, to be written next.
    void write_value(const Node& node, std::uint64_t indent, bool after_colon) {
        const Value& value = node.value;
        if (value.is_scalar()) {
            if (after_colon) out_ += ' ';
            write_scalar(out_, indent, value.scalar(), node.inline_comment);
            return;
        }
        const bool empty = value.is_sequence() ? value.sequence().empty() : value.mapping().empty();
        if (empty) {
            if (after_colon) out_ += ' ';
            out_ += value.is_sequence() ? "[]" : "{}";
            write_inline_comment(out_, node.inline_comment);
            out_ += '\n';
            return;
        }
        write_inline_comment(out_, node.inline_comment);
        out_ += '\n';
        if (value.is_sequence())
            open(value.sequence(), indent + 2);
        else
            open(value.mapping(), indent + 2);
    }

    std::string& out_;
    std::vector<OpenBlock> stack_;
};

// A first guess that spares small documents most regrowth; larger ones grow
// by doubling.
constexpr std::size_t initial_capacity = 4096;

}  // namespace

std::string emit(const Value& value) {
    std::string out;
    out.reserve(initial_capacity);
    LayoutWriter writer(out);
    switch (value.kind()) {
        case Value::Kind::scalar:
            write_scalar(out, 0, value.scalar(), std::nullopt);
            break;
        case Value::Kind::sequence:
            if (value.sequence().empty())
                out += "[]\n";
            else
                writer.emit_sequence(value.sequence(), 0);
            break;
        case Value::Kind::mapping:
            if (value.mapping().empty())
                out += "{}\n";
            else
                writer.emit_mapping(value.mapping(), 0);
            break;
    }
    return out;
}

}  // namespace vorn
