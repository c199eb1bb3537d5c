#include "station_fixture.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <filesystem>

#include "common/text_file.h"
#include "links/instrument_link.h"
#include "records/product_registry.h"
#include "station/sheet_grid_qt.h"
#include "workbook/workbook.h"

using namespace ziv;

void StationFixture::SetUp() {
    std::filesystem::create_directories(root / "Config");
    productRoot = root / "製品";
    userDir = root / "users/検査員1";
    std::filesystem::create_directories(productRoot);
    std::filesystem::create_directories(userDir);
    ASSERT_TRUE(WriteDefaultLinks(LinksFilePath(root.path())));
    ASSERT_TRUE(SaveProductFolder(ProductFolderFilePath(root.path()), productRoot));
}

std::string StationFixture::MakeProduct(const std::string& name, const std::vector<MasterPoint>& points) {
    std::string folder = productRoot + "/" + name;
    std::filesystem::create_directories(folder);
    Workbook master = Workbook::New();
    for (size_t i = 0; i < points.size(); ++i) {
        int r = static_cast<int>(i) + 1;
        master.SetCell(1, r, 1, points[i].Nominal);
        master.SetCell(1, r, 2, points[i].Upper);
        master.SetCell(1, r, 3, points[i].Lower);
        master.SetCell(1, r, 4, points[i].Target);
    }
    EXPECT_TRUE(master.SaveAs(folder + "/data.xls"));
    return folder;
}

void StationFixture::Register(const std::vector<std::pair<int, std::string>>& machines) {
    ProductPathList paths{};
    for (auto& [m, folder] : machines) paths[m] = folder;
    ASSERT_TRUE(SaveDirectoryFile(StationFiles(), DirectoryFilePath(userDir), paths));
}

std::unique_ptr<MeasurementWindow> StationFixture::Open() {
    auto form = std::make_unique<MeasurementWindow>(SignedInOperator{root.path(), userDir, userName}, dialogs, files);
    if (!form->startUp()) return nullptr;
    form->show();
    QApplication::setActiveWindow(form.get());
    return form;
}

void StationFixture::Key(MeasurementWindow& form, int key, const QString& text) {
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != &form) target = &form;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

void StationFixture::Type(MeasurementWindow& form, const QString& character) {
    Key(form, character.isEmpty() ? 0 : QKeySequence(character)[0].key(), character);
}

std::string StationFixture::Cell(MeasurementWindow& form, int point, int col, int machine) {
    SheetGrid* grid = form.Grid(machine < 0 ? form.ShownMachine() : machine);
    return grid->model()->index(point - 1, col).data().toString().toStdString();
}

std::vector<std::string> StationFixture::Messages() const {
    std::vector<std::string> out;
    for (auto& m : messages) out.push_back(m.text.toStdString());
    return out;
}

bool StationFixture::WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QTest::qWait(1);
    }
    return true;
}

std::vector<std::string> StationFixture::Dump(const std::string& path) {
    std::vector<std::string> out;
    auto book = Workbook::Open(path);
    if (!book) return out;
    for (int s = 1; s <= book->SheetCount(); ++s)
        for (auto& [at, text] : book->Cells(s))
            out.push_back(std::to_string(s) + "," + std::to_string(at.first) + "," + std::to_string(at.second) + "=" +
                          text);
    return out;
}
