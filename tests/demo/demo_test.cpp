// The demonstration installation, the simulated gauge behind it, the demo
// script's clean-up, and the installed file set.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QProcess>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "drawing/point_table.h"
#include "drawing/view_geometry.h"
#include "links/instrument_link.h"
#include "operators/operator_lists.h"
#include "platform/paths.h"
#include "platform/serial_devices.h"
#include "platform/share_lock.h"
#include "recording_dialogs.h"
#include "records/day_book.h"
#include "records/product_registry.h"
#include "station/measurement_window_ui.h"
#include "station/rejection.h"
#include "temp_root.h"
#include "workbook/workbook.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

const QString kBuild = QStringLiteral(ZIV_BINARY_DIR);
const QString kSource = QStringLiteral(ZIV_SOURCE_DIR);
constexpr int kDemoPoints = 20;

struct Outcome {
    bool finished = false;
    int code = -1;
    std::string out, err;
};

Outcome RunProgram(const QString& program, const QStringList& args,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    Outcome outcome;
    if (!process.waitForStarted(30000) || !process.waitForFinished(120000)) return outcome;
    outcome.finished = process.exitStatus() == QProcess::NormalExit;
    outcome.code = process.exitCode();
    outcome.out = process.readAllStandardOutput().toStdString();
    outcome.err = process.readAllStandardError().toStdString();
    return outcome;
}

Outcome PrepareDemo(const std::string& root, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    return RunProgram(kSource + "/scripts/demo-prepare", {"--build", kBuild, QString::fromStdString(root)}, env);
}

std::vector<std::string> DemoGaugeValues() {
    Outcome values = RunProgram(kBuild + "/tools/ziv-screenshots/ziv-demo-root", {"values"});
    std::vector<std::string> out;
    std::stringstream in(values.out);
    for (std::string v; std::getline(in, v, ',');) out.push_back(v.substr(0, v.find('\n')));
    return out;
}

// The lines of a file whose every line ends with CR LF; a trailing piece
// without one fails the test.
std::vector<std::string> CrLfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end; (end = bytes.find("\r\n", from)) != std::string::npos; from = end + 2)
        lines.push_back(bytes.substr(from, end - from));
    EXPECT_EQ(from, bytes.size()) << "text after the last CR LF";
    return lines;
}

// The system's rule: nominal + lower <= value < nominal + upper.
bool WithinTolerance(const MasterRow& m, double value) {
    double nominal = NumberFromText(m.Nominal);
    return value >= nominal + NumberFromText(m.Lower) && value < nominal + NumberFromText(m.Upper);
}

bool WaitUntil(const std::function<bool()>& done, int ms = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QTest::qWait(10);
    }
    return true;
}

class DemoRoot : public ::testing::Test {
protected:
    TempRoot root;

    void Prepare() {
        Outcome run = PrepareDemo(root.path());
        ASSERT_TRUE(run.finished);
        ASSERT_EQ(run.code, 0) << run.err;
        lists = LoadOperatorLists(root.path());
        ASSERT_EQ(lists.Folders.size(), 1u);
        auto paths = LoadDirectoryFile(DirectoryFilePath(lists.Folders[0]));
        ASSERT_TRUE(paths);
        registered = *paths;
    }
    std::optional<Workbook> Master(int machine) {
        FileResult problem;
        auto book = Workbook::Open(MasterBookPath(registered[machine]), &problem);
        EXPECT_TRUE(book) << BookOpenText(problem);
        return book;
    }

    OperatorLists lists;
    ProductPathList registered{};
};

}  // namespace

TEST_F(DemoRoot, PrepareWritesEveryFileInTheFormatsZivReads) {
    Prepare();
    const std::string& userDir = lists.Folders[0];
    EXPECT_EQ(lists.Names, std::vector<std::string>{"検査員1"});
    EXPECT_TRUE(IsFolder(userDir));
    EXPECT_EQ(ReadBytes(UsersFilePath(root.path())), *ToCp932("検査員1\r\n"));
    EXPECT_EQ(ReadBytes(PathsFilePath(root.path())), *ToCp932(userDir + "\r\n"));

    InstrumentLinks defaults;
    defaults.fill(DefaultInstrumentLink());
    EXPECT_EQ(LoadInstrumentLinks(LinksFilePath(root.path())), defaults);
    EXPECT_EQ(CrLfLines(ReadBytes(LinksFilePath(root.path()))).size(), 130u);
    std::string productRoot = LoadProductFolder(ProductFolderFilePath(root.path()));
    EXPECT_TRUE(IsFolder(productRoot));
    EXPECT_EQ(CrLfLines(ReadBytes(ProductFolderFilePath(root.path()))).size(), 1u);

    EXPECT_EQ(CrLfLines(ReadBytes(DirectoryFilePath(userDir))).size(), 48u);
    for (int m = 2; m < kMachineCount; ++m) EXPECT_TRUE(registered[m].empty()) << "machine " << m;
}

TEST_F(DemoRoot, BothProductsHaveDrawingMasterAndPointsOnTheDrawing) {
    Prepare();
    std::string productRoot = LoadProductFolder(ProductFolderFilePath(root.path()));
    std::set<bool> landscape;
    for (int m : {0, 1}) {
        SCOPED_TRACE("machine " + std::to_string(m));
        const std::string& folder = registered[m];
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.rfind(productRoot + "/", 0), 0u) << folder;
        QImage drawing(QString::fromStdString(ProductDrawingPath(folder, GetProductName(folder))));
        ASSERT_FALSE(drawing.isNull());
        landscape.insert(drawing.width() > drawing.height());

        auto master = Master(m);
        ASSERT_TRUE(master);
        for (int r = 1; r <= kDemoPoints; ++r) {
            MasterRow row = ReadMasterRow(*master, r);
            EXPECT_FALSE(row.Nominal.empty()) << "point " << r;
            EXPECT_LT(NumberFromText(row.Lower), NumberFromText(row.Upper)) << "point " << r << " cannot pass";
        }
        EXPECT_TRUE(ReadMasterRow(*master, kDemoPoints + 1).Nominal.empty());

        std::vector<std::string> lines = CrLfLines(ReadBytes(PointTablePath(folder)));
        ASSERT_EQ(lines.size(), static_cast<size_t>(kPointTableLines));
        for (const auto& line : lines) ASSERT_TRUE(!line.empty() && (line[0] == ' ' || line[0] == '-')) << line;
        PointTable table;
        ASSERT_TRUE(ReadPointTable(PointTablePath(folder), table));
        DrawingSize size{drawing.width() * 15.0, drawing.height() * 15.0};
        OverviewSize overview = OverviewSizeFor(size);
        int placed = 0;
        for (int e = 0; e < kPointEntries; ++e) {
            if (!table.IsPlaced(e)) continue;
            ++placed;
            EXPECT_TRUE(e >= 1 && e <= kDemoPoints) << "entry " << e;
            EXPECT_GE(table.InstrumentIndex[e], 0);
            EXPECT_LT(table.InstrumentIndex[e], kInstrumentListSize);
            // The exported disc lies wholly on the drawing.
            TwipPoint at = DrawingTwipsFor(size, overview, table.PosX[e], table.PosY[e]);
            EXPECT_GE(at.X, kMarkRadiusTwips) << "point " << e;
            EXPECT_LE(at.X, size.W - kMarkRadiusTwips) << "point " << e;
            EXPECT_GE(at.Y, kMarkRadiusTwips) << "point " << e;
            EXPECT_LE(at.Y, size.H - kMarkRadiusTwips) << "point " << e;
        }
        EXPECT_GT(placed, 0);
        EXPECT_LT(placed, kDemoPoints) << "leave points for the operator to designate";
    }
    EXPECT_EQ(landscape.size(), 2u) << "one landscape and one portrait drawing";
}

TEST_F(DemoRoot, GaugeAnswersAroundTheNominalSizesAndSomeFail) {
    Prepare();
    std::vector<std::string> values = DemoGaugeValues();
    ASSERT_EQ(values.size(), 2u * kDemoPoints);
    for (int m : {0, 1}) {
        SCOPED_TRACE("machine " + std::to_string(m));
        auto master = Master(m);
        ASSERT_TRUE(master);
        int fails = 0;
        for (int r = 1; r <= kDemoPoints; ++r) {
            const std::string& text = values[m * kDemoPoints + r - 1];
            double value = NumberFromText(text);
            MasterRow row = ReadMasterRow(*master, r);
            EXPECT_NEAR(value, NumberFromText(row.Nominal), 1.0) << "point " << r << ": " << text;
            // The default link cuts 8 characters: sign, three whole digits, point, three decimals.
            EXPECT_TRUE(value >= 0 && value < 1000) << text;
            if (!WithinTolerance(row, value)) ++fails;
        }
        EXPECT_GE(fails, 1);
        EXPECT_LE(fails, kDemoPoints / 4);
    }
}

TEST_F(DemoRoot, PrepareRefusesTheRealRootAndFoldersWithOtherFiles) {
    std::string other = root / "other";
    WriteBytes(other + "/mine.txt", "keep");
    Outcome run = PrepareDemo(other);
    EXPECT_TRUE(run.finished);
    EXPECT_NE(run.code, 0);
    EXPECT_FALSE(FileExists(other + "/Config"));
    EXPECT_EQ(ReadBytes(other + "/mine.txt"), "keep");

    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", QString::fromStdString(root / "xdg"));
    for (const std::string& real : {root / "xdg/ZIV", root / "xdg/../xdg/ZIV/"}) {
        run = PrepareDemo(real, env);
        EXPECT_NE(run.code, 0) << real;
        EXPECT_FALSE(FileExists(root / "xdg/ZIV")) << real;
    }
    env.remove("XDG_DATA_HOME");
    env.insert("HOME", QString::fromStdString(root / "home"));
    run = PrepareDemo(root / "home/.local/share/ZIV", env);
    EXPECT_NE(run.code, 0);
    EXPECT_FALSE(FileExists(root / "home/.local/share/ZIV"));
}

TEST_F(DemoRoot, PreparingAgainResetsThePreparedFilesAndKeepsWhatWasMeasured) {
    Prepare();
    const std::string& folder = registered[0];
    std::string table = ReadBytes(PointTablePath(folder));
    std::string users = ReadBytes(UsersFilePath(root.path()));
    WriteBytes(PointTablePath(folder), "damaged");
    WriteBytes(UsersFilePath(root.path()), "");
    std::string measured = folder + "/data/検査員1_" + GetProductName(folder) + "_0号機_2024年3月7日.xls";
    WriteBytes(measured, "measured");
    Prepare();
    EXPECT_EQ(ReadBytes(PointTablePath(folder)), table);
    EXPECT_EQ(ReadBytes(UsersFilePath(root.path())), users);
    EXPECT_EQ(ReadBytes(measured), "measured");
}

namespace {

// The gauge simulator bound to port 1 of a root, stopped when the test ends.
class SimulatedGauge {
public:
    SimulatedGauge(const std::string& root, const std::vector<std::string>& values) {
        QString list;
        for (const auto& v : values) list += (list.isEmpty() ? "" : ",") + QString::fromStdString(v);
        process_.start(kBuild + "/tools/ziv-gauge-sim/ziv-gauge-sim",
                       {"--bind", QString::fromStdString(root), "1", "--values", list});
    }
    ~SimulatedGauge() {
        process_.terminate();
        if (!process_.waitForFinished(10000)) process_.kill();
    }
    // The terminal, printed once the port is bound; empty when it never came.
    std::string Device() {
        WaitUntil([&] { return process_.canReadLine() || process_.state() == QProcess::NotRunning; });
        return process_.readLine().trimmed().toStdString();
    }

private:
    QProcess process_;
};

void Press(MeasurementWindow& form, int key) {
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != &form) target = &form;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QStringLiteral(" "));
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

}  // namespace

TEST_F(DemoRoot, ReadingsFromTheDemoGaugeLandInTheDayWorkbook) {
    Prepare();
    std::vector<std::string> values = DemoGaugeValues();
    ASSERT_EQ(values.size(), 2u * kDemoPoints);
    SimulatedGauge gauge(root.path(), values);
    std::string device = gauge.Device();
    ASSERT_FALSE(device.empty());
    EXPECT_EQ(SerialDevicePath(root.path(), 1), device);

    RecordingDialogs dialogs;
    std::vector<ShownMessage>& messages = dialogs.messages;
    MeasurementWindow form({root.path(), lists.Folders[0], lists.Names[0]}, dialogs, StationFiles());
    ASSERT_TRUE(form.startUp());
    form.show();
    QApplication::setActiveWindow(&form);
    form.startMeasuring();
    constexpr int kReadings = 6;
    for (int r = 1; r <= kReadings; ++r) {
        Press(form, Qt::Key_Space);
        ASSERT_TRUE(form.ReadingPending()) << "point " << r;
        ASSERT_TRUE(WaitUntil([&] { return !form.ReadingPending(); })) << "point " << r;
        ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    }
    std::string book = DayBookPath(form.ProductPath(0), lists.Names[0], form.ProductName(0), 0, form.WorkingDate());
    std::string rejections = RejectionFolder(form.ProductFolder());
    form.close();

    FileResult problem;
    auto day = Workbook::Open(book, &problem);
    ASSERT_TRUE(day) << BookOpenText(problem);
    auto master = Master(0);
    ASSERT_TRUE(master);
    int fails = 0;
    for (int r = 1; r <= kReadings; ++r) {
        SCOPED_TRACE("point " + std::to_string(r));
        MasterRow m = ReadMasterRow(*master, r);
        double value = NumberFromText(values[r - 1]);
        EXPECT_EQ(day->CellText(1, r, 1), m.Nominal);
        EXPECT_EQ(day->CellText(1, r, 2), m.Upper);
        EXPECT_EQ(day->CellText(1, r, 3), m.Lower);
        EXPECT_EQ(day->CellText(1, r, 4), "M");
        EXPECT_DOUBLE_EQ(NumberFromText(day->CellText(1, r, 5)), value);
        bool pass = WithinTolerance(m, value);
        fails += pass ? 0 : 1;
        EXPECT_EQ(day->CellText(1, r, 6), pass ? "合" : "不");
    }
    EXPECT_TRUE(day->CellText(1, kReadings + 1, 5).empty());
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(rejections)) files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, static_cast<size_t>(fails));
}

namespace {

struct Child {
    int pid;
    std::string name;
};

// Processes whose parent is `parent`, from /proc.
std::vector<Child> ChildrenOf(int parent) {
    std::vector<Child> children;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat)) continue;
        size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && state != "Z")
            children.push_back({std::stoi(stat.substr(0, open)), stat.substr(open + 1, close - open - 1)});
    }
    return children;
}

bool Alive(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) return false;
    size_t close = stat.rfind(')');
    return close != std::string::npos && stat.substr(close + 2, 1) != "Z";
}

}  // namespace

TEST_F(DemoRoot, DemoScriptStartsZivOnTheGaugeAndClosingZivStopsTheGauge) {
    std::string demoRoot = root / "demo";
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("ZIV_BUILD_DIR", kBuild);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess demo;
    demo.setProcessEnvironment(env);
    demo.start(kSource + "/scripts/demo", {"--no-build", "--root", QString::fromStdString(demoRoot)});
    ASSERT_TRUE(demo.waitForStarted(30000));
    int ziv = 0, gauge = 0;
    bool both = WaitUntil([&] {
        for (const Child& c : ChildrenOf(static_cast<int>(demo.processId()))) {
            if (c.name == "ziv") ziv = c.pid;
            if (c.name == "ziv-gauge-sim") gauge = c.pid;
        }
        return (ziv && gauge) || demo.state() == QProcess::NotRunning;
    }, 60000);
    // Whatever happens below, nothing started here outlives the test.
    struct Reaper {
        int& a;
        int& b;
        ~Reaper() {
            for (int pid : {a, b})
                if (pid && Alive(pid)) ::kill(pid, SIGKILL);
        }
    } reaper{ziv, gauge};
    ASSERT_TRUE(both && ziv && gauge) << demo.readAllStandardError().toStdString();
    EXPECT_EQ(SerialDevicePath(demoRoot, 1).value_or("").rfind("/dev/pts/", 0), 0u);
    EXPECT_EQ(LoadOperatorLists(demoRoot).Names, std::vector<std::string>{"検査員1"});

    ASSERT_EQ(::kill(ziv, SIGTERM), 0);
    ASSERT_TRUE(demo.waitForFinished(60000));
    EXPECT_TRUE(WaitUntil([&] { return !Alive(gauge); }, 20000)) << "the gauge outlived ZIV";
}

TEST(Install, PutsProgramsDesktopEntryIconAndDocumentsInPlace) {
    TempRoot scratch;
    std::string prefix = scratch / "usr";
    Outcome install = RunProgram("cmake", {"--install", kBuild, "--prefix", QString::fromStdString(prefix)});
    ASSERT_TRUE(install.finished);
    ASSERT_EQ(install.code, 0) << install.err;
    for (const char* program : {"ziv", "ziv-workbook", "ziv-gauge-sim"}) {
        fs::path file = fs::path(prefix) / "bin" / program;
        ASSERT_TRUE(fs::is_regular_file(file)) << file;
        EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_exec, fs::perms::none) << file;
    }
    for (const char* helper : {"ziv-screenshots", "ziv-demo-root"})
        EXPECT_FALSE(FileExists(prefix + "/bin/" + helper)) << helper;

    std::map<std::string, std::string> entry;
    std::istringstream desktop(ReadBytes(prefix + "/share/applications/ziv.desktop"));
    std::string line;
    ASSERT_TRUE(std::getline(desktop, line));
    EXPECT_EQ(line, "[Desktop Entry]");
    while (std::getline(desktop, line))
        if (auto eq = line.find('='); eq != std::string::npos) entry[line.substr(0, eq)] = line.substr(eq + 1);
    EXPECT_EQ(entry["Type"], "Application");
    EXPECT_TRUE(FileExists(prefix + "/bin/" + entry["Exec"])) << entry["Exec"];
    QImage icon(QString::fromStdString(prefix + "/share/icons/hicolor/256x256/apps/" + entry["Icon"] + ".png"));
    EXPECT_EQ(icon.size(), QSize(256, 256));

    // Every picture the README shows is installed beside it.
    std::string docs = prefix + "/share/doc/ziv";
    std::string readme = ReadBytes(docs + "/README.md");
    ASSERT_FALSE(readme.empty());
    EXPECT_TRUE(FileExists(docs + "/operator-guide-ja.md"));
    std::regex picture(R"(\]\((docs/[^)\s]+\.png)\))");
    int pictures = 0;
    for (std::sregex_iterator it(readme.begin(), readme.end(), picture), end; it != end; ++it, ++pictures)
        EXPECT_FALSE(QImage(QString::fromStdString(docs + "/" + (*it)[1].str())).isNull()) << (*it)[1];
    EXPECT_GE(pictures, 5);
}

TEST(Install, DebianPackageDependsOnQtLibgsfAndTheJapaneseFont) {
    std::string config = ReadBytes(kBuild.toStdString() + "/CPackConfig.cmake");
    ASSERT_FALSE(config.empty());
    auto value = [&](const std::string& name) {
        std::smatch m;
        std::regex setting("set\\(" + name + " \"([^\"]*)\"\\)");
        return std::regex_search(config, m, setting) ? m[1].str() : std::string();
    };
    EXPECT_EQ(value("CPACK_GENERATOR"), "DEB");
    EXPECT_EQ(value("CPACK_PACKAGE_NAME"), "ziv");
    std::string depends = value("CPACK_DEBIAN_PACKAGE_DEPENDS");
    EXPECT_NE(depends.find("fonts-ipafont-gothic"), std::string::npos) << depends;
    // Without dpkg-shlibdeps the libraries are named by hand.
    if (value("CPACK_DEBIAN_PACKAGE_SHLIBDEPS") != "ON") {
        for (const char* library : {"libqt6widgets6", "libqt6serialport6", "libgsf-1-114"})
            EXPECT_NE(depends.find(library), std::string::npos) << library;
    }
}
