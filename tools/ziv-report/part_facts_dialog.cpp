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
#include <map>
#include <string_view>

#include "common/failure_text.h"
#include "common/station_limits.h"
#include "platform/qt_text.h"

namespace ziv::report {

namespace {

// What the operator typed, without the blanks around it.
std::string Typed(const QString& text) { return text.trimmed().toStdString(); }

// What a field asks for, where its name does not say it all.
QString Tip(std::string_view key) {
    static const std::map<std::string_view, const char*> kTips = {
        {"図番", "客先が部品を呼ぶ番号: 品番または図面番号"},
        {"発行元", "成績書を出す組織 (会社名・部署)"},
        {"仕入先コード", "客先が自社に付けたコード"},
        {"理由", "初品、定期、変更 など"},
        {"発行日", "空なら成績書を作った日"},
        {"名称", "特性の名前 (外径、平面度 など)"},
        {"種類", "寸法、幾何公差、粗さ、振れ。後の三つは 0 より小さくならない (自然限界)"},
        {"記号", "幾何公差の記号 (⌀ ⊥ ◎ など)"},
        {"単位", "空なら mm"},
        {"桁数", "図面の小数点以下の桁数"},
        {"数量", "この特性を検査した個数"},
        {"重要", "重要特性"},
    };
    auto it = kTips.find(key);
    return it == kTips.end() ? QString() : QString::fromUtf8(it->second);
}

QString Label(std::string_view key) { return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())); }

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
    for (size_t i = 0; i < kPartFactKeys.size(); ++i) {
        const PartFactKey& f = kPartFactKeys[i];
        auto* edit = new QLineEdit(Q(facts.*(f.Field)));
        edit->setAccessibleName(Label(f.Name));
        edit->setToolTip(Tip(f.Name));
        edit->setMinimumWidth(320);
        form->addRow(Label(f.Name), edit);
        fields_[i] = edit;
    }
    pages->addTab(partPage, QStringLiteral("部品"));
    points_ = new QTableWidget(kLastPoint, static_cast<int>(kPointFactKeys.size()));
    points_->setAccessibleName(QStringLiteral("番号ごとの情報"));
    QStringList titles, rows;
    for (const PointFactKey& c : kPointFactKeys) titles << Label(c.Name);
    points_->setHorizontalHeaderLabels(titles);
    for (int c = 0; c < static_cast<int>(kPointFactKeys.size()); ++c)
        points_->horizontalHeaderItem(c)->setToolTip(Tip(kPointFactKeys[static_cast<size_t>(c)].Name));
    for (int p = kFirstPoint; p <= kLastPoint; ++p) rows << QStringLiteral("番号%1").arg(p);
    points_->setVerticalHeaderLabels(rows);
    for (int p = kFirstPoint; p <= kLastPoint; ++p) {
        const PointFacts& point = facts.Of(p);
        for (size_t c = 0; c < kPointFactKeys.size(); ++c) {
            auto* item = new QTableWidgetItem;
            if (kPointFactKeys[c].Field) {
                item->setText(Q(point.*(kPointFactKeys[c].Field)));
            } else {
                item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                item->setCheckState(point.Key ? Qt::Checked : Qt::Unchecked);
            }
            points_->setItem(p - kFirstPoint, static_cast<int>(c), item);
        }
    }
    constexpr int kWidths[] = {150, 80, 48, 56, 48, 48, 48};
    for (int c = 0; c < static_cast<int>(kPointFactKeys.size()); ++c) points_->setColumnWidth(c, kWidths[c]);
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
    for (size_t i = 0; i < kPartFactKeys.size(); ++i) facts.*(kPartFactKeys[i].Field) = Typed(fields_[i]->text());
    facts.Points.clear();
    for (int p = kFirstPoint; p <= kLastPoint; ++p) {
        PointFacts point;
        for (size_t c = 0; c < kPointFactKeys.size(); ++c) {
            const QTableWidgetItem* item = points_->item(p - kFirstPoint, static_cast<int>(c));
            if (kPointFactKeys[c].Field) point.*(kPointFactKeys[c].Field) = Typed(item->text());
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
