#pragma once
// The built ziv on a private X server with a window manager, driven by real X
// input: which window gets the keys, where the windows appear and where they
// are remembered, and text pasted into boxes. Only a real desktop shows these.
//
// Each test starts its own Xvfb and openbox, a demonstration installation with
// a simulated gauge on F1, and ziv; every child is killed at the end (and dies
// with this program if it is killed). Without Xvfb or the X tools the tests
// are skipped. ZIV_DESKTOP_BUILD may name another build tree whose ziv to run.
// Screenshots of every state go to <build>/desktop-shots/.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <functional>
#include <list>
#include <map>
#include <memory>

#include "links/gauge_register.h"
#include "pty_instrument.h"
#include "records/day_book.h"
#include "records/journal.h"
#include "temp_root.h"
#include "workbook/workbook.h"

namespace desktop {

inline QString BuildDir() {
    QString other = qEnvironmentVariable("ZIV_DESKTOP_BUILD");
    return other.isEmpty() ? QStringLiteral(ZIV_BINARY_DIR) : other;
}
inline const QString kTools = QStringLiteral(ZIV_BINARY_DIR);
inline const QString kSource = QStringLiteral(ZIV_SOURCE_DIR);

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
    bool Inside(const Rect& area) const {
        return x >= area.x && y >= area.y && x + w <= area.x + area.w && y + h <= area.y + area.h;
    }
    bool Overlaps(const Rect& o) const { return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h; }
    bool operator==(const Rect&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << r.w << "x" << r.h << "+" << r.x << "+" << r.y;
}

inline bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QThread::msleep(50);
    }
    return true;
}

inline std::string ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

inline void WriteFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// Places inside the measurement window's side panel, from the client area's
// top right corner (the panel keeps its width whatever the window's width),
// and inside the fixed layouts of the operator window and the editor.
constexpr int kStartFromRight = 63, kStartTop = 50;            // "開始"
constexpr int kNumberBoxFromRight = 250, kNumberBoxTop = 326;  // numberEntryBox
constexpr int kNumberEnterFromRight = 120;                     // "入力" of 手動数値入力
constexpr int kChooseDateFromRight = 63, kChooseDateTop = 464;  // "選択" of 日付
constexpr int kChooseProductFromRight = 63, kChooseProductTop = 257;  // "選択" of 製品名
// 登録解除 of the product choice, in the middle of the panel's last row at the
// foot of the window.
constexpr int kUnregisterFromRight = 150, kPanelButtonsFromBottom = 27;
// The calendar's last day, bottom right: always a day of the next month.
constexpr int kLastCalendarDayFromRight = 39, kLastCalendarDayTop = 796;
constexpr int kOperatorX = 51, kOperatorY = 47;                // first name of the list
constexpr int kDecideX = 329, kDecideY = 59;                   // "決定"
constexpr int kSettingsY = 289;                                 // "設定", below 決定
constexpr int kDeleteX = 329, kDeleteY = 243;                  // "削除"
constexpr int kEditorButtonsY = 640 - 32 + 12;
constexpr int kZoomX = 432 + 44, kDesignateX = 528 + 44, kCancelX = 840 + 36, kOkX = 920 + 36;
constexpr int kOverviewX = 400, kOverviewY = 300;
constexpr int kPointOneX = 150, kPointOneY = 73;               // point 1's 測定値 cell

class Desktop : public ::testing::Test {
protected:
    void TearDown() override {
        // Last started first: ziv before openbox before the X server.
        for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
            QProcess& p = **it;
            if (p.state() == QProcess::NotRunning) continue;
            p.terminate();
            if (p.waitForFinished(5000)) continue;
            p.kill();
            p.waitForFinished(5000);
        }
        children_.clear();
    }

    // Starts Xvfb and openbox; false with a reason when no X server can run.
    bool StartDesktop(int width, int height) {
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "wmctrl", "xclip", "import"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                skip_ = std::string(tool) + " is not installed: the desktop tests need a private X server "
                        "with a window manager (scripts/setup installs them)";
                return false;
            }
        }
        screen_ = {0, 0, width, height};
        // Xvfb picks a free display itself and writes its number to stdout; it
        // also takes over the lock files of servers that were killed.
        QProcess* x = Spawn("Xvfb", {"-displayfd", "1", "-screen", "0", QString("%1x%2x24").arg(width).arg(height),
                                     "-nolisten", "tcp", "-noreset"},
                            QProcessEnvironment::systemEnvironment());
        if (!WaitUntil([&] { return x->canReadLine() || (x->waitForReadyRead(50), x->canReadLine()); }, 10000)) {
            skip_ = "no X server could start: " + x->readAllStandardError().trimmed().toStdString();
            return false;
        }
        display_ = ":" + QString::fromLatin1(x->readLine()).trimmed();
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("DISPLAY", display_);
        env_.insert("QT_QPA_PLATFORM", "xcb");
        env_.remove("QT_ACCESSIBILITY");
        if (!WaitUntil([&] { return X({"xprop", "-root"}).code == 0; }, 10000)) {
            skip_ = "the X server on " + display_.toStdString() + " does not answer";
            return false;
        }
        Spawn("openbox", {"--sm-disable"}, env_);
        if (!WaitUntil([&] { return X({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).out.contains("window id"); },
                       10000)) {
            skip_ = "openbox did not start on " + display_.toStdString();
            return false;
        }
        return true;
    }

    // Stopped with SIGTERM, even when this test dies: the X server then
    // removes its lock file and socket, which would otherwise pile up in /tmp.
    QProcess* Spawn(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setStandardInputFile(QProcess::nullDevice());
        p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        p->start(program, args);
        p->waitForStarted(10000);
        children_.push_back(std::move(p));
        return children_.back().get();
    }

    struct Result {
        int code = -1;
        QString out;
    };
    // Runs an X tool on the private display and waits for it.
    Result X(const QStringList& command, const QByteArray& input = {}) {
        QProcess p;
        p.setProcessEnvironment(env_);
        p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        p.start(command.first(), command.mid(1));
        if (!p.waitForStarted(5000)) return {};
        if (!input.isEmpty()) p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(15000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput())};
    }

    // ---- the installation and the program ---------------------------------

    void PrepareDemo() {
        QProcess p;
        p.start(kSource + "/scripts/demo-prepare", {"--build", kTools, QString::fromStdString(root_.path())});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        QDir products(Root("製品"));
        for (const QString& name : products.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (name.contains("A-100")) product_ = products.filePath(name);
        ASSERT_FALSE(product_.isEmpty());
    }

    QString Root(const QString& relative) const { return QString::fromStdString(root_.path()) + "/" + relative; }

    void StartGauge() {
        QProcess values;
        values.start(kTools + "/tools/ziv-screenshots/ziv-demo-root", {"values"});
        ASSERT_TRUE(values.waitForFinished(10000));
        QString list = QString::fromUtf8(values.readAllStandardOutput()).trimmed();
        QProcess* gauge = Spawn(kTools + "/tools/ziv-gauge-sim/ziv-gauge-sim",
                                {"--bind", QString::fromStdString(root_.path()), "1", "--values", list, "--delay", "50"},
                                env_);
        ASSERT_TRUE(WaitUntil([&] { return gauge->canReadLine() || (gauge->waitForReadyRead(50), gauge->canReadLine()); },
                              10000))
            << "the gauge simulator did not bind F1's port";
    }

    // Starts ziv and waits for the operator window.
    void StartZiv() {
        QProcessEnvironment env = env_;
        env.insert("ZIV_ROOT", QString::fromStdString(root_.path()));
        ziv_ = Spawn(BuildDir() + "/ziv", {}, env);
        ASSERT_TRUE(WaitUntil([&] { return Windows().size() == 1; }, 20000)) << "the operator window did not appear";
        operators_ = Windows().front();
        QThread::msleep(300);
    }

    // ziv with `gauge` on F1's port, signed in and measuring with F1.
    void StartMeasuringWith(PtyInstrument& gauge) {
        BindPort(root_, 1, gauge.devicePath());
        ASSERT_NO_FATAL_FAILURE(StartZiv());
        ASSERT_NO_FATAL_FAILURE(SignIn());
        ClickMain(kStartFromRight, kStartTop);
        Key("F1");
    }

    // Chooses the first operator, presses "決定" and tells the two windows apart.
    void SignIn() {
        Rect o = Client(operators_);
        Click(o.x + kOperatorX, o.y + kOperatorY);
        Click(o.x + kDecideX, o.y + kDecideY);
        ASSERT_TRUE(WaitUntil([&] { return Windows().size() == 2; }, 20000)) << "no measurement window and editor";
        QThread::msleep(500);
        for (const QString& id : Windows())
            (X({"xprop", "-id", id, "WM_WINDOW_ROLE"}).out.contains("drawing-editor") ? editor_ : main_) = id;
        ASSERT_FALSE(editor_.isEmpty()) << "no drawing editor";
        ASSERT_FALSE(main_.isEmpty());
    }

    // Closes the measurement window as its title bar's close button does: the
    // window manager asks that window itself to close, wherever the keyboard is
    // (a key press could reach the editor when the desktop is slow to focus).
    void CloseZiv() {
        X({"wmctrl", "-i", "-c", main_});
        if (ziv_->waitForFinished(20000)) return;
        Screenshot("close-failed");
        FAIL() << "ziv did not end when its measurement window was closed; active window " << ActiveWindow().toStdString()
               << ", measurement window " << main_.toStdString();
    }

    // ---- the desktop --------------------------------------------------------

    QStringList Windows() {
        return X({"xdotool", "search", "--onlyvisible", "--name", "^ZIV"}).out.split('\n', Qt::SkipEmptyParts);
    }

    Rect Client(const QString& id) {
        QString info = X({"xwininfo", "-id", id}).out;
        auto value = [&](const char* label) {
            QRegularExpressionMatch m = QRegularExpression(QString(label) + ":\\s*(-?\\d+)").match(info);
            return m.hasMatch() ? m.captured(1).toInt() : 0;
        };
        return {value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height")};
    }

    // The window with the window manager's frame.
    Rect Outer(const QString& id) {
        Rect r = Client(id);
        QStringList e = X({"xprop", "-id", id, "_NET_FRAME_EXTENTS"}).out.section('=', 1).split(',');
        if (e.size() != 4) return r;
        int left = e[0].trimmed().toInt(), right = e[1].trimmed().toInt(), top = e[2].trimmed().toInt(),
            bottom = e[3].trimmed().toInt();
        return {r.x - left, r.y - top, r.w + left + right, r.h + top + bottom};
    }

    bool Maximised(const QString& id) {
        return X({"xprop", "-id", id, "_NET_WM_STATE"}).out.contains("_NET_WM_STATE_MAXIMIZED_HORZ");
    }

    // "mousemove --sync" never returns when the pointer is already there.
    void Click(int x, int y, int button = 1) {
        X({"xdotool", "mousemove", QString::number(x), QString::number(y)});
        const QString at = QString("X=%1\nY=%2\n").arg(x).arg(y);
        WaitUntil([&] { return X({"xdotool", "getmouselocation", "--shell"}).out.startsWith(at); }, 3000);
        X({"xdotool", "click", QString::number(button)});
        QThread::msleep(250);
    }
    void Key(const QString& key) {
        X({"xdotool", "key", key});
        QThread::msleep(150);
    }
    // xclip hands the selection to a child of its own that serves it until
    // another owner takes over or the X server ends.
    void Selection(const char* which, const char* text) {
        QString file = QString::fromStdString(root_.path()) + "/selection.txt";
        WriteFile(file, text);
        X({"xclip", "-selection", which, "-i", file});
    }
    QString ActiveWindow() { return X({"xdotool", "getactivewindow"}).out.trimmed(); }

    void Screenshot(const QString& name) {
        QDir().mkpath(BuildDir() + "/desktop-shots");
        X({"import", "-window", "root", BuildDir() + "/desktop-shots/" + name + ".png"});
    }

    // Cells of the day workbook of machine 0: (row, column) of sheet 1 -> text.
    std::map<std::pair<int, int>, QString> DayBook() {
        std::map<std::pair<int, int>, QString> cells;
        QDir data(product_ + "/data");
        QStringList books = DayBookNames();
        if (books.size() != 1) return cells;
        QString dump = X({kTools + "/tools/ziv-workbook/ziv-workbook", "dump", data.filePath(books.front())}).out;
        for (const QString& line : dump.split('\n', Qt::SkipEmptyParts)) {
            QStringList f = line.split('\t');
            if (f.size() == 4 && f[0] == "1") cells[{f[1].toInt(), f[2].toInt()}] = f[3];
        }
        return cells;
    }
    QString MeasuredValue(int point) {
        auto cells = DayBook();
        auto it = cells.find({point, 5});
        return it == cells.end() ? QString() : it->second;
    }

    // The day workbooks of machine 0, by name.
    QStringList DayBookNames() { return QDir(product_ + "/data").entryList({"*0号機*.xls"}, QDir::Files); }
    static bool Amber(QColor c) {
        return std::abs(c.red() - 0xFF) < 16 && std::abs(c.green() - 0xB3) < 16 && c.blue() < 24;
    }

    Rect MainClient() { return Client(main_); }
    // A screenshot named name, and how many pixels of the measurement window are of the colour.
    int MainPixels(const QString& name, const std::function<bool(QColor)>& ofTheColour) {
        Screenshot(name);
        QImage shot(BuildDir() + "/desktop-shots/" + name + ".png");
        Rect m = MainClient();
        int count = 0;
        for (int y = std::max(0, m.y); y < std::min(shot.height(), m.y + m.h); ++y)
            for (int x = std::max(0, m.x); x < std::min(shot.width(), m.x + m.w); ++x)
                count += ofTheColour(shot.pixelColor(x, y));
        return count;
    }
    void ClickMain(int fromRight, int top) {
        Rect m = MainClient();
        Click(m.x + m.w - fromRight, m.y + top);
    }
    void ClickEditor(int x, int y) {
        Rect e = Client(editor_);
        Click(e.x + x, e.y + y);
    }

    std::string skip_;
    TempRoot root_;
    QString product_;
    QString display_;
    QProcessEnvironment env_;
    Rect screen_;
    QProcess* ziv_ = nullptr;
    QString operators_, main_, editor_;

private:
    std::list<std::unique_ptr<QProcess>> children_;
};

}  // namespace desktop
