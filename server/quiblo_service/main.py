"""The entry point: the command line, then the server or an admin's command."""

import sys

from . import admin, config, serve


def main(argv=None):
    settings = config.parse(sys.argv[1:] if argv is None else argv)
    if settings.command == "serve":
        serve.serve(settings)
        return 0
    return admin.run(settings)
