#include "edit/edit_text.hpp"

#include "vorn/format_version.hpp"

#include "edit/planner.hpp"
#include "edit/verify.hpp"
#include "read/read_document.hpp"

namespace vorn::edit {

namespace {

// The root must keep a version the reader accepts, as the checked writer
// demands of any root.
std::optional<EditError> version_fault(const DocValue& root, const ChangeSet& changes) {
    if (changes.empty() || changes.at(changes.root()).kind != ChangeKind::mapping) return std::nullopt;
    for (const EntryStep& step : changes.entries(changes.at(changes.root()))) {
        if (step.key != version_key) continue;
        if (step.what == EntryChange::gone)
            return EditError{EditError::Kind::cannot_write, {}, WriteFault::missing_version, {}};
        const DocNode* old = root.find(version_key);
        const Value now = step.what == EntryChange::added || old == nullptr
                              ? deep_copy(changes.at(step.change).value)
                              : materialize(old->value, changes, step.change);
        const std::vector<DataStep> path{std::string(version_key)};
        if (!now.is_scalar()) return EditError{EditError::Kind::cannot_write, path, WriteFault::version_not_text, {}};
        if (!is_accepted_version(now.scalar()))
            return EditError{EditError::Kind::cannot_write, path, WriteFault::unsupported_version, {}};
    }
    return std::nullopt;
}

}  // namespace

std::variant<std::string, EditError> edit_text(std::string_view text, const SyntaxIndex& records,
                                               const DocValue& document, const ChangeSet& changes) {
    if (changes.empty()) return std::string(text);
    if (auto fault = version_fault(document, changes)) return std::move(*fault);
    Planner planner(text, records, document, changes);
    std::variant<std::string, EditError> planned = planner.run();
    if (std::holds_alternative<EditError>(planned)) return planned;
    // The text is given only once it reads back as the data: where the
    // splices reach when that tells, else the whole text.
    const std::string& edited = std::get<std::string>(planned);
    if (planner.reads_back_in_region(edited)) return planned;
    const Result<Document> read = read_document(edited, Comments::may_drop);
    if (!read) {
        return EditError{EditError::Kind::not_in_place,
                         {},
                         WriteFault::none,
                         "the edited text would not read: " + read.error().render()};
    }
    if (auto difference = first_difference(read.value().root(), document, changes, changes.root())) {
        return EditError{EditError::Kind::not_in_place, std::move(*difference), WriteFault::none,
                         "the edited text would read back as other data here"};
    }
    return planned;
}

std::variant<std::string, EditError> Planner::run() {
    try {
        walk();
        plan_copies();
        place_insertions();
        fix_seams();
        return assemble();
    } catch (PlanFailure& failure) {
        return std::move(failure.error);
    }
}

}  // namespace vorn::edit
