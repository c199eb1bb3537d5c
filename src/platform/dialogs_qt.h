#pragma once
// The message boxes and the save dialog the windows show. Each window is
// handed the Dialogs it uses: the desktop's own in the program, a recorder in
// tests, so that no modal dialog ever waits there.
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace ziv {

enum class MessageIcon { Critical, Information };

struct ShownMessage {
    MessageIcon icon;
    QString title;
    QString text;
};

struct ChosenFile {
    QString FullPath;  // the chosen location and name
    QString Name;      // the last part of the path
};

extern const char* const kWarningTitle;      // "ZIV - 警告"
extern const char* const kInformationTitle;  // "ZIV - 情報"

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal box with an OK button.
    virtual void Show(QWidget* parent, const ShownMessage& message) = 0;
    // The save-file dialog that chooses an operator's location and name;
    // nothing when the user cancels.
    virtual std::optional<ChosenFile> AskSaveFile(QWidget* parent, const QString& title) = 0;
    // What was done about a signal of the control watch: one of `choices`,
    // the last of which takes a text of its own ("その他: 刃先欠け"); nothing
    // when cancelled. Doubles that never ask answer nothing.
    virtual std::optional<QString> AskReaction(QWidget* parent, const QString& about, const QStringList& choices) {
        static_cast<void>(parent), static_cast<void>(about), static_cast<void>(choices);
        return std::nullopt;
    }

    // A question answered yes or no, titled "ZIV - 情報"; true for yes.
    // Doubles that never ask answer no.
    virtual bool Ask(QWidget* parent, const QString& text) {
        static_cast<void>(parent), static_cast<void>(text);
        return false;
    }

    // "ZIV - 警告" with the critical icon, the system's error message.
    void Warn(QWidget* parent, const QString& text);
    // "ZIV - 情報" with the information icon.
    void Inform(QWidget* parent, const QString& text);
};

// The desktop's own modal boxes and dialog.
Dialogs& DesktopDialogs();

}  // namespace ziv
