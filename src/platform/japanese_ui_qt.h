#pragma once
// Every window of the system speaks Japanese whatever the computer's
// language: Qt's own dialogs and buttons (file dialogs, message box buttons,
// the calendar's months and days) from Qt's Japanese translations, and
// numbers, sizes and dates in the Japanese way.
class QCoreApplication;
class QAbstractFileIconProvider;

namespace ziv {

// Call first, before the application is made: Qt takes the computer's
// locale (the sizes and dates of its file dialogs) from the environment once.
void JapaneseLocaleForQt();

// Call once, right after the application is made. False when Qt's Japanese
// translations are not installed (Qt's own texts then stay English).
bool UseJapanese(QCoreApplication& app);

// File types named in Japanese for a file dialog's details: Qt's
// translations leave them English.
QAbstractFileIconProvider* JapaneseFileTypes();

}  // namespace ziv
