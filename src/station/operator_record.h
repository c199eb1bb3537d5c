#pragma once
// The operator record: who measured which machines, from when to when, how
// many values and the time per value. Started at sign-in, finished at close.
#include <string>
#include <vector>

#include "common/text_file.h"

namespace ziv {

struct ClockTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0;
};

struct ChargedMachine {
    int Machine;
    std::string ProductName;
};

// The record's opening: date line, start time, the machines in charge and
// "n台担当".
std::string OperatorLogStart(const std::string& dateShown, int startHour, int startMinute,
                             const std::vector<ChargedMachine>& machines);
std::string ChargeText(size_t machineCount);

struct OperatorRecord {
    std::string Content;   // the whole OperatorLog
    std::string FileName;  // "2024年3月7日17時30分　2台担当　….txt"
};

// Completes the record at shut-down.
OperatorRecord FinishOperatorRecord(const std::string& operatorLog, const std::string& chargeText, int savedCount,
                                    int loadedPointCount, int startHour, int startMinute, const ClockTime& end);

// <product folder>/ＺＩＶログ/測定者記録
std::string OperatorRecordFolder(const std::string& productFolder);

// Writes the dated record into the operator's folder and the latest-run copy
// "<name>.txt"; stops at the first failure and names the file in the result.
// The two files the record is written as: <folder>/<user>/<file name> and
// <folder>/<user>.txt, with their content.
std::vector<std::pair<std::string, std::string>> OperatorRecordFiles(const std::string& productFolder,
                                                                     const std::string& userName,
                                                                     const OperatorRecord& record);
FileResult WriteOperatorRecord(const std::string& productFolder, const std::string& userName,
                                const OperatorRecord& record, Disk& disk = RealDisk());

}  // namespace ziv
