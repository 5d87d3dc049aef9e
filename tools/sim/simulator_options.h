#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace dravolin {

// The frames the device answers with a status reply.
enum class DeviceCommand { Directory, Fetch, Announce, Data };

// The device's two data replies.
enum class DataReply { Directory, File };

// Every point at which the device sends something.
enum class DevicePhase {
    DirectoryStatus,
    DirectoryReply,
    FetchStatus,
    FileReply,
    AnnounceStatus,
    DataStatus
};

// Line settings whose time each byte costs: 1 start bit, 8 data bits, a parity bit unless
// parity is 'N', and the stop bits.
struct LinePace {
    long baud = 9600;
    char parity = 'N';  // 'N', 'E' or 'O'
    int stopBits = 1;   // 1 or 2
};

// Where the programmer closes the line on purpose: after `bytes` bytes of the next data
// reply, or of the next reply of one kind.
struct HangupPoint {
    std::optional<DataReply> reply;  // the next reply of either kind when empty
    std::size_t bytes = 0;

    bool operator==(const HangupPoint&) const = default;
};

// Receives one line of notes or trace, without its line end.
using LogSink = std::function<void(const std::string& line)>;

// How a SimulatedProgrammer behaves; the voska-sim flags of the same names fill it.
struct SimulatorOptions {
    std::filesystem::path files;  // the device's memory: a folder of NAME.tiv files
    std::size_t capacity = 15;    // files the memory holds
    std::filesystem::path link;   // a symbolic link to the slave path; empty for none
    // A terminal someone else made (an emulator's serial line) to serve on instead of a
    // pseudo-terminal of our own; empty for our own.
    std::filesystem::path serve;

    // Fault knobs: each changes one thing the device sends.
    std::map<DeviceCommand, char> answers;       // this status letter instead of its own answer
    std::map<std::string, char> refusedFetches;  // a fetch of this name gets this status letter
    std::optional<DataReply> corruptCheck;       // a wrong check byte in this reply
    std::set<DevicePhase> silentPhases;          // frames at these phases are ignored
    std::map<DataReply, std::size_t> truncate;   // only the first N bytes of this reply
    std::optional<std::string> countField;       // 4 characters for the directory's count field
    std::optional<std::string> lengthField;      // 4 characters for the file reply's length field
    std::optional<LinePace> pace;                // emulate the line time in both directions
    std::optional<HangupPoint> hangupAfter;      // close the line inside a data reply

    // The programmer's own line settings: it answers only while the PC's end of the line is
    // set to them, and otherwise as a UART at a mismatch would (nothing, or a little noise).
    std::optional<LinePace> line;
    int noisePercent = 50;  // of the bursts heard at a mismatch that get noise back

    // Seeds every choice the programmer makes at random: the bytes the PC does not examine,
    // and silence or noise at a mismatch. The same seed repeats a run.
    unsigned seed = 1;
    bool plain = false;                      // fixed bytes where the PC does not look
    std::optional<std::uint8_t> statusByte;  // byte 0 of every status reply

    bool trace = false;  // one line per frame in both directions
    LogSink log;         // where notes and trace go; standard error when empty
};

}  // namespace dravolin
