"""Files that let other tools upload: a ShareX custom uploader (.sxcu, JSON) or a curl command
line, for one key of the key file, at the service's public address."""

import ipaddress
import json
import shlex
import urllib.parse

from .config import is_loopback
from .keys import KeyFileError, read_key_file


def service_url(settings):
    """The address clients use: `public-url`, else the one the service listens on."""
    if settings.public_url:
        return settings.public_url.rstrip("/")
    scheme = "https" if settings.tls_cert else "http"
    host = f"[{settings.host}]" if ":" in settings.host else settings.host
    return f"{scheme}://{host}:{settings.http_port}"


def address_refusal(settings, url, key):
    """Why the file must not be written for URL, or None: an address no one else can reach, or
    a key that would cross a network in plain text."""
    if not settings.public_url and listens_everywhere(settings.host):
        return (f"the service listens on {settings.host}, which is no address a client can use: set "
                "public-url (--public-url) to the address the world uses, such as https://shots.example.org")
    host = urllib.parse.urlsplit(url).hostname or ""
    if key and url.startswith("http://") and not is_loopback(host) and not settings.plain_text:
        return (f"{url} is plain http on a network, and the key would cross it in clear text: serve "
                "over https (public-url = https://…), or give --plain-text to write the file all the same")
    return None


def listens_everywhere(host):
    """True for 0.0.0.0 or ::, which name every address of the host and none a client uses."""
    try:
        return ipaddress.ip_address(host.strip("[]")).is_unspecified
    except ValueError:
        return False


def key_of(settings, name):
    """The key listed under NAME, or None without keys. ValueError when there is no such key."""
    if not settings.upload_keys:
        if name:
            raise ValueError("--key needs upload-keys: without a key file every client uploads without one")
        return None
    try:
        keys = read_key_file(settings.upload_keys)
    except KeyFileError as err:
        raise ValueError(str(err)) from err
    for key, listed in keys.items():
        if listed == name:
            return key
    raise ValueError(f"no key named {name!r} in {settings.upload_keys}")


def sxcu(url, key):
    uploader = {
        "Version": "15.0.0",
        "Name": f"Quiblo ({url.split('://', 1)[1]})",
        "DestinationType": "ImageUploader",
        "RequestMethod": "POST",
        "RequestURL": f"{url}/api/upload",
        "Body": "MultipartFormData",
        "FileFormName": "file",
        "URL": "{json:url}",
        "ThumbnailURL": "{json:thumbnail_url}",
        "DeletionURL": "{json:deletion_url}",
        "ErrorMessage": "{json:error}",
    }
    if key:
        uploader["Headers"] = {"Authorization": f"Bearer {key}"}
    return json.dumps(uploader, indent=2)


def curl(url, key):
    words = ["curl", "--fail-with-body", "-sS"]
    if key:
        words += ["-H", f"Authorization: Bearer {key}"]
    words += ["-F", "file=@picture.png", f"{url}/api/upload"]
    return ("# Uploads picture.png; add -F expires=1d for a shorter life. Answers JSON (url, image_url, "
            "thumbnail_url, deletion_url, expires).\n" + shlex.join(words))


def client_config(settings, out):
    try:
        key = key_of(settings, settings.key)
    except ValueError as err:
        raise SystemExit(f"quiblo-service: {err}") from err
    url = service_url(settings)
    refusal = address_refusal(settings, url, key)
    if refusal:
        raise SystemExit(f"quiblo-service: {refusal}")
    maker = sxcu if settings.format == "sxcu" else curl
    print(maker(url, key), file=out)
    return 0
