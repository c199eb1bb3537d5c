// ziv-gauge-sim: answers requests on a pseudo-terminal like a hand gauge, so
// ZIV can be tried, demonstrated and tested without an instrument.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <iostream>
#include <string>
#include <vector>

#include "common/failure_text.h"
#include "common/text_file.h"
#include "gauge_core.h"
#include "platform/serial_devices.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace ziv::gauge;

int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    char byte = 1;
    [[maybe_unused]] auto written = ::write(g_stopPipe[1], &byte, 1);
}

bool InstallStopHandlers() {
    if (pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return true;
}

struct Terminal {
    int master = -1;
    int slave = -1;  // held open, so the master never reads a hang-up between the program's openings
    std::string device;
};

bool OpenTerminal(Terminal& t) {
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B4800);
    char name[256] = {};
    if (openpty(&t.master, &t.slave, name, &raw, nullptr) != 0) return false;
    fcntl(t.master, F_SETFL, fcntl(t.master, F_GETFL) | O_NONBLOCK);
    t.device = name;
    return true;
}

// Pieces waiting to be written, each at its time.
struct Scheduled {
    Clock::time_point due;
    std::string bytes;
};

class Gauge {
public:
    Gauge(const Options& options, int master) : options_(options), master_(master), replies_(options) {}

    void takeInput(const std::string& bytes) {
        request_ += bytes;
        for (size_t end; (end = request_.find(options_.requestEnd)) != std::string::npos;) {
            if (options_.verbose) std::cerr << "request: " << Printable(request_.substr(0, end)) << "\n";
            request_.erase(0, end + options_.requestEnd.size());
            if (!options_.silent) answer();
        }
        // A request never ended keeps at most a line's worth.
        if (request_.size() > 4096) request_.erase(0, request_.size() - 4096);
    }

    // Milliseconds until the next piece is due; -1 when none waits.
    int msUntilNext() const {
        if (queue_.empty()) return -1;
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(queue_.front().due - Clock::now()).count();
        return ms < 0 ? 0 : int(ms) + 1;
    }

    void writeDue() {
        while (!queue_.empty() && queue_.front().due <= Clock::now()) {
            WriteAll(master_, queue_.front().bytes);
            queue_.pop_front();
        }
    }

private:
    void answer() {
        auto body = ziv::ToCp932(replies_.next());
        if (!body) return;
        // Answers to requests that come quickly follow each other, never overlap.
        auto at = std::max(Clock::now(), queue_.empty() ? Clock::now() : queue_.back().due) +
                  std::chrono::milliseconds(options_.delayMs);
        bool first = true;
        for (auto& piece : AnswerPieces(options_, *body)) {
            if (!first) at += std::chrono::milliseconds(options_.pauseMs);
            first = false;
            queue_.push_back({at, piece});
        }
    }

    static void WriteAll(int fd, const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) {
                pollfd out{fd, POLLOUT, 0};
                poll(&out, 1, 1000);
                continue;
            }
            if (n <= 0) return;
            done += size_t(n);
        }
    }

    static std::string Printable(const std::string& bytes) {
        std::string out;
        for (unsigned char c : bytes) {
            if (c >= 0x20 && c != 0x7F) {
                out += char(c);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            }
        }
        return out;
    }

    const Options& options_;
    int master_;
    ReplySource replies_;
    std::string request_;
    std::deque<Scheduled> queue_;
};

int Run(const Options& options, const Terminal& t) {
    Gauge gauge(options, t.master);
    pollfd fds[2] = {{t.master, POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
    for (;;) {
        int ready = poll(fds, 2, gauge.msUntilNext());
        if (ready < 0 && errno != EINTR) return 1;
        if (fds[1].revents & POLLIN) return 0;
        if (fds[0].revents & POLLIN) {
            char buf[4096];
            ssize_t n;
            while ((n = ::read(t.master, buf, sizeof buf)) > 0) gauge.takeInput(std::string(buf, size_t(n)));
        }
        gauge.writeDue();
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    auto options = ParseArguments(std::vector<std::string>(argv + 1, argv + argc), &error);
    if (!options) {
        std::cerr << "ziv-gauge-sim: " << error << "\n";
        return 2;
    }
    if (options->help) {
        std::cout << HelpText();
        return 0;
    }
    Terminal terminal;
    if (!InstallStopHandlers() || !OpenTerminal(terminal)) {
        std::perror("ziv-gauge-sim: pseudo-terminal");
        return 1;
    }
    if (options->bindPort > 0) {
        auto bound = ziv::BindSerialDevice(options->bindRoot, options->bindPort, terminal.device);
        if (!bound) {
            std::cerr << "ziv-gauge-sim: " << ziv::FailureText(bound) << "\n";
            return 1;
        }
    }
    std::cout << terminal.device << std::endl;
    if (options->bindPort > 0)
        std::cerr << "port " << options->bindPort << " of " << options->bindRoot << " is " << terminal.device << "\n";
    int status = Run(*options, terminal);
    ::close(terminal.master);
    ::close(terminal.slave);
    return status;
}
