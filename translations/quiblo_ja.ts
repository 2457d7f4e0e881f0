<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>Artwork</name>
    <message>
        <source>Quiblo</source>
        <translation>クイブロ</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>--capture needs one of full, window or region.</source>
        <translation>--capture には full、window、region のどれかを指定してください。</translation>
    </message>
    <message>
        <source>Unknown capture area: </source>
        <translation>撮影範囲が正しくありません: </translation>
    </message>
    <message>
        <source>Unknown argument: </source>
        <translation>不明な引数です: </translation>
    </message>
    <message>
        <source>Usage: quiblo [--capture full|window|region] [--bind-keys] [--unbind-keys]

  --capture full     capture the whole screen
  --capture window   capture the active window
  --capture region   capture a region you select
  --bind-keys        capture with the Print key and its variants
  --unbind-keys      remove those keys again
  --help             show this help
  --version          show the version

If Quiblo is already running, the capture starts in its window.
</source>
        <translation>使い方: quiblo [--capture full|window|region] [--bind-keys] [--unbind-keys]

  --capture full     全画面を撮影する
  --capture window   アクティブウィンドウを撮影する
  --capture region   任意の指定範囲を撮影する
  --bind-keys        Print キーなどに撮影を割り当てる
  --unbind-keys      その割り当てを外す
  --help             この使い方を表示する
  --version          バージョンを表示する

クイブロが既に起動しているときは、その画面で撮影が始まります。
</translation>
    </message>
    <message>
        <source>quiblo %1.%2
License GPL-3.0-or-later: GNU GPL version 3 or later &lt;https://www.gnu.org/licenses/gpl.html&gt;
</source>
        <translation>quiblo %1.%2
License GPL-3.0-or-later: GNU GPL version 3 or later &lt;https://www.gnu.org/licenses/gpl.html&gt;
</translation>
    </message>
</context>
<context>
    <name>Fault</name>
    <message>
        <source>Overflow.</source>
        <translation>オーバーフローしました。</translation>
    </message>
    <message>
        <source>Index out of range.</source>
        <translation>インデックスが有効範囲にありません。</translation>
    </message>
    <message>
        <source>File not found.</source>
        <translation>ファイルが見つかりません。</translation>
    </message>
    <message>
        <source>Cannot write the file.</source>
        <translation>ファイルに書き込めません。</translation>
    </message>
    <message>
        <source>Cannot read the file.</source>
        <translation>ファイルを読み込めません。</translation>
    </message>
    <message>
        <source>Path not found.</source>
        <translation>パスが見つかりません。</translation>
    </message>
    <message>
        <source>Invalid picture.</source>
        <translation>ピクチャが不正です。</translation>
    </message>
    <message>
        <source>Application-defined or object-defined error.</source>
        <translation>アプリケーション定義またはオブジェクト定義のエラーです。</translation>
    </message>
</context>
<context>
    <name>LocalCopy</name>
    <message>
        <source>Quiblo - Save a copy of the picture</source>
        <translation>クイブロ - 画像ファイルのローカル保存</translation>
    </message>
    <message>
        <source>The folder does not exist.</source>
        <translation>保存先のフォルダーがありません。</translation>
    </message>
    <message>
        <source>Cannot write to the folder.</source>
        <translation>保存先のフォルダーに書き込めません。</translation>
    </message>
    <message>
        <source>Error code: %1</source>
        <translation>エラーコード:%1</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Save a copy of the picture?</source>
        <translation>画像を保存しますか？</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>Could not save the picture.
%1
%2</source>
        <translation>画像を保存できませんでした。
%1
%2</translation>
    </message>
</context>
<context>
    <name>PrintKeys</name>
    <message>
        <source>Quiblo: capture %1</source>
        <translation>クイブロ: %1を撮影</translation>
    </message>
    <message>
        <source>Cannot read the GNOME settings: </source>
        <translation>GNOME の設定が読めません: </translation>
    </message>
    <message>
        <source>GNOME&apos;s screenshot tool</source>
        <translation>GNOME のスクリーンショット機能</translation>
    </message>
    <message>
        <source>Quiblo</source>
        <translation>クイブロ</translation>
    </message>
    <message>
        <source>Capture %1</source>
        <translation>%1を撮影</translation>
    </message>
    <message>
        <source>KDE&apos;s shortcut service (kglobalaccel) is not running.</source>
        <translation>KDE のショートカット設定 (kglobalaccel) が動いていません。</translation>
    </message>
    <message>
        <source>Could not change the KDE shortcuts: </source>
        <translation>KDE のショートカット設定に書き込めませんでした: </translation>
    </message>
    <message>
        <source>the whole screen</source>
        <translation>全画面</translation>
    </message>
    <message>
        <source>the active window</source>
        <translation>アクティブウィンドウ</translation>
    </message>
    <message>
        <source>a region</source>
        <translation>任意の指定範囲</translation>
    </message>
    <message>
        <source>Could not write the settings file Quiblo.ini.</source>
        <translation>設定ファイル Quiblo.ini に書き込めませんでした。</translation>
    </message>
    <message>
        <source>%1 was not found.</source>
        <translation>%1 が見つかりません。</translation>
    </message>
    <message>
        <source>%1 does not answer.</source>
        <translation>%1 が応答しません。</translation>
    </message>
    <message>
        <source>Add these lines to the sway configuration (~/.config/sway/config), then run swaymsg reload.</source>
        <translation>sway の設定ファイル (~/.config/sway/config) に次の行を加えて、swaymsg reload で読み込み直してください。</translation>
    </message>
    <message>
        <source>Add these lines to the i3 configuration (~/.config/i3/config), then run i3-msg reload.</source>
        <translation>i3 の設定ファイル (~/.config/i3/config) に次の行を加えて、i3-msg reload で読み込み直してください。</translation>
    </message>
    <message>
        <source>In this desktop&apos;s keyboard settings, give these keys these commands.</source>
        <translation>このデスクトップのキーボード設定で、次のキーにコマンドを割り当ててください。</translation>
    </message>
    <message>
        <source>Quiblo cannot change this desktop&apos;s keys itself.
</source>
        <translation>クイブロは、このデスクトップのキーを自分では変えられません。
</translation>
    </message>
    <message>
        <source>Quiblo has not changed this desktop&apos;s keys. If you added lines to a configuration file, remove them.</source>
        <translation>クイブロは、このデスクトップのキーを変えていません。設定ファイルに加えた行があれば、その行を消してください。</translation>
    </message>
    <message>
        <source>Print key</source>
        <translation>Print キーの割り当て</translation>
    </message>
    <message>
        <source>These keys will capture with Quiblo:
</source>
        <translation>次のキーで、クイブロが撮影するようにします。
</translation>
    </message>
    <message>
        <source>

%2 uses %1 now; they will be taken from it.</source>
        <translation>

%1 は、いま %2 が使っています。そこからは外します。</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>

Continue?</source>
        <translation>

よろしいですか？</translation>
    </message>
    <message>
        <source>Print, Alt+Print and Shift+Print will no longer capture with Quiblo, and the keys taken from %1 go back to it.

Continue?</source>
        <translation>Print、Alt+Print、Shift+Print に割り当てたクイブロの撮影を外し、%1 から外したキーを戻します。

よろしいですか？</translation>
    </message>
    <message>
        <source>The Print key now captures with Quiblo.</source>
        <translation>Print キーにクイブロの撮影を割り当てました。</translation>
    </message>
    <message>
        <source>The Print key already captures with Quiblo. Nothing was changed.</source>
        <translation>Print キーは既にクイブロに割り当ててあります。変えたものはありません。</translation>
    </message>
    <message>
        <source>The Print key no longer captures with Quiblo.</source>
        <translation>Print キーからクイブロの撮影を外しました。</translation>
    </message>
    <message>
        <source>No keys capture with Quiblo. Nothing was changed.</source>
        <translation>クイブロに割り当てたキーはありません。変えたものはありません。</translation>
    </message>
    <message>
        <source>Could not set the keys.</source>
        <translation>キーを割り当てられませんでした。</translation>
    </message>
    <message>
        <source>Could not remove the keys.</source>
        <translation>キーの割り当てを外せませんでした。</translation>
    </message>
    <message>
        <source>

These changes could not be undone:
</source>
        <translation>

途中まで変えた設定を元に戻せませんでした。
</translation>
    </message>
    <message>
        <source>

The changes made so far were undone.</source>
        <translation>

途中まで変えた設定は元に戻しました。</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>Xfce&apos;s screenshot tool (xfce4-screenshooter)</source>
        <translation>Xfce のスクリーンショット機能 (xfce4-screenshooter)</translation>
    </message>
</context>
<context>
    <name>ProgramFolder</name>
    <message>
        <source>Settings, uploads and the history cannot be saved.</source>
        <translation>設定の保存、画像の送信、履歴の記録は失敗します。</translation>
    </message>
    <message>
        <source>There is no folder for settings and history, because the home folder (HOME) is not set.
</source>
        <translation>ホームフォルダ (HOME) が設定されていないため、設定と履歴を保存するフォルダがありません。
</translation>
    </message>
    <message>
        <source>The folder for settings and history is not used: it belongs to someone else, is a link, or is open to other users.
</source>
        <translation>設定と履歴を保存するフォルダが、自分のものでないか、リンクであるか、他のユーザーに開かれているため、使いません。
</translation>
    </message>
    <message>
        <source>Cannot write to the folder for settings and history.
</source>
        <translation>設定と履歴を保存するフォルダに書き込めません。
</translation>
    </message>
</context>
<context>
    <name>ReducedPicture</name>
    <message>
        <source>The picture is too large to upload as it is.
Upload it with fewer colours (256 colours, %1 bytes)?</source>
        <translation>画像のファイルサイズが大きすぎるため、このままでは転送できません。
色数を減らした画像（256色、%1バイト）を転送しますか？</translation>
    </message>
    <message>
        <source>The picture is too large to upload as it is.
Upload it at half size with fewer colours (%1x%2, 256 colours, %3 bytes)?</source>
        <translation>画像のファイルサイズが大きすぎるため、このままでは転送できません。
縦横を半分にし、色数を減らした画像（%1x%2、256色、%3バイト）を転送しますか？</translation>
    </message>
</context>
<context>
    <name>RegionSelection</name>
    <message>
        <source>Region: (%1,%2) - (%3,%4) / Size: %5x%6</source>
        <translation>範囲:(%1,%2) - (%3,%4) / サイズ: %5x%6</translation>
    </message>
    <message>
        <source>Start: (%1,%2) - (%3,%3) / Size: %3x%3</source>
        <translation>始点:(%1,%2) - (%3,%3) / サイズ: %3x%3</translation>
    </message>
</context>
<context>
    <name>Replies</name>
    <message>
        <source>The upload key is wrong or missing, so you cannot upload.
Check the upload key in Settings.
(The server&apos;s administrator gives you the key.)</source>
        <translation>アップロードキーが違うか、設定されていないため、利用できません。
「高度な設定」のアップロードキーを確かめてください。
(キーはサーバーの管理人から受け取ります。)</translation>
    </message>
    <message>
        <source>Could not connect to the server,
so some steps were not done.</source>
        <translation>サーバーとの接続が失敗したため、
一部処理は行えませんでした。</translation>
    </message>
    <message>
        <source>Quiblo usage
%1
Uploads so far: %2
Limit: %4 in any %3 hours

Uploads left: %5</source>
        <translation>クイブロ 利用状況
%1
現在利用回数: %2回利用済みです。
最大: 過去%3時間に%4回利用できます。

あと%5回利用可能です。</translation>
    </message>
    <message>
        <source>[Upload no. %1 (limit: %3 in any %2 hours)]</source>
        <translation>[%1回目の利用 (最大:過去%2時間に%3回まで)]</translation>
    </message>
    <message>
        <source>Stopped.</source>
        <translation>終了します。</translation>
    </message>
</context>
<context>
    <name>ServiceAddress</name>
    <message>
        <source>The server setting (%1) cannot be read, so Quiblo does not connect.
Correct it in Settings.</source>
        <translation>アップロード先のサーバーの設定 (%1) を読めないため、サーバーには接続しません。
「高度な設定」で直してください。</translation>
    </message>
</context>
<context>
    <name>ServiceSetting</name>
    <message>
        <source>%2 in %1</source>
        <translation>%1 の %2</translation>
    </message>
</context>
<context>
    <name>Tls</name>
    <message>
        <source>The certificate of server %1 could not be verified, so the connection was stopped.</source>
        <translation>サーバー %1 の証明書を確認できなかったため、接続を中止しました。</translation>
    </message>
    <message>
        <source>Could not start an encrypted connection (TLS) with server %1.</source>
        <translation>サーバー %1 と暗号化した接続 (TLS) を始められませんでした。</translation>
    </message>
    <message>
        <source>Upload server %1 does not support encryption (TLS), so the upload was stopped.</source>
        <translation>アップロードサーバー %1 は暗号化 (TLS) に対応していないため、転送を中止しました。</translation>
    </message>
    <message>
        <source>Server %1 tried to switch to an unencrypted address, so the connection was stopped.
(%2)</source>
        <translation>サーバー %1 が暗号化されていないアドレスへ切り替えようとしたため、接続を中止しました。
(%2)</translation>
    </message>
</context>
<context>
    <name>Transfer</name>
    <message>
        <source>start-up</source>
        <translation>初期処理</translation>
    </message>
    <message>
        <source>connection</source>
        <translation>接続処理</translation>
    </message>
    <message>
        <source>transfer set-up</source>
        <translation>転送設定処理</translation>
    </message>
    <message>
        <source>transfer</source>
        <translation>転送処理</translation>
    </message>
    <message>
        <source>Cannot resolve the server name.</source>
        <translation>サーバーの名前を解決できません。</translation>
    </message>
    <message>
        <source>Cannot connect to the server.</source>
        <translation>サーバーに接続できません。</translation>
    </message>
    <message>
        <source>The server did not answer in time.</source>
        <translation>サーバーからの応答がないため、時間切れになりました。</translation>
    </message>
    <message>
        <source>The server refused the login.</source>
        <translation>サーバーへのログインが拒否されました。</translation>
    </message>
    <message>
        <source>The server denied access.</source>
        <translation>サーバーがアクセスを拒否しました。</translation>
    </message>
    <message>
        <source>The server refused the file.</source>
        <translation>サーバーがファイルの受け取りを拒否しました。</translation>
    </message>
    <message>
        <source>Sending data failed.</source>
        <translation>データの送信に失敗しました。</translation>
    </message>
    <message>
        <source>Receiving data failed.</source>
        <translation>データの受信に失敗しました。</translation>
    </message>
    <message>
        <source>The server did not confirm the upload.</source>
        <translation>サーバーが転送の完了を認めませんでした。</translation>
    </message>
    <message>
        <source>No answer from the server.</source>
        <translation>サーバーから応答がありません。</translation>
    </message>
    <message>
        <source>The server sent an invalid answer.</source>
        <translation>サーバーの応答が正しくありません。</translation>
    </message>
    <message>
        <source>Cannot open the data connection.</source>
        <translation>データ転送用の接続ができません。</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>quiblo: Quiblo is busy and cannot capture now.
</source>
        <translation>quiblo: クイブロは操作中のため、撮影できません。
</translation>
    </message>
</context>
<context>
    <name>quiblo::DeleteWin</name>
    <message>
        <source>The picture is no longer on the server,
but the history file was not found,
so the entry could not be removed from the history.
The rest of the history file is unchanged.</source>
        <translation>サーバー上の画像はすでにありませんが、
情報ファイルが見つからないため、
履歴から削除できませんでした。
情報ファイルのほかの内容はそのまま残っています。</translation>
    </message>
    <message>
        <source>The picture is no longer on the server,
but the history file cannot be read,
so the entry could not be removed from the history.
The rest of the history file is unchanged.</source>
        <translation>サーバー上の画像はすでにありませんが、
情報ファイルを読み込めないため、
履歴から削除できませんでした。
情報ファイルのほかの内容はそのまま残っています。</translation>
    </message>
    <message>
        <source>The picture is no longer on the server,
but the history file could not be rewritten,
so the entry could not be removed from the history.
The rest of the history file is unchanged.</source>
        <translation>サーバー上の画像はすでにありませんが、
情報ファイルを書き換えられなかったため、
履歴から削除できませんでした。
情報ファイルのほかの内容はそのまま残っています。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>Talking to the server failed, or the server failed,
so the picture was not deleted.</source>
        <translation>サーバーとの通信に失敗、又はその処理が失敗したため、
削除処理はできませんでした。</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>情報</translation>
    </message>
    <message>
        <source>(You cannot delete other people&apos;s pictures.)</source>
        <translation>（他人がアップロードした物は削除できません）</translation>
    </message>
    <message>
        <source>Select an entry to see its viewing URL.</source>
        <translation>項目を選択すると閲覧用URLが表示されます。</translation>
    </message>
    <message>
        <source>Upload history</source>
        <translation>送信履歴</translation>
    </message>
    <message>
        <source>Viewing URL of this picture</source>
        <translation>この画像の閲覧用URL</translation>
    </message>
    <message>
        <source>&amp;Copy URL</source>
        <translation>URLをコピー(&amp;C)</translation>
    </message>
    <message>
        <source>Vie&amp;w</source>
        <translation>画像確認(&amp;C)</translation>
    </message>
    <message>
        <source>Shows the picture in the browser.</source>
        <translation>ブラウザで画像を閲覧します。</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>削除(&amp;D)</translation>
    </message>
    <message>
        <source>Deletes the picture from the server.</source>
        <translation>画像をサーバー上から削除します。</translation>
    </message>
    <message>
        <source>C&amp;lose</source>
        <translation>閉じる(&amp;C)</translation>
    </message>
    <message>
        <source>The history file was not found, so nothing can be deleted.</source>
        <translation>情報ファイルが見つからないため、削除処理ができません。</translation>
    </message>
    <message>
        <source>The history file cannot be read, so nothing can be deleted.</source>
        <translation>情報ファイルを読み込めないため、削除処理ができません。</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>The URL was copied to the clipboard.</source>
        <translation>URLがクリップボードへ転送されました。</translation>
    </message>
    <message>
        <source>Your uploads</source>
        <translation>履歴閲覧/手動削除</translation>
    </message>
    <message>
        <source>View or delete the pictures you uploaded.</source>
        <translation>ここでは、自分が過去にアップロードした画像を確認したり手動で削除することができます。</translation>
    </message>
    <message>
        <source>Quiblo - Your uploads</source>
        <translation>クイブロ - 履歴閲覧/手動削除</translation>
    </message>
    <message>
        <source>(gone)</source>
        <translation>(削除済み)</translation>
    </message>
    <message>
        <source>Picture of the chosen upload</source>
        <translation>選択した画像</translation>
    </message>
</context>
<context>
    <name>quiblo::LoadMspaintWin</name>
    <message>
        <source>Quiblo - Drawing</source>
        <translation>クイブロ - お絵かきモード</translation>
    </message>
    <message>
        <source>Drawing</source>
        <translation>お絵かきモード</translation>
    </message>
    <message>
        <source>The picture will now open in the image editor.
When you have finished drawing, save it and close the editor.</source>
        <translation>これからキャプチャ画像をペイントに転送します。
お絵かきが終わったら保存して閉じてください。</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>編集(&amp;E)</translation>
    </message>
    <message>
        <source>Opens the picture in the image editor.</source>
        <translation>ペイントを開いて、画像を編集します。</translation>
    </message>
    <message>
        <source>&amp;Skip</source>
        <translation>編集しない(&amp;C)</translation>
    </message>
    <message>
        <source>Uploads the picture at once, without drawing.</source>
        <translation>お絵かきをキャンセルして直ぐに送信します。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>An error occurred.
Error code: %1
Details: %2</source>
        <translation>エラーが発生しました。
エラーコード:%1
エラーの詳細:%2</translation>
    </message>
    <message>
        <source>Drawing!
The upload starts when the editor closes.</source>
        <translation>お絵かき中！
ペイントが終了すると自動的に送信を開始します。</translation>
    </message>
</context>
<context>
    <name>quiblo::MainWin</name>
    <message>
        <source>Quiblo v$major.$minor</source>
        <translation>クイブロ  v$major.$minor</translation>
    </message>
    <message>
        <source>Full screen ($ScreenSize)</source>
        <translation>全画面($ScreenSize)</translation>
    </message>
    <message>
        <source>Quiblo</source>
        <translation>クイブロ</translation>
    </message>
    <message>
        <source>Quiblo shows your screen to other people
on the internet in a few clicks.
Use it to post a picture to a forum for a while.</source>
        <translation>クイブロは、簡単に自分の画面をインターネット上の
ほかのユーザーに見せる事ができるソフトです。
掲示板への一時的な画像投稿などにお役立てください。</translation>
    </message>
    <message>
        <source>1. What to capture</source>
        <translation>1.撮影範囲</translation>
    </message>
    <message>
        <source>Active window
(the one in front)</source>
        <translation>アクティブウィンドウ
(一番手前のウィンドウ)</translation>
    </message>
    <message>
        <source>2. Capture</source>
        <translation>2.撮影</translation>
    </message>
    <message>
        <source>When you are ready...</source>
        <translation>準備ができたら...</translation>
    </message>
    <message>
        <source>Captures the screen.</source>
        <translation>撮影ボタンです。</translation>
    </message>
    <message>
        <source>3. Share</source>
        <translation>3.確認</translation>
    </message>
    <message>
        <source>Vi&amp;ew</source>
        <translation>確認(&amp;E)</translation>
    </message>
    <message>
        <source>Shows the picture in the browser.</source>
        <translation>ブラウザで今の画像を確認します。</translation>
    </message>
    <message>
        <source>Picture URL</source>
        <translation>画像のURL</translation>
    </message>
    <message>
        <source>Shows your uploads, and deletes pictures you uploaded.</source>
        <translation>今までの送信履歴の確認や、アップロードした画像を手動削除します。</translation>
    </message>
    <message>
        <source>&amp;Copy URL</source>
        <translation>URLをコピー(&amp;C)</translation>
    </message>
    <message>
        <source>Copies the URL above to the clipboard.</source>
        <translation>上記のURLをクリップボードへ転送します。</translation>
    </message>
    <message>
        <source>&amp;Quiblo</source>
        <translation>クイブロ(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Full screen</source>
        <translation>全画面(&amp;A)</translation>
    </message>
    <message>
        <source>Active &amp;window</source>
        <translation>アクティブウィンドウ(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;Region</source>
        <translation>任意指定(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Capture</source>
        <translation>クイブロ（撮影）(&amp;P)</translation>
    </message>
    <message>
        <source>E&amp;xit (Esc)</source>
        <translation>終了(&amp;X)/(Esc)</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>その他(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Open uploaded picture...</source>
        <translation>アップロード画像を確認...(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;History and deletion...</source>
        <translation>履歴の確認／転送した画像の削除...(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Settings...</source>
        <translation>高度な設定...(&amp;S)</translation>
    </message>
    <message>
        <source>Check &amp;usage</source>
        <translation>利用状況チェック(&amp;K)</translation>
    </message>
    <message>
        <source>&amp;About Quiblo</source>
        <translation>バージョン情報(&amp;V)</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>The URL was copied to the clipboard.</source>
        <translation>URLがクリップボードへ転送されました。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>情報</translation>
    </message>
    <message>
        <source>The screen capture failed.</source>
        <translation>画面キャプチャーに失敗しました。</translation>
    </message>
    <message>
        <source>The desktop did not allow the screen capture.</source>
        <translation>デスクトップの画面キャプチャーが許可されませんでした。</translation>
    </message>
    <message>
        <source>The desktop&apos;s screen capture is not available.</source>
        <translation>デスクトップの画面キャプチャー機能が使えません。</translation>
    </message>
    <message>
        <source>The screen capture failed.
Check that the window is there,
then try again.</source>
        <translation>画面キャプチャーに失敗しました。
対象ウィンドウがあるかチェックして、
もう一度やり直してください。</translation>
    </message>
    <message>
        <source>The screen capture failed.
Please try again.</source>
        <translation>画面キャプチャーに失敗しました。
もう一度やり直してください。</translation>
    </message>
    <message>
        <source>An error occurred.
Error code: %1
Details: %2
Step: %3</source>
        <translation>エラーが発生しました。
エラーコード:%1
エラーの詳細:%2
エラー位置:%3</translation>
    </message>
    <message>
        <source>There is no screen to capture in this session.</source>
        <translation>OSバージョンの取得に失敗しました。</translation>
    </message>
    <message>
        <source>Cannot load the image library (libimgctl.so).
Put it in the same folder as Quiblo
or in a system library folder.</source>
        <translation>Imgctl.dllが読み込めません。
クイブロと同じフォルダ内または、システムフォルダ内に
Imgctl.dllを配置してください。</translation>
    </message>
    <message>
        <source>The image library (libimgctl.so)
failed unexpectedly.</source>
        <translation>Imgctl.dllの処理で、
予期しないエラーが発生しました。</translation>
    </message>
    <message>
        <source>Quiblo is already running.</source>
        <translation>クイブロは既に起動しています。</translation>
    </message>
    <message>
        <source>Cannot write to the folder for settings and history.
%1
Settings, uploads and the history cannot be saved.</source>
        <translation>設定と履歴を保存するフォルダに書き込めません。
%1
設定の保存、画像の送信、履歴の記録は失敗します。</translation>
    </message>
    <message>
        <source>&amp;My uploads</source>
        <translation>履歴/削除(&amp;M)</translation>
    </message>
    <message>
        <source>Then you select a region or confirm.</source>
        <translation>※撮影後、範囲選択または確認画面が出ます。</translation>
    </message>
    <message>
        <source>Anyone with this URL can see your picture.
Send it to whoever you like.</source>
        <translation>クイブロした画像は、このURLにアクセスすると見ることができます。
見せたい相手に送ってください。</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>任意の指定範囲</translation>
    </message>
    <message>
        <source>Pictures are deleted after a few weeks,
or sooner with [&amp;My uploads] below.</source>
        <translation>※画像は数週間後自動削除されますが、
↓[履歴/削除(&amp;M)] より削除することもできます。</translation>
    </message>
</context>
<context>
    <name>quiblo::PosSelectWin</name>
    <message>
        <source>The region is too small. Select at least 10 by 10 pixels.
Cancel?</source>
        <translation>範囲が小さすぎです。10ピクセル四方以上を指定してください。
キャンセルしますか？</translation>
    </message>
    <message>
        <source>No region is selected.
Cancel?</source>
        <translation>範囲選択されていません。
キャンセルしますか？</translation>
    </message>
    <message>
        <source>[Select a region] - drag to select, right-click to confirm
       (Space shows or hides this help)</source>
        <translation>[範囲選択] - ドラッグで範囲指定、右クリックで確定
       (スペースキーでこの説明文の表示切替)</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
</context>
<context>
    <name>quiblo::PreviewWin</name>
    <message>
        <source>Editor: %1</source>
        <translation>使用するエディタ: %1</translation>
    </message>
    <message>
        <source>No image editor found. Install one of %1, or name an editor in the QUIBLO_PAINT_COMMAND environment variable.</source>
        <translation>画像エディタが見つかりません。%1のいずれかを入れるか、環境変数QUIBLO_PAINT_COMMANDでエディタのコマンドを指定してください。</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>Quiblo - Confirm</source>
        <translation>クイブロ - 確認ウィンドウ</translation>
    </message>
    <message>
        <source>Captured. Upload this picture?</source>
        <translation>クイブロ完了です。この画像をアップロードしてよろしいですか？</translation>
    </message>
    <message>
        <source>Do not upload other people&apos;s work without their permission.
The administrator may delete pictures found inappropriate.</source>
        <translation>※画面上に承諾を得ていない著作物がある場合はアップロードしないでください。
※アップロードされた画像が不適切と判断された場合は、管理人が削除することがあります。</translation>
    </message>
    <message>
        <source>&amp;Save a copy on this computer...</source>
        <translation>この画像をコンピュータ内に保存する...(&amp;S)</translation>
    </message>
    <message>
        <source>Check this to save a copy of the picture you upload.</source>
        <translation>ここにチェックを入れると、アップロードする画像を、保存することができます。</translation>
    </message>
    <message>
        <source>&amp;Draw on the picture in an image editor...</source>
        <translation>ペイントで画像に説明を加える(WindowsXPのみ)...(&amp;D)</translation>
    </message>
    <message>
        <source>Check this to draw on the picture before it is uploaded.</source>
        <translation>ここにチェックを入れると、アップロードする画像にペイントで説明を加えることができます。</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>はい(&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>いいえ(&amp;N)</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>プレビュー</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Cancel?</source>
        <translation>キャンセルしますか？</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>Writing the PNG data failed.
Error code: %1</source>
        <translation>PNGデータの出力においてエラーが発生しました。
エラーコード:%1</translation>
    </message>
    <message>
        <source>An error occurred; nothing was uploaded.</source>
        <translation>エラーが発生したため、終了します。</translation>
    </message>
</context>
<context>
    <name>quiblo::SendDataWin</name>
    <message>
        <source>Quiblo - Uploading</source>
        <translation>クイブロ - 送信ダイアログ</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>進捗状況</translation>
    </message>
</context>
<context>
    <name>quiblo::SettingsWin</name>
    <message>
        <source>Quiblo - Settings</source>
        <translation>クイブロ - 高度な設定</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>高度な設定</translation>
    </message>
    <message>
        <source>Quiblo works well as it is; here you can fine-tune how it works.</source>
        <translation>クイブロは初期設定でも十分お使いいただけますが、ここでは細かい動作制御を行うことができます。</translation>
    </message>
    <message>
        <source>- Delete left-over work files (tmp_***.png)</source>
        <translation>・正常に削除されなかった作業ファイル(tmp_***.png)の削除</translation>
    </message>
    <message>
        <source>&amp;Clean up</source>
        <translation>クリーニング(&amp;C)</translation>
    </message>
    <message>
        <source>- Wait before capturing (default 100 ms)
  (make it longer if Quiblo itself shows in the picture)</source>
        <translation>・撮影時のウェイト時間 (デフォルト100ms)
&#x3000;(画像にクイブロの残影が残ってしまう場合、長めにする)</translation>
    </message>
    <message>
        <source>Wait before capturing (ms)</source>
        <translation>撮影時のウェイト時間 (ms)</translation>
    </message>
    <message>
        <source>Change the wait</source>
        <translation>ウェイト時間の増減</translation>
    </message>
    <message>
        <source>Longer wait</source>
        <translation>ウェイト時間を増やす</translation>
    </message>
    <message>
        <source>Shorter wait</source>
        <translation>ウェイト時間を減らす</translation>
    </message>
    <message>
        <source>- Upload server (e.g. example.com:8780)</source>
        <translation>・アップロード先のサーバー (例: example.com:8780)</translation>
    </message>
    <message>
        <source>Upload server</source>
        <translation>アップロード先のサーバー</translation>
    </message>
    <message>
        <source>FTP port</source>
        <translation>FTP ポート</translation>
    </message>
    <message>
        <source>- Upload key (from the server&apos;s administrator)</source>
        <translation>・アップロードキー (サーバーの管理人から受け取ったもの)</translation>
    </message>
    <message>
        <source>Upload key</source>
        <translation>アップロードキー</translation>
    </message>
    <message>
        <source>- Keep pictures on the server for</source>
        <translation>・保存期間 (サーバーに画像を残す期間)</translation>
    </message>
    <message>
        <source>Keep pictures for</source>
        <translation>保存期間</translation>
    </message>
    <message>
        <source>The server&apos;s default</source>
        <translation>サーバーの既定</translation>
    </message>
    <message>
        <source>1 hour</source>
        <translation>1時間</translation>
    </message>
    <message>
        <source>1 day</source>
        <translation>1日</translation>
    </message>
    <message>
        <source>1 week</source>
        <translation>1週間</translation>
    </message>
    <message>
        <source>C&amp;lose</source>
        <translation>閉じる(&amp;C)</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>The upload server is not valid.
Enter a host name and port (e.g. example.com:8780), without blanks or a path.
For encryption, start it with https://.</source>
        <translation>アップロード先のサーバーの指定が正しくありません。
ホスト名とポート (例: example.com:8780) を、空白やパスを付けずに入力してください。
暗号化するときは https:// を先頭に付けます。</translation>
    </message>
    <message>
        <source>Enter an FTP port from 1 to 65535.</source>
        <translation>FTP ポートには 1 から 65535 までの数を入力してください。</translation>
    </message>
    <message>
        <source>The upload key is not valid.
Enter the key from the administrator (16 or more letters, digits and symbols) exactly.</source>
        <translation>アップロードキーが正しくありません。
管理人から受け取ったキー (16 文字以上の英数字と記号) をそのまま入力してください。</translation>
    </message>
    <message>
        <source>Could not save the upload server.
%1</source>
        <translation>アップロード先のサーバーを保存できませんでした。
%1</translation>
    </message>
    <message>
        <source>Could not save the capture wait.
%1</source>
        <translation>撮影時のウェイト時間を保存できませんでした。
%1</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>情報</translation>
    </message>
    <message>
        <source>Clean-up finished.</source>
        <translation>クリーニング作業は完了しました。</translation>
    </message>
    <message>
        <source>Clean-up failed.</source>
        <translation>クリーニング作業は失敗しました。</translation>
    </message>
    <message>
        <source>- 言語 / Language</source>
        <translation>・言語 / Language</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>言語</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>自動</translation>
    </message>
    <message>
        <source>From the next start</source>
        <translation>次回の起動から有効</translation>
    </message>
</context>
<context>
    <name>quiblo::UploadJob</name>
    <message>
        <source>Preparing the picture...</source>
        <translation>画像準備中...</translation>
    </message>
    <message>
        <source>Saving the picture...</source>
        <translation>画像保存中...</translation>
    </message>
    <message>
        <source>Writing the PNG data failed.
Error code: %1</source>
        <translation>PNGデータの出力においてエラーが発生しました。
エラーコード:%1</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>The file is too large to upload.
Capture a smaller area.</source>
        <translation>ファイルサイズが大きすぎるため転送できません。
アップロードする領域を小さくしてください。</translation>
    </message>
    <message>
        <source>Checking the user...</source>
        <translation>ユーザー確認中...</translation>
    </message>
    <message>
        <source>User checked.</source>
        <translation>ユーザー確認完了.</translation>
    </message>
    <message>
        <source>User checked. </source>
        <translation>ユーザー確認完了. </translation>
    </message>
    <message>
        <source>Starting the upload...</source>
        <translation>転送初期処理中...</translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation>接続処理中...</translation>
    </message>
    <message>
        <source>Connected to the upload server.</source>
        <translation>アップロードサーバーへ接続されました。</translation>
    </message>
    <message>
        <source>Uploading... [ %1 / %2 bytes ]</source>
        <translation>アップロード中... [ %1Bytes / %2Bytes ]</translation>
    </message>
    <message>
        <source>Upload finished.</source>
        <translation>転送は正常に終了しました。</translation>
    </message>
    <message>
        <source>Registering the upload...</source>
        <translation>アップロード情報を送信中...</translation>
    </message>
    <message>
        <source>Registering the upload... failed</source>
        <translation>アップロード情報を送信中... エラー</translation>
    </message>
    <message>
        <source>Registering the upload... done</source>
        <translation>アップロード情報を送信中... 完了</translation>
    </message>
    <message>
        <source>Writing the history...</source>
        <translation>アップロード情報を記録中...</translation>
    </message>
    <message>
        <source>Writing the history... done</source>
        <translation>アップロード情報を記録中... 完了</translation>
    </message>
    <message>
        <source>Done.</source>
        <translation>クイブロは正常に完了しました。</translation>
    </message>
    <message>
        <source>Finishing...</source>
        <translation>終了処理中...</translation>
    </message>
    <message>
        <source>Cannot read the file to upload.</source>
        <translation>転送すべきファイルが読み込めません。</translation>
    </message>
    <message>
        <source>Fatal error</source>
        <translation>致命的なエラー</translation>
    </message>
    <message>
        <source>An unexpected error occurred. Please report it on the support board.
Error code: %1
Details: %2</source>
        <translation>予期しないエラーが発生しました。サポートBBSで報告をお願いします。
エラーコード:%1
詳細:%2</translation>
    </message>
    <message>
        <source>Notice</source>
        <translation>お知らせ</translation>
    </message>
    <message>
        <source>A newer version of Quiblo is available.
Quiblo works together with its server, so only the newest version can upload.
Open the download page now?</source>
        <translation>現在ご使用のバージョンよりも新しいバージョンが公開されています。
クイブロはサーバーと連動して動作しますので、最新バージョン以外は使用できません。
今すぐダウンロードページを開きますか？</translation>
    </message>
    <message>
        <source>An error occurred in the [%1] step.
The details follow.
Please report it on the support board.
%2
Error code: %3
%4</source>
        <translation>[%1]プロセスにおいて、エラーが発生しました。
エラー内容は以下の通りです。
サポートBBSで報告をお願いします。
%2
エラーコード: %3
%4</translation>
    </message>
    <message>
        <source>--------------------------------------</source>
        <translation>－－－－－－－－－－－－－－－－－－－</translation>
    </message>
    <message>
        <source>Upload the same picture again?</source>
        <translation>同じ画像をもう一度転送しますか？</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>質問</translation>
    </message>
    <message>
        <source>Open the support board?</source>
        <translation>サポートBBSを開いてよろしいですか？</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>An error occurred; nothing was uploaded.</source>
        <translation>エラーが発生したため、終了します。</translation>
    </message>
    <message>
        <source>Nothing was uploaded.</source>
        <translation>終了します。</translation>
    </message>
</context>
<context>
    <name>quiblo::VersionWin</name>
    <message>
        <source>Quiblo: easy screen capture and upload</source>
        <translation>簡単画面キャプチャー&amp;アップロードソフト 「クイブロ」</translation>
    </message>
    <message>
        <source>Thank you for using Quiblo.</source>
        <translation>クイブロをご使用いただきありがとうございます。</translation>
    </message>
    <message>
        <source>For comments, bugs or ideas, please post on the board at the address below.</source>
        <translation>感想・不具合・改善提案等ありましたら、下記URLより掲示板へお願いします。</translation>
    </message>
    <message>
        <source>Quiblo - About</source>
        <translation>クイブロ - バージョン情報</translation>
    </message>
    <message>
        <source>Developer:</source>
        <translation>開発元サイト:</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>質問</translation>
    </message>
    <message>
        <source>Open the website?</source>
        <translation>サイトにアクセスしますか？</translation>
    </message>
</context>
</TS>
