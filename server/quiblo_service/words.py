"""The service's words for people, in Japanese and in English. Pages and the reply texts that
the program shows follow the request's Accept-Language; a request that names no language gets
Japanese, as earlier copies of the program expect. Admin commands and logs stay English."""

import time

LANGUAGES = ("ja", "en")
DEFAULT = "ja"

MONTHS = ("January", "February", "March", "April", "May", "June", "July", "August", "September",
          "October", "November", "December")

# Each text: (Japanese, English), with str.format fields. CGI texts keep CR LF line breaks.
TEXTS = {
    "title": ("クイブロ", "Quiblo"),
    "top_title": ("クイブロ", "Quiblo"),
    "top_intro": ("画面をキャプチャして、すぐにWebで公開できるツールです。",
                  "A tool that captures your screen and puts it on the web at once."),
    "download": ("ダウンロード", "Download"),
    "board": ("サポートBBS", "Support board"),
    "download_title": ("クイブロ - ダウンロード", "Quiblo - Download"),
    "latest_version": ("最新バージョン: {version}", "Latest version: {version}"),
    "latest_only": ("最新バージョン以外はサーバーと連動できないため使用できません。",
                    "Only the latest version works with the server."),
    "board_title": ("クイブロ - サポートBBS", "Quiblo - Support board"),
    "board_intro": ("不具合の報告やご質問はこちらへどうぞ。", "Report bugs and ask questions here."),
    "view_title": ("クイブロ - 画像閲覧", "Quiblo - Picture"),
    "picture_alt": ("アップロードされた画像", "Uploaded picture"),
    "zoom": ("クリックで拡大/縮小", "Click to zoom in or out"),
    "expiry": ("この画像は {date} に自動削除されます。", "This picture will be deleted on {date}."),
    "not_found_title": ("クイブロ - ページが見つかりません", "Quiblo - Page not found"),
    "not_found": ("お探しのページは見つかりませんでした。", "The page you asked for was not found."),
    "unavailable_title": ("クイブロ - 一時的に利用できません", "Quiblo - Unavailable for now"),
    "unavailable": ("しばらくしてから、もう一度お試しください。", "Please try again in a while."),
    "delete_title": ("クイブロ - 削除", "Quiblo - Delete"),
    "delete_blocked_heading": ("削除できません", "Cannot delete"),
    "delete_blocked": ("削除IDの誤りが続いたため、しばらく削除できません。",
                       "Too many wrong deletion ids: deleting is blocked for a while."),
    "deleted_heading": ("削除しました", "Deleted"),
    "deleted_page": ("画像をサーバーから削除しました。", "The picture was deleted from the server."),
    "delete_question_title": ("クイブロ - 画像の削除", "Quiblo - Delete the picture"),
    "delete_question": ("この画像を削除しますか？", "Delete this picture?"),
    "delete_alt": ("削除する画像", "Picture to delete"),
    "delete_button": ("削除する", "Delete"),
    "delete_elsewhere": ("他のサイトからの削除は受け付けません。", "A deletion sent from another site is refused."),
    # The CGI replies that the program shows.
    "bad_request": ("リクエストが正しくありません。", "The request is not valid."),
    "bad_key": ("アップロードキーが正しくないため、利用できません。\r\n"
                "設定画面の「アップロードキー」を確かめてください。",
                "The upload key is not valid, so you cannot upload.\r\n"
                "Check the upload key in the settings."),
    "bad_user_check": ("ユーザーを識別できないため、利用できません。",
                       "The user cannot be identified, so you cannot upload."),
    "limit_reached": ("アップロード回数の上限に達しました。\r\n"
                      "過去{hours}時間に{allowed}回までアップロードできます。\r\n"
                      "しばらく時間をおいてから、もう一度お試しください。",
                      "You have reached the upload limit.\r\n"
                      "You can upload {allowed} pictures in any {hours} hours.\r\n"
                      "Please try again later."),
    "bad_user_register": ("ユーザーを識別できないため、登録できません。",
                          "The user cannot be identified, so the picture was not registered."),
    "registered": ("画像を登録しました。", "The picture was registered."),
    "not_uploaded": ("画像ファイルがサーバーに届いていないため、登録できません。",
                     "The picture file has not reached the server, so it was not registered."),
    "already_registered": ("この画像はすでに登録されています。",
                           "This picture is registered already."),
    "limit_register": ("アップロード回数の上限に達したため、登録できません。",
                       "You have reached the upload limit, so the picture was not registered."),
    "too_many_attempts": ("削除IDの誤りが続いたため、しばらく削除できません。\r\n"
                          "時間をおいてから、もう一度お試しください。",
                          "Too many wrong deletion ids: deleting is blocked for a while.\r\n"
                          "Please try again later."),
    "expired": ("この画像は保存期間（{days}日）が過ぎたため、すでに自動削除されています。",
                "This picture was kept for its {days} days and has been deleted already."),
    "deleted": ("画像をサーバーから削除しました。", "The picture was deleted from the server."),
    "not_on_server": ("指定された画像はサーバー上に見つかりません。",
                      "The picture is not on the server."),
    "wrong_delid": ("削除IDが一致しないため、削除できません。",
                    "The deletion id does not match, so the picture was not deleted."),
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
    japanese, english = TEXTS[key]
    return (english if language == "en" else japanese).format(**fields)


def date_text(language, seconds):
    t = time.localtime(seconds)
    if language == "en":
        return f"{t.tm_mday} {MONTHS[t.tm_mon - 1]} {t.tm_year}"
    return f"{t.tm_year}年{t.tm_mon}月{t.tm_mday}日"
