#!/usr/bin/env python3
"""Serves the browser build's site folder as the page needs it.

Cross-origin isolated (so performance.now() has its finest resolution),
under the page's Content Security Policy, never cached, and WebAssembly as
application/wasm. Each file's validator is a strong ETag from its content,
and no Last-Modified is sent: a file replaced within the same second as
the last request (as a test replaces a build) is never answered "not
modified". Prints the page's address once it accepts connections, then
serves until stopped.

Usage: web_server.py SITE_DIR [--port N] [--bind ADDR] [--quiet] [--plain]
                     [--redirect-index] [--check]
  --port 0 takes a free port, as tests do; the address printed names it.
  --bind 0.0.0.0 (or ::) serves every address of the machine; the address
    printed is then this machine's loopback one, which a browser here opens.
  --quiet logs only failed requests.
  --plain sends none of the page's headers, as a bare static host would.
  --redirect-index answers .../index.html with a redirect to .../, as many
    hosts do.
  --check binds the address and port, and exits: 0 if the server could
    serve there, 2 with one line saying why not.
A bad argument, an address that cannot be bound or a port in use ends it
at once, with one line on stderr and exit status 2.
"""
import argparse
import functools
import hashlib
import http.server
import io
import os
import socket
import sys

# The same policy the page's <meta> element carries, for hosts that send
# headers; the page keeps to it either way.
POLICY = "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'"


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".wasm": "application/wasm",
        ".js": "text/javascript",
        ".webmanifest": "application/manifest+json",
    }

    plain = False
    redirect_index = False

    def send_head(self):
        """Serves a file whole, as read once, with an ETag of its bytes.

        Folders are left to the base class (its redirect to the trailing
        slash, its listing) unless they hold an index.html.
        """
        if self.redirect_index:
            route, query = (self.path.split("?", 1) + [""])[:2]
            if route.endswith("/index.html"):
                self.send_response(http.HTTPStatus.MOVED_PERMANENTLY)
                self.send_header("Location", route[: -len("index.html")] + ("?" + query if query else ""))
                self.send_header("Content-Length", "0")
                self.end_headers()
                return None
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            index = os.path.join(path, "index.html")
            if not self.path.split("?", 1)[0].endswith("/") or not os.path.isfile(index):
                return super().send_head()
            path = index
        try:
            with open(path, "rb") as file:
                body = file.read()
        except OSError:
            self.send_error(http.HTTPStatus.NOT_FOUND, "File not found")
            return None
        tag = '"%s"' % hashlib.sha256(body).hexdigest()[:32]
        wanted = self.headers.get("If-None-Match", "")
        if tag in (candidate.strip() for candidate in wanted.split(",")) or wanted.strip() == "*":
            self.send_response(http.HTTPStatus.NOT_MODIFIED)
            self.send_header("ETag", tag)
            self.end_headers()
            return None
        self.send_response(http.HTTPStatus.OK)
        self.send_header("Content-Type", self.guess_type(path))
        self.send_header("Content-Length", str(len(body)))
        self.send_header("ETag", tag)
        self.end_headers()
        return io.BytesIO(body)

    def end_headers(self):
        if self.plain:
            super().end_headers()
            return
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Content-Security-Policy", POLICY)
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    quiet = False

    def log_request(self, code="-", size="-"):
        if not self.quiet or not str(code).startswith(("2", "3")):
            super().log_request(code, size)

    def log_message(self, format, *args):  # noqa: A002 (the base class's name)
        sys.stderr.write("web_server: %s\n" % (format % args))


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A browser that closes a page mid-response is no fault of the page.
        if isinstance(sys.exc_info()[1], (BrokenPipeError, ConnectionResetError)):
            return
        super().handle_error(request, client_address)


class Server6(Server):
    address_family = socket.AF_INET6


class Parser(argparse.ArgumentParser):
    def error(self, message):
        """One line, no usage: what was wrong."""
        self.exit(2, "web_server: %s\n" % message)


def browsable(host, port):
    """The address a browser on this machine opens for HOST:PORT."""
    host = {"0.0.0.0": "127.0.0.1", "::": "::1"}.get(host, host)
    shown = "[%s]" % host if ":" in host else host
    return "http://%s:%d/" % (shown, port)


def main():
    parser = Parser(description=__doc__.splitlines()[0])
    parser.add_argument("site")
    parser.add_argument("--port", default="8064")
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--quiet", action="store_true")
    parser.add_argument("--plain", action="store_true")
    parser.add_argument("--redirect-index", action="store_true")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    if not args.port.isdigit() or int(args.port) > 65535:
        parser.error("--port %s is not a port number (0 to 65535)" % args.port)
    args.port = int(args.port)
    if not args.check and not os.path.isdir(args.site):
        parser.error("no folder %s to serve: build the page first" % args.site)
    Handler.quiet = args.quiet
    Handler.plain = args.plain
    Handler.redirect_index = args.redirect_index
    handler = functools.partial(Handler, directory=args.site)
    kind = Server6 if ":" in args.bind else Server
    try:
        server = kind((args.bind, args.port), handler)
    except (OSError, OverflowError) as error:
        reason = error.strerror if isinstance(error, OSError) and error.strerror else str(error)
        parser.error("cannot serve on %s port %d: %s" % (args.bind, args.port, reason))
    with server:
        host, port = server.server_address[:2]
        if args.check:
            return
        print(browsable(host, port), flush=True)
        if host in ("0.0.0.0", "::"):
            sys.stderr.write(
                "web_server: also on this machine's other addresses, e.g. http://%s:%d/"
                " (offline play and installing need localhost or HTTPS)\n" % (socket.gethostname(), port)
            )
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
