#pragma once
// Where the update check logs in. The server's host and account are compiled in; the
// environment can point the program at another server (tests, the demo).
#include <string>
#include <vector>

namespace update {

// The maker's update server and account. A release build sets these two; the defaults
// lie under the reserved ".invalid" domain, so that a build without them can never reach
// somebody else's server.
inline constexpr const char* kDefaultServerHost = "ftp.solvenda.invalid";
inline constexpr const char* kDefaultServerUser = "plantrix";

inline constexpr const char* kServerPassword = "pRwnKoeZ";
inline constexpr const char* kServerPort = "21";

inline constexpr const char* kServerVariable = "ARVEX_FTP_SERVER";
inline constexpr const char* kUserVariable = "ARVEX_FTP_USER";

struct ServerSettings {
    std::string host = kDefaultServerHost;
    std::string port = kServerPort;  // decimal, 1 to 65535
    std::string user = kDefaultServerUser;
    std::string password = kServerPassword;
};

// The settings with `server` ("host" or "host:port") and `user` in place of the defaults;
// a null or empty value keeps the default. A value that is not a host name or dotted
// address with an optional port, or a user name with a control character, is refused:
// the default stays and `problems` gets a line saying why.
ServerSettings MakeServerSettings(const char* server, const char* user,
                                  std::vector<std::string>& problems);

// The same from ARVEX_FTP_SERVER and ARVEX_FTP_USER.
ServerSettings ServerSettingsFromEnvironment(std::vector<std::string>& problems);

}  // namespace update
