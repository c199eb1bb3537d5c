#include "operators/operator_window_ui.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "common/failure_text.h"
#include "platform/dialogs_qt.h"
#include "platform/paths.h"
#include "platform/ui_font_qt.h"
#include "platform/qt_text.h"

namespace ziv {

OperatorWindow::OperatorWindow(Dialogs& dialogs, Disk& disk, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), disk_(disk) {
    setObjectName("OperatorWindow");
    setWindowTitle("ZIV");
    setFont(UiFont());
    auto* frame = new QGroupBox(QString::fromUtf8("ユーザー選択"), this);
    operatorList_ = new QListWidget(frame);
    operatorList_->setObjectName("operatorList");
    operatorList_->setMinimumSize(260, 300);
    auto* buttons = new QVBoxLayout;
    const char* captions[] = {"決定", "終了", "新規作成", "新規登録", "削除", "設定"};
    const char* names[] = {"decideButton", "exitButton", "createButton", "registerButton", "deleteButton", "settingsButton"};
    void (OperatorWindow::*handlers[])() = {&OperatorWindow::decide, &OperatorWindow::exitProgram, &OperatorWindow::createOperator,
                                &OperatorWindow::registerOperator, &OperatorWindow::deleteOperator, &OperatorWindow::openSettings};
    for (int i = 0; i < 6; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(captions[i]), frame);
        button->setObjectName(names[i]);
        button->setMinimumHeight(40);
        connect(button, &QPushButton::clicked, this, handlers[i]);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    // Enter or a double-click on a name signs in, as "決定" does.
    connect(operatorList_, &QListWidget::itemActivated, this, [this] { decide(); });
    auto* inner = new QHBoxLayout(frame);
    inner->addWidget(operatorList_, 1);
    inner->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(frame);
}

bool OperatorWindow::startUp() {
    savePath_ = InstallationRoot();
    if (!instance_.Acquire(savePath_)) {
        dialogs_.Warn(this, QString::fromStdString(instance_.Refusal()));
        return false;
    }
    std::string config = JoinPath(savePath_, "Config");
    if (!MakeFolders(config))
        dialogs_.Warn(this, QString::fromUtf8("フォルダ \"%1\" を作成できません。").arg(Q(config)));
    lists_ = LoadOperatorLists(savePath_, disk_);
    operatorList_->clear();
    for (const auto& name : lists_.Names) operatorList_->addItem(Q(name));
    return true;
}

int OperatorWindow::SelectedRow() const {
    const QList<QListWidgetItem*> selected = operatorList_->selectedItems();
    return selected.isEmpty() ? -1 : operatorList_->row(selected.first());
}

void OperatorWindow::decide() {
    int i = SelectedRow();
    if (i < 0 || i >= static_cast<int>(lists_.Names.size())) {
        dialogs_.Warn(this, QString::fromUtf8("ユーザーを選択して下さい。"));
        return;
    }
    if (i >= static_cast<int>(lists_.Folders.size()) || lists_.Folders[i].empty()) {
        // Path.dat shorter than Users.dat: there is no folder to work in.
        dialogs_.Warn(this, QString::fromUtf8("このユーザーのフォルダが Path.dat に登録されていません。"));
        return;
    }
    userName_ = lists_.Names[i];
    userDir_ = lists_.Folders[i];
    setEnabled(false);
    hide();
    emit Decided();
}

void OperatorWindow::exitProgram() { close(); }

void OperatorWindow::createOperator() {
    auto chosen = dialogs_.AskSaveFile(this, QString::fromUtf8("ユーザー作成"));
    if (!chosen) return;
    std::string folder = chosen->FullPath.toStdString();
    if (!AcceptableEntry(chosen->Name.toStdString(), folder)) return;
    if (!MakeFolder(folder)) {
        dialogs_.Warn(this, QString::fromUtf8("フォルダ \"%1\" を作成できません。").arg(chosen->FullPath));
        return;
    }
    AddOperator(chosen->Name.toStdString(), folder);
}

void OperatorWindow::registerOperator() {
    auto chosen = dialogs_.AskSaveFile(this, QString::fromUtf8("ユーザー登録"));
    if (!chosen) return;
    std::string folder = RegisteredOperatorFolder(chosen->FullPath.toStdString(), chosen->Name.toStdString());
    std::string name = LastPathComponent(folder);
    if (!AcceptableEntry(name, folder)) return;
    AddOperator(name, folder);
}

void OperatorWindow::deleteOperator() {
    int i = SelectedRow();
    if (i < 0 || i >= static_cast<int>(lists_.Names.size())) return;
    lists_.Names.erase(lists_.Names.begin() + i);
    if (i < static_cast<int>(lists_.Folders.size())) lists_.Folders.erase(lists_.Folders.begin() + i);
    delete operatorList_->takeItem(i);
    SaveLists();
}

void OperatorWindow::openSettings() {
    placeBeforeSettings_ = pos();
    hide();
    emit SettingsRequested();
}

void OperatorWindow::comeBack() {
    setEnabled(true);
    move(placeBeforeSettings_);
    comingBack_ = true;
    show();
    // Past this, a move is the operator's own.
    QTimer::singleShot(kComingBackMs, this, [this] { comingBack_ = false; });
}

// A window manager places a window shown again as it places a new one, after
// the show: a place it gives meanwhile is taken back.
void OperatorWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (!comingBack_ || pos() == placeBeforeSettings_) return;
    comingBack_ = false;
    move(placeBeforeSettings_);
}

// Each name pairs with the folder on the same line of the other file, so an
// empty or broken line in either would pair every later operator wrongly.
bool OperatorWindow::AcceptableEntry(const std::string& name, const std::string& folder) {
    if (IsOperatorEntry(name) && IsOperatorEntry(folder)) return true;
    dialogs_.Warn(this, QString::fromUtf8("ユーザー名とフォルダは空にできず、改行も含められません。\n\"%1\"")
                          .arg(Q(folder)));
    return false;
}

void OperatorWindow::AddOperator(const std::string& name, const std::string& folder) {
    // When Path.dat was short, the names at the end have no folder; the new
    // operator goes in before them, so that it pairs with its own folder and
    // no empty line is ever written.
    size_t at = std::min(lists_.Names.size(), lists_.Folders.size());
    lists_.Names.insert(lists_.Names.begin() + static_cast<std::ptrdiff_t>(at), name);
    lists_.Folders.insert(lists_.Folders.begin() + static_cast<std::ptrdiff_t>(at), folder);
    operatorList_->insertItem(static_cast<int>(at), Q(name));
    SaveLists();
}

void OperatorWindow::SaveLists() {
    if (auto r = SaveOperatorLists(savePath_, lists_, disk_); !r) dialogs_.Warn(this, Q(FailureText(r)));
}

}  // namespace ziv
