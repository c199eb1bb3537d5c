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

#include "links/instrument_link.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace ziv {

class FolderList;
class SerialPort;

class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(const std::string& savePath, QWidget* parent = nullptr);
    ~Form2() override;

    // Window state, for the tests.
    const InstrumentLinks& instrumentLinks() const { return InstrumentLinks_; }
    const std::string& replyBuffer() const { return ReplyBuffer; }
    int testTicks() const { return TestTicks; }
    bool testWaiting() const { return testWaiting_; }

public slots:
    void Form_Load();
    void Combo1_Click();
    void Combo2_Click();
    void Combo3_Click();
    void Combo4_Click();
    void Combo5_Click();
    void Combo6_Click();
    void Combo7_Click();
    void Combo8_Click();
    void Combo9_Click();
    void Text1_Change();
    void Text2_Change();
    void Text3_Change();
    void Text4_Change();
    void Text5_Change();
    void Text6_Change();
    void Dir1_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void MSComm1_OnComm();
    void Timer1_Timer();

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
    bool cutAtLineBreak(QLineEdit* box);
    void endTest();
    void finishTest(bool success, const QString& text);

    std::string savePath_;
    InstrumentLinks InstrumentLinks_{};
    // Set when RS232C.dat exists but could not be read: the table shown is not
    // the file's, so "OK" must not write it over.
    std::string linksUnreadable_;
    std::string ReplyBuffer;
    size_t replyBytes_ = 0;  // received bytes behind ReplyBuffer, for the cap
    int TestTicks = 0;
    int SkipDirChange = 0;
    int SkipTextChange = 0;
    bool testWaiting_ = false;
    InstrumentLink testLink_;
    bool closedSent_ = false;

    QComboBox* Combo1;
    QGroupBox* Frame2;
    QComboBox *Combo2, *Combo3, *Combo4, *Combo5, *Combo6, *Combo7, *Combo8, *Combo9;
    QLineEdit *Text1, *Text2, *Text3, *Text4, *Text5, *Text6;
    FolderList* Dir1;
    QPushButton *Command1, *Command2, *Command3;
    SerialPort* MSComm1;
    QTimer* Timer1;
};

}  // namespace ziv
