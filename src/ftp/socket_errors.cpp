#include "ftp/socket_errors.h"

SocketErrorInfo DescribeSocketError(QAbstractSocket::SocketError error) {
    using E = QAbstractSocket::SocketError;
    switch (error) {
        case E::ConnectionRefusedError:
        case E::ProxyConnectionRefusedError:
            return {"Connection refused", 10061};
        case E::RemoteHostClosedError:
        case E::ProxyConnectionClosedError:
            return {"Connection closed by the remote host", 10054};
        case E::HostNotFoundError:
        case E::ProxyNotFoundError:
            return {"Host not found", 11001};
        case E::SocketAccessError:
        case E::ProxyAuthenticationRequiredError:
            return {"Permission denied", 10013};
        case E::SocketResourceError:
            return {"No buffer space available", 10055};
        case E::SocketTimeoutError:
        case E::ProxyConnectionTimeoutError:
            return {"Connection timed out", 10060};
        case E::NetworkError:
            return {"Network is unreachable", 10051};
        case E::AddressInUseError:
            return {"Address already in use", 10048};
        case E::SocketAddressNotAvailableError:
            return {"Cannot assign requested address", 10049};
        case E::UnsupportedSocketOperationError:
        case E::OperationError:
            return {"Operation not supported", 10045};
        case E::ProxyProtocolError:
            return {"SOCKS protocol error", 10053};
        case E::UnfinishedSocketOperationError:
            return {"Operation already in progress", 10037};
        default:
            return {"Connection aborted", 10053};
    }
}
