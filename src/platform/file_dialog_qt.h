#pragma once
// The save-file dialog used to choose an operator's location and name; tests
// replace it so no dialog ever waits.
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace ziv {

struct ChosenFile {
    QString FullPath;  // the chosen location and name
    QString Name;      // the last part of the path
};

// Nothing when the user cancels.
std::optional<ChosenFile> AskSaveFile(QWidget* parent, const QString& title);
void SetSaveFileDialogSink(std::function<std::optional<ChosenFile>(const QString& title)> sink);

}  // namespace ziv
