#pragma once
// What the gauge simulator answers and when: its options, the reply texts it
// makes from them, and how a reply is cut into pieces. No terminal handling here.
#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace ziv::gauge {

struct Options {
    std::string reply = "01A+012.345";  // reply before its end characters
    std::string replyEnd = "\r";
    std::string requestEnd = "\r";
    int delayMs = 0;                    // before the first piece
    std::vector<size_t> splitAt;        // byte positions where the reply is cut
    int pieces = 1;                     // or: this many pieces of about equal size
    int pauseMs = 100;                  // between pieces
    std::string extra;                  // sent after the end characters
    int nulBytes = 0;                   // NUL bytes sent before the reply
    bool silent = false;
    std::vector<double> values;         // replies cycle through these values
    std::optional<double> around;       // or random values around this nominal
    double spread = 0.01;
    std::string prefix = "01A";         // before the signed value
    int decimals = 3;
    std::optional<unsigned> seed;
    std::string bindRoot;               // --bind ROOT N
    int bindPort = 0;
    bool verbose = false;
    bool help = false;
};

// Reads the command line (without the program name); nothing, with a reason, on an error.
std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string* error);

std::string HelpText();

// "\r", "\n", "\t", "\0", "\\" and "\xHH" in option texts.
std::optional<std::string> Unescape(const std::string& text);

// prefix, sign, at least three whole digits, the decimals: "01A+012.345".
std::string ValueText(double value, const std::string& prefix, int decimals);

// The reply bodies, one per request, in order.
class ReplySource {
public:
    explicit ReplySource(const Options& options);
    std::string next();

private:
    const Options& options_;
    size_t index_ = 0;
    std::mt19937 random_;
};

// The whole bytes of one answer (NULs, reply, end, extra) cut into the pieces to send.
std::vector<std::string> AnswerPieces(const Options& options, const std::string& body);

}  // namespace ziv::gauge
