#pragma once
// A measurement window on a fresh installation root, with products made on disk.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "faulty_disk.h"
#include "platform/share_lock.h"
#include "recording_dialogs.h"
#include "station/measurement_window_ui.h"
#include "temp_root.h"

struct MasterPoint {
    std::string Nominal, Upper, Lower, Target;
};

class StationFixture : public ::testing::Test {
protected:
    TempRoot root;
    RecordingDialogs dialogs;
    std::vector<ziv::ShownMessage>& messages = dialogs.messages;
    // The windows' disk: a test makes it fail where it says.
    FaultyDisk disk;
    ziv::Files files{disk, ziv::StationFileLocks()};
    std::string productRoot;  // the product folder setting
    std::string userDir;
    std::string userName = "検査員1";

    void SetUp() override;

    // A product folder with a master data.xls holding the given points.
    std::string MakeProduct(const std::string& name, const std::vector<MasterPoint>& points);
    // Directory.dat with the given product folders on the given machines.
    void Register(const std::vector<std::pair<int, std::string>>& machines);
    // Starts the measurement window; nothing when its start-up refused.
    std::unique_ptr<ziv::MeasurementWindow> Open();

    // Sends a key press and release as the operator would.
    static void Key(ziv::MeasurementWindow& form, int key, const QString& text = QString());
    static void Type(ziv::MeasurementWindow& form, const QString& character);
    // Text of a point's cell as the grid of the machine shown (or of machine m) shows it.
    static std::string Cell(ziv::MeasurementWindow& form, int point, int col, int machine = -1);
    std::vector<std::string> Messages() const;
    // Runs the event loop until done() holds; false after ms milliseconds.
    static bool WaitUntil(const std::function<bool()>& done, int ms = 20000);
    // Every non-empty cell of a workbook as "sheet,row,col=text" lines.
    static std::vector<std::string> Dump(const std::string& path);
};
