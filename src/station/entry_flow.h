#pragma once
// The station without its windows: every machine's sheet, the point each
// machine's next value goes to, and the way every value takes from the
// operator to the files. A value is written onto the sheet, judged and
// corrected, recorded as a rejection when it fails, saved in its day workbook
// at once, and the input position moves on to the next empty point. The
// measurement window shows what this holds and hands it the values that keys,
// buttons and instruments bring.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "links/gauge_register.h"
#include "records/day_book.h"
#include "records/journal.h"
#include "records/product_registry.h"
#include "station/control_watch.h"
#include "station/machine_sheet.h"

namespace ziv {

class StationLog;

class EntryFlow {
public:
    // How a value came in.
    enum class Way { Instrument, Number, Text, PassFailKey };

    // One value entered on a point, with everything that became of it.
    struct Entry {
        // NoNumber: a reply or a box without any number ("ERR", "-----", empty).
        // SignRefused: a number typed with a minus on a point whose values are magnitudes.
        enum class Taken { Recorded, NoProduct, NotANumber, NoNumber, SignRefused };
        Taken taken = Taken::Recorded;
        Way way = Way::Number;
        // The function key: 1-10 for the instrument of F1-F10, 11 for F11 (NG),
        // 12 for F12 (OK); 0 for what is typed.
        int key = 0;
        std::string inputName;  // the instrument's, as the day workbook records it
        std::string text;       // as it came: the value cut from the reply, the box's text, "OK" or "NG"
        int machine = 0;
        int point = 0;
        SheetRow before;  // the point's row as the entry found it
        SheetRow after;   // and as the entry left it
        Judgement judgement = Judgement::None;
        // Set for a fail: the rejection file written, or why not.
        std::optional<FileResult> rejection;
        std::string book;  // the day workbook
        // When it was measured, on the file server's clock: the newest wins in the workbook.
        MeasuredAt at;
        // The station's log kept it on its disk, or why not (it then waits in memory).
        FileResult kept;
        std::string reply;  // a reading's reply as the instrument sent it
        // The gauge of the key, as the register names it, and whether its
        // calibration had run out when the reading was taken.
        Gauge gauge;
        bool gaugeOverdue = false;
        // The entry in the measurement journal, or why it waits; none when
        // the station keeps no journal.
        std::optional<JournalWrite> journal;
        // A number on a point with fixed control limits that broke them.
        std::optional<ControlSignal> signal;
        explicit operator bool() const { return taken == Taken::Recorded; }
    };

    // What shows the station: told of each change as it is made.
    class View {
    public:
        virtual ~View() = default;
        virtual void RowChanged(int machine, int point) = 0;
        // Loaded or emptied whole.
        virtual void SheetChanged(int machine) = 0;
        // The input position moved on to `point`; `top` is the point the view
        // brings to its top.
        virtual void PointMoved(int machine, int point, int top) = 0;
        // The input position put back on the first point, the view at its top.
        virtual void PointReset(int machine) = 0;
    };

    // A file that could not be read while a machine was loaded.
    struct Unreadable {
        enum class File { DayBook, Master };
        File file = File::DayBook;
        std::string path;
        FileResult reason;  // Unreadable or BookUnreadable
    };
    using Unreadables = std::vector<Unreadable>;

    // Values that cannot be written wait in `log`; `view` is told of every
    // change. The workbooks, the journal and the rejection records are
    // reached through `files`.
    EntryFlow(std::string userName, StationLog& log, Files files, View& view);

    // Every entry also goes into the station's measurement journal, in the
    // product folder setting's ＺＩＶログ: `station` names this station there,
    // `gauges` the instruments of F1-F10 and their calibration.
    void KeepJournal(std::string station, const Gauges& gauges);

    // The product folder setting: root of the rejection records and the journal.
    void SetProductFolder(std::string folder) { productFolder_ = std::move(folder); }
    const std::string& ProductFolder() const { return productFolder_; }
    // The date whose day workbooks take the values; machines load again only
    // when told. A date no report could read back (RecordableDay) is refused
    // and the working date stays: no value goes where it cannot be found.
    bool SetWorkDate(const WorkDate& date);
    const WorkDate& WorkingDate() const { return workDate_; }

    // The product folder registered on machine m; empty for none.
    void SetProduct(int machine, const std::string& folder);
    const ProductPathList& ProductPaths() const { return paths_; }
    const std::string& ProductPath(int machine) const { return paths_[machine]; }
    const std::string& ProductName(int machine) const { return names_[machine]; }
    bool Registered(int machine) const { return !paths_[machine].empty(); }

    // Machine m's sheet from its day workbook, the values of it still waiting
    // and its product master. The input position stays, except that a day
    // without a workbook yet starts on its first empty point.
    Unreadables Load(int machine);
    // Loaded, and the input position on its first empty point with the first point on top.
    Unreadables LoadFromTheTop(int machine);
    Unreadables LoadEveryMachine();

    // A load in three steps, so that the files can be read on another thread
    // and the window never waits for a share that does not answer. Begin
    // empties the sheet's values (the master stays until the new one is in,
    // so that a value entered meanwhile on the same product is still judged)
    // and says what to read; ReadLoad touches nothing of the flow; Finish
    // shows what was read. Values entered, or delivered by the writer, while
    // the files were on their way are newer than what was read and stay as
    // they are; a load begun again for the machine makes an older one's
    // result count for nothing.
    struct LoadRequest {
        int machine = 0;
        std::uint64_t generation = 0;
        bool fromTheTop = false;
        std::string book, master;  // empty without product
    };
    struct LoadedFiles {
        LoadRequest request;
        bool bookPresent = false;
        BookRead book;
        bool masterPresent = false;
        std::vector<MasterRow> masterRows;  // kFirstPoint.. as read
        FileResult masterProblem;
    };
    LoadRequest BeginLoad(int machine, bool fromTheTop);
    static LoadedFiles ReadLoad(const LoadRequest& request, Disk& disk);
    Unreadables FinishLoad(LoadedFiles files);
    // A load of the machine was begun and is not finished.
    bool Loading(int machine) const { return loading_[machine] != 0; }
    // Machine m without product: an empty sheet, no workbook, the first point.
    void Clear(int machine);

    // Values go to the machine shown; showing one moves its input position on.
    int ShownMachine() const { return shown_; }
    void ShowMachine(int machine);
    // The input position of machine m: the point its next value goes to.
    int Point(int machine) const;
    // The operator put machine m's input position on `point`.
    void SelectPoint(int machine, int point);
    void SetAutoAdvance(bool on) { autoAdvance_ = on; }
    bool AutoAdvance() const { return autoAdvance_; }
    // The first empty point of the machine shown, brought to the top.
    void SearchEmptyPoint();

    // Entries on the input position of the machine shown; none is taken on a
    // machine without product. An instrument's reading and a typed number are
    // entered as their magnitude (with their sign on a point that keeps it),
    // judged and corrected. A typed number box that holds anything but one
    // number (digits and one point, and a leading minus there) is refused; a
    // reading or a box without any number is refused too, the reading
    // journalled as refused.
    Entry EnterReading(const std::string& valueText, int key, const std::string& inputName,
                       const std::string& reply = {});
    Entry EnterNumber(const std::string& boxText);
    // Whether the number box may take a minus: the input position of the
    // machine shown keeps its values' sign.
    bool SignKept() const { return sheets_[shown_].KeepsSign(points_[shown_]); }
    // Free text, not judged; empty text deletes the point's value.
    Entry EnterText(const std::string& text);
    // The F12 (pass) and F11 (fail) keys of gauges that give no number.
    Entry EnterPassFail(bool pass);

    // Entries go into the station's log only, and `wake` tells the writer
    // that delivers them (see station_log/entry_writer.h): the operator never
    // waits for the file server.
    void WakeWriterWith(std::function<void()> wake) { wake_ = std::move(wake); }
    // Now on the file server's clock, and this station: what an entry made now carries.
    MeasuredAt MeasuredNow() const;
    // A day workbook as the writer wrote it: rows another station measured
    // meanwhile are shown as the file holds them, unless a newer value of
    // this station still waits for them.
    void TakeWritten(const std::string& book, const std::map<int, MeasuredRow>& rows);
    // The day workbook machine m's values go to.
    std::string DayBook(int machine) const { return BookPath(machine); }

    // Fixed control limits and the recent values they are checked with, as
    // read beside the window (ReadControlData); this run's own entries stay.
    void UseControlData(ControlData data);
    const ControlWatch& Watch() const { return watch_; }
    // The chart's values of a point on a machine: its recent values, its
    // current one last.
    std::vector<double> ChartValues(int machine, int point) const;
    // What the operator did about a signal of a point on a machine: the
    // journal keeps it, and the signal is cleared.
    std::optional<JournalWrite> RecordReaction(int machine, int point, const std::string& what);

    // The run ends: every workbook was saved whole with its last value.
    void CloseAll() { dayBooks_.CloseAll(); }

    const MachineSheet& Sheet(int machine) const { return sheets_[machine]; }
    int SavedCount() const { return savedCount_; }
    // Points with a nominal size met by every load of the run.
    int LoadedPointCount() const { return loadedPointCount_; }

private:
    Entry Begin(Way way, int key, const std::string& inputName, const std::string& text) const;
    Entry EnterMagnitude(Entry entry, const std::string& magnitude);
    Entry Record(Entry entry);
    FileResult WriteRejection(const Entry& entry) const;
    void WriteJournal(Entry& entry);
    std::optional<JournalWrite> KeepLine(const JournalEntry& line);
    JournalEntry EventLine(EntryWay way, int machine, int point, const std::string& text) const;
    void WatchValue(Entry& entry);
    std::optional<Day> WorkDay() const;
    std::string BookPath(int machine) const;
    void ShowWaitingRows(int machine, const std::string& book);
    void TouchedWhileLoading(int machine, int point);
    void ShowLoadedRows(LoadedFiles& files, const std::set<int>& touched, Unreadables& problems);
    void TakeMaster(const LoadedFiles& files, Unreadables& problems);
    void PlaceAfterLoad(const LoadRequest& request, bool bookPresent, const std::set<int>& touched);
    // A number entered before its master was read: its instrument and when it was measured.
    struct Unjudged {
        std::string inputName;
        MeasuredAt at;
    };
    void JudgeLate(int machine, int point, const Unjudged& blind, const std::string& book);
    void Advance(int machine);
    void MoveTo(int machine, int point, int top);
    void ResetPoint(int machine);

    std::string userName_;
    StationLog& log_;
    Files files_;
    DayBooks dayBooks_;
    View& view_;
    std::string productFolder_;
    WorkDate workDate_;
    ProductPathList paths_{};
    ProductPathList names_{};
    std::array<MachineSheet, kMachineCount> sheets_{};
    std::array<int, kMachineCount> points_;
    int shown_ = 0;
    bool autoAdvance_ = true;
    int savedCount_ = 0;
    std::optional<std::string> station_;  // set: entries go into the journal
    Gauges gauges_{};
    int loadedPointCount_ = 0;
    std::function<void()> wake_;
    // Per machine: the generation of the load on its way (0: none), and the
    // points entered or written since it began.
    std::array<std::uint64_t, kMachineCount> loading_{};
    std::array<std::set<int>, kMachineCount> touched_{};
    // Numbers entered while the master was still on its way: judged once it is in.
    std::array<std::map<int, Unjudged>, kMachineCount> unjudged_{};
    std::uint64_t lastGeneration_ = 0;
    ProductPathList sheetProducts_{};  // whose master each sheet holds
    ControlWatch watch_;
    RecentValues recent_;
    std::vector<JournalEntry> ownValues_;  // this run's on watched points, kept over a new ControlData
};

}  // namespace ziv
