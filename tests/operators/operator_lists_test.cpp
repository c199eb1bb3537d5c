#include <gtest/gtest.h>

#include <filesystem>

#include "common/text_file.h"
#include "operators/operator_lists.h"
#include "temp_root.h"

using namespace ziv;

TEST(OperatorLists, FilesAreWrittenByteForByteAndReadBack) {
    TempRoot root;
    std::filesystem::create_directories(root / "Config");
    OperatorLists lists{{"山田", "佐藤", "鈴木"}, {"/検査/山田", "/検査/佐藤", "/検査/鈴木"}};
    ASSERT_TRUE(SaveOperatorLists(root.path(), lists));
    EXPECT_EQ(ReadBytes(UsersFilePath(root.path())), *ToCp932("山田\r\n佐藤\r\n鈴木\r\n"));
    EXPECT_EQ(ReadBytes(PathsFilePath(root.path())), *ToCp932("/検査/山田\r\n/検査/佐藤\r\n/検査/鈴木\r\n"));
    auto loaded = LoadOperatorLists(root.path());
    EXPECT_EQ(loaded.Names, lists.Names);
    EXPECT_EQ(loaded.Folders, lists.Folders);

    ASSERT_TRUE(SaveOperatorLists(root.path(), {}));
    EXPECT_EQ(ReadBytes(UsersFilePath(root.path())), "");
    EXPECT_TRUE(FileExists(PathsFilePath(root.path())));
    EXPECT_EQ(ReadBytes(PathsFilePath(root.path())), "");
}

TEST(OperatorLists, EmptyLinesAreSkippedAndPathIsReadOnlyWithUsers) {
    TempRoot root;
    WriteBytes(PathsFilePath(root.path()), "/a\r\n");
    EXPECT_TRUE(LoadOperatorLists(root.path()).Folders.empty());
    WriteBytes(UsersFilePath(root.path()), "A\r\n\r\nB\nC");
    WriteBytes(PathsFilePath(root.path()), "/a\r\n\r\n/b\r\n/c\r\n");
    auto lists = LoadOperatorLists(root.path());
    EXPECT_EQ(lists.Names, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(lists.Folders, (std::vector<std::string>{"/a", "/b", "/c"}));
}

TEST(OperatorLists, RegisteredFolderStripsTheTypedName) {
    EXPECT_EQ(RegisteredOperatorFolder("/検査/佐藤", "佐藤"), "/検査/佐藤");
    EXPECT_EQ(RegisteredOperatorFolder("/検査/佐藤/佐藤", "佐藤"), "/検査/佐藤");
    EXPECT_EQ(RegisteredOperatorFolder("/DATA/A", "A"), "/DATA");
    EXPECT_EQ(RegisteredOperatorFolder("/data/Yamada/yamada", "YAMADA"), "/data/yamada");
    EXPECT_EQ(RegisteredOperatorFolder("/x/y", ""), "/x/y");
}
