// "QVLN" messages: acceptance, encoding, player blocks.
#include "net/formats/net_message.h"

#include <cstring>

namespace quarvel {
namespace {

int32_t get_i32(const uint8_t* p) {
  uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
               (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  return static_cast<int32_t>(v);
}

void put_i32(uint8_t* p, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

constexpr uint8_t kMagic[4] = {'Q', 'V', 'L', 'N'};

}  // namespace

void NetMessage::set_payload(const void* bytes, size_t count) {
  if (count > static_cast<size_t>(kNetMaxPayload)) count = kNetMaxPayload;
  std::memset(payload, 0, sizeof payload);
  if (count > 0 && bytes) std::memcpy(payload, bytes, count);
  length = static_cast<int32_t>(count);
}

void NetMessage::set_text(const char* text) {
  size_t n = 0;
  if (text) {
    while (n < static_cast<size_t>(kNetMaxPayload) && text[n] != 0) ++n;
  }
  set_payload(text, n);
}

void NetMessage::set_int(int32_t value) {
  uint8_t bytes[4];
  put_i32(bytes, value);
  set_payload(bytes, 4);
}

int32_t NetMessage::payload_int() const { return get_i32(payload); }

bool accept_net_message(const uint8_t* bytes, size_t count, NetMessage& message) {
  message = NetMessage();
  if (!bytes || count < kNetHeaderSize || std::memcmp(bytes, kMagic, 4) != 0) return false;
  int32_t length = get_i32(bytes + 5);
  if (length < 0 || length > kNetMaxPayload || static_cast<size_t>(length) > count - kNetHeaderSize) return false;
  message.type = bytes[4];
  message.length = length;
  message.destination = get_i32(bytes + 9);
  message.sender = get_i32(bytes + 13);
  if (length > 0) std::memcpy(message.payload, bytes + kNetHeaderSize, static_cast<size_t>(length));
  return true;
}

size_t encode_net_message(const NetMessage& message, uint8_t out[kNetMaxDatagram]) {
  int32_t length = message.length;
  if (length < 0) length = 0;
  if (length > kNetMaxPayload) length = kNetMaxPayload;
  std::memcpy(out, kMagic, 4);
  out[4] = message.type;
  put_i32(out + 5, length);
  put_i32(out + 9, message.destination);
  put_i32(out + 13, message.sender);
  if (length > 0) std::memcpy(out + kNetHeaderSize, message.payload, static_cast<size_t>(length));
  return kNetHeaderSize + static_cast<size_t>(length);
}

void encode_player_block(const NetPlayerBlock& block, uint8_t out[kNetPlayerBlockSize]) {
  std::memset(out, 0, kNetPlayerBlockSize);
  put_i32(out, block.connection);
  put_i32(out + 4, block.id);
  out[8] = block.hidden;
  out[9] = block.host;
  size_t n = 0;
  while (n < kNetMaxNameLength && block.name[n] != 0) ++n;
  std::memcpy(out + 10, block.name, n);
}

bool decode_player_block(const uint8_t* payload, size_t length, NetPlayerBlock& block) {
  block = NetPlayerBlock();
  if (!payload || length < kNetPlayerBlockSize) return false;
  block.connection = get_i32(payload);
  block.id = get_i32(payload + 4);
  block.hidden = payload[8];
  block.host = payload[9];
  size_t n = 0;
  while (n < kNetMaxNameLength && payload[10 + n] != 0) ++n;
  std::memcpy(block.name, payload + 10, n);
  block.name[n] = 0;
  return true;
}

}  // namespace quarvel
