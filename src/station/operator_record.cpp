#include "station/operator_record.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "common/numbers.h"
#include "platform/paths.h"
#include "records/journal.h"

namespace ziv {
namespace {

std::string WithoutHalfWidthBlanks(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

}  // namespace

std::string ChargeText(size_t machineCount) { return DecimalText(static_cast<long long>(machineCount)) + "台担当"; }

std::string OperatorLogStart(const std::string& dateShown, int startHour, int startMinute,
                             const std::vector<ChargedMachine>& machines) {
    std::string log = dateShown + "\r\n" + DecimalText(startHour) + "時" + DecimalText(startMinute) + "分開始\r\n\r\n";
    for (const auto& m : machines) log += DecimalText(m.Machine) + "号機 " + m.ProductName + "\r\n";
    log += "\r\n" + ChargeText(machines.size()) + "\r\n\r\n";
    return log;
}

OperatorRecord FinishOperatorRecord(const std::string& operatorLog, const std::string& chargeText, int savedCount,
                                    int loadedPointCount, int startHour, int startMinute, const ClockTime& end) {
    std::string log = operatorLog;
    std::string a = DecimalText(savedCount) + "／" + DecimalText(loadedPointCount) + "箇所測定";
    log += a + "\r\n\r\n";
    log += DecimalText(end.Hour) + "時" + DecimalText(end.Minute) + "分終了\r\n\r\n";
    auto minutes = static_cast<std::int16_t>(std::abs((startHour * 60 + startMinute) - (end.Hour * 60 + end.Minute)));
    std::string b = "測定時間" + DecimalText(minutes) + "分";
    log += b + "\r\n";
    std::string c;
    if (minutes != 0 && savedCount != 0) {
        // Seconds per value, rounded down in single precision.
        float perValue = static_cast<float>(minutes) / static_cast<float>(savedCount) * 60.0f;
        c = "一箇所平均測定時間" + DecimalText(static_cast<long long>(std::floor(perValue))) + "秒";
        log += c + "\r\n\r\n";
    }
    std::string name = DecimalText(end.Year) + "年" + DecimalText(end.Month) + "月" + DecimalText(end.Day) + "日" +
                       DecimalText(end.Hour) + "時" + DecimalText(end.Minute) + "分　" + chargeText + "　" + a +
                       "　" + b + "　" + c;
    return {log, WithoutHalfWidthBlanks(name) + ".txt"};
}

std::string OperatorRecordFolder(const std::string& productFolder) {
    return JoinPath(JournalFolder(productFolder), "測定者記録");
}

std::vector<std::pair<std::string, std::string>> OperatorRecordFiles(const std::string& productFolder,
                                                                     const std::string& userName,
                                                                     const OperatorRecord& record) {
    std::string folder = JoinPath(OperatorRecordFolder(productFolder), userName);
    return {{JoinPath(folder, record.FileName), record.Content},
            {JoinPath(OperatorRecordFolder(productFolder), userName + ".txt"), record.Content}};
}

FileResult WriteOperatorRecord(const std::string& productFolder, const std::string& userName,
                               const OperatorRecord& record, Disk& disk) {
    std::string folder = JoinPath(OperatorRecordFolder(productFolder), userName);
    if (!MakeFolder(folder)) return Failed(Failure::FolderNotMade, folder);
    for (const auto& [path, content] : OperatorRecordFiles(productFolder, userName, record))
        if (auto r = WriteTextFile(path, content, disk); !r) return r;
    return {};
}

}  // namespace ziv
