#include "cli/ports_command.h"

#include "link/printable_name.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace qelisp::cli {

namespace {

std::string hex4(std::uint16_t value) {
    std::array<char, 5> text{};
    std::snprintf(text.data(), text.size(), "%04x", static_cast<unsigned>(value));
    return text.data();
}

std::string usbIds(const PortInfo& port) {
    return port.vid == 0 && port.pid == 0 ? std::string("-") : hex4(port.vid) + ":" + hex4(port.pid);
}

// The length of the well-formed UTF-8 sequence at text[i], or 0.
std::size_t utf8Length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00" + hex4(c).substr(2);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (std::size_t length = utf8Length(text, i); length > 0) {
            out.append(text, i, length);
            i += length;
            continue;
        } else {
            out += "\\ufffd";  // a byte that is no UTF-8: JSON text must be
        }
        ++i;
    }
    return out + "\"";
}

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

}  // namespace

std::string formatPortTable(const std::vector<PortInfo>& ports) {
    struct Row {
        std::array<std::string, 4> cells;
        std::string byId;
    };
    std::vector<Row> rows{{{"NAME", "DESCRIPTION", "VID:PID", "SERIAL"}, {}}};
    for (const PortInfo& port : ports) {
        rows.push_back({{printableName(port.name), printableName(port.description), usbIds(port),
                         port.serial.empty() ? std::string("-") : printableName(port.serial)},
                        port.byId.empty() ? std::string() : printableName(port.byId, 200)});
    }
    std::array<std::size_t, 4> widths{};
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < widths.size(); ++c) widths[c] = std::max(widths[c], row.cells[c].size());
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
    std::string out = "[";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const PortInfo& p = ports[i];
        const bool usb = p.vid != 0 || p.pid != 0;
        out += i == 0 ? "\n" : ",\n";
        out += "  {\"name\": " + jsonString(p.name) + ", \"description\": " + jsonString(p.description) +
               ", \"vid\": " + (usb ? "\"" + hex4(p.vid) + "\"" : "null") +
               ", \"pid\": " + (usb ? "\"" + hex4(p.pid) + "\"" : "null") + ", \"maker\": " + jsonString(p.maker) +
               ", \"serial\": " + jsonString(p.serial) + ", \"byId\": " + jsonString(p.byId) + "}";
    }
    return out + (ports.empty() ? "]\n" : "\n]\n");
}

int runPortsCommand(bool json) {
    const std::vector<PortInfo> ports = listPorts();
    if (json) {
        std::fputs(formatPortJson(ports).c_str(), stdout);
    } else if (ports.empty()) {
        std::fprintf(stderr, "qelisp-cli: no serial port can be opened\n");
    } else {
        std::fputs(formatPortTable(ports).c_str(), stdout);
    }
    return 0;
}

}  // namespace qelisp::cli
