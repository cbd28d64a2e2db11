// What a document's values were when read, kept beside the objects handed
// to the caller, so that what the caller changed since can be found.
//
// The nodes are the values in the order a walk from the root meets them:
// each container is followed by its children, each child by its own
// subtree. A node holds a strong reference to its key and to its object.
// Strs are immutable, so a str still in the data is unchanged; a container
// is changed in place by the caller, so only its children say what it
// held, and the object itself only which item of a list it is.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "py_ref.hpp"

namespace vorn::binding {

class ValueSnapshot {
public:
    enum class Kind : std::uint8_t { str, mapping, sequence };

    struct Node {
        // Null for the root and for items.
        PyObject* key;
        // The str, dict or list made.
        PyObject* object;
        // One past the last node of this node's subtree.
        std::uint32_t end;
        Kind kind;
    };

    // For the values of a text of `text_bytes`.
    explicit ValueSnapshot(std::size_t text_bytes);
    ~ValueSnapshot();
    ValueSnapshot(ValueSnapshot&& other) noexcept
        : nodes_(std::exchange(other.nodes_, {})), text_bytes_(other.text_bytes_) {}
    ValueSnapshot& operator=(ValueSnapshot&&) = delete;
    ValueSnapshot(const ValueSnapshot&) = delete;
    ValueSnapshot& operator=(const ValueSnapshot&) = delete;

    // Room for `values` nodes, the document's values as far as they are
    // known (each alias's copy adds its own).
    void reserve(std::size_t values) { nodes_.reserve(values); }

    // Building, in the walk's order. A container's key is given once the
    // container is complete, as the conversion makes keys after values.
    std::uint32_t open(Kind kind, PyObject* container);
    void close(std::uint32_t container) noexcept;
    void add_str(PyObject* key, PyObject* str);
    void set_key(std::uint32_t node, PyObject* key) noexcept;

    const Node& operator[](std::uint32_t index) const noexcept { return nodes_[index]; }
    std::uint32_t size() const noexcept { return static_cast<std::uint32_t>(nodes_.size()); }

private:
    std::vector<Node> nodes_;
    std::size_t text_bytes_;
};

}  // namespace vorn::binding
