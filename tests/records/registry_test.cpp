#include <gtest/gtest.h>

#include "common/text_file.h"
#include "records/day_book.h"
#include "records/product_registry.h"
#include "temp_root.h"

using namespace ziv;

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
    ASSERT_TRUE(SaveDirectoryFile(path, paths));
    std::string empty48;
    for (int i = 0; i < 48; ++i) empty48 += "\r\n";
    EXPECT_EQ(ReadBytes(path), empty48);
    paths[0] = "/製品/A-100";
    paths[5] = "/製品/B";
    ASSERT_TRUE(SaveDirectoryFile(path, paths));
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
