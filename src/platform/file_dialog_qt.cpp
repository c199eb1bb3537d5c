#include "platform/file_dialog_qt.h"

#include <QFileDialog>
#include <QFileInfo>

namespace ziv {
namespace {
std::function<std::optional<ChosenFile>(const QString&)>& Sink() {
    static std::function<std::optional<ChosenFile>(const QString&)> sink;
    return sink;
}
}  // namespace

std::optional<ChosenFile> AskSaveFile(QWidget* parent, const QString& title) {
    if (Sink()) return Sink()(title);
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Typing the name of an existing folder must select that name, not enter it.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    QString path = dialog.selectedFiles().first();
    return ChosenFile{path, QFileInfo(path).fileName()};
}

void SetSaveFileDialogSink(std::function<std::optional<ChosenFile>(const QString&)> sink) {
    Sink() = std::move(sink);
}

}  // namespace ziv
