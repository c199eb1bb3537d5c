// ziv-report: the inspection report and the process capability of the day
// workbooks, as a window (no arguments) or on the command line.
#include <QApplication>
#include <QGuiApplication>
#include <string>
#include <vector>

#include "command_line.h"
#include "report_window.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        // The PDF writer needs fonts but no screen: scripts run without one.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
        return ziv::report::RunCommandLine(args);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ziv-report"));
    ziv::report::ReportWindow window;
    window.show();
    return app.exec();
}
