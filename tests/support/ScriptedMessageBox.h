// The message box of widget tests: records every message and question and answers questions
// from a script (No once the script is used up).
#pragma once

#include "widgets/IMessageBox.h"

#include <QString>

#include <deque>
#include <functional>
#include <vector>

namespace veltra::test {

class ScriptedMessageBox final : public IMessageBox {
public:
    void show(QWidget* /*parent*/, const QString& text, Kind kind) override {
        shown.push_back(text);
        kinds.push_back(kind);
    }
    bool askYesNo(QWidget* /*parent*/, const QString& text) override {
        asked.push_back(text);
        if (whileAsking) {
            whileAsking();
        }
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    bool askRetry(QWidget* parent, const QString& text, const QString& caption) override {
        captions.push_back(caption);
        return askYesNo(parent, text); // the same script: true = retry
    }

    std::vector<QString> captions;     // captions of the retry questions, in order
    std::vector<QString> shown;        // texts of the messages, in order
    std::vector<Kind> kinds;           // the kind of each message in `shown`
    std::vector<QString> asked;        // texts of the questions, in order
    std::deque<bool> answers;          // the answers to give, first first
    std::function<void()> whileAsking; // runs while a question is open
};

} // namespace veltra::test
