#!/usr/bin/python3
"""Scripted FTP servers for the cases a real server cannot show on demand.

Usage: SCRIPTED_FTP_PASSWORD=... scripted_ftp_server.py WORKDIR

Every server listens on its own free loopback port; the ports are written to
WORKDIR/scripted.env as NAME=PORT lines once all are listening. Servers:
  scripted  normal login as "tester"; multi-line greeting; SITE commands that
            answer with chosen bytes (see ScriptedHandler)
  user230   answers USER with 230, no password asked
  silent    accepts connections and never says anything
  dropper   drops the control connection in the middle of a RETR
  slow      sends data at 100 KiB/s (a transfer that outlasts a short time-out while bytes flow)
  ipv6      the scripted server on ::1 (EPSV and EPRT)
  windows   answers LIST in the Windows (IIS) form
  zos       a z/OS host: PWD names the quoted high-level qualifier, CWD takes dataset
            prefixes and partitioned datasets, LIST answers dataset and member lists; every
            SITE command is accepted and recorded, and "SITE RECORDED" answers with the ones
            received since the last time, joined by " | "
"""
import codecs
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.ioloop import IOLoop
from pyftpdlib.servers import FTPServer


def site_command(help_text, arg=True):
    return dict(perm=None, auth=True, arg=arg, help=help_text)


def without_machine_listings(commands):
    """The commands of a server that predates machine listings (FEAT then offers no MLST)."""
    return {name: value for name, value in commands.items() if name not in ("MLSD", "MLST")}


class ScriptedHandler(FTPHandler):
    pasv_reply = None
    # Its listings are scripted text listings.
    proto_cmds = without_machine_listings(FTPHandler.proto_cmds)
    proto_cmds.update({
        "SITE MULTI": site_command("Syntax: SITE MULTI (multi-line 250 reply)", arg=False),
        "SITE RAW": site_command("Syntax: SITE RAW text (sent with escapes decoded)"),
        "SITE SPLIT": site_command("Syntax: SITE SPLIT (a reply in two packets)", arg=False),
        "SITE LONG": site_command("Syntax: SITE LONG n (a 200 reply n characters long)"),
        "SITE PASVREPLY": site_command("Syntax: SITE PASVREPLY text (next PASV answer)"),
        "SITE CLOSE": site_command("Syntax: SITE CLOSE (drop the control connection)", arg=False),
        "SITE FOREIGNPASV": site_command("Syntax: SITE FOREIGNPASV address (PASV names it)"),
        "SITE BIGLIST": site_command("Syntax: SITE BIGLIST n (next LIST: n entries and junk)"),
    })

    def handle(self):
        # A greeting of three lines.
        self.on_connect()
        if not self._closed and not self._closing:
            self.push("220-Scripted test server\r\n220-second line of the greeting\r\n")
            self.respond("220 third line")

    def ftp_SITE_MULTI(self, line):
        self.push("250-First line\r\n250-Second line\r\n 250 not the end\r\n250 End\r\n")

    def ftp_SITE_RAW(self, line):
        self.push(codecs.decode(line, "unicode_escape"))

    def ftp_SITE_SPLIT(self, line):
        self.push("2")
        self.ioloop.call_later(0.2, self.push, "00 Split reply complete\r\n")

    def ftp_SITE_LONG(self, line):
        self.push("200 " + "x" * int(line) + "\r\n")

    def ftp_SITE_PASVREPLY(self, line):
        # Per session: tests running at once must not see each other's answer.
        self.pasv_reply = line
        self.respond("200 Next PASV answer set")

    def ftp_SITE_CLOSE(self, line):
        self.close()

    def ftp_SITE_FOREIGNPASV(self, line):
        # The real passive port, but another machine's address, as a server behind NAT or a
        # hostile one would send.
        self.masquerade_address = line
        self.respond("200 PASV now names " + line)

    def ftp_SITE_BIGLIST(self, line):
        self.big_list = int(line)
        self.respond("200 Next LIST has %d entries" % self.big_list)

    def ftp_LIST(self, path):
        count = getattr(self, "big_list", None)
        if count is None:
            return FTPHandler.ftp_LIST(self, path)
        self.big_list = None
        # Garbage, an over-long line and lines of error text among the entries.
        lines = ["total %d" % count, "ls: cannot open directory .: Permission denied",
                 "\x01\x02 garbage \xff", "-rw-r--r-- 1 u g 12 Jan  1 00:00 " + "y" * 5000]
        lines += ["-rw-r--r-- 1 user group %d Mar %2d 12:%02d file%06d.txt" %
                  (i, i % 28 + 1, i % 60, i) for i in range(count)]
        data = ("\r\n".join(lines) + "\r\n").encode("latin-1")
        self.push_dtp_data(data, isproducer=False, cmd="LIST")

    def ftp_PASV(self, line):
        if self.pasv_reply is not None:
            reply, self.pasv_reply = self.pasv_reply, None
            self.respond(reply)
            return
        FTPHandler.ftp_PASV(self, line)


class User230Handler(FTPHandler):
    def ftp_USER(self, line):
        self.username = line
        self.handle_auth_success(self.authorizer.get_home_dir("tester"), "",
                                 "Logged in without a password.")


class SilentHandler(FTPHandler):
    def handle(self):
        pass  # no greeting, no reply: the client must give up by itself


class SlowDTPHandler(ThrottledDTPHandler):
    read_limit = 200 * 1024
    write_limit = 200 * 1024


class VerySlowDTPHandler(ThrottledDTPHandler):
    read_limit = 100 * 1024
    write_limit = 100 * 1024


class SlowHandler(ScriptedHandler):
    dtp_handler = VerySlowDTPHandler


class DropperHandler(FTPHandler):
    dtp_handler = SlowDTPHandler

    def ftp_RETR(self, file):
        FTPHandler.ftp_RETR(self, file)
        self.ioloop.call_later(0.5, self.close)


class MlsdRefuserHandler(FTPHandler):
    """Announces machine listings in FEAT but refuses MLSD."""

    def ftp_MLSD(self, path):
        self.respond("500 MLSD not understood today.")


class WindowsHandler(FTPHandler):
    proto_cmds = without_machine_listings(FTPHandler.proto_cmds)
    listing = ("01-05-04  10:33AM       <DIR>          Folder One\r\n"
               "12-31-03  09:05PM                 1234 readme.txt\r\n"
               "02-14-04  11:59AM               567890 photo of us.jpg\r\n")

    def ftp_LIST(self, path):
        self.push_dtp_data(self.listing.encode(), isproducer=False, cmd="LIST")


class ZosHandler(FTPHandler):
    """Just enough of a z/OS FTP server for the remote pane: the working directory is a
    dataset-name prefix ('TESTER.') or a partitioned dataset ('TESTER.PROJ.SRC')."""
    prefixes = ("TESTER.", "TESTER.PROJ.")
    datasets = {
        "TESTER.": ("Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname\r\n"
                    "USR001 3390   2023/05/10  1   15  FB      80 27920  PO  PROJ.SRC\r\n"
                    "USR002 3390   2023/04/02  1    2  VB   27994 27998  PS  PROJ.LOAD\r\n"
                    "Migrated                                                OLD.DATA\r\n"),
        "TESTER.PROJ.": ("Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname\r\n"
                         "USR001 3390   2023/05/10  1   15  FB      80 27920  PO  SRC\r\n"),
    }
    members = (" Name     VV.MM   Created       Changed      Size  Init   Mod   Id\r\n"
               "ADDR      01.00 2007/03/01 2007/03/01 10:13    22    22     0 USER1\r\n"
               "MEMBER12  01.02 2007/03/01 2008/11/30 09:05   120   100     5 IBMUSER\r\n")
    pds = ("TESTER.PROJ.SRC",)
    # Dataset names are not paths: CWD and LIST take their argument as sent.
    proto_cmds = dict(FTPHandler.proto_cmds)
    proto_cmds["CWD"] = dict(perm=None, auth=True, arg=None, help="Syntax: CWD dataset prefix")
    proto_cmds["LIST"] = dict(perm=None, auth=True, arg=None, help="Syntax: LIST")

    def on_login(self, username):
        self.zos_dir = "TESTER."
        self.site_lines = []

    def pre_process_command(self, line, cmd, arg):
        if cmd != "SITE" or not self.authenticated:
            return FTPHandler.pre_process_command(self, line, cmd, arg)
        if (arg or "").strip().upper() == "RECORDED":
            self.respond("200 " + " | ".join(self.site_lines))
            self.site_lines = []
        else:
            self.site_lines.append(arg or "")
            self.respond("200 SITE command was accepted")

    def ftp_PWD(self, line):
        self.respond('257 "\'%s\'" is working directory.' % self.zos_dir)

    def ftp_CWD(self, line):
        name = (line or "").strip().strip("'").upper()
        if name in self.pds:
            self.zos_dir = name
            self.respond('250 The working directory "%s" is a partitioned data set' % name)
        elif (name if name.endswith(".") else name + ".") in self.prefixes:
            self.zos_dir = name if name.endswith(".") else name + "."
            self.respond('250 "\'%s\'" is the working directory name prefix.' % self.zos_dir)
        else:
            self.respond("550 %s is not a dataset prefix or partitioned data set" % name)

    def ftp_LIST(self, path):
        data = self.members if self.zos_dir in self.pds else self.datasets[self.zos_dir]
        self.push_dtp_data(data.encode(), isproducer=False, cmd="LIST")


def main():
    # From the environment, not the command line, which every user can read.
    workdir, password = sys.argv[1], os.environ.pop("SCRIPTED_FTP_PASSWORD")
    home = os.path.join(workdir, "scripted-home")
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, "big.bin"), "wb") as big:
        big.write(os.urandom(4 * 1024 * 1024))
    with open(os.path.join(home, "small.txt"), "wb") as small:
        small.write(b"scripted server file\r\n")
    os.makedirs(os.path.join(home, "sub"), exist_ok=True)
    with open(os.path.join(home, "slow.bin"), "wb") as slow:
        slow.write(os.urandom(450 * 1024))
    authorizer = DummyAuthorizer()
    authorizer.add_user("tester", password, home, perm="elradfmwMT")
    ioloop = IOLoop()
    ports = {}
    servers = (("scripted", ScriptedHandler, "127.0.0.1"), ("user230", User230Handler, "127.0.0.1"),
               ("silent", SilentHandler, "127.0.0.1"), ("dropper", DropperHandler, "127.0.0.1"),
               ("slow", SlowHandler, "127.0.0.1"), ("ipv6", ScriptedHandler, "::1"),
               ("windows", WindowsHandler, "127.0.0.1"), ("zos", ZosHandler, "127.0.0.1"),
               ("mlsdrefuser", MlsdRefuserHandler, "127.0.0.1"))
    for name, handler, address in servers:
        handler.authorizer = authorizer
        handler.auth_failed_timeout = 0.1
        handler.passive_ports = None
        try:
            server = FTPServer((address, 0), handler, ioloop=ioloop)
        except OSError:
            continue  # no IPv6 loopback here: the tests that need it skip
        ports[name] = server.address[1]
    tmp = os.path.join(workdir, "scripted.env.tmp")
    with open(tmp, "w") as env:
        for name, port in ports.items():
            env.write("%s=%d\n" % (name, port))
    os.rename(tmp, os.path.join(workdir, "scripted.env"))
    ioloop.loop()


if __name__ == "__main__":
    main()
