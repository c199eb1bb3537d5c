#include <gtest/gtest.h>

#include "common/text_file.h"
#include "links/instrument_link.h"
#include "temp_root.h"

using namespace ziv;

namespace {
InstrumentLink Link(std::string start, std::string length, std::string deviceEnd = "1") {
    InstrumentLink link = DefaultInstrumentLink();
    link.DataStart = std::move(start);
    link.DataLength = std::move(length);
    link.DeviceTerminator = std::move(deviceEnd);
    return link;
}
}  // namespace

TEST(InstrumentLinksFile, DefaultFileHasTenDefaultRecordsIn130Lines) {
    TempRoot root;
    std::string path = root / "RS232C.dat";
    ASSERT_TRUE(WriteDefaultLinks(path));
    std::string bytes = ReadBytes(path);
    std::string first13 = "1\r\n4800\r\nN\r\n8\r\n2\r\n1\r\n1\r\n1\r\n5\r\n8\r\n" + *ToCp932("マイクロ") + "\r\nM\r\n2\r\n";
    std::string all;
    for (int i = 0; i < 10; ++i) all += first13;
    EXPECT_EQ(bytes, all);
    auto links = LoadInstrumentLinks(path);
    for (const auto& link : links) EXPECT_EQ(link, DefaultInstrumentLink());
}

TEST(InstrumentLinksFile, RoundTripKeepsJapaneseAndEmptyFields) {
    TempRoot root;
    std::string path = root / "RS232C.dat";
    InstrumentLinks links{};
    links[0] = DefaultInstrumentLink();
    links[3].DisplayName = "ノギス（左）";
    links[3].InputName = "";
    links[9].DataCommand = "R1 ";
    links[9].Handshake = "3";
    ASSERT_TRUE(SaveInstrumentLinks(path, links));
    EXPECT_EQ(LoadInstrumentLinks(path), links);
    EXPECT_EQ(SplitLines(ReadBytes(path)).size(), 130u);
}

TEST(InstrumentLinksFile, ShortLongAndDamagedFilesLoadWhatTheyHold) {
    TempRoot root;
    std::string path = root / "RS232C.dat";
    std::string text;
    for (int i = 0; i < 26; ++i) text += "v" + std::to_string(i) + "\r\n";
    WriteBytes(path, text);
    auto links = LoadInstrumentLinks(path);
    EXPECT_EQ(links[0].PortNumber, "v0");
    EXPECT_EQ(links[1].Handshake, "v25");
    EXPECT_EQ(links[2], InstrumentLink{});
    EXPECT_EQ(links[9], InstrumentLink{});

    // Lines beyond the 130th, LF-only lines and bytes that are not Shift_JIS.
    std::string longer;
    for (int i = 0; i < 140; ++i) longer += (i == 10 ? std::string("\x82\xA0\xFF\x81") : std::to_string(i)) + "\n";
    WriteBytes(path, longer);
    links = LoadInstrumentLinks(path);
    EXPECT_EQ(links[9].Handshake, "129");
    EXPECT_NE(links[0].DisplayName.find("あ"), std::string::npos);
    EXPECT_EQ(LoadInstrumentLinks(root / "missing.dat")[0], InstrumentLink{});
}

TEST(ProductFolderFile, LastNonEmptyLineWins) {
    TempRoot root;
    std::string path = root / "ProductDir.dat";
    WriteBytes(path, "/work/A\r\n\r\n/data/E\r\n\r\n");
    EXPECT_EQ(LoadProductFolder(path), "/data/E");
    WriteBytes(path, "\r\n\r\n");
    EXPECT_EQ(LoadProductFolder(path), "");
    ASSERT_TRUE(SaveProductFolder(path, "/製品"));
    EXPECT_EQ(ReadBytes(path), *ToCp932("/製品") + "\r\n");
    EXPECT_EQ(LoadProductFolder(path), "/製品");
}

TEST(ReplyRules, SettingsCommandAndTerminators) {
    InstrumentLink link = DefaultInstrumentLink();
    EXPECT_EQ(SerialSettingsText(link), "4800,N,8,2");
    link.DataCommand = "R";
    link.PcTerminator = "3";
    EXPECT_EQ(CommandText(link), "R\r\n");
    link.PcTerminator = "2";
    EXPECT_EQ(CommandText(link), "R\n");
    link.PcTerminator = "9";
    EXPECT_EQ(CommandText(link), std::nullopt);
    link.PcTerminator = "";
    EXPECT_EQ(CommandText(link), std::nullopt);

    InstrumentLink crlf = Link("1", "8", "3");
    EXPECT_FALSE(ReplyComplete("01A+012.345\r", crlf));
    EXPECT_TRUE(ReplyComplete("01A+012.345\r\n", crlf));
    EXPECT_TRUE(ReplyComplete("\r\n01", crlf));
    EXPECT_FALSE(ReplyComplete("abc\n", Link("1", "8", "1")));
    EXPECT_TRUE(ReplyComplete("abc\n", Link("1", "8", "2")));
    EXPECT_FALSE(ReplyComplete("abc\r\n", Link("1", "8", "4")));
}

TEST(ReplyRules, CutReplyWorkedExamplesAndFailures) {
    EXPECT_EQ(CutReply("01A+012.345\r", DefaultInstrumentLink()), "012.345\r");
    EXPECT_EQ(CutReply("+0012.50\r", Link("1", "8")), "+0012.50");
    EXPECT_EQ(CutReply("+0012.50\r", Link("20", "8")), "");
    EXPECT_EQ(CutReply("+0012.50\r", Link("9", "8")), "\r");
    EXPECT_EQ(CutReply("+0012.50\r", Link("1", "")), "");
    EXPECT_EQ(CutReply("+0012.50\r", Link("1", "0")), "");
    // Whole numbers round halves to even: 2.5 -> 2, 1.5 -> 2, 3.5 -> 4, 0.5 -> 0.
    EXPECT_EQ(CutReply("abcdef", Link("2.5", "1.5")), "bc");
    EXPECT_EQ(CutReply("abcdef", Link("3.5", "1")), "d");
    EXPECT_EQ(CutReply("abcdef", Link("1", "0.5")), "");
    EXPECT_EQ(CutReply("+0012.50\r", Link("0", "8")), std::nullopt);
    EXPECT_EQ(CutReply("+0012.50\r", Link("", "8")), std::nullopt);
    EXPECT_EQ(CutReply("+0012.50\r", Link("x", "8")), std::nullopt);
    EXPECT_EQ(CutReply("+0012.50\r", Link("1", "-1")), std::nullopt);
    EXPECT_EQ(CutReply("+0012.50\r", Link("2147483648", "1")), std::nullopt);
    EXPECT_EQ(CutReply("+0012.50\r", Link("1", "1e10")), std::nullopt);
    EXPECT_EQ(CutReply("+0012.50\r", Link("2147483647", "2147483647")), "");
    // Extra characters after the terminator are inside the cut when it reaches them.
    EXPECT_EQ(CutReply("01A+012.345\rXY", Link("10", "5")), "45\rXY");
    // A reading's value takes the sign standing just before the cut along.
    EXPECT_EQ(CutValue("01A-000.025\r", DefaultInstrumentLink()), "-000.025\r");
    EXPECT_EQ(CutValue("01A+012.345\r", Link("6", "3")), "12.");
    EXPECT_EQ(CutValue("01A-----\r", DefaultInstrumentLink()), "----\r");
}

// Replies arrive in code page 932; characters count, not the bytes they take here.
TEST(ReplyRules, CutReplyCountsCharacters) {
    EXPECT_EQ(CutReply(FromCp932("\xB1+012.345\r"), Link("2", "8")), "+012.345");
    EXPECT_EQ(CutReply(FromCp932("\x80\xFF+1.5\r"), Link("3", "4")), "+1.5");
    EXPECT_EQ(CutReply(FromCp932("\x88\xA4+1.5\r"), Link("2", "2")), "+1");  // one kanji
    EXPECT_EQ(CutReply(FromCp932("\xB1\xB2\xB3"), Link("2", "1")), "ｲ");
    EXPECT_EQ(CutReply(FromCp932("\xB1\xB2\xB3"), Link("4", "1")), "");
}
