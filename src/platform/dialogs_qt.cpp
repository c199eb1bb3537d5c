#include "platform/dialogs_qt.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

namespace ziv {

const char* const kWarningTitle = "ZIV - 警告";
const char* const kInformationTitle = "ZIV - 情報";

void Dialogs::Warn(QWidget* parent, const QString& text) {
    Show(parent, {MessageIcon::Critical, QString::fromUtf8(kWarningTitle), text});
}

void Dialogs::Inform(QWidget* parent, const QString& text) {
    Show(parent, {MessageIcon::Information, QString::fromUtf8(kInformationTitle), text});
}

namespace {

// A save dialog in which a typed name is the answer even when a folder of that
// name exists: registering an operator means typing the name of the
// operator's existing folder, and a plain save dialog would walk into it.
class NameDialog : public QFileDialog {
public:
    NameDialog(QWidget* parent, const QString& title) : QFileDialog(parent, title) {
        setOption(QFileDialog::DontUseNativeDialog);  // only this dialog lets accept() decide
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setOption(QFileDialog::DontConfirmOverwrite);
    }

    QString Chosen() const { return chosen_; }

    void accept() override {
        QString typed;
        if (auto* edit = findChild<QLineEdit*>("fileNameEdit")) typed = edit->text();
        // "." and ".." and a name ending in a separator still mean "go there".
        if (!typed.isEmpty() && typed != "." && typed != ".." && !typed.endsWith('/') &&
            !typed.endsWith(QDir::separator())) {
            QString full = QDir::cleanPath(QDir(directory().absolutePath()).absoluteFilePath(typed));
            if (QFileInfo(full).isDir()) {
                chosen_ = full;
                QDialog::accept();
                return;
            }
        }
        QFileDialog::accept();
        if (result() == QDialog::Accepted && !selectedFiles().isEmpty()) chosen_ = selectedFiles().first();
    }

private:
    QString chosen_;
};

class Desktop : public Dialogs {
public:
    void Show(QWidget* parent, const ShownMessage& message) override {
        QMessageBox box(message.icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::Information,
                        message.title, message.text, QMessageBox::Ok, parent);
        box.exec();
    }

    std::optional<ChosenFile> AskSaveFile(QWidget* parent, const QString& title) override {
        NameDialog dialog(parent, title);
        if (dialog.exec() != QDialog::Accepted || dialog.Chosen().isEmpty()) return std::nullopt;
        QString path = dialog.Chosen();
        return ChosenFile{path, QFileInfo(path).fileName()};
    }
};

}  // namespace

Dialogs& DesktopDialogs() {
    static Desktop desktop;
    return desktop;
}

}  // namespace ziv
