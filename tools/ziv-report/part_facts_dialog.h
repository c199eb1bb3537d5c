#pragma once
// The part facts of a product (customer, part or drawing number, revision,
// part name, material) as the inspection record names the part, edited in a
// small dialog and saved to the product folder's 部品情報.txt.
#include <QDialog>
#include <string>

#include "report/part_facts.h"

class QLineEdit;

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
    QLineEdit* customer_;
    QLineEdit* partNumber_;
    QLineEdit* revision_;
    QLineEdit* partName_;
    QLineEdit* material_;
};

// Reads the product's part facts and lets them be edited; a file that exists
// but cannot be read is not offered for editing, since saving would replace
// what it holds.
void ShowPartFactsDialog(const std::string& productDir, QWidget* parent);

}  // namespace ziv::report
