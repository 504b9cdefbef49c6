// The simulated unit's frame reader fed any bytes at any pace (input: byte time, pauses, chunks):
// every frame runs from STX to CR (6 bytes at least); the frames, each between the noise skipped
// before and after it, are the bytes fed, in order, once the line is idle; no hang (timeout).
#include "sim/frame_reader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include "check.h"

using namespace quarn7;

static void drain(sim::FrameReader& reader, sim::FrameReader::time_point now, std::string& out) {
    for (out += reader.take_noise(); const auto f = reader.next(now); out += reader.take_noise()) {
        check(f->bytes.size() >= 6 && f->bytes[0] == '\x02' && f->bytes.back() == '\r', "STX-CR");
        out += f->bytes;
    }
    out += reader.take_noise();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    FuzzedDataProvider in(input, size);
    const auto byte_time = std::chrono::microseconds(in.ConsumeIntegralInRange(0, 1000));
    sim::FrameReader reader(byte_time);
    sim::FrameReader::time_point now{};
    std::string fed, out;
    while (in.remaining_bytes() > 0) {
        now += std::chrono::microseconds(in.ConsumeIntegralInRange(0, 5000));
        const std::string chunk = in.ConsumeRandomLengthString(64);
        reader.feed(chunk, now);
        fed += chunk;
        drain(reader, now, out);
    }
    drain(reader, now + std::chrono::seconds(1) + byte_time * fed.size(), out);
    check(out == fed, "frames and noise are the bytes fed, in order, none left over");
    return 0;
}
