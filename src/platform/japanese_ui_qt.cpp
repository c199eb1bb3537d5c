#include "platform/japanese_ui_qt.h"

#include <QCoreApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ziv {

void JapaneseLocaleForQt() {
    // LC_ALL stands over every other setting the computer may have.
    qputenv("LC_ALL", "ja_JP.UTF-8");
}

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
class FileTypesInJapanese : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) return QString::fromUtf8("フォルダー");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QString::fromUtf8("ファイル") : suffix.toUpper() + QString::fromUtf8(" ファイル");
    }
};
}  // namespace

QAbstractFileIconProvider* JapaneseFileTypes() {
    static FileTypesInJapanese types;
    return &types;
}

}  // namespace ziv
