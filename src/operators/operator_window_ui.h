#pragma once
// The operator selection window: the first window of a run.
#include <QWidget>
#include <string>

#include "operators/operator_lists.h"
#include "platform/single_instance_qt.h"

class QListWidget;
class QPushButton;

namespace ziv {

class Dialogs;

class OperatorWindow : public QWidget {
    Q_OBJECT
public:
    OperatorWindow(Dialogs& dialogs, Disk& disk, QWidget* parent = nullptr);

    // Refuses a second instance (message shown, false returned: end the
    // program), fixes the installation root, creates Config and loads the operator lists.
    bool startUp();

    // The installation root, and the operator chosen by "決定" with his folder.
    const std::string& savePath() const { return savePath_; }
    const std::string& userDir() const { return userDir_; }
    const std::string& userName() const { return userName_; }

    const OperatorLists& Operators() const { return lists_; }
    QListWidget* operatorList() const { return operatorList_; }
    // Shown again after the settings window, where it stood before.
    void comeBack();

public slots:
    void decide();  // 決定
    void exitProgram();  // 終了
    void createOperator();  // 新規作成
    void deleteOperator();  // 削除
    void registerOperator();  // 新規登録
    void openSettings();  // 設定

signals:
    // 決定: the operator is chosen; the measurement window takes over.
    void Decided();
    // 設定: the settings window is to be shown (this window is hidden).
    void SettingsRequested();

private:
    Dialogs& dialogs_;
    Disk& disk_;
    void AddOperator(const std::string& name, const std::string& folder);
    // The row the user selected; -1 when none is (the current row alone is
    // not a choice: the list makes row 0 current on its own).
    int SelectedRow() const;
    bool AcceptableEntry(const std::string& name, const std::string& folder);
    void SaveLists();

    std::string savePath_, userDir_, userName_;
    // Where the window stood when the settings window took its place: a
    // window manager places a window shown again wherever it likes.
    QPoint placeBeforeSettings_;
    bool comingBack_ = false;
    static constexpr int kComingBackMs = 1000;

protected:
    void moveEvent(QMoveEvent* event) override;

private:
    OperatorLists lists_;
    QListWidget* operatorList_;
    SingleInstance instance_;
};

}  // namespace ziv
