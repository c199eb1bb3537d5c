#include "gauge_core.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace ziv::gauge {

namespace {

std::optional<std::string> EndChars(const std::string& name) {
    if (name == "cr" || name == "CR") return std::string("\r");
    if (name == "lf" || name == "LF") return std::string("\n");
    if (name == "crlf" || name == "CRLF") return std::string("\r\n");
    if (name == "none") return std::string();
    return std::nullopt;
}

std::optional<int> WholeNumber(const std::string& text, int lo, int hi) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < lo || value > hi) return std::nullopt;
    return int(value);
}

std::optional<double> Number(const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') return std::nullopt;
    return value;
}

std::vector<std::string> CommaParts(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
    return parts;
}

// One option with its value; false with a reason when the value is bad.
bool Apply(Options& o, const std::string& name, const std::string& value, std::string* error) {
    auto bad = [&] {
        *error = "bad value for " + name + ": " + value;
        return false;
    };
    if (name == "--reply" || name == "--extra" || name == "--prefix") {
        auto text = Unescape(value);
        if (!text) return bad();
        (name == "--reply" ? o.reply : name == "--extra" ? o.extra : o.prefix) = *text;
    } else if (name == "--reply-end" || name == "--request-end") {
        auto end = EndChars(value);
        if (!end || (name == "--request-end" && end->empty())) return bad();
        (name == "--reply-end" ? o.replyEnd : o.requestEnd) = *end;
    } else if (name == "--delay" || name == "--pause" || name == "--nul" || name == "--pieces" ||
               name == "--decimals") {
        auto n = WholeNumber(value, name == "--pieces" ? 1 : 0, name == "--decimals" ? 9 : 600000);
        if (!n) return bad();
        (name == "--delay" ? o.delayMs : name == "--pause" ? o.pauseMs : name == "--nul" ? o.nulBytes
                                                       : name == "--pieces" ? o.pieces : o.decimals) = *n;
    } else if (name == "--split") {
        for (const auto& part : CommaParts(value)) {
            auto n = WholeNumber(part, 1, 1 << 20);
            if (!n) return bad();
            o.splitAt.push_back(size_t(*n));
        }
    } else if (name == "--values") {
        for (const auto& part : CommaParts(value)) {
            auto v = Number(part);
            if (!v) return bad();
            o.values.push_back(*v);
        }
        if (o.values.empty()) return bad();
    } else if (name == "--around" || name == "--spread") {
        auto v = Number(value);
        if (!v) return bad();
        if (name == "--around") o.around = *v; else o.spread = *v;
    } else if (name == "--seed") {
        auto n = WholeNumber(value, 0, 2147483647);
        if (!n) return bad();
        o.seed = unsigned(*n);
    } else {
        *error = "unknown option " + name + " (see --help)";
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case '0': out += '\0'; break;
            case '\\': out += '\\'; break;
            case 'x': {
                if (i + 2 >= text.size()) return std::nullopt;
                std::string hex = text.substr(i + 1, 2);
                char* end = nullptr;
                long byte = std::strtol(hex.c_str(), &end, 16);
                if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(hex[0]))) return std::nullopt;
                out += char(byte);
                i += 2;
                break;
            }
            default: return std::nullopt;
        }
    }
    return out;
}

std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string* error) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--silent") {
            o.silent = true;
        } else if (name == "--verbose") {
            o.verbose = true;
        } else if (name == "--bind") {
            if (i + 2 >= args.size()) {
                *error = "--bind needs ROOT and N";
                return std::nullopt;
            }
            o.bindRoot = args[i + 1];
            auto n = WholeNumber(args[i + 2], 1, 255);
            if (o.bindRoot.empty() || !n) {
                *error = "--bind needs a root folder and a port number 1 to 255";
                return std::nullopt;
            }
            o.bindPort = *n;
            i += 2;
        } else {
            if (i + 1 >= args.size()) {
                *error = name.rfind("--", 0) == 0 ? name + " needs a value" : "unknown argument " + name;
                return std::nullopt;
            }
            if (!Apply(o, name, args[i + 1], error)) return std::nullopt;
            ++i;
        }
    }
    return o;
}

std::string ValueText(double value, const std::string& prefix, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%+0*.*f", 4 + (decimals > 0 ? decimals + 1 : 0), decimals, value);
    return prefix + buf;
}

ReplySource::ReplySource(const Options& options)
    : options_(options), random_(options.seed.value_or(std::random_device{}())) {}

std::string ReplySource::next() {
    size_t k = index_++;
    if (!options_.values.empty())
        return ValueText(options_.values[k % options_.values.size()], options_.prefix, options_.decimals);
    if (options_.around) {
        std::uniform_real_distribution<double> offset(-options_.spread, options_.spread);
        return ValueText(*options_.around + offset(random_), options_.prefix, options_.decimals);
    }
    return options_.reply;
}

std::vector<std::string> AnswerPieces(const Options& options, const std::string& body) {
    const std::string whole = std::string(size_t(options.nulBytes), '\0') + body + options.replyEnd + options.extra;
    std::vector<size_t> cuts = options.splitAt;
    if (cuts.empty() && options.pieces > 1)
        for (int p = 1; p < options.pieces; ++p) cuts.push_back(whole.size() * size_t(p) / size_t(options.pieces));
    std::sort(cuts.begin(), cuts.end());
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t cut : cuts) {
        if (cut <= from || cut >= whole.size()) continue;
        pieces.push_back(whole.substr(from, cut - from));
        from = cut;
    }
    pieces.push_back(whole.substr(from));
    return pieces;
}

std::string HelpText() {
    return R"(ziv-gauge-sim: a gauge on a pseudo-terminal, for trying ZIV without instruments.

Prints the terminal's device path on the first line of standard output, then
answers every request (the bytes up to the request end) like an instrument.

  --bind ROOT N        also write the device into line N of ROOT/Config/ComPorts.dat
                       (other lines kept), so that port N of that installation uses it
  --reply TEXT         reply before its end characters (default 01A+012.345)
  --reply-end E        cr, lf, crlf or none after the reply (default cr)
  --request-end E      cr, lf or crlf that ends a request (default cr)
  --values V1,V2,...   reply with these values in turn, as PREFIX+000.000
  --around N           reply with random values from N-S to N+S ...
  --spread S           ... with this S (default 0.01)
  --prefix TEXT        text before the value (default 01A)
  --decimals D         decimals of the value (default 3)
  --seed N             fixed seed for --around
  --delay MS           wait before answering (default 0)
  --pieces N           send the answer in N pieces ...
  --split P1,P2,...    ... or cut it at these byte positions
  --pause MS           pause between pieces (default 100)
  --extra TEXT         characters sent after the reply end
  --nul N              N NUL bytes before the reply
  --silent             never answer
  --verbose            report each request on standard error
  --help               this text

TEXT may hold \r \n \t \0 \\ and \xHH. Ends on SIGTERM or SIGINT.
)";
}

}  // namespace ziv::gauge
