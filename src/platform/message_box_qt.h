#pragma once
// Every message box of the system goes through here, so tests can answer them
// without a modal dialog ever waiting.
#include <QString>
#include <functional>

class QWidget;

namespace ziv {

enum class MessageIcon { Critical, Information };

struct ShownMessage {
    MessageIcon icon;
    QString title;
    QString text;
};

// Shows a modal box with an OK button (or hands it to the test sink).
void ShowMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text);

// "ZIV - 警告" with the critical icon, the system's error message.
void ShowWarning(QWidget* parent, const QString& text);
// "ZIV - 情報" with the information icon.
void ShowInformation(QWidget* parent, const QString& text);

// Tests install a sink: boxes are recorded there and never shown.
void SetMessageSink(std::function<void(const ShownMessage&)> sink);

extern const char* const kWarningTitle;      // "ZIV - 警告"
extern const char* const kInformationTitle;  // "ZIV - 情報"

}  // namespace ziv
