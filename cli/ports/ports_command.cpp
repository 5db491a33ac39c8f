#include "cli/ports/ports_command.h"

#include "cli/records/port_object.h"
#include "cli/terminal/console.h"
#include "link/printable_name.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>

namespace qelisp::cli {

namespace {

// A reason is a sentence with a fix in it: room for the whole of it.
constexpr std::size_t kReasonLimit = 300;

std::string hex4(std::uint16_t value) {
    std::array<char, 5> text{};
    std::snprintf(text.data(), text.size(), "%04x", static_cast<unsigned>(value));
    return text.data();
}

std::string usbIds(const PortInfo& port) {
    return port.vid == 0 && port.pid == 0 ? std::string("-") : hex4(port.vid) + ":" + hex4(port.pid);
}

std::string opensColumn(const PortInfo& port) {
    return port.opens() ? std::string("yes") : "no: " + printableName(port.reason, kReasonLimit);
}

// What scripts tell the cases apart by: the three a technician acts on
// differently.
const char* problemName(OpenError error) {
    switch (error) {
        case OpenError::None: return nullptr;
        case OpenError::PermissionDenied: return "permission";
        case OpenError::Busy: return "busy";
        default: return "other";
    }
}

std::string padded(const std::string& text, std::size_t width) {
    const std::size_t shown = displayColumns(text);
    return text + std::string(width > shown ? width - shown : 0, ' ');
}

}  // namespace

std::string formatPortTable(const std::vector<PortInfo>& ports, bool utf8) {
    // What the system says of an adapter may be in any language.
    auto said = [utf8](const std::string& text) { return utf8 ? printableText(text) : printableName(text); };
    constexpr std::size_t kColumns = 5;
    struct Row {
        std::array<std::string, kColumns> cells;
        std::string byId;
    };
    std::vector<Row> rows{{{"NAME", "DESCRIPTION", "VID:PID", "SERIAL", "OPENS"}, {}}};
    for (const PortInfo& port : ports) {
        rows.push_back({{printableName(port.name), said(port.description), usbIds(port),
                         port.serial.empty() ? std::string("-") : printableName(port.serial), opensColumn(port)},
                        port.byId.empty() ? std::string() : printableName(port.byId, 200)});
    }
    std::array<std::size_t, kColumns> widths{};
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < widths.size(); ++c) {
            widths[c] = std::max(widths[c], displayColumns(row.cells[c]));
        }
    }
    std::string out;
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            line += c + 1 < widths.size() ? padded(row.cells[c], widths[c] + 2) : row.cells[c];
        }
        out += line + "\n";
        // Too long for a column: under the description, where it is read.
        if (!row.byId.empty()) out += std::string(widths[0] + 2, ' ') + row.byId + "\n";
    }
    return out;
}

std::string formatPortJson(const std::vector<PortInfo>& ports) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const PortInfo& p : ports) {
        const bool usb = p.vid != 0 || p.pid != 0;
        const char* problem = problemName(p.openError);
        // The field names and nulls of the events' port object (cli/records/port_object.h).
        list.push_back({
            {"name", p.name},
            {"description", textOrNull(p.description)},
            {"vid", usb ? nlohmann::ordered_json(hex4(p.vid)) : nullptr},
            {"pid", usb ? nlohmann::ordered_json(hex4(p.pid)) : nullptr},
            {"maker", textOrNull(p.maker)},
            {"serial", textOrNull(p.serial)},
            {"by_id", textOrNull(p.byId)},
            {"opens", p.opens()},
            {"problem", problem ? nlohmann::ordered_json(problem) : nullptr},
            {"reason", problem ? nlohmann::ordered_json(p.reason) : nullptr},
        });
    }
    // The system's texts may hold any bytes: what is no UTF-8 becomes U+FFFD
    // rather than an exception, so the output is always valid JSON.
    return list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

int runPortsCommand(bool json) {
    const std::vector<PortInfo> ports = listPorts();
    if (json) {
        std::fputs(formatPortJson(ports).c_str(), stdout);
    } else if (ports.empty()) {
        std::fprintf(stderr, "qelisp-cli: no serial port found\n");
    } else {
        std::fputs(formatPortTable(ports, consoleTakesUtf8()).c_str(), stdout);
    }
    return 0;
}

}  // namespace qelisp::cli
