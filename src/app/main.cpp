#include <QApplication>

#include "app/window_flow_ui.h"
#include "drawing/drawing_export_qt.h"
#include "platform/dialogs_qt.h"
#include "platform/japanese_ui_qt.h"
#include "platform/share_lock.h"
#include "platform/ui_font_qt.h"

int main(int argc, char** argv) {
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
