#pragma once
// The folder list: the folders of one path, opened by double-click or
// Enter, with a button to go up. Used by the settings window and by the
// measurement window's product panel.
#include <QString>
#include <QWidget>

class QFileSystemWatcher;
class QLabel;
class QListView;
class QModelIndex;
class QStringListModel;
class QToolButton;

namespace ziv {

class FolderList : public QWidget {
    Q_OBJECT
public:
    // Starts at the user's home folder.
    explicit FolderList(QWidget* parent = nullptr);

    // The folder shown, absolute and without a trailing separator.
    QString path() const { return path_; }
    // Moves to an existing folder that can be listed; false, and nothing moves,
    // for anything else. A folder that does not answer within half a second
    // (a share that hangs) is moved to and shown empty, said not to answer,
    // and false. pathChanged is emitted when the folder really changes.
    bool setPath(const QString& path);
    // The folder chosen: the entry a single click selected, else the folder shown.
    QString chosenPath() const;
    // Folders of this name are never listed (the logs beside the products).
    void hideFoldersNamed(const QString& name);

public slots:
    // To the parent folder; nothing at the top.
    void goUp();

signals:
    void pathChanged(const QString& path);
    // chosenPath() changed: the folder shown or the entry selected.
    void chosenPathChanged(const QString& path);

private:
    void openEntry(const QModelIndex& index);
    void refresh();
    void Show(QStringList names);
    void showCurrentPath();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QString path_;
    bool answered_ = true;  // the folder shown answered when it was listed
    QString hidden_;
    // A flat list of the folder's subfolders: the view's accessible children
    // are the model's top-level rows, so every folder must be one of them
    // (under a file-system model rooted deeper only its first row is exposed).
    QStringListModel* model_;
    QFileSystemWatcher* watcher_;
    QListView* view_;
    QToolButton* up_;
    QLabel* current_;
};

}  // namespace ziv
