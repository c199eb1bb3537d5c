#include "platform/message_box_qt.h"

#include <QMessageBox>

namespace ziv {

const char* const kWarningTitle = "ZIV - 警告";
const char* const kInformationTitle = "ZIV - 情報";

namespace {
std::function<void(const ShownMessage&)>& Sink() {
    static std::function<void(const ShownMessage&)> sink;
    return sink;
}
}  // namespace

void ShowMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text) {
    if (Sink()) {
        Sink()({icon, title, text});
        return;
    }
    QMessageBox box(icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::Information, title,
                    text, QMessageBox::Ok, parent);
    box.exec();
}

void ShowWarning(QWidget* parent, const QString& text) {
    ShowMessage(parent, MessageIcon::Critical, QString::fromUtf8(kWarningTitle), text);
}

void ShowInformation(QWidget* parent, const QString& text) {
    ShowMessage(parent, MessageIcon::Information, QString::fromUtf8(kInformationTitle), text);
}

void SetMessageSink(std::function<void(const ShownMessage&)> sink) { Sink() = std::move(sink); }

}  // namespace ziv
