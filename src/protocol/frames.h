#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Every byte that crosses the line between the PC and the programmer. The PC is the
// master: it sends a command frame, reads a two-byte status reply and only then sends
// the next frame or the go-ahead for a data reply. All numbers inside frames are fixed
// four-digit ASCII decimal fields.
namespace dravolin {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kDirectoryCommand = 'D';
inline constexpr std::uint8_t kFetchCommand = 'G';
inline constexpr std::uint8_t kTransferCommand = 'T';
inline constexpr char kStatusAccepted = '0';

inline constexpr std::size_t kNameLength = 8;
inline constexpr std::size_t kHeaderLength = 8;
inline constexpr std::size_t kStatusReplyLength = 2;
inline constexpr std::size_t kDirectoryHeaderLength = 16;
inline constexpr std::size_t kDirectoryEntryLength = 16;
inline constexpr std::size_t kMaxDirectoryEntries = 15;
inline constexpr long kMaxDataLength = 9999;

inline constexpr std::size_t kFetchRequestLength = 10;
inline constexpr std::size_t kAnnouncementLength = 18;

// XOR of buffer[0 .. length - 1]. The result is also written to buffer[length], so a
// frame is built by filling its bytes and calling this with the length without the check
// byte. The buffer must hold length + 1 bytes.
std::uint8_t blockCheck(std::span<std::uint8_t> buffer, std::size_t length);

// XOR of all the bytes given; nothing is written.
std::uint8_t xorOf(std::span<const std::uint8_t> bytes);

// The number written in buffer[start .. end - 1], read as strtol reads base 10: leading
// white space skipped, an optional sign, reading stops at the first non-digit, no digits
// give 0. The buffer is not changed.
long readDecimalField(std::span<const std::uint8_t> buffer, std::size_t start, std::size_t end);

// True when the byte at `length` equals the XOR of the bytes before it.
bool checkByteMatches(std::span<const std::uint8_t> reply, std::size_t length);

// Frames the PC sends.
Bytes directoryRequest();
Bytes fetchRequest(std::span<const std::uint8_t> name);  // the 8 name bytes, verbatim
Bytes transferAnnouncement(std::string_view deviceName, std::span<const std::uint8_t> header);
Bytes goAhead();
Bytes dataFrame(std::span<const std::uint8_t> data);

// Fields of the replies.
char statusLetter(std::span<const std::uint8_t> reply);              // byte 1
long directoryCount(std::span<const std::uint8_t> directoryHeader);  // bytes 12..15
long fileDataLength(std::span<const std::uint8_t> fileHeader);       // bytes 4..7

// Lengths of the device's data replies, check byte included.
std::size_t directoryReplyLength(long count);
std::size_t fileReplyLength(long dataLength);

// A data length the buffers and waits can take safely: 0 to 9999 bytes.
bool isUsableDataLength(long dataLength);

}  // namespace dravolin
