#include "read/syntax.hpp"

#include <algorithm>
#include <utility>

namespace vorn {

namespace {

// Counted in runs of 255 bytes into a byte-wide counter, which the
// compiler turns into vector compares: six times the speed of std::count,
// whose wide counter it leaves a byte at a time.
std::size_t count_line_feeds(std::string_view text) noexcept {
    std::size_t total = 0;
    while (!text.empty()) {
        const std::string_view run = text.substr(0, 255);
        unsigned char in_run = 0;
        for (const char byte : run) in_run += static_cast<unsigned char>(byte == '\n');
        total += in_run;
        text.remove_prefix(run.size());
    }
    return total;
}

}  // namespace

SyntaxRecorder::SyntaxRecorder(std::string_view text, std::vector<SyntaxRecord> storage)
    : text_(text), records_(std::move(storage)) {
    VORN_ASSERT(text.size() <= max_text_size);
    records_.clear();
    // A record for each line, found by one vectorised count, spares the
    // copies of a growing vector: at 100 bytes a record, moving them as it
    // grows cost a twentieth of the read. Only an item's inline mapping
    // makes more than one record on a line.
    records_.reserve(count_line_feeds(text) + 1);
}

std::uint32_t SyntaxRecorder::add(std::uint32_t parent) {
    const auto index = static_cast<std::uint32_t>(records_.size());
    SyntaxRecord& record = records_.emplace_back();
    record.parent = parent != no_record ? parent : open_owner();
    VORN_ASSERT(record.parent == no_record || record.parent < index);
    return index;
}

std::uint32_t SyntaxRecorder::add_scalar_item(SyntaxForm form, std::uint32_t line, std::uint32_t indent, ByteSpan head,
                                              std::uint32_t lines_begin, ByteSpan value, DocValue value_as_read) {
    const auto index = static_cast<std::uint32_t>(records_.size());
    // Made with every field given: zeroing the record first and filling it
    // after cost as much again as the line's reading.
    records_.push_back(SyntaxRecord{.kind = SyntaxKind::item,
                                    .form = form,
                                    .parent = open_owner(),
                                    .line = line,
                                    .indent = indent,
                                    .head = head,
                                    .lines = {lines_begin, head.end},
                                    .value = value,
                                    .value_as_read = value_as_read});
    return index;
}

void SyntaxRecorder::anchor_recorded() {
    const SyntaxRecord& record = at(last_closed_);
    anchors_[text_.substr(record.anchor.begin, record.anchor.end - record.anchor.begin)] = last_closed_;
}

std::uint32_t SyntaxRecorder::anchored(std::string_view name) const noexcept {
    const auto found = anchors_.find(name);
    return found == anchors_.end() ? no_record : found->second;
}

std::vector<SyntaxRecord> SyntaxRecorder::finish() && {
    // Children stand after their parent, so one pass from the end carries
    // every last line up to the root. The same pass starts each nested
    // block without an anchor at its first line: its first child, the last
    // one met going backward. Until then its value starts where its own
    // line ends, and an anchored one starts earlier, at the '&'. One pass,
    // as the records of a large document are far more than the caches hold.
    for (std::size_t index = records_.size(); index-- > 0;) {
        const SyntaxRecord& record = records_[index];
        if (record.parent == no_record) continue;
        SyntaxRecord& parent = records_[record.parent];
        parent.lines.end = std::max(parent.lines.end, record.lines.end);
        if (parent.form == SyntaxForm::nested_block || parent.form == SyntaxForm::inline_mapping)
            parent.value.end = std::max(parent.value.end, record.lines.end);
        if (parent.form == SyntaxForm::nested_block && parent.value.begin >= parent.head.end)
            parent.value.begin = record.head.begin;
    }
    return std::move(records_);
}

}  // namespace vorn
