<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>Artwork</name>
    <message>
        <source>クイブロ</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>--capture には full、window、region のどれかを指定してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>撮影範囲が正しくありません: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不明な引数です: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>使い方: quiblo [--capture full|window|region] [--bind-keys] [--unbind-keys]

  --capture full     全画面を撮影する
  --capture window   アクティブウィンドウを撮影する
  --capture region   任意の指定範囲を撮影する
  --bind-keys        Print キーなどに撮影を割り当てる
  --unbind-keys      その割り当てを外す
  --help             この使い方を表示する
  --version          バージョンを表示する

クイブロが既に起動しているときは、その画面で撮影が始まります。
</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Fault</name>
    <message>
        <source>オーバーフローしました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>インデックスが有効範囲にありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルが見つかりません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルに書き込めません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルを読み込めません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>パスが見つかりません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ピクチャが不正です。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アプリケーション定義またはオブジェクト定義のエラーです。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LocalCopy</name>
    <message>
        <source>クイブロ - 画像ファイルのローカル保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存先のフォルダーがありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存先のフォルダーに書き込めません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像を保存しますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラーコード:%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像を保存できませんでした。
%1
%2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PrintKeys</name>
    <message>
        <source>クイブロ: %1を撮影</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GNOME の設定が読めません: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GNOME のスクリーンショット機能</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1を撮影</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KDE のショートカット設定 (kglobalaccel) が動いていません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KDE のショートカット設定に書き込めませんでした: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全画面</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アクティブウィンドウ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>任意の指定範囲</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>設定ファイル Quiblo.ini に書き込めませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>sway の設定ファイル (~/.config/sway/config) に次の行を加えて、swaymsg reload で読み込み直してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>i3 の設定ファイル (~/.config/i3/config) に次の行を加えて、i3-msg reload で読み込み直してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>このデスクトップのキーボード設定で、次のキーにコマンドを割り当ててください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロは、このデスクトップのキーを変えていません。設定ファイルに加えた行があれば、その行を消してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print キーの割り当て</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>、</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print キーにクイブロの撮影を割り当てました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print キーは既にクイブロに割り当ててあります。変えたものはありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print キーからクイブロの撮影を外しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロに割り当てたキーはありません。変えたものはありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キーを割り当てられませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キーの割り当てを外せませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Xfce のスクリーンショット機能 (xfce4-screenshooter)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 が見つかりません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 が応答しません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロは、このデスクトップのキーを自分では変えられません。
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>次のキーで、クイブロが撮影するようにします。
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>

%1 は、いま %2 が使っています。そこからは外します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>

よろしいですか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print、Alt+Print、Shift+Print に割り当てたクイブロの撮影を外し、%1 から外したキーを戻します。

よろしいですか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>

途中まで変えた設定を元に戻せませんでした。
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>

途中まで変えた設定は元に戻しました。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProgramFolder</name>
    <message>
        <source>設定の保存、画像の送信、履歴の記録は失敗します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ホームフォルダ (HOME) が設定されていないため、設定と履歴を保存するフォルダがありません。
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>設定と履歴を保存するフォルダが、自分のものでないか、リンクであるか、他のユーザーに開かれているため、使いません。
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>設定と履歴を保存するフォルダに書き込めません。
</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ReducedPicture</name>
    <message>
        <source>画像のファイルサイズが大きすぎるため、このままでは転送できません。
色数を減らした画像（256色、%1バイト）を転送しますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像のファイルサイズが大きすぎるため、このままでは転送できません。
縦横を半分にし、色数を減らした画像（%1x%2、256色、%3バイト）を転送しますか？</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RegionSelection</name>
    <message>
        <source>範囲:(%1,%2) - (%3,%4) / サイズ: %5x%6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>始点:(%1,%2) - (%3,%3) / サイズ: %3x%3</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Replies</name>
    <message>
        <source>終了します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロードキーが違うか、設定されていないため、利用できません。
「高度な設定」のアップロードキーを確かめてください。
(キーはサーバーの管理人から受け取ります。)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロ 利用状況
%1
現在利用回数: %2回利用済みです。
最大: 過去%3時間に%4回利用できます。

あと%5回利用可能です。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーとの接続が失敗したため、
一部処理は行えませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[%1回目の利用 (最大:過去%2時間に%3回まで)]</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ServiceAddress</name>
    <message>
        <source>アップロード先のサーバーの設定 (%1) を読めないため、サーバーには接続しません。
「高度な設定」で直してください。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ServiceSetting</name>
    <message>
        <source>%1 の %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Tls</name>
    <message>
        <source>サーバー %1 の証明書を確認できなかったため、接続を中止しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバー %1 と暗号化した接続 (TLS) を始められませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロードサーバー %1 は暗号化 (TLS) に対応していないため、転送を中止しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバー %1 が暗号化されていないアドレスへ切り替えようとしたため、接続を中止しました。
(%2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Transfer</name>
    <message>
        <source>初期処理</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接続処理</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>転送設定処理</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>転送処理</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーの名前を解決できません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーに接続できません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーからの応答がないため、時間切れになりました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーへのログインが拒否されました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーがアクセスを拒否しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーがファイルの受け取りを拒否しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>データの送信に失敗しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>データの受信に失敗しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーが転送の完了を認めませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーから応答がありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーの応答が正しくありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>データ転送用の接続ができません。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>quiblo: クイブロは操作中のため、撮影できません。
</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quiblo::DeleteWin</name>
    <message>
        <source>サーバー上の画像はすでにありませんが、
情報ファイルが見つからないため、
履歴から削除できませんでした。
情報ファイルのほかの内容はそのまま残っています。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバー上の画像はすでにありませんが、
情報ファイルを読み込めないため、
履歴から削除できませんでした。
情報ファイルのほかの内容はそのまま残っています。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバー上の画像はすでにありませんが、
情報ファイルを書き換えられなかったため、
履歴から削除できませんでした。
情報ファイルのほかの内容はそのまま残っています。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーとの通信に失敗、又はその処理が失敗したため、
削除処理はできませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>情報</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロ - 履歴閲覧/手動削除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>履歴閲覧/手動削除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ここでは、自分が過去にアップロードした画像を確認したり手動で削除することができます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>（他人がアップロードした物は削除できません）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>項目を選択すると閲覧用URLが表示されます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>送信履歴</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>この画像の閲覧用URL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>URLをコピー(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像確認(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ブラウザで画像を閲覧します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像をサーバー上から削除します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>情報ファイルが見つからないため、削除処理ができません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>情報ファイルを読み込めないため、削除処理ができません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>URLがクリップボードへ転送されました。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quiblo::LoadMspaintWin</name>
    <message>
        <source>クイブロ - お絵かきモード</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>お絵かきモード</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>これからキャプチャ画像をペイントに転送します。
お絵かきが終わったら保存して閉じてください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ペイントを開いて、画像を編集します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>編集しない(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>お絵かきをキャンセルして直ぐに送信します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>お絵かき中！
ペイントが終了すると自動的に送信を開始します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラーが発生しました。
エラーコード:%1
エラーの詳細:%2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quiblo::MainWin</name>
    <message>
        <source>クイブロ  v$major.$minor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロは、簡単に自分の画面をインターネット上の
ほかのユーザーに見せる事ができるソフトです。
掲示板への一時的な画像投稿などにお役立てください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1.撮影範囲</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全画面($ScreenSize)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アクティブウィンドウ
(一番手前のウィンドウ)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>任意の指定範囲</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2.撮影</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>準備ができたら...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>撮影ボタンです。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>※撮影後、範囲選択または確認画面が出ます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>3.確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロした画像は、このURLにアクセスすると見ることができます。
見せたい相手に送ってください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>確認(&amp;E)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ブラウザで今の画像を確認します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像のURL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>※画像は数週間後自動削除されますが、
↓[履歴/削除(&amp;M)] より削除することもできます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>履歴/削除(&amp;M)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今までの送信履歴の確認や、アップロードした画像を手動削除します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>URLをコピー(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上記のURLをクリップボードへ転送します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロ(&amp;P)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全画面(&amp;A)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アクティブウィンドウ(&amp;W)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>任意指定(&amp;S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロ（撮影）(&amp;P)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>終了(&amp;X)/(Esc)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>その他(&amp;O)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロード画像を確認...(&amp;O)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>履歴の確認／転送した画像の削除...(&amp;D)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>高度な設定...(&amp;S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>利用状況チェック(&amp;K)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バージョン情報(&amp;V)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>URLがクリップボードへ転送されました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>情報</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画面キャプチャーに失敗しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OSバージョンの取得に失敗しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロは既に起動しています。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>デスクトップの画面キャプチャーが許可されませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>デスクトップの画面キャプチャー機能が使えません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画面キャプチャーに失敗しました。
対象ウィンドウがあるかチェックして、
もう一度やり直してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画面キャプチャーに失敗しました。
もう一度やり直してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラーが発生しました。
エラーコード:%1
エラーの詳細:%2
エラー位置:%3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Imgctl.dllが読み込めません。
クイブロと同じフォルダ内または、システムフォルダ内に
Imgctl.dllを配置してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Imgctl.dllの処理で、
予期しないエラーが発生しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>設定と履歴を保存するフォルダに書き込めません。
%1
設定の保存、画像の送信、履歴の記録は失敗します。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quiblo::PosSelectWin</name>
    <message>
        <source>範囲が小さすぎです。10ピクセル四方以上を指定してください。
キャンセルしますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>範囲選択されていません。
キャンセルしますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[範囲選択] - ドラッグで範囲指定、右クリックで確定
       (スペースキーでこの説明文の表示切替)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>確認</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quiblo::PreviewWin</name>
    <message>
        <source>クイブロ - 確認ウィンドウ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロ完了です。この画像をアップロードしてよろしいですか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>※画面上に承諾を得ていない著作物がある場合はアップロードしないでください。
※アップロードされた画像が不適切と判断された場合は、管理人が削除することがあります。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>この画像をコンピュータ内に保存する...(&amp;S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ここにチェックを入れると、アップロードする画像を、保存することができます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ペイントで画像に説明を加える(WindowsXPのみ)...(&amp;D)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ここにチェックを入れると、アップロードする画像にペイントで説明を加えることができます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>プレビュー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キャンセルしますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラーが発生したため、終了します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>使用するエディタ: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像エディタが見つかりません。%1のいずれかを入れるか、環境変数QUIBLO_PAINT_COMMANDでエディタのコマンドを指定してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>、</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNGデータの出力においてエラーが発生しました。
エラーコード:%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quiblo::SendDataWin</name>
    <message>
        <source>クイブロ - 送信ダイアログ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>進捗状況</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quiblo::SettingsWin</name>
    <message>
        <source>クイブロ - 高度な設定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>高度な設定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロは初期設定でも十分お使いいただけますが、ここでは細かい動作制御を行うことができます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>・正常に削除されなかった作業ファイル(tmp_***.png)の削除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クリーニング(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>・撮影時のウェイト時間 (デフォルト100ms)
&#x3000;(画像にクイブロの残影が残ってしまう場合、長めにする)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>撮影時のウェイト時間 (ms)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ウェイト時間の増減</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ウェイト時間を増やす</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ウェイト時間を減らす</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>・アップロード先のサーバー (例: example.com:8780)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロード先のサーバー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FTP ポート</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>・アップロードキー (サーバーの管理人から受け取ったもの)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロードキー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>・保存期間 (サーバーに画像を残す期間)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存期間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーの既定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1時間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1日</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1週間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FTP ポートには 1 から 65535 までの数を入力してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>情報</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クリーニング作業は完了しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クリーニング作業は失敗しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロード先のサーバーの指定が正しくありません。
ホスト名とポート (例: example.com:8780) を、空白やパスを付けずに入力してください。
暗号化するときは https:// を先頭に付けます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロードキーが正しくありません。
管理人から受け取ったキー (16 文字以上の英数字と記号) をそのまま入力してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロード先のサーバーを保存できませんでした。
%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>撮影時のウェイト時間を保存できませんでした。
%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quiblo::UploadJob</name>
    <message>
        <source>画像準備中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像保存中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラーが発生したため、終了します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ユーザー確認中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>終了します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ユーザー確認完了.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ユーザー確認完了. </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>転送初期処理中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接続処理中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロードサーバーへ接続されました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロード中... [ %1Bytes / %2Bytes ]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>転送は正常に終了しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロード情報を送信中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロード情報を送信中... エラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロード情報を送信中... 完了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロード情報を記録中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップロード情報を記録中... 完了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロは正常に完了しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>終了処理中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>転送すべきファイルが読み込めません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>致命的なエラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>お知らせ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>同じ画像をもう一度転送しますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>質問</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サポートBBSを開いてよろしいですか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>エラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNGデータの出力においてエラーが発生しました。
エラーコード:%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルサイズが大きすぎるため転送できません。
アップロードする領域を小さくしてください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>予期しないエラーが発生しました。サポートBBSで報告をお願いします。
エラーコード:%1
詳細:%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>現在ご使用のバージョンよりも新しいバージョンが公開されています。
クイブロはサーバーと連動して動作しますので、最新バージョン以外は使用できません。
今すぐダウンロードページを開きますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[%1]プロセスにおいて、エラーが発生しました。
エラー内容は以下の通りです。
サポートBBSで報告をお願いします。
%2
エラーコード: %3
%4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>－－－－－－－－－－－－－－－－－－－</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quiblo::VersionWin</name>
    <message>
        <source>クイブロ - バージョン情報</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>開発元サイト:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>質問</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サイトにアクセスしますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>簡単画面キャプチャー&amp;アップロードソフト 「クイブロ」</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>クイブロをご使用いただきありがとうございます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>感想・不具合・改善提案等ありましたら、下記URLより掲示板へお願いします。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
