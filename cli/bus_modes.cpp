#include "bus_modes.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <array>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "output.h"
#include "rvx/bus.h"
#include "rvx/catalogue.h"
#include "rvx/decode.h"
#include "rvx/frame_report.h"
#include "rvx/message.h"
#include "rvx/serial_ports.h"

namespace cli {

namespace {

// The event loop the bus library works from. It is handed a name of its own rather than the
// user's arguments, which Qt would otherwise look through for options of its own.
class BusApplication {
public:
    BusApplication() : app_(argc_, argv_.data()) {}

private:
    int argc_ = 1;
    char name_[12] = "rvx-strings";
    std::array<char*, 2> argv_{name_, nullptr};
    QCoreApplication app_;
};

std::string text(const QString& value) {
    return value.toStdString();
}

// The line as it is asked for.
std::string lineOf(const rvx::bus::Settings& settings) {
    return text(rvx::bus::lineText(rvx::bus::lineFor(settings)));
}

// Where the frames go or come from, with the line: a bridge keeps its own, which must be this.
std::string placeOf(const BusRequest& bus) {
    const std::string line = lineOf(bus.settings);
    return text(rvx::bus::targetOf(bus.target).shownText()) +
           (bus.target.kind == rvx::BusTarget::Kind::Tcp ? " (bridge; line " + line + " assumed)"
                                                         : " (" + line + ")");
}

std::string counted(std::uint64_t count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Set by the signal handler, read from the event loop.
volatile std::sig_atomic_t stopAsked = 0;

// A second Ctrl+C ends the program at once, should the first not be answered.
extern "C" void askToStop(int signal) {
    stopAsked = 1;
    std::signal(signal, SIG_DFL);
}

// How often the event loop looks whether Ctrl+C was pressed.
constexpr int signalPollMs = 50;

// While the bus is used: Ctrl+C and SIGTERM are answered from the event loop, so that the
// port is closed and its line set back as it was found; a reader of standard output that goes
// away (| head -1) makes a write fail, answered as any other, rather than end the program.
class BusSignals {
public:
    BusSignals() {
        stopAsked = 0;
        std::signal(SIGINT, askToStop);
        std::signal(SIGTERM, askToStop);
#ifdef SIGPIPE
        std::signal(SIGPIPE, SIG_IGN);
#endif
    }
    ~BusSignals() {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
#ifdef SIGPIPE
        std::signal(SIGPIPE, SIG_DFL);
#endif
    }
    BusSignals(const BusSignals&) = delete;
    BusSignals& operator=(const BusSignals&) = delete;
};

// Said after the list of ports where not every target is listed.
const std::string listedPortsNote(rvx::unlistedTargetsNote());

std::string monitorLine(const rvx::bus::Received& run, Format format) {
    return format == Format::Json ? rvx::monitorJsonLine(run.span(), run.kind, run.utcMs())
                                  : rvx::monitorTextLine(run.span(), run.kind, run.localMs());
}

}  // namespace

int sendFrame(const FrameToSend& sent, rvx::Notation notation, const BusRequest& bus,
              std::FILE* out, std::FILE* err) {
    const BusApplication application;
    const BusSignals signalsAnswered;
    const auto outcome =
        rvx::bus::sendFramesUntil(rvx::bus::targetOf(bus.target), std::span(&sent.frame, 1),
                                  bus.settings, [] { return stopAsked != 0; });
    if (const auto& error = outcome.error) {
        tell(err, text(error->message));
        return exitBus;
    }
    const std::string command(rvx::commandCatalogue[sent.command].name);
    const std::string address = rvx::addressInWords(sent.kind, sent.address);
    // Over a bridge only what is known is said: that it took the frame, which its close after
    // the frame shows, or where the system gives no such sign, that it was handed the frame. No
    // bridge reports delivery to its own line.
    const std::string bridge = text(rvx::bus::targetOf(bus.target).shownText());
    const std::string frame = rvx::writeFrame(sent.frame, notation);
    std::string line;
    switch (outcome.delivery) {
        case rvx::bus::Delivery::OnTheLine:
            line = "Sent " + command + " to " + address + " on " + placeOf(bus) + ": " + frame;
            break;
        case rvx::bus::Delivery::TakenByBridge:
            line = command + " to " + address + " taken by the bridge at " + bridge + " (line " +
                   lineOf(bus.settings) +
                   " assumed; the bridge does not report delivery to its line): " + frame;
            break;
        case rvx::bus::Delivery::HandedToBridge:
            line = "Handed " + command + " for " + address + " to the bridge at " + bridge +
                   " (line " + lineOf(bus.settings) + " assumed): " + frame +
                   "; the bridge does not confirm delivery";
            break;
    }
    if (!writeLine(out, line)) {
        tell(err, "cannot write " + outputName());
        return exitOutput;
    }
    return exitSuccess;
}

int sendCommand(const StringsRequest& request, std::FILE* out, std::FILE* err) {
    const rvx::Command& command = rvx::commandCatalogue[request.rows.front()];
    const auto frame = rvx::frameFor(command, request.kind, request.address, request.values);
    if (!frame) {  // admitted values always make one
        tell(err, std::string(command.name) + ": no frame can be made from these values");
        return exitUsage;
    }
    const std::optional<rvx::AddressKind> kind =
        rvx::sameFramesForBothKinds(request.address) ? std::nullopt : std::optional(request.kind);
    return sendFrame({*frame, request.rows.front(), kind, request.address}, request.notation,
                     *request.send, out, err);
}

int sendDecoded(const DecodeRequest& request, std::FILE* out, std::FILE* err) {
    const rvx::DecodedFrame decoded = rvx::decodeFrame(request.frame);
    if (decoded.madeByTool()) {  // a frame made from admitted values names its command and address
        return sendFrame({request.frame, *decoded.command, decoded.kind, *decoded.address},
                         rvx::Notation::Spaced, *request.send, out, err);
    }
    BufferedWriter output(out);
    output.append(rvx::decodeText(request.frame, request.notation, decoded));
    if (const int status = finishOutput(output, err); status != exitSuccess) {
        return status;
    }
    tell(err, "--send: not sent; " + counted(decoded.findings.size(), "finding", "findings") +
                  " in the frame, and only a valid frame is sent");
    return exitFindings;
}

int runMonitor(const MonitorRequest& request, std::FILE* out, std::FILE* err) {
    const BusApplication application;
    const BusSignals signalsAnswered;

    rvx::bus::Watcher watcher;
    std::uint64_t frames = 0;
    std::uint64_t noise = 0;
    int status = exitSuccess;
    bool ended = false;  // nothing more is written once the end is decided
    // Stops once control is back in the event loop: stop() hands over what it held back, and
    // it may be asked from inside the watcher's own signal.
    const auto end = [&](int endStatus) {
        if (ended) {
            return;
        }
        ended = true;
        status = endStatus;
        QTimer::singleShot(0, &watcher, [&watcher] {
            watcher.stop();
            QCoreApplication::quit();
        });
    };

    QObject::connect(&watcher, &rvx::bus::Watcher::opened, &watcher,
                     [&] { tell(err, "watching " + placeOf(request.bus) + "; Ctrl+C stops"); });
    QObject::connect(&watcher, &rvx::bus::Watcher::received, &watcher,
                     [&](const rvx::bus::Received& run) {
                         if (ended) {
                             return;
                         }
                         (run.isFrame() ? frames : noise) += 1;
                         if (!writeLine(out, monitorLine(run, request.format))) {
                             tell(err, "cannot write " + outputName());
                             end(exitOutput);
                         } else if (request.count && frames >= *request.count) {
                             end(exitSuccess);
                         }
                     });
    QObject::connect(&watcher, &rvx::bus::Watcher::failed, &watcher,
                     [&](const rvx::bus::Error& error) {
                         if (!ended) {
                             ended = true;
                             status = exitBus;
                             tell(err, text(error.message));
                         }
                         QCoreApplication::quit();
                     });

    QTimer signalPoll;
    QObject::connect(&signalPoll, &QTimer::timeout, &watcher, [&] {
        if (stopAsked == 0 || ended) {
            return;
        }
        watcher.stop();  // what was held back is written first
        ended = true;
        tell(err, "stopped; " + counted(frames, "frame", "frames") + " and " +
                      counted(noise, "run", "runs") + " of noise seen");
        QCoreApplication::quit();
    });
    signalPoll.start(signalPollMs);

    watcher.start(rvx::bus::targetOf(request.bus.target), request.bus.settings);
    QCoreApplication::exec();
    return status;
}

int listPorts(const ListPortsRequest& request, std::FILE* out, std::FILE* err) {
    const BusApplication application;
    const QList<rvx::bus::PortInfo> ports = rvx::bus::listPorts();
    if (ports.isEmpty() && request.format == Format::Text) {
        tell(err, listedPortsNote.empty() ? std::string("no serial ports found")
                                          : "no serial ports found; " + listedPortsNote);
        return exitSuccess;
    }
    const bool json = request.format == Format::Json;
    const auto field = [json](const QString& value) {
        return json ? text(value) : value.isEmpty() ? std::string("-") : rvx::escaped(text(value));
    };
    // The text has a header line; JSON names the columns in each object.
    using Row = std::array<std::string, 5>;
    const Row header{"port", "description", "manufacturer", "serial", "link"};
    std::vector<Row> rows;
    if (!json) {
        rows.push_back(header);
    }
    for (const auto& port : ports) {
        // A port the system knows nothing of often has no device behind it (/dev/ttyS0).
        const QString description = json || port.hasDeviceInformation()
                                        ? port.description
                                        : QStringLiteral("(no device information)");
        rows.push_back({field(port.systemLocation), field(description), field(port.manufacturer),
                        field(port.serialNumber), field(port.byIdLink)});
    }
    std::vector<std::size_t> widths(header.size(), 0);
    for (const Row& row : rows) {
        for (std::size_t k = 0; k < row.size(); ++k) {
            widths[k] = std::max(widths[k], displayWidth(row[k]));
        }
    }
    std::string written;
    TableWriter table(written, request.format,
                      {header[0], header[1], header[2], header[3], header[4]}, widths);
    table.begin();
    for (const Row& row : rows) {
        table.row({row[0], row[1], row[2], row[3], row[4]});
    }
    table.end();
    BufferedWriter output(out);
    output.append(written);
    if (const int status = finishOutput(output, err); status != exitSuccess) {
        return status;
    }
    if (!json && !listedPortsNote.empty()) {
        tell(err, listedPortsNote);
    }
    return exitSuccess;
}

}  // namespace cli
