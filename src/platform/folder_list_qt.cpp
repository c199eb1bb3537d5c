#include "platform/folder_list_qt.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QStringListModel>
#include <QToolButton>
#include <QVBoxLayout>

namespace ziv {

namespace {

QString CleanAbsolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

bool IsListableFolder(const QString& path) {
    QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

}  // namespace

FolderList::FolderList(QWidget* parent)
    : QWidget(parent),
      model_(new QStringListModel(this)),
      watcher_(new QFileSystemWatcher(this)),
      view_(new QListView(this)),
      up_(new QToolButton(this)),
      current_(new QLabel(this)) {
    view_->setModel(model_);
    view_->setObjectName("folderView");
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    up_->setObjectName("folderUpButton");
    up_->setText("..");
    up_->setToolTip("上のフォルダへ");
    up_->setAccessibleName("上のフォルダへ");
    current_->setObjectName("folderPathLabel");
    current_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->addWidget(up_);
    top->addWidget(current_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(view_, 1);

    connect(up_, &QToolButton::clicked, this, &FolderList::goUp);
    // Double-click and Enter both activate an entry.
    connect(view_, &QListView::activated, this, &FolderList::openEntry);
    // Folders made or removed while the list shows them appear and go.
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &FolderList::refresh);
    setPath(QDir::homePath());
}

bool FolderList::setPath(const QString& path) {
    if (!IsListableFolder(path)) return false;
    QString target = CleanAbsolute(path);
    if (target == path_) return true;
    if (!path_.isEmpty()) watcher_->removePath(path_);
    path_ = target;
    watcher_->addPath(path_);
    refresh();
    current_->setText(QDir::toNativeSeparators(path_));
    up_->setEnabled(!QDir(path_).isRoot());
    emit pathChanged(path_);
    return true;
}

void FolderList::goUp() {
    QDir folder(path_);
    if (folder.cdUp()) setPath(folder.absolutePath());
}

void FolderList::refresh() {
    QStringList names = QDir(path_).entryList(QDir::AllDirs | QDir::NoDotAndDotDot,
                                              QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    if (names != model_->stringList()) model_->setStringList(names);
}

void FolderList::openEntry(const QModelIndex& index) {
    if (index.isValid()) setPath(QDir(path_).filePath(index.data().toString()));
}

}  // namespace ziv
