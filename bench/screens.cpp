#include "screens.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QSyntaxHighlighter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

namespace bench {
namespace {

using Rng = std::mt19937;  // fixed algorithm: the same pictures on every machine

// ---- photographic content ----------------------------------------------------------------------

// Smooth noise in 0..1: a random grid of the given cell size, interpolated.
class Noise {
public:
    Noise(int width, int height, int cell, Rng& rng)
        : cell_(cell), cols_(width / cell + 2), values_(size_t(cols_) * (height / cell + 2)) {
        std::uniform_real_distribution<float> d(0, 1);
        for (float& v : values_) v = d(rng);
    }
    float at(int x, int y) const {
        const int cx = x / cell_, cy = y / cell_;
        const float fx = smooth(float(x % cell_) / cell_), fy = smooth(float(y % cell_) / cell_);
        const float top = value(cx, cy) + (value(cx + 1, cy) - value(cx, cy)) * fx;
        const float bottom = value(cx, cy + 1) + (value(cx + 1, cy + 1) - value(cx, cy + 1)) * fx;
        return top + (bottom - top) * fy;
    }

private:
    static float smooth(float t) { return t * t * (3 - 2 * t); }
    float value(int cx, int cy) const { return values_[size_t(cy) * cols_ + cx]; }
    int cell_, cols_;
    std::vector<float> values_;
};

// Several octaves of noise, from features a fifth of the picture wide down to two pixels.
class Fractal {
public:
    Fractal(int width, int height, Rng& rng) {
        for (int cell = std::max(width, height) / 5; cell >= 4; cell /= 2)
            octaves_.emplace_back(width, height, cell, rng);
    }
    float at(int x, int y, float roughness) const {
        float sum = 0, weight = 1, total = 0;
        for (const Noise& n : octaves_) {
            sum += weight * n.at(x, y);
            total += weight;
            weight *= roughness;
        }
        return sum / total;
    }

private:
    std::vector<Noise> octaves_;
};

uint8_t clampByte(float v) {
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

// A landscape as a camera takes it: sky with clouds, a mountain ridge, textured ground, lens
// vignetting and sensor grain. Only pictures shown as photographs (in web pages) use it.
QImage landscape(int width, int height, uint32_t seed) {
    Rng rng(seed);
    const Fractal clouds(width, height, rng), ground(width, height, rng), ridge(width, 4, rng);
    std::normal_distribution<float> grain(0, 1.2f);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const float v = float(y) / height;
        for (int x = 0; x < width; ++x) {
            const float u = float(x) / width;
            const float horizon = 0.55f + 0.25f * (ridge.at(x, 0, 0.55f) - 0.5f) * 2;
            float r, g, b;
            if (v < horizon) {
                const float c = std::clamp((clouds.at(x, y, 0.6f) - 0.45f) * 2.5f, 0.f, 1.f);
                r = 90 + 110 * v + 150 * c;
                g = 140 + 80 * v + 110 * c;
                b = 210 + 30 * v + 40 * c;
            } else {
                const float t = ground.at(x, y, 0.75f);
                const float depth = (v - horizon) / (1 - horizon);
                r = 40 + 120 * t + 40 * depth;
                g = 70 + 110 * t - 10 * depth;
                b = 30 + 60 * t;
            }
            const float dx = u - 0.5f, dy = v - 0.5f;
            const float vignette = 1 - 0.5f * (dx * dx + dy * dy);
            line[x] =
                qRgb(clampByte(r * vignette + grain(rng)), clampByte(g * vignette + grain(rng)),
                     clampByte(b * vignette + grain(rng)));
        }
    }
    return image;
}

// A Debian desktop theme's wallpaper as desktop-base ships it rendered (1920x1080), scaled to the
// screen as a desktop does. The bench needs desktop-base installed.
QImage debianWallpaper(const char* theme, int width, int height) {
    const QString path = QStringLiteral("/usr/share/desktop-base/%1-theme/grub/grub-16x9.png")
                             .arg(QString::fromLatin1(theme));
    const QImage image(path);
    if (image.isNull()) {
        std::fprintf(stderr, "png_bench: cannot read %s (install desktop-base)\n",
                     qPrintable(path));
        std::exit(2);
    }
    return image.convertToFormat(QImage::Format_RGB32)
        .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A photograph for a web page: a landscape at its own size.
QImage photo(int width, int height, uint32_t seed) {
    return landscape(width, height, seed);
}

// ---- text --------------------------------------------------------------------------------------

const char* const kWords[] = {
    "the",      "screen",  "picture", "upload",   "server",  "window",   "of",       "and",
    "to",       "in",      "is",      "with",     "a",       "for",      "release",  "version",
    "network",  "desktop", "system",  "update",   "people",  "city",     "weather",  "today",
    "report",   "market",  "open",    "source",   "project", "library",  "support",  "news",
    "new",      "first",   "after",   "before",   "morning", "evening",  "mountain", "river",
    "travel",   "photo",   "camera",  "settings", "account", "download", "program",  "results",
    "compared", "faster",  "smaller", "will",     "have",    "been",     "that",     "this",
    "from",     "their",   "which",   "about",    "more",    "than",     "over",     "under"};

const char* const kJapanese[] = {"画像をアップロードすると",
                                 "閲覧用のURLが表示されます",
                                 "スクリーンショットを撮影して",
                                 "本日の天気は晴れのち曇りです",
                                 "新しいバージョンを公開しました",
                                 "詳しくはこちらをご覧ください",
                                 "お問い合わせはサポート掲示板まで",
                                 "東京都内の気温は二十五度まで上がる見込みです",
                                 "週末は各地で桜が見ごろを迎えます",
                                 "会員登録は無料です",
                                 "設定を変更した場合は",
                                 "再起動してください",
                                 "駅前の商店街では",
                                 "夏祭りの準備が進んでいます",
                                 "写真を撮るときは",
                                 "明るさに注意しましょう",
                                 "最新の情報をお届けします",
                                 "利用規約に同意のうえ",
                                 "ファイルを保存しました",
                                 "山の上から見た景色は",
                                 "とても美しいものでした"};

QString latinSentence(Rng& rng) {
    std::uniform_int_distribution<int> pick(0, std::size(kWords) - 1), length(6, 18);
    QString s;
    const int n = length(rng);
    for (int i = 0; i < n; ++i) {
        QString w = QString::fromLatin1(kWords[pick(rng)]);
        if (i == 0) w[0] = w[0].toUpper();
        s += w + (i + 1 == n ? QStringLiteral(". ") : QStringLiteral(" "));
    }
    return s;
}

QString japaneseSentence(Rng& rng) {
    std::uniform_int_distribution<int> pick(0, std::size(kJapanese) - 1), length(2, 4);
    QString s;
    const int n = length(rng);
    for (int i = 0; i < n; ++i)
        s += QString::fromUtf8(kJapanese[pick(rng)]) +
             (i + 1 == n ? QStringLiteral("。") : QStringLiteral("、"));
    return s;
}

QString paragraph(Rng& rng, bool japanese, int sentences) {
    QString s;
    for (int i = 0; i < sentences; ++i) s += japanese ? japaneseSentence(rng) : latinSentence(rng);
    return s;
}

// The project's own sources: real code for the editor.
QString sourceText() {
    QString text;
    for (const char* name :
         {"imgctl/png_filter.cpp", "upload/SendDataWin.cpp", "bench/png_bench.cpp"}) {
        QFile f(QStringLiteral(QUIBLO_SOURCE_DIR "/") + QString::fromLatin1(name));
        if (f.open(QIODevice::ReadOnly)) text += QString::fromUtf8(f.readAll());
    }
    return text;
}

QStringList sourceFiles() {
    QStringList names;
    QDirIterator it(QStringLiteral(QUIBLO_SOURCE_DIR),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(QStringLiteral(QUIBLO_SOURCE_DIR)).relativeFilePath(it.next());
    names.sort();
    return names;
}

// ---- widgets -----------------------------------------------------------------------------------

class CppHighlighter : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString& text) override {
        static const QRegularExpression keyword(
            QStringLiteral("\\b(const|int|void|return|if|for|auto|namespace|struct|class|static|"
                           "constexpr|size_t|uint8_t|bool|else|while|using|include|template)\\b"));
        static const QRegularExpression string(QStringLiteral("\"[^\"]*\""));
        static const QRegularExpression comment(QStringLiteral("//.*$"));
        apply(text, keyword, QColor(0, 0, 200), true);
        apply(text, string, QColor(163, 21, 21), false);
        apply(text, comment, QColor(0, 128, 0), false);
    }

private:
    void apply(const QString& text, const QRegularExpression& re, QColor colour, bool bold) {
        QTextCharFormat f;
        f.setForeground(colour);
        if (bold) f.setFontWeight(QFont::Bold);
        for (auto it = re.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            setFormat(m.capturedStart(), m.capturedLength(), f);
        }
    }
};

QFont monoFont(int points) {
    QFont f(QStringLiteral("DejaVu Sans Mono"), points);
    f.setStyleHint(QFont::Monospace);
    return f;
}

std::unique_ptr<QWidget> editor(int firstLine) {
    auto edit = std::make_unique<QPlainTextEdit>();
    edit->setFont(monoFont(10));
    const QStringList lines = sourceText().split(QLatin1Char('\n'));
    edit->setPlainText(
        lines.mid(firstLine % std::max<qsizetype>(1, lines.size() - 80)).join(QLatin1Char('\n')));
    new CppHighlighter(edit->document());
    return edit;
}

std::unique_ptr<QWidget> terminal(Rng& rng) {
    auto view = std::make_unique<QTextBrowser>();
    view->setFont(monoFont(10));
    QPalette p = view->palette();
    p.setColor(QPalette::Base, QColor(30, 30, 36));
    p.setColor(QPalette::Text, QColor(204, 204, 204));
    view->setPalette(p);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QStringList files = sourceFiles();
    std::uniform_int_distribution<int> pick(0, files.size() - 1), size(200, 90000), kind(0, 9);
    QString html = QStringLiteral("<pre style='color:#cccccc'>");
    for (int i = 0; i < 90; ++i) {
        const QString file = files[pick(rng)].toHtmlEscaped();
        switch (kind(rng)) {
            case 0:
                html += QStringLiteral(
                    "<span style='color:#62c862'>user@debian</span>:<span "
                    "style='color:#6496f0'>~/quiblo</span>$ git status\n");
                break;
            case 1:
                html += QStringLiteral(
                            "<span style='color:#e65a50'>error:</span> %1:%2:%3: "
                            "expected ';' before '}' token\n")
                            .arg(file)
                            .arg(size(rng) % 400)
                            .arg(size(rng) % 80);
                break;
            case 2:
            case 3:
                html += QStringLiteral(
                            "-rw-r--r-- 1 user user %1 Dec  7 23:%2 "
                            "<span style='color:#6496f0'>%3</span>\n")
                            .arg(size(rng), 7)
                            .arg(size(rng) % 60, 2, 10, QLatin1Char('0'))
                            .arg(file);
                break;
            default:
                html += QStringLiteral("[%1/174] Building CXX object %2.o\n")
                            .arg(i + 20, 3)
                            .arg(QString(file).replace(QLatin1Char('/'),
                                                       QStringLiteral("/CMakeFiles/")));
        }
    }
    view->setHtml(html + QStringLiteral("</pre>"));
    view->moveCursor(QTextCursor::End);
    return view;
}

std::unique_ptr<QWidget> fileTree(Rng& rng) {
    auto tree = std::make_unique<QTreeWidget>();
    tree->setHeaderLabels({QStringLiteral("名前"), QStringLiteral("サイズ"), QStringLiteral("種類"),
                           QStringLiteral("更新日時")});
    tree->setAlternatingRowColors(true);
    const QIcon folder = tree->style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon file = tree->style()->standardIcon(QStyle::SP_FileIcon);
    std::uniform_int_distribution<int> size(100, 900000), day(1, 28);
    for (const QString& name : sourceFiles().mid(0, 60)) {
        auto* item = new QTreeWidgetItem(tree.get());
        const bool dir = name.count(QLatin1Char('/')) == 0;
        item->setIcon(0, dir ? folder : file);
        item->setText(0, name);
        item->setText(1, QStringLiteral("%1 KB").arg(size(rng) / 1024));
        item->setText(2, name.endsWith(QLatin1String(".h")) ? QStringLiteral("C ヘッダー")
                                                            : QStringLiteral("C++ ソース"));
        item->setText(3, QStringLiteral("2026/11/%1 14:%2")
                             .arg(day(rng), 2, 10, QLatin1Char('0'))
                             .arg(day(rng) + 20));
    }
    tree->header()->resizeSection(0, 300);
    return tree;
}

std::unique_ptr<QWidget> table(Rng& rng) {
    auto t = std::make_unique<QTableWidget>(40, 8);
    std::uniform_real_distribution<double> value(-500, 5000);
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 8; ++c) {
            auto* item = new QTableWidgetItem(QString::number(value(rng), 'f', c % 3));
            if (r % 7 == 3 && c == 2) item->setBackground(QColor(255, 240, 180));
            t->setItem(r, c, item);
        }
    return t;
}

std::unique_ptr<QWidget> settingsDialog() {
    auto tabs = std::make_unique<QTabWidget>();
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(QStringLiteral("撮影"));
    auto* form = new QFormLayout(group);
    auto* mode = new QComboBox;
    mode->addItem(QStringLiteral("全画面"));
    form->addRow(QStringLiteral("既定の撮影方法:"), mode);
    auto* delay = new QSpinBox;
    delay->setValue(3);
    form->addRow(QStringLiteral("待ち時間 (秒):"), delay);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setValue(60);
    form->addRow(QStringLiteral("画質:"), slider);
    form->addRow(QStringLiteral("保存先:"),
                 new QLineEdit(QStringLiteral("/home/user/Pictures/Screenshots")));
    layout->addWidget(group);
    auto* checks = new QGroupBox(QStringLiteral("動作"));
    auto* checkLayout = new QVBoxLayout(checks);
    for (const char* text :
         {"起動時に更新を確認する", "アップロード後にURLをコピーする",
          "Show notifications when an upload finishes", "作業ファイルを自動で削除する"}) {
        auto* box = new QCheckBox(QString::fromUtf8(text));
        box->setChecked(std::strlen(text) % 2 == 0);
        checkLayout->addWidget(box);
    }
    checkLayout->addWidget(new QRadioButton(QStringLiteral("Use the system proxy")));
    auto* progress = new QProgressBar;
    progress->setValue(42);
    checkLayout->addWidget(progress);
    layout->addWidget(checks);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(new QPushButton(QStringLiteral("OK")));
    buttons->addWidget(new QPushButton(QStringLiteral("キャンセル")));
    layout->addLayout(buttons);
    tabs->addTab(page, QStringLiteral("全般"));
    tabs->addTab(new QWidget, QStringLiteral("ネットワーク"));
    tabs->addTab(new QWidget, QStringLiteral("Advanced"));
    return tabs;
}

std::unique_ptr<QWidget> messageBox() {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Warning, QStringLiteral("クイブロ"),
        QStringLiteral("ファイルサイズが大きすぎるため転送できません。\nアップロードする領域を小さ"
                       "くしてください。"),
        QMessageBox::Ok | QMessageBox::Cancel);
    return box;
}

// A web page with pictures, in a browser-like frame (address bar over the page).
std::unique_ptr<QWidget> browser(Rng& rng, bool japanese, int pictures, int width) {
    auto frame = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(frame.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* bar = new QHBoxLayout;
    for (const char* t : {"←", "→", "⟳"}) bar->addWidget(new QPushButton(QString::fromUtf8(t)));
    bar->addWidget(
        new QLineEdit(japanese ? QStringLiteral("https://news.example.jp/article/2026/12/07")
                               : QStringLiteral("https://www.example.org/blog/travel-photos")));
    layout->addLayout(bar);
    auto* page = new QTextBrowser;
    layout->addWidget(page);
    QTextDocument* doc = page->document();
    doc->setDefaultFont(
        QFont(japanese ? QStringLiteral("IPAPGothic") : QStringLiteral("DejaVu Sans"), 11));
    std::uniform_int_distribution<int> seed(1, 1 << 30);
    QString html =
        QStringLiteral(
            "<table width='100%' bgcolor='#1d3b6e' cellpadding='10'><tr><td><font color='white' "
            "size='5'><b>%1</b></font></td><td align='right'><font "
            "color='#cfe0ff'>%2</font></td></tr></table>")
            .arg(japanese ? QStringLiteral("毎日ニュース") : QStringLiteral("Open Travel Journal"),
                 japanese ? QStringLiteral("ホーム | 国内 | 国際 | 経済 | 写真")
                          : QStringLiteral("Home | Places | Gear | About"));
    html +=
        QStringLiteral("<h1>%1</h1>").arg(japanese ? japaneseSentence(rng) : latinSentence(rng));
    for (int i = 0; i < pictures; ++i) {
        const int w = width / (i == 0 ? 2 : 4), h = w * 2 / 3;
        const QString name = QStringLiteral("photo%1").arg(i);
        doc->addResource(QTextDocument::ImageResource, QUrl(name),
                         photo(w, h, uint32_t(seed(rng))));
        html += QStringLiteral("<p><img src='%1' align='%2'>%3</p>")
                    .arg(name, i % 2 ? QStringLiteral("right") : QStringLiteral("left"),
                         paragraph(rng, japanese, 6).toHtmlEscaped());
        html += QStringLiteral("<p>%1 <a href='#'>%2</a></p>")
                    .arg(paragraph(rng, japanese, 4).toHtmlEscaped(),
                         japanese ? QStringLiteral("続きを読む") : QStringLiteral("Read more"));
    }
    html += QStringLiteral("<h2>%1</h2><p>%2</p>")
                .arg(japanese ? QStringLiteral("関連記事") : QStringLiteral("Related"),
                     paragraph(rng, japanese, 8).toHtmlEscaped());
    page->setHtml(html);
    return frame;
}

// ---- the screen --------------------------------------------------------------------------------

// A screen being composed: a wallpaper, then windows with frames, shadows and title bars.
class Screen {
public:
    Screen(int width, int height, qreal scale, const QImage& wallpaper)
        : image_(int(width * scale), int(height * scale), QImage::Format_RGB32), painter_() {
        image_.setDevicePixelRatio(scale);
        painter_.begin(&image_);
        painter_.setRenderHint(QPainter::Antialiasing);
        painter_.setRenderHint(QPainter::TextAntialiasing);
        painter_.setRenderHint(QPainter::SmoothPixmapTransform);
        painter_.drawImage(QRectF(0, 0, width, height), wallpaper);
        width_ = width;
        height_ = height;
    }

    void window(const QRect& r, const QString& title, QWidget& content) {
        for (int i = 12; i > 0; i -= 2) {  // soft shadow
            painter_.setPen(Qt::NoPen);
            painter_.setBrush(QColor(0, 0, 0, 10));
            painter_.drawRoundedRect(r.adjusted(-i, -i + 6, i, i + 6), 8 + i, 8 + i);
        }
        const QRect bar(r.x(), r.y(), r.width(), 30);
        QLinearGradient g(bar.topLeft(), bar.bottomLeft());
        g.setColorAt(0, QColor(236, 236, 236));
        g.setColorAt(1, QColor(214, 214, 214));
        painter_.setBrush(g);
        painter_.drawRect(bar);
        painter_.setPen(QColor(40, 40, 40));
        painter_.setFont(QFont(QStringLiteral("DejaVu Sans"), 10, QFont::Bold));
        painter_.drawText(bar, Qt::AlignCenter, title);
        const QColor buttons[] = {QColor(237, 106, 94), QColor(245, 191, 79), QColor(98, 197, 84)};
        for (int i = 0; i < 3; ++i) {
            painter_.setPen(Qt::NoPen);
            painter_.setBrush(buttons[i]);
            painter_.drawEllipse(QPointF(bar.right() - 20 - 22 * i, bar.center().y()), 6.5, 6.5);
        }
        content.resize(r.width(), r.height() - 30);
        content.show();
        QApplication::processEvents();
        content.render(&painter_, QPoint(r.x(), r.y() + 30));
        content.hide();
    }

    void panel(const QStringList& items) {
        painter_.fillRect(QRect(0, 0, width_, 28), QColor(24, 24, 28));
        painter_.setPen(QColor(230, 230, 230));
        painter_.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
        int x = 12;
        for (const QString& item : items) {
            painter_.drawText(QRect(x, 0, 400, 28), Qt::AlignVCenter, item);
            x += QFontMetrics(painter_.font()).horizontalAdvance(item) + 24;
        }
        painter_.drawText(QRect(width_ - 200, 0, 188, 28), Qt::AlignVCenter | Qt::AlignRight,
                          QStringLiteral("12月7日 23:41"));
    }

    void desktopIcons(int count) {
        const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
        painter_.setFont(QFont(QStringLiteral("IPAPGothic"), 10));
        for (int i = 0; i < count; ++i) {
            const QRect cell(24, 48 + i * 96, 80, 90);
            painter_.drawPixmap(cell.x() + 16, cell.y(), icon.pixmap(48, 48));
            painter_.setPen(Qt::white);
            painter_.drawText(cell.adjusted(0, 52, 0, 0), Qt::AlignHCenter | Qt::TextWordWrap,
                              QStringLiteral("フォルダ %1").arg(i + 1));
        }
    }

    Picture finish(const std::string& name) {
        painter_.end();
        Picture p;
        p.name = name;
        p.width = image_.width();
        p.height = image_.height();
        p.bgrx.resize(size_t(p.width) * p.height * 4);
        for (int y = 0; y < p.height; ++y)
            std::memcpy(p.bgrx.data() + size_t(y) * p.stride(), image_.constScanLine(y),
                        size_t(p.stride()));
        return p;
    }

private:
    QImage image_;
    QPainter painter_;
    int width_ = 0, height_ = 0;
};

const QStringList kPanel = {QStringLiteral("アクティビティ"), QStringLiteral("Files"),
                            QStringLiteral("Terminal"), QStringLiteral("Firefox")};

Picture editorScreen() {
    Screen s(1920, 1080, 1, debianWallpaper("emerald", 1920, 1080));
    s.panel(kPanel);
    Rng rng(1);
    auto code = editor(0);
    s.window({80, 60, 1320, 900}, QStringLiteral("png_filter.cpp - エディタ"), *code);
    auto term = terminal(rng);
    s.window({1180, 520, 700, 500}, QStringLiteral("user@debian: ~/quiblo"), *term);
    return s.finish("editor");
}

Picture terminalScreen() {
    Screen s(1920, 1080, 1, debianWallpaper("softwaves", 1920, 1080));
    s.panel(kPanel);
    Rng rng(2);
    auto term = terminal(rng);
    s.window({40, 50, 1840, 990}, QStringLiteral("user@debian: ~/quiblo/build"), *term);
    return s.finish("term");
}

Picture dialogsScreen() {
    Screen s(1920, 1080, 1, debianWallpaper("homeworld", 1920, 1080));
    s.panel(kPanel);
    s.desktopIcons(5);
    Rng rng(3);
    auto tree = fileTree(rng);
    s.window({160, 80, 900, 640}, QStringLiteral("ファイル - quiblo"), *tree);
    auto settings = settingsDialog();
    s.window({900, 260, 620, 520}, QStringLiteral("設定"), *settings);
    auto box = messageBox();
    s.window({700, 600, 460, 170}, QStringLiteral("クイブロ"), *box);
    return s.finish("dialogs");
}

Picture webScreen(bool japanese, uint32_t seed) {
    Screen s(1920, 1080, 1, debianWallpaper(japanese ? "futureprototype" : "emerald", 1920, 1080));
    s.panel(kPanel);
    Rng rng(seed);
    auto page = browser(rng, japanese, 4, 1500);
    s.window({110, 50, 1600, 1010},
             japanese ? QStringLiteral("毎日ニュース - Firefox")
                      : QStringLiteral("Open Travel Journal - Firefox"),
             *page);
    return s.finish(japanese ? "web-ja" : "web");
}

Picture desktopScreen() {
    Screen s(1920, 1080, 1, debianWallpaper("joy", 1920, 1080));
    s.panel(kPanel);
    s.desktopIcons(6);
    Rng rng(6);
    auto t = table(rng);
    s.window({980, 120, 820, 420}, QStringLiteral("家計簿.ods - 表計算"), *t);
    auto box = messageBox();
    s.window({300, 700, 460, 170}, QStringLiteral("クイブロ"), *box);
    return s.finish("desktop");
}

// A 4K screen scaled by two, as most 4K desktops run.
Picture workScreen4k() {
    Screen s(1920, 1080, 2, debianWallpaper("emerald", 3840, 2160));
    s.panel(kPanel);
    Rng rng(7);
    auto code = editor(120);
    s.window({40, 50, 1000, 1000}, QStringLiteral("SendDataWin.cpp - エディタ"), *code);
    auto page = browser(rng, true, 3, 800);
    s.window({1000, 60, 880, 640}, QStringLiteral("毎日ニュース - Firefox"), *page);
    auto term = terminal(rng);
    s.window({1080, 640, 800, 420}, QStringLiteral("user@debian: ~"), *term);
    return s.finish("work-4k");
}

// A 4K screen at scale one: small text, a web page with photographs, the wallpaper around them.
Picture webScreen4k() {
    Screen s(3840, 2160, 1, debianWallpaper("softwaves", 3840, 2160));
    s.panel(kPanel);
    s.desktopIcons(8);
    Rng rng(8);
    auto page = browser(rng, false, 5, 1700);
    s.window({400, 120, 1800, 1500}, QStringLiteral("Open Travel Journal - Firefox"), *page);
    auto tree = fileTree(rng);
    s.window({2500, 900, 1000, 800}, QStringLiteral("ファイル"), *tree);
    return s.finish("web-4k");
}

}  // namespace

std::vector<Picture> makeScreenPictures() {
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    std::vector<Picture> out;
    out.push_back(editorScreen());
    out.push_back(terminalScreen());
    out.push_back(dialogsScreen());
    out.push_back(webScreen(false, 14));
    out.push_back(webScreen(true, 15));
    out.push_back(desktopScreen());
    out.push_back(workScreen4k());
    out.push_back(webScreen4k());
    return out;
}

}  // namespace bench
