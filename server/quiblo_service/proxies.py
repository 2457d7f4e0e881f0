"""The client behind a front: a request that comes from a trusted proxy (`trusted-proxies`) is
counted as the address the proxy names in X-Forwarded-For, or else in Forwarded. Any other request
is its peer's, whatever headers it carries, so no client can pick the address it is counted as."""

import argparse
import ipaddress
import re

FORWARDED_FOR = re.compile(r'(?:^|[;,])\s*for\s*=\s*(?:"([^"]*)"|([^;,\s]+))', re.I)


def networks(text):
    """The networks of a `trusted-proxies` text: addresses or networks split by commas."""
    found = []
    for item in text.split(","):
        if not item.strip():
            continue
        try:
            found.append(ipaddress.ip_network(item.strip(), strict=False))
        except ValueError as err:
            raise argparse.ArgumentTypeError(f"{item.strip()!r} is not an address or a network") from err
    return found


def address(text):
    """An address as a proxy writes it ("203.0.113.5", "[2001:db8::1]:4711", "1.2.3.4:80"), or
    None. An IPv4 address mapped into IPv6 is its IPv4 address."""
    text = text.strip().strip('"')
    if text.startswith("["):
        text = text[1:].partition("]")[0]
    elif text.count(":") == 1:
        text = text.partition(":")[0]
    try:
        found = ipaddress.ip_address(text)
    except ValueError:
        return None
    return found.ipv4_mapped or found if found.version == 6 else found


def is_trusted(peer, proxies):
    found = address(peer) if isinstance(peer, str) else peer
    return found is not None and any(found in network for network in proxies)


def chain(forwarded_for, forwarded):
    """The addresses the proxies named, the client's first."""
    if forwarded_for:
        return [item for header in forwarded_for for item in header.split(",")]
    return [match.group(1) or match.group(2) for header in forwarded or ()
            for match in FORWARDED_FOR.finditer(header)]


def client_address(peer, forwarded_for, forwarded, proxies):
    """The address a request counts as. From a trusted proxy: the nearest address in the chain
    that is not itself a trusted proxy (those farther off could be written by anyone); the peer
    when the chain is missing or names something that is not an address."""
    if not proxies or not is_trusted(peer, proxies):
        return peer
    for item in reversed(chain(forwarded_for, forwarded)):
        found = address(item)
        if found is None:
            return peer
        if not any(found in network for network in proxies):
            return str(found)
    return peer
