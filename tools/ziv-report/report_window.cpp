#include "report_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QSettings>
#include <QTreeView>
#include <array>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChartView>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "platform/japanese_ui_qt.h"
#include "platform/paths.h"
#include "platform/ui_font_qt.h"
#include "report/day_report.h"
#include "report/day_report_qt.h"
#include "report/aqdef_export.h"
#include "report/capability_pages_qt.h"
#include "report/capability_table.h"
#include "report/report_csv.h"
#include "part_facts_dialog.h"
#include "report_charts.h"
#include "common/station_limits.h"
#include "platform/qt_text.h"

namespace ziv::report {

struct ReportWindow::Outcome {
    CapabilityScope Scope;
    CapabilityBuilder Builder;
    JournalIndex Journal;
    FixedLimitsRead Fixed;
    std::vector<CapabilityRow> Table;
    std::vector<SkippedBook> Skipped;
    std::string Error;
    bool Cancelled = false;
};

namespace {

Date FromQDate(const QDate& d) { return {d.year(), d.month(), d.day()}; }

const QString kGeometryKey = QStringLiteral("window/geometry");

// HistoryTitles' columns as the 記録 tab shows them.
constexpr std::array<int, 15> kHistoryOrder{0, 3, 11, 10, 6, 7, 14, 13, 12, 8, 9, 4, 5, 1, 2};

// A day workbook from the dialog: its names are long and differ at their
// end (machine and date), so the dialog is wide and never cuts a name in
// its middle.
QString ChooseDayBook(QWidget* parent, const QString& start) {
    QFileDialog dialog(parent, QStringLiteral("日ごとのブック"), start, QStringLiteral("ブック (*.xls)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setViewMode(QFileDialog::Detail);
    ziv::JapaneseFileDetails(dialog);
    dialog.resize(980, 520);
    for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>()) view->setTextElideMode(Qt::ElideRight);
    for (QTreeView* tree : dialog.findChildren<QTreeView*>()) tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

QGroupBox* Frame(const QString& caption, QLayout* layout) {
    auto* box = new QGroupBox(caption);
    box->setLayout(layout);
    return box;
}

}  // namespace

ReportWindow::ReportWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("ZIV 検査成績書・工程能力"));
    setFont(UiFont(10));
    auto* central = new QWidget;
    auto* outer = new QVBoxLayout(central);

    // Folder, range and filters in one frame: on a 1366 x 768 screen every
    // row of the window has to fit.
    auto* folderRow = new QHBoxLayout;
    folder_ = new QLineEdit;
    folder_->setAccessibleName(QStringLiteral("製品フォルダ"));
    auto* browse = new QPushButton(QStringLiteral("参照..."));
    folderRow->addWidget(new QLabel(QStringLiteral("製品フォルダ")));
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse);

    auto* rangeRow = new QHBoxLayout;
    from_ = new QDateEdit(QDate::currentDate().addMonths(-1));
    to_ = new QDateEdit(QDate::currentDate());
    for (auto* edit : {from_, to_}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    }
    from_->setAccessibleName(QStringLiteral("開始日"));
    to_->setAccessibleName(QStringLiteral("終了日"));
    machine_ = new QComboBox;
    machine_->setAccessibleName(QStringLiteral("号機"));
    machine_->addItem(QStringLiteral("全て"), -1);
    for (int m = 0; m <= kLastMachine; ++m) machine_->addItem(QStringLiteral("%1号機").arg(m), m);
    operator_ = new QLineEdit;
    operator_->setAccessibleName(QStringLiteral("測定者"));
    operator_->setPlaceholderText(QStringLiteral("全員"));
    collect_ = new QPushButton(QStringLiteral("集計"));
    cancel_ = new QPushButton(QStringLiteral("中止"));
    cancel_->setEnabled(false);
    progress_ = new QProgressBar;
    rangeRow->addWidget(new QLabel(QStringLiteral("開始")));
    rangeRow->addWidget(from_);
    rangeRow->addWidget(new QLabel(QStringLiteral("終了")));
    rangeRow->addWidget(to_);
    rangeRow->addWidget(new QLabel(QStringLiteral("号機")));
    rangeRow->addWidget(machine_);
    rangeRow->addWidget(new QLabel(QStringLiteral("測定者")));
    rangeRow->addWidget(operator_);
    rangeRow->addWidget(collect_);
    rangeRow->addWidget(cancel_);
    rangeRow->addWidget(progress_, 1);
    auto* choice = new QVBoxLayout;
    choice->setSpacing(4);
    choice->addLayout(folderRow);
    choice->addLayout(rangeRow);
    outer->addWidget(Frame(QStringLiteral("製品フォルダ・期間と条件"), choice));

    table_ = new QTableWidget(0, static_cast<int>(kCapabilityColumns.size()));
    for (int c = 0; c < table_->columnCount(); ++c) {
        const CapabilityColumn& column = kCapabilityColumns[static_cast<size_t>(c)];
        auto* header = new QTableWidgetItem(Q(std::string(column.Title)));
        header->setToolTip(Q(std::string(column.Tip)));
        table_->setHorizontalHeaderItem(c, header);
    }
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    auto* tableLayout = new QVBoxLayout;
    tableLayout->addWidget(table_);
    auto* legend = new QLabel(Q(std::string(kCapabilityLegend)));
    legend->setWordWrap(true);
    legend->setFont(UiFont(9));
    tableLayout->addWidget(legend);
    auto* tableButtons = new QHBoxLayout;
    auto* tableCsv = new QPushButton(QStringLiteral("表をCSVに保存..."));
    auto* tablePdf = new QPushButton(QStringLiteral("表をPDFに保存..."));
    auto* aqdef = new QPushButton(QStringLiteral("値をAQDEFに書き出す..."));
    tableButtons->addWidget(tableCsv);
    tableButtons->addWidget(tablePdf);
    tableButtons->addWidget(aqdef);
    tableButtons->addStretch(1);
    tableLayout->addLayout(tableButtons);

    individualsChart_ = new QChartView;
    movingRangeChart_ = new QChartView;
    histogram_ = new QChartView;
    for (auto* view : {individualsChart_, movingRangeChart_, histogram_}) {
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(360, 140);
    }
    // The control charts one above the other, so that their dates line up.
    auto* controlPage = new QWidget;
    auto* controlLayout = new QVBoxLayout(controlPage);
    controlLayout->setContentsMargins(0, 0, 0, 0);
    controlLayout->addWidget(individualsChart_, 3);
    controlLayout->addWidget(movingRangeChart_, 2);
    charts_ = new QTabWidget;
    charts_->addTab(controlPage, QStringLiteral("I-MR 管理図"));
    charts_->addTab(histogram_, QStringLiteral("ヒストグラム"));
    // Every entry the stations made for the point: re-measurements too.
    history_ = new QTableWidget(0, static_cast<int>(HistoryTitles().size()));
    QStringList historyTitles;
    for (const std::string& title : HistoryTitles()) historyTitles << Q(title);
    history_->setHorizontalHeaderLabels(historyTitles);
    history_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Who measured it and with which gauge first; the station's identity last.
    for (int to = 0; to < static_cast<int>(kHistoryOrder.size()); ++to) {
        int from = history_->horizontalHeader()->visualIndex(kHistoryOrder[static_cast<size_t>(to)]);
        history_->horizontalHeader()->moveSection(from, to);
    }
    history_->verticalHeader()->hide();
    charts_->addTab(history_, QStringLiteral("記録"));
    auto* chartLayout = new QVBoxLayout;
    chartLayout->addWidget(charts_, 1);
    auto* chartButtons = new QHBoxLayout;
    fixedLimits_ = new QCheckBox(QStringLiteral("確定した管理限界"));
    fixedLimits_->setToolTip(QStringLiteral(
        "管理図に製品フォルダの 管理限界.txt の管理限界を使います。各値にはその時点で有効だった版を、"
        "最初の版より前の値には第1版を当てます。"));
    fixedLimits_->setEnabled(false);
    chartButtons->addWidget(fixedLimits_);
    connect(fixedLimits_, &QCheckBox::toggled, this, &ReportWindow::ShowCharts);
    auto* png = new QPushButton(QStringLiteral("グラフをPNGに保存..."));
    auto* pdf = new QPushButton(QStringLiteral("グラフをPDFに保存..."));
    chartButtons->addWidget(png);
    chartButtons->addWidget(pdf);
    chartButtons->addStretch(1);
    chartLayout->addLayout(chartButtons);
    connect(png, &QPushButton::clicked, this, [this] { SaveCharts(false); });
    connect(pdf, &QPushButton::clicked, this, [this] { SaveCharts(true); });

    auto* split = new QSplitter;
    auto* left = Frame(QStringLiteral("工程能力"), tableLayout);
    auto* right = Frame(QStringLiteral("選んだ行のグラフ"), chartLayout);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    outer->addWidget(split, 1);

    auto* dayRow = new QHBoxLayout;
    lot_ = new QLineEdit;
    lot_->setAccessibleName(QStringLiteral("ロット"));
    lot_->setMinimumWidth(160);
    quantity_ = new QLineEdit;
    quantity_->setAccessibleName(QStringLiteral("数量"));
    quantity_->setMaximumWidth(90);
    auto* dayPdf = new QPushButton(QStringLiteral("検査成績書をPDFに保存..."));
    auto* dayPrint = new QPushButton(QStringLiteral("検査成績書を印刷..."));
    auto* partFacts = new QPushButton(QStringLiteral("部品情報..."));
    partFacts->setToolTip(QStringLiteral("製品フォルダの顧客・図番・改訂・品名・材質"));
    dayRow->addWidget(new QLabel(QStringLiteral("ロット")));
    dayRow->addWidget(lot_);
    dayRow->addWidget(new QLabel(QStringLiteral("数量")));
    dayRow->addWidget(quantity_);
    dayRow->addWidget(new QLabel(QStringLiteral("日ごとのブック 1 冊から:")));
    dayRow->addWidget(dayPdf);
    dayRow->addWidget(dayPrint);
    dayRow->addWidget(partFacts);
    dayRow->addStretch(1);
    outer->addWidget(Frame(QStringLiteral("検査成績書"), dayRow));

    status_ = new QLabel;
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    outer->addWidget(status_);
    setCentralWidget(central);
    setMinimumSize(960, 600);
    RestoreSize();

    connect(browse, &QPushButton::clicked, this, &ReportWindow::ChooseFolder);
    connect(collect_, &QPushButton::clicked, this, &ReportWindow::StartCollecting);
    connect(cancel_, &QPushButton::clicked, this, &ReportWindow::Cancel);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &ReportWindow::ShowCharts);
    connect(tableCsv, &QPushButton::clicked, this, &ReportWindow::SaveTableCsv);
    connect(tablePdf, &QPushButton::clicked, this, &ReportWindow::SaveTablePdf);
    connect(aqdef, &QPushButton::clicked, this, &ReportWindow::SaveAqdef);
    connect(dayPdf, &QPushButton::clicked, this, [this] { DayReport(false); });
    connect(dayPrint, &QPushButton::clicked, this, [this] { DayReport(true); });
    connect(partFacts, &QPushButton::clicked, this, &ReportWindow::EditPartFacts);
}

// The size the window had when it was last closed, or as much of the
// screen as it wants and can have.
void ReportWindow::RestoreSize() {
    QSettings settings;
    if (restoreGeometry(settings.value(kGeometryKey).toByteArray())) return;
    QSize wanted(1400, 860);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        wanted = wanted.boundedTo(screen->availableGeometry().size() - QSize(16, 48));
    resize(wanted.expandedTo(minimumSize()));
}

void ReportWindow::closeEvent(QCloseEvent* event) {
    QSettings().setValue(kGeometryKey, saveGeometry());
    QMainWindow::closeEvent(event);
}

void ReportWindow::Saved(const QString& path) { status_->setText(QStringLiteral("保存しました: %1").arg(path)); }

ReportWindow::~ReportWindow() {
    cancelFlag_ = true;
    if (worker_.joinable()) worker_.join();
}

void ReportWindow::SetProductFolder(const QString& folder) { folder_->setText(folder); }

void ReportWindow::SetRange(const Date& from, const Date& to) {
    from_->setDate(QDate(from.Year, from.Month, from.Day));
    to_->setDate(QDate(to.Year, to.Month, to.Day));
}

void ReportWindow::Warn(const QString& message) {
    QMessageBox::critical(this, QStringLiteral("ZIV - 警告"), message);
}

void ReportWindow::ChooseFolder() {
    QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("製品フォルダ"), folder_->text());
    if (!folder.isEmpty()) folder_->setText(folder);
}

Filter ReportWindow::CurrentFilter() const {
    Filter filter;
    filter.From = FromQDate(from_->date());
    filter.To = FromQDate(to_->date());
    int machine = machine_->currentData().toInt();
    if (machine >= 0) filter.Machine = machine;
    if (!operator_->text().trimmed().isEmpty()) filter.Operator = S(operator_->text().trimmed());
    return filter;
}

void ReportWindow::StartCollecting() {
    if (worker_.joinable()) return;
    if (from_->date() > to_->date()) {
        Warn(QStringLiteral("期間の終わりが始まりより前です。"));
        return;
    }
    std::string folder = AbsoluteFolder(S(folder_->text()));
    Filter filter = CurrentFilter();
    cancelFlag_ = false;
    collect_->setEnabled(false);
    cancel_->setEnabled(true);
    progress_->setRange(0, 0);
    status_->setText(QStringLiteral("集計中..."));
    // The reading runs beside the window; it reports back through queued calls.
    worker_ = std::thread([this, folder, filter] {
        auto outcome = std::make_shared<Outcome>();
        outcome->Scope.ProductDir = folder;
        outcome->Scope.Range = filter;
        Listing listing = ListDayBooks(folder, filter);
        outcome->Journal = JournalIndex::Read(folder, filter);
        outcome->Fixed = ReadFixedLimits(FixedLimitsPath(folder));
        if (listing.Error)
            outcome->Error = "データフォルダを読めません: " + listing.Folder + " (" + SystemErrorText(listing.Error) + ")";
        outcome->Scope.FilesIgnored = listing.Ignored.size();
        ReadOptions options;
        options.Cancel = &cancelFlag_;
        options.Needed = Cells::LimitsAndValues;
        options.Progress = [this, last = -1](size_t done, size_t total) mutable {
            int percent = static_cast<int>(done * 100 / total);
            if (percent == last) return;
            last = percent;
            QMetaObject::invokeMethod(this, [this, percent] {
                progress_->setRange(0, 100);
                progress_->setValue(percent);
            }, Qt::QueuedConnection);
        };
        outcome->Builder.UsePartFacts(ReadPartFacts(PartFactsPath(folder)).facts);
        ReadSummary summary = ReadDayBooks(listing.Books, [&](const DayBookData& book) { outcome->Builder.Add(book, &outcome->Journal); },
                                           options);
        outcome->Cancelled = summary.Cancelled;
        outcome->Scope.BooksRead = summary.Read;
        outcome->Scope.BooksSkipped = summary.Skipped.size();
        outcome->Skipped = std::move(summary.Skipped);
        outcome->Table = outcome->Builder.Result();
        QMetaObject::invokeMethod(this, [this, outcome] { Finished(outcome); }, Qt::QueuedConnection);
    });
}

void ReportWindow::Cancel() { cancelFlag_ = true; }

void ReportWindow::Finished(std::shared_ptr<Outcome> outcome) {
    if (worker_.joinable()) worker_.join();
    collect_->setEnabled(true);
    cancel_->setEnabled(false);
    progress_->setRange(0, 100);
    progress_->setValue(outcome->Cancelled ? 0 : 100);
    if (!outcome->Error.empty()) {
        status_->setText(Q(outcome->Error));
        Warn(Q(outcome->Error));
        return;
    }
    if (outcome->Cancelled) {
        status_->setText(QStringLiteral("集計を中止しました。"));
        return;
    }
    result_ = outcome;
    table_->setRowCount(0);
    table_->setRowCount(static_cast<int>(outcome->Table.size()));
    for (int r = 0; r < static_cast<int>(outcome->Table.size()); ++r) {
        const CapabilityRow& row = outcome->Table[static_cast<size_t>(r)];
        std::vector<std::string> cells = CapabilityRowTexts(row);
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
            auto* item = new QTableWidgetItem(Q(cells[static_cast<size_t>(c)]));
            bool text = kCapabilityColumns[static_cast<size_t>(c)].Text;
            item->setTextAlignment((text ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
            if (QColor tint = StandingTint(row.Assess()); tint.isValid()) item->setBackground(tint);
            table_->setItem(r, c, item);
        }
    }
    table_->resizeColumnsToContents();
    QString text = QStringLiteral("読んだブック %1 冊、読めなかったブック %2 冊、対象外のファイル %3 件。")
                       .arg(outcome->Scope.BooksRead)
                       .arg(outcome->Scope.BooksSkipped)
                       .arg(outcome->Scope.FilesIgnored);
    for (size_t i = 0; i < outcome->Skipped.size() && i < 5; ++i)
        text += QStringLiteral("\n読めない: %1 (%2)").arg(Q(outcome->Skipped[i].Path), Q(BookOpenText(outcome->Skipped[i].Why)));
    if (!outcome->Fixed.problem)
        text += QStringLiteral("\n管理限界.txt を使えません: %1").arg(Q(FailureText(outcome->Fixed.problem, ErrnoWords::Japanese)));
    fixedLimits_->setEnabled(!outcome->Fixed.limits.empty());
    status_->setText(text);
    if (table_->rowCount() > 0) table_->selectRow(0);
}

void ReportWindow::SelectPoint(int row) { table_->selectRow(row); }

void ReportWindow::ShowHistory(const CapabilityRow& row) {
    std::vector<const JournalEntry*> history = result_->Journal.History(row.Point, row.Machine);
    history_->setRowCount(0);
    history_->setRowCount(static_cast<int>(history.size()));
    for (int r = 0; r < history_->rowCount(); ++r) {
        const JournalEntry& entry = *history[static_cast<size_t>(r)];
        std::vector<std::string> texts = HistoryTexts(entry);
        for (int c = 0; c < static_cast<int>(texts.size()); ++c) {
            auto* item = new QTableWidgetItem(Q(texts[static_cast<size_t>(c)]));
            if (IsRemeasurement(entry)) item->setBackground(QColor(255, 240, 200));
            if (entry.GaugeOverdue) item->setForeground(QColor(200, 0, 0));
            history_->setItem(r, c, item);
        }
    }
    history_->resizeColumnsToContents();
    int tab = charts_->indexOf(history_);
    charts_->setTabText(tab, history.empty() ? QStringLiteral("記録") : QStringLiteral("記録 (%1)").arg(history.size()));
}

void ReportWindow::ShowHistogram() { charts_->setCurrentWidget(histogram_); }

void ReportWindow::ShowFixedLimits(bool fixed) { fixedLimits_->setChecked(fixed); }

void ReportWindow::ShowCharts() {
    if (!result_) return;
    int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(result_->Table.size())) return;
    const CapabilityRow& picked = result_->Table[static_cast<size_t>(row)];
    ChartData charted{picked, picked.Machine ? result_->Builder.SeriesOf(picked.Point, *picked.Machine) : nullptr,
                   result_->Builder.LimitSets(picked.Point), {}, result_->Builder.KindOf(picked.Point), nullptr, {}};
    for (const Sample& s : result_->Builder.RowSamples(picked)) charted.RowValues.push_back(s.Value);
    FixedControl fixed;
    if (charted.Values) {
        if (fixedLimits_->isChecked()) fixed = FixedControlOf(*charted.Values, result_->Fixed.limits, picked.Point);
        charted.Fixed = &fixed;
        charted.Events = EventsOnSeries(*charted.Values, result_->Journal.History(picked.Point, picked.Machine));
    }
    ShowHistory(picked);
    for (auto [view, make] : {std::pair{individualsChart_, &NewIndividualsChart},
                              std::pair{movingRangeChart_, &NewMovingRangeChart},
                              std::pair{histogram_, &NewHistogram}}) {
        QChart* old = view->chart();
        view->setChart(make(charted));
        delete old;
    }
}

void ReportWindow::SaveTableCsv() {
    if (!result_) return;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("表をCSVに保存"), QString(),
                                                QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty()) return;
    if (FileResult w = WriteFileAtomic(S(path), CapabilityCsv(result_->Table)); !w)
        Warn(Q(FailureText(w, ErrnoWords::Japanese)));
    else
        Saved(path);
}

void ReportWindow::SaveTablePdf() {
    if (!result_) return;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("表をPDFに保存"), QString(),
                                                QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty()) return;
    FileResult w =
        WriteDocumentPdf(CapabilityDocument(result_->Scope, result_->Table), S(path), QStringLiteral("工程能力"));
    if (!w)
        Warn(Q(FailureText(w, ErrnoWords::Japanese)));
    else
        Saved(path);
}

// The values of the collected range again, for a customer's SPC system; a
// range the window has just collected reads in moments.
void ReportWindow::SaveAqdef() {
    if (!result_) return;
    // The customer's system decides the encoding: its code page, or UTF-8 where it reads that.
    const QString cp932 = QStringLiteral("AQDEF CP932 (*.dfq)"), utf8 = QStringLiteral("AQDEF UTF-8 (*.dfq)");
    QString chosen = cp932;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("値をAQDEFに書き出す"), QString(),
                                                cp932 + ";;" + utf8, &chosen);
    if (path.isEmpty()) return;
    const AqdefEncoding encoding = chosen == utf8 ? AqdefEncoding::Utf8 : AqdefEncoding::Cp932;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const CapabilityScope& scope = result_->Scope;
    PartFactsRead facts = ReadPartFacts(PartFactsPath(scope.ProductDir));
    AqdefCollector collector(facts.facts, {}, &result_->Journal);
    ReadOptions reading;
    reading.Needed = Cells::LimitsAndValues;
    ReadSummary summary = ReadDayBooks(ListDayBooks(scope.ProductDir, scope.Range).Books,
                                       [&](const DayBookData& book) { collector.Add(book); }, reading);
    FileResult written = WriteAqdefFile(S(path), collector.Result(summary.Skipped.size()), encoding);
    QApplication::restoreOverrideCursor();
    if (!written) {
        QString hint = written.failure == Failure::NotShiftJis ? QStringLiteral("\nAQDEF UTF-8 を選べば書けます。") : QString();
        Warn(Q(FailureText(written, ErrnoWords::Japanese)) + hint);
        return;
    }
    // What the file lacks is said, not left for the customer to find.
    QString lacks;
    for (const std::string& warning : collector.Warnings(summary.Skipped.size())) lacks += Q(warning) + "\n";
    if (!lacks.isEmpty()) QMessageBox::warning(this, QStringLiteral("ZIV - 注意"), lacks + Q(S(path)));
    Saved(path);
}

void ReportWindow::SaveCharts(bool pdf) {
    QWidget* page = charts_->currentWidget();
    QList<QChartView*> views = page->findChildren<QChartView*>();
    if (auto* alone = qobject_cast<QChartView*>(page)) views = {alone};
    if (views.isEmpty() || !views.front()->chart() || views.front()->chart()->series().isEmpty()) return;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("グラフを保存"), QString(),
                                                pdf ? QStringLiteral("PDF (*.pdf)") : QStringLiteral("PNG (*.png)"));
    if (path.isEmpty()) return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (pdf) {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10)));
        QPainter painter(&writer);
        // Each chart where it stands on the page, scaled to the paper.
        double scale = std::min(writer.width() / double(page->width()), writer.height() / double(page->height()));
        for (QChartView* view : views) {
            QRectF at(view->mapTo(page, QPoint(0, 0)) * scale, QSizeF(view->size()) * scale);
            view->render(&painter, at);
        }
    } else {
        page->grab().save(&buffer, "PNG");
    }
    buffer.close();
    if (FileResult w = WriteFileAtomic(S(path), std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
        !w)
        Warn(Q(FailureText(w, ErrnoWords::Japanese)));
    else
        Saved(path);
}

void ReportWindow::DayReport(bool print) {
    LotFacts lot;
    lot.Number = S(lot_->text().trimmed());
    if (!quantity_->text().trimmed().isEmpty() && !(lot.Quantity = ParseQuantity(S(quantity_->text().trimmed())))) {
        Warn(QStringLiteral("数量は 0 以上の整数です: %1").arg(quantity_->text()));
        return;
    }
    QString start = folder_->text().isEmpty() ? QString() : folder_->text() + "/data";
    QString book = ChooseDayBook(this, start);
    if (book.isEmpty()) return;
    DayReportRefusal refusal;
    auto report = LoadDayReport(S(book), &refusal);
    if (!report) {
        Warn(Q(RefusalText(refusal, S(book))));
        return;
    }
    if (!report->Unread.empty()) {
        QString unread;
        for (const std::string& line : report->Unread) unread += Q(line) + "\n";
        QMessageBox::warning(this, QStringLiteral("ZIV - 注意"),
                             unread + QStringLiteral("これを除いて検査成績書を作ります。"));
    }
    PagedDocument document = DayReportDocument(*report, lot);
    if (print) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageSize(QPageSize(QPageSize::A4));
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted) return;
        if (!PaintDocument(printer, document)) Warn(QStringLiteral("印刷できません。"));
        return;
    }
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("検査成績書をPDFに保存"),
                                                QFileInfo(book).completeBaseName() + ".pdf",
                                                QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty()) return;
    if (FileResult w = WriteDocumentPdf(document, S(path), QStringLiteral("検査成績書")); !w)
        Warn(Q(FailureText(w, ErrnoWords::Japanese)));
    else
        Saved(path);
}

void ReportWindow::EditPartFacts() {
    if (folder_->text().trimmed().isEmpty()) {
        Warn(QStringLiteral("製品フォルダを選んでください。"));
        return;
    }
    std::string folder = AbsoluteFolder(S(folder_->text().trimmed()));
    if (!IsFolder(folder)) {
        Warn(QStringLiteral("製品フォルダがありません: %1").arg(folder_->text()));
        return;
    }
    ShowPartFactsDialog(folder, this);
}

}  // namespace ziv::report
