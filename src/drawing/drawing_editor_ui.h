#pragma once
// The drawing and measurement-point editor beside the measurement window:
// shows the product drawing of the machine shown, marks the current point,
// lets the user designate where each point lies and which instrument measures
// it, and exports the marked drawing.
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <array>
#include <set>
#include <string>

#include "drawing/editor_host.h"
#include "drawing/point_table.h"
#include "drawing/position_files.h"
#include "drawing/view_geometry.h"
#include "drawing/zoom_key_qt.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace ziv {

class Dialogs;
class OverviewBox;
class DetailBox;

// A product's drawing and its Data.dat as read from the product folder. The
// folder is on the file server, which may hang: ReadDrawingFiles may run on
// any thread, and the editor takes what it read on its own.
struct DrawingFiles {
    QImage Image;  // null: the product has no drawing that can be shown
    std::string PointFile;
    PointTable Points;
    ReadStatus PointsRead = ReadStatus::Missing;
    FileResult PointsProblem;
};
DrawingFiles ReadDrawingFiles(int machine, const std::string& imagePath, const std::string& pointFile, Disk& disk);

class DrawingEditor : public QWidget {
    Q_OBJECT
public:
    DrawingEditor(EditorHost* host, const std::string& savePath, Dialogs& dialogs, Files files,
                  QWidget* parent = nullptr);
    ~DrawingEditor() override;

    // Reads RS232C.dat display names, fills instrumentList, applies DrawPos.dat, timer.
    // Returns false after showing "通信設定が行われていません。" when RS232C.dat is missing
    // (the caller then ends the program).
    bool Load();
    void LoadPosDat(const std::string& path);  // into the slot of the machine shown
    // Drops machine m's drawing and point table (its product was changed or unregistered).
    void forgetDrawing(int machine);
    // The points of machine's Data.dat as the station last wrote them, with
    // what other stations designated meanwhile.
    void TakeWrittenPoints(int machine, const PointTable& table);
    void currentPointChanged();
    void toggleZoom();  // zoom toggle
    bool IsZoomButtonEnabled() const;
    // Loads the drawing image for machine slot m at its natural size;
    // false when the file cannot be read as an image (slot stays empty).
    bool LoadDrawing(int machine, const std::string& imagePath);
    bool HasDrawing(int machine) const;
    // Machine's drawing and points as read by ReadDrawingFiles; without an
    // image the slot is emptied, as for a product without a drawing.
    void TakeDrawing(int machine, DrawingFiles files);
    // Window position for DrawPos.dat at shut-down: minimised remembered as 0, the window
    // made normal, Top/Left in twips as read afterwards.
    WindowPlacement TakePlacementForShutdown();
    // The remembered place did not fit this desktop and was brought onto it.
    bool PlaceBroughtBack() const { return placeBroughtBack_; }
    // Drags are paced by this clock (monotonic milliseconds); tests step it by hand.
    void SetMoveClock(std::function<std::int64_t()> clock) { moveThrottle_ = MoveThrottle(std::move(clock)); }

    // Handlers, named after their controls.
    void startDesignation();  // 測定箇所指定
    void confirmDesignation();  // OK
    void cancelDesignation();  // Cancel
    void resetDesignation();  // Reset
    void keyReleased(int key);
    void overviewMouseDown(int button, int shift, double x, double y);
    void overviewMouseMove(int button, int shift, double x, double y);
    void overviewMouseUp(int button, int shift, double x, double y);
    void detailMouseDown(int button, int shift, double x, double y);
    void detailMouseMove(int button, int shift, double x, double y);
    void detailMouseUp(int button, int shift, double x, double y);

    void ExportInspectionDrawing();  // Space
    void ShowAllPoints();            // Shift

    // What the views and the point tables hold, for the measurement window and tests.
    const PointTable& Table(int machine) const;
    bool PointsLoaded(int machine) const;
    const QImage& Drawing(int machine) const;
    ViewOrigin View() const { return {ViewX, ViewY}; }
    ViewSize DetailViewSize() const { return {ViewWidth, ViewHeight}; }
    bool IsZoomed() const { return mode_.view == EditorView::Zoomed; }
    bool InDesignMode() const { return mode_.view == EditorView::Designating; }
    TwipPoint Pending() const { return {static_cast<double>(PendingX), static_cast<double>(PendingY)}; }
    std::int32_t OverviewRadius() const { return OverviewMarkRadius_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Controls; tests and assistive technology find them by their object names.
    OverviewBox* const overview;
    DetailBox* const detail;
    QLabel* const instrumentLabel;
    QLabel* const instrumentCaption;
    QPushButton* const designateButton;
    QPushButton* const okButton;
    QPushButton* const cancelButton;
    QPushButton* const zoomButton;
    QPushButton* const resetButton;
    QComboBox* const instrumentList;

    void BuildControls();
    void layOutViews();
    int Machine() const;
    int CurrentPoint() const;  // the grid's current row when it is a point (1..100), else 0
    bool MachineHasDrawing() const;
    bool CurrentPointShown() const;
    DrawingSize CurrentDrawingSize() const;
    void PlaceDetail(bool withViewSize);
    void DetailRefresh();
    void PlaceBottomRow();
    int ViewsHeight() const;
    void SizeOverview();
    void SetOverviewBoxForNoDrawing();
    void DrawOverview();
    void CenterDetail(double x, double y);
    void DrawDetail();
    void OverviewPointer(double x, double y);
    void AddOverviewCircle(double x, double y, const QColor& colour);
    void MarkAllPlacedPoints();
    bool CanMarkPoints();
    void LeaveDesignMode();
    void SaveDesignatedTable(int point);
    void TakePoints(int machine, const std::string& path, ReadStatus status, const PointTable& table,
                    const FileResult& problem);
    bool HandlePreviewKey(QEvent* event);
    ZoomKey zoomKey_;

    EditorHost* host_;
    Dialogs& dialogs_;
    Files files_;
    std::string savePath_;
    PointTables PointTables_{};
    PointsLoadedFlags PointsLoaded_{};
    // Data.dat files that existed but could not be read this run: the tables
    // in memory do not hold their points, so "OK" never writes them over.
    std::set<std::string> unreadablePointFiles_;
    std::array<QImage, kMachineCount> drawings_;  // one drawing per machine
    std::array<std::string, kInstrumentListSize> instrumentTexts_;
    QElapsedTimer moveClock_ = [] {
        QElapsedTimer clock;
        clock.start();
        return clock;
    }();
    MoveThrottle moveThrottle_{[this] { return moveClock_.elapsed(); }};

    std::int32_t ViewX = 0;
    std::int32_t ViewY = 0;
    std::int32_t ViewWidth = 200;
    std::int32_t ViewHeight = 600;
    // What the editor shows: the detail view beside the overview, the detail
    // view over the whole window, or a point being designated. Zooming and
    // designating exclude each other: the zoomed view hides the overview that
    // designation points into.
    enum class EditorView { Beside, Zoomed, Designating };
    // What a held mouse button moves: the overview's mark or the detail view's
    // drawing; one button is held at a time.
    enum class MouseHold { Nothing, OverviewMark, DetailPan };
    struct EditorMode {
        // Before Load() the window has no layout of its own to keep.
        bool loaded = false;
        EditorView view = EditorView::Beside;
        MouseHold hold = MouseHold::Nothing;
    };
    EditorMode mode_;
    int designatedPoint_ = 0;  // the point "測定箇所指定" was pressed on
    std::int32_t PendingX = 0;
    std::int32_t PendingY = 0;
    std::int32_t DragLastX = 0;
    std::int32_t DragLastY = 0;
    std::int32_t OverviewMarkRadius_ = 0;
    bool placeBroughtBack_ = false;
};

}  // namespace ziv
