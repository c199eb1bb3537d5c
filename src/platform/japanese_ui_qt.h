#pragma once
// Every window of the system speaks Japanese whatever the computer's
// language: Qt's own dialogs and buttons (file dialogs, message box buttons,
// the calendar's months and days) from Qt's Japanese translations, and
// numbers and dates in the Japanese way.
class QCoreApplication;

namespace ziv {

// Call once, right after the application is made. False when Qt's Japanese
// translations are not installed (Qt's own texts then stay English).
bool UseJapanese(QCoreApplication& app);

}  // namespace ziv
