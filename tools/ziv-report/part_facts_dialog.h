#pragma once
// The part facts of a product (customer, part or drawing number, revision,
// part name, material, the record's number, issuer, supplier code, reason,
// order number and date, and what each point is) as the inspection record
// names the part, edited in a dialog and saved to the product folder's
// 部品情報.txt.
#include <QDialog>
#include <array>
#include <string>

#include "report/part_facts.h"

class QLineEdit;
class QTableWidget;

namespace ziv::report {

class PartFactsDialog : public QDialog {
    Q_OBJECT
public:
    // Shows the facts read from `path`; Save writes them there.
    PartFactsDialog(const std::string& path, const PartFacts& facts, QWidget* parent = nullptr);

private:
    // The facts as the fields hold them, with the file's other lines.
    PartFacts Facts() const;
    // Saves; on failure says why in a message and keeps the dialog open.
    void Save();

    std::string path_;
    PartFacts read_;
    // One line edit per field of the part, in the order of kPartFields.
    std::array<QLineEdit*, kPartFactKeys.size()> fields_{};
    // A row per point: 名称, 種類, 記号, 単位, 桁数, 数量, 重要.
    QTableWidget* points_ = nullptr;
};

// Reads the product's part facts and lets them be edited; a file that exists
// but cannot be read is not offered for editing, since saving would replace
// what it holds.
void ShowPartFactsDialog(const std::string& productDir, QWidget* parent);

}  // namespace ziv::report
