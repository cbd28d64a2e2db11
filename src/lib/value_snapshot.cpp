#include "value_snapshot.hpp"

#include <cstdint>

#include "vorn/assert.hpp"

#include "error_state.hpp"
#include "tree/kept_room.hpp"

namespace vorn::binding {
namespace {

// Nodes are numbered in 32 bits.
void check_room(std::size_t nodes) {
    if (nodes >= UINT32_MAX)
        throw ErrorState::value_error(
            "a document of 4 billion values or more cannot be read with positions; use loads");
}

}  // namespace

// The nodes are as many as the document's values: their room is kept for
// the next document, as the reader keeps its own.
ValueSnapshot::ValueSnapshot(std::size_t text_bytes)
    : nodes_(KeptRoom<Node>::take(text_bytes)), text_bytes_(text_bytes) {}

ValueSnapshot::~ValueSnapshot() {
    for (const Node& node : nodes_) {
        Py_XDECREF(node.key);
        Py_XDECREF(node.object);
    }
    KeptRoom<Node>::keep(std::move(nodes_), text_bytes_);
}

std::uint32_t ValueSnapshot::open(Kind kind, PyObject* container) {
    VORN_ASSERT(kind != Kind::str);
    check_room(nodes_.size());
    const auto index = static_cast<std::uint32_t>(nodes_.size());
    nodes_.push_back(Node{nullptr, nullptr, index + 1, kind});
    nodes_.back().object = Py_NewRef(container);
    return index;
}

void ValueSnapshot::close(std::uint32_t container) noexcept {
    VORN_ASSERT(container < nodes_.size() && nodes_[container].kind != Kind::str);
    nodes_[container].end = static_cast<std::uint32_t>(nodes_.size());
}

void ValueSnapshot::add_str(PyObject* key, PyObject* str) {
    check_room(nodes_.size());
    const auto index = static_cast<std::uint32_t>(nodes_.size());
    nodes_.push_back(Node{nullptr, nullptr, index + 1, Kind::str});
    // Owned only once stored, so a failing push_back leaks nothing.
    nodes_.back().key = Py_XNewRef(key);
    nodes_.back().object = Py_NewRef(str);
}

void ValueSnapshot::set_key(std::uint32_t node, PyObject* key) noexcept {
    VORN_ASSERT(node < nodes_.size() && nodes_[node].key == nullptr);
    nodes_[node].key = Py_NewRef(key);
}

}  // namespace vorn::binding
