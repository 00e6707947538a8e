#!/usr/bin/python3
"""Fills the folders of the local demo that scripts/run.sh starts.

Usage: make_demo_folder.py DIR LOCALDIR

DIR is what the demo server serves: README.txt, a small web site in public_html/ and a month
of access logs in www_logs/. LOCALDIR is the person's own side: a few files to upload, a
sample transfer script and an empty folder for the fetched logs.

Only what is missing is created; a file that is there, changed or not, is never touched, so
running this again keeps the person's own changes and only puts back what was deleted. All
content is fixed (seeded), so two runs on the same day write the same bytes.
"""
import calendar
import datetime
import gzip
import os
import random
import struct
import sys
import time
import zlib

# The logs' name prefix: Log File Processing offers it as the site's domain when it holds
# ".com", and the CSV then names http://example.com/... pages.
LOG_PREFIX = "example.com"
LOG_DOMAIN = "example.com"
# English month names as the web server writes them, whatever the locale here.
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
# The last days of the month stay as the server left them; older ones are gzip-compressed,
# so a retrieval shows both kinds.
PLAIN_DAYS = 2


def create(path, data):
    """Writes DATA to PATH unless PATH exists; True when it was written."""
    if os.path.lexists(path):
        return False
    os.makedirs(os.path.dirname(path), exist_ok=True)
    tmp = "%s.%d.tmp" % (path, os.getpid())
    with open(tmp, "wb") as out:
        out.write(data)
    os.replace(tmp, path)
    return True


def text(s):
    return s.lstrip("\n").encode("utf-8")


# ---- The web site ------------------------------------------------------------------------

STYLE_CSS = text("""
body { font-family: sans-serif; margin: 2em auto; max-width: 40em; color: #222; }
header { display: flex; align-items: center; gap: 1em; border-bottom: 2px solid #2a6f97; }
header img { width: 32px; height: 32px; }
nav a { margin-right: 1em; }
a { color: #2a6f97; }
footer { margin-top: 3em; font-size: small; color: #666; }
""")

PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>{title} - Harbour Street Bakery</title>
<link rel="stylesheet" href="style.css">
</head>
<body>
<header>
<img src="images/logo.png" alt="">
<h1>{title}</h1>
</header>
<nav><a href="index.html">Home</a><a href="about.html">About us</a><a href="news.html">News</a></nav>
{body}
<footer>A demo site served from your own machine by Vorlen FTP's demo server.</footer>
</body>
</html>
"""

INDEX_HTML = text(PAGE.format(title="Harbour Street Bakery", body="""
<p>Fresh bread every morning from six o'clock, cakes to order, and coffee to take away.</p>
<p>This week: rye sourdough, cardamom buns and the lemon tart.</p>
<p>Our <a href="downloads/price-list.txt">price list</a> and the
<a href="downloads/menu-photos.bin">menu photos</a> (about 200 KB) can be downloaded.</p>
<p>The News page is not on the server yet: upload <code>news.html</code> from your local
demo folder to put it there.</p>
"""))

ABOUT_HTML = text(PAGE.format(title="About us", body="""
<p>The bakery has stood at 12 Harbour Street since 1962. Three bakers, one oven and a
starter older than most of our customers.</p>
<p>Open Tuesday to Saturday, 6:00 to 14:00.</p>
"""))

PRICE_LIST = text("""
Harbour Street Bakery - price list

Rye sourdough, 800 g        4.20
White farmhouse loaf        3.10
Cardamom bun                2.40
Lemon tart, whole          18.00
Coffee to take away         2.20
""")


def png(width, height, pixel):
    """A valid RGB PNG of PIXEL(x, y) -> (r, g, b)."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    rows = b"".join(
        b"\0" + bytes(c for x in range(width) for c in pixel(x, y)) for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def logo_pixel(x, y):
    # A round loaf on a blue tile.
    dx, dy = x - 15.5, y - 17.5
    if (dx / 13) ** 2 + (dy / 9) ** 2 <= 1:
        return (0xc8, 0x8a, 0x3d) if (x + 2 * y) % 11 else (0xa0, 0x66, 0x2a)
    return (0x2a, 0x6f, 0x97)


LOGO_PNG = png(32, 32, logo_pixel)
# Big enough for the transfer to show its progress; fixed bytes so a resumed download of
# the same file can be checked.
MENU_PHOTOS = random.Random("vorlen-demo-menu-photos").randbytes(200 * 1024)

SITE_FILES = {
    "public_html/index.html": INDEX_HTML,
    "public_html/about.html": ABOUT_HTML,
    "public_html/style.css": STYLE_CSS,
    "public_html/images/logo.png": LOGO_PNG,
    "public_html/downloads/price-list.txt": PRICE_LIST,
    "public_html/downloads/menu-photos.bin": MENU_PHOTOS,
}


# ---- The access logs -----------------------------------------------------------------------

# Addresses of the documentation ranges only: none of them is anybody's.
VISITOR_ADDRESSES = (["192.0.2.%d" % n for n in range(10, 60, 3)]
                     + ["198.51.100.%d" % n for n in range(5, 250, 17)]
                     + ["203.0.113.%d" % n for n in range(2, 200, 23)]
                     + ["2001:db8:4a1::%x" % n for n in range(0x10, 0x16)])
BROWSERS = [
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/124.0.0.0 Safari/537.36",
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.4 Safari/605.1.15",
    "Mozilla/5.0 (X11; Linux x86_64; rv:125.0) Gecko/20100101 Firefox/125.0",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) Version/17.4 Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/124.0.0.0 Mobile Safari/537.36",
]
CRAWLERS = [
    ("66.249.66.%d", "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)"),
    ("40.77.167.%d", "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)"),
]
PROBES = ["/wp-login.php", "/.env", "/admin/config.php", "/xmlrpc.php"]
PROBE_AGENTS = ["python-requests/2.31.0", "curl/7.88.1", "Mozilla/5.0 zgrab/0.x"]
SEARCH_REFERRERS = [
    "https://www.google.com/",
    "https://duckduckgo.com/",
    "https://www.bing.com/search?q=harbour+street+bakery",
    "https://forum.example.net/t/best-bread-in-town/4411",
]
PAGES = {"/": INDEX_HTML, "/index.html": INDEX_HTML, "/about.html": ABOUT_HTML}
# The size of the server's "Not Found" page.
NOT_FOUND_SIZE = 196


def clf_time(day, seconds):
    h, rest = divmod(seconds, 3600)
    m, s = divmod(rest, 60)
    return "%02d/%s/%04d:%02d:%02d:%02d +0000" % (day.day, MONTHS[day.month - 1], day.year, h, m,
                                                  s)


def log_line(address, day, seconds, request, status, size, referrer, agent):
    return '%s - - [%s] "%s" %d %s "%s" "%s"\n' % (address, clf_time(day, seconds), request,
                                                   status, size, referrer, agent)


def day_log(day):
    """One day's access log, in the combined layout, sorted by time."""
    rng = random.Random("vorlen-demo-log-%s" % day.isoformat())
    hits = []

    def hit(address, seconds, path, status, size, referrer, agent, method="GET"):
        if seconds < 86400:
            protocol = rng.choice(["HTTP/1.1", "HTTP/1.1", "HTTP/2.0"])
            hits.append((seconds, len(hits),
                         log_line(address, day, seconds, "%s %s %s" % (method, path, protocol),
                                  status, size, referrer, agent)))

    site = "http://%s" % LOG_DOMAIN
    for _ in range(rng.randint(45, 80)):
        t = rng.randint(0, 86399)
        kind = rng.random()
        if kind < 0.10:
            pattern, agent = rng.choice(CRAWLERS)
            address = pattern % rng.randint(1, 254)
            hit(address, t, "/robots.txt", 404, NOT_FOUND_SIZE, "-", agent)
            for path in rng.sample(sorted(PAGES), 2):
                t += rng.randint(1, 30)
                hit(address, t, path, 200, len(PAGES[path]), "-", agent)
            continue
        if kind < 0.15:
            address = "203.0.113.%d" % rng.randint(200, 254)
            agent = rng.choice(PROBE_AGENTS)
            for path in rng.sample(PROBES, rng.randint(1, 3)):
                hit(address, t, path, 404, NOT_FOUND_SIZE, "-", agent)
                t += rng.randint(0, 2)
            continue
        # A person: a page from outside, its style sheet and logo, perhaps more pages.
        address = rng.choice(VISITOR_ADDRESSES)
        agent = BROWSERS[VISITOR_ADDRESSES.index(address) % len(BROWSERS)]
        returning = rng.random() < 0.3
        referrer = rng.choice(SEARCH_REFERRERS) if rng.random() < 0.5 else "-"
        page = rng.choice(["/", "/", "/index.html", "/about.html"])
        for visit in range(rng.randint(1, 3)):
            if returning and visit == 0:
                hit(address, t, page, 304, "-", referrer, agent)
            else:
                hit(address, t, page, 200, len(PAGES[page]), referrer, agent)
            page_url = site + ("/index.html" if page == "/" else page)
            t += rng.randint(0, 1)
            if returning:
                hit(address, t, "/style.css", 304, "-", page_url, agent)
                hit(address, t, "/images/logo.png", 304, "-", page_url, agent)
            else:
                hit(address, t, "/style.css", 200, len(STYLE_CSS), page_url, agent)
                hit(address, t, "/images/logo.png", 200, len(LOGO_PNG), page_url, agent)
                if visit == 0 and rng.random() < 0.4:
                    hit(address, t + 1, "/favicon.ico", 404, NOT_FOUND_SIZE, "-", agent)
            returning = True
            t += rng.randint(8, 240)
            choice = rng.random()
            if choice < 0.12:
                # The News link points nowhere until news.html is uploaded.
                hit(address, t, "/news.html", 404, NOT_FOUND_SIZE, page_url, agent)
                t += rng.randint(3, 30)
            elif choice < 0.22:
                hit(address, t, "/downloads/price-list.txt", 200, len(PRICE_LIST), page_url,
                    agent)
            elif choice < 0.28:
                # Some downloads are cut short and resumed.
                if rng.random() < 0.3:
                    part = rng.randint(20000, len(MENU_PHOTOS) - 1)
                    hit(address, t, "/downloads/menu-photos.bin", 200, part, page_url, agent)
                    t += rng.randint(5, 60)
                    hit(address, t, "/downloads/menu-photos.bin", 206, len(MENU_PHOTOS) - part,
                        page_url, agent)
                else:
                    hit(address, t, "/downloads/menu-photos.bin", 200, len(MENU_PHOTOS),
                        page_url, agent)
            elif choice < 0.30:
                hit(address, t, "/old/index.htm", 404, NOT_FOUND_SIZE, "-", agent)
            referrer = page_url
            page = rng.choice(["/index.html", "/about.html"])
    hits.sort()
    return "".join(line for _, _, line in hits).encode("ascii")


def local_time(day, hour, minute):
    return time.mktime((day.year, day.month, day.day, hour, minute, 0, 0, 0, -1))


def make_logs(folder, today):
    """Last full month's daily logs, named PREFIX.yyyymmdd (older days .gz), and today's log
    still being written under the bare prefix, as a hosting server keeps them."""
    first_of_month = today.replace(day=1)
    last_month_end = first_of_month - datetime.timedelta(days=1)
    year, month = last_month_end.year, last_month_end.month
    days = calendar.monthrange(year, month)[1]
    for n in range(1, days + 1):
        day = datetime.date(year, month, n)
        name = os.path.join(folder, "%s.%s" % (LOG_PREFIX, day.strftime("%Y%m%d")))
        # Either form counts as present: the other may have been made from it.
        if os.path.lexists(name) or os.path.lexists(name + ".gz"):
            continue
        data = day_log(day)
        target = name
        if n <= days - PLAIN_DAYS:
            target += ".gz"
            data = gzip.compress(data, 9, mtime=0)
        if create(target, data):
            # Rotated just after midnight, as the server would have.
            rotated = local_time(day + datetime.timedelta(days=1), 0, 5)
            os.utime(target, (rotated, rotated))
    current = os.path.join(folder, LOG_PREFIX)
    if not os.path.lexists(current):
        now = datetime.datetime.now()
        elapsed = now.hour * 3600 + now.minute * 60 + now.second
        lines = day_log(today).splitlines(keepends=True)
        # Only what has "happened" so far today.
        create(current, b"".join(line for line in lines if line_seconds(line) <= elapsed))


def line_seconds(line):
    stamp = line.split(b"[", 1)[1]
    h, m, s = (int(part) for part in stamp[12:20].split(b":"))
    return h * 3600 + m * 60 + s


# ---- The person's side ---------------------------------------------------------------------

NEWS_HTML = text(PAGE.format(title="News", body="""
<p>From next month the bakery opens on Mondays too.</p>
<p>This page was uploaded from the local demo folder with Vorlen FTP.</p>
"""))

OPENING_HOURS = text("""
Opening hours from next month

Monday to Saturday   6:00 - 14:00
Sunday               closed
""")


def sample_script(local_dir):
    # LOC-CD takes the rest of its line, so a folder name with blanks is fine there; GET's
    # parameters are single words, hence the move into the target folder first.
    return text("""
# Sample transfer script for the demo site (Tools > Run Script, then choose this file).
# It runs with the current site - the "Local demo" site scripts/run.sh sets up - and logs
# in by itself, since its password is saved. It copies the web site's pages into the
# site-copy folder beside this script, then stops. Lines starting with "#" are comments.
LOC-CD %s
IF NOT LOC-FILE-EXISTS<site-copy> BEGIN-NEWFOLDER
LOC-MKDIR site-copy
END-NEWFOLDER
LOC-CD site-copy
REM-CD /public_html
GET *.html *
# EXIT SCRIPT ends the script and leaves the window open; EXIT VORLEN would close the
# program too (what a script run from cron with -s wants).
EXIT SCRIPT
""" % local_dir)


def readme(server_dir, local_dir):
    return text("""
Vorlen FTP demo
===============

scripts/run.sh starts a small FTP server on this machine (127.0.0.1 only) that serves
this folder, and starts Vorlen FTP logged in to it as the site "Local demo". The user is
"demo"; its password is made new at every start and saved with the site, so you never
type it. The server stops when the program ends.

Served (the "remote" side):  %(server)s
Your side:                   %(local)s

What is here
  public_html/   a small web site: two pages, a style sheet, a logo, and in downloads/
                 a price list (text) and a 200 KB file (binary) to watch a transfer's
                 progress.
  www_logs/      last month's access logs, one per day, named %(prefix)s.yyyymmdd; the
                 older ones compressed (.gz). %(prefix)s without a date is today's log,
                 still being written: it is not fetched.

Things to try
  - Download public_html/downloads/menu-photos.bin, and upload news.html from your
    side into public_html (the site's News link works after that).
  - Tools > Run Script with sample_script.txt from your side: it copies the pages into
    site-copy there.
  - Web logs: in Options > Settings tick "Enable logfile functions" (the Local demo
    site already uses %(local)s/weblogs as its Local Log Folder and www_logs as its
    Remote Log Directory). Tools > Log File
    Retrieval brings the month into weblogs/yyyymm/ and decompresses it; then select
    one day's log there and choose Tools > Log File Processing (the domain is
    %(domain)s) for %(prefix)syyyymm.csv.

Your changes here are kept. Whatever demo file is missing (deleted, or taken off the
server by a log retrieval) is put back the next time scripts/run.sh starts. Your own
sites and settings are not touched by the demo; VORLEN_NO_DEMO=1 scripts/run.sh starts
the program without it.
""" % {"server": server_dir, "local": local_dir, "prefix": LOG_PREFIX, "domain": LOG_DOMAIN})


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_demo_folder.py DIR LOCALDIR")
    server_dir = os.path.abspath(sys.argv[1])
    local_dir = os.path.abspath(sys.argv[2])
    for folder in (server_dir, local_dir, os.path.join(local_dir, "weblogs"),
                   os.path.join(server_dir, "www_logs")):
        os.makedirs(folder, exist_ok=True)

    create(os.path.join(server_dir, "README.txt"), readme(server_dir, local_dir))
    for name, data in SITE_FILES.items():
        create(os.path.join(server_dir, name), data)
    make_logs(os.path.join(server_dir, "www_logs"), datetime.date.today())

    create(os.path.join(local_dir, "news.html"), NEWS_HTML)
    create(os.path.join(local_dir, "opening-hours.txt"), OPENING_HOURS)
    create(os.path.join(local_dir, "sample_script.txt"), sample_script(local_dir))


if __name__ == "__main__":
    main()
