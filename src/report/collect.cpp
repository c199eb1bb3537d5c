#include "report/collect.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <variant>

#include "platform/paths.h"
#include "platform/workbook.h"
#include "records/day_book.h"

namespace ziv::report {

namespace fs = std::filesystem;

bool Filter::Accepts(const DayBookName& name) const {
    if (From && name.WorkDate < *From) return false;
    if (To && *To < name.WorkDate) return false;
    if (Machine && name.Machine != *Machine) return false;
    if (Operator && name.Operator != *Operator) return false;
    return true;
}

std::string ProductNameOf(const std::string& productDir) {
    std::string folder = productDir;
    while (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
    return LastPathComponent(folder);
}

Listing ListDayBooks(const std::string& productDir, const Filter& filter) {
    Listing listing;
    std::string product = ProductNameOf(productDir);
    std::string folder = DayBookFolder(productDir);
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec) {
        listing.Error = "データフォルダを読めません: " + folder + " (" + ec.message() + ")";
        return listing;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            listing.Error = "データフォルダを読めません: " + folder + " (" + ec.message() + ")";
            break;
        }
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        std::string fileName = it->path().filename().string();
        auto name = ParseDayBookName(fileName, product);
        std::string path = JoinPath(folder, fileName);
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

std::optional<DayBookData> ReadDayBook(const std::string& path, const DayBookName& name, std::string* error,
                                       Cells cells) {
    auto book = Workbook::Open(path, error);
    if (!book) return std::nullopt;
    DayBookData data;
    data.Path = path;
    data.Name = name;
    for (int r = kReportFirstPoint; r <= kReportLastPoint; ++r) {
        PointRow row;
        row.Point = r;
        row.Nominal = book->CellText(1, r, 1);
        row.Upper = book->CellText(1, r, 2);
        row.Lower = book->CellText(1, r, 3);
        if (cells == Cells::All) {
            MeasuredRow measured = ReadDayBookRow(*book, r);
            row.InputName = std::move(measured.InputName);
            row.Value = std::move(measured.Value);
            row.Judgement = std::move(measured.Judgement);
            row.Correction = std::move(measured.Correction);
        } else {
            // The same cells ReadDayBookRow takes the value and judgement from.
            row.Value = book->CellText(1, r, 5);
            row.Judgement = book->CellText(1, r, 6);
        }
        if (row.Nominal.empty() && row.Upper.empty() && row.Lower.empty() && row.InputName.empty() &&
            row.Value.empty() && row.Judgement.empty() && row.Correction.empty())
            continue;
        data.Rows.push_back(std::move(row));
    }
    return data;
}

std::optional<int> MasterPointCount(const std::string& productDir) {
    std::string path = MasterBookPath(productDir);
    if (!IsFile(path)) return std::nullopt;
    auto master = Workbook::Open(path);
    if (!master) return std::nullopt;
    int count = 0;
    for (int r = kReportFirstPoint; r <= kReportLastPoint; ++r)
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
    // the other when it is known to wait.
    bool consumerWaits = false;
    int workersWaiting = 0;

    auto worker = [&] {
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
            std::string error;
            const FoundBook& found = books[index];
            if (auto data = ReadDayBook(found.Path, found.Name, &error, options.Needed))
                outcome = std::move(*data);
            else
                outcome = SkippedBook{found.Path, error.empty() ? "読み込めません" : error};
            bool wake;
            {
                std::lock_guard lock(mutex);
                slots[index % window] = std::move(outcome);
                wake = consumerWaits && index == delivered;
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
