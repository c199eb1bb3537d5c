#include "records/product_panel_ui.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/folder_list_qt.h"
#include "records/journal.h"

namespace ziv {

namespace {
QPushButton* Button(const char* caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(name);
    return b;
}
}  // namespace

ProductPanel::ProductPanel(QWidget* parent)
    : QGroupBox(QString::fromUtf8("製品名選択"), parent),
      folderList_(new FolderList(this)),
      pathBox_(new QLineEdit(this)),
      registerButton_(Button("登録", "registerButton", this)),
      unregisterButton_(Button("登録解除", "unregisterButton", this)),
      cancelButton_(Button("キャンセル", "closeProductPanelButton", this)) {
    setObjectName("productPanel");
    folderList_->setObjectName("folderList");
    pathBox_->setObjectName("productPathBox");
    pathBox_->setReadOnly(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderList_, 1);
    layout->addWidget(pathBox_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(registerButton_);
    buttons->addWidget(unregisterButton_);
    buttons->addWidget(cancelButton_);
    layout->addLayout(buttons);
    // The logs lie beside the products: never one to register.
    folderList_->hideFoldersNamed(QString::fromUtf8(kLogFolderName));
    connect(folderList_, &FolderList::chosenPathChanged, pathBox_, [this](const QString& path) {
        pathBox_->setText(path);
        pathBox_->setCursorPosition(0);
        pathBox_->setToolTip(path);
    });
    hide();
}

void ProductPanel::openAt(const QString& folder) {
    // A products folder on a share that does not answer is said so, rather
    // than another folder shown in its place as if it were the one.
    if (folderList_->setPath(folder)) pathBox_->setText(folderList_->chosenPath());
    else pathBox_->setText(QString::fromUtf8("ファイルサーバーが応答しません: ") + folder);
    pathBox_->setCursorPosition(0);
    show();
}

QString ProductPanel::chosenFolder() const { return folderList_->chosenPath(); }

}  // namespace ziv
