#include "part_facts_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/failure_text.h"
#include "common/station_limits.h"
#include "platform/qt_text.h"

namespace ziv::report {

namespace {

// What the operator typed, without the blanks around it.
std::string Typed(const QString& text) { return text.trimmed().toStdString(); }

struct PartField {
    const char* Label;
    std::string PartFacts::*Field;
    const char* Tip;
};
constexpr std::array<PartField, 11> kPartFields = {{
    {"顧客", &PartFacts::Customer, ""},
    {"図番", &PartFacts::PartNumber, "客先が部品を呼ぶ番号: 品番または図面番号"},
    {"改訂", &PartFacts::Revision, ""},
    {"品名", &PartFacts::PartName, ""},
    {"材質", &PartFacts::Material, ""},
    {"報告書番号", &PartFacts::ReportNumber, ""},
    {"発行元", &PartFacts::Issuer, "成績書を出す組織 (会社名・部署)"},
    {"仕入先コード", &PartFacts::SupplierCode, "客先が自社に付けたコード"},
    {"理由", &PartFacts::Reason, "初品、定期、変更 など"},
    {"注文番号", &PartFacts::OrderNumber, ""},
    {"発行日", &PartFacts::IssueDate, "空なら成績書を作った日"},
}};

struct PointColumn {
    const char* Title;
    std::string PointFacts::*Field;  // null: 重要, a check box
    const char* Tip;
};
constexpr std::array<PointColumn, 7> kPointColumns = {{
    {"名称", &PointFacts::Name, "特性の名前 (外径、平面度 など)"},
    {"種類", &PointFacts::Kind, "寸法、幾何公差、粗さ、振れ。後の三つは 0 より小さくならない (自然限界)"},
    {"記号", &PointFacts::Symbol, "幾何公差の記号 (⌀ ⊥ ◎ など)"},
    {"単位", &PointFacts::Unit, "空なら mm"},
    {"桁数", &PointFacts::Decimals, "図面の小数点以下の桁数"},
    {"数量", &PointFacts::Quantity, "この特性を検査した個数"},
    {"重要", nullptr, "重要特性"},
}};

}  // namespace

PartFactsDialog::PartFactsDialog(const std::string& path, const PartFacts& facts, QWidget* parent)
    : QDialog(parent), path_(path), read_(facts) {
    setWindowTitle(QStringLiteral("部品情報"));
    auto* outer = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("検査成績書と AQDEF に載せる、この製品の部品と各番号の情報です。"));
    note->setWordWrap(true);
    outer->addWidget(note);
    // Two pages, so that the dialog fits a 1366 x 768 screen.
    auto* pages = new QTabWidget;
    auto* partPage = new QWidget;
    auto* form = new QFormLayout(partPage);
    for (size_t i = 0; i < kPartFields.size(); ++i) {
        const PartField& f = kPartFields[i];
        auto* edit = new QLineEdit(Q(facts.*(f.Field)));
        edit->setAccessibleName(QString::fromUtf8(f.Label));
        edit->setToolTip(QString::fromUtf8(f.Tip));
        edit->setMinimumWidth(320);
        form->addRow(QString::fromUtf8(f.Label), edit);
        fields_[i] = edit;
    }
    pages->addTab(partPage, QStringLiteral("部品"));
    points_ = new QTableWidget(kLastPoint, static_cast<int>(kPointColumns.size()));
    points_->setAccessibleName(QStringLiteral("番号ごとの情報"));
    QStringList titles, rows;
    for (const PointColumn& c : kPointColumns) titles << QString::fromUtf8(c.Title);
    points_->setHorizontalHeaderLabels(titles);
    for (int c = 0; c < static_cast<int>(kPointColumns.size()); ++c)
        points_->horizontalHeaderItem(c)->setToolTip(QString::fromUtf8(kPointColumns[static_cast<size_t>(c)].Tip));
    for (int p = kFirstPoint; p <= kLastPoint; ++p) rows << QStringLiteral("番号%1").arg(p);
    points_->setVerticalHeaderLabels(rows);
    for (int p = kFirstPoint; p <= kLastPoint; ++p) {
        const PointFacts& point = facts.Of(p);
        for (size_t c = 0; c < kPointColumns.size(); ++c) {
            auto* item = new QTableWidgetItem;
            if (kPointColumns[c].Field) {
                item->setText(Q(point.*(kPointColumns[c].Field)));
            } else {
                item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                item->setCheckState(point.Key ? Qt::Checked : Qt::Unchecked);
            }
            points_->setItem(p - kFirstPoint, static_cast<int>(c), item);
        }
    }
    constexpr int kWidths[] = {150, 80, 48, 56, 48, 48, 48};
    for (int c = 0; c < static_cast<int>(kPointColumns.size()); ++c) points_->setColumnWidth(c, kWidths[c]);
    points_->setMinimumSize(560, 320);
    pages->addTab(points_, QStringLiteral("番号ごと"));
    outer->addWidget(pages, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("保存"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    outer->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &PartFactsDialog::Save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

PartFacts PartFactsDialog::Facts() const {
    PartFacts facts = read_;
    for (size_t i = 0; i < kPartFields.size(); ++i) facts.*(kPartFields[i].Field) = Typed(fields_[i]->text());
    facts.Points.clear();
    for (int p = kFirstPoint; p <= kLastPoint; ++p) {
        PointFacts point;
        for (size_t c = 0; c < kPointColumns.size(); ++c) {
            const QTableWidgetItem* item = points_->item(p - kFirstPoint, static_cast<int>(c));
            if (kPointColumns[c].Field) point.*(kPointColumns[c].Field) = Typed(item->text());
            else point.Key = item->checkState() == Qt::Checked;
        }
        if (!(point == PointFacts{})) facts.Points[p] = point;
    }
    return facts;
}

void PartFactsDialog::Save() {
    if (FileResult saved = SavePartFacts(path_, Facts()); !saved) {
        QMessageBox::critical(this, QStringLiteral("ZIV - 警告"), Q(FailureText(saved, ErrnoWords::Japanese)));
        return;
    }
    accept();
}

void ShowPartFactsDialog(const std::string& productDir, QWidget* parent) {
    std::string path = PartFactsPath(productDir);
    PartFactsRead read = ReadPartFacts(path);
    if (read.status == ReadStatus::Unreadable) {
        QMessageBox::critical(parent, QStringLiteral("ZIV - 警告"),
                              QStringLiteral("部品情報を読めません: %1 (%2)").arg(Q(path), Q(SystemErrorText(read.err))));
        return;
    }
    PartFactsDialog dialog(path, read.facts, parent);
    dialog.exec();
}

}  // namespace ziv::report
