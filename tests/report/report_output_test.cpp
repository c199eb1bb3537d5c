// What ziv-report hands to people and other programs: the PDF report read
// back with poppler, its rendered drawing, the CSV read by Python's csv
// module, and the exit codes of the command line.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <regex>

#include "drawing/point_table.h"
#include "platform/share_lock.h"
#include "report_fixture.h"
#include "temp_root.h"

using namespace reporttest;

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

#define REQUIRE_REPORT_TOOL() REQUIRE_PROGRAM(QString::fromStdString(ReportTool()))

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// A landscape drawing on a pale yellow ground, so the picture can be found on
// the rendered page; points 1 and 2 a quarter from the left and right at half
// height, point 3 (not measured) in the middle lower down.
std::string MakeProduct(const TempRoot& root, int rows) {
    std::string product = root / "検査_品";
    std::filesystem::create_directories(product + "/data");
    QImage drawing(1600, 1000, QImage::Format_RGB32);
    drawing.fill(QColor(255, 255, 190));
    drawing.save(QString::fromStdString(product + "/検査_品.jpg"), "JPEG", 95);
    ziv::PointTable table;
    // Landscape 1600 x 1000: the overview is 12000 x 7500 twips.
    table.PosX[1] = 3000, table.PosY[1] = 3750;
    table.PosX[2] = 9000, table.PosY[2] = 3750;
    table.PosX[3] = 6000, table.PosY[3] = 6000;
    EXPECT_TRUE(ziv::SavePointTable(ziv::StationFiles(), product + "/Data.dat", table));
    ziv::Workbook master = ziv::Workbook::New();
    for (int r = 1; r <= rows + 1; ++r) master.SetCell(1, r, 1, "5");
    EXPECT_TRUE(master.SaveAs(product + "/data.xls"));
    std::vector<Row> book{{1, "10", "0.02", "-0.02", "F1 マイクロ", "10.001", "合", "-0.001"},
                          {2, "10", "0.02", "-0.02", "F2 ノギス", "10.05", "不", "-0.05"},
                          {3, "7", "0.1", "-0.1", "", "", "", ""}};
    for (int r = 4; r <= rows; ++r) {
        char value[16];
        std::snprintf(value, sizeof value, "5.%03d1", r);
        book.push_back({r, "5", "0.5", "-0.5", "", value, "合", ""});
    }
    MakeDayBook(product, "山田_太郎_検査_品_3号機_2026年3月7日.xls", book);
    return product;
}

struct Centre {
    double X = 0, Y = 0;
    int Pixels = 0;
};

// Centre of the pixels that pass `match`, relative to the box (0..1).
template <typename Match>
Centre CentreOf(const QImage& page, QRect box, Match match) {
    Centre c;
    double sx = 0, sy = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (match(page.pixelColor(x, y))) {
                sx += x;
                sy += y;
                ++c.Pixels;
            }
    if (c.Pixels) {
        c.X = (sx / c.Pixels - box.left()) / box.width();
        c.Y = (sy / c.Pixels - box.top()) / box.height();
    }
    return c;
}

QRect PictureBox(const QImage& page) {
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            QColor c = page.pixelColor(x, y);
            if (c.red() > 235 && c.green() > 235 && c.blue() > 150 && c.blue() < 215) box |= QRect(x, y, 1, 1);
        }
    return box;
}

}  // namespace

TEST(ReportOutput, DayReportPdfHoldsHeaderEveryRowAndColouredDiscs) {
    REQUIRE_REPORT_TOOL();
    REQUIRE_PROGRAM(QStringLiteral("pdftotext"));
    REQUIRE_PROGRAM(QStringLiteral("pdfinfo"));
    REQUIRE_PROGRAM(QStringLiteral("pdffonts"));
    REQUIRE_PROGRAM(QStringLiteral("pdftoppm"));
    TempRoot root;
    const int rows = 70;
    std::string product = MakeProduct(root, rows);
    std::string book = product + "/data/山田_太郎_検査_品_3号機_2026年3月7日.xls";
    std::string pdf = root / "report.pdf";
    Ran ran = RunProgram(QString::fromStdString(ReportTool()),
                         {"day", QString::fromStdString(book), "--pdf", QString::fromStdString(pdf)});
    ASSERT_EQ(ran.Exit, 0) << ran.Err;

    Ran info = RunProgram("pdfinfo", {QString::fromStdString(pdf)});
    std::smatch pages;
    ASSERT_TRUE(std::regex_search(info.Out, pages, std::regex("Pages:\\s+(\\d+)"))) << info.Out;
    int pageCount = std::stoi(pages[1]);
    EXPECT_GE(pageCount, 2);
    EXPECT_NE(info.Out.find("595 x 842 pts (A4)"), std::string::npos) << "A4 portrait: " << info.Out;
    Ran fonts = RunProgram("pdffonts", {QString::fromStdString(pdf)});
    EXPECT_NE(fonts.Out.find("IPAGothic"), std::string::npos) << fonts.Out;
    EXPECT_EQ(std::regex_search(fonts.Out, std::regex("TrueType\\s+\\S+\\s+no ")), false) << "not embedded: " << fonts.Out;

    Ran text = RunProgram("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
    ASSERT_EQ(text.Exit, 0);
    const std::string& t = text.Out;
    for (const char* header : {"検査成績表", "検査_品", "3号機", "山田_太郎", "2026年3月7日", "合格: 68", "不合格: 1"})
        EXPECT_NE(t.find(header), std::string::npos) << header << "\n" << t;
    // 69 rows with a value, 70 with a nominal size in the master.
    EXPECT_NE(t.find("69 / 71"), std::string::npos) << t;
    for (int r = 4; r <= rows; ++r) {
        char value[16];
        std::snprintf(value, sizeof value, "5.%03d1", r);
        EXPECT_EQ(Count(t, value), 1u) << value;
    }
    for (const char* cell : {"10.001", "10.05", "F1 マイクロ", "F2 ノギス", "-0.001"})
        EXPECT_NE(t.find(cell), std::string::npos) << cell;
    // The table header on every page, and "n / N" at each foot.
    EXPECT_EQ(Count(t, "測定器"), static_cast<size_t>(pageCount));
    for (int p = 1; p <= pageCount; ++p)
        EXPECT_NE(t.find(std::to_string(p) + " / " + std::to_string(pageCount)), std::string::npos) << p;

    ASSERT_EQ(RunProgram("pdftoppm", {"-r", "100", "-f", "1", "-l", "1", "-png", QString::fromStdString(pdf),
                                      QString::fromStdString(root / "page")})
                  .Exit,
              0);
    QImage page(QString::fromStdString(root / "page-1.png"));
    if (page.isNull()) page.load(QString::fromStdString(root / "page-01.png"));
    ASSERT_FALSE(page.isNull());
    QRect box = PictureBox(page);
    ASSERT_GT(box.width(), page.width() / 2) << "the drawing is on the first page";
    Centre green = CentreOf(page, box, [](QColor c) { return c.green() > 130 && c.red() < 80 && c.blue() < 80; });
    Centre red = CentreOf(page, box, [](QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; });
    Centre grey = CentreOf(page, box, [](QColor c) {
        return std::abs(c.red() - 150) < 12 && std::abs(c.green() - 150) < 12 && std::abs(c.blue() - 150) < 12;
    });
    ASSERT_GT(green.Pixels, 20) << "a green disc for the passed point 1";
    ASSERT_GT(red.Pixels, 20) << "a red disc for the failed point 2";
    ASSERT_GT(grey.Pixels, 20) << "a grey disc for point 3, not measured";
    EXPECT_NEAR(green.X, 0.25, 0.03);
    EXPECT_NEAR(green.Y, 0.50, 0.03);
    EXPECT_NEAR(red.X, 0.75, 0.03);
    EXPECT_NEAR(red.Y, 0.50, 0.03);
    EXPECT_NEAR(grey.X, 0.50, 0.03);
    EXPECT_NEAR(grey.Y, 0.80, 0.03);

    // Without Data.dat the report is the table alone, every row still there.
    std::filesystem::remove(product + "/Data.dat");
    std::string bare = root / "bare.pdf";
    ASSERT_EQ(RunProgram(QString::fromStdString(ReportTool()),
                         {"day", QString::fromStdString(book), "--pdf", QString::fromStdString(bare)})
                  .Exit,
              0);
    std::string bareText = RunProgram("pdftotext", {"-layout", QString::fromStdString(bare), "-"}).Out;
    EXPECT_EQ(Count(bareText, "5.0701"), 1u);
    ASSERT_EQ(RunProgram("pdftoppm", {"-r", "100", "-f", "1", "-l", "1", "-png", QString::fromStdString(bare),
                                      QString::fromStdString(root / "bare")})
                  .Exit,
              0);
    QImage barePage(QString::fromStdString(root / "bare-1.png"));
    if (barePage.isNull()) barePage.load(QString::fromStdString(root / "bare-01.png"));
    ASSERT_FALSE(barePage.isNull());
    EXPECT_TRUE(PictureBox(barePage).isEmpty());
}

TEST(ReportOutput, CsvReadByPythonKeepsJapaneseAndAwkwardTexts) {
    REQUIRE_REPORT_TOOL();
    REQUIRE_PROGRAM(kPython);
    TempRoot root;
    std::string product = root / "軸受_A";
    MakeDayBook(product, "佐藤_軸受_A_2号機_2026年3月7日.xls",
                {{1, "10", "0.02", "-0.02", "ノギス, \"赤\"", "10.01", "合", "-0.01"},
                 {2, "", "", "", "", "傷あり\n要確認", "", ""},
                 {3, "5", "", "", "", "", "", ""}});
    MakeDayBook(product, "佐藤_軸受_A_2号機_2026年3月8日.xls", {{1, "10", "0.02", "-0.02", "", "NG", "", ""}});
    std::string values = root / "values.csv";
    Ran ran = RunProgram(QString::fromStdString(ReportTool()),
                         {"values", QString::fromStdString(product), "--from", "2026-03-01", "--to", "2026/3/31",
                          "--csv", QString::fromStdString(values)});
    ASSERT_EQ(ran.Exit, 0) << ran.Err;
    std::string bytes = ReadBytes(values);
    ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(bytes.find("\r\n"), std::string::npos);

    // Python prints every field of every record, "|" between fields, "\n" escaped.
    const char* script =
        "import csv,sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
        "    for rec in csv.reader(f):\n"
        "        print('|'.join(x.replace('\\n', '\\\\n') for x in rec))\n";
    Ran py = RunProgram(kPython, {"-c", script, QString::fromStdString(values)});
    ASSERT_EQ(py.Exit, 0) << py.Err;
    std::vector<std::string> lines;
    std::istringstream in(py.Out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u) << py.Out;
    EXPECT_EQ(lines[0], "日付|測定者|号機|製品|番号|寸法|上限|下限|測定器|測定値|判定|補正|ファイル");
    std::string folder = product + "/data/";
    EXPECT_EQ(lines[1], "2026-03-07|佐藤|2|軸受_A|1|10|0.02|-0.02|ノギス, \"赤\"|10.01|合|-0.01|" + folder +
                            "佐藤_軸受_A_2号機_2026年3月7日.xls");
    EXPECT_EQ(lines[2], "2026-03-07|佐藤|2|軸受_A|2||||" "|傷あり\\n要確認|||" + folder +
                            "佐藤_軸受_A_2号機_2026年3月7日.xls");
    EXPECT_EQ(lines[3].substr(0, 40), std::string("2026-03-08|佐藤|2|軸受_A|1|10|0.02|-0.02||NG").substr(0, 40));

    std::string stats = root / "stats.csv";
    ran = RunProgram(QString::fromStdString(ReportTool()),
                     {"stats", QString::fromStdString(product), "--from", "2026-03-01", "--to", "2026-03-31",
                      "--operator", "佐藤", "--csv", QString::fromStdString(stats)});
    ASSERT_EQ(ran.Exit, 0) << ran.Err;
    py = RunProgram(kPython, {"-c", script, QString::fromStdString(stats)});
    ASSERT_EQ(py.Exit, 0) << py.Err;
    // Header, point 1 (one value, one NG), point 2 (a text), point 3 (a nominal size only).
    EXPECT_EQ(Count(py.Out, "\n"), 4u) << py.Out;
    EXPECT_EQ(py.Out.substr(0, py.Out.find('\n')),
              "番号|寸法|上限|下限|n|平均|標準偏差|最小|最大|Cp|Cpk|規格外|規格外率(%)|OK|NG|その他|規格変更");
    EXPECT_NE(py.Out.find("\n1|10|0.02|-0.02|1|10.01000||10.01|10.01|||0|0.00|0|1||\n"), std::string::npos)
        << py.Out;
    EXPECT_NE(py.Out.find("傷あり\\n要確認×1"), std::string::npos) << py.Out;
}

TEST(ReportOutput, CommandLineExitCodes) {
    REQUIRE_REPORT_TOOL();
    TempRoot root;
    std::string product = root / "P";
    MakeDayBook(product, "op_P_1号機_2026年3月1日.xls", {{1, "10", "0.02", "-0.02", "", "10", "合", ""}});
    WriteBytes(product + "/data/op_P_1号機_2026年3月2日.xls", "damaged");
    QString tool = QString::fromStdString(ReportTool());
    QString dir = QString::fromStdString(product);
    auto run = [&](const QStringList& args) { return RunProgram(tool, args); };

    Ran ok = run({"stats", dir, "--from", "2026-03-01", "--to", "2026-03-31"});
    EXPECT_EQ(ok.Exit, 0) << ok.Err;
    EXPECT_NE(ok.Err.find("読めなかったブック 1"), std::string::npos) << ok.Err;
    EXPECT_NE(ok.Err.find("op_P_1号機_2026年3月2日.xls"), std::string::npos) << ok.Err;

    struct Bad {
        QStringList Args;
        const char* Says;
    } bad[] = {
        {{"report"}, "知らない命令"},
        {{"stats", dir}, "--from"},
        {{"stats", dir, "--from", "2026-02-30", "--to", "2026-03-31"}, "日付が読めません"},
        {{"stats", dir, "--from", "2026-03-31", "--to", "2026-03-01"}, "期間"},
        {{"stats", dir, "--from", "2026-03-01", "--to", "2026-03-31", "--machine", "48"}, "号機"},
        {{"stats", dir, "--from", "2026-03-01", "--to", "2026-03-31", "--colour", "x"}, "--colour"},
        {{"stats", QString::fromStdString(root / "none"), "--from", "2026-03-01", "--to", "2026-03-31"}, "製品フォルダ"},
        {{"values", dir, "--from", "2026-03-01", "--to", "2026-03-31"}, "--csv"},
        {{"day", QString::fromStdString(product + "/data/op_P_1号機_2026年3月2日.xls"), "--pdf",
          QString::fromStdString(root / "x.pdf")},
         "読めません"},
        {{"day", QString::fromStdString(root / "missing.xls"), "--pdf", QString::fromStdString(root / "x.pdf")},
         "ありません"},
        {{"stats", dir, "--from", "2026-03-01", "--to", "2026-03-31", "--csv",
          QString::fromStdString(root / "no/such/folder/out.csv")},
         "書けません"},
    };
    for (const Bad& b : bad) {
        Ran r = run(b.Args);
        EXPECT_EQ(r.Exit, 1) << b.Args.join(' ').toStdString() << "\n" << r.Err;
        EXPECT_NE(r.Err.find(b.Says), std::string::npos) << b.Args.join(' ').toStdString() << "\n" << r.Err;
    }
    EXPECT_FALSE(FileExists(root / "x.pdf"));
}

// The window collects beside its event loop and fills the table and charts:
// the picture it takes of itself is the size asked for and not blank.
TEST(ReportOutput, WindowCollectsAndShowsTheTable) {
    REQUIRE_REPORT_TOOL();
    TempRoot root;
    std::string product = root / "P";
    for (int d = 1; d <= 5; ++d)
        MakeDayBook(product, "op_P_1号機_2026年3月" + std::to_string(d) + "日.xls",
                    {{1, "10", "0.02", "-0.02", "", "10.00" + std::to_string(d), "合", ""}});
    std::string png = root / "window.png";
    Ran ran = RunProgram(QString::fromStdString(ReportTool()),
                         {"screenshot", QString::fromStdString(product), "2026-03-01", "2026-03-31",
                          QString::fromStdString(png), "0"});
    ASSERT_EQ(ran.Exit, 0) << ran.Err;
    QImage shot(QString::fromStdString(png));
    ASSERT_EQ(shot.size(), QSize(1500, 900));
    // The selected row is painted in the highlight colour: the table has a row.
    // (Below the progress bar, which is drawn in the same colour.)
    int highlighted = 0;
    for (int y = 180; y < 700; y += 2)
        for (int x = 0; x < shot.width() / 2; x += 2) {
            QColor c = shot.pixelColor(x, y);
            if (c.blue() > 150 && c.red() < 100) ++highlighted;
        }
    EXPECT_GT(highlighted, 500);
}
