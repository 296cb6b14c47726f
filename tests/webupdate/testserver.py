#!/usr/bin/env python3
"""Update server for the tests: HTTPS on 127.0.0.1 with an authority made at
start, a plain HTTP port (a redirect target that must be refused) and a proxy
that wants "user:secret" before it tunnels to 127.0.0.1.

Files are served from --root. A file "<name>.behave" beside a file changes how
it is answered: "status N", "nolength", "zerolength", "short", "stall",
"slow", or "redirect URL" ({http} and {https} become the two ports). Every
request path is appended to <root>/requests.log.

Prints "READY <https> <http> <proxy> <ca-file>" when listening; ends when its
standard input closes."""

import argparse
import base64
import http.server
import os
import select
import socket
import socketserver
import ssl
import subprocess
import sys
import threading
import time

PROXY_AUTH = "Basic " + base64.b64encode(b"user:secret").decode()


def make_authority(work):
    def run(*args):
        subprocess.run(["openssl", *args], cwd=work, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    run("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
        "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Quenor test authority")
    run("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
        "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1")
    with open(os.path.join(work, "ext.cnf"), "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n")
    run("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
        "-out", "server.pem", "-days", "2", "-extfile", "ext.cnf")
    return os.path.join(work, "ca.pem"), os.path.join(work, "server.pem"), os.path.join(work, "server.key")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."
    ports = {}

    def log_message(self, *args):
        pass

    def send_body(self, status, body, length=True, headers=()):
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        if length:
            self.send_header("Content-Length", str(len(body)))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        with open(os.path.join(self.root, "requests.log"), "a") as log:
            log.write(self.path + "\n")
        path = os.path.normpath(os.path.join(self.root, self.path.lstrip("/").split("?")[0]))
        if not path.startswith(os.path.abspath(self.root)) or not os.path.isfile(path):
            self.send_body(404, b"<html>Not found</html>")
            return
        with open(path, "rb") as f:
            body = f.read()
        behave = ""
        if os.path.isfile(path + ".behave"):
            with open(path + ".behave") as f:
                behave = f.read().strip()
        word, _, arg = behave.partition(" ")
        if word == "status":
            self.send_body(int(arg), body)
        elif word == "nolength":
            self.send_body(200, body, length=False)
        elif word == "zerolength":
            self.send_body(200, b"")
        elif word == "redirect":
            url = arg.replace("{http}", str(self.ports["http"])).replace("{https}", str(self.ports["https"]))
            self.send_body(302, b"", headers=[("Location", url)])
        elif word in ("short", "stall", "slow"):
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if word == "short":
                self.wfile.write(body[: len(body) // 2])
                self.close_connection = True
            elif word == "stall":
                self.wfile.write(body[:10])
                self.wfile.flush()
                time.sleep(30)
                self.close_connection = True
            else:
                for i in range(0, len(body), 1024):
                    self.wfile.write(body[i:i + 1024])
                    self.wfile.flush()
                    time.sleep(0.05)
        else:
            self.send_body(200, body)


class TlsServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    context = None

    def finish_request(self, request, client_address):
        try:
            request = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        pass


class PlainServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass


class ProxyHandler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = sock.recv(4096)
            if not chunk:
                return
            data += chunk
        head = data.split(b"\r\n\r\n", 1)[0].decode("latin-1").split("\r\n")
        method, target, _ = head[0].split(" ", 2)
        headers = {}
        for line in head[1:]:
            k, _, v = line.partition(":")
            headers[k.strip().lower()] = v.strip()
        host, _, port = target.rpartition(":")
        if method != "CONNECT" or host != "127.0.0.1":
            sock.sendall(b"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return
        if headers.get("proxy-authorization") != PROXY_AUTH:
            sock.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                         b"Proxy-Authenticate: Basic realm=\"test\"\r\n"
                         b"Content-Length: 0\r\nConnection: close\r\n\r\n")
            return
        upstream = socket.create_connection(("127.0.0.1", int(port)))
        sock.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
        pair = [sock, upstream]
        try:
            while True:
                ready, _, _ = select.select(pair, [], [], 30)
                if not ready:
                    return
                for s in ready:
                    chunk = s.recv(65536)
                    if not chunk:
                        return
                    (upstream if s is sock else sock).sendall(chunk)
        finally:
            upstream.close()


class ProxyServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    ca, cert, key = make_authority(args.work)
    Handler.root = os.path.abspath(args.root)

    tls = TlsServer(("127.0.0.1", 0), Handler)
    tls.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.context.load_cert_chain(cert, key)
    plain = PlainServer(("127.0.0.1", 0), Handler)
    proxy = ProxyServer(("127.0.0.1", 0), ProxyHandler)
    Handler.ports = {"https": tls.server_address[1], "http": plain.server_address[1]}
    for server in (tls, plain, proxy):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print("READY %d %d %d %s" % (tls.server_address[1], plain.server_address[1], proxy.server_address[1], ca),
          flush=True)
    sys.stdin.read()
    os._exit(0)


if __name__ == "__main__":
    main()
