// ziv-demo-root: writes the demonstration installation that scripts/demo-prepare
// completes with ziv-workbook, and tells the scripts what the demo gauge answers.
#include <QGuiApplication>
#include <iostream>
#include <string>

#include "demo_products.h"
#include "common/failure_text.h"
#include "platform/paths.h"

namespace {

const char* kUsage =
    "usage: ziv-demo-root files ROOT      write the demo installation below ROOT (all but the masters)\n"
    "       ziv-demo-root products ROOT   print each demo product folder below ROOT, one a line\n"
    "       ziv-demo-root master FOLDER   print the master of that product as `ziv-workbook make` lines\n"
    "       ziv-demo-root values          print the demo gauge's answers, comma-separated\n";

int Files(const std::string& root) {
    // Drawings are painted with Qt's fonts; no display is ever needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "ziv-demo-root";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    auto written = ziv::demo::WriteDemoFiles(root);
    if (!written) {
        std::cerr << "ziv-demo-root: " << ziv::FailureText(written) << "\n";
        return 1;
    }
    return 0;
}

int Master(const std::string& folder) {
    for (const auto& product : ziv::demo::DemoProducts()) {
        if (ziv::LastPathComponent(folder) != product.Name) continue;
        std::cout << ziv::demo::MasterLines(product);
        return 0;
    }
    std::cerr << "ziv-demo-root: " << folder << " is not a demo product\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "values" && argc == 2) {
        std::cout << ziv::demo::GaugeValues() << "\n";
        return 0;
    }
    if (argc != 3) {
        std::cerr << kUsage;
        return 2;
    }
    std::string arg = argv[2];
    if (command == "files") return Files(arg);
    if (command == "master") return Master(arg);
    if (command == "products") {
        for (const auto& product : ziv::demo::DemoProducts())
            std::cout << ziv::demo::ProductFolder(arg, product) << "\n";
        return 0;
    }
    std::cerr << kUsage;
    return 2;
}
