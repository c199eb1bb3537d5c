#include "station/entry_flow.h"

#include <utility>

#include "common/numbers.h"
#include "platform/paths.h"
#include "station_log/station_log.h"
#include "records/server_clock.h"
#include "report/capability.h"
#include "station/rejection.h"

namespace ziv {

namespace {
bool IsMachine(int machine) { return machine >= 0 && machine <= kLastMachine; }
}  // namespace

EntryFlow::EntryFlow(std::string userName, StationLog& log, Files files, View& view)
    : userName_(std::move(userName)), log_(log), files_(files), dayBooks_(files), view_(view) {
    points_.fill(kFirstPoint);
}

void EntryFlow::SetProduct(int machine, const std::string& folder) {
    paths_[machine] = folder;
    names_[machine] = folder.empty() ? std::string() : GetProductName(folder);
}

bool EntryFlow::SetWorkDate(const WorkDate& date) {
    if (!RecordableDay(date)) return false;
    workDate_ = date;
    return true;
}

std::string EntryFlow::BookPath(int machine) const {
    return DayBookPath(paths_[machine], userName_, names_[machine], machine, workDate_);
}

// ---- loading ------------------------------------------------------------------

EntryFlow::Unreadables EntryFlow::Load(int machine) {
    return FinishLoad(ReadLoad(BeginLoad(machine, false), files_.disk));
}

EntryFlow::Unreadables EntryFlow::LoadFromTheTop(int machine) {
    return FinishLoad(ReadLoad(BeginLoad(machine, true), files_.disk));
}

EntryFlow::Unreadables EntryFlow::LoadEveryMachine() {
    Unreadables problems;
    for (int m = 0; m <= kLastMachine; ++m) {
        Unreadables more = LoadFromTheTop(m);
        problems.insert(problems.end(), more.begin(), more.end());
    }
    return problems;
}

EntryFlow::LoadRequest EntryFlow::BeginLoad(int machine, bool fromTheTop) {
    LoadRequest request{machine, ++lastGeneration_, fromTheTop, {}, {}};
    MachineSheet& sheet = sheets_[machine];
    std::vector<MasterRow> master;
    if (sheetProducts_[machine] == paths_[machine])
        for (int r = kFirstPoint; r <= kLastPoint; ++r) master.push_back(sheet.Master(r));
    else sheetProducts_[machine].clear();
    sheet.Clear();
    for (size_t i = 0; i < master.size(); ++i) sheet.SetMaster(kFirstPoint + static_cast<int>(i), master[i]);
    dayBooks_.Close(machine);
    loading_[machine] = request.generation;
    touched_[machine].clear();
    unjudged_[machine].clear();
    if (Registered(machine)) {
        request.book = BookPath(machine);
        request.master = MasterBookPath(paths_[machine]);
        ShowWaitingRows(machine, request.book);
    }
    return request;
}

// This station's own values still waiting for the workbook show at once: a
// share that does not answer hides none of them, and the input position
// does not stay on a point that holds one.
void EntryFlow::ShowWaitingRows(int machine, const std::string& book) {
    std::map<int, MeasuredRow> waiting = log_.ValuesFor<QueuedRow>(book);
    if (waiting.empty()) return;
    for (const auto& [r, row] : waiting) sheets_[machine].SetMeasured(r, row);
    view_.SheetChanged(machine);
    if (!sheets_[machine].Row(points_[machine]).Value.empty()) Advance(machine);
}

EntryFlow::LoadedFiles EntryFlow::ReadLoad(const LoadRequest& request, Disk& disk) {
    LoadedFiles files;
    files.request = request;
    if (request.book.empty()) return files;
    files.bookPresent = IsFile(request.book);
    // Left closed: a later save opens it again rather than overwrite it.
    if (files.bookPresent) files.book = ReadDayBook(request.book, disk);
    files.masterPresent = IsFile(request.master);
    if (!files.masterPresent) return files;
    auto master = Workbook::Open(request.master, &files.masterProblem, disk);
    if (master)
        for (int r = kFirstPoint; r <= kLastPoint; ++r) files.masterRows.push_back(ReadMasterRow(*master, r));
    return files;
}

void EntryFlow::TouchedWhileLoading(int machine, int point) {
    if (Loading(machine)) touched_[machine].insert(point);
}

EntryFlow::Unreadables EntryFlow::FinishLoad(LoadedFiles files) {
    const LoadRequest& request = files.request;
    const int m = request.machine;
    if (loading_[m] != request.generation) return {};
    loading_[m] = 0;
    const std::set<int> touched = std::exchange(touched_[m], {});
    Unreadables problems;
    ShowLoadedRows(files, touched, problems);
    TakeMaster(files, problems);
    view_.SheetChanged(m);
    for (const auto& [r, blind] : std::exchange(unjudged_[m], {}))
        if (touched.count(r)) JudgeLate(m, r, blind, request.book);
    PlaceAfterLoad(request, files.bookPresent, touched);
    return problems;
}

// What was entered, or written by the writer, while the files were on their
// way is newer than what they hold.
void EntryFlow::ShowLoadedRows(LoadedFiles& files, const std::set<int>& touched, Unreadables& problems) {
    const LoadRequest& request = files.request;
    const int m = request.machine;
    MachineSheet& sheet = sheets_[m];
    if (files.bookPresent) {
        if (FileResult kept = dayBooks_.Keep(m, request.book, std::move(files.book)); !kept)
            problems.push_back({Unreadable::File::DayBook, request.book, kept});
        else
            for (int r = kFirstPoint; r <= kLastPoint; ++r)
                if (!touched.count(r)) sheet.SetMeasured(r, dayBooks_.Row(m, r));
    }
    // Rows still waiting to be written are this station's newest values.
    if (!request.book.empty())
        for (const auto& [r, row] : log_.ValuesFor<QueuedRow>(request.book))
            if (!touched.count(r)) sheet.SetMeasured(r, row);
}

// The nominal sizes, tolerances and targets always come from the master as it
// reads now, never from the day workbook.
void EntryFlow::TakeMaster(const LoadedFiles& files, Unreadables& problems) {
    const int m = files.request.machine;
    if (files.masterPresent && files.masterRows.empty())
        problems.push_back({Unreadable::File::Master, files.request.master, files.masterProblem});
    for (int r = kFirstPoint; r <= kLastPoint; ++r) {
        size_t i = static_cast<size_t>(r - kFirstPoint);
        MasterRow row = i < files.masterRows.size() ? files.masterRows[i] : MasterRow{};
        sheets_[m].SetMaster(r, row);
        if (!row.Nominal.empty()) ++loadedPointCount_;
    }
    sheetProducts_[m] = files.masterRows.empty() ? std::string() : paths_[m];
}

void EntryFlow::PlaceAfterLoad(const LoadRequest& request, bool bookPresent, const std::set<int>& touched) {
    const int m = request.machine;
    // The operator measured meanwhile: the input position stays his, unless
    // it now stands on a value the file brought.
    if (!touched.empty()) {
        if (!touched.count(points_[m]) && !sheets_[m].Row(points_[m]).Value.empty()) Advance(m);
        return;
    }
    if (!request.book.empty() && !bookPresent) {
        // The second advance brings the point the first one moved to up to
        // the top of the view: a new day starts with its first point on top.
        Advance(m);
        Advance(m);
    }
    if (request.fromTheTop) {
        ResetPoint(m);
        Advance(m);
    }
}

void EntryFlow::Clear(int machine) {
    // A load still on its way shows nothing any more.
    loading_[machine] = 0;
    touched_[machine].clear();
    sheetProducts_[machine].clear();
    sheets_[machine].Clear();
    view_.SheetChanged(machine);
    dayBooks_.Close(machine);
    ResetPoint(machine);
    Advance(machine);
}

// ---- the input position -----------------------------------------------------------

int EntryFlow::Point(int machine) const { return IsMachine(machine) ? points_[machine] : kFirstPoint; }

void EntryFlow::SelectPoint(int machine, int point) {
    if (IsMachine(machine) && point >= kFirstPoint && point <= kLastPoint) points_[machine] = point;
}

void EntryFlow::ShowMachine(int machine) {
    if (!IsMachine(machine)) return;
    shown_ = machine;
    Advance(machine);
}

// The run goes down to the first empty point of the master, keeping the
// point it came from on top. With every point of the master measured it
// stays: rows past the master have nothing to judge a value by, and take one
// only where the operator puts it. A sheet without master starts again from
// the first point. With auto-advance off the next value replaces the one
// just entered.
void EntryFlow::Advance(int machine) {
    if (!autoAdvance_) return;
    const MachineSheet& sheet = sheets_[machine];
    int empty = sheet.FirstEmptyPoint();
    if (empty != 0) MoveTo(machine, empty, points_[machine]);
    else if (!sheet.HasMaster()) MoveTo(machine, kFirstPoint, kFirstPoint);
}

void EntryFlow::MoveTo(int machine, int point, int top) {
    points_[machine] = point;
    view_.PointMoved(machine, point, top);
}

void EntryFlow::ResetPoint(int machine) {
    points_[machine] = kFirstPoint;
    view_.PointReset(machine);
}

// Twice, so that the point found comes to the top of the view.
void EntryFlow::SearchEmptyPoint() {
    Advance(shown_);
    Advance(shown_);
}

// ---- entries ----------------------------------------------------------------

EntryFlow::Entry EntryFlow::Begin(Way way, int key, const std::string& inputName, const std::string& text) const {
    Entry entry;
    entry.taken = Registered(shown_) ? Entry::Taken::Recorded : Entry::Taken::NoProduct;
    entry.way = way;
    entry.key = key;
    entry.inputName = inputName;
    entry.text = text;
    entry.machine = shown_;
    entry.point = points_[shown_];
    entry.before = sheets_[shown_].Row(entry.point);
    return entry;
}

void EntryFlow::KeepJournal(std::string station, const Gauges& gauges) {
    station_ = std::move(station);
    gauges_ = gauges;
}

EntryFlow::Entry EntryFlow::EnterReading(const std::string& valueText, int key, const std::string& inputName,
                                         const std::string& reply) {
    Entry entry = Begin(Way::Instrument, key, inputName, valueText);
    if (!entry) return entry;
    entry.reply = reply;
    if (key >= 1 && key <= static_cast<int>(gauges_.size())) {
        entry.gauge = gauges_[static_cast<size_t>(key - 1)];
        // The entry counts all the same: the operator is told, the journal marks it.
        entry.gaugeOverdue = IsOverdue(entry.gauge, TimestampNow().LocalDay());
    }
    // "ERR", "-----", "OVER": the point keeps what it holds, the journal the reply.
    if (!HoldsNumber(valueText)) {
        entry.taken = Entry::Taken::NoNumber;
        entry.after = entry.before;
        WriteJournal(entry);
        return entry;
    }
    return EnterMagnitude(std::move(entry), EnteredValueText(valueText, SignKept()));
}

EntryFlow::Entry EntryFlow::EnterNumber(const std::string& boxText) {
    Entry entry = Begin(Way::Number, 0, {}, boxText);
    if (!entry) return entry;
    // Text put into the box by a program or assistive technology bypasses
    // the box's own check: nothing but a number is ever entered and judged.
    bool keepSign = SignKept();
    auto number = NumberBoxEntry(boxText, keepSign);
    // A minus on a point of magnitudes is refused, not dropped: the operator meant something else.
    if (!number) entry.taken = NumberBoxEntry(boxText, true) ? Entry::Taken::SignRefused : Entry::Taken::NotANumber;
    else if (!HoldsNumber(*number)) entry.taken = Entry::Taken::NoNumber;
    if (!entry) return entry;
    return EnterMagnitude(std::move(entry), EnteredValueText(*number, keepSign));
}

EntryFlow::Entry EntryFlow::EnterMagnitude(Entry entry, const std::string& magnitude) {
    MachineSheet& sheet = sheets_[entry.machine];
    const bool blind = Loading(entry.machine) && sheet.Master(entry.point) == MasterRow{};
    sheet.EnterValue(entry.point, magnitude);
    entry.judgement = sheet.JudgeRow(entry.point);
    sheet.CorrectRow(entry.point);
    Entry recorded = Record(std::move(entry));
    if (blind) unjudged_[recorded.machine][recorded.point] = {recorded.inputName, recorded.at};
    return recorded;
}

// A number entered before its master was read is judged and corrected once
// it is: the row goes to the workbook again, and a fail leaves its rejection
// record, as if the master had been there.
void EntryFlow::JudgeLate(int machine, int point, const Unjudged& blind, const std::string& book) {
    MachineSheet& sheet = sheets_[machine];
    if (sheet.Master(point) == MasterRow{}) return;
    Entry entry;
    entry.machine = machine;
    entry.point = point;
    entry.judgement = sheet.JudgeRow(point);
    sheet.CorrectRow(point);
    entry.after = sheet.Row(point);
    view_.RowChanged(machine, point);
    // Still the time it was measured: judging late makes it no newer than
    // another station's value measured meanwhile.
    static_cast<void>(log_.Put(QueuedRow{book, machine, point, sheet.Measured(point, blind.inputName), blind.at}));
    if (entry.judgement == Judgement::Fail) static_cast<void>(WriteRejection(entry));
    if (wake_) wake_();
}

EntryFlow::Entry EntryFlow::EnterText(const std::string& text) {
    Entry entry = Begin(Way::Text, 0, {}, text);
    if (!entry) return entry;
    sheets_[entry.machine].EnterText(entry.point, text);
    return Record(std::move(entry));
}

EntryFlow::Entry EntryFlow::EnterPassFail(bool pass) {
    Entry entry = Begin(Way::PassFailKey, pass ? 12 : 11, {}, pass ? "OK" : "NG");
    if (!entry) return entry;
    sheets_[entry.machine].EnterPassFail(entry.point, pass);
    entry.judgement = pass ? Judgement::Pass : Judgement::Fail;
    return Record(std::move(entry));
}

// Every entry ends here, whichever way it came, once its row holds what the
// operator will see: the one place that knows a value was entered and all
// about it.
EntryFlow::Entry EntryFlow::Record(Entry entry) {
    const int m = entry.machine;
    unjudged_[m].erase(entry.point);
    MachineSheet& sheet = sheets_[m];
    entry.after = sheet.Row(entry.point);
    TouchedWhileLoading(m, entry.point);
    view_.RowChanged(m, entry.point);
    // The judgement stands whatever happens to the rejection's file.
    if (entry.judgement == Judgement::Fail) entry.rejection = WriteRejection(entry);
    entry.book = BookPath(m);
    entry.at = MeasuredNow();
    // Kept on this station's disk: the writer takes it to the workbook.
    entry.kept = log_.Put(QueuedRow{entry.book, m, entry.point, sheet.Measured(entry.point, entry.inputName), entry.at});
    ++savedCount_;
    WriteJournal(entry);
    WatchValue(entry);
    if (wake_) wake_();
    // The operator goes on while the writer takes the value to the share.
    Advance(m);
    return entry;
}

void EntryFlow::TakeWritten(const std::string& book, const std::map<int, MeasuredRow>& rows) {
    std::map<int, MeasuredRow> waiting = log_.ValuesFor<QueuedRow>(book);
    for (int m = 0; m <= kLastMachine; ++m) {
        if (!Registered(m) || BookPath(m) != book) continue;
        for (const auto& [r, row] : rows) {
            if (waiting.count(r) || sheets_[m].Measured(r, row.InputName) == row) continue;
            TouchedWhileLoading(m, r);
            sheets_[m].SetMeasured(r, row);
            view_.RowChanged(m, r);
        }
    }
}

namespace {

EntryWay JournalWay(const EntryFlow::Entry& entry) {
    switch (entry.way) {
        case EntryFlow::Way::Instrument:
            return entry.taken == EntryFlow::Entry::Taken::NoNumber ? EntryWay::Refused : EntryWay::Reading;
        case EntryFlow::Way::PassFailKey: return entry.key == 12 ? EntryWay::Pass : EntryWay::Fail;
        case EntryFlow::Way::Number: return EntryWay::Typed;
        case EntryFlow::Way::Text: return entry.text.empty() ? EntryWay::Emptied : EntryWay::Typed;
    }
    return EntryWay::Typed;
}

}  // namespace

// What was entered, with what it replaced, when and with which gauge: the
// day workbook keeps only the last value of a point.
void EntryFlow::WriteJournal(Entry& entry) {
    if (!station_) return;
    auto workDay = WorkDay();
    if (!workDay) return;
    JournalEntry line;
    // The time the workbook's row carries: the journals then tell the newest
    // value of a cell as the merges do, whatever this computer's clock says.
    line.Time = TimestampAt(entry.at.Ns != 0 ? entry.at.Ns : MeasuredNow().Ns);
    line.WorkDate = *workDay;
    line.Station = *station_;
    line.Operator = userName_;
    line.Product = names_[entry.machine];
    line.Machine = entry.machine;
    line.Point = entry.point;
    // A refused reading put nothing into the point: only its reply is kept.
    if (entry) {
        line.Text = entry.after.Value;
        line.Judgement = entry.after.Judgement;
        line.Correction = entry.after.Correction;
    }
    line.Way = JournalWay(entry);
    line.Key = entry.way == Way::Instrument ? entry.key : 0;
    line.Instrument = entry.way == Way::Instrument ? entry.inputName : std::string();
    line.Gauge = entry.gauge.ControlNumber;
    line.GaugeDue = entry.gauge.Due;
    line.GaugeOverdue = entry.gaugeOverdue;
    line.Reply = entry.reply;
    line.Replaced = entry.before.Value;
    entry.journal = KeepLine(line);
}

std::optional<Day> EntryFlow::WorkDay() const {
    return ParseDay(workDate_.Year + "/" + workDate_.Month + "/" + workDate_.Day);
}

std::optional<JournalWrite> EntryFlow::KeepLine(const JournalEntry& line) {
    if (!station_) return std::nullopt;
    std::string journal = JournalPath(productFolder_, line.WorkDate, *station_);
    JournalWrite kept;
    kept.queueProblem = log_.Put(QueuedJournalLine{journal, JournalRecord(line)});
    return kept;
}

JournalEntry EntryFlow::EventLine(EntryWay way, int machine, int point, const std::string& text) const {
    JournalEntry line;
    line.Time = TimestampAt(MeasuredNow().Ns);
    line.WorkDate = WorkDay().value_or(Day{});
    line.Station = station_.value_or(std::string());
    line.Operator = userName_;
    line.Product = names_[machine];
    line.Machine = machine;
    line.Point = point;
    line.Text = text;
    line.Way = way;
    return line;
}

// A value on a watched point goes into the recent values, so that the watch
// sees this run's values as well as the journals'; a number there is checked,
// and the journal marks one that raised a signal. Other points keep nothing:
// a shift's values over every machine leave the station's memory as it was.
void EntryFlow::WatchValue(Entry& entry) {
    auto workDay = WorkDay();
    if (!entry || !workDay || !watch_.Watched(entry.point, entry.machine)) return;
    JournalEntry taken = EventLine(EntryWay::Typed, entry.machine, entry.point, entry.after.Value);
    if (auto value = report::MeasuredNumber(entry.after.Value))
        entry.signal = watch_.Check(entry.point, entry.machine,
                                    recent_.Before(entry.point, entry.machine, *workDay, userName_), *value);
    recent_.Add(taken);
    ownValues_.push_back(std::move(taken));
    if (entry.signal)
        static_cast<void>(KeepLine(EventLine(EntryWay::Signal, entry.machine, entry.point, entry.signal->RuleText())));
}

void EntryFlow::UseControlData(ControlData data) {
    watch_.SetLimits(std::move(data.Limits));
    recent_ = std::move(data.Recent);
    for (const JournalEntry& own : ownValues_) recent_.Add(own);
}

std::vector<double> EntryFlow::ChartValues(int machine, int point) const {
    auto workDay = WorkDay();
    if (!workDay) return {};
    std::vector<double> values = recent_.Before(point, machine, *workDay, userName_, kRecentValues - 1);
    if (auto value = report::MeasuredNumber(sheets_[machine].Row(point).Value)) values.push_back(*value);
    return values;
}

std::optional<JournalWrite> EntryFlow::RecordReaction(int machine, int point, const std::string& what) {
    watch_.Reacted(point, machine);
    auto written = KeepLine(EventLine(EntryWay::Reaction, machine, point, what));
    if (wake_) wake_();
    return written;
}

// Kept on this station's disk first, like every entry: a share that is away
// loses no rejection record.
FileResult EntryFlow::WriteRejection(const Entry& entry) const {
    const SheetRow& row = entry.after;
    RejectionFacts facts{workDate_.Year, workDate_.Month, workDate_.Day, userName_, entry.machine,
                         names_[entry.machine], row.Nominal, row.Upper, row.Lower, row.Value};
    QueuedFile file{JoinPath(RejectionFolder(productFolder_), RejectionFileName(facts)),
                    RejectionContent(RejectionRecord(facts))};
    // A text the file cannot hold would never go in: told now, not kept.
    if (!ToCp932(file.Content)) return Failed(Failure::NotShiftJis, file.Path);
    return log_.Put(file);
}

MeasuredAt EntryFlow::MeasuredNow() const { return {StationServerClock().NowNs(), station_.value_or(std::string())}; }

}  // namespace ziv
