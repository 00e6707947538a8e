#!/usr/bin/python3
"""A small SOCKS 4A server (CONNECT only) for loopback tests: dante serves SOCKS 4 and 5
but not the 4A name extension.

Usage: socks4a_server.py PORTFILE
Listens on a free loopback port, writes it to PORTFILE, and relays until killed. Only
destinations that resolve to loopback addresses are served.
"""
import ipaddress
import os
import selectors
import socket
import sys
import threading


def read_exact(sock, count):
    data = b""
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        if not chunk:
            raise ConnectionError("closed")
        data += chunk
    return data


def read_until_nul(sock):
    data = b""
    while not data.endswith(b"\0"):
        chunk = sock.recv(1)
        if not chunk:
            raise ConnectionError("closed")
        data += chunk
        if len(data) > 1024:
            raise ConnectionError("too long")
    return data[:-1]


def relay(a, b):
    selector = selectors.DefaultSelector()
    selector.register(a, selectors.EVENT_READ, b)
    selector.register(b, selectors.EVENT_READ, a)
    open_ends = 2
    while open_ends:
        for key, _ in selector.select():
            data = key.fileobj.recv(262144)
            if not data:
                selector.unregister(key.fileobj)
                try:
                    key.data.shutdown(socket.SHUT_WR)
                except OSError:
                    pass
                open_ends -= 1
            else:
                key.data.sendall(data)


def serve(client):
    target = None
    try:
        head = read_exact(client, 8)
        version, command = head[0], head[1]
        port = int.from_bytes(head[2:4], "big")
        ip = head[4:8]
        read_until_nul(client)  # user id
        if version != 4 or command != 1:
            raise ConnectionError("unsupported")
        if ip[:3] == b"\0\0\0" and ip[3] != 0:
            host = read_until_nul(client).decode()
        else:
            host = socket.inet_ntoa(ip)
        address = socket.gethostbyname(host)
        if not ipaddress.ip_address(address).is_loopback:
            raise ConnectionError("not a loopback destination")
        target = socket.create_connection((address, port), timeout=10)
        target.settimeout(None)
        client.sendall(b"\0\x5a" + port.to_bytes(2, "big") + socket.inet_aton(address))
        relay(client, target)
    except (OSError, ConnectionError, UnicodeDecodeError):
        try:
            client.sendall(b"\0\x5b\0\0\0\0\0\0")
        except OSError:
            pass
    finally:
        client.close()
        if target:
            target.close()


def main():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    tmp = sys.argv[1] + ".tmp"
    with open(tmp, "w") as out:
        out.write("%d\n" % listener.getsockname()[1])
    os.rename(tmp, sys.argv[1])
    while True:
        client, _ = listener.accept()
        threading.Thread(target=serve, args=(client,), daemon=True).start()


if __name__ == "__main__":
    main()
