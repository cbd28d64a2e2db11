#include "read/syntax.hpp"

#include <algorithm>
#include <utility>

namespace vorn {

SyntaxRecorder::SyntaxRecorder(std::string_view text, std::vector<SyntaxRecord> storage)
    : text_(text), records_(std::move(storage)) {
    VORN_ASSERT(text.size() <= max_text_size);
    records_.clear();
    // Configuration lines are rarely shorter than 16 bytes: reserving a
    // record for each spares most of the copies of a growing vector, and
    // the room not used is address space only.
    records_.reserve(text.size() / 16 + 1);
}

std::uint32_t SyntaxRecorder::add(std::uint32_t parent) {
    const auto index = static_cast<std::uint32_t>(records_.size());
    SyntaxRecord& record = records_.emplace_back();
    record.parent = parent != no_record ? parent : owners_.empty() ? no_record : owners_.back();
    VORN_ASSERT(record.parent == no_record || record.parent < index);
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
    // every last line up to the root.
    for (std::size_t index = records_.size(); index-- > 0;) {
        const SyntaxRecord& record = records_[index];
        if (record.parent == no_record) continue;
        SyntaxRecord& parent = records_[record.parent];
        parent.lines.end = std::max(parent.lines.end, record.lines.end);
        if (parent.form == SyntaxForm::nested_block || parent.form == SyntaxForm::inline_mapping)
            parent.value.end = std::max(parent.value.end, record.lines.end);
    }
    // A nested block without an anchor starts at its first line: the first
    // child met, going forward. Until then its value starts where its own
    // line ends (an anchored one starts earlier, at the '&').
    for (const SyntaxRecord& record : records_) {
        if (record.parent == no_record) continue;
        SyntaxRecord& parent = records_[record.parent];
        if (parent.form == SyntaxForm::nested_block && parent.value.begin == parent.head.end)
            parent.value.begin = record.head.begin;
    }
    return std::move(records_);
}

}  // namespace vorn
