// Message acceptance: any bytes either give a message whose length fits
// the datagram, with its payload terminated, or nothing; an accepted
// message encodes back to the bytes it came from.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "net/formats/net_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quarvel::NetMessage m;
  if (quarvel::accept_net_message(data, size, m)) {
    FUZZ_CHECK(m.length >= 0 && m.length <= quarvel::kNetMaxPayload);
    FUZZ_CHECK(quarvel::kNetHeaderSize + static_cast<size_t>(m.length) <= size);
    FUZZ_CHECK(m.payload[m.length] == 0);
    uint8_t out[quarvel::kNetMaxDatagram];
    size_t n = quarvel::encode_net_message(m, out);
    FUZZ_CHECK(n == quarvel::kNetHeaderSize + static_cast<size_t>(m.length));
    FUZZ_CHECK(std::memcmp(out, data, n) == 0);
    if (m.type == quarvel::kNetRegister) {
      quarvel::NetPlayerBlock block;
      if (quarvel::decode_player_block(m.payload, static_cast<size_t>(m.length), block)) {
        FUZZ_CHECK(std::strlen(block.name) <= quarvel::kNetMaxNameLength);
      }
    }
  } else {
    FUZZ_CHECK(m.length == 0 && m.type == 0);
  }
  return 0;
}
