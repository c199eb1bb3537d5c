#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/window_flow_ui.h"
#include "drawing/drawing_export_qt.h"
#include "platform/dialogs_qt.h"
#include "platform/japanese_ui_qt.h"
#include "platform/paths.h"
#include "platform/share_lock.h"
#include "platform/ui_font_qt.h"
#include "station_log/station_log.h"

namespace {

const char* const kUsage =
    "使い方:\n"
    "  ziv               ZIV を起動します（最初に「ユーザー選択」画面が出ます）\n"
    "  ziv --set-aside   このステーションに控えてあるもののうち書き込めないもの（種類・ファイル・理由・内容）、\n"
    "                    壊れた控えと、書き込みを待っている件数を表示します。画面は出さず、見るだけです\n"
    "                    （ZIV が起動していても使えます）\n"
    "  ziv --help        この説明を表示します\n"
    "\n"
    "インストールルート: 環境変数 ZIV_ROOT、なければ $XDG_DATA_HOME/ZIV（~/.local/share/ZIV）。\n"
    "終了コード: 0 正常終了、1 起動できなかった（既に起動している、設定がないなど）\n";

// Asked for the command line: answered on the terminal, with no display
// needed and no window, whether or not a station runs.
bool AskedForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

// ziv --set-aside: what the station holds that can never go in, one a line
// (kind, file, reason, the entry as the log holds it), the damaged logs kept
// aside, and how much waits. It only looks: a station may be running.
int ListSetAside() {
    ziv::StationLog::Survey survey = ziv::StationLog::Look(ziv::OldQueuePath(ziv::InstallationRoot()));
    for (const ziv::SetAside& a : survey.aside)
        std::printf("%s\t%s\t%s\t%s\n", a.Kind.c_str(), a.Target.c_str(), a.Reason.c_str(), a.What.c_str());
    for (const std::string& copy : survey.damagedCopies) std::printf("壊れた控え（読み取れた分は取り込み済み）\t%s\n", copy.c_str());
    std::printf("書けないもの: %zu、待っているもの: %zu\n", survey.aside.size(), survey.waiting);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (AskedForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--set-aside") == 0) return ListSetAside();
    QApplication app(argc, argv);
    app.setApplicationName("ZIV");
    ziv::UseJapanese(app);
    app.setFont(ziv::UiFont());
    ziv::AllowLargeDrawings();
    ziv::WindowFlow flow(ziv::DesktopDialogs(), ziv::StationFiles());
    QObject::connect(&flow, &ziv::WindowFlow::Finished, &app, &QApplication::quit, Qt::QueuedConnection);
    if (!flow.Start()) return 1;
    return app.exec();
}
