#pragma once
// A drawing editor on a fresh installation root, with a fake measurement
// window and every message box recorded instead of shown.
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/text_file.h"
#include "drawing/editor_host.h"
#include "drawing/drawing_editor_ui.h"
#include "drawing/point_table.h"
#include "faulty_disk.h"
#include "links/instrument_link.h"
#include "platform/paths.h"
#include "platform/share_lock.h"
#include "recording_dialogs.h"
#include "temp_root.h"

namespace ziv::testing {

class FakeHost : public EditorHost {
public:
    int machine = 0;
    std::map<int, int> rows;  // machine -> current grid row
    std::string productFolder;
    bool appEnd = false;
    DrawingEditor* editor = nullptr;
    int focusCount = 0;
    mutable int exportFileAsked = 0;
    bool measurementEnabled = true;

    int ShownMachine() const override { return machine; }
    int CurrentRow(int m) const override {
        auto it = rows.find(m);
        return it == rows.end() ? 1 : it->second;
    }
    std::string ShownProductFolder() const override { return productFolder; }
    bool RunEnded() const override { return appEnd; }
    std::string ExportFile() const override {
        ++exportFileAsked;
        return JoinPath(productFolder, "Data.jpg");
    }
    void FocusGrid() override { ++focusCount; }
    void SetMeasurementWindowEnabled(bool enabled) override { measurementEnabled = enabled; }
    std::vector<std::pair<std::string, int>> kept;  // designations the station was asked to keep
    Files* files = nullptr;                         // a station without a writer: written at once
    DesignationKept KeepDesignation(const std::string& pointFile, int point, const DesignatedPoint& d) override {
        kept.emplace_back(pointFile, point);
        DesignationKept k{true, {}, {}};
        k.written = SaveDesignatedPoints(*files, pointFile, {{point, {d, {}}}}, &k.file);
        return k;
    }
};

// A drawing with lines, a frame and some text, mostly white like a real one.
inline QImage MakeDrawing(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 3));
    p.drawRect(10, 10, width - 20, height - 20);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(width / 4, height / 4, width * 3 / 4, height / 4);
    p.drawLine(width / 4, height / 4, width / 4, height * 3 / 4);
    p.drawEllipse(QPoint(width / 2, height / 2), width / 8, height / 8);
    QFont font;
    font.setFamilies({QStringLiteral("IPAGothic")});
    font.setPixelSize(std::max(12, height / 30));
    p.setFont(font);
    p.drawText(QRect(20, height - 60, width - 40, 40), Qt::AlignRight, QStringLiteral("部品図 A-A 断面 φ12 H7"));
    return image;
}

inline std::string SaveDrawing(const std::string& path, int width, int height) {
    MakeFolders(path.substr(0, path.find_last_of('/')));
    MakeDrawing(width, height).save(QString::fromStdString(path), "JPEG", 95);
    return path;
}

class EditorTest : public ::testing::Test {
protected:
    TempRoot root;
    FakeHost host;
    RecordingDialogs dialogs;
    std::vector<ShownMessage>& messages = dialogs.messages;
    FaultyDisk disk;
    Files files{disk, StationFileLocks()};
    std::unique_ptr<DrawingEditor> form;
    std::int64_t moveClock = 0;  // milliseconds of the editor's drag pacing

    void SetUp() override {
        MakeFolders(root / "Config");
        InstrumentLinks links;
        links.fill(DefaultInstrumentLink());
        links[0].DisplayName = "デジマチック";
        ASSERT_TRUE(SaveInstrumentLinks(LinksFilePath(root.path()), links));
        host.productFolder = root / "製品A";
        MakeFolders(host.productFolder);
    }

    void TearDown() override { form.reset(); }

    DrawingEditor& Editor() {
        if (!form) {
            host.files = &files;
            form = std::make_unique<DrawingEditor>(&host, root.path(), dialogs, files);
            host.editor = form.get();
            EXPECT_TRUE(form->Load());
            form->SetMoveClock([this] { return moveClock; });  // drags are paced by hand
        }
        return *form;
    }

    // Registers a drawing for the machine shown and loads its Data.dat.
    void ShowProduct(int width, int height) {
        std::string drawing = SaveDrawing(host.productFolder + "/製品A.jpg", width, height);
        Editor();
        ASSERT_TRUE(form->LoadDrawing(host.machine, drawing));
        form->LoadPosDat(PointTableFilePath(host.productFolder));
        form->currentPointChanged();
    }

    // Writes a Data.dat holding the given placed points (number, x, y, instrument).
    struct Placed {
        int number;
        float x, y;
        int instrument;
    };
    void WritePoints(const std::vector<Placed>& points) {
        PointTable table;
        for (const Placed& p : points) {
            table.PosX[p.number] = p.x;
            table.PosY[p.number] = p.y;
            table.InstrumentIndex[p.number] = static_cast<std::int16_t>(p.instrument);
        }
        ASSERT_TRUE(SavePointTable(StationFiles(), PointTableFilePath(host.productFolder), table));
    }

    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (const auto& m : messages) texts.push_back(m.text);
        return texts;
    }
};

// Red dominates: the disc's fill, allowing for JPEG's blur.
inline bool IsReddish(QColor c) { return c.red() > 180 && c.green() < 90 && c.blue() < 90; }
inline bool IsBluish(QColor c) { return c.blue() > 150 && c.red() < 110 && c.green() < 110; }
inline bool IsMagentaish(QColor c) { return c.red() > 180 && c.blue() > 180 && c.green() < 90; }

}  // namespace ziv::testing
