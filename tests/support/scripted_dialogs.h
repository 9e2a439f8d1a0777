#pragma once

// A Dialogs double for the GUI tests: it answers from queues that a test fills
// beforehand and records every box and dialog that the program asked for. An
// interaction without a prepared answer fails the test and answers "Cancel".

#include "ui/dialogs/dialogs.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace tolvana::testing {

class ScriptedDialogs : public ui::Dialogs {
public:
    struct Message {
        QString title;
        QString text;
        Icon icon;
    };
    struct Input {
        QString prompt;
        QString title;
        QString defaultText;
        bool hidden = false;
    };
    struct Question {
        QString title;
        QString text;
        QString back;
        QString accept;
    };

    std::deque<QString> inputAnswers;
    std::deque<std::optional<QString>> fileAnswers;
    // true answers a question with its `accept` answer, false with `back`.
    std::deque<bool> askAnswers;

    std::vector<Message> messages;
    std::vector<Input> inputs;
    std::vector<ui::FileRequest> fileRequests;
    std::vector<Question> questions;

    // Runs inside every message box, while it would be on screen.
    std::function<void(const Message&)> onMessage;

    // Every progress dialog asked for, by its label.
    std::vector<QString> progressLabels;
    // Runs at every update of a progress dialog, while its work runs, with
    // the number of the update (0 when the work begins); returning true
    // presses "Avbryt".
    std::function<bool(int update)> onProgress;

    void message(QWidget*, const QString& title, const QString& text, Icon icon) override {
        messages.push_back({title, text, icon});
        if (onMessage) onMessage(messages.back());
    }

    QString inputBox(QWidget*, const QString& prompt, const QString& title,
                     const QString& defaultText) override {
        inputs.push_back({prompt, title, defaultText});
        if (inputAnswers.empty()) {
            ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
            return {};
        }
        QString answer = inputAnswers.front();
        inputAnswers.pop_front();
        return answer;
    }

    // Password boxes answer from `inputAnswers` too, and are recorded in
    // `inputs` with `hidden` set.
    QString passwordBox(QWidget* parent, const QString& prompt, const QString& title,
                        const QString& defaultText) override {
        QString answer = inputBox(parent, prompt, title, defaultText);
        inputs.back().hidden = true;
        return answer;
    }

    bool ask(QWidget*, const QString& title, const QString& text, const QString& back,
             const QString& accept) override {
        questions.push_back({title, text, back, accept});
        if (askAnswers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        const bool answer = askAnswers.front();
        askAnswers.pop_front();
        return answer;
    }

    std::optional<QString> chooseFile(QWidget*, const ui::FileRequest& request) override {
        fileRequests.push_back(request);
        if (fileAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog: " << request.title.toStdString();
            return std::nullopt;
        }
        const bool cancel = !fileAnswers.front().has_value();
        const QString path = cancel ? QString() : *fileAnswers.front();
        fileAnswers.pop_front();
        if (cancel) return std::nullopt;
        return path;
    }

    std::unique_ptr<ui::Progress> progress(QWidget*, const QString& label) override {
        progressLabels.push_back(label);
        return std::make_unique<ScriptedProgress>(onProgress);
    }

private:
    class ScriptedProgress : public ui::Progress {
    public:
        explicit ScriptedProgress(std::function<bool(int)> hook) : hook_(std::move(hook)) {}
        bool update(qint64, double) override { return hook_ && hook_(updates_++); }

    private:
        std::function<bool(int)> hook_;
        int updates_ = 0;
    };
};

} // namespace tolvana::testing
