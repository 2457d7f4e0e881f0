"""The command line and the configuration file: the commands, their options, and the checks
that refuse a start that could not work or would serve plain text on a network."""

import argparse
import ipaddress
import re
import socket
import sys

from .proxies import networks

COMMANDS = ("serve", "list", "remove", "stats", "import", "client-config")


class ConfigError(Exception):
    pass


def port_range(text):
    match = re.fullmatch(r"([0-9]{1,5})-([0-9]{1,5})", text)
    if not match or not 1024 <= int(match.group(1)) <= int(match.group(2)) <= 65535:
        raise argparse.ArgumentTypeError("a range of ports such as 60000-60099")
    return list(range(int(match.group(1)), int(match.group(2)) + 1))


class Option:
    """One option of the service: its name (as in the configuration file; --name on the command
    line, --no-name for a switch that is on by default), the type its text is read as (None: a
    yes/no switch), its default, its help, and its own rule: VALID(value) and the words that say
    it when a value breaks it."""

    def __init__(self, name, kind, default, help_text, valid=None, rule=""):
        self.name, self.kind, self.default, self.help = name, kind, default, help_text
        self.valid, self.rule = valid, rule
        self.attribute = name.replace("-", "_")

    def read(self, text):
        """The value of TEXT as written in a configuration file; ValueError if it is none."""
        if self.kind is None:
            if text.lower() not in ("yes", "no", "true", "false", "1", "0"):
                raise ValueError("takes yes or no")
            return text.lower() in ("yes", "true", "1")
        try:
            return self.kind(text)
        except argparse.ArgumentTypeError as err:
            raise ValueError(str(err)) from err


# The options of the service, which every command reads (a command uses those it needs).
OPTIONS = [
    Option("http-port", int, 8780, "HTTP port, 0 = any free port"),
    Option("ftp-port", int, 8721, "FTP port, 0 = any free port"),
    Option("ftp", None, True, "serve FTP as well (--no-ftp, ftp = no: uploads come over HTTP alone, on one "
           "port)"),
    Option("data", str, None, "data folder (the service makes it if missing; the admin's commands need it "
           "there); required without --database"),
    Option("database", str, None, "a PostgreSQL database (postgresql://…) that keeps everything instead of "
           "the data folder",
           valid=lambda v: re.match(r"postgres(ql)?://", v), rule="must be a postgresql:// address"),
    Option("workers", int, 1, "processes that share the ports (PostgreSQL only)",
           valid=lambda v: v >= 1, rule="must be at least 1"),
    Option("host", str, "127.0.0.1", "address to listen on"),
    Option("plain-text", None, False, "serve in plain text on an address other than loopback, without a "
           "certificate"),
    Option("version", str, "1.3", "program version whose FTP password is accepted",
           valid=lambda v: re.fullmatch(r"[0-9]{1,3}\.[0-9]{1,3}", v), rule="must look like 1.3 (up to three digits each keeps the program's password arithmetic in range)"),
    Option("keep-days", float, 28.0, "days a picture is kept after its registration; 0 keeps pictures for ever",
           valid=lambda v: v >= 0, rule="must not be negative"),
    Option("upload-keys", str, None, "file of `name key` lines: only clients with a listed key may upload"),
    Option("window-hours", float, 24.0, "length of the usage window",
           valid=lambda v: v > 0, rule="must be positive"),
    Option("max-uploads", int, 10, "uploads allowed per user and window",
           valid=lambda v: v >= 0, rule="must not be negative"),
    Option("pending-minutes", float, 10.0, "minutes an upload waits for its registration before it is removed",
           valid=lambda v: v > 0, rule="must be positive"),
    Option("max-pending-per-client", int, 10, "unregistered uploads one client address may have at a time",
           valid=lambda v: v >= 1, rule="must be at least 1"),
    Option("max-bytes", int, 500_000, "the size limit of a picture in bytes, for FTP, the program's upload "
           "over HTTP and the API alike (at most 20,000,000); the user check announces it, and the "
           "program keeps to it",
           valid=lambda v: 1 <= v <= 20_000_000, rule="must be from 1 to 20000000"),
    Option("max-pending", int, 100, "unregistered uploads of all clients together",
           valid=lambda v: v >= 1, rule="must be at least 1"),
    Option("max-ftp-connections-per-address", int, 10, "FTP control connections one client address may hold, "
           "counted in each worker apart (with --workers N an address may hold N times as many)",
           valid=lambda v: v >= 1, rule="must be at least 1"),
    Option("max-ftp-connections", int, 256, "FTP control connections of all clients together, in each worker",
           valid=lambda v: v >= 1, rule="must be at least 1"),
    Option("max-http-connections-per-address", int, 64,
           "HTTP connections one client address may hold open, in each worker",
           valid=lambda v: v >= 1, rule="must be at least 1"),
    Option("max-http-connections", int, 4096, "HTTP connections of all clients together, in each worker",
           valid=lambda v: v >= 1, rule="must be at least 1"),
    Option("ftp-idle-seconds", float, 60.0, "seconds an FTP control or data connection may sit idle",
           valid=lambda v: v > 0, rule="must be positive"),
    Option("upload-seconds", float, 300.0, "seconds one upload may take from its start",
           valid=lambda v: v > 0, rule="must be positive"),
    Option("passive-ports", port_range, None,
           "ports for passive FTP data connections, such as 60000-60099 (default: any)"),
    Option("masquerade-address", str, None,
           "the address announced for passive FTP, when clients reach the service through another (NAT)"),
    Option("tls-cert", str, None, "certificate (PEM, with its chain) for HTTPS and FTP over TLS"),
    Option("tls-key", str, None, "the certificate's private key (PEM)"),
    Option("public-url", str, None, "the address the world uses for the service, such as "
           "https://shots.example.org (behind a proxy the service cannot know it): the start of the "
           "addresses in API answers, previews and client files",
           valid=lambda v: re.fullmatch(r"https?://[^/?#\s]+(/[^?#\s]*)?", v), rule="must be an http:// or https:// address without a query"),
    Option("trusted-proxies", networks, None, "addresses (or networks) of the fronts whose "
           "X-Forwarded-For or Forwarded header names the client, such as 127.0.0.1, ::1: every "
           "per-address count then counts the client, not the front (default: none)"),
    Option("contact", str, None, "how the team reaches the service's admin (an address, a mail address or "
           "a line of text): the support page shows it; without it there is none"),
    Option("downloads", str, None, "a folder of the program's packages (*.deb) that the download page "
           "offers"),
    Option("verbose", None, False, "log requests, FTP sessions and sweeps to stderr"),
]
BY_NAME = {option.attribute: option for option in OPTIONS}


class Settings:
    """What the service and its commands are told to do: one attribute an option (`http_port`,
    `data`, ...: the command line's value, else the configuration file's, else the default),
    `command`, and the command's own (`days` of list, `codes` of remove, `source` of import)."""

    def __init__(self, values):
        for name, value in values.items():
            setattr(self, name, value)


def add_service_options(parser):
    add = parser.add_argument
    add("--config", help="configuration file (name = value lines); options given on the command line "
        "override it")
    # No defaults here: what the command line leaves unset comes from the file, then the table.
    for option in OPTIONS:
        if option.kind is None and option.default:
            add("--no-" + option.name, dest=option.attribute, action="store_const", const=False,
                help=option.help)
        elif option.kind is None:
            add("--" + option.name, action="store_const", const=True, help=option.help)
        else:
            add("--" + option.name, type=option.kind, help=option.help)


def make_parser():
    parser = argparse.ArgumentParser(
        prog="quiblo-service", description="Quiblo reference service (HTTP + FTP) and its admin's commands. "
        "Without a command it serves.")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND")
    commands.add_parser("serve", help="serve the pages and the uploads (the default)")
    listing = commands.add_parser("list", help="the pictures, one a line")
    listing.add_argument("--days", type=float, help="only those registered within the last DAYS days")
    remove = commands.add_parser("remove", help="remove pictures by their codes")
    remove.add_argument("codes", nargs="+", metavar="CODE", help="18-digit picture code")
    commands.add_parser("stats", help="pictures, bytes and uploads per day and per key")
    client = commands.add_parser("client-config", help="a ShareX custom uploader file or a curl command "
                                 "line for one key, at the service's public address")
    client.add_argument("--key", metavar="NAME", help="the name of a key in the upload-keys file")
    client.add_argument("--format", choices=("sxcu", "curl"), default="sxcu",
                        help="sxcu: ShareX's custom uploader (JSON); curl: a command line")
    moving = commands.add_parser("import", help="copy a data folder into the database")
    moving.add_argument("--from", dest="source", required=True, metavar="DATA_FOLDER",
                        help="the data folder of a service that kept sqlite and files")
    for command in commands.choices.values():
        add_service_options(command)
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
        attribute = name.strip().replace("-", "_")
        option = BY_NAME.get(attribute)
        if option is None:
            raise ConfigError(f"{path}: unknown option {attribute}")
        try:
            options[attribute] = option.read(value.strip())
        except ValueError as err:
            raise ConfigError(f"{path}: {attribute}: {err}") from err
    return options


def settings_of(namespace, from_file):
    """The Settings of a parsed command line: each option from it, else FROM_FILE, else its
    default."""
    values = dict(vars(namespace))
    for option in OPTIONS:
        if values.get(option.attribute) is None:
            values[option.attribute] = from_file.get(option.attribute, option.default)
    values.pop("config", None)
    return Settings(values)


def parse(argv):
    """The command and its settings. A command line that names no command serves, as the unit
    and older scripts start it."""
    argv = list(argv)
    named = [arg for arg in argv if arg in COMMANDS]
    if named and argv[0] not in COMMANDS:
        argv.remove(named[0])
        argv.insert(0, named[0])
    if not argv or argv[0] not in COMMANDS and argv[0] not in ("-h", "--help"):
        argv.insert(0, "serve")
    parser, commands = make_parser()
    namespace = parser.parse_args(argv)
    from_file = {}
    if namespace.config:
        try:
            from_file = read_config(namespace.config)
        except ConfigError as err:
            sys.exit(f"quiblo-service: {err}")
    settings = settings_of(namespace, from_file)
    check(commands[settings.command], settings)
    return settings


def check(parser, settings):
    if settings.command != "client-config" and not settings.data and not settings.database:
        parser.error("--data (or data in the configuration file) is required")
    for option in OPTIONS:  # each option's own rule
        value = getattr(settings, option.attribute)
        if option.valid is not None and value is not None and not option.valid(value):
            parser.error(f"--{option.name} {option.rule}")
    if bool(settings.tls_cert) != bool(settings.tls_key):
        parser.error("--tls-cert and --tls-key go together")
    if settings.workers > 1 and not settings.database:
        parser.error("--workers above 1 needs --database: a data folder serves one process")
    if settings.passive_ports and settings.workers > len(settings.passive_ports):
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


def plain_text_refusal(settings):
    """The message that refuses plain text on a network, or None."""
    if settings.tls_cert or settings.plain_text or is_loopback(settings.host):
        return None
    return (f"quiblo-service: {settings.host} is not a loopback address and no certificate is given, so "
            "pictures, user ids and upload keys would cross the network in plain text. Set tls-cert "
            "and tls-key (--tls-cert, --tls-key), or plain-text = yes (--plain-text) to serve in plain "
            "text all the same.")
