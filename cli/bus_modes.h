// The modes of rvx-strings that reach the bus: --send, --monitor and --list-ports, on top of
// rvx_bus. Only they make a QCoreApplication and run Qt's event loop; the other modes never do.
//
// Each returns the exit status. A failure of the bus is one line on err and exitBus, with
// nothing written on out (--monitor keeps the lines it wrote before the failure).
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>

#include "arguments.h"
#include "rvx/address.h"
#include "rvx/frame.h"
#include "rvx/notation.h"

namespace cli {

// A frame to send, with what it is, as it was made or read: the line that reports it says so.
struct FrameToSend {
    rvx::Frame frame{};
    std::size_t command = 0;               // the catalogue row
    std::optional<rvx::AddressKind> kind;  // not set for address FFFFFF, the same for both
    rvx::Address address{};
};

// Sends one frame and, once it has left, writes one line on out that says what went where:
// "Sent Up to single motor 123456 on /dev/ttyUSB0 (4800 8O1): AB F1 ...", the bytes in the
// notation given. Over a bridge it says that the bridge took the frame, not that it was sent:
// no bridge reports delivery to its line.
int sendFrame(const FrameToSend& sent, rvx::Notation notation, const BusRequest& bus,
              std::FILE* out, std::FILE* err);

// --send with --command: the one string's frame, sent as sendFrame does.
int sendCommand(const StringsRequest& request, std::FILE* out, std::FILE* err);

// --send with --decode: the frame is sent only when the decoder finds nothing wrong with it;
// otherwise the report is written as --decode writes it, err says why, and the status is 1.
int sendDecoded(const DecodeRequest& request, std::FILE* out, std::FILE* err);

// Watches the bus and writes a line for every frame and every run of noise as it arrives,
// flushed at once, until --count frames have been seen, Ctrl+C (SIGINT) or SIGTERM, or a
// failure. Stopped by a signal, it says on err how many frames it saw.
int runMonitor(const MonitorRequest& request, std::FILE* out, std::FILE* err);

// The serial ports of the machine as a table (a header line, "-" for what is not known) or a
// JSON array. No ports is no failure: text says so on err, JSON is an empty array.
int listPorts(const ListPortsRequest& request, std::FILE* out, std::FILE* err);

}  // namespace cli
