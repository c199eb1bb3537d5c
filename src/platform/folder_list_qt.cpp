#include "platform/folder_list_qt.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QStringListModel>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <utility>

#include "platform/bounded_read.h"

namespace ziv {

namespace {

QString CleanAbsolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

bool IsListableFolder(const QString& path) {
    QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

// The folder's subfolders: nothing inside when it is no listable folder,
// nothing at all when it does not answer in time (a share that hangs).
std::optional<std::optional<QStringList>> SubfoldersOf(const QString& path) {
    return ReadWithin<std::optional<QStringList>>(kShareAnswerMs, [path]() -> std::optional<QStringList> {
        if (!IsListableFolder(path)) return std::nullopt;
        return QDir(path).entryList(QDir::AllDirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    });
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
    // A long path is shortened in its middle rather than widening the window.
    current_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    current_->installEventFilter(this);

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
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit chosenPathChanged(chosenPath()); });
    setPath(QDir::homePath());
}

bool FolderList::setPath(const QString& path) {
    auto listed = SubfoldersOf(path);
    if (listed && !*listed) return false;
    QString target = CleanAbsolute(path);
    if (target == path_ && listed) return true;
    if (!path_.isEmpty()) watcher_->removePath(path_);
    path_ = target;
    // A folder that does not answer is shown by its name, empty, never
    // watched (a watch would wait in the share too).
    if (listed) watcher_->addPath(path_);
    answered_ = listed.has_value();
    Show(listed ? **listed : QStringList());
    showCurrentPath();
    up_->setEnabled(!QDir(path_).isRoot());
    emit pathChanged(path_);
    emit chosenPathChanged(chosenPath());
    return listed.has_value();
}

QString FolderList::chosenPath() const {
    const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return path_;
    return CleanAbsolute(QDir(path_).filePath(selected.first().data().toString()));
}

void FolderList::hideFoldersNamed(const QString& name) {
    hidden_ = name;
    refresh();
}

void FolderList::showCurrentPath() {
    QString full = QDir::toNativeSeparators(path_) + (answered_ ? QString() : QString::fromUtf8("（応答なし）"));
    current_->setToolTip(full);
    current_->setText(current_->fontMetrics().elidedText(full, Qt::ElideMiddle, std::max(current_->width(), 40)));
}

bool FolderList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == current_ && event->type() == QEvent::Resize) showCurrentPath();
    return QWidget::eventFilter(watched, event);
}

void FolderList::goUp() {
    QDir folder(path_);
    if (folder.cdUp()) setPath(folder.absolutePath());
}

void FolderList::refresh() {
    // A share that stopped answering keeps the list as it was.
    if (auto listed = SubfoldersOf(path_); listed && *listed) {
        Show(**listed);
        if (!std::exchange(answered_, true)) showCurrentPath();
    }
}

void FolderList::Show(QStringList names) {
    if (!hidden_.isEmpty()) names.removeAll(hidden_);
    if (names == model_->stringList()) return;
    model_->setStringList(names);
    emit chosenPathChanged(chosenPath());
}

void FolderList::openEntry(const QModelIndex& index) {
    if (index.isValid()) setPath(QDir(path_).filePath(index.data().toString()));
}

}  // namespace ziv
