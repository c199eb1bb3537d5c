#include "platform/japanese_ui_qt.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ziv {

bool UseJapanese(QCoreApplication& app) {
    QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    // Qt's catalogue "qt_ja" loads the catalogues of every Qt module installed.
    auto* translator = new QTranslator(&app);
    if (!translator->load(japanese, QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

namespace {

// The dialog's own model gives the details in the computer's language: they
// are written anew here from the file itself.
class JapaneseDetails : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    enum Column { Name, Size, Type, Date };

    QVariant data(const QModelIndex& index, int role) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() == Name)
            return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        const QLocale japanese(QLocale::Japanese, QLocale::Japan);
        switch (index.column()) {
        case Size: return info.isDir() ? QString() : japanese.formattedDataSize(info.size());
        case Type: return TypeOf(info);
        case Date: return japanese.toString(info.lastModified(), QStringLiteral("yyyy/MM/dd HH:mm"));
        default: return QIdentityProxyModel::data(index, role);
        }
    }

private:
    static QString TypeOf(const QFileInfo& info) {
        if (info.isDir()) return QString::fromUtf8("フォルダー");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QString::fromUtf8("ファイル") : suffix.toUpper() + QString::fromUtf8(" ファイル");
    }
};

}  // namespace

void JapaneseFileDetails(QFileDialog& dialog) { dialog.setProxyModel(new JapaneseDetails(&dialog)); }

}  // namespace ziv
