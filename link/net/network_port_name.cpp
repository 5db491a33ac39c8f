#include "link/net/network_port_name.h"

#include "link/printable_name.h"

#include <algorithm>
#include <array>

namespace qelisp {

namespace {

struct Scheme {
    std::string_view prefix;
    NetworkPortName::Kind kind;
};
constexpr std::array kSchemes{Scheme{"rfc2217://", NetworkPortName::Kind::Rfc2217},
                              Scheme{"tcp://", NetworkPortName::Kind::RawTcp}};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) { return lower(a) == lower(b); });
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlnum(char c) { return isDigit(c) || (lower(c) >= 'a' && lower(c) <= 'z'); }

// What a host name or an IPv4 address is made of; an IPv6 address in
// brackets also has colons, and a zone after '%' ("fe80::1%eth0").
bool isHostName(std::string_view host) {
    return std::all_of(host.begin(), host.end(), [](char c) { return isAlnum(c) || c == '.' || c == '-' || c == '_'; });
}
bool isIpv6Address(std::string_view host) {
    return host.find(':') != std::string_view::npos &&
           std::all_of(host.begin(), host.end(), [](char c) { return isAlnum(c) || c == ':' || c == '.' || c == '%'; });
}

std::optional<NetworkPortName> failed(std::string& error, std::string text) {
    error = std::move(text);
    return std::nullopt;
}

}  // namespace

bool isNetworkPortName(std::string_view name) {
    return std::any_of(kSchemes.begin(), kSchemes.end(),
                       [&](const Scheme& scheme) { return startsWithNoCase(name, scheme.prefix); });
}

std::optional<NetworkPortName> parseNetworkPortName(std::string_view name, std::string& error) {
    error.clear();
    // The system would read the host only up to the NUL and reach another.
    if (name.find('\0') != std::string_view::npos) return failed(error, "the name holds a NUL byte");
    const auto scheme = std::find_if(kSchemes.begin(), kSchemes.end(),
                                     [&](const Scheme& s) { return startsWithNoCase(name, s.prefix); });
    if (scheme == kSchemes.end()) {
        return failed(error, "not a network port's name (rfc2217://HOST:PORT or tcp://HOST:PORT)");
    }
    NetworkPortName parsed;
    parsed.kind = scheme->kind;
    std::string_view rest = name.substr(scheme->prefix.size());

    std::string_view host;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return failed(error, "the IPv6 address has no closing bracket: [ADDRESS]:PORT");
        }
        host = rest.substr(1, close - 1);
        if (host.empty()) return failed(error, "the host is empty: the server's name or address goes before the port");
        if (!isIpv6Address(host)) {
            return failed(error, "'" + printableName(host) + "' in brackets is not an IPv6 address");
        }
        rest = rest.substr(close + 1);
    } else {
        const std::string_view beforePath = rest.substr(0, rest.find('/'));
        if (std::count(beforePath.begin(), beforePath.end(), ':') > 1) {
            return failed(error, "an IPv6 address goes in brackets: [ADDRESS]:PORT");
        }
        const std::size_t end = rest.find_first_of(":/");
        host = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
        if (host.empty()) return failed(error, "the host is empty: the server's name or address goes before the port");
        if (!isHostName(host)) {
            return failed(error, "'" + printableName(host) + "' is not a host name or an IPv4 address");
        }
    }
    if (const std::size_t slash = rest.find('/'); slash != std::string_view::npos) {
        return failed(error, "nothing follows the port: '" + printableName(rest.substr(slash)) +
                                 "' is a path, which a network port has not");
    }
    if (rest.empty() || rest == ":") {
        return failed(error, "the port is missing: the server's TCP port goes after the host, as in HOST:7000");
    }
    if (rest.front() != ':') {
        return failed(error, "'" + printableName(rest) + "' after the host: the port goes after a colon");
    }
    const std::string_view port = rest.substr(1);
    const bool digits = port.size() <= 5 && std::all_of(port.begin(), port.end(), isDigit);
    unsigned long value = 0;
    for (char c : port) value = value * 10 + static_cast<unsigned long>(c - '0');
    if (!digits || value < 1 || value > 65535) {
        return failed(error, "bad port '" + printableName(port) + "': a number from 1 to 65535");
    }
    parsed.host = std::string(host);
    parsed.port = static_cast<std::uint16_t>(value);
    return parsed;
}

}  // namespace qelisp
