"""The entry point: the command line, then the server or an admin's command."""

import sys

from . import admin, clients, config, serve


def main(argv=None):
    settings = config.parse(sys.argv[1:] if argv is None else argv)
    if settings.command == "serve":
        serve.serve(settings)
        return 0
    if settings.command == "client-config":
        return clients.client_config(settings, sys.stdout)
    return admin.run(settings)
