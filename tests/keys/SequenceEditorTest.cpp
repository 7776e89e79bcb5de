#include "keys/SequenceEditor.h"

#include <gtest/gtest.h>

namespace veltra {
namespace {

SequenceEditor editorWith(const std::string& codes) {
    SequenceEditor editor;
    CAsciiArray sequence;
    for (char c : codes) {
        sequence.push_back(makeAscii(static_cast<std::uint8_t>(c)));
    }
    editor.setSequence(sequence);
    return editor;
}

std::string codesOf(const SequenceEditor& editor) {
    std::string out;
    for (const ASCII& element : editor.sequence()) {
        out += static_cast<char>(element.code);
    }
    return out;
}

TEST(SequenceEditor, AddCode) {
    struct Case {
        const char* what;
        std::string before;
        std::optional<std::size_t> selected;
        std::optional<std::size_t> listEntry;
        const char* field;
        int message;
        std::string after;
        std::optional<std::size_t> selectedAfter;
        const char* lastName; // name of the element added, when added
    };
    const Case cases[] = {
        {"append", "ab", std::nullopt, std::nullopt, "c", 0, "abc", std::nullopt, "c"},
        {"insert at row 2", "abcd", 2, std::nullopt, "x", 0, "abxcd", 2, "x"},
        {"typed hex", "", std::nullopt, std::nullopt, "0d", 0, "\r", std::nullopt, "CR (Enter)"},
        {"invalid text", "ab", 1, std::nullopt, "cr", kStrNoValidCharacter, "ab", 1, nullptr},
        {"terminator refused", "ab", std::nullopt, std::nullopt, "FF", kStrNoValidCharacter, "ab",
         std::nullopt, nullptr},
        {"list entry wins", "", std::nullopt, 0x27, "'", 0, "'", std::nullopt, "'"},
        {"list entry name is the field text", "", std::nullopt, 0x0D, "CR (Enter)", 0, "\r",
         std::nullopt, "CR (Enter)"},
        {"maximum", "abcdefghijklmno", 3, std::nullopt, "z", kStrMaximumExceeded, "abcdefghijklmno",
         3, nullptr},
        {"over maximum from reader", std::string(20, 'q'), std::nullopt, std::nullopt, "z",
         kStrMaximumExceeded, std::string(20, 'q'), std::nullopt, nullptr},
        {"fourteen accept one more", "abcdefghijklmn", std::nullopt, std::nullopt, "o", 0,
         "abcdefghijklmno", std::nullopt, "o"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SequenceEditor editor = editorWith(c.before);
        editor.select(c.selected);
        const auto outcome = editor.addCode(c.listEntry, c.field);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(codesOf(editor), c.after);
        EXPECT_EQ(editor.selectedRow(), c.selectedAfter);
        EXPECT_EQ(editor.isModified(), c.message == 0);
        if (c.lastName != nullptr) {
            const std::size_t at = c.selected.value_or(editor.sequence().size() - 1);
            EXPECT_EQ(editor.sequence()[at].name, c.lastName);
        }
    }
}

TEST(SequenceEditor, DeleteAndMove) {
    struct Case {
        const char* what;
        std::optional<std::size_t> selected;
        void (*action)(SequenceEditor&);
        std::string after;
        std::optional<std::size_t> selectedAfter;
        bool modified;
    };
    auto del = [](SequenceEditor& e) { e.deleteSelected(); };
    auto up = [](SequenceEditor& e) { e.moveUp(); };
    auto down = [](SequenceEditor& e) { e.moveDown(); };
    auto clear = [](SequenceEditor& e) { e.clearPage(); };
    const Case cases[] = {
        {"delete middle", 1, del, "acd", 1, true},
        {"delete last", 3, del, "abc", std::nullopt, true},
        {"delete without selection", std::nullopt, del, "abcd", std::nullopt, false},
        {"up", 2, up, "acbd", 1, true},
        {"up on first", 0, up, "abcd", 0, false},
        {"down", 1, down, "acbd", 2, true},
        {"down on last", 3, down, "abcd", 3, false},
        {"down without selection", std::nullopt, down, "abcd", std::nullopt, false},
        {"clear", 2, clear, "", std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SequenceEditor editor = editorWith("abcd");
        editor.select(c.selected);
        c.action(editor);
        EXPECT_EQ(codesOf(editor), c.after);
        EXPECT_EQ(editor.selectedRow(), c.selectedAfter);
        EXPECT_EQ(editor.isModified(), c.modified);
    }
    SequenceEditor empty;
    EXPECT_EQ(empty.deleteSelected().message, kStrSelectRow);
}

TEST(SequenceEditor, RowsAndSheetAccessors) {
    SequenceEditor editor = editorWith("\r\n");
    EXPECT_EQ(editor.rows(), (std::vector<std::string>{"0D H     CR (Enter)", "0A H     LF"}));
    editor.select(5);
    EXPECT_FALSE(editor.selectedRow().has_value()) << "no such row";
    editor.setModified(true);
    editor.clearSequence();
    EXPECT_TRUE(editor.isModified()) << "the sheet's accessors leave the flag alone";
    EXPECT_TRUE(editor.rows().empty());
}

} // namespace
} // namespace veltra
