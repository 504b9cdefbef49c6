// The unit's frame reader fed any bytes at any pace. Input: byte time, then pauses and chunks.
#include "sim/frame_reader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cassert>

using quarn7::sim::FrameReader;

// Each frame ready at `now`, between the noise skipped before and after it, onto `out`.
static void drain(FrameReader& reader, FrameReader::time_point now, std::string& out) {
    for (out += reader.take_noise(); const auto f = reader.next(now); out += reader.take_noise()) {
        assert(f->bytes.size() >= 6 && f->bytes[0] == '\x02' && f->bytes.back() == '\r');
        out += f->bytes;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    FuzzedDataProvider in(input, size);
    const auto byte_time = std::chrono::microseconds(in.ConsumeIntegralInRange(0, 1000));
    FrameReader reader(byte_time);
    FrameReader::time_point now{};
    std::string fed, out;
    while (in.remaining_bytes() > 0) {
        now += std::chrono::microseconds(in.ConsumeIntegralInRange(0, 5000));
        const std::string chunk = in.ConsumeRandomLengthString(64);
        reader.feed(chunk, now);
        fed += chunk;
        drain(reader, now, out);
    }
    drain(reader, now + std::chrono::seconds(1) + byte_time * fed.size(), out);  // line idle
    assert(out + reader.take_noise() == fed);  // in order, nothing left over
    return 0;
}
