// What ziv-report hands to people and other programs: the PDF report read
// back with poppler, its rendered drawing, the CSV read by Python's csv
// module, and the exit codes of the command line.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <regex>

#include "common/timestamp.h"
#include "drawing/point_table.h"
#include "platform/share_lock.h"
#include "records/journal.h"
#include "report/part_facts.h"
#include "report_fixture.h"
#include "temp_root.h"

using namespace reporttest;

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

#define REQUIRE_REPORT_TOOL() REQUIRE_PROGRAM(QString::fromStdString(ReportTool()))

// The fields of one line the Python script printed.
std::vector<std::string> Fields(const std::string& text) {
    std::vector<std::string> fields;
    std::string line = text.substr(0, text.find('\n'));
    size_t start = 0;
    for (size_t bar = line.find('|'); bar != std::string::npos; bar = line.find('|', start)) {
        fields.push_back(line.substr(start, bar - start));
        start = bar + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

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

// An entry of the station on machine 3 of 2026-03-07, as the station journals it.
ziv::JournalEntry Entry(int point, std::string text, std::string_view time, std::string gauge = {}) {
    using namespace std::chrono;
    ziv::JournalEntry e;
    e.Time = *ziv::ParseTimestamp(time);
    e.WorkDate = ziv::Day{year{2026}, month{3}, day{7}};
    e.Station = "検査台1";
    e.Operator = "山田_太郎";
    e.Product = "検査_品";
    e.Machine = 3;
    e.Point = point;
    e.Text = std::move(text);
    e.Way = gauge.empty() ? ziv::EntryWay::Typed : ziv::EntryWay::Reading;
    e.Key = gauge.empty() ? 0 : 1;
    e.Gauge = std::move(gauge);
    return e;
}

// The line of the page's text that holds `cell`; empty when none does.
std::string LineWith(const std::string& text, const std::string& cell) {
    size_t at = text.find(cell);
    if (at == std::string::npos) return {};
    size_t start = text.rfind('\n', at);
    start = start == std::string::npos ? 0 : start + 1;
    return text.substr(start, text.find('\n', at) - start);
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
    // The part facts as the command line sets them; the reason for this record only.
    QStringList facts{"facts", QString::fromStdString(product)};
    for (const char* set : {"顧客=株式会社サンプル", "図番=AB-1234-01", "改訂=C", "品名=フランジ", "材質=S45C",
                            "報告書番号=QR-7", "注文番号=PO-9", "番号2.名称=外径"})
        facts << "--set" << set;
    ASSERT_EQ(RunProgram(QString::fromStdString(ReportTool()), facts).Exit, 0);
    // Point 2 measured twice: the second value (10.05, as 10.050) is the book's.
    // Point 4 typed after midnight; point 5's entry holds another value than
    // the book, point 6's another operator's: neither is the book's.
    // Point 1's gauge was past its calibration due date.
    ziv::JournalEntry other = Entry(6, "5.0061", "2026-03-07T10:00:00+09:00", "MC-0999");
    other.Operator = "佐藤";
    ziv::JournalEntry overdue = Entry(1, "10.001", "2026-03-07T14:05:09.250+09:00", "MC-0012");
    overdue.GaugeOverdue = true;
    std::vector<std::string> records;
    for (const ziv::JournalEntry& e : {overdue,
                                       Entry(2, "10.03", "2026-03-07T13:00:00+09:00", "MC-0001"),
                                       Entry(2, "10.050", "2026-03-07T13:10:00+09:00", "MC-0002"),
                                       Entry(4, "5.0041", "2026-03-08T00:12:03+09:00"),
                                       Entry(5, "5.0052", "2026-03-07T15:00:00+09:00", "MC-0005"), other})
        records.push_back(ziv::JournalRecord(e));
    ASSERT_TRUE(ziv::AppendToJournal(ziv::JournalPath(product, other.WorkDate, other.Station), records));
    std::string pdf = root / "report.pdf";
    Ran ran = RunProgram(QString::fromStdString(ReportTool()), {"day", QString::fromStdString(book), "--pdf",
                                                                QString::fromStdString(pdf), "--lot", "L-0307 A",
                                                                "--qty", "１２０", "--set", "理由=初品"});
    ASSERT_EQ(ran.Exit, 0) << ran.Err;

    Ran info = RunProgram("pdfinfo", {QString::fromStdString(pdf)});
    std::smatch pages;
    ASSERT_TRUE(std::regex_search(info.Out, pages, std::regex("Pages:\\s+(\\d+)"))) << info.Out;
    int pageCount = std::stoi(pages[1]);
    EXPECT_GE(pageCount, 2);
    EXPECT_NE(info.Out.find("595 x 842 pts (A4)"), std::string::npos) << "A4 portrait: " << info.Out;
    EXPECT_NE(info.Out.find("検査成績書"), std::string::npos) << info.Out;
    Ran fonts = RunProgram("pdffonts", {QString::fromStdString(pdf)});
    EXPECT_NE(fonts.Out.find("IPAGothic"), std::string::npos) << fonts.Out;
    EXPECT_EQ(std::regex_search(fonts.Out, std::regex("TrueType\\s+\\S+\\s+no ")), false) << "not embedded: " << fonts.Out;

    Ran text = RunProgram("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
    ASSERT_EQ(text.Exit, 0);
    const std::string& t = text.Out;
    for (const char* header : {"検査成績書", "顧客: 株式会社サンプル", "図番: AB-1234-01", "改訂: C", "品名: フランジ",
                               "材質: S45C", "報告書番号: QR-7", "注文番号: PO-9", "理由: 初品", "ロット: L-0307 A", "数量: 120", "製品: 検査_品", "号機: 3号機",
                               "測定者: 山田_太郎", "日付: 2026年3月7日", "合格: 68", "不合格: 1",
                               // Point 2 failed; point 3, not measured, does not change that.
                               "総合判定: 不合格（1点）", "※ 校正期限を過ぎた計器で測った値: 1点"})
        EXPECT_NE(t.find(header), std::string::npos) << header << "\n" << t;
    // 69 rows with a value, 70 with a nominal size in the master.
    EXPECT_NE(t.find("69 / 71"), std::string::npos) << t;
    // The stamp boxes, each with its name and date line, printed empty.
    EXPECT_TRUE(std::regex_search(t, std::regex("検査\\s+承認"))) << t;
    EXPECT_EQ(Count(t, "氏名"), 2u) << t;
    EXPECT_TRUE(std::regex_search(t, std::regex("日付\\s+日付"))) << t;
    // Nothing of the station's disk: neither the book's place nor any other.
    EXPECT_EQ(t.find(root.path()), std::string::npos) << t;
    EXPECT_EQ(t.find("ファイル"), std::string::npos) << t;
    for (int r = 4; r <= rows; ++r) {
        char value[16];
        std::snprintf(value, sizeof value, "5.%03d1", r);
        EXPECT_EQ(Count(t, value), 1u) << value;
    }
    for (const char* cell : {"10.001", "10.05", "F1 マイクロ", "F2 ノギス", "上の許容差", "下の許容差", "+0.02", "外径"})
        EXPECT_NE(t.find(cell), std::string::npos) << cell;
    // The shop's correction is not the customer's business.
    EXPECT_EQ(t.find("補正"), std::string::npos) << t;
    EXPECT_EQ(t.find("-0.001"), std::string::npos) << t;
    // Gauge and time where the journal knows the value, empty where it does not.
    struct Traced {
        const char* Value;
        const char* Gauge;
        const char* Time;
    } traced[] = {{"10.001", "MC-0012※", "14:05:09"}, {"10.05", "MC-0002", "13:10:00"}, {"5.0041", "", "3/8 00:12:03"},
                  {"5.0051", "", ""},                 {"5.0061", "", ""}};
    for (const Traced& v : traced) {
        std::string line = LineWith(t, v.Value);
        EXPECT_NE(line.find(v.Gauge), std::string::npos) << line;
        EXPECT_NE(line.find(v.Time), std::string::npos) << line;
        if (!*v.Gauge) {
            EXPECT_EQ(line.find("MC-"), std::string::npos) << line;
        }
        if (!*v.Time) {
            EXPECT_FALSE(std::regex_search(line, std::regex("\\d:\\d\\d"))) << line;
        }
    }
    EXPECT_EQ(t.find("MC-0001"), std::string::npos) << "the value measured over is not the book's";
    // Every page names the record and its place among the pages, and repeats the table header.
    std::vector<std::string> pageTexts;
    for (size_t start = 0, feed; (feed = t.find('\f', start)) != std::string::npos; start = feed + 1)
        pageTexts.push_back(t.substr(start, feed - start));
    ASSERT_EQ(pageTexts.size(), static_cast<size_t>(pageCount));
    const std::regex identification("製品: 検査_品 +号機: 3号機 +測定者: 山田_太郎 +日付: 2026年3月7日 +ロット: L-0307 A");
    for (int p = 1; p <= pageCount; ++p) {
        const std::string& page = pageTexts[static_cast<size_t>(p - 1)];
        EXPECT_TRUE(std::regex_search(page, identification)) << "page " << p << "\n" << page;
        EXPECT_NE(page.find(std::to_string(p) + " / " + std::to_string(pageCount)), std::string::npos) << page;
        EXPECT_EQ(Count(page, "測定器"), 1u) << page;
        EXPECT_EQ(Count(page, "管理番号"), 1u) << page;
    }

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
    EXPECT_EQ(lines[0], "日付|測定者|号機|製品|番号|寸法|上限|下限|測定器|測定値|判定|補正|ファイル|時刻|ステーション|管理番号");
    // The book's name alone: no server path leaves the shop.
    EXPECT_EQ(lines[1], "2026-03-07|佐藤|2|軸受_A|1|10|0.02|-0.02|ノギス, \"赤\"|10.01|合|-0.01|"
                            "佐藤_軸受_A_2号機_2026年3月7日.xls|||");
    EXPECT_EQ(lines[2], "2026-03-07|佐藤|2|軸受_A|2||||" "|傷あり\\n要確認|||"
                            "佐藤_軸受_A_2号機_2026年3月7日.xls|||");
    EXPECT_EQ(lines[3].substr(0, 40), std::string("2026-03-08|佐藤|2|軸受_A|1|10|0.02|-0.02||NG").substr(0, 40));

    std::string stats = root / "stats.csv";
    std::string statsPdf = root / "stats.pdf";
    ran = RunProgram(QString::fromStdString(ReportTool()),
                     {"stats", QString::fromStdString(product), "--from", "2026-03-01", "--to", "2026-03-31",
                      "--operator", "佐藤", "--csv", QString::fromStdString(stats), "--pdf",
                      QString::fromStdString(statsPdf)});
    ASSERT_EQ(ran.Exit, 0) << ran.Err;
    // The paper names the figures as the screen does, and says what they mean.
    if (HasProgram("pdftotext")) {
        std::string paper = RunProgram("pdftotext", {"-layout", QString::fromStdString(statsPdf), "-"}).Out;
        for (const char* words : {"σ群内", "σ全体", "Pp", "Ppk", "Cpk下限", "ルール", "判定なし", "Bissell", "軸受_A"})
            EXPECT_NE(paper.find(words), std::string::npos) << words << "\n" << paper;
    }
    py = RunProgram(kPython, {"-c", script, QString::fromStdString(stats)});
    ASSERT_EQ(py.Exit, 0) << py.Err;
    // Header, point 1 (one value, one NG), point 2 (a text), point 3 (a nominal size only).
    EXPECT_EQ(Count(py.Out, "\n"), 4u) << py.Out;
    std::vector<std::string> header = Fields(py.Out.substr(0, py.Out.find('\n')));
    ASSERT_EQ(header.size(), 51u) << py.Out;
    EXPECT_EQ(header[14], "Cp");
    EXPECT_EQ(header[17], "Pp");
    std::vector<std::string> first = Fields(py.Out.substr(py.Out.find("\n1|") + 1));
    ASSERT_EQ(first.size(), header.size());
    auto at = [&](const char* name) {
        return first[static_cast<size_t>(std::find(header.begin(), header.end(), name) - header.begin())];
    };
    EXPECT_EQ(at("号機"), "2");
    EXPECT_EQ(at("規格"), "両側");
    EXPECT_EQ(at("n"), "1");
    EXPECT_EQ(at("平均"), "10.01");
    EXPECT_EQ(at("Cpk"), "");  // one value: no spread, no index
    EXPECT_EQ(at("NG"), "1");
    EXPECT_EQ(at("不合格"), "0");
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

    // A damaged book among readable ones: the report is made, and the exit says so.
    Ran partial = run({"stats", dir, "--from", "2026-03-01", "--to", "2026-03-31"});
    EXPECT_EQ(partial.Exit, 3) << partial.Err;
    EXPECT_NE(partial.Err.find("読めなかったブック 1"), std::string::npos) << partial.Err;
    EXPECT_NE(partial.Err.find("op_P_1号機_2026年3月2日.xls"), std::string::npos) << partial.Err;
    EXPECT_NE(partial.Out.find("Cpk"), std::string::npos) << partial.Out;
    Ran ok = run({"stats", dir, "--from", "2026-03-01", "--to", "2026-03-01"});
    EXPECT_EQ(ok.Exit, 0) << ok.Err;

    std::filesystem::create_directories(root / "empty");
    WriteBytes(product + "/data.xls", ReadBytes(product + "/data/op_P_1号機_2026年3月1日.xls"));
    struct Bad {
        QStringList Args;
        int Exit;
        const char* Says;
    } bad[] = {
        {{"report"}, 1, "知らない命令"},
        {{"stats", dir}, 1, "--from"},
        {{"stats", dir, "--from", "2026-02-30", "--to", "2026-03-31"}, 1, "日付が読めません"},
        {{"stats", dir, "--from", "2026-03-31", "--to", "2026-03-01"}, 1, "期間"},
        {{"stats", dir, "--from", "2026-03-01", "--to", "2026-03-31", "--machine", "48"}, 1, "号機"},
        {{"stats", dir, "--from", "2026-03-01", "--to", "2026-03-31", "--colour", "x"}, 1, "--colour"},
        {{"values", dir, "--from", "2026-03-01", "--to", "2026-03-31"}, 1, "--csv"},
        {{"stats", QString::fromStdString(root / "none"), "--from", "2026-03-01", "--to", "2026-03-31"}, 2,
         "製品フォルダがありません"},
        {{"stats", QString::fromStdString(root / "empty"), "--from", "2026-03-01", "--to", "2026-03-31"}, 2,
         "データフォルダがありません"},
        {{"stats", dir, "--from", "2025-03-01", "--to", "2025-03-31"}, 2, "ブックがありません"},
        {{"day", QString::fromStdString(root / "missing.xls"), "--pdf", QString::fromStdString(root / "x.pdf")}, 2,
         "ありません"},
        {{"day", QString::fromStdString(product + "/data.xls"), "--pdf", QString::fromStdString(root / "x.pdf")}, 2,
         "日ごとのブックではありません"},
        {{"day", QString::fromStdString(product + "/data/op_P_1号機_2026年3月2日.xls"), "--pdf",
          QString::fromStdString(root / "x.pdf")},
         3, "読めません"},
        {{"day", QString::fromStdString(product + "/data/op_P_1号機_2026年3月1日.xls"), "--pdf",
          QString::fromStdString(root / "x.pdf"), "--qty", "-1"},
         1, "数量"},
        {{"day", QString::fromStdString(product + "/data/op_P_1号機_2026年3月1日.xls"), "--pdf",
          QString::fromStdString(root / "x.pdf"), "--qty", "1.5"},
         1, "数量"},
        {{"day", QString::fromStdString(product + "/data/op_P_1号機_2026年3月1日.xls"), "--pdf",
          QString::fromStdString(root / "x.pdf"), "--lot", "A", "--lot", "B"},
         1, "二度"},
        {{"stats", dir, "--from", "2026-03-01", "--to", "2026-03-01", "--csv",
          QString::fromStdString(root / "no/such/folder/out.csv")},
         4, "書けません"},
    };
    for (const Bad& b : bad) {
        Ran r = run(b.Args);
        EXPECT_EQ(r.Exit, b.Exit) << b.Args.join(' ').toStdString() << "\n" << r.Err;
        EXPECT_NE(r.Err.find(b.Says), std::string::npos) << b.Args.join(' ').toStdString() << "\n" << r.Err;
        // Every message in the operator's language: no English system text.
        EXPECT_EQ(r.Err.find("No such file"), std::string::npos) << r.Err;
    }
    EXPECT_FALSE(FileExists(root / "x.pdf"));

    // Part facts that cannot be read: the report is made without them, and the exit says so.
    std::filesystem::create_directories(product + "/部品情報.txt");
    Ran withoutFacts = run({"day", QString::fromStdString(product + "/data/op_P_1号機_2026年3月1日.xls"), "--pdf",
                            QString::fromStdString(root / "x.pdf")});
    EXPECT_EQ(withoutFacts.Exit, 3) << withoutFacts.Err;
    EXPECT_NE(withoutFacts.Err.find("部品情報を読めません"), std::string::npos) << withoutFacts.Err;
    EXPECT_NE(withoutFacts.Err.find("ファイルではありません"), std::string::npos) << withoutFacts.Err;
    EXPECT_TRUE(FileExists(root / "x.pdf"));
}

// Operator, product, machine and date come from the book's place; relative
// folders work as absolute ones; a copy whose name splits two ways, and the
// master, are refused instead of being reported under wrong names.
TEST(ReportOutput, BooksAndFoldersAreNamedByTheirPlace) {
    REQUIRE_REPORT_TOOL();
    REQUIRE_PROGRAM(QStringLiteral("pdftotext"));
    TempRoot root;
    std::string product = root / "軸受_A";
    std::string book = MakeDayBook(product, "佐藤_一郎_軸受_A_2号機_2026年3月7日.xls",
                                   {{1, "10", "0.02", "-0.02", "", "10.01", "合", ""}});
    QString tool = QString::fromStdString(ReportTool());
    auto headerOf = [&](const QStringList& args, const QString& cwd) {
        std::filesystem::remove(root / "day.pdf");
        Ran ran = RunProgram(tool, args + QStringList{"--pdf", QString::fromStdString(root / "day.pdf")}, cwd);
        EXPECT_EQ(ran.Exit, 0) << ran.Err;
        return RunProgram("pdftotext", {"-layout", QString::fromStdString(root / "day.pdf"), "-"}).Out;
    };
    std::string inPlace = headerOf({"day", "軸受_A/data/佐藤_一郎_軸受_A_2号機_2026年3月7日.xls"},
                                   QString::fromStdString(root.path()));
    EXPECT_NE(inPlace.find("製品: 軸受_A"), std::string::npos) << inPlace;
    EXPECT_NE(inPlace.find("測定者: 佐藤_一郎"), std::string::npos) << inPlace;

    std::filesystem::create_directories(root / "copies");
    std::filesystem::copy_file(book, root / "copies/佐藤_一郎_軸受_A_2号機_2026年3月7日.xls");
    Ran twoWays = RunProgram(tool, {"day", QString::fromStdString(root / "copies/佐藤_一郎_軸受_A_2号機_2026年3月7日.xls"),
                                    "--pdf", QString::fromStdString(root / "x.pdf")});
    EXPECT_EQ(twoWays.Exit, 2) << twoWays.Err;
    EXPECT_NE(twoWays.Err.find("日ごとのブックではありません"), std::string::npos) << twoWays.Err;
    std::filesystem::copy_file(book, root / "copies/佐藤_軸受A_5号機_2026年3月8日.xls");
    std::string copy = headerOf({"day", "佐藤_軸受A_5号機_2026年3月8日.xls"}, QString::fromStdString(root / "copies"));
    EXPECT_NE(copy.find("製品: 軸受A"), std::string::npos) << copy;
    EXPECT_NE(copy.find("5号機"), std::string::npos) << copy;

    for (const auto& [folder, cwd] : {std::pair<QString, std::string>{".", product},
                                      std::pair<QString, std::string>{"../../軸受_A/", product + "/data"}}) {
        Ran stats = RunProgram(tool, {"stats", folder, "--from", "2026-03-01", "--to", "2026-03-31"},
                               QString::fromStdString(cwd));
        EXPECT_EQ(stats.Exit, 0) << folder.toStdString() << ": " << stats.Err;
        EXPECT_NE(stats.Out.find("\n1\t2\t10\t"), std::string::npos) << stats.Out;
    }
}

// A spreadsheet opening the CSV runs no formula: texts that look like one
// stay texts, numbers stay numbers.
TEST(ReportOutput, SpreadsheetKeepsFormulaLookingTextsAsText) {
    REQUIRE_REPORT_TOOL();
    REQUIRE_PROGRAM(QStringLiteral("soffice"));
    TempRoot root;
    std::string product = root / "P";
    MakeDayBook(product, "=1+2_P_1号機_2026年3月1日.xls",
                {{1, "10", "0.02", "-0.02", "@SUM(1)", "=HYPERLINK(\"http://example.invalid\";\"x\")", "", ""},
                 {2, "10", "0.02", "-0.02", "+cmd", "-0.015", "", ""}});
    std::string csv = root / "values.csv";
    Ran ran = RunProgram(QString::fromStdString(ReportTool()),
                         {"values", QString::fromStdString(product), "--from", "2026-03-01", "--to", "2026-03-01",
                          "--csv", QString::fromStdString(csv)});
    ASSERT_EQ(ran.Exit, 0) << ran.Err;
    // LibreOffice's own CSV import (comma, quote, UTF-8) into a flat document.
    Ran lo = RunProgram("soffice", {"-env:UserInstallation=file://" + QString::fromStdString(root / "lo-profile"),
                                    "--headless", "--infilter=CSV:44,34,76,1", "--convert-to", "fods", "--outdir",
                                    QString::fromStdString(root / "out"), QString::fromStdString(csv)});
    ASSERT_EQ(lo.Exit, 0) << lo.Err;
    std::string fods = ReadBytes(root / "out/values.fods");
    ASSERT_FALSE(fods.empty()) << lo.Out << lo.Err;
    EXPECT_EQ(fods.find("table:formula"), std::string::npos) << "a formula was made";
    for (const char* text : {"=1+2", "@SUM(1)", "=HYPERLINK", "+cmd"})
        EXPECT_NE(fods.find(text), std::string::npos) << text << " kept as text";
    EXPECT_NE(fods.find("office:value=\"-0.015\""), std::string::npos) << "a negative value stays a number";
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
    ASSERT_EQ(shot.size(), QSize(1366, 700));  // a 1366 x 768 screen's room inside the frame
    // The selected row is painted in the highlight colour: the table has a row.
    // (Below the progress bar, which is drawn in the same colour.)
    int highlighted = 0;
    for (int y = 120; y < 660; y += 2)
        for (int x = 0; x < shot.width() / 2; x += 2) {
            QColor c = shot.pixelColor(x, y);
            if (c.blue() > 150 && c.red() < 100) ++highlighted;
        }
    EXPECT_GT(highlighted, 500);
}
