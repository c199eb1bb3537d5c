#pragma once
// Dialogs that never wait: every box and question is recorded, and the save
// dialog and the questions are answered by the test (cancelled, and no, when
// it gives no answer).
#include <functional>
#include <optional>
#include <vector>

#include "platform/dialogs_qt.h"

class RecordingDialogs : public ziv::Dialogs {
public:
    std::vector<ziv::ShownMessage> messages;
    std::function<void(const ziv::ShownMessage&)> onShow;  // runs as the box would be shown
    std::function<std::optional<ziv::ChosenFile>(const QString& title)> answerSave;
    std::vector<QString> questions;
    bool answerYes = false;

    void Show(QWidget*, const ziv::ShownMessage& message) override {
        messages.push_back(message);
        if (onShow) onShow(message);
    }
    bool Ask(QWidget*, const QString& text) override {
        questions.push_back(text);
        return answerYes;
    }
    std::optional<ziv::ChosenFile> AskSaveFile(QWidget*, const QString& title) override {
        return answerSave ? answerSave(title) : std::nullopt;
    }
};
