#pragma once
// A read of the file server with a bound: a hard mount whose server went away
// holds whoever reads it for as long as it hangs, so the read runs on a
// thread of its own and the caller waits at most ms for it. A read that hangs
// ends, or not, on its own; what it holds it holds itself.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace ziv {

// How long a read the operator waits for may take: past it the share is taken for hung.
inline constexpr int kShareAnswerMs = 500;

// What read() gave, or nothing when it had not ended within ms.
template <typename T>
std::optional<T> ReadWithin(int ms, std::function<T()> read) {
    struct Result {
        std::mutex guard;
        std::condition_variable done;
        std::optional<T> value;
    };
    auto result = std::make_shared<Result>();
    std::thread([result, read = std::move(read)] {
        T value = read();
        std::lock_guard lock(result->guard);
        result->value = std::move(value);
        result->done.notify_all();
    }).detach();
    std::unique_lock lock(result->guard);
    result->done.wait_for(lock, std::chrono::milliseconds(ms), [&] { return result->value.has_value(); });
    return result->value;
}

}  // namespace ziv
