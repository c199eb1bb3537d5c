#include <QAbstractItemModel>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/folder_list_qt.h"
#include "platform/paths.h"
#include "temp_root.h"

using ziv::FolderList;

namespace {

QString Q(const std::string& path) { return QString::fromStdString(path); }

// The entry named `name` once the list has read its folder.
QModelIndex WaitForEntry(QListView* view, const QString& name) {
    QModelIndex found;
    (void)QTest::qWaitFor(
        [&] {
            QAbstractItemModel* model = view->model();
            for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
                QModelIndex index = model->index(row, 0, view->rootIndex());
                if (index.data().toString() == name) found = index;
            }
            return found.isValid();
        },
        20000);
    return found;
}

}  // namespace

TEST(FolderList, MovesOnlyToFoldersThatCanBeListed) {
    TempRoot root;
    ziv::MakeFolders(root / "a/b");
    WriteBytes(root / "a/file.txt", "x");
    FolderList list;
    QSignalSpy changed(&list, &FolderList::pathChanged);

    EXPECT_TRUE(list.setPath(Q(root / "a/./b/")));
    EXPECT_EQ(list.path().toStdString(), root / "a/b");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toString().toStdString(), root / "a/b");

    EXPECT_TRUE(list.setPath(Q(root / "a/b")));  // already there: no change reported
    EXPECT_EQ(changed.count(), 1);

    for (std::string bad : {root / "missing", root / "a/file.txt", std::string()}) {
        EXPECT_FALSE(list.setPath(Q(bad))) << bad;
        EXPECT_EQ(list.path().toStdString(), root / "a/b");
    }
    if (geteuid() != 0) {  // permissions do not bind the superuser
        ziv::MakeFolders(root / "closed");
        chmod((root / "closed").c_str(), 0);
        EXPECT_FALSE(list.setPath(Q(root / "closed")));
        EXPECT_EQ(list.path().toStdString(), root / "a/b");
    }
    EXPECT_EQ(changed.count(), 1);
}

TEST(FolderList, UserOpensFoldersByEnterDoubleClickAndTheUpButton) {
    TempRoot root;
    ziv::MakeFolders(root / "a/b");
    ziv::MakeFolders(root / "a/c");
    WriteBytes(root / "a/file.txt", "x");
    FolderList list;
    list.resize(400, 300);
    list.show();
    ASSERT_TRUE(list.setPath(Q(root / "a")));
    QSignalSpy changed(&list, &FolderList::pathChanged);
    auto* view = list.findChild<QListView*>("folderView");
    ASSERT_TRUE(view);

    QModelIndex c = WaitForEntry(view, "c");
    ASSERT_TRUE(c.isValid());
    ASSERT_TRUE(WaitForEntry(view, "b").isValid());
    EXPECT_EQ(view->model()->rowCount(view->rootIndex()), 2);  // folders only

    view->scrollTo(c);
    QRect cell = view->visualRect(c);
    ASSERT_FALSE(cell.isEmpty());
    // As a window system delivers a double-click: press, release, double-click.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(list.path().toStdString(), root / "a/c");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toString().toStdString(), root / "a/c");

    QTest::mouseClick(list.findChild<QToolButton*>("folderUpButton"), Qt::LeftButton);
    EXPECT_EQ(list.path().toStdString(), root / "a");
    EXPECT_EQ(changed.count(), 2);

    QModelIndex b = WaitForEntry(view, "b");
    ASSERT_TRUE(b.isValid());
    view->setCurrentIndex(b);
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(list.path().toStdString(), root / "a/b");
    EXPECT_EQ(changed.count(), 3);
}

TEST(FolderList, UpStopsAtTheTop) {
    FolderList list;
    ASSERT_TRUE(list.setPath("/"));
    QSignalSpy changed(&list, &FolderList::pathChanged);
    list.goUp();
    EXPECT_EQ(list.path(), "/");
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(list.findChild<QToolButton*>("folderUpButton")->isEnabled());
}
