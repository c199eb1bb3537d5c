// With its writer running, the measurement window keeps a registration in the
// station's log and goes on at once; the writer puts it into Directory.dat
// as the file is then, and the window takes over the line another station
// registered meanwhile.
#include <QLabel>
#include <QLineEdit>

#include "children.h"
#include "platform/folder_list_qt.h"
#include "records/product_registry.h"
#include "records/server_clock.h"
#include "station_fixture.h"

using namespace ziv;

using RegistrationWriter = StationFixture;

TEST_F(RegistrationWriter, WritesTheRegistrationAndTheWindowTakesOverAnotherStationsLine) {
    std::string a = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}});
    std::string b = MakeProduct("B-200", {{"5", "0.1", "-0.1", "5"}});
    Register({{0, a}});
    auto form = std::make_unique<MeasurementWindow>(SignedInOperator{root.path(), userDir, userName}, dialogs, files);
    ASSERT_TRUE(form->startUp());
    form->show();
    const std::string directory = DirectoryFilePath(userDir);
    ASSERT_TRUE(WriteRegistrations(StationFiles(), directory, {{7, {a, {OwnClockNs(), "another"}}}}));

    form->ShowMachine(3);
    form->openProductPanel();
    ASSERT_TRUE(Child<FolderList>(*form, "folderList")->setPath(QString::fromStdString(b)));
    form->registerProduct();
    EXPECT_EQ(form->ProductPath(3), b);
    EXPECT_TRUE(WaitUntil([&] { return LoadDirectoryFile(directory)->at(3) == b && form->ProductPath(7) == a; }, 10000))
        << "file: " << LoadDirectoryFile(directory)->at(3) << ", machine 7 shows " << form->ProductPath(7);
    EXPECT_EQ(LoadDirectoryFile(directory)->at(7), a);
    EXPECT_EQ(LoadDirectoryFile(directory)->at(0), a);
    EXPECT_TRUE(WaitUntil([&] { return form->WaitingCount() == 0; }));
    EXPECT_TRUE(messages.empty()) << Messages().front();
    form->close();
}
