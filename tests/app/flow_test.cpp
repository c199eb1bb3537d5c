#include <QLocale>
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/window_flow_ui.h"
#include "common/text_file.h"
#include "drawing/drawing_editor_ui.h"
#include "links/settings_window_ui.h"
#include "links/instrument_link.h"
#include "operators/operator_window_ui.h"
#include "platform/share_lock.h"
#include "recording_dialogs.h"
#include "station/measurement_window_ui.h"
#include "temp_root.h"
#include "platform/japanese_ui_qt.h"

using namespace ziv;

namespace {
template <typename T>
T* Visible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
    return nullptr;
}
}  // namespace

// A new installation: the settings window must be visited once, then an
// operator signs in and the measurement window with the editor opens.
TEST(WindowFlow, SettingsOnceThenSignInAndClose) {
    TempRoot root;
    RecordingDialogs dialogs;
    std::vector<ShownMessage>& messages = dialogs.messages;
    WriteBytes(root / "Config/Users.dat", *ToCp932("検査員1\r\n"));
    WriteBytes(root / "Config/Path.dat", *ToCp932(root / "op1" + "\r\n"));
    WriteBytes(root / "op1/.keep", "");

    WindowFlow flow(dialogs, StationFiles());
    ASSERT_TRUE(flow.Start());
    OperatorWindow* operatorWindow = flow.operatorWindow();
    EXPECT_TRUE(operatorWindow->isVisible());

    QTest::mouseClick(operatorWindow->findChild<QPushButton*>("settingsButton"), Qt::LeftButton);
    EXPECT_FALSE(operatorWindow->isVisible());
    SettingsWindow* settingsWindow = Visible<SettingsWindow>();
    ASSERT_NE(settingsWindow, nullptr);
    EXPECT_TRUE(FileExists(LinksFilePath(root.path())));
    EXPECT_FALSE(FileExists(ProductFolderFilePath(root.path()))) << "written before 「OK」";
    settingsWindow->close();
    EXPECT_TRUE(operatorWindow->isVisible());

    // The product folder must exist for the log folders: point it at the root.
    ASSERT_TRUE(SaveProductFolder(ProductFolderFilePath(root.path()), root.path()));
    operatorWindow->operatorList()->setCurrentRow(0);
    QSignalSpy finished(&flow, &WindowFlow::Finished);
    QTest::mouseClick(operatorWindow->findChild<QPushButton*>("decideButton"), Qt::LeftButton);
    MeasurementWindow* measurementWindow = flow.measurementWindow();
    ASSERT_NE(measurementWindow, nullptr);
    EXPECT_TRUE(measurementWindow->isVisible());
    EXPECT_TRUE(measurementWindow->Editor()->isVisible());
    // The editor refuses to close while the run goes on.
    measurementWindow->Editor()->close();
    EXPECT_TRUE(measurementWindow->Editor()->isVisible());
    measurementWindow->close();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(measurementWindow->Editor()->isVisible());
    EXPECT_TRUE(messages.empty()) << messages.front().text.toStdString();
}

TEST(WindowFlow, MissingSettingsEndTheRunAfterSignIn) {
    TempRoot root;
    RecordingDialogs dialogs;
    std::vector<ShownMessage>& messages = dialogs.messages;
    WriteBytes(root / "Config/Users.dat", *ToCp932("検査員1\r\n"));
    WriteBytes(root / "Config/Path.dat", *ToCp932(root / "op1" + "\r\n"));
    WindowFlow flow(dialogs, StationFiles());
    ASSERT_TRUE(flow.Start());
    QSignalSpy finished(&flow, &WindowFlow::Finished);
    flow.operatorWindow()->operatorList()->setCurrentRow(0);
    flow.operatorWindow()->decide();
    EXPECT_EQ(finished.count(), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text.toStdString(), "通信設定が行われていません。");
}

// Seen: "Look in", "Cancel" and "December" in an otherwise Japanese station.
TEST(JapaneseInterface, QtsOwnTextsAreJapaneseWhateverTheSystemLanguage) {
    if (!ziv::UseJapanese(*QCoreApplication::instance()))
        GTEST_SKIP() << "Qt's Japanese translations are not installed (qt6-translations-l10n)";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("キャンセル"));
    EXPECT_EQ(QLocale().monthName(12), QString::fromUtf8("12月"));
}

// Seen: `ziv --help` opened the window, and with one running said that one
// runs. It prints the command line and ends, with no display at all.
TEST(CommandLine, HelpPrintsTheOptionsWithoutADisplay) {
    TempRoot root;  // ZIV_ROOT
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    QProcess ziv;
    ziv.setProcessEnvironment(env);
    ziv.start(QStringLiteral(ZIV_BINARY_DIR "/ziv"), {"--help"});
    ASSERT_TRUE(ziv.waitForFinished(20000));
    EXPECT_EQ(ziv.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ziv.exitCode(), 0) << ziv.readAllStandardError().toStdString();
    const QString usage = QString::fromUtf8(ziv.readAllStandardOutput());
    for (const char* option : {"--help", "--set-aside", "ZIV_ROOT"}) EXPECT_TRUE(usage.contains(option)) << option;
}
