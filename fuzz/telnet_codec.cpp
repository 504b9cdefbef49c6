// The Telnet reader fed any bytes in any chunks: no more data out than in, whole option replies
// only, and escaped data comes back whole.
#include "platform/telnet_codec.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cassert>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    FuzzedDataProvider in(input, size);
    quarn7::TelnetCodec codec;
    codec.start();
    while (in.remaining_bytes() > 0) {
        const std::string chunk = in.ConsumeRandomLengthString(64);
        assert(codec.decode(chunk).size() <= chunk.size());
        assert(codec.take_replies().size() % 3 == 0);  // IAC, verb, option each
    }
    const std::string line(reinterpret_cast<const char*>(input), size);
    assert(quarn7::TelnetCodec().decode(quarn7::TelnetCodec::escape(line)) == line);
    return 0;
}
