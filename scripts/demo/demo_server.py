#!/usr/bin/python3
"""The local FTP server scripts/run.sh starts so that the program has a site to log in to.

Usage: demo_server.py [--parent-pid PID] [--log FILE] ROOT PORTFILE

Serves ROOT to one user, named by VORLEN_DEMO_USER with the password in VORLEN_DEMO_PASSWORD
(taken from the environment so that it never shows in a process list), on a free port of
127.0.0.1. The port is written to PORTFILE once the server listens. Only warnings are logged,
to FILE or standard error. Ends on SIGTERM or SIGINT, and by itself once the process PID is
gone, so it never outlives the run that started it.
"""
import argparse
import logging
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

# How often the parent is looked for, in seconds.
PARENT_CHECK_SECONDS = 3


class DemoHandler(FTPHandler):
    banner = "Vorlen FTP demo server ready."
    masquerade_address = None
    passive_ports = None  # any free port the system gives


def parent_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True  # there, only not ours to signal
    return True


def stop(*_):
    # Leaves the server's loop; serve_forever then closes every connection.
    raise SystemExit(0)


def write_port(path, port):
    # A reader polling for the file sees either nothing or the whole number.
    tmp = "%s.%d.tmp" % (path, os.getpid())
    with open(tmp, "w") as out:
        out.write("%d\n" % port)
    os.replace(tmp, path)


def remove_port_file(path, port):
    # Only our own: a later server may have written its port there already.
    try:
        with open(path) as f:
            if f.read().strip() == str(port):
                os.remove(path)
    except OSError:
        pass


def main():
    parser = argparse.ArgumentParser(description="Vorlen FTP's local demo server")
    parser.add_argument("root", help="folder served as the user's home")
    parser.add_argument("port_file", help="file that receives the port number")
    parser.add_argument("--parent-pid", type=int, help="end once this process is gone")
    parser.add_argument("--log", help="log file (default: standard error)")
    args = parser.parse_args()

    user = os.environ.get("VORLEN_DEMO_USER", "")
    password = os.environ.get("VORLEN_DEMO_PASSWORD", "")
    if not user or not password:
        sys.exit("demo_server.py: VORLEN_DEMO_USER and VORLEN_DEMO_PASSWORD must be set")
    root = os.path.realpath(args.root)
    if not os.path.isdir(root):
        sys.exit("demo_server.py: %s is not a folder" % root)

    logging.basicConfig(filename=args.log, level=logging.WARNING,
                        format="%(asctime)s demo_server %(levelname)s %(message)s")

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    DemoHandler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), DemoHandler)
    port = server.address[1]

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if args.parent_pid:
        def check_parent():
            if not parent_alive(args.parent_pid):
                logging.warning("process %d is gone, stopping", args.parent_pid)
                stop()
        # A timer of the server's own loop: the loop sleeps until it is due.
        server.ioloop.call_every(PARENT_CHECK_SECONDS, check_parent)
        check_parent()

    write_port(args.port_file, port)
    try:
        server.serve_forever(handle_exit=True)
    finally:
        remove_port_file(args.port_file, port)


if __name__ == "__main__":
    main()
