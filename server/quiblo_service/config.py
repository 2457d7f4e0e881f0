"""The command line and the configuration file: the commands, their options, and the checks
that refuse a start that could not work or would serve plain text on a network."""

import argparse
import ipaddress
import re
import socket
import sys

COMMANDS = ("serve", "list", "remove", "stats", "import")


class ConfigError(Exception):
    pass


def port_range(text):
    match = re.fullmatch(r"([0-9]{1,5})-([0-9]{1,5})", text)
    if not match or not 1024 <= int(match.group(1)) <= int(match.group(2)) <= 65535:
        raise argparse.ArgumentTypeError("a range of ports such as 60000-60099")
    return list(range(int(match.group(1)), int(match.group(2)) + 1))


def add_service_options(parser):
    """The options of the service, which every command reads (a command uses those it needs)."""
    add = parser.add_argument
    add("--config", help="configuration file (name = value lines); options given on the command line "
        "override it")
    add("--http-port", type=int, default=8780, help="HTTP port, 0 = any free port")
    add("--ftp-port", type=int, default=8721, help="FTP port, 0 = any free port")
    add("--data", help="data folder (the service makes it if missing; the admin's commands need it "
        "there); required without --database")
    add("--database", help="a PostgreSQL database (postgresql://…) that keeps everything instead of "
        "the data folder")
    add("--workers", type=int, default=1, help="processes that share the ports (PostgreSQL only)")
    add("--host", default="127.0.0.1", help="address to listen on")
    add("--plain-text", action="store_true", help="serve in plain text on an address other than "
        "loopback, without a certificate")
    add("--version", default="1.3", help="program version whose FTP password is accepted")
    add("--keep-days", type=float, default=28, help="days a picture is kept after its registration; "
        "0 keeps pictures for ever")
    add("--upload-keys", help="file of `name key` lines: only clients with a listed key may upload")
    add("--window-hours", type=float, default=24.0, help="length of the usage window")
    add("--max-uploads", type=int, default=10, help="uploads allowed per user and window")
    add("--pending-minutes", type=float, default=10.0,
        help="minutes an upload waits for its registration before it is removed")
    add("--max-pending-per-client", type=int, default=10,
        help="unregistered uploads one client address may have at a time")
    add("--max-pending", type=int, default=100, help="unregistered uploads of all clients together")
    add("--max-ftp-connections-per-address", type=int, default=10,
        help="FTP control connections one client address may hold, counted in each worker apart "
        "(with --workers N an address may hold N times as many)")
    add("--max-ftp-connections", type=int, default=256,
        help="FTP control connections of all clients together, in each worker")
    add("--max-http-connections-per-address", type=int, default=64,
        help="HTTP connections one client address may hold open, in each worker")
    add("--max-http-connections", type=int, default=512,
        help="HTTP connections of all clients together, in each worker")
    add("--ftp-idle-seconds", type=float, default=60,
        help="seconds an FTP control or data connection may sit idle")
    add("--upload-seconds", type=float, default=300, help="seconds one upload may take from its start")
    add("--passive-ports", type=port_range,
        help="ports for passive FTP data connections, such as 60000-60099 (default: any)")
    add("--masquerade-address",
        help="the address announced for passive FTP, when clients reach the service through another (NAT)")
    add("--tls-cert", help="certificate (PEM, with its chain) for HTTPS and FTP over TLS")
    add("--tls-key", help="the certificate's private key (PEM)")
    add("--verbose", action="store_true", help="log requests, FTP sessions and sweeps to stderr")


def make_parser(extension=None):
    parser = argparse.ArgumentParser(
        prog="quiblo-service", description="Quiblo reference service (HTTP + FTP) and its admin's commands. "
        "Without a command it serves.")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND")
    serve = commands.add_parser("serve", help="serve the pages and the uploads (the default)")
    listing = commands.add_parser("list", help="the pictures, one a line")
    listing.add_argument("--days", type=float, help="only those registered within the last DAYS days")
    remove = commands.add_parser("remove", help="remove pictures by their codes")
    remove.add_argument("codes", nargs="+", metavar="CODE", help="18-digit picture code")
    commands.add_parser("stats", help="pictures, bytes and uploads per day and per key")
    moving = commands.add_parser("import", help="copy a data folder into the database")
    moving.add_argument("--from", dest="source", required=True, metavar="DATA_FOLDER",
                        help="the data folder of a service that kept sqlite and files")
    for command in commands.choices.values():
        add_service_options(command)
    if extension is not None:
        extension.add_arguments(serve)
    return parser, commands.choices


def read_config(path):
    """The options of a configuration file: `name = value` lines named as the long options
    (without the dashes), `#` comments, `yes`/`no` for switches."""
    options = {}
    try:
        with open(path, encoding="utf-8") as file:
            lines = file.read().splitlines()
    except OSError as err:
        raise ConfigError(f"cannot read {path}: {err.strerror}") from err
    for number, line in enumerate(lines, 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        name, equals, value = line.partition("=")
        if not equals or not name.strip():
            raise ConfigError(f"{path}:{number}: expected name = value")
        options[name.strip().replace("-", "_")] = value.strip()
    return options


def apply_config(parser, path):
    """Sets the file's options as the parser's defaults, so the command line wins."""
    config = read_config(path)
    names = {action.dest: action for action in parser._actions}
    for name, value in config.items():
        action = names.get(name)
        if action is None or name in ("config", "help") or not action.option_strings:
            raise ConfigError(f"{path}: unknown option {name}")
        if action.nargs == 0:  # a switch
            if value.lower() not in ("yes", "no", "true", "false", "1", "0"):
                raise ConfigError(f"{path}: {name} takes yes or no")
            config[name] = value.lower() in ("yes", "true", "1")
        elif action.type is not None:
            try:
                config[name] = action.type(value)
            except (ValueError, argparse.ArgumentTypeError) as err:
                raise ConfigError(f"{path}: {name}: {err}") from err
    parser.set_defaults(**config)


def parse(argv, extension=None):
    """The command and its options. A command line that names no command serves, as the unit and
    older scripts start it."""
    argv = list(argv)
    named = [arg for arg in argv if arg in COMMANDS]
    if named and argv[0] not in COMMANDS:
        argv.remove(named[0])
        argv.insert(0, named[0])
    if not argv or argv[0] not in COMMANDS and argv[0] not in ("-h", "--help"):
        argv.insert(0, "serve")
    parser, commands = make_parser(extension)
    if argv[0] in commands:
        sub = commands[argv[0]]
        known = sub.parse_known_args(argv[1:])[0]
        if known.config:
            try:
                apply_config(sub, known.config)
            except ConfigError as err:
                sys.exit(f"quiblo-service: {err}")
    args = parser.parse_args(argv)
    check(commands[args.command], args)
    return args


def check(parser, args):
    if not args.data and not args.database:
        parser.error("--data (or data in the configuration file) is required")
    if args.database and not re.match(r"postgres(ql)?://", args.database):
        parser.error("--database must be a postgresql:// address")
    if bool(args.tls_cert) != bool(args.tls_key):
        parser.error("--tls-cert and --tls-key go together")
    # Up to three digits each keeps the program's 16-bit password arithmetic in range.
    if not re.fullmatch(r"[0-9]{1,3}\.[0-9]{1,3}", args.version):
        parser.error("--version must look like 1.3")
    if not args.window_hours > 0 or args.max_uploads < 0:
        parser.error("--window-hours must be positive and --max-uploads not negative")
    if args.keep_days < 0:
        parser.error("--keep-days must not be negative")
    if not args.pending_minutes > 0 or args.max_pending_per_client < 1 or args.max_pending < 1:
        parser.error("--pending-minutes must be positive and the pending limits at least 1")
    if (args.max_ftp_connections_per_address < 1 or args.max_ftp_connections < 1
            or not args.ftp_idle_seconds > 0 or not args.upload_seconds > 0):
        parser.error("the FTP connection limits must be at least 1 and the times positive")
    if args.max_http_connections_per_address < 1 or args.max_http_connections < 1:
        parser.error("the HTTP connection limits must be at least 1")
    if args.workers < 1:
        parser.error("--workers must be at least 1")
    if args.workers > 1 and not args.database:
        parser.error("--workers above 1 needs --database: a data folder serves one process")
    if args.passive_ports and args.workers > len(args.passive_ports):
        parser.error("--passive-ports needs at least one port for each worker")


def is_loopback(host):
    """True when every address HOST stands for is this machine's loopback."""
    try:
        return ipaddress.ip_address(host.strip("[]")).is_loopback
    except ValueError:
        pass
    try:
        addresses = {info[4][0] for info in socket.getaddrinfo(host, None)}
    except socket.gaierror:
        return False
    return bool(addresses) and all(ipaddress.ip_address(a.split("%")[0]).is_loopback for a in addresses)


def plain_text_refusal(args):
    """The message that refuses plain text on a network, or None."""
    if args.tls_cert or args.plain_text or is_loopback(args.host):
        return None
    return (f"quiblo-service: {args.host} is not a loopback address and no certificate is given, so "
            "pictures, user ids and upload keys would cross the network in plain text. Set tls-cert "
            "and tls-key (--tls-cert, --tls-key), or plain-text = yes (--plain-text) to serve in plain "
            "text all the same.")
