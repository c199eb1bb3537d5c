#pragma once
// The instrument link settings window: edits the ten function-key links and
// the product folder, tests one link against its instrument, and writes
// RS232C.dat and ProductDir.dat on "OK". Opened from the operator window,
// which shows itself again on closed(). The window does not delete itself;
// its creator may deleteLater() it once closed() has come.
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

#include "links/gauge_register.h"
#include "links/instrument_link.h"
#include "links/reading_session.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace ziv {

class Dialogs;
class FolderList;
class SerialPort;

class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    SettingsWindow(const std::string& savePath, Dialogs& dialogs, Disk& disk, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // Window state, for the tests.
    const InstrumentLinks& instrumentLinks() const { return links_; }
    const std::string& replyBuffer() const { return session_.Reply(); }
    int testTicks() const { return session_.Ticks(); }
    bool testWaiting() const { return session_.Active(); }

public slots:
    void loadSettings();
    void keyChosen();
    void baudRateChosen();
    void parityChosen();
    void dataBitsChosen();
    void stopBitsChosen();
    void pcTerminatorChosen();
    void portChosen();
    void deviceTerminatorChosen();
    void handshakeChosen();
    void displayNameEdited();
    void inputNameEdited();
    void requestEdited();
    void dataStartEdited();
    void dataLengthEdited();
    void gaugeEdited();
    void folderPathEdited();
    void folderChosen();
    void saveAndClose();
    void cancel();
    void startCommTest();
    void onPortData();
    void onTestTimeout();

signals:
    // However the window closes: "OK", "Cancel" or the close box.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Position in a pick-only list -> text shown, code stored.
    using CodeList = std::vector<std::pair<const char*, const char*>>;
    void buildControls();
    void connectHandlers();
    InstrumentLink* selectedLink();
    void storeCode(QComboBox* combo, const CodeList& list, std::string InstrumentLink::*field);
    void showCode(QComboBox* combo, const CodeList& list, const std::string& code);
    void storeText(QLineEdit* box, std::string InstrumentLink::*field);
    void loadProductFolder();
    void moveFolderListTo(const QString& text);
    void loadLinks();
    void loadGauges();
    // The due dates typed into the register; false, with the message, when one is no date.
    bool takeDueDates();
    bool cutAtLineBreak(QLineEdit* box);
    void endTest();
    void finishTest(bool success, const QString& text);

    Dialogs& dialogs_;
    Disk& disk_;
    std::string savePath_;
    InstrumentLinks links_{};
    // Set when RS232C.dat exists but could not be read: the table shown is not
    // the file's, so "OK" must not write it over.
    std::string linksUnreadable_;
    // The gauge of each key and its calibration due date as typed (checked on "OK").
    Gauges gauges_{};
    std::array<std::string, 10> dueTexts_{};
    std::string gaugesUnreadable_;
    // The test ends on the second tick of its one-second timer without a reply.
    ReadingSession session_{2};
    InstrumentLink testLink_;
    bool closedSent_ = false;

    QComboBox* keyList_;
    QGroupBox* keyPanel_;
    QComboBox *baudRateList_, *parityList_, *dataBitsList_, *stopBitsList_, *pcTerminatorList_, *portList_, *deviceTerminatorList_, *handshakeList_;
    QLineEdit *displayNameBox_, *inputNameBox_, *requestBox_, *dataStartBox_, *dataLengthBox_, *folderPathBox_;
    QLineEdit *gaugeNumberBox_, *gaugeDueBox_;
    FolderList* folderList_;
    QPushButton *okButton, *cancelButton, *testButton;
    SerialPort* port_;
    QTimer* testTimer_;
};

}  // namespace ziv
