#include "comm/ftp/winsock_errors.h"

#include <cerrno>

namespace zp {

std::int32_t WinsockErrorCode(int systemError) {
    switch (systemError) {
        case EINTR:
            return 10004;
        case EBADF:
            return 10009;
        case EACCES:
        case EPERM:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:
            return 10024;
        case EAGAIN:
            return 10035;
        case EINPROGRESS:
            return 10036;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
            return 10038;
        case EDESTADDRREQ:
            return 10039;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case ENOPROTOOPT:
            return 10042;
        case EPROTONOSUPPORT:
            return 10043;
        case ESOCKTNOSUPPORT:
            return 10044;
        case EOPNOTSUPP:
            return 10045;
        case EPFNOSUPPORT:
            return 10046;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
        case ENONET:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return wsNetworkReset;
        case ECONNABORTED:
            return wsConnectionAborted;
        // A send after the peer has reset the connection.
        case EPIPE:
        case ECONNRESET:
            return wsConnectionReset;
        case ENOBUFS:
        case ENOMEM:
            return 10055;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case ESHUTDOWN:
            return 10058;
        case ETIMEDOUT:
            return wsTimedOut;
        case ECONNREFUSED:
            return wsConnectionRefused;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return 10065;
        default:
            return wsConnectionAborted;
    }
}

}  // namespace zp
