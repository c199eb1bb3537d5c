#pragma once
// The measurement window: one grid per machine showing the entry flow's
// sheets, the instrument reading, the keys and panels that enter values, the
// product panel, the working date, and the operator record written when it
// closes.
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "drawing/editor_host.h"
#include "drawing/zoom_key_qt.h"
#include "links/instrument_link.h"
#include "links/reading_session.h"
#include "records/day_book.h"
#include "records/product_registry.h"
#include "station/registrations.h"
#include "station_log/entry_writer.h"
#include "station_log/station_log.h"
#include "records/server_clock.h"
#include "station/control_chart.h"
#include "station/entry_flow.h"
#include "workbook/workbook.h"

class QCalendarWidget;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace ziv {

class ColumnScroll;
class Dialogs;
class SheetGrid;
class FolderList;
class ProductPanel;
class WorkDatePanel;
class DrawingEditor;
class SerialPort;
class ControlChartView;
class SelfHeal;

// Who signed in, handed over by the operator window.
struct SignedInOperator {
    std::string SavePath;
    std::string UserDIR;
    std::string UserName;
};

class MeasurementWindow : public QWidget {
    Q_OBJECT
public:
    MeasurementWindow(const SignedInOperator& op, Dialogs& dialogs, Files files, QWidget* parent = nullptr);
    ~MeasurementWindow() override;

    // Start-up; false after a message when the program must end.
    bool startUp();
    // Shut-down: operator record, window positions, workbooks closed, the run ended.
    void shutDown();

    // The machine whose grid is shown, and its product folder.
    int ShownMachine() const { return flow_.ShownMachine(); }
    const std::string& ShownProductFolder() const { return shownProductFolder_; }
    // Shut down: the editor may close now.
    bool HasEnded() const { return ended_; }

    std::string GetProductName(const std::string& path) const { return ziv::GetProductName(path); }

    // Procedures of the window.
    void ShowMachine(int n);
    void SelectInstrument(int n);
    void RequestReading();
    bool SendRequest(const std::string& text);
    // The value cut from an instrument's reply, entered with that instrument's name.
    void AcceptReading(const std::string& valueText);

    // State that tests and the other windows look at.
    SheetGrid* Grid(int m) const { return grids_[m]; }
    const std::string& ProductPath(int m) const { return flow_.ProductPath(m); }
    const std::string& ProductName(int m) const { return flow_.ProductName(m); }
    int SavedCount() const { return flow_.SavedCount(); }
    int LoadedPointCount() const { return flow_.LoadedPointCount(); }
    bool ReadingPending() const { return session_.Active(); }
    bool Measuring() const { return mode_ == WindowMode::Measuring; }
    int CurrentKey() const { return currentKey_; }
    const std::string& ReplyBuffer() const { return session_.Reply(); }
    const std::string& OperatorLog() const { return operatorLog_; }
    const WorkDate& WorkingDate() const { return flow_.WorkingDate(); }
    const std::string& ProductFolder() const { return flow_.ProductFolder(); }
    // The fixed control limits and the recent values are still being read beside the window.
    bool ControlDataPending() const { return controlLoad_ != nullptr; }
    // Values and registrations that could not be written yet.
    size_t WaitingCount() const { return log_.Count(); }
    // Lets the writer deliver what waits, waiting at most ms, and shows what
    // it wrote, as closing does: true when nothing waits.
    bool DeliverWaiting(int ms);
    // The calendar day the station lives in: the system's, unless a test moves it.
    void UseToday(std::function<Date()> today) { today_ = std::move(today); }
    DrawingEditor* Editor();
    SerialPort* Port() const { return port_; }
    QTimer* ReadingTimer() const { return readingTimer_; }

public slots:
    void startMeasuring();  // 開始
    void enterNumber();  // 手動数値入力 入力
    void enterText();  // 手動文字入力 入力
    void searchEmptyPoint();  // 検索
    void openCalendar();  // 日付 選択
    void openProductPanel();  // 製品名 選択
    void registerProduct();  // 登録
    void unregisterProduct();  // 登録解除
    void closeProductPanel();  // キャンセル
    void autoAdvanceClicked();
    void clearNumberClicked();
    void clearTextClicked();
    void gridRowChanged(int m);
    void dateClicked(int year, int month, int day);
    void onPortData();
    void onReadingTimeout();
    void keyReleased(int key);
    void characterTyped(const QString& character);
    // Tries again to write what waits (the retry timer's tick).
    void retryWaiting();

signals:
    // The run is over: the program ends.
    void Ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // What the drawing editor sees of this window.
    class EditorLink : public EditorHost {
    public:
        explicit EditorLink(MeasurementWindow& form) : f(form) {}
        int ShownMachine() const override { return f.flow_.ShownMachine(); }
        int CurrentRow(int machine) const override;
        std::string ShownProductFolder() const override { return f.shownProductFolder_; }
        bool RunEnded() const override { return f.ended_; }
        std::string ExportFile() const override;
        void FocusGrid() override { f.FocusGrid(); }
        void SetMeasurementWindowEnabled(bool enabled) override { f.setEnabled(enabled); }
        DesignationKept KeepDesignation(const std::string& pointFile, int point,
                                        const DesignatedPoint& designated) override;

    private:
        MeasurementWindow& f;
    };

    // The grids show the flow's sheets and input positions.
    class GridLink : public EntryFlow::View {
    public:
        explicit GridLink(MeasurementWindow& form) : f(form) {}
        void RowChanged(int machine, int point) override;
        void SheetChanged(int machine) override;
        void PointMoved(int machine, int point, int top) override { f.ShowPoint(machine, point, top); }
        void PointReset(int machine) override { f.ShowFirstPoint(machine); }

    private:
        MeasurementWindow& f;
    };

    void FocusGrid();
    void ShowState(const QString& text);
    // The control watch (control_ui.cpp): fixed limits and recent values read
    // on a thread of their own, a signal in the state label, the chart.
    struct ControlLoad;
    void BuildControlWatch();
    void RefreshControlData();
    void TakeControlData();
    void ShowControl(const EntryFlow::Entry& entry);
    void UpdateChart();
    std::optional<ControlSignal> ToldSignal() const;
    ChartSubject ShownSubject() const;
    void recordReaction();
    void ShowMeasuringState();
    // The label at rest, and as the values of the part shown come and go:
    // 「全点測定済み」 once every point of the master holds a value.
    void ShowRestingState();
    void ShowPartState(int m);
    // The working date (shown_machine_and_date_ui.cpp): shown in amber when
    // it is not today, asked about once on a later day, changed with every
    // machine loaded again.
    void ShowWorkDate();
    void AskAboutWorkDate();
    void ChangeWorkDate(const Date& day);
    void BuildControls();
    QGroupBox* BuildGrids();
    void ReadOperatorProducts();
    void StartOperatorRecord();
    // The product drawings and the log folders, read and made beside the
    // window (drawing_load_ui.cpp): a drawing is waited for a bounded time and
    // shown when it comes, a newer request for a machine voiding an older one;
    // a log folder that cannot be made is told once, when that is known.
    struct DrawingLoad;
    struct FolderTask;
    void CreateLogFolders();
    void LoadDrawingFor(int m);
    void TakeBesideWork();
    void TellLogFolders();
    void EndMeasuringMode();
    // The grid's current row follows machine m's input position.
    void ShowPoint(int m, int point, int top);
    void ShowFirstPoint(int m);
    void FollowFlow(int m, int point);
    void ShowInputPosition(int m);
    // What the operator must hear of an entry: a rejection not recorded, a value not saved.
    void Tell(const EntryFlow::Entry& entry);
    // A reading taken with a gauge past its calibration date: in the state
    // label every time, in a message once per key and run.
    void TellOverdue(const EntryFlow::Entry& entry);
    void StartJournal();
    void TellUnreadable(const EntryFlow::Unreadables& files);
    // Machine m's product as the flow now holds it, kept in the station's
    // log and written into Directory.dat by the writer (or at once without one).
    void KeepRegistration(int m);
    // Machines whose product another station registered: taken over here,
    // with their day workbooks and drawings.
    void TakeOverRegistrations(const std::vector<int>& machines);
    // Points of a Data.dat as written, to every machine showing that product.
    void TakeWrittenPoints(const std::string& pointFile, const PointTable& table);
    // Day workbooks and masters read on a thread of their own
    // (day_load_ui.cpp): the window waits a bounded time, then goes on, says
    // that the share does not answer, and shows them when they come.
    struct DayLoad;
    void LoadMachines(const std::vector<int>& machines, bool fromTheTop);
    static std::vector<int> EveryMachine();
    void TakeLoaded();
    void ShowLoadWaiting(bool waiting);
    void WatchForHealing();
    // What the last run left unwritten: read, and written before anything else.
    void LoadWaiting();
    // Writes what waits; after a save of its own, without waiting for a lock
    // another station holds (the timer tries again).
    void WriteWaiting();
    // What the writer did meanwhile: workbooks shown anew, a cause told once.
    void TakeProgress();
    // At closing: the operator record kept, a bounded wait for the writer.
    void FinishDelivery();
    // The count of what waits, and the retry timer running while anything does.
    void ShowWaiting();
    // A failure that left something waiting; `queued` tells whether it is kept in the queue's file.
    void TellKept(const std::string& text, const FileResult& queued);
    void TellNotKept(const EntryFlow::Entry& entry);
    static std::string WaitingText(const StationLog::Tally& tally);
    void EndReading();
    void TellNoNumber(const EntryFlow::Entry& entry);
    void ClosePortIfOpen();
    bool ProductRegistered() const { return flow_.Registered(flow_.ShownMachine()); }
    void Warn(const std::string& text);

    Dialogs& dialogs_;
    Files files_;
    SignedInOperator op_;
    std::string shownProductFolder_;
    bool ended_ = false;
    InstrumentLinks links_{};
    int currentKey_ = 1;
    // A reading ends on the sixth tick of the one-second timer without a reply.
    ReadingSession session_{6};
    enum class WindowMode { Ready, Measuring, ChoosingDate, ChoosingProduct };
    void ApplyMode(WindowMode mode);
    WindowMode mode_ = WindowMode::Ready;
    // Declared after op_, whose root holds its file, and files_; shared with
    // the writer, which may outlive the window in a hung share.
    std::shared_ptr<StationLog> logHold_ = std::make_shared<StationLog>(OldQueuePath(op_.SavePath), files_.disk);
    StationLog& log_ = *logHold_;
    EntryWriter writer_{logHold_, files_, StationServerClock()};
    static constexpr int kClosingWaitMs = 3000;
    // A try of the writer that has not ended after this long: the share hangs.
    static constexpr int kHungShareMs = 3000;
    GridLink gridLink_{*this};
    EntryFlow flow_{op_.UserName, log_, files_, gridLink_};
    Registrations registrations_{log_, files_, DirectoryFilePath(op_.UserDIR)};
    // The operator has been told that things wait; again only once all is written.
    bool toldWaiting_ = false;
    // Values an earlier run left, named in the first word of a share that does not take them.
    size_t earlierWaiting_ = 0;
    std::array<bool, 10> toldOverdue_{};
    std::string operatorLog_;
    int startHour_ = 0, startMinute_ = 0;
    std::string chargeText_;
    std::string recordDate_;  // the date shown at sign-in
    std::function<Date()> today_;
    Date workDateSince_;  // the day the working date was chosen or last confirmed on
    QTimer* dayTimer_ = nullptr;
    bool loaded_ = false;
    bool unloaded_ = false;

    std::array<SheetGrid*, kMachineCount> grids_{};
    std::array<QGroupBox*, kMachineCount> gridFrames_{};
    EditorLink editorLink_{*this};
    std::unique_ptr<DrawingEditor> editor_;
    SerialPort* port_ = nullptr;
    QTimer* readingTimer_ = nullptr;
    QTimer* retryTimer_ = nullptr;
    QTimer* loadTimer_ = nullptr;
    std::vector<std::shared_ptr<DayLoad>> dayLoads_;
    std::array<std::shared_ptr<DrawingLoad>, kMachineCount> drawingLoads_;
    std::shared_ptr<FolderTask> logFolders_;
    QTimer* besideTimer_ = nullptr;
    // Checks this station's journal against the day workbooks on the
    // writer's thread (self_heal.h); shared with it.
    std::shared_ptr<SelfHeal> heal_;
    static constexpr int kLoadWaitMs = 2000;
    ZoomKey zoomKey_;

    // Controls; tests and assistive technology find them by their object names.
    QGroupBox *inputPositionPanel = nullptr, *instrumentPanel = nullptr, *machinePanel = nullptr, *productNamePanel = nullptr, *numberEntryPanel = nullptr,
              *textEntryPanel = nullptr;
    WorkDatePanel* datePanel = nullptr;
    ProductPanel* productPanel = nullptr;
    QLineEdit *inputPositionBox = nullptr, *instrumentBox = nullptr, *machineBox = nullptr, *numberEntryBox = nullptr, *productNameBox = nullptr,
              *textEntryBox = nullptr, *dateBox = nullptr, *productPathBox = nullptr;
    QCheckBox *autoAdvanceBox = nullptr, *clearNumberBox = nullptr, *clearTextBox = nullptr;
    QPushButton *startButton = nullptr, *unregisterButton = nullptr, *enterNumberButton = nullptr, *enterTextButton = nullptr,
                *searchButton = nullptr, *chooseDateButton = nullptr, *chooseProductButton = nullptr, *registerButton = nullptr,
                *closeProductPanelButton = nullptr;
    QLabel* stateLabel = nullptr;
    // The controls beside the grid; they scroll where the screen is too short for all of them.
    ColumnScroll* sidePanel_ = nullptr;
    QLabel* waitingLabel = nullptr;
    QPushButton* reactionButton = nullptr;
    ControlChartView* controlChart = nullptr;
    QTimer* controlTimer_ = nullptr;
    std::shared_ptr<ControlLoad> controlLoad_;
    QString controlProblems_;
    bool controlAgain_ = false;
    std::optional<std::pair<int, int>> signalShown_;  // point, machine
    QCalendarWidget* calendar = nullptr;
    FolderList* folderList = nullptr;
};

}  // namespace ziv
