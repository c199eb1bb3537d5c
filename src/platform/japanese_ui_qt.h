#pragma once
// Every window of the system speaks Japanese whatever the computer's
// language: Qt's own dialogs and buttons (file dialogs, message box buttons,
// the calendar's months and days) from Qt's Japanese translations, and
// numbers, sizes and dates in the Japanese way.
class QCoreApplication;
class QFileDialog;

namespace ziv {

// Call once, right after the application is made. False when Qt's Japanese
// translations are not installed (Qt's own texts then stay English).
bool UseJapanese(QCoreApplication& app);

// A file dialog's details (size, type, date) in Japanese: Qt gives them in
// the computer's language and names types in English whatever its translations.
void JapaneseFileDetails(QFileDialog& dialog);

}  // namespace ziv
