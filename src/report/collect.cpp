#include "report/collect.h"

#include <algorithm>
#include <array>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>
#include <variant>

#include "platform/paths.h"
#include "records/day_book.h"
#include "workbook/workbook.h"

namespace ziv::report {

namespace fs = std::filesystem;

bool Filter::Accepts(const DayBookName& name) const {
    if (From && name.WorkDate < *From) return false;
    if (To && *To < name.WorkDate) return false;
    if (Machine && name.Machine != *Machine) return false;
    if (Operator && name.Operator != *Operator) return false;
    return true;
}

std::string AbsoluteFolder(const std::string& folder) {
    std::error_code ec;
    fs::path path = fs::absolute(fs::path(folder), ec);
    if (ec) path = fs::path(folder);
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == kPathSeparator) text.pop_back();
    return text;
}

std::string ProductNameOf(const std::string& productDir) { return LastPathComponent(AbsoluteFolder(productDir)); }

namespace {

// The names a product folder goes by: the one it was reached by, and where
// that is a link, the name of the folder it leads to, which the station may
// have named its books after.
std::vector<std::string> ProductNamesOf(const std::string& productDir) {
    std::vector<std::string> names{ProductNameOf(productDir)};
    std::error_code ec;
    fs::path real = fs::canonical(fs::path(AbsoluteFolder(productDir)), ec);
    if (!ec && real.filename().string() != names.front()) names.push_back(real.filename().string());
    return names;
}

std::optional<DayBookName> ParseAsAnyOf(const std::string& fileName, const std::vector<std::string>& products) {
    for (const std::string& product : products)
        if (auto name = ParseDayBookName(fileName, product)) return name;
    return std::nullopt;
}

}  // namespace

std::vector<std::string> FilesWithArchive(const std::string& folder, int* error) {
    std::vector<std::string> files;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError)) files.push_back(JoinPath(folder, it->path().filename().string()));
    }
    if (error) *error = ec.value();
    const fs::path archive = fs::path(folder) / kArchiveFolderName;
    std::error_code archiveError;
    for (fs::recursive_directory_iterator a(archive, archiveError), end; !archiveError && a != end; a.increment(archiveError)) {
        std::error_code typeError;
        if (a->is_regular_file(typeError)) files.push_back(a->path().string());
    }
    return files;
}

Listing ListDayBooks(const std::string& productDir, const Filter& filter) {
    Listing listing;
    std::vector<std::string> products = ProductNamesOf(productDir);
    std::string folder = DayBookFolder(AbsoluteFolder(productDir));
    listing.Folder = folder;
    for (const std::string& path : FilesWithArchive(folder, &listing.Error)) {
        auto name = ParseAsAnyOf(path.substr(path.find_last_of('/') + 1), products);
        if (!name) {
            listing.Ignored.push_back(path);
            continue;
        }
        if (filter.Accepts(*name)) listing.Books.push_back({path, std::move(*name)});
    }
    std::sort(listing.Books.begin(), listing.Books.end(), [](const FoundBook& a, const FoundBook& b) {
        return std::tie(a.Name.WorkDate, a.Name.Machine, a.Name.Operator, a.Path) <
               std::tie(b.Name.WorkDate, b.Name.Machine, b.Name.Operator, b.Path);
    });
    std::sort(listing.Ignored.begin(), listing.Ignored.end());
    return listing;
}

namespace {

// The limits of a point are the same in nearly every book: the text of each
// limit's number is made once and taken again while the stored number stays
// the same. One per reading thread.
class LimitTexts {
public:
    static constexpr int kColumns = 3;  // nominal, upper, lower
    std::string Text(int row, int column, const Workbook::CellView& view) {
        if (view.kind != Workbook::CellView::Kind::Number) return view.Text();
        Entry& entry = entries_[static_cast<size_t>(row)][static_cast<size_t>(column - 1)];
        auto bits = std::bit_cast<std::uint64_t>(view.number);
        if (!entry.known || entry.bits != bits) {
            entry.text = view.Text();
            entry.bits = bits;
            entry.known = true;
        }
        return entry.text;
    }

private:
    struct Entry {
        bool known = false;
        std::uint64_t bits = 0;
        std::string text;
    };
    std::array<std::array<Entry, kColumns>, kLastPoint + 1> entries_;
};

// Cells A..F of one row of the first sheet.
using RowCells = std::array<Workbook::CellView, day_book_cell::kJudgement>;
namespace cell = day_book_cell;
// The cell of a column among RowCells.
constexpr size_t At(int column) { return static_cast<size_t>(column - 1); }

bool IsEmpty(const PointRow& row) {
    return row.Nominal.empty() && row.Upper.empty() && row.Lower.empty() && row.InputName.empty() &&
           row.Value.empty() && !row.Measured && row.Judgement.empty() && row.Correction.empty();
}

// The limits and the value of point r, for the capability.
void AddValuesRow(DayBookData& data, int r, const RowCells& at, LimitTexts& limits) {
    PointRow& row = data.Rows.emplace_back();
    row.Point = r;
    row.Nominal = limits.Text(r, cell::kNominal, at[At(cell::kNominal)]);
    row.Upper = limits.Text(r, cell::kUpper, at[At(cell::kUpper)]);
    row.Lower = limits.Text(r, cell::kLower, at[At(cell::kLower)]);
    // The same cells ReadDayBookRow takes the value (E) and judgement (F) from.
    row.Measured = at[At(cell::kValue)].ExactNumber();
    if (!row.Measured) row.Value = at[At(cell::kValue)].Text();
    row.Judgement = at[At(cell::kJudgement)].Text();
    if (IsEmpty(row)) data.Rows.pop_back();
}

// Every point of the first sheet in one pass over its cells, row by row,
// instead of a search for each.
void ReadValuesRows(const Workbook& book, DayBookData& data, LimitTexts& limits) {
    int current = 0;
    RowCells at{};
    auto flush = [&] {
        if (current != 0) AddValuesRow(data, current, at, limits);
        at = {};
    };
    book.ForEachCell(cell::kSheet, [&](int row, int column, const Workbook::CellView& view) {
        if (row < kFirstPoint || row > kLastPoint || column < 1 || column > cell::kJudgement) return;
        if (row != current) {
            flush();
            current = row;
        }
        at[At(column)] = view;
    });
    flush();
}

void ReadAllRows(const Workbook& book, DayBookData& data, LimitTexts& limits) {
    for (int r = kFirstPoint; r <= kLastPoint; ++r) {
        PointRow& row = data.Rows.emplace_back();
        row.Point = r;
        row.Nominal = limits.Text(r, cell::kNominal, book.View(cell::kSheet, r, cell::kNominal));
        row.Upper = limits.Text(r, cell::kUpper, book.View(cell::kSheet, r, cell::kUpper));
        row.Lower = limits.Text(r, cell::kLower, book.View(cell::kSheet, r, cell::kLower));
        MeasuredRow measured = ReadDayBookRow(book, r);
        row.InputName = std::move(measured.InputName);
        row.Value = std::move(measured.Value);
        row.Judgement = std::move(measured.Judgement);
        row.Correction = std::move(measured.Correction);
        if (IsEmpty(row)) data.Rows.pop_back();
    }
}

std::optional<DayBookData> ReadBook(const std::string& path, const DayBookName& name, FileResult* problem,
                                    Cells cells, LimitTexts& limits) {
    auto book = Workbook::Open(path, problem);
    if (!book) return std::nullopt;
    DayBookData data;
    data.Path = path;
    data.Name = name;
    data.Rows.reserve(kLastPoint);
    if (cells == Cells::All)
        ReadAllRows(*book, data, limits);
    else
        ReadValuesRows(*book, data, limits);
    return data;
}

}  // namespace

std::optional<DayBookData> ReadDayBook(const std::string& path, const DayBookName& name, FileResult* problem,
                                       Cells cells) {
    LimitTexts limits;
    return ReadBook(path, name, problem, cells, limits);
}

std::optional<int> MasterPointCount(const std::string& productDir) {
    std::string path = MasterBookPath(productDir);
    if (!IsFile(path)) return std::nullopt;
    auto master = Workbook::Open(path);
    if (!master) return std::nullopt;
    int count = 0;
    for (int r = kFirstPoint; r <= kLastPoint; ++r)
        if (!ReadMasterRow(*master, r).Nominal.empty()) ++count;
    return count;
}

ReadSummary ReadDayBooks(const std::vector<FoundBook>& books, const std::function<void(const DayBookData&)>& take,
                         const ReadOptions& options) {
    ReadSummary summary;
    const size_t total = books.size();
    if (total == 0) return summary;
    int threads = options.Threads > 0 ? options.Threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, static_cast<int>(std::min<size_t>(total, 64)));
    // Workers may run this far ahead of the book being handed over; the slots
    // are all the memory the reading holds.
    const size_t window = static_cast<size_t>(threads) * 16;

    using Outcome = std::variant<std::monostate, DayBookData, SkippedBook>;
    std::vector<Outcome> slots(window);
    std::mutex mutex;
    std::condition_variable workReady, slotFilled;
    size_t next = 0, delivered = 0;
    bool stop = false;
    // Wake-ups cost more than reading a small book: each side only signals
    // the other when it is known to wait, and a waiting consumer is woken for
    // a run of books rather than for each one.
    bool consumerWaits = false;
    int workersWaiting = 0;
    const size_t handOver = std::min<size_t>(8, window);
    auto runReady = [&] {
        size_t run = std::min(handOver, total - delivered);
        for (size_t k = 0; k < run; ++k)
            if (std::holds_alternative<std::monostate>(slots[(delivered + k) % window])) return false;
        return true;
    };

    auto worker = [&] {
        LimitTexts limits;
        for (;;) {
            size_t index;
            {
                std::unique_lock lock(mutex);
                auto ready = [&] { return stop || next >= total || next < delivered + window; };
                if (!ready()) {
                    ++workersWaiting;
                    workReady.wait(lock, ready);
                    --workersWaiting;
                }
                if (stop || next >= total) return;
                index = next++;
            }
            Outcome outcome;
            FileResult problem;
            const FoundBook& found = books[index];
            if (auto data = ReadBook(found.Path, found.Name, &problem, options.Needed, limits))
                outcome = std::move(*data);
            else
                outcome = SkippedBook{found.Path, std::move(problem)};
            bool wake;
            {
                std::lock_guard lock(mutex);
                slots[index % window] = std::move(outcome);
                wake = consumerWaits && runReady();
            }
            if (wake) slotFilled.notify_one();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<size_t>(threads));
    for (int t = 0; t < threads; ++t) pool.emplace_back(worker);

    for (size_t i = 0; i < total; ++i) {
        if (options.Cancel && options.Cancel->load()) {
            summary.Cancelled = true;
            break;
        }
        Outcome outcome;
        bool wake;
        {
            std::unique_lock lock(mutex);
            consumerWaits = true;
            slotFilled.wait(lock, [&] { return !std::holds_alternative<std::monostate>(slots[i % window]); });
            consumerWaits = false;
            outcome = std::move(slots[i % window]);
            slots[i % window] = std::monostate{};
            delivered = i + 1;
            wake = workersWaiting > 0;
        }
        if (wake) workReady.notify_all();
        if (auto* data = std::get_if<DayBookData>(&outcome)) {
            take(*data);
            ++summary.Read;
        } else {
            summary.Skipped.push_back(std::move(std::get<SkippedBook>(outcome)));
        }
        if (options.Progress) options.Progress(i + 1, total);
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    workReady.notify_all();
    for (auto& thread : pool) thread.join();
    return summary;
}

}  // namespace ziv::report
