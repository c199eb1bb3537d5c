#pragma once
// Day workbooks made with the station's own writer, and the report program
// and the PDF/CSV oracles run as a user runs them.
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <filesystem>
#include <string>
#include <vector>

#include "records/day_book.h"
#include "workbook/workbook.h"

namespace reporttest {

struct Row {
    int Point;
    std::string Nominal, Upper, Lower, InputName, Value, Judgement, Correction;
};

// <product>/data/<name>, written as the station writes a day workbook.
inline std::string MakeDayBook(const std::string& productDir, const std::string& fileName,
                               const std::vector<Row>& rows) {
    std::filesystem::create_directories(productDir + "/data");
    ziv::Workbook book = ziv::Workbook::New();
    for (const Row& r : rows) {
        book.SetCell(1, r.Point, 1, r.Nominal);
        book.SetCell(1, r.Point, 2, r.Upper);
        book.SetCell(1, r.Point, 3, r.Lower);
        ziv::WriteDayBookRow(book, r.Point, {r.InputName, r.Value, r.Judgement, r.Correction});
    }
    std::string path = productDir + "/data/" + fileName;
    EXPECT_TRUE(book.SaveAs(path)) << path;
    return path;
}

struct Ran {
    int Exit = -1;
    std::string Out, Err;
};

inline Ran RunProgram(const QString& program, const QStringList& args, const QString& workingDir = {}) {
    QProcess process;
    if (!workingDir.isEmpty()) process.setWorkingDirectory(workingDir);
    process.start(program, args);
    Ran ran;
    if (!process.waitForFinished(120000)) return ran;
    ran.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    ran.Out = process.readAllStandardOutput().toStdString();
    ran.Err = process.readAllStandardError().toStdString();
    return ran;
}

inline std::string ReportTool() { return std::string(ZIV_BINARY_DIR) + "/tools/ziv-report/ziv-report"; }

inline bool HasProgram(const QString& path) {
    return path.startsWith('/') ? std::filesystem::exists(path.toStdString())
                                : !QStandardPaths::findExecutable(path).isEmpty();
}

}  // namespace reporttest

#define REQUIRE_PROGRAM(p) \
    if (!reporttest::HasProgram(p)) GTEST_SKIP() << "needs " << QString(p).toStdString() << " (scripts/setup installs it)"
