// The one message format of network sessions, "QVLN" datagrams, and the
// player block that registers a player. Pure functions over bytes.
//
// Wire layout, integers 32-bit little-endian, no padding:
//   0 magic "QVLN" | 4 type | 5 length (0..1024) | 9 destination | 13 sender
//   17 payload (length bytes)
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarvel {

constexpr size_t kNetHeaderSize = 17;
constexpr int32_t kNetMaxPayload = 1024;
// The largest datagram a receiver reads.
constexpr size_t kNetMaxDatagram = kNetHeaderSize + kNetMaxPayload;
constexpr size_t kNetPlayerBlockSize = 152;
constexpr size_t kNetMaxNameLength = 127;

enum NetMessageType : uint8_t {
  kNetRegister = 1,
  kNetAssignId = 2,
  kNetUser = 3,
  kNetRemove = 4,
  kNetCountRequest = 101,
  kNetIdRequest = 102,
  kNetNameRequest = 103,
  kNetCheckRequest = 104,
};

// A decoded message. The payload always holds a 0 byte behind its length
// (so a text payload is a terminated string), and every byte after that is
// 0 too: reading a field past a short payload reads zeros.
struct NetMessage {
  uint8_t type = 0;
  int32_t length = 0;
  int32_t destination = 0;
  int32_t sender = 0;
  uint8_t payload[kNetMaxPayload + 1] = {};

  // Sets the payload (cut to 1024 bytes) and the length.
  void set_payload(const void* bytes, size_t count);
  void set_text(const char* text);
  void set_int(int32_t value);
  // The first four payload bytes as a signed integer.
  int32_t payload_int() const;
  const char* text() const { return reinterpret_cast<const char*>(payload); }
};

// Accepts a received datagram: at least 17 bytes, the magic, a length of
// 0..1024 that the datagram holds in full. Anything else is refused (false,
// message cleared). Bytes behind the payload are ignored.
bool accept_net_message(const uint8_t* bytes, size_t count, NetMessage& message);

// Writes the 17 + length bytes of the message; returns their count. The
// length is clamped to 0..1024 first.
size_t encode_net_message(const NetMessage& message, uint8_t out[kNetMaxDatagram]);

// Payload of a registration.
struct NetPlayerBlock {
  int32_t connection = -1;
  int32_t id = -1;
  uint8_t hidden = 0;
  uint8_t host = 0;
  char name[kNetMaxNameLength + 1] = {};
};

// 152 bytes; the name is cut to 127 characters.
void encode_player_block(const NetPlayerBlock& block, uint8_t out[kNetPlayerBlockSize]);
// Reads a block from a payload of the given length; false when it is
// shorter than a block. The name is always terminated within 127 characters.
bool decode_player_block(const uint8_t* payload, size_t length, NetPlayerBlock& block);

}  // namespace quarvel
