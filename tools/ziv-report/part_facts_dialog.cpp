#include "part_facts_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/failure_text.h"
#include "platform/qt_text.h"

namespace ziv::report {

namespace {

// What the operator typed, without the blanks around it.
std::string Typed(const QString& text) { return text.trimmed().toStdString(); }

}  // namespace

PartFactsDialog::PartFactsDialog(const std::string& path, const PartFacts& facts, QWidget* parent)
    : QDialog(parent), path_(path), read_(facts) {
    setWindowTitle(QStringLiteral("部品情報"));
    auto* outer = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("検査成績書に載せる、この製品の部品の情報です。"));
    note->setWordWrap(true);
    outer->addWidget(note);
    auto* form = new QFormLayout;
    auto field = [&](const char* label, const std::string& value) {
        auto* edit = new QLineEdit(Q(value));
        edit->setAccessibleName(QString::fromUtf8(label));
        edit->setMinimumWidth(320);
        form->addRow(QString::fromUtf8(label), edit);
        return edit;
    };
    customer_ = field("顧客", facts.Customer);
    partNumber_ = field("図番", facts.PartNumber);
    partNumber_->setToolTip(QStringLiteral("客先が部品を呼ぶ番号: 品番または図面番号"));
    revision_ = field("改訂", facts.Revision);
    partName_ = field("品名", facts.PartName);
    material_ = field("材質", facts.Material);
    outer->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("保存"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    outer->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &PartFactsDialog::Save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

PartFacts PartFactsDialog::Facts() const {
    PartFacts facts = read_;
    facts.Customer = Typed(customer_->text());
    facts.PartNumber = Typed(partNumber_->text());
    facts.Revision = Typed(revision_->text());
    facts.PartName = Typed(partName_->text());
    facts.Material = Typed(material_->text());
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
