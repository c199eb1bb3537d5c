#pragma once
// A fresh installation root for the station's benchmarks: products registered
// on as many machines as asked, each with a 100-point master, and today's day
// workbooks full where asked.
#include <QDate>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "bench_qt_main.h"
#include "links/instrument_link.h"
#include "records/day_book.h"
#include "records/product_registry.h"
#include "station/measurement_window_ui.h"
#include "workbook/workbook.h"

namespace ziv {

// A fresh installation root with `machines` products registered, each with a
// 100-point master; with `fullBooks`, today's day workbook of every machine is full.
struct Installation {
    std::string root;
    std::string user;
    explicit Installation(int machines, bool fullBooks) {
        char pattern[] = "/tmp/ziv-bench-XXXXXX";
        root = mkdtemp(pattern);
        setenv("ZIV_ROOT", root.c_str(), 1);
        std::filesystem::create_directories(root + "/Config");
        Must(WriteDefaultLinks(LinksFilePath(root)));
        std::string products = root + "/products";
        std::filesystem::create_directories(products);
        Must(SaveProductFolder(ProductFolderFilePath(root), products));
        user = root + "/op";
        std::filesystem::create_directories(user);
        ProductPathList paths{};
        QDate today = QDate::currentDate();
        WorkDate date{std::to_string(today.year()), std::to_string(today.month()), std::to_string(today.day())};
        for (int m = 0; m < machines; ++m) {
            std::string name = "P" + std::to_string(m);
            paths[m] = products + "/" + name;
            std::filesystem::create_directories(paths[m] + "/data");
            Workbook master = Workbook::New();
            for (int r = 1; r <= 100; ++r) {
                master.SetCell(1, r, 1, std::to_string(10 + r));
                master.SetCell(1, r, 2, "0.02");
                master.SetCell(1, r, 3, "-0.01");
                master.SetCell(1, r, 4, std::to_string(10 + r));
            }
            Must(master.SaveAs(paths[m] + "/data.xls"));
            if (!fullBooks) continue;
            Workbook book = NewDayBook(100, [](int r) {
                return MasterRow{std::to_string(10 + r), "0.02", "-0.01", std::to_string(10 + r)};
            });
            for (int r = 1; r <= 100; ++r)
                WriteDayBookRow(book, r, {"M", std::to_string(10 + r) + ".005", "合", "-0.005"});
            Must(book.SaveAs(DayBookPath(paths[m], "op", name, m, date)));
        }
        Must(SaveDirectoryFile(StationFiles(), DirectoryFilePath(user), paths));
    }
    ~Installation() { std::filesystem::remove_all(root); }
    SignedInOperator Operator() const { return {root, user, "op"}; }
};

}  // namespace ziv
