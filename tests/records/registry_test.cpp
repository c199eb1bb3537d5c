#include <gtest/gtest.h>

#include <QAccessible>
#include <QGroupBox>
#include <QListView>
#include <filesystem>

#include "common/text_file.h"
#include "links/instrument_link.h"
#include "platform/folder_list_qt.h"
#include "records/day_book.h"
#include "records/product_registry.h"
#include "records/product_panel_ui.h"
#include "records/work_date_ui.h"
#include "station_fixture.h"
#include "temp_root.h"
#include "children.h"

using namespace ziv;

constexpr std::uintmax_t kUnreadableSize = (std::uintmax_t(256) << 20) + 1;

TEST(ProductRegistry, ProductNameIsTheLastComponent) {
    EXPECT_EQ(GetProductName("/製品/A-100"), "A-100");
    EXPECT_EQ(GetProductName("/製品/"), "");
    EXPECT_EQ(GetProductName("A-100"), "A-100");
    EXPECT_EQ(ProductDrawingPath("/p/", ""), "/p//.jpg");
}

TEST(ProductRegistry, DirectoryFileHas48LinesAndShortFilesLoad) {
    TempRoot root;
    std::string path = DirectoryFilePath(root.path());
    EXPECT_EQ(LoadDirectoryFile(path), std::nullopt);
    ProductPathList paths{};
    ASSERT_TRUE(SaveDirectoryFile(StationFiles(), path, paths));
    std::string empty48;
    for (int i = 0; i < 48; ++i) empty48 += "\r\n";
    EXPECT_EQ(ReadBytes(path), empty48);
    paths[0] = "/製品/A-100";
    paths[5] = "/製品/B";
    ASSERT_TRUE(SaveDirectoryFile(StationFiles(), path, paths));
    EXPECT_EQ(LoadDirectoryFile(path), paths);
    WriteBytes(path, "/x\r\n\r\n/y\n");
    auto shortList = LoadDirectoryFile(path);
    ASSERT_TRUE(shortList);
    EXPECT_EQ((*shortList)[0], "/x");
    EXPECT_EQ((*shortList)[2], "/y");
    EXPECT_EQ((*shortList)[47], "");
}

TEST(DayBook, NameFollowsOperatorProductMachineAndDate) {
    EXPECT_EQ(DayBookPath("/製品/A-100", "op1", "A-100", 3, {"2024", "3", "7"}),
              "/製品/A-100/data/op1_A-100_3号機_2024年3月7日.xls");
    EXPECT_EQ(DayBookPath("/p/B", "検査員1", "B", 0, {"2025", "1", "5"}), "/p/B/data/検査員1_B_0号機_2025年1月5日.xls");
}

namespace {

// A file that exists but cannot be read: larger than any reader takes (sparse,
// so it costs no disk). Permissions would not do: the tests run as root.
void MakeUnreadable(const std::string& path) {
    WriteBytes(path, "/製品/A-100\r\n");
    std::filesystem::resize_file(path, kUnreadableSize);
}

}  // namespace

TEST(ProductRegistry, DirectoryFileIsNeverWrittenOverWhenUnreadableOrWithABrokenLine) {
    TempRoot root;
    std::string path = DirectoryFilePath(root.path());
    MakeUnreadable(path);
    EXPECT_EQ(ReadDirectoryFile(path).status, ReadStatus::Unreadable);
    ProductPathList paths{};
    paths[3] = "/製品/B";
    FileResult refused = SaveDirectoryFile(StationFiles(), path, paths);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.failure, Failure::Unreadable);
    EXPECT_EQ(refused.path, path);
    EXPECT_EQ(std::filesystem::file_size(path), kUnreadableSize);

    std::filesystem::remove(path);
    ASSERT_TRUE(SaveDirectoryFile(StationFiles(), path, paths));
    std::string before = ReadBytes(path);
    paths[1] = "/製品/C\r\nD";
    EXPECT_FALSE(SaveDirectoryFile(StationFiles(), path, paths));
    EXPECT_EQ(ReadBytes(path), before);
}

namespace {

class RegistryWindow : public StationFixture {
protected:
    std::string DirectoryFile() { return DirectoryFilePath(userDir); }
    bool Warned(const std::string& part) {
        for (const auto& m : messages)
            if (m.title == QString::fromUtf8("ZIV - 警告") && m.text.toStdString().find(part) != std::string::npos)
                return true;
        return false;
    }
};

}  // namespace

TEST_F(RegistryWindow, UnreadableDirectoryFileIsReportedAndKeptThroughRegisterAndUnregister) {
    std::string product = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}});
    MakeUnreadable(DirectoryFile());
    auto form = Open();
    ASSERT_TRUE(form);
    EXPECT_TRUE(Warned(DirectoryFile()));
    EXPECT_EQ(std::filesystem::file_size(DirectoryFile()), kUnreadableSize);

    messages.clear();
    form->openProductPanel();
    ASSERT_TRUE(Child<FolderList>(*form, "folderList")->setPath(QString::fromStdString(product)));
    form->registerProduct();
    EXPECT_TRUE(Warned(DirectoryFile()));
    EXPECT_EQ(form->ProductPath(0), "");
    EXPECT_TRUE(Child<ProductPanel>(*form, "productPanel")->isVisibleTo(form.get()));  // the panel stays for another choice
    messages.clear();
    form->unregisterProduct();
    EXPECT_TRUE(Warned(DirectoryFile()));
    EXPECT_EQ(std::filesystem::file_size(DirectoryFile()), kUnreadableSize);
}

TEST_F(RegistryWindow, FolderNameWithALineBreakIsRefusedAtRegister) {
    std::string good = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}});
    std::string broken = productRoot + "/B\r\n200";
    std::filesystem::create_directories(broken);
    Register({{0, good}});
    std::string before = ReadBytes(DirectoryFile());
    auto form = Open();
    ASSERT_TRUE(form);
    form->openProductPanel();
    ASSERT_TRUE(Child<FolderList>(*form, "folderList")->setPath(QString::fromStdString(broken)));
    form->registerProduct();
    EXPECT_TRUE(Warned("改行"));
    EXPECT_EQ(form->ProductPath(0), good);
    EXPECT_EQ(ReadBytes(DirectoryFile()), before);
    EXPECT_EQ(ReadTextLines(DirectoryFile())->size(), 48u);
}

TEST_F(RegistryWindow, UnreadableLinksFileStopsStartUpWithItsName) {
    std::string links = LinksFilePath(root.path());
    std::filesystem::remove(links);
    std::filesystem::create_directories(links);  // a folder where the file should be
    EXPECT_FALSE(Open());
    EXPECT_TRUE(Warned("RS232C.dat"));
}

// Every folder of the product panel's list must be reachable by screen
// readers and GUI robots, not just the first.
TEST(ProductFolderList, EveryFolderIsAnAccessibleRow) {
    TempRoot root;
    for (const char* name : {"A-100", "B-200", "C-300"}) std::filesystem::create_directories(root / name);
    QAccessible::setActive(true);
    FolderList list;
    list.resize(400, 300);
    list.show();
    ASSERT_TRUE(list.setPath(QString::fromStdString(root.path())));
    auto* view = list.findChild<QListView*>("folderView");
    ASSERT_TRUE(view);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(view);
    ASSERT_TRUE(table);
    QStringList names;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        names.clear();
        for (int i = 0; i < table->childCount(); ++i)
            if (QAccessibleInterface* row = table->child(i)) names << row->text(QAccessible::Name);
        return names.size() >= 3;
    }, 5000)) << names.join(",").toStdString();
    EXPECT_EQ(names, (QStringList{"A-100", "B-200", "C-300"}));
}

// Seen: a single click on a product and 「登録」 registered the products
// folder above it, and ＺＩＶログ was offered as a product.
TEST_F(RegistryWindow, OnlyAClickedFolderHoldingDataXlsIsRegistered) {
    std::string product = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}});
    std::filesystem::create_directories(productRoot + "/図面だけ");
    auto form = Open();
    ASSERT_TRUE(form);
    form->openProductPanel();
    auto* list = Child<FolderList>(*form, "folderList");
    ASSERT_TRUE(list->setPath(QString::fromStdString(productRoot)));
    auto* view = list->findChild<QListView*>("folderView");
    QStringList shown;
    for (int r = 0; r < view->model()->rowCount(); ++r) shown << view->model()->index(r, 0).data().toString();
    EXPECT_FALSE(shown.contains(QString::fromUtf8("ＺＩＶログ"))) << shown.join(",").toStdString();
    auto click = [&](const char* name) {
        view->setCurrentIndex(view->model()->index(static_cast<int>(shown.indexOf(QString::fromUtf8(name))), 0));
    };
    struct Case {
        const char* clicked;  // nothing: the list's own folder
        std::string registered;
    };
    const Case cases[] = {{nullptr, ""}, {"図面だけ", ""}, {"A-100", product}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clicked ? c.clicked : "(the products folder)");
        messages.clear();
        view->clearSelection();
        if (c.clicked) click(c.clicked);
        form->registerProduct();
        EXPECT_EQ(form->ProductPath(0), c.registered);
        EXPECT_EQ(messages.size(), c.registered.empty() ? 1u : 0u);
        if (!messages.empty()) {
            EXPECT_TRUE(Warned("data.xls"));
        }
    }
}
