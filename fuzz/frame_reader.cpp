// The simulated unit's frame reader with any bytes, cut anywhere, at any pace.
//
// Input: the first byte picks the mode.
//   raw:        chunks of any bytes and pauses; every byte fed comes out once, as part of a frame
//               (STX ... CR) or as noise, each in order, and nothing stays buffered at the end.
//   structured: well-formed frames and noise without STX, each after a pause; the frames come
//               out exactly as built, the noise exactly as sent.
#include "sim/frame_reader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "protocol/frame.h"
#include "quarn7/simulated_unit.h"

namespace quarn7::fuzz {
namespace {

using Time = sim::FrameReader::time_point;
using namespace std::chrono_literals;

// What came out of the reader: the frames, and the bytes skipped as noise.
struct Output {
    std::vector<std::string> frames;
    std::string noise;
    Time last_received{};
};

// Takes every frame the reader gives at `now`. A paced frame may be given before its last byte's
// time: the unit answers from that time on.
void drain(sim::FrameReader& reader, Time now, Output& out) {
    while (const auto frame = reader.next(now)) {
        check(frame->bytes.size() >= wire::kShortestFrame, "a frame is at least 6 bytes");
        check(frame->bytes.front() == wire::STX && frame->bytes.back() == wire::CR,
              "a frame runs from STX to CR");
        check(out.frames.empty() || frame->received >= out.last_received,
              "frames in the order received");
        out.last_received = frame->received;
        out.frames.push_back(frame->bytes);
    }
    out.noise += reader.take_noise();
}

// Every byte fed came out once: `fed` is the frames, in order, with the noise, in order, around
// and between them. (The reader may hand over noise that followed a frame before that frame.)
void check_every_byte_once(const std::string& fed, const Output& out) {
    const std::size_t frames = out.frames.size();
    std::vector<std::size_t> framed(frames + 1, 0);  // bytes in the first i frames
    for (std::size_t i = 0; i < frames; ++i) framed[i + 1] = framed[i] + out.frames[i].size();
    // reach[i][p]: the first p bytes fed can be the first i frames and p - framed[i] noise bytes.
    std::vector<std::vector<bool>> reach(frames + 1, std::vector<bool>(fed.size() + 1));
    reach[0][0] = true;
    for (std::size_t i = 0; i <= frames; ++i) {
        for (std::size_t p = 0; p <= fed.size(); ++p) {
            if (!reach[i][p]) continue;
            const std::size_t noise = p - framed[i];
            if (p < fed.size() && noise < out.noise.size() && fed[p] == out.noise[noise]) {
                reach[i][p + 1] = true;
            }
            if (i < frames && fed.compare(p, out.frames[i].size(), out.frames[i]) == 0) {
                reach[i + 1][p + out.frames[i].size()] = true;
            }
        }
    }
    check(reach[frames][fed.size()] && fed.size() - framed[frames] == out.noise.size(),
          "every byte fed is in a frame or in the noise, once");
}

void raw(FuzzedDataProvider& in) {
    const auto byte_time = in.ConsumeBool() ? sim::line_time(1) : std::chrono::nanoseconds(0);
    sim::FrameReader reader(byte_time);
    Time now{};
    std::string fed;
    Output out;
    while (in.remaining_bytes() > 0) {
        now += std::chrono::microseconds(in.ConsumeIntegralInRange(0, 5000));
        if (in.ConsumeBool()) {
            const std::string chunk = in.ConsumeRandomLengthString(64);
            reader.feed(chunk, now);
            fed += chunk;
        }
        drain(reader, now, out);
    }
    drain(reader, now + 1s + byte_time * fed.size(), out);
    check_every_byte_once(fed, out);
    check(!reader.idle_deadline(), "nothing stays buffered");
}

std::string noise_without_stx(FuzzedDataProvider& in) {
    std::string noise = in.ConsumeRandomLengthString(16);
    for (char& c : noise) {
        if (c == wire::STX) c = 'x';
    }
    return noise;
}

std::string any_frame(FuzzedDataProvider& in) {
    wire::CommandWords words;
    words.commando_code = in.ConsumeIntegral<std::uint8_t>();
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            words.commando_soort = wire::DoCommand;
            words.lengte_laag = in.ConsumeIntegralInRange<std::int16_t>(0, 1);
            return wire::do_command_frame(words);
        case 1:
            words.commando_soort = wire::Read;
            return wire::read_request(words);
        default: {
            words.commando_soort = wire::Write;
            const std::string data = in.ConsumeRandomLengthString(300);
            words.lengte_laag = static_cast<std::int16_t>(data.size() % 256);
            words.lengte_hoog = static_cast<std::int16_t>(data.size() / 256);
            return wire::frame(words, data);
        }
    }
}

void structured(FuzzedDataProvider& in) {
    sim::FrameReader reader(std::chrono::nanoseconds(0));
    Time now{};
    std::vector<std::string> sent_frames;
    std::string sent_noise;
    Output out;
    while (in.remaining_bytes() > 0) {
        now += sim::FrameReader::idle_gap() + 1us;
        const bool is_frame = in.ConsumeBool();
        const std::string item = is_frame ? any_frame(in) : noise_without_stx(in);
        if (is_frame) {
            sent_frames.push_back(item);
        } else {
            sent_noise += item;
        }
        // Cut anywhere; the pieces of one item follow each other without a pause.
        std::size_t at = 0;
        while (at < item.size()) {
            const std::size_t piece = in.ConsumeIntegralInRange<std::size_t>(1, item.size() - at);
            reader.feed(std::string_view(item).substr(at, piece), now);
            at += piece;
            drain(reader, now, out);
        }
    }
    drain(reader, now + 1s, out);
    check(out.frames == sent_frames, "frames come out as built");
    check(out.noise == sent_noise, "noise comes out as sent");
}

}  // namespace
}  // namespace quarn7::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    FuzzedDataProvider in(input, size);
    if (in.ConsumeBool()) {
        quarn7::fuzz::structured(in);
    } else {
        quarn7::fuzz::raw(in);
    }
    return 0;
}
