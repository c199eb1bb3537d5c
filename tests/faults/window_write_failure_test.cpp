// Writes of the windows that fail: the disk is full, the device reports an
// error, access is refused, the process may not make a file that large. Each
// time the file on disk stays as it was, the operator is told which file could
// not be written, and the window goes on working.
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sys/resource.h>

#include "common/failure_text.h"
#include "children.h"
#include "common/text_file.h"
#include "drawing/drawing_editor_ui.h"
#include "drawing/point_table.h"
#include "links/instrument_link.h"
#include "links/settings_window_ui.h"
#include "operators/operator_lists.h"
#include "operators/operator_window_ui.h"
#include "platform/folder_list_qt.h"
#include "platform/paths.h"
#include "records/day_book.h"
#include "records/product_panel_ui.h"
#include "records/product_registry.h"
#include "station/operator_record.h"
#include "station/rejection.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "workbook/workbook.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

struct Fault {
    WriteStep step;
    int err;
};

// Every step of a write that can fail, with the errors a full, broken or
// refusing disk gives.
const Fault kFaults[] = {{WriteStep::Open, EACCES}, {WriteStep::Write, ENOSPC}, {WriteStep::Sync, EIO},
                         {WriteStep::Rename, ENOSPC}, {WriteStep::Write, EIO},  {WriteStep::Rename, EACCES}};

std::string Describe(const Fault& f) {
    const char* steps[] = {"open", "write", "sync", "rename", "sync folder"};
    return std::string(steps[static_cast<int>(f.step)]) + "/" + std::strerror(f.err);
}

// Makes the n-th step of the given kind fail for files whose path holds
// `part`; with nth 0 every such step, as long as it lives. The writer's
// thread meets it while the test looks.
class FailingWrite {
public:
    FailingWrite(FaultyDisk& disk, Fault fault, std::string part, int nth = 1)
        : disk_(disk), fault_(fault), part_(std::move(part)), nth_(nth) {
        disk_.writes = [this](WriteStep step, const std::string& path) {
            if (step != fault_.step || path.find(part_) == std::string::npos) return 0;
            if (++calls_ != nth_ && nth_ != 0) return 0;
            ++hits_;
            return fault_.err;
        };
    }
    ~FailingWrite() { disk_.writes = nullptr; }
    int hits() const { return hits_; }

private:
    FaultyDisk& disk_;
    Fault fault_;
    std::string part_;
    int nth_;
    std::atomic<int> calls_ = 0;
    std::atomic<int> hits_ = 0;
};

std::vector<std::string> TemporariesIn(const std::string& folder) {
    std::vector<std::string> found;
    if (!fs::exists(folder)) return found;
    for (auto& e : fs::recursive_directory_iterator(folder))
        if (e.path().filename().string().find(".ziv-tmp-") != std::string::npos) found.push_back(e.path());
    return found;
}

// Exactly one box: the error box, naming the file and (err != 0) the reason.
void ExpectOneWarningNaming(const std::vector<ShownMessage>& messages, const std::string& path, int err,
                            const std::string& context) {
    ASSERT_EQ(messages.size(), 1u) << context;
    EXPECT_EQ(messages[0].title.toStdString(), "ZIV - 警告") << context;
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical) << context;
    EXPECT_NE(messages[0].text.toStdString().find(path), std::string::npos)
        << context << ": " << messages[0].text.toStdString();
    if (err != 0) {
        EXPECT_NE(messages[0].text.toStdString().find(SystemErrorText(err)), std::string::npos)
            << context << ": " << messages[0].text.toStdString();
    }
}

class StationWrites : public StationFixture {
protected:
    std::unique_ptr<MeasurementWindow> form;
    std::string product;

    void TearDown() override {
        disk.writes = nullptr;
        form.reset();
        StationFixture::TearDown();
    }
    std::vector<MasterPoint> Points(int n) {
        std::vector<MasterPoint> points;
        for (int i = 1; i <= n; ++i) points.push_back({std::to_string(10 * i), "0.02", "-0.01", std::to_string(10 * i)});
        return points;
    }
    void Start(int points = 20) {
        product = MakeProduct("A-100", Points(points));
        Register({{0, product}});
        form = Open();
        ASSERT_TRUE(form);
    }
    std::string Book(int machine = 0) {
        return DayBookPath(form->ProductPath(machine), userName, form->ProductName(machine), machine,
                           form->WorkingDate());
    }
    void Enter(const std::string& number) {
        Child<QLineEdit>(*form, "numberEntryBox")->setText(QString::fromStdString(number));
        form->enterNumber();
    }
    void ExpectWarningNaming(const std::string& path, int err, const std::string& context) {
        ExpectOneWarningNaming(messages, path, err, context);
    }
    // The writer met the fault and the window told it.
    void ExpectToldNaming(const std::string& path, int err, const std::string& context) {
        EXPECT_TRUE(WaitUntil([&] { return !messages.empty(); })) << context;
        ExpectWarningNaming(path, err, context);
    }
    // The day workbook of the machine shown holds what its grid holds, row by row.
    void ExpectBookHoldsGrid(const std::string& context) {
        auto book = Workbook::Open(Book(form->ShownMachine()));
        ASSERT_TRUE(book) << context;
        for (int r = 1; r <= kLastPoint; ++r) {
            MeasuredRow row = ReadDayBookRow(*book, r);
            EXPECT_EQ(row.Value, Cell(*form, r, 1)) << context << ", row " << r;
            EXPECT_EQ(row.Judgement, Cell(*form, r, 2)) << context << ", row " << r;
            EXPECT_EQ(row.Correction, Cell(*form, r, 7)) << context << ", row " << r;
        }
    }
};

}  // namespace

TEST_F(StationWrites, DayWorkbookKeepsItsLastSaveAndTheWriterWritesEveryRowTheGridHoldsOnceItCan) {
    Start();
    Enter("10");
    ASSERT_TRUE(form->DeliverWaiting(20000));
    const std::string path = Book();
    int value = 2;
    for (const Fault& fault : kFaults) {
        std::string context = Describe(fault);
        const std::string before = ReadBytes(path);
        messages.clear();
        {
            // Two entries while the workbook cannot be written: the operator
            // goes on and is told once.
            FailingWrite f(disk, fault, path, 0);
            for (int failing = 0; failing < 2; ++failing, ++value) {
                int row = form->Grid(0)->Row();
                Enter(std::to_string(10 * value) + ".005");
                EXPECT_EQ(Cell(*form, row, 1), std::to_string(10 * value) + ".005") << context;
                EXPECT_EQ(form->Grid(0)->Row(), row + 1) << context << ": the input position moves on";
            }
            ExpectToldNaming(path, fault.err, context);
            EXPECT_GE(f.hits(), 1) << context;
            EXPECT_EQ(ReadBytes(path), before) << context;
        }
        ASSERT_TRUE(form->DeliverWaiting(20000)) << context;
        EXPECT_EQ(form->WaitingCount(), 0u) << context;
        EXPECT_EQ(TemporariesIn(product + "/data"), std::vector<std::string>{}) << context;
        ExpectBookHoldsGrid(context);
    }
}

TEST_F(StationWrites, DayWorkbookFolderThatCannotBeMadeLosesNoRow) {
    Start();
    // A file where the folder should be: the folder cannot be made, as on a
    // read-only or broken file system.
    WriteBytes(product + "/data", "not a folder");
    Enter("10");
    Enter("20");
    ExpectToldNaming(product + "/data", 0, "a file where the folder goes");
    fs::remove(product + "/data");
    messages.clear();
    Enter("30");
    ASSERT_TRUE(form->DeliverWaiting(20000));
    EXPECT_TRUE(messages.empty());
    ExpectBookHoldsGrid("after the folder could be made");
    EXPECT_EQ(Workbook::Open(Book())->CellText(1, 1, 5), "10");
    EXPECT_EQ(Workbook::Open(Book())->CellText(1, 2, 5), "20");
}

TEST_F(StationWrites, ProcessFileSizeLimitFailsTheSaveAndTheFileStaysWhole) {
    // Past the limit the kernel would kill the process with SIGXFSZ; ignored,
    // the write fails with EFBIG as on a full quota.
    std::signal(SIGXFSZ, SIG_IGN);
    std::string other = MakeProduct("B-200", Points(3));
    Start();
    Enter("10");
    ASSERT_TRUE(form->DeliverWaiting(20000));
    const std::string path = Book();
    const std::string before = ReadBytes(path);
    const std::string directory = DirectoryFilePath(userDir);
    const std::string directoryBefore = ReadBytes(directory);
    ASSERT_GT(directoryBefore.size(), 64u);
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    // Neither the station's own log nor the share takes anything: the value
    // is told to be on no disk at once, and nothing is written half-way.
    Enter("20.005");
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages[0].text.toStdString().find("値 20.005（0号機 点2）"), std::string::npos) << Messages()[0];
    form->ShowMachine(5);
    form->openProductPanel();
    ASSERT_TRUE(Child<FolderList>(*form, "folderList")->setPath(QString::fromStdString(other)));
    form->registerProduct();
    EXPECT_FALSE(form->DeliverWaiting(1000));
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(ReadBytes(directory), directoryBefore);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &previous), 0);

    // The limit gone, everything goes in, and no try left a temporary behind.
    form->ShowMachine(0);
    ASSERT_TRUE(form->DeliverWaiting(20000));
    EXPECT_EQ(TemporariesIn(product + "/data"), std::vector<std::string>{});
    EXPECT_EQ(TemporariesIn(userDir), std::vector<std::string>{});
    ExpectBookHoldsGrid("after the limit");
    EXPECT_EQ(Cell(*form, 2, 1), "20.005");
    EXPECT_EQ(LoadDirectoryFile(directory)->at(5), other);
}

TEST_F(StationWrites, RejectionFileThatCannotBeWrittenIsReportedAndTheValueIsStillSaved) {
    Start();
    Child<QCheckBox>(*form, "autoAdvanceBox")->setChecked(false);
    int n = 0;
    for (const Fault& fault : kFaults) {
        std::string context = Describe(fault);
        std::string value = "99." + std::to_string(++n);
        const WorkDate& d = form->WorkingDate();
        std::string date = d.Year + "年" + d.Month + "月" + d.Day + "日";
        std::string path = productRoot + "/ＺＩＶログ/不合格記録/" + date + "_" + userName +
                           "_0号機_A-100_規格［10］_上限［0.02］_下限［-0.01］_実測値［" + value + "］.txt";
        std::string content = date + "\r\n" + userName + "\r\n0号機\r\nA-100\r\n規格［10］\r\n上限［0.02］\r\n"
                              "下限［-0.01］\r\n実測値［" + value + "］";
        WriteBytes(path, "an earlier record " + value);
        messages.clear();
        form->Grid(0)->SetRow(1);
        {
            FailingWrite f(disk, fault, "不合格記録", 0);
            Enter(value);
            ExpectToldNaming(path, fault.err, context);
            EXPECT_EQ(Cell(*form, 1, 2), "不") << context;
            EXPECT_TRUE(WaitUntil([&] {
                auto book = Workbook::Open(Book());
                return book && book->CellText(1, 1, 5) == value;
            })) << context << ": the value must not wait for its rejection";
        }
        // Kept on the station, it goes in once it can.
        ASSERT_TRUE(form->DeliverWaiting(20000)) << context;
        EXPECT_EQ(ReadBytes(path), *ToCp932(content)) << context;
        EXPECT_EQ(TemporariesIn(RejectionFolder(productRoot)), std::vector<std::string>{}) << context;

        messages.clear();
        Enter(value);
        ASSERT_TRUE(form->DeliverWaiting(20000)) << context;
        EXPECT_TRUE(messages.empty()) << context;
        EXPECT_EQ(ReadBytes(path), *ToCp932(content)) << context;
    }
}

TEST_F(StationWrites, RejectionWithTheLongestFileNameIsWritten) {
    // A long product folder name makes the record longer than a file name may
    // be: the name is cut to 255 bytes and the file must still be written.
    std::string name(120, 'P');
    for (int i = 0; i < 20; ++i) name += "品";
    product = MakeProduct(name, Points(1));
    Register({{0, product}});
    form = Open();
    ASSERT_TRUE(form);
    Enter("99");
    ASSERT_TRUE(form->DeliverWaiting(20000));
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    std::vector<std::string> written;
    for (auto& e : fs::directory_iterator(RejectionFolder(productRoot))) written.push_back(e.path().filename());
    ASSERT_EQ(written.size(), 1u);
    EXPECT_LE(written[0].size(), 255u);
    EXPECT_GT(written[0].size(), 250u);
    EXPECT_NE(FromCp932(ReadBytes(RejectionFolder(productRoot) + "/" + written[0])).find("実測値［99］"),
              std::string::npos);
}

TEST_F(StationWrites, OperatorRecordThatCannotBeWrittenIsReportedAndTheCloseGoesOn) {
    product = MakeProduct("A-100", Points(3));
    Register({{0, product}});
    const std::string latest = OperatorRecordFolder(productRoot) + "/" + userName + ".txt";
    const std::string dated = OperatorRecordFolder(productRoot) + "/" + userName + "/";
    // Every step of the write fails the same way (the workbook's test goes
    // through them all); here each of the two files once, for the closing
    // waits its bounded time on each.
    int n = 0;
    for (const Fault& fault : {kFaults[1], kFaults[3]}) {
        bool failDated = n++ % 2 == 0;
        std::string context = Describe(fault) + (failDated ? " dated" : " latest");
        form = Open();
        ASSERT_TRUE(form);
        Enter("10");
        WriteBytes(latest, "the record of an earlier run");
        WriteBytes(root / "Config/DrawPos.dat", "1\r\n2\r\n0\r\n3\r\n4\r\n0\r\n");
        WriteBytes(root / "Config/DrawPosMain.dat", "1\r\n2\r\n0\r\n3\r\n4\r\n0\r\n");
        fs::remove_all(dated);
        messages.clear();
        QSignalSpy ended(form.get(), &MeasurementWindow::Ended);
        {
            FailingWrite f(disk, fault, "/測定者記録/" + userName + (failDated ? "/" : ".txt"), 0);
            form->close();
            EXPECT_GE(f.hits(), 1) << context;
        }
        // The one that failed is kept on the station for the next start, the other written.
        ExpectWarningNaming(failDated ? dated : latest, fault.err, context);
        EXPECT_EQ(ReadBytes(latest) == "the record of an earlier run", !failDated) << context;
        std::vector<std::string> records;
        for (auto& e : fs::directory_iterator(dated)) records.push_back(e.path().filename());
        EXPECT_EQ(records.size(), failDated ? 0u : 1u) << context;
        // The rest of the shut-down still happens.
        EXPECT_EQ(ended.count(), 1) << context;
        EXPECT_TRUE(form->HasEnded()) << context;
        // Place and size, written anew (the files held six lines).
        EXPECT_EQ(SplitLines(ReadBytes(root / "Config/DrawPos.dat")).size(), 5u) << context;
        EXPECT_EQ(SplitLines(ReadBytes(root / "Config/DrawPosMain.dat")).size(), 5u) << context;
        form.reset();
    }
    // A run whose disk works writes both.
    form = Open();
    ASSERT_TRUE(form);
    Enter("10");
    ASSERT_TRUE(form->DeliverWaiting(20000));
    messages.clear();
    form->close();
    EXPECT_TRUE(messages.empty());
    EXPECT_NE(FromCp932(ReadBytes(latest)).find("箇所測定"), std::string::npos);
}

TEST_F(StationWrites, WindowPositionFilesThatCannotBeWrittenKeepTheirContent) {
    Start(3);
    form.reset();
    const std::string earlier = "1\r\n2\r\n0\r\n3\r\n4\r\n0\r\n";
    int n = 0;
    for (const Fault& fault : kFaults) {
        std::string name = n++ % 2 == 0 ? "DrawPos.dat" : "DrawPosMain.dat";
        std::string other = name == "DrawPos.dat" ? "DrawPosMain.dat" : "DrawPos.dat";
        std::string context = Describe(fault) + " " + name;
        WriteBytes(root / ("Config/" + name), earlier);
        WriteBytes(root / ("Config/" + other), earlier);
        form = Open();
        ASSERT_TRUE(form);
        messages.clear();
        QSignalSpy ended(form.get(), &MeasurementWindow::Ended);
        {
            FailingWrite f(disk, fault, "/Config/" + name);
            form->close();
            EXPECT_EQ(f.hits(), 1) << context;
        }
        ExpectWarningNaming(root / ("Config/" + name), fault.err, context);
        EXPECT_EQ(ReadBytes(root / ("Config/" + name)), earlier) << context;
        EXPECT_EQ(SplitLines(ReadBytes(root / ("Config/" + other))).size(), 5u) << context;  // place and size
        EXPECT_EQ(ended.count(), 1) << context;
        EXPECT_EQ(TemporariesIn(root / "Config"), std::vector<std::string>{}) << context;
        form.reset();
    }
}

TEST_F(StationWrites, DirectoryFileThatCannotBeWrittenKeepsItsContentAndTheNextSaveWritesTheWholeList) {
    std::string a = MakeProduct("A-100", Points(3));
    std::string b = MakeProduct("B-200", Points(2));
    Register({{0, a}});
    form = Open();
    ASSERT_TRUE(form);
    const std::string path = DirectoryFilePath(userDir);
    int machine = 0;
    for (const Fault& fault : kFaults) {
        std::string context = Describe(fault);
        const std::string before = ReadBytes(path);
        form->ShowMachine(++machine);
        messages.clear();
        {
            FailingWrite f(disk, fault, "Directory.dat", 0);
            form->openProductPanel();
            ASSERT_TRUE(Child<FolderList>(*form, "folderList")->setPath(QString::fromStdString(b)));
            form->registerProduct();
            ExpectToldNaming(path, fault.err, context);
            EXPECT_EQ(ReadBytes(path), before) << context;
        }
        // The window goes on with the product registered.
        EXPECT_FALSE(Child<ProductPanel>(*form, "productPanel")->isVisible()) << context;
        EXPECT_TRUE(Child<QPushButton>(*form, "chooseProductButton")->isEnabled()) << context;
        EXPECT_EQ(Child<QLineEdit>(*form, "productNameBox")->text().toStdString(), "B-200") << context;
        EXPECT_EQ(Cell(*form, 1, 3), "10") << context;
        messages.clear();
        Enter("10");
        ASSERT_TRUE(form->DeliverWaiting(20000)) << context;
        EXPECT_TRUE(messages.empty()) << context;
        EXPECT_TRUE(FileExists(Book(machine))) << context;
    }
    // Unregistering fails as well, then a save that works writes every machine's product.
    messages.clear();
    {
        FailingWrite f(disk, {WriteStep::Rename, EIO}, "Directory.dat", 0);
        form->ShowMachine(1);
        form->openProductPanel();
        form->unregisterProduct();
        ExpectToldNaming(path, EIO, "unregister");
    }
    EXPECT_EQ(Child<QLineEdit>(*form, "productNameBox")->text().toStdString(), "");
    EXPECT_EQ(Cell(*form, 1, 3), "");
    messages.clear();
    form->ShowMachine(2);
    form->openProductPanel();
    form->unregisterProduct();
    ASSERT_TRUE(form->DeliverWaiting(20000));
    EXPECT_TRUE(messages.empty());
    auto stored = LoadDirectoryFile(path);
    ASSERT_TRUE(stored);
    for (int m = 0; m <= kLastMachine; ++m) EXPECT_EQ((*stored)[m], form->ProductPath(m)) << m;
    EXPECT_EQ((*stored)[0], a);
    EXPECT_EQ((*stored)[1], "");
    EXPECT_EQ((*stored)[3], b);
}

// ---- the drawing editor beside the measurement window ----------------------------

namespace {

class EditorWrites : public StationWrites {
protected:
    DrawingEditor* editor = nullptr;
    std::string table;
    std::string exported;

    void StartWithDrawing() {
        product = MakeProduct("A-100", Points(5));
        QImage drawing(600, 400, QImage::Format_RGB32);
        drawing.fill(Qt::white);
        QPainter(&drawing).drawRect(20, 20, 560, 360);
        ASSERT_TRUE(drawing.save(QString::fromStdString(product + "/A-100.jpg"), "JPEG"));
        table = PointTableFilePath(product);
        exported = ExportFilePath(product);
        PointTable points;
        points.PosX[2] = 1500;
        points.PosY[2] = 900;
        ASSERT_TRUE(SavePointTable(files, table, points));
        Register({{0, product}});
        form = Open();
        ASSERT_TRUE(form);
        editor = form->Editor();
        ASSERT_TRUE(editor->HasDrawing(0));
        ASSERT_TRUE(editor->PointsLoaded(0));
    }
    void Designate(int row, double x, double y) {
        form->Grid(0)->SetRow(row);
        editor->startDesignation();
        ASSERT_TRUE(editor->InDesignMode());
        editor->overviewMouseDown(1, 0, x, y);
        editor->overviewMouseUp(1, 0, x, y);
        editor->confirmDesignation();
    }
};

}  // namespace

TEST_F(EditorWrites, PointTableThatCannotBeSavedKeepsItsContentAndTheWriterSavesEveryDesignationOnceItCan) {
    StartWithDrawing();
    int row = 1;
    for (const Fault& fault : kFaults) {
        std::string context = Describe(fault);
        const std::string before = ReadBytes(table);
        messages.clear();
        {
            FailingWrite f(disk, fault, "Data.dat", 0);
            Designate(row, 100.0 * row, 200);
            ExpectToldNaming(table, fault.err, context);
            EXPECT_EQ(ReadBytes(table), before) << context;
        }
        // Back to the normal state, the designation kept.
        EXPECT_FALSE(editor->InDesignMode()) << context;
        EXPECT_TRUE(form->isEnabled()) << context;
        EXPECT_EQ(editor->Table(0).PosX[row], 100.0f * row) << context;
        messages.clear();
        Designate(row + 1, 100.0 * row + 50, 300);
        ASSERT_TRUE(form->DeliverWaiting(20000)) << context;
        EXPECT_TRUE(messages.empty()) << context;
        PointTable stored;
        ASSERT_TRUE(ReadPointTable(table, stored)) << context;
        EXPECT_EQ(stored, editor->Table(0)) << context;
        EXPECT_EQ(stored.PosX[row], 100.0f * row) << context;
        row += 2;
    }
}

TEST_F(EditorWrites, DesignationThatCannotBeWrittenOutlivesTheProgram) {
    StartWithDrawing();
    disk.writes = [&](WriteStep, const std::string& p) { return p == table ? EACCES : 0; };
    Designate(4, 321, 123);
    messages.clear();
    form->close();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.toStdString().find("1 件"), std::string::npos);
    form.reset();
    disk.writes = nullptr;
    PointTable stored;
    ASSERT_TRUE(ReadPointTable(table, stored));
    ASSERT_EQ(stored.PosX[4], 0.0f);
    form = Open();
    ASSERT_TRUE(form);
    ASSERT_TRUE(form->DeliverWaiting(20000));
    ASSERT_TRUE(ReadPointTable(table, stored));
    EXPECT_NE(stored.PosX[4], 0.0f);
    EXPECT_EQ(stored.PosX[2], 1500.0f);
    EXPECT_EQ(form->WaitingCount(), 0u);
}

TEST_F(EditorWrites, APointDesignatedAgainReplacesTheDesignationThatWaited) {
    StartWithDrawing();
    disk.writes = [&](WriteStep, const std::string& p) { return p == table ? EACCES : 0; };
    Designate(4, 100, 100);
    EXPECT_FALSE(form->DeliverWaiting(1000));
    disk.writes = nullptr;
    Designate(4, 300, 200);
    const float newest = editor->Table(0).PosX[4];
    ASSERT_TRUE(form->DeliverWaiting(20000));
    EXPECT_EQ(form->WaitingCount(), 0u);
    PointTable stored;
    ASSERT_TRUE(ReadPointTable(table, stored));
    EXPECT_EQ(stored.PosX[4], newest);
}

TEST_F(EditorWrites, ExportThatCannotBeWrittenKeepsTheEarlierDrawingAndTheNextExportWorks) {
    StartWithDrawing();
    for (const Fault& fault : kFaults) {
        std::string context = Describe(fault);
        WriteBytes(exported, "the drawing of an earlier export");
        messages.clear();
        {
            FailingWrite f(disk, fault, "Data.jpg");
            editor->ExportInspectionDrawing();
            EXPECT_EQ(f.hits(), 1) << context;
        }
        ExpectWarningNaming(exported, 0, context);
        EXPECT_EQ(ReadBytes(exported), "the drawing of an earlier export") << context;
        EXPECT_EQ(TemporariesIn(product), std::vector<std::string>{}) << context;
        messages.clear();
        editor->ExportInspectionDrawing();
        ASSERT_EQ(messages.size(), 1u) << context;
        EXPECT_EQ(messages[0].title.toStdString(), "ZIV - 情報") << context;
        EXPECT_EQ(QImage(QString::fromStdString(exported)).size(), QSize(600, 400)) << context;
    }
}

// ---- the settings window -------------------------------------------------------------

namespace {

class SettingsWrites : public ::testing::Test {
protected:
    TempRoot root;
    RecordingDialogs dialogs;
    std::vector<ShownMessage>& messages = dialogs.messages;
    FaultyDisk disk;

    void SetUp() override {
        ASSERT_TRUE(MakeFolders(root / "Config"));
        ASSERT_TRUE(WriteDefaultLinks(LinksFilePath(root.path())));
        ASSERT_TRUE(MakeFolders(root / "p0"));
        ASSERT_TRUE(SaveProductFolder(ProductFolderFilePath(root.path()), root / "p0"));
    }
    static void Edit(SettingsWindow& form, const char* box, const std::string& text) {
        form.findChild<QLineEdit*>(box)->setText(QString::fromStdString(text));
    }
};

}  // namespace

TEST_F(SettingsWrites, OkThatCannotWriteNamesTheFileKeepsItAndStaysOpen) {
    const std::string folderFile = ProductFolderFilePath(root.path());
    const std::string linksFile = LinksFilePath(root.path());
    int n = 0;
    for (const Fault& fault : kFaults) {
        // ProductDir.dat is written first, RS232C.dat second.
        bool failLinks = n++ % 2 == 1;
        const std::string& failing = failLinks ? linksFile : folderFile;
        std::string context = Describe(fault) + (failLinks ? " RS232C.dat" : " ProductDir.dat");
        std::string folder = root / ("p" + std::to_string(n));
        ASSERT_TRUE(MakeFolders(folder));
        const std::string before = ReadBytes(failing);
        SettingsWindow form(root.path(), dialogs, disk);
        form.show();
        QSignalSpy closed(&form, &SettingsWindow::closed);
        Edit(form, "folderPathBox", folder);
        Edit(form, "displayNameBox", "機器" + std::to_string(n));
        messages.clear();
        {
            FailingWrite f(disk, fault, "/Config/", failLinks ? 2 : 1);
            form.saveAndClose();
            EXPECT_EQ(f.hits(), 1) << context;
        }
        ExpectOneWarningNaming(messages, failing, fault.err, context);
        EXPECT_TRUE(messages[0].text.startsWith(QString::fromUtf8("製品フォルダの設定が正しくありません。"))) << context;
        EXPECT_EQ(ReadBytes(failing), before) << context;
        EXPECT_EQ(closed.count(), 0) << context;
        EXPECT_TRUE(form.isVisible()) << context;
        EXPECT_EQ(TemporariesIn(root / "Config"), std::vector<std::string>{}) << context;
        // The same "OK" once the disk works again writes both and closes.
        messages.clear();
        form.saveAndClose();
        EXPECT_TRUE(messages.empty()) << context;
        EXPECT_EQ(closed.count(), 1) << context;
        EXPECT_EQ(LoadProductFolder(folderFile), folder) << context;
        EXPECT_EQ(LoadInstrumentLinks(linksFile)[0].DisplayName, "機器" + std::to_string(n)) << context;
    }
}

// ---- the operator window ----------------------------------------------------------

namespace {

class OperatorWrites : public ::testing::Test {
protected:
    TempRoot root;
    RecordingDialogs dialogs;
    std::vector<ShownMessage>& messages = dialogs.messages;
    FaultyDisk disk;
    int made = 0;

    void SetUp() override {
        dialogs.answerSave = [this](const QString&) {
            std::string name = "検査員" + std::to_string(++made);
            return std::optional<ChosenFile>(
                ChosenFile{QString::fromStdString(root / ("ops/" + name)), QString::fromStdString(name)});
        };
        ASSERT_TRUE(MakeFolders(root / "ops"));
    }
    // Every stored name has its own folder beside it.
    void ExpectNamesPairedWithTheirFolders(const std::string& context) {
        OperatorLists stored = LoadOperatorLists(root.path());
        ASSERT_EQ(stored.Names.size(), stored.Folders.size()) << context;
        for (size_t i = 0; i < stored.Names.size(); ++i)
            EXPECT_EQ(stored.Folders[i], root / ("ops/" + stored.Names[i])) << context << ", line " << i;
    }
};

}  // namespace

TEST_F(OperatorWrites, ListsThatCannotBeWrittenStayAsTheyWereAndStayPaired) {
    OperatorWindow form(dialogs, disk);
    ASSERT_TRUE(form.startUp());
    for (int i = 0; i < 4; ++i) form.createOperator();
    ASSERT_TRUE(messages.empty());
    const std::string users = UsersFilePath(root.path());
    const std::string paths = PathsFilePath(root.path());
    int n = 0;
    for (const Fault& fault : kFaults) {
        // Users.dat is written first, Path.dat second; adding and deleting take turns.
        bool failPaths = n % 2 == 0;
        bool deleting = (n / 2) % 2 == 1;
        ++n;
        std::string context = Describe(fault) + (deleting ? " delete, " : " add, ") + (failPaths ? "Path.dat" : "Users.dat");
        const std::string usersBefore = ReadBytes(users);
        const std::string pathsBefore = ReadBytes(paths);
        messages.clear();
        {
            FailingWrite f(disk, fault, "/Config/", failPaths ? 2 : 1);
            if (deleting) {
                form.operatorList()->setCurrentRow(1);
                form.deleteOperator();
            } else {
                form.createOperator();
            }
            EXPECT_EQ(f.hits(), 1) << context;
        }
        ExpectOneWarningNaming(messages, failPaths ? paths : users, fault.err, context);
        EXPECT_EQ(ReadBytes(users), usersBefore) << context;
        EXPECT_EQ(ReadBytes(paths), pathsBefore) << context;
        ExpectNamesPairedWithTheirFolders(context);
        // The next change that can be written stores the window's whole list.
        messages.clear();
        form.createOperator();
        EXPECT_TRUE(messages.empty()) << context;
        ExpectNamesPairedWithTheirFolders(context);
        EXPECT_EQ(LoadOperatorLists(root.path()).Names.size(), static_cast<size_t>(form.operatorList()->count())) << context;
    }
    // Deciding takes the chosen name's own folder.
    QSignalSpy decided(&form, &OperatorWindow::Decided);
    form.operatorList()->setCurrentRow(2);
    std::string chosen = form.operatorList()->currentItem()->text().toStdString();
    form.decide();
    ASSERT_EQ(decided.count(), 1);
    EXPECT_EQ(form.userDir(), root / ("ops/" + chosen));
}
