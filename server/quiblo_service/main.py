"""The entry point: the command line, then the server or an admin's command."""

import sys

from . import admin, config, serve


def main(argv=None, extension=None):
    """EXTENSION, when given, adds to the server (the tests' controls do so from the source
    tree): add_arguments(parser), http_handler(base), ftp_classes(handler, dtp), started(worker)."""
    args = config.parse(sys.argv[1:] if argv is None else argv, extension)
    if args.command == "serve":
        serve.serve(args, extension)
        return 0
    return admin.run(args)
