#pragma once

// The control bytes of the serial line. DC1/DC3 also come with the parity
// bit set (ISO code), as some controls send them that way.
namespace CaracteresControl {

constexpr char kLf = 0x0A;
constexpr char kCr = 0x0D;
constexpr char kDc1 = 0x11;
constexpr char kDc2 = 0x12;
constexpr char kDc3 = 0x13;
constexpr char kDc4 = 0x14;
constexpr char kPorCiento = 0x25;
constexpr unsigned char kDc1Iso = 0x91;
constexpr unsigned char kDc3Iso = 0x93;
constexpr unsigned char kPorCientoIso = 0xA5;

} // namespace CaracteresControl
