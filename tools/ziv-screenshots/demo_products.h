#pragma once
// The demonstration installation: one operator, two products with their
// drawings, masters and point tables, and what the simulated gauge answers.
// Shared by ziv-demo-root (which writes it) and ziv-screenshots (which shows it).
#include <QImage>
#include <string>
#include <vector>

#include "common/text_file.h"

namespace ziv::demo {

// One measurement point: its master values, where its dimension stands on
// the drawing, and the value the demonstration gauge reads for it.
struct DemoPoint {
    const char* Label;      // dimension text on the drawing ("Φ120")
    const char* Nominal;    // master column A
    const char* Upper;      // B, added to the nominal size
    const char* Lower;      // C, added to the nominal size
    const char* Target;     // D; empty: no correction
    int LabelX, LabelY;     // left end and middle of the dimension text, drawing pixels
    int AnchorX, AnchorY;   // the feature the leader points at
    bool Placed;            // marked in Data.dat
    int Instrument;         // instrument list index stored in Data.dat
    const char* Reading;    // the gauge's answer for this point
};

struct DemoProduct {
    const char* Name;       // folder and drawing name
    const char* Title;      // 品名 in the title block
    const char* Number;     // 図番
    int Width, Height;      // drawing pixels
    std::vector<DemoPoint> Points;
};

constexpr const char* kOperatorName = "検査員1";
constexpr const char* kMarkerFile = ".ziv-demo";

const std::vector<DemoProduct>& DemoProducts();

// Folders below the demonstration root.
std::string OperatorFolder(const std::string& root);
std::string ProductRootFolder(const std::string& root);   // the product folder setting
std::string ProductFolder(const std::string& root, const DemoProduct& product);

// Where a point's marker goes on the drawing: just left of its dimension text,
// so the exported disc does not hide the number it marks.
int MarkerX(const DemoPoint& point);
int MarkerY(const DemoPoint& point);

// The product's technical drawing.
QImage PaintDrawing(const DemoProduct& product);

// Lines for `ziv-workbook make`: sheet, row, column, text, tab-separated.
std::string MasterLines(const DemoProduct& product);

// The gauge's answers, comma-separated: the first product's points in order,
// then the second's.
std::string GaugeValues();

// Writes the operator lists, the settings files, the operator's product list
// (first product on machine 0, second on machine 1), and per product its
// drawing and point table. The masters come from MasterLines via ziv-workbook.
FileResult WriteDemoFiles(const std::string& root);

}  // namespace ziv::demo
