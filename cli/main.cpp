// rvx-strings: prints the command strings of a motor or group address, of a whole list of
// motors (--batch), or says what a given string does and whether it is right (--decode); sends
// one of those frames (--send), watches the bus (--monitor) or lists the serial ports.
//
// A dispatcher: the arguments are read by parseArguments, every fault goes to standard error
// with exit status 2 and nothing on standard output; otherwise the request is run. The frames
// come from the engine (frameFor, the decoder), the reports and tables from the core, the batch
// from runBatch and everything on the bus from bus_modes, the only part that starts Qt.
#include <algorithm>
#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "arguments.h"
#include "batch.h"
#include "bus_modes.h"
#include "output.h"
#include "platform.h"
#include "rvx/batch_table.h"
#include "rvx/catalogue.h"
#include "rvx/decode.h"
#include "rvx/frame.h"
#include "rvx/frame_report.h"
#include "rvx/message.h"

namespace {

// The strings of one address: as a table, or as text the string of --command alone.
std::string stringsOf(const cli::StringsRequest& request) {
    const auto stringOf = [&request](std::size_t row) {
        return rvx::inNotation(rvx::frameFor(rvx::commandCatalogue[row], request.kind,
                                             request.address, request.values),
                               request.notation);
    };
    if (request.oneCommand && request.format == cli::Format::Text) {
        return stringOf(request.rows.front()) + "\n";
    }
    std::size_t width = 0;
    for (const auto& command : rvx::commandCatalogue) {
        width = std::max(width, command.name.size());
    }
    std::string out;
    cli::TableWriter table(out, request.format, {"command", "string"}, {width});
    table.begin();
    for (const std::size_t row : request.rows) {
        table.row({rvx::commandCatalogue[row].name, stringOf(row)});
    }
    table.end();
    return out;
}

// Runs what the arguments ask for, writing the result on out.
int run(const cli::Request& request, std::FILE* out, std::FILE* err) {
    if (const auto* job = std::get_if<cli::BatchJob>(&request)) {
        return cli::runBatch(*job, out, err);
    }
    if (const auto* monitor = std::get_if<cli::MonitorRequest>(&request)) {
        return cli::runMonitor(*monitor, out, err);
    }
    if (const auto* ports = std::get_if<cli::ListPortsRequest>(&request)) {
        return cli::listPorts(*ports, out, err);
    }
    if (const auto* strings = std::get_if<cli::StringsRequest>(&request);
        strings && strings->send) {
        return cli::sendCommand(*strings, out, err);
    }
    if (const auto* decode = std::get_if<cli::DecodeRequest>(&request); decode && decode->send) {
        return cli::sendDecoded(*decode, out, err);
    }

    cli::BufferedWriter writer(out);
    int status = cli::exitSuccess;
    if (std::holds_alternative<cli::HelpRequest>(request)) {
        writer.append(cli::helpText());
    } else if (std::holds_alternative<cli::VersionRequest>(request)) {
        writer.append("rvx-strings " RVX_VERSION "\n");
    } else if (const auto* strings = std::get_if<cli::StringsRequest>(&request)) {
        writer.append(stringsOf(*strings));
    } else if (const auto* decode = std::get_if<cli::DecodeRequest>(&request)) {
        const rvx::DecodedFrame decoded = rvx::decodeFrame(decode->frame);
        writer.append(decode->format == cli::Format::Json
                          ? rvx::decodeJson(decode->frame, decode->notation, decoded)
                          : rvx::decodeText(decode->frame, decode->notation, decoded));
        status = decoded.madeByTool() ? cli::exitSuccess : cli::exitFindings;
    }
    return cli::finishOutput(writer, err, status);
}

}  // namespace

int main(int argc, char* argv[]) {
    cli::useBinaryStandardStreams();
    const cli::ParsedArguments parsed = cli::parseArguments(cli::programArguments(argc, argv));
    if (!parsed.request) {
        for (const auto& line : parsed.errors) {
            (void)cli::writeLine(stderr, line);
        }
        return cli::exitUsage;
    }
    if (!parsed.output) {
        return run(*parsed.request, stdout, stderr);
    }
    // The result goes into a new file that takes FILE's place once it is whole: a refusal, a
    // failure or a write that fails leaves FILE as it was. A watch's lines are kept however it
    // ends, as they are on standard output.
    const std::string option = "--output \"" + rvx::escaped(*parsed.output) + "\"";
    cli::nameOutput(option);
    cli::OutputFile file(*parsed.output);
    if (!file.open()) {
        cli::tell(stderr, option + ": cannot write: " + file.problem());
        return cli::exitOutput;
    }
    const int status = run(*parsed.request, file.stream(), stderr);
    const bool keep = status == cli::exitSuccess || status == cli::exitFindings ||
                      std::holds_alternative<cli::MonitorRequest>(*parsed.request);
    if (!file.finish(keep)) {
        cli::tell(stderr, option + ": cannot write: " + file.problem());
        return cli::exitOutput;
    }
    return status;
}
