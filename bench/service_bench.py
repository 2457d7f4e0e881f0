#!/usr/bin/python3
"""Uploads a second and latency (p50, p95) of the reference service under many clients: each
client sends a picture of about 417 KB and registers it, again and again, over FTP (log in, STOR)
or over HTTP (PUT /upload/CODE.png), as the program does. Three set-ups, each path on each:
sqlite with one process, PostgreSQL with one worker, PostgreSQL with two workers. Beside them,
nginx's own PUT of the same bytes into a folder (WebDAV, two worker processes, the registration
answered by nginx at once): what taking and writing a file costs on this machine.

    bench/service_bench.py [--seconds 20] [--clients 50 200] [--paths ftp http]

Clients run as threads in four processes of their own, on loopback. Prints a Markdown table."""

import argparse
import ftplib
import http.client
import io
import multiprocessing
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, REPO)
SERVICE = os.path.join(REPO, "server", "quiblo-service")
PASSWORD = "qbl02181238"
from tests.server.pngs import noise  # noqa: E402

PICTURE = noise(235, 590)  # random pixels: 416,000-odd bytes that do not compress
GENEROUS = ["--max-uploads", "100000000", "--max-pending-per-client", "100000", "--max-pending", "100000",
            "--max-ftp-connections-per-address", "500", "--max-ftp-connections", "500",
            "--max-http-connections-per-address", "1000", "--max-http-connections", "1000"]


def send_over_ftp(http_port, ftp_port, code):
    client = ftplib.FTP()
    client.connect("127.0.0.1", ftp_port, timeout=60)
    client.login("quiblo", PASSWORD)
    client.storbinary(f"STOR {code}.png", io.BytesIO(PICTURE))
    client.quit()


def send_over_http(http_port, ftp_port, code):
    conn = http.client.HTTPConnection("127.0.0.1", http_port, timeout=60)
    try:
        conn.request("PUT", f"/upload/{code}.png", PICTURE,
                     {"Content-Type": "image/png", "X-Quiblo-Password": PASSWORD})
        if conn.getresponse().status != 201:
            raise RuntimeError("not stored")
    finally:
        conn.close()


def one_upload(send, http_port, ftp_port, code):
    start = time.monotonic()
    send(http_port, ftp_port, code)
    url = f"http://127.0.0.1:{http_port}/recode.cgi?op=rec&pngcode={code}&delid=20260101000000&sid=B{code[-6:]}"
    with urllib.request.urlopen(url, timeout=60) as reply:
        if not reply.read().startswith(b"success"):
            raise RuntimeError("not registered")
    return time.monotonic() - start


def client_process(index, threads, send, http_port, ftp_port, seconds, out):
    deadline = time.monotonic() + seconds
    latencies, failures = [], [0]
    lock = threading.Lock()

    def loop(thread):
        n = 0
        while time.monotonic() < deadline:
            n += 1
            code = f"{index:02d}{thread:04d}{n:012d}"
            try:
                took = one_upload(send, http_port, ftp_port, code)
                with lock:
                    latencies.append(took)
            except Exception:
                with lock:
                    failures[0] += 1
    workers = [threading.Thread(target=loop, args=(t,)) for t in range(threads)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    out.put((latencies, failures[0]))


def measure(send, http_port, ftp_port, clients, seconds):
    out = multiprocessing.Queue()
    processes = [multiprocessing.Process(target=client_process,
                                         args=(i, clients // 4 + (i < clients % 4), send, http_port,
                                               ftp_port, seconds, out)) for i in range(4)]
    started = time.monotonic()
    for process in processes:
        process.start()
    latencies, failures = [], 0
    for _ in processes:
        got, failed = out.get()
        latencies += got
        failures += failed
    for process in processes:
        process.join()
    elapsed = time.monotonic() - started
    latencies.sort()

    def pick(q):
        return latencies[min(len(latencies) - 1, int(q * len(latencies)))] if latencies else float("nan")
    return len(latencies) / elapsed, pick(0.5), pick(0.95), failures


def start(options):
    proc = subprocess.Popen([SERVICE, "--http-port", "0", "--ftp-port", "0", *GENEROUS, *options],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = proc.stdout.readline()
    match = re.search(r"http=(\d+) ftp=(\d+)", line)
    if not match:
        proc.kill()
        raise SystemExit(f"the service did not start: {line!r}")
    return proc, int(match.group(1)), int(match.group(2))


NGINX_CONFIG = """
daemon off; worker_processes 2; pid {folder}/nginx.pid; error_log {folder}/error.log;
events {{ worker_connections 4096; }}
http {{
    access_log off; client_body_temp_path {folder}/body; client_max_body_size 1m;
    server {{
        listen 127.0.0.1:{port};
        location /upload/ {{ root {folder}; dav_methods PUT; }}
        location = /recode.cgi {{ return 200 "success|REGISTERED|"; }}
    }}
}}
"""


def start_nginx(folder):
    """nginx taking PUTs into FOLDER/upload, on a free port."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    os.makedirs(os.path.join(folder, "upload"))
    os.chmod(folder, 0o777)
    os.chmod(os.path.join(folder, "upload"), 0o777)
    config = os.path.join(folder, "nginx.conf")
    with open(config, "w") as f:
        f.write(NGINX_CONFIG.format(folder=folder, port=port))
    proc = subprocess.Popen(["/usr/sbin/nginx", "-c", config, "-p", folder], stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return proc, port
        except OSError:
            time.sleep(0.05)
    proc.kill()
    raise SystemExit("nginx did not start")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--clients", type=int, nargs="+", default=[50, 200])
    parser.add_argument("--paths", nargs="+", choices=("ftp", "http", "nginx"), default=["ftp", "http", "nginx"])
    args = parser.parse_args()
    from tests.server.postgres import PostgresServer
    database = PostgresServer()
    print("| path | store | workers | clients | uploads/s | p50 | p95 | failures |")
    print("|---|---|---|---|---|---|---|---|")
    senders = {"ftp": send_over_ftp, "http": send_over_http}
    runs = [(path, label, workers, clients) for label, workers in (("sqlite + files", 1), ("PostgreSQL", 1),
                                                                   ("PostgreSQL", 2))
            for path in args.paths if path != "nginx" for clients in args.clients]
    if "nginx" in args.paths:
        runs += [("nginx", "a folder", 2, clients) for clients in args.clients]
    try:
        for path, label, workers, clients in runs:
            with tempfile.TemporaryDirectory() as data:
                if path == "nginx":
                    (proc, http_port), ftp_port = start_nginx(data), None
                else:
                    store = (["--data", data] if label.startswith("sqlite")
                             else ["--database", database.new_database(), "--workers", str(workers)])
                    proc, http_port, ftp_port = start(store)
                try:
                    rate, p50, p95, failures = measure(senders.get(path, send_over_http), http_port, ftp_port,
                                                       clients, args.seconds)
                finally:
                    proc.terminate()
                    proc.wait(30)
            print(f"| {path.upper()} | {label} | {workers} | {clients} | {rate:.1f} | {p50 * 1000:.0f} ms | "
                  f"{p95 * 1000:.0f} ms | {failures} |", flush=True)
    finally:
        database.stop()


if __name__ == "__main__":
    main()
