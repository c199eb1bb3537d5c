#pragma once
// The window benchmarks need a QApplication, offscreen, around the benchmark run.
#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <iostream>

#include "common/failure_text.h"
#include "drawing/drawing_export_qt.h"
#include "platform/share_lock.h"

namespace ziv {

// A benchmark's set-up that could not write its files measures nothing: stop.
inline void Must(const FileResult& result) {
    if (result) return;
    std::cerr << FailureText(result) << "\n";
    std::abort();
}

// `beforeQuit` releases what the benchmarks kept, while the application still lives.
inline void RunBenchmarksWithApplication(int argc, char** argv, const std::function<void()>& beforeQuit = {}) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AllowLargeDrawings();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (beforeQuit) beforeQuit();
}

}  // namespace ziv
