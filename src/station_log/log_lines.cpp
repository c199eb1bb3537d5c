#include "station_log/log_lines.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "common/numbers.h"
#include "common/station_limits.h"
#include "common/whole_in_range.h"

namespace ziv {

namespace {

std::optional<float> Coordinate(const std::string& text) {
    float value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The shortest text that reads back exactly.
std::string CoordinateText(float value) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return std::string(text, ec == std::errc() ? end : text);
}

std::string AtFields(const MeasuredAt& at) {
    return DecimalText(static_cast<long long>(at.Ns)) + "\t" + EscapedField(at.Station);
}

}  // namespace

std::optional<QueuedRow> RowFrom(const std::vector<std::string>& f) {
    if (f.size() != 8) return std::nullopt;
    auto machine = WholeInRange(f[2], 0, kLastMachine);
    auto row = WholeInRange(f[3], kFirstPoint, kLastPoint);
    if (f[1].empty() || !machine || !row) return std::nullopt;
    return QueuedRow{f[1], *machine, *row, {f[4], f[5], f[6], f[7]}};
}

std::optional<QueuedRegistration> RegistrationFrom(const std::vector<std::string>& f) {
    if (f.size() != 4) return std::nullopt;
    auto machine = WholeInRange(f[2], 0, kLastMachine);
    if (f[1].empty() || !machine) return std::nullopt;
    return QueuedRegistration{f[1], *machine, f[3]};
}

std::optional<QueuedDesignation> DesignationFrom(const std::vector<std::string>& f) {
    if (f.size() != 6) return std::nullopt;
    auto point = WholeInRange(f[2], kFirstPoint, kLastPoint);
    auto x = Coordinate(f[3]), y = Coordinate(f[4]);
    auto instrument = WholeInRange(f[5], 0, 32767);
    if (f[1].empty() || !point || !x || !y || !instrument) return std::nullopt;
    return QueuedDesignation{f[1], *point, {*x, *y, static_cast<std::int16_t>(*instrument)}};
}

std::optional<QueuedJournalLine> JournalLineFrom(const std::vector<std::string>& f) {
    if (f.size() != 3 || f[1].empty()) return std::nullopt;
    return QueuedJournalLine{f[1], f[2]};
}

std::optional<QueuedFile> FileFrom(const std::vector<std::string>& f) {
    if (f.size() != 3 || f[1].empty()) return std::nullopt;
    return QueuedFile{f[1], f[2]};
}

std::optional<std::int64_t> NsFrom(std::string_view text) {
    return WholeInRange(text, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
}

std::string BodyOf(const QueuedRow& r) {
    const MeasuredRow& m = r.Measured;
    return "R\t" + AtFields(r.At) + "\t" + EscapedField(r.Book) + "\t" + DecimalText(r.Machine) + "\t" + DecimalText(r.Row) +
           "\t" + EscapedField(m.InputName) + "\t" + EscapedField(m.Value) + "\t" + EscapedField(m.Judgement) + "\t" +
           EscapedField(m.Correction);
}
std::string BodyOf(const QueuedRegistration& d) {
    return "D\t" + AtFields(d.At) + "\t" + EscapedField(d.DirectoryFile) + "\t" + DecimalText(d.Machine) + "\t" +
           EscapedField(d.ProductFolder);
}
std::string BodyOf(const QueuedDesignation& p) {
    return "P\t" + AtFields(p.At) + "\t" + EscapedField(p.PointFile) + "\t" + DecimalText(p.Point) + "\t" +
           CoordinateText(p.Designated.X) + "\t" + CoordinateText(p.Designated.Y) + "\t" +
           DecimalText(p.Designated.Instrument);
}
std::string BodyOf(const QueuedJournalLine& j) { return "J\t0\t\t" + EscapedField(j.Journal) + "\t" + EscapedField(j.Record); }
std::string BodyOf(const QueuedFile& f) { return "F\t0\t\t" + EscapedField(f.Path) + "\t" + EscapedField(f.Content); }

}  // namespace ziv
