// The modes that reach the bus, in a build without it (no Qt): each is refused as a bad
// argument would be, with nothing written on standard output.
#include "bus_modes.h"

namespace cli {

namespace {

int refuse(std::FILE* err, std::string_view option) {
    tell(err, std::string(option) + ": this build has no bus support");
    return exitUsage;
}

}  // namespace

int sendFrame(const FrameToSend& /*sent*/, rvx::Notation /*notation*/, const BusRequest& /*bus*/,
              std::FILE* /*out*/, std::FILE* err) {
    return refuse(err, "--send");
}

int sendCommand(const StringsRequest& /*request*/, std::FILE* /*out*/, std::FILE* err) {
    return refuse(err, "--send");
}

int sendDecoded(const DecodeRequest& /*request*/, std::FILE* /*out*/, std::FILE* err) {
    return refuse(err, "--send");
}

int runMonitor(const MonitorRequest& /*request*/, std::FILE* /*out*/, std::FILE* err) {
    return refuse(err, "--monitor");
}

int listPorts(const ListPortsRequest& /*request*/, std::FILE* /*out*/, std::FILE* err) {
    return refuse(err, "--list-ports");
}

}  // namespace cli
