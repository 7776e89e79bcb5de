#include "keys/SequenceEditor.h"

namespace veltra {

SequenceEditor::Outcome SequenceEditor::addCode(std::optional<std::size_t> listEntry,
                                                const std::string& fieldText) {
    std::optional<ASCII> element;
    const auto list = editorCodeList();
    if (listEntry && *listEntry < list.size()) {
        element = ASCII{static_cast<std::uint8_t>(*listEntry), fieldText};
    } else {
        element = ParseEntry(fieldText);
    }
    if (!element || element->code == kSequenceTerminator) {
        return {kStrNoValidCharacter};
    }
    if (sequence_.size() >= maximum_) {
        return {kStrMaximumExceeded};
    }
    if (selected_ && *selected_ < sequence_.size()) {
        sequence_.insert(sequence_.begin() + static_cast<std::ptrdiff_t>(*selected_), *element);
    } else {
        sequence_.push_back(*element);
        selected_.reset();
    }
    modified_ = true;
    return {};
}

SequenceEditor::Outcome SequenceEditor::deleteSelected() {
    if (!selected_ || *selected_ >= sequence_.size()) {
        selected_.reset();
        return {kStrSelectRow};
    }
    sequence_.erase(sequence_.begin() + static_cast<std::ptrdiff_t>(*selected_));
    if (*selected_ >= sequence_.size()) {
        selected_.reset();
    }
    modified_ = true;
    return {};
}

void SequenceEditor::clearPage() {
    sequence_.clear();
    selected_.reset();
    modified_ = true;
}

void SequenceEditor::moveUp() {
    if (!selected_ || *selected_ == 0 || *selected_ >= sequence_.size()) {
        return;
    }
    const std::size_t i = *selected_;
    std::swap(sequence_[i], sequence_[i - 1]);
    selected_ = i - 1;
    modified_ = true;
}

void SequenceEditor::moveDown() {
    if (!selected_ || *selected_ + 1 >= sequence_.size()) {
        return;
    }
    const std::size_t i = *selected_;
    std::swap(sequence_[i], sequence_[i + 1]);
    selected_ = i + 1;
    modified_ = true;
}

void SequenceEditor::select(std::optional<std::size_t> row) {
    selected_ = (row && *row < sequence_.size()) ? row : std::nullopt;
}

std::vector<std::string> SequenceEditor::rows() const {
    std::vector<std::string> out;
    out.reserve(sequence_.size());
    for (const ASCII& element : sequence_) {
        out.push_back(rowText(element));
    }
    return out;
}

void SequenceEditor::setSequence(const CAsciiArray& sequence) {
    sequence_ = sequence;
    selected_.reset();
}

void SequenceEditor::clearSequence() {
    sequence_.clear();
    selected_.reset();
}

} // namespace veltra
