#pragma once
// Shared set-up of the settings window tests: a fresh installation root, a
// home folder inside it, and every message box recorded instead of shown.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "common/text_file.h"
#include "faulty_disk.h"
#include "links/settings_window_ui.h"
#include "platform/paths.h"
#include "recording_dialogs.h"
#include "temp_root.h"

struct SettingsWindowTest {
    TempRoot root;
    std::string home = root / "home";
    RecordingDialogs dialogs;
    std::vector<ziv::ShownMessage>& messages = dialogs.messages;
    FaultyDisk disk;

    SettingsWindowTest() {
        ziv::MakeFolders(home);
        ziv::MakeFolders(root / "Config");
        setenv("HOME", home.c_str(), 1);
    }

    std::string linksFile() const { return root / "Config/RS232C.dat"; }
    std::string folderFile() const { return root / "Config/ProductDir.dat"; }
    std::string folder(const std::string& name) const {
        ziv::MakeFolders(root / name);
        return root / name;
    }
};

template <class T>
T* Control(ziv::SettingsWindow& form, const char* name) {
    return form.findChild<T*>(name);
}
inline QComboBox* List(ziv::SettingsWindow& form, const char* name) { return Control<QComboBox>(form, name); }
inline QLineEdit* Box(ziv::SettingsWindow& form, const char* name) { return Control<QLineEdit>(form, name); }
inline QPushButton* Button(ziv::SettingsWindow& form, const char* name) { return Control<QPushButton>(form, name); }

inline std::string Shown(ziv::SettingsWindow& form, const char* name) {
    if (auto* list = List(form, name)) return list->currentText().toStdString();
    if (auto* box = Box(form, name)) return box->text().toStdString();
    return "<no control " + std::string(name) + ">";
}

inline std::vector<std::string> FileLines(const std::string& path) {
    return ziv::ReadTextLines(path).value_or(std::vector<std::string>{});
}

// Readable failure output for window texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
