#pragma once
// One request to an instrument and its reply, as the measurement window and
// the settings window's communication test both run it: what the port gives
// is collected (up to kReplyByteLimit received bytes) until the link's end
// characters have come, then the value is cut from the whole reply; the
// window's timer ticks count towards the time-out. The windows open and close
// the port, and say what each end means to the operator.
#include <string>
#include <string_view>

#include "links/instrument_link.h"

namespace ziv {

class ReadingSession {
public:
    enum class Event { Nothing, Value, CutFailed, TimedOut };
    struct Result {
        Event event = Event::Nothing;
        std::string value;  // the text cut from the reply, for Value
    };

    // The tick that ends a session still waiting: the first tick counts 1.
    explicit ReadingSession(int timeoutTick) : timeoutTick_(timeoutTick) {}

    void Begin(const InstrumentLink& link);
    // From Begin until End, whatever ended the waiting: keys and new requests wait too.
    bool Active() const { return active_; }
    void End() { active_ = false; }

    // Bytes the reply may still take; pass it to the port so that the cap
    // counts what the instrument sent.
    size_t Room() const { return bytes_ < kReplyByteLimit ? kReplyByteLimit - bytes_ : 0; }
    // Text from the port and the number of received bytes it stands for.
    // Anything after the reply was complete, or outside a session, is ignored.
    Result Receive(std::string_view text, size_t bytes);
    Result Tick();

    const std::string& Reply() const { return reply_; }
    int Ticks() const { return ticks_; }

private:
    int timeoutTick_;
    InstrumentLink link_;
    bool active_ = false;
    bool ended_ = false;  // complete, cut or timed out: nothing more counts
    std::string reply_;
    size_t bytes_ = 0;
    int ticks_ = 0;
};

}  // namespace ziv
