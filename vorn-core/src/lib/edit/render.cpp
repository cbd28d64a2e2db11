// The new text: inserted pieces placed (moved items taken from their place
// with the edits made inside them), comment lines kept clear of blocks that
// an edit left open above them, and the splices made.
#include <algorithm>
#include <numeric>
#include <string>

#include "edit/planner.hpp"
#include "text/trim.hpp"

namespace vorn::edit {

void Planner::rank_insertions() {
    ranked_.resize(insertions_.size());
    std::iota(ranked_.begin(), ranked_.end(), 0u);
    std::stable_sort(ranked_.begin(), ranked_.end(), [&](std::uint32_t a, std::uint32_t b) {
        const InsertedPiece& x = insertions_[a];
        const InsertedPiece& y = insertions_[b];
        return x.offset != y.offset ? x.offset < y.offset : x.depth > y.depth;
    });
    for (std::uint32_t rank = 0; rank < ranked_.size(); ++rank) {
        const InsertedPiece& piece = insertions_[ranked_[rank]];
        if (piece.moved_record != no_record) piece_of_moved_[piece.moved_record] = rank;
    }
}

std::uint32_t Planner::moved_holding(std::uint32_t offset, std::uint32_t depth, bool piece) const {
    std::uint32_t holder = no_record;
    for (const std::uint32_t moved : moved_) {
        const std::uint32_t begin = lines_begin(moved);
        const std::uint32_t end = lines_end(moved);
        // A piece inserted where the item starts stands before it; one deeper
        // than the item at its very end closes a block of it.
        const bool holds = ((piece ? begin < offset : begin <= offset) && offset < end) ||
                           (piece && offset == end && depth > facts(moved).depth);
        if (holds && (holder == no_record || begin > lines_begin(holder))) holder = moved;
    }
    return holder;
}

Planner::OrderKey Planner::order_key(std::uint32_t offset) const {
    // The moved items that hold the offset, from the innermost out: where
    // in each the offset (or the next one in) stands, and the rank of the
    // piece it moves as.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> levels;
    std::uint32_t at = offset;
    std::uint32_t at_depth = 0;
    bool piece_offset = false;
    for (std::uint32_t moved = moved_holding(at, at_depth, piece_offset); moved != no_record;
         moved = moved_holding(at, at_depth, piece_offset)) {
        const std::uint32_t rank = piece_of_moved_.at(moved);
        levels.emplace_back(at - lines_begin(moved), rank);
        const InsertedPiece& piece = insertions_[ranked_[rank]];
        at = piece.offset;
        at_depth = piece.depth;
        piece_offset = true;
    }
    // From the outside in: where the outermost piece goes, then for each
    // level 0 (a piece inserted there, before the text as read at that
    // offset) and its rank and the offset inside it; 1 for the text as read.
    OrderKey key{at};
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
        key.push_back(0);
        key.push_back(level->second);
        key.push_back(level->first);
    }
    key.push_back(1);
    return key;
}

void Planner::place_insertions() {
    rank_insertions();
    // Deepest first: what goes inside a moved item is placed before the
    // item is taken from its place. Pieces at one offset and depth make one
    // splice, in the order they stand.
    std::vector<std::uint32_t> order = ranked_;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return insertions_[a].depth > insertions_[b].depth; });
    std::unordered_map<std::uint32_t, std::string> tails;
    for (std::size_t first = 0; first < order.size();) {
        const InsertedPiece& lead = insertions_[order[first]];
        std::string text;
        std::uint32_t threshold = no_threshold;
        std::size_t next = first;
        for (; next < order.size() && insertions_[order[next]].offset == lead.offset &&
               insertions_[order[next]].depth == lead.depth;
             ++next) {
            const InsertedPiece& piece = insertions_[order[next]];
            if (piece.moved_record == no_record) {
                text += piece.text;
                threshold = piece.open_threshold;
                continue;
            }
            // The item leaves its place with the edits inside it made.
            const std::uint32_t moved = piece.moved_record;
            const std::uint32_t begin = lines_begin(moved);
            const std::uint32_t end = lines_end(moved);
            text += splices_.extract(begin, end).apply(text_, begin, end);
            text += tails[moved];
            threshold = open_threshold_of(moved);
            current_path_ = 0;
            add(begin, end, std::string());
        }
        first = next;
        // A piece at a moved item's very end closes one of its blocks: it
        // moves with the item.
        const std::uint32_t holder = moved_holding(lead.offset, lead.depth, true);
        if (holder != no_record && lead.offset == lines_end(holder)) {
            tails[holder] += text;
            continue;
        }
        add(lead.offset, lead.offset, std::move(text), threshold);
    }
}

void Planner::fix_seams() {
    // The new text as pieces: stretches of the text as read and the
    // splices' texts, in order.
    std::vector<Splice> splices = splices_.splices();
    struct Piece {
        std::uint32_t begin;
        std::uint32_t end;
        Splice* splice;  // null for a stretch of the text as read
    };
    std::vector<Piece> pieces;
    std::uint32_t cursor = 0;
    for (Splice& splice : splices) {
        if (splice.begin > cursor) pieces.push_back({cursor, splice.begin, nullptr});
        pieces.push_back({splice.begin, splice.end, &splice});
        cursor = splice.end;
    }
    if (cursor < text_.size()) pieces.push_back({cursor, static_cast<std::uint32_t>(text_.size()), nullptr});

    // Comment lines after an open block, deeper than it, that stand above a
    // line that is not the block's: re-indented to that line, so that they
    // stay comment lines.
    struct Candidate {
        Splice* splice;    // null: a line of the text as read
        std::uint32_t at;  // where the line starts (in the text, or the splice's text)
        std::uint32_t indent;
    };
    std::vector<Candidate> candidates;
    std::vector<Splice> reindented;
    std::uint32_t open = no_threshold;
    bool at_line_start = true;
    const auto settle = [&](std::uint32_t next_indent, bool next_exists) {
        if (open != no_threshold && !(next_exists && next_indent > open)) {
            const std::uint32_t target = next_exists ? next_indent : open;
            // From the last, so that offsets inside a splice's text hold.
            for (auto candidate = candidates.rbegin(); candidate != candidates.rend(); ++candidate) {
                if (candidate->splice != nullptr) {
                    candidate->splice->text.replace(candidate->at, candidate->indent, std::string(target, ' '));
                } else {
                    reindented.push_back({candidate->at, candidate->at + candidate->indent, std::string(target, ' ')});
                }
            }
        }
        candidates.clear();
    };
    for (const Piece& piece : pieces) {
        const std::string_view body = piece.splice != nullptr ? std::string_view(piece.splice->text)
                                                              : text_.substr(piece.begin, piece.end - piece.begin);
        std::size_t line = 0;
        bool content_seen = false;
        if (!at_line_start) {
            // The rest of a line an edit changed: part of that line.
            const std::size_t line_end = body.find('\n');
            line = line_end == std::string_view::npos ? body.size() : line_end + 1;
        }
        while (line < body.size() && !content_seen) {
            const std::size_t line_end = std::min(body.find('\n', line), body.size());
            const std::string_view whole = body.substr(line, line_end - line);
            const std::string_view text = trim(whole);
            std::uint32_t indent = 0;
            while (indent < whole.size() && whole[indent] == ' ') ++indent;
            if (!text.empty() && text.front() == '#') {
                if (open != no_threshold && indent > open) {
                    const std::uint32_t at = piece.splice != nullptr ? static_cast<std::uint32_t>(line)
                                                                     : piece.begin + static_cast<std::uint32_t>(line);
                    candidates.push_back({piece.splice, at, indent});
                }
            } else if (!text.empty()) {
                settle(indent, true);
                content_seen = true;
            }
            line = line_end + 1;
        }
        if (!body.empty()) at_line_start = body.back() == '\n';
        // What the piece leaves open after its last line.
        if (piece.splice != nullptr) {
            if (content_seen || piece.splice->open_threshold != no_threshold) open = piece.splice->open_threshold;
            if (!piece.splice->text.empty() && !content_seen && piece.splice->open_threshold == no_threshold &&
                piece.splice->text.find_first_not_of(" \r\n") != std::string::npos)
                open = no_threshold;
        } else {
            open = open_after_stretch(piece.begin, piece.end, open);
        }
    }
    settle(0, false);
    SpliceSet fixed;
    for (Splice& splice : splices) {
        const bool added = fixed.add(std::move(splice));
        VORN_ASSERT(added);
    }
    for (Splice& splice : reindented) {
        const bool added = fixed.add(std::move(splice));
        VORN_ASSERT(added);
    }
    splices_ = std::move(fixed);
}

std::uint32_t Planner::open_after_stretch(std::uint32_t begin, std::uint32_t end, std::uint32_t open) const {
    // The last record whose line starts before the stretch's end.
    const auto& all = records_.records();
    const auto after = std::partition_point(all.begin(), all.end(),
                                            [&](const SyntaxRecord& written) { return written.head.begin < end; });
    if (after == all.begin()) return open;
    const auto index = static_cast<std::uint32_t>(after - all.begin() - 1);
    const SyntaxRecord& last = all[index];
    if (last.head.begin >= begin || lines_end(index) > begin) {
        // The stretch ends on the record's line or below it.
        if (end <= head_line_end(index)) return last.head.begin >= begin ? head_open(index) : open;
        return open_threshold_of(index);
    }
    return open;
}

std::uint32_t Planner::head_open(std::uint32_t index) const {
    const SyntaxRecord& written = record(index);
    switch (written.form) {
        case SyntaxForm::literal_block:
        case SyntaxForm::empty:
            return open_threshold_of(index);
        case SyntaxForm::nested_block:
            return site_of(index) == LineSite::item_entry ? record(written.parent).indent + 1 : written.indent;
        default:
            return no_threshold;
    }
}

std::string Planner::assemble() const {
    std::string result = splices_.apply(text_, 0, static_cast<std::uint32_t>(text_.size()));
    // The line break added to a last line that had none goes again, unless
    // something now stands after it.
    if (added_line_feed_) {
        const std::uint32_t original_end = static_cast<std::uint32_t>(text_.size() - newline_.size());
        bool reached_end = false;
        for (const Splice& splice : splices_.splices()) reached_end = reached_end || splice.end > original_end;
        if (!reached_end && result.ends_with(newline_)) result.resize(result.size() - newline_.size());
    }
    return result;
}

}  // namespace vorn::edit
