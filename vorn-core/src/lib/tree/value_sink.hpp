// The second of the reader's two sinks. By default the reader builds its
// arena tree, which the caller then walks; a caller that wants its own
// objects (the binding's dicts, lists and strs) can instead have each
// container made as soon as its block closes, so that the whole tree is
// never held beside the objects made from it.
//
// The reader still builds as a tree every container that it reads again: an
// anchored block and everything in it (aliases and merges copy it), the
// lines that continue an item's inline mapping (their entries join the
// item's), and the root (whose version it checks). A value of such a tree
// may hold containers the sink made.
#pragma once

#include <cstddef>
#include <span>

#include "tree/document.hpp"

namespace vorn {

class ValueSink {
public:
    // A sequence is opened when its block opens, given its items as they
    // come and finished when its block closes; the handle names it to the
    // sink, which owns it.
    virtual void* open_sequence() = 0;
    virtual void add_item(void* sequence, const DocValue& value) = 0;
    virtual DocValue finish_sequence(void* sequence) = 0;
    // The mapping of these entries, in key order and each key once, made by
    // the sink.
    virtual DocValue finish_mapping(std::span<const DocEntry> entries) = 0;

protected:
    ~ValueSink() = default;
};

}  // namespace vorn
