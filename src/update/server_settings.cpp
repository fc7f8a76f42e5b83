#include "update/server_settings.h"

#include <cstdlib>
#include <optional>

#include "update/listing_names.h"

namespace update {

namespace {

constexpr size_t kMaxHostLength = 253;
constexpr size_t kMaxLabelLength = 63;
constexpr size_t kMaxUserLength = 255;

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// Dot-separated labels of letters, digits and "-": a host name or a dotted IPv4 address.
bool IsHostName(const std::string& host) {
    if (host.empty() || host.size() > kMaxHostLength) return false;
    size_t label = 0;
    for (const char c : host) {
        if (c == '.') {
            if (label == 0) return false;
            label = 0;
        } else if (!IsHostCharacter(c) || ++label > kMaxLabelLength) {
            return false;
        }
    }
    return label > 0;
}

std::optional<std::string> PortOf(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    int port = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
    return std::to_string(port);
}

bool IsUserName(const std::string& user) {
    if (user.size() > kMaxUserLength) return false;
    for (const char ch : user) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) return false;
    }
    return true;
}

void ApplyServer(const std::string& value, ServerSettings& settings,
                 std::vector<std::string>& problems) {
    const size_t colon = value.find(':');
    const std::string host = value.substr(0, colon);
    const auto port = colon == std::string::npos ? std::optional<std::string>(kServerPort)
                                                 : PortOf(value.substr(colon + 1));
    if (!IsHostName(host) || !port) {
        problems.push_back(std::string(kServerVariable) + " \"" + PrintableName(value) +
                           "\" is not a host name or address with an optional \":port\" "
                           "(1 to 65535); using " +
                           settings.host + ":" + settings.port);
        return;
    }
    settings.host = host;
    settings.port = *port;
}

}  // namespace

ServerSettings MakeServerSettings(const char* server, const char* user,
                                  std::vector<std::string>& problems) {
    ServerSettings settings;
    if (server != nullptr && *server != '\0') ApplyServer(server, settings, problems);
    if (user != nullptr && *user != '\0') {
        if (IsUserName(user)) {
            settings.user = user;
        } else {
            problems.push_back(std::string(kUserVariable) +
                               " holds a control character or is too long; using \"" +
                               settings.user + "\"");
        }
    }
    return settings;
}

ServerSettings ServerSettingsFromEnvironment(std::vector<std::string>& problems) {
    return MakeServerSettings(std::getenv(kServerVariable), std::getenv(kUserVariable), problems);
}

}  // namespace update
