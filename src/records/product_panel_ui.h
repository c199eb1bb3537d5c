#pragma once
// The product panel 「製品名選択」: a folder list, the chosen path and the
// buttons that register the folder for a machine, remove the registration or
// close the panel. What a registration does is the measurement window's.
#include <QGroupBox>

class QLineEdit;
class QPushButton;

namespace ziv {

class FolderList;

class ProductPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit ProductPanel(QWidget* parent = nullptr);

    // Shows the panel with the list at the folder.
    void openAt(const QString& folder);
    // The folder a click chose, else the folder the list is at.
    QString chosenFolder() const;

    FolderList* folderList() const { return folderList_; }
    QLineEdit* pathBox() const { return pathBox_; }
    QPushButton* registerButton() const { return registerButton_; }
    QPushButton* unregisterButton() const { return unregisterButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

private:
    FolderList* folderList_;
    QLineEdit* pathBox_;
    QPushButton* registerButton_;
    QPushButton* unregisterButton_;
    QPushButton* cancelButton_;
};

}  // namespace ziv
