// Little- and big-endian loads and stores on raw byte arrays, independent of
// the host's byte order. Internal to the audio_io units.
#pragma once

#include <cstdint>

namespace ravelin::byteorder {

inline uint16_t LE16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t LE64(const uint8_t* p) {
  return static_cast<uint64_t>(LE32(p)) | (static_cast<uint64_t>(LE32(p + 4)) << 32);
}
inline uint16_t BE16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t BE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline uint64_t BE64(const uint8_t* p) {
  return (static_cast<uint64_t>(BE32(p)) << 32) | static_cast<uint64_t>(BE32(p + 4));
}

inline void PutLE16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE24(uint8_t* p, uint32_t v) {
  PutLE16(p, v);
  p[2] = static_cast<uint8_t>(v >> 16);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  PutLE24(p, v);
  p[3] = static_cast<uint8_t>(v >> 24);
}

} // namespace ravelin::byteorder
