// The room of the text the writer wrote last, kept for the next text on the
// same thread. Written into a string that grows by doubling, a text of a
// megabyte would fault fresh pages in at every call and copy itself on the
// way; with the room kept, the pages are there.
#pragma once

#include <string>
#include <utility>

#include "tree/kept_room.hpp"

namespace vorn::binding {

class KeptText {
public:
    // The kept room, empty, or an empty string. Any text may take it, however
    // short: its bytes are copied into a str before it is let go, so no
    // small text ever holds it for long.
    static std::string take() noexcept {
        std::string* kept = PerThread<std::string>::get();
        if (kept == nullptr) return {};
        std::string room = std::move(*kept);
        room.clear();
        return room;
    }

    // Keeps the room of `text` if it is larger than what is kept and not
    // too large to keep.
    static void keep(std::string&& text) noexcept {
        std::string* kept = PerThread<std::string>::get();
        if (kept == nullptr || text.capacity() > max_kept_bytes || text.capacity() <= kept->capacity()) return;
        *kept = std::move(text);
    }
};

}  // namespace vorn::binding
