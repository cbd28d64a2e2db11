// Python objects written as text in one walk, through the layout walk every
// writer shares, without the flat tree between them. The route gives only a
// clean text: whatever it does not write exactly as the flat tree's route
// would (a fault, a refusal, two keys of one text, deep nesting) it leaves
// to that route, whose faults and messages are the ones reported. A call
// left to it pays for both walks; those are failures, or rare.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vorn/assert.hpp"

#include "conversions.hpp"
#include "kept_text.hpp"
#include "str_from_utf8.hpp"
#include "tree/key_order.hpp"
#include "write/layout_writer.hpp"

namespace vorn::binding {
namespace {

// Thrown where the objects hold what only the flat tree's route reports
// exactly.
struct LeftToFlatTree {};

// Objects nested deeper are left to the flat tree's route, which finds a
// structure that holds itself before it writes anything. Written as it is
// walked, such a structure would first give lines ever more indented, about
// depth squared bytes, up to the interpreter's limit.
constexpr std::size_t max_levels = 128;

// Reads str, list and dict objects (subclasses through their built-in
// storage) for the layout walk. No Python code runs from the first read to
// the last write, so the walk needs no reference of its own to anything:
// nothing in it calls out to Python, the UTF-8 form of a str is cached in
// raw memory, an exception object is made only when the walk stops, and
// since 3.12 making an object only schedules a collection, for the
// interpreter's loop. The layout walk holds a const reader, so the state
// of the walk is mutable.
//
// It relies on the layout walk's default style, the only one emit_root
// writes: each cursor opened is read to its end, innermost first, which is
// where a container's level and a dict's gathered entries are let go.
class ObjectReader {
public:
    struct Child {
        std::string_view key;
        PyObject* value;
    };

    // A list's items by index, or a dict's entries as gathered in `entries_`.
    struct Cursor {
        PyObject* list;  // null for a dict
        std::size_t next;
        std::size_t end;
        std::size_t first;  // a dict's: where its entries start in `entries_`
    };

    static constexpr bool has_comments = false;

    ObjectReader() = default;
    ObjectReader(const ObjectReader&) = delete;
    ObjectReader& operator=(const ObjectReader&) = delete;
    ~ObjectReader() {
        for (; open_levels_ != 0; --open_levels_) Py_LeaveRecursiveCall();
    }

    // Checks an object before the layout walk meets it: a str, list or dict,
    // or LeftToFlatTree is thrown. The flat tree's route enters a level for
    // an empty container too, which the layout walk writes without opening
    // it, so an empty one takes its level here.
    void check_value(PyObject* object) const {
        if (PyUnicode_Check(object)) return;
        if (!PyList_Check(object) && !PyDict_Check(object)) throw LeftToFlatTree{};
        if (!is_empty(object)) return;
        enter_level();
        leave_level();
    }

    Cursor open(PyObject* container) const {
        enter_level();
        if (PyList_Check(container)) return {container, 0, static_cast<std::size_t>(PyList_GET_SIZE(container)), 0};
        const std::size_t first = entries_.size();
        gather_entries(container);
        return {nullptr, first, entries_.size(), first};
    }

    bool next(Cursor& cursor, Child& child) const {
        if (cursor.next == cursor.end) {
            // The layout walk reads each cursor to its end, innermost first,
            // so a dict's entries are the last gathered when it ends.
            if (cursor.list == nullptr) entries_.resize(cursor.first);
            leave_level();
            return false;
        }
        if (cursor.list != nullptr) {
            PyObject* const item = PyList_GET_ITEM(cursor.list, cursor.next++);
            check_value(item);
            child = {{}, item};
            return true;
        }
        const Entry& entry = entries_[cursor.next++];
        child = {entry.key, entry.value};
        return true;
    }

    static bool is_mapping(const Cursor& cursor) { return cursor.list == nullptr; }
    // Only the flat tree's route reports where a fault is.
    static std::size_t position(const Child&) { return 0; }
    static std::string_view key(const Child& child) { return child.key; }
    static PyObject* value(const Child& child) { return child.value; }
    static const std::vector<CommentLine>& comments(const Child&) { return no_comments_; }
    static const std::optional<std::string>& inline_comment(const Child&) { return no_inline_comment_; }
    static bool is_scalar(PyObject* object) { return PyUnicode_Check(object); }
    static bool is_sequence(PyObject* object) { return PyList_Check(object); }
    static bool is_mapping_value(PyObject* object) { return PyDict_Check(object); }
    std::string_view text(PyObject* object) const { return utf8_of(object, all_ascii_); }
    static bool is_empty(PyObject* object) {
        return PyList_Check(object) ? PyList_GET_SIZE(object) == 0 : PyDict_GET_SIZE(object) == 0;
    }

    // The dict's first entry under `key` in arrival order. It is the one
    // written because a dict holding a key twice is left to the flat tree's
    // route when its entries are gathered, before any text is given.
    std::optional<Child> kept_entry(PyObject* mapping, std::string_view wanted) const {
        Py_ssize_t position = 0;
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        while (PyDict_Next(mapping, &position, &key, &value)) {
            if (!PyUnicode_Check(key)) throw LeftToFlatTree{};
            if (utf8_of(key, all_ascii_) == wanted) return Child{wanted, value};
        }
        return std::nullopt;
    }

    bool all_ascii() const noexcept { return all_ascii_; }
    bool all_levels_left() const noexcept { return open_levels_ == 0; }

private:
    struct Entry {
        std::uint64_t prefix;
        std::string_view key;
        PyObject* value;
    };

    void enter_level() const {
        if (open_levels_ == max_levels) throw LeftToFlatTree{};
        if (Py_EnterRecursiveCall(dumps_recursion_context)) throw fetch_current_error();
        ++open_levels_;
    }

    void leave_level() const {
        VORN_ASSERT(open_levels_ != 0);
        --open_levels_;
        Py_LeaveRecursiveCall();
    }

    // The dict's entries in the order written. Two keys of one text (str
    // subclasses) are left to the flat tree's route, which also converts
    // the value it drops.
    void gather_entries(PyObject* dict) const {
        const std::size_t first = entries_.size();
        bool in_key_order = true;
        std::string_view last_key;
        Py_ssize_t position = 0;
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        while (PyDict_Next(dict, &position, &key, &value)) {
            if (!PyUnicode_Check(key)) throw LeftToFlatTree{};
            const std::string_view text = utf8_of(key, all_ascii_);
            check_value(value);
            if (in_key_order && entries_.size() != first && !key_less(last_key, text)) in_key_order = false;
            last_key = text;
            entries_.push_back({0, text, value});
        }
        if (in_key_order) return;
        const std::span<Entry> gathered(entries_.data() + first, entries_.size() - first);
        for (Entry& entry : gathered) entry.prefix = key_prefix(entry.key);
        sort_by_key(gathered, [](const Entry& entry) { return entry.key; }, prefixed_key_less<Entry>);
        for (std::size_t i = 1; i < gathered.size(); ++i)
            if (gathered[i].key == gathered[i - 1].key) throw LeftToFlatTree{};
    }

    mutable std::vector<Entry> entries_;
    mutable std::size_t open_levels_ = 0;
    mutable bool all_ascii_ = true;
    static inline const std::vector<CommentLine> no_comments_{};
    static inline const std::optional<std::string> no_inline_comment_{};
};

}  // namespace

std::optional<std::string> write_objects_directly(PyObject* object, WriteChecks checks, bool& ascii) {
    try {
        ObjectReader reader;
        reader.check_value(object);
        CheckedText written = emit_checked_root(reader, object, checks, initial_text_capacity, KeptText::take());
        if (written.fault != WriteFault::none) {
            KeptText::keep(std::move(written.text));
            return std::nullopt;
        }
        VORN_ASSERT(reader.all_levels_left());
        ascii = reader.all_ascii();
        return std::move(written.text);
    } catch (const LeftToFlatTree&) {
        return std::nullopt;
    } catch (const ErrorState&) {
        // The interpreter's error was taken into the ErrorState and is
        // dropped with it; the flat tree's route meets it again.
        return std::nullopt;
    }
}

PyRef str_of_written_text(std::string&& text, bool ascii) {
    PyRef made = PyRef::steal(ascii ? ascii_str(text) : str_from_non_ascii_utf8(text));
    KeptText::keep(std::move(text));
    if (!made) throw api_call_failed();
    return made;
}

}  // namespace vorn::binding
