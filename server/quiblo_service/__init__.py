"""Quiblo reference service: the CGI endpoints, the viewing pages and the FTP upload server.

One module a job: `config` (options and the configuration file), `store` (what is kept, in sqlite
and files or in PostgreSQL), `keys` (who may upload), `limits` (what one client may do), `ftp`
(the upload server), `pages` (the answers of the HTTP endpoints), `http` (the HTTP server),
`sweep` (what expires), `serve` (start, workers and stop) and `admin` (the admin's commands).
"""
