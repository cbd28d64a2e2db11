// Conversion of a tree to fresh dict, list and str objects: the reader's
// Document tree for `loads`, and a Value tree for the core's other callers.
//
// The walk keeps the containers under construction on an explicit stack, so
// a tree of any depth converts without deep native recursion. Scalars are
// stored straight away; a nested container is opened as a new frame and
// stored in its parent once it is complete. On failure the frames' owners
// release every container built so far.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vorn/assert.hpp"

#include "conversions.hpp"
#include "error_state.hpp"
#include "key_cache.hpp"
#include "read/read_document.hpp"
#include "str_from_utf8.hpp"
#include "tree/value_sink.hpp"
#include "value_snapshot.hpp"

namespace vorn::binding {
namespace {

[[gnu::always_inline]] inline PyRef new_str(std::string_view text) {
    PyRef object = PyRef::steal(str_from_utf8(text));
    if (!object) throw api_call_failed();
    return object;
}

// A literal block kept as its lines is joined straight into the str when
// it is ASCII, which long blocks of configuration nearly always are.
[[gnu::hot]] PyRef block_str(const BlockLines& block) {
    if (block.size > 1 && is_ascii(block.source())) {
        PyRef object = PyRef::steal(PyUnicode_New(static_cast<Py_ssize_t>(block.size), 127));
        if (!object) throw api_call_failed();
        write_block_text(block, reinterpret_cast<char*>(PyUnicode_1BYTE_DATA(object.get())));
        return object;
    }
    std::string text(block.size, '\0');
    write_block_text(block, text.data());
    return new_str(text);
}

// What the walk needs of a tree, for each of the two kinds of tree.
struct ValueTree {
    using Node = vorn::Value;
    static bool is_made(const Value&) { return false; }
    static PyObject* made_object(const Value&) { return nullptr; }
    static bool is_scalar(const Value& v) { return v.is_scalar(); }
    static bool is_sequence(const Value& v) { return v.is_sequence(); }
    static PyRef scalar_str(const Value& v) { return new_str(v.scalar()); }
    static std::size_t size(const Value& v) { return v.is_sequence() ? v.sequence().size() : v.mapping().size(); }
    static const Value& item(const Value& v, std::size_t i) { return v.sequence()[i].value; }
    // Mapping entries are read in order through an iterator kept per frame.
    using EntryCursor = decltype(std::declval<const Mapping&>().begin());
    static EntryCursor first_entry(const Value& v) { return v.mapping().begin(); }
    static std::string_view key(EntryCursor e) { return e->first; }
    static const Value& entry_value(EntryCursor e) { return e->second.value; }
};

struct DocumentTree {
    using Node = DocValue;
    // A container an ObjectSink made while reading: its object, borrowed.
    static bool is_made(const DocValue& v) { return v.is_made(); }
    static PyObject* made_object(const DocValue& v) {
        return static_cast<PyObject*>(const_cast<void*>(v.made_object()));
    }
    static bool is_scalar(const DocValue& v) { return v.is_scalar(); }
    static bool is_sequence(const DocValue& v) { return v.is_sequence(); }
    static PyRef scalar_str(const DocValue& v) { return v.is_block_text() ? block_str(v.block()) : new_str(v.text()); }
    static std::size_t size(const DocValue& v) { return v.is_sequence() ? v.items().size() : v.entries().size(); }
    static const DocValue& item(const DocValue& v, std::size_t i) { return v.items()[i].value; }
    using EntryCursor = const DocEntry*;
    static EntryCursor first_entry(const DocValue& v) { return v.entries().data(); }
    static std::string_view key(EntryCursor e) { return e->key; }
    static const DocValue& entry_value(EntryCursor e) { return e->node.value; }
};

// Each scalar becomes a str of its own.
template <typename Tree>
struct FreshStrs {
    PyRef str_for(const typename Tree::Node& scalar) { return Tree::scalar_str(scalar); }
};

// A scalar met again, at another position of a value an alias or merge
// shares, gives the str made at its first position: strs are immutable,
// so the copies need not be distinct, and a document of many aliases
// makes far fewer objects. The text of a scalar (a view of the document or
// of the arena) is the same bytes wherever it stands, so its address and
// length name it.
class SharedStrs {
public:
    SharedStrs() : slots_(initial_slots) {}
    ~SharedStrs() {
        for (const Slot& slot : slots_) Py_XDECREF(slot.str);
    }
    SharedStrs(const SharedStrs&) = delete;
    SharedStrs& operator=(const SharedStrs&) = delete;

    PyRef str_for(const DocValue& scalar) {
        if (scalar.is_block_text()) return DocumentTree::scalar_str(scalar);
        const std::string_view text = scalar.text();
        Slot* slot = find(text);
        if (slot->str != nullptr) return PyRef::borrow(slot->str);
        PyRef str = DocumentTree::scalar_str(scalar);
        *slot = Slot{text.data(), text.size(), Py_NewRef(str.get())};
        if (++used_ * 2 > slots_.size()) grow();
        return str;
    }

private:
    // An open-addressed table of (address, length) → str, at most half
    // full: a document of many aliases meets each scalar many times, and a
    // node-based map's allocation and pointer chasing per scalar cost a
    // third of its loads.
    struct Slot {
        const char* text = nullptr;
        std::size_t size = 0;
        PyObject* str = nullptr;
    };
    static constexpr int initial_bits = 10;
    static constexpr std::size_t initial_slots = std::size_t{1} << initial_bits;

    // The slot holding `text`, or the empty one where it goes.
    Slot* find(std::string_view text) noexcept {
        const std::size_t mask = slots_.size() - 1;
        // Fibonacci hashing of the address: scalars are a few bytes apart.
        std::size_t at = (reinterpret_cast<std::uintptr_t>(text.data()) * 0x9E3779B97F4A7C15ULL) >> shift_;
        while (slots_[at].str != nullptr && (slots_[at].text != text.data() || slots_[at].size != text.size()))
            at = (at + 1) & mask;
        return &slots_[at];
    }

    void grow() {
        std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(slots_.size() * 2));
        --shift_;
        for (const Slot& slot : old)
            if (slot.str != nullptr) *find(std::string_view(slot.text, slot.size)) = slot;
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
    // 64 less the number of bits of a slot's index.
    int shift_ = 64 - initial_bits;
};

template <typename Tree, typename Strs = FreshStrs<Tree>>
class Converter {
public:
    using Node = typename Tree::Node;

    // With a snapshot, every value made is also recorded there.
    explicit Converter(ValueSnapshot* snapshot = nullptr) noexcept : snapshot_(snapshot) {}

    PyRef run(const Node& root) {
        if (Tree::is_scalar(root)) {
            PyRef str = strs_.str_for(root);
            if (snapshot_) snapshot_->add_str(nullptr, str.get());
            return str;
        }
        open_.push_back(open_frame(root));
        for (;;) {
            if (const Node* nested = fill_scalars(open_.back())) {
                open_.push_back(open_frame(*nested));
                continue;
            }
            PyRef complete = std::move(open_.back().target);
            if (!Tree::is_sequence(*open_.back().source) && !open_.back().holds_container)
                PyObject_GC_UnTrack(complete.get());
            const std::uint32_t node = open_.back().node;
            if (snapshot_) snapshot_->close(node);
            open_.pop_back();
            if (open_.empty()) return complete;
            store(open_.back(), std::move(complete), node);
        }
    }

private:
    // One container being filled: its source, the Python object, how many
    // children are stored, and (for a mapping) the next entry.
    struct Frame {
        const Node* source;
        PyRef target;
        std::size_t next = 0;
        std::size_t size = 0;
        typename Tree::EntryCursor entry{};
        // Its node in the snapshot, if any.
        std::uint32_t node = 0;
        // Whether a list or dict was stored in it.
        bool holds_container = false;
    };

    static constexpr std::uint32_t no_node = UINT32_MAX;

    // A list is created at its final length and filled in place; its empty
    // slots are never seen by Python code, and the collector and the list's
    // own deallocation both skip them. A dict is sized for its entries up
    // front, so it never grows while it is filled.
    Frame open_frame(const Node& container) {
        const std::size_t size = Tree::size(container);
        const auto length = static_cast<Py_ssize_t>(size);
        const bool sequence = Tree::is_sequence(container);
        PyRef made = PyRef::steal(sequence ? PyList_New(length) : _PyDict_NewPresized(length));
        if (!made) throw api_call_failed();
        // The collector meets parents before their children when its list
        // holds them in that order; a dict would be tracked only when its
        // first container is stored, after that container. So a dict is
        // tracked as it opens, like a list, and untracked again when it
        // closes holding none, as the interpreter leaves such a dict.
        if (!PyObject_GC_IsTracked(made.get())) PyObject_GC_Track(made.get());
        Frame frame{&container, std::move(made), 0, size};
        if (!sequence) frame.entry = Tree::first_entry(container);
        if (snapshot_)
            frame.node = snapshot_->open(sequence ? ValueSnapshot::Kind::sequence : ValueSnapshot::Kind::mapping,
                                         frame.target.get());
        return frame;
    }

    // The value is converted before its key is created, so a failing value
    // never leaves a key behind. `node`: the snapshot's node of a container
    // item, recorded when it was opened; a str is recorded here.
    void store(Frame& frame, PyRef item, std::uint32_t node = no_node) {
        if (PyList_CheckExact(item.get()) || PyDict_CheckExact(item.get())) frame.holds_container = true;
        if (Tree::is_sequence(*frame.source)) {
            if (snapshot_ && node == no_node) snapshot_->add_str(nullptr, item.get());
            PyList_SET_ITEM(frame.target.get(), static_cast<Py_ssize_t>(frame.next), item.release());
        } else {
            PyRef key = PyRef::steal(keys_.str_for(Tree::key(frame.entry)));
            if (!key) throw api_call_failed();
            if (PyDict_SetItem(frame.target.get(), key.get(), item.get()) < 0) throw fetch_current_error();
            if (snapshot_) {
                if (node == no_node) {
                    snapshot_->add_str(key.get(), item.get());
                } else {
                    snapshot_->set_key(node, key.get());
                }
            }
            ++frame.entry;
        }
        ++frame.next;
    }

    // Stores the frame's scalar children in order until it meets a nested
    // container, which it returns unstored, or the end, where it returns null.
    const Node* fill_scalars(Frame& frame) {
        const bool sequence = Tree::is_sequence(*frame.source);
        while (frame.next < frame.size) {
            const Node& child = sequence ? Tree::item(*frame.source, frame.next) : Tree::entry_value(frame.entry);
            if (Tree::is_made(child)) {
                store(frame, PyRef::borrow(Tree::made_object(child)));
                continue;
            }
            if (!Tree::is_scalar(child)) return &child;
            store(frame, strs_.str_for(child));
        }
        return nullptr;
    }

    KeyCache keys_;
    Strs strs_;
    std::vector<Frame> open_;
    ValueSnapshot* snapshot_;
};

#if PY_VERSION_HEX >= 0x030C0000 && PY_VERSION_HEX < 0x030E0000
// The interpreter's own builder of the dicts of a display ({"a": x, ...}),
// exported by 3.12 and 3.13 though not in the public headers: when every key
// is an exact str it sizes the dict for its entries with the compact table
// of str keys (16 bytes an entry), which _PyDict_NewPresized never uses
// (24), so a dict made by it takes a third less room for its entries than
// one made presized, as little as one built by insertion, without the
// insertion's regrowth.
extern "C" PyObject* _PyDict_FromItems(PyObject* const* keys, Py_ssize_t keys_offset, PyObject* const* values,
                                       Py_ssize_t values_offset, Py_ssize_t length);

PyObject* dict_of_pairs(PyObject* const* pairs, Py_ssize_t count) {
    return _PyDict_FromItems(pairs, 2, pairs + 1, 2, count);
}
#else
PyObject* dict_of_pairs(PyObject* const* pairs, Py_ssize_t count) {
    PyObject* dict = _PyDict_NewPresized(count);
    for (Py_ssize_t i = 0; dict != nullptr && i < count; ++i) {
        if (PyDict_SetItem(dict, pairs[2 * i], pairs[2 * i + 1]) < 0) Py_CLEAR(dict);
    }
    return dict;
}
#endif

// The reader's object-making sink: each sequence and mapping that the
// reader will not read again becomes its list or dict as soon as its block
// closes, so that the reader holds no tree of it beside the objects. What
// the reader keeps as a tree (anchored blocks and what aliases copy of
// them) is converted where it stands, by a Converter whose strs an alias's
// copies share.
class ObjectSink final : public ValueSink {
public:
    ObjectSink() = default;
    ~ObjectSink() {
        for (PyObject* object : pairs_) Py_XDECREF(object);
        for (PyObject* object : open_) Py_DECREF(object);
        for (const Finished& finished : made_) Py_DECREF(finished.container());
    }
    ObjectSink(const ObjectSink&) = delete;
    ObjectSink& operator=(const ObjectSink&) = delete;

    // An empty list, appended to as json's reader does: it grows by a
    // fraction of its size, where a stack of the items until the end would
    // hold a second array of them.
    [[gnu::hot]] void* open_sequence() override { return hold_open(PyList_New(0)); }
    [[gnu::hot]] void add_item(void* sequence, const DocValue& value) override {
        PyRef item = object_of(value);
        if (PyList_Append(static_cast<PyObject*>(sequence), item.get()) < 0) throw api_call_failed();
    }
    [[gnu::hot]] DocValue finish_sequence(void* sequence) override {
        finish_open(static_cast<PyObject*>(sequence));
        return DocValue::made(DocValue::Kind::sequence, sequence);
    }

    // Keys and values are made in key order, then the dict of them at once.
    [[gnu::hot]] DocValue finish_mapping(std::span<const DocEntry> entries) override {
        if (entries.size() > max_paired_entries) return DocValue::made(DocValue::Kind::mapping, inserted(entries));
        // Room first, so that holding a reference never fails.
        pairs_.reserve(2 * entries.size());
        for (const DocEntry& entry : entries) {
            // A value is made before its key, and each is held at once, so
            // that a failure leaves nothing behind.
            PyRef value = object_of(entry.node.value);
            PyObject* key = keys_.str_for(entry.key);
            if (key == nullptr) throw api_call_failed();
            pairs_.push_back(key);
            pairs_.push_back(value.release());
        }
        PyObject* dict = dict_of_pairs(pairs_.data(), static_cast<Py_ssize_t>(entries.size()));
        for (PyObject* object : pairs_) Py_DECREF(object);
        pairs_.clear();
        return DocValue::made(DocValue::Kind::mapping, keep_finished(dict));
    }

    // The collector's list of tracked objects, parents first: the reverse
    // of the order in which the containers were finished, each after all
    // within it. Called once the root is made.
    void track_parents_first() noexcept {
        // Tracking a tracked object aborts the interpreter. None should be
        // (nothing is added to a finished container), and the check is cheap.
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            if (it->untracked() && !PyObject_GC_IsTracked(it->container())) PyObject_GC_Track(it->container());
        }
    }

    // A new reference to the object of a value the reader gave.
    [[gnu::hot]] PyRef object_of(const DocValue& value) {
        if (value.is_made()) return PyRef::borrow(DocumentTree::made_object(value));
        if (value.is_scalar()) return DocumentTree::scalar_str(value);
        return converted(value);
    }

private:
    // Containers are finished from the innermost out, so the collector's
    // list would hold each child before its parent. A collection then
    // first takes every child for unreachable and moves it back once it
    // reaches the parent: gc.collect() over the objects of the deep bench
    // document took twice as long as over json's. So each finished
    // container the collector tracks is untracked until the whole tree
    // stands (the reader runs no Python code, and nothing can reach the
    // objects before they are returned), then tracked again parents first.
    // A finished container is held by a strong reference until the sink
    // goes, marked when the sink untracked it; the mark takes the pointer's
    // lowest bit, which an object's alignment leaves clear, so that the
    // record of every container costs no more than the pointer.
    class Finished {
    public:
        explicit Finished(PyObject* container) noexcept : bits_(reinterpret_cast<std::uintptr_t>(container)) {
            VORN_ASSERT((bits_ & untracked_mark) == 0);
        }
        PyObject* container() const noexcept { return reinterpret_cast<PyObject*>(bits_ & ~untracked_mark); }
        bool untracked() const noexcept { return (bits_ & untracked_mark) != 0; }
        void mark_untracked() noexcept { bits_ |= untracked_mark; }

    private:
        static constexpr std::uintptr_t untracked_mark = 1;
        std::uintptr_t bits_;
    };

    // Mappings of more entries are made by insertion, as json's reader
    // makes them, so that their keys and values need not be held twice;
    // the dict regrows a few times, in a compact table of str keys.
    static constexpr std::size_t max_paired_entries = 1024;

    // A container made whole here, from what the reader kept as a tree (an
    // empty list or dict written inline, a copy of an anchored block), and
    // finished as the sink's own containers are. Apart from object_of, which
    // stays small enough to be inlined where each value is made.
    [[gnu::noinline]] PyRef converted(const DocValue& value) {
        if (!trees_) trees_.emplace();
        PyRef made = trees_->run(value);
        if (PyObject_GC_IsTracked(made.get())) keep_finished(Py_NewRef(made.get()));
        return made;
    }

    // Holds a new container being filled (or throws for a failure to make
    // it) until it is finished.
    [[gnu::hot]] PyObject* hold_open(PyObject* made) {
        PyRef held = PyRef::steal(made);
        if (!held) throw api_call_failed();
        open_.push_back(held.get());
        return held.release();
    }

    // Records a finished container in made_ and untracks it. The caller's
    // reference passes to made_ once this returns; if it throws, the caller
    // still holds it.
    [[gnu::hot]] void add_finished(PyObject* container) {
        made_.emplace_back(container);
        if (PyObject_GC_IsTracked(container)) {
            PyObject_GC_UnTrack(container);
            made_.back().mark_untracked();
        }
    }

    // Takes a new reference to a finished container (or throws for a
    // failure to make it), held until the sink goes.
    [[gnu::hot]] PyObject* keep_finished(PyObject* made) {
        PyRef held = PyRef::steal(made);
        if (!held) throw api_call_failed();
        add_finished(held.get());
        return held.release();
    }

    // A container held open, now finished: its reference moves to made_.
    // Open containers finish innermost first, so it is the last one open.
    [[gnu::hot]] void finish_open(PyObject* container) {
        VORN_ASSERT(!open_.empty() && open_.back() == container);
        add_finished(container);
        open_.pop_back();
    }

    [[gnu::hot]] PyObject* inserted(std::span<const DocEntry> entries) {
        PyObject* dict = hold_open(PyDict_New());
        for (const DocEntry& entry : entries) {
            PyRef value = object_of(entry.node.value);
            PyRef key = PyRef::steal(keys_.str_for(entry.key));
            if (!key) throw api_call_failed();
            if (PyDict_SetItem(dict, key.get(), value.get()) < 0) throw fetch_current_error();
        }
        finish_open(dict);
        return dict;
    }

    // One mapping's keys and values while its dict is made.
    std::vector<PyObject*> pairs_;
    // The containers being filled, a strong reference each.
    std::vector<PyObject*> open_;
    // Every container finished, in that order, a strong reference each until
    // the sink goes: the reader may drop one (a key given twice keeps the
    // later value).
    std::vector<Finished> made_;
    KeyCache keys_;
    std::optional<Converter<DocumentTree, SharedStrs>> trees_;
};

}  // namespace

[[gnu::hot]] Result<PyRef> read_to_python(std::string_view text) {
    ObjectSink sink;
    Result<Document> read = read_document(text, sink);
    if (!read) return std::move(read).error();
    // The sink made the root, unless the text held no entry at all.
    const DocValue& root = read.value().root();
    PyRef made = sink.object_of(root.is_made() ? root : sink.finish_mapping(root.entries()));
    sink.track_parents_first();
    return made;
}

PyRef value_to_python(const Value& value) { return Converter<ValueTree>().run(value); }

PyRef document_to_python(const Document& document, ValueSnapshot* snapshot) {
    if (document.shares_values()) return Converter<DocumentTree, SharedStrs>(snapshot).run(document.root());
    return Converter<DocumentTree>(snapshot).run(document.root());
}

}  // namespace vorn::binding
