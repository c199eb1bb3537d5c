#include "platform/dialogs_qt.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/japanese_ui_qt.h"

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
        JapaneseFileDetails(*this);
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

// Qt centres a box over its window; a window not shown yet (its start-up)
// has no place but the screen's top left corner, and the box went there.
// Such a window opens in the middle of its screen, and so does the box.
void PlaceOverItsWindow(QMessageBox& box, QWidget* parent) {
    if (!parent || parent->window()->isVisible()) return;
    QScreen* screen = parent->window()->screen();
    if (!screen) return;
    box.adjustSize();
    box.move(screen->availableGeometry().center() - box.rect().center());
}

class Desktop : public Dialogs {
public:
    void Show(QWidget* parent, const ShownMessage& message) override {
        QMessageBox box(message.icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::Information,
                        message.title, message.text, QMessageBox::Ok, parent);
        PlaceOverItsWindow(box, parent);
        box.exec();
    }

    bool Ask(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Question, QString::fromUtf8(kInformationTitle), text,
                        QMessageBox::Yes | QMessageBox::No, parent);
        box.setDefaultButton(QMessageBox::Yes);
        PlaceOverItsWindow(box, parent);
        return box.exec() == QMessageBox::Yes;
    }

    std::optional<ChosenFile> AskSaveFile(QWidget* parent, const QString& title) override {
        NameDialog dialog(parent, title);
        if (dialog.exec() != QDialog::Accepted || dialog.Chosen().isEmpty()) return std::nullopt;
        QString path = dialog.Chosen();
        return ChosenFile{path, QFileInfo(path).fileName()};
    }

    std::optional<QString> AskReaction(QWidget* parent, const QString& about, const QStringList& choices) override {
        QDialog dialog(parent);
        dialog.setWindowTitle(QStringLiteral("対処の記録"));
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QLabel(about, &dialog));
        QButtonGroup group(&dialog);
        for (int i = 0; i < choices.size(); ++i) {
            auto* button = new QRadioButton(choices[i], &dialog);
            group.addButton(button, i);
            layout->addWidget(button);
        }
        auto* other = new QLineEdit(&dialog);
        other->setPlaceholderText(QStringLiteral("内容"));
        other->setEnabled(false);
        layout->addWidget(other);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
        layout->addWidget(buttons);
        auto last = static_cast<int>(choices.size()) - 1;
        auto allow = [&] {
            int chosen = group.checkedId();
            other->setEnabled(chosen == last);
            buttons->button(QDialogButtonBox::Ok)->setEnabled(chosen >= 0 && (chosen != last || !other->text().trimmed().isEmpty()));
        };
        QObject::connect(&group, &QButtonGroup::idClicked, &dialog, allow);
        QObject::connect(other, &QLineEdit::textChanged, &dialog, allow);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        if (dialog.exec() != QDialog::Accepted || group.checkedId() < 0) return std::nullopt;
        int chosen = group.checkedId();
        if (chosen == last) return choices[chosen] + QStringLiteral(": ") + other->text().trimmed();
        return choices[chosen];
    }
};

}  // namespace

Dialogs& DesktopDialogs() {
    static Desktop desktop;
    return desktop;
}

}  // namespace ziv
