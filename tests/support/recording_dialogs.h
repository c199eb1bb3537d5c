#pragma once
// Dialogs that never wait: every box is recorded, and the save dialog is
// answered by the test (cancelled when it gives no answer).
#include <functional>
#include <optional>
#include <vector>

#include "platform/dialogs_qt.h"

class RecordingDialogs : public ziv::Dialogs {
public:
    std::vector<ziv::ShownMessage> messages;
    std::function<void(const ziv::ShownMessage&)> onShow;  // runs as the box would be shown
    std::function<std::optional<ziv::ChosenFile>(const QString& title)> answerSave;

    void Show(QWidget*, const ziv::ShownMessage& message) override {
        messages.push_back(message);
        if (onShow) onShow(message);
    }
    std::optional<ziv::ChosenFile> AskSaveFile(QWidget*, const QString& title) override {
        return answerSave ? answerSave(title) : std::nullopt;
    }
};
