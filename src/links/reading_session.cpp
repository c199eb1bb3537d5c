#include "links/reading_session.h"

namespace ziv {

void ReadingSession::Begin(const InstrumentLink& link) {
    link_ = link;
    active_ = true;
    ended_ = false;
    reply_.clear();
    bytes_ = 0;
    ticks_ = 0;
}

ReadingSession::Result ReadingSession::Receive(std::string_view text, size_t bytes) {
    if (!active_ || ended_) return {};
    reply_ += text;
    bytes_ += bytes;
    if (!ReplyComplete(reply_, link_)) return {};
    ended_ = true;
    auto value = CutValue(reply_, link_);
    if (!value) return {Event::CutFailed, {}};
    return {Event::Value, *value};
}

ReadingSession::Result ReadingSession::Tick() {
    if (!active_ || ended_) return {};
    if (++ticks_ < timeoutTick_) return {};
    ended_ = true;
    return {Event::TimedOut, {}};
}

}  // namespace ziv
