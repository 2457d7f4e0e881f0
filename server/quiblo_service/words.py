"""The service's words for people, in Japanese and in English. Pages and the reply texts that
the program shows follow the request's Accept-Language; a request that names no language gets
Japanese, as earlier copies of the program expect. Admin commands and logs stay English.

The texts are English in the code and the templates; each language has its gettext catalog,
locale/LANG/LC_MESSAGES/quiblo-service.po, compiled by Babel when the service starts.
scripts/service-catalogs.sh checks that the catalogs hold every text and translate it."""

import functools
import gettext
import io
import os
import time

from babel.messages.mofile import write_mo
from babel.messages.pofile import read_po

LOCALE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "locale")
DOMAIN = "quiblo-service"


def N_(text):
    """Marks a text for the catalogs; it is translated where it is shown."""
    return text


@functools.lru_cache(maxsize=None)
def translations(language):
    """The compiled catalog of LANGUAGE."""
    with open(os.path.join(LOCALE, language, "LC_MESSAGES", DOMAIN + ".po"), "rb") as po:
        catalog = read_po(po, locale=language)
    compiled = io.BytesIO()
    write_mo(compiled, catalog)
    compiled.seek(0)
    return gettext.GNUTranslations(compiled)

LANGUAGES = ("ja", "en")
DEFAULT = "ja"

MONTHS = ("January", "February", "March", "April", "May", "June", "July", "August", "September",
          "October", "November", "December")

# Each text by its name: the English source, marked for the catalogs, with str.format fields.
# The CGI texts keep CR LF line breaks, as the program shows them.
TEXTS = {
    "title": N_("Quiblo"),
    "top_title": N_("Quiblo"),
    "top_intro": N_("A tool that captures your screen and puts it on the web at once."),
    "download": N_("Download"),
    "board": N_("Support board"),
    "download_title": N_("Quiblo - Download"),
    "latest_version": N_("Latest version: {version}"),
    "latest_only": N_("Only the latest version works with the server."),
    "board_title": N_("Quiblo - Support board"),
    "board_intro": N_("Report bugs and ask questions here."),
    "view_title": N_("Quiblo - Picture"),
    "picture_alt": N_("Uploaded picture"),
    "zoom": N_("Click to zoom in or out"),
    "expiry": N_("This picture will be deleted on {date}."),
    "not_found_title": N_("Quiblo - Page not found"),
    "not_found": N_("The page you asked for was not found."),
    "unavailable_title": N_("Quiblo - Unavailable for now"),
    "unavailable": N_("Please try again in a while."),
    "delete_title": N_("Quiblo - Delete"),
    "delete_blocked_heading": N_("Cannot delete"),
    "delete_blocked": N_("Too many wrong deletion ids: deleting is blocked for a while."),
    "deleted_heading": N_("Deleted"),
    "deleted_page": N_("The picture was deleted from the server."),
    "delete_question_title": N_("Quiblo - Delete the picture"),
    "delete_question": N_("Delete this picture?"),
    "delete_alt": N_("Picture to delete"),
    "delete_button": N_("Delete"),
    "delete_elsewhere": N_("A deletion sent from another site is refused."),
    "elsewhere": N_("A form sent from another site is refused."),
    "no_contact": N_("This service names no contact: ask the person who runs it."),
    "my_title": N_("Quiblo - My pictures"),
    "my_heading": N_("My pictures"),
    "upload_key": N_("Upload key"),
    "sign_in": N_("Sign in"),
    "sign_in_why": N_("Sign in with the upload key you got from the service's administrator."),
    "sign_in_wrong": N_("This upload key is not accepted."),
    "too_many_guesses": N_("Too many wrong keys or deletion ids: please try again later."),
    "signed_in_as": N_("Signed in as {name}"),
    "sign_out": N_("Sign out"),
    "no_accounts": N_("This service has no accounts: anyone may upload here, {allowed} pictures in any "
                      "{hours} hours from one address."),
    "pictures": N_("Pictures"),
    "upload": N_("Upload"),
    "keep_for": N_("Keep for"),
    "lifetime_service": N_("The service's own time"),
    "lifetime_1h": N_("1 hour"),
    "lifetime_1d": N_("1 day"),
    "lifetime_7d": N_("1 week"),
    "drop_or_paste": N_("You can also drop pictures anywhere on this page, or paste one with Ctrl+V."),
    "uploaded": N_("Pictures uploaded: {count}"),
    "not_png": N_("not a PNG picture, so it was not uploaded"),
    "upload_unreadable": N_("The upload could not be read."),
    "too_large": N_("larger than {limit} bytes, so it was not uploaded"),
    "limit_hit": N_("you have reached the upload limit ({allowed} pictures in any {hours} hours)"),
    "try_later": N_("the service cannot take it just now; please try again later"),
    "none_yet": N_("No pictures yet."),
    "copy_link": N_("Copy link"),
    "open": N_("Open"),
    "cancel": N_("Cancel"),
    "newer": N_("Newer"),
    "older": N_("Older"),
    "admin_title": N_("All pictures"),
    "admins_only": N_("Only an admin's key opens this page."),
    "usage_heading": N_("Uploads in the last {hours} hours, by key"),
    "all_pictures": N_("Pictures"),
    "other_tools": N_("Other tools"),
    "other_tools_what": N_("Your own uploader for ShareX, and a curl command line, with your key in them: keep "
                           "them to yourself."),
    "sxcu_file": N_("ShareX uploader (.sxcu)"),
    "curl_line": N_("curl command line"),
    "link": N_("Link to this page"),
    "copy": N_("Copy"),
    "copied": N_("Copied"),
    "picture_file": N_("Picture file"),
    "the_program": N_("The program"),
    "settings_heading": N_("Settings for this service"),
    "settings_where": N_("In Quiblo's Settings (F9), enter this address as the upload server:"),
    "service_address": N_("Service address"),
    "key_where": N_("If this service uses upload keys, enter the key you got from its administrator "
                    "as the upload key there too."),
    "bad_request": N_("The request is not valid."),
    "bad_key": N_("The upload key is not valid, so you cannot upload.\r\nCheck the upload key in the settings."),
    "bad_user_check": N_("The user cannot be identified, so you cannot upload."),
    "limit_reached": N_("You have reached the upload limit.\r\nYou can upload {allowed} pictures in any {hours} hours.\r\nPlease try again later."),
    "bad_user_register": N_("The user cannot be identified, so the picture was not registered."),
    "registered": N_("The picture was registered."),
    "not_uploaded": N_("The picture file has not reached the server, so it was not registered."),
    "already_registered": N_("This picture is registered already."),
    "limit_register": N_("You have reached the upload limit, so the picture was not registered."),
    "too_many_attempts": N_("Too many wrong deletion ids: deleting is blocked for a while.\r\nPlease try again later."),
    "expired": N_("This picture was kept for its {days} days and has been deleted already."),
    "deleted": N_("The picture was deleted from the server."),
    "not_on_server": N_("The picture is not on the server."),
    "wrong_delid": N_("The deletion id does not match, so the picture was not deleted."),
}

def language_of(accept_language):
    """"ja" or "en" for an Accept-Language header: the supported language the reader prefers
    most; Japanese when the header is missing or names only "*", English for other languages."""
    if not accept_language or not accept_language.strip():
        return DEFAULT
    best, best_q, named = None, 0.0, False
    for position, item in enumerate(accept_language.split(",")):
        tag, _, params = item.strip().partition(";")
        tag = tag.strip().lower()
        if not tag:
            continue
        q = 1.0
        for param in params.split(";"):
            name, _, value = param.strip().partition("=")
            if name.strip() == "q":
                try:
                    q = float(value)
                except ValueError:
                    q = 0.0
        if tag == "*":
            continue
        named = True
        language = tag.split("-")[0]
        if language in LANGUAGES and q > best_q:
            best, best_q = language, q
    if best:
        return best
    return "en" if named else DEFAULT


def say(language, key, **fields):
    """The text KEY in LANGUAGE, its fields filled in."""
    return translations(language).gettext(TEXTS[key]).format(**fields)


def date_text(language, seconds):
    t = time.localtime(seconds)
    if language == "en":
        return f"{t.tm_mday} {MONTHS[t.tm_mon - 1]} {t.tm_year}"
    return f"{t.tm_year}年{t.tm_mon}月{t.tm_mday}日"
