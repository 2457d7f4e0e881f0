#include "pictures.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace bench {
namespace {

// Small fixed generator: the same pictures on every machine and library version.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint32_t next() {
        state_ += 0x9e3779b97f4a7c15ull;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }

private:
    uint64_t state_;
};

struct Rgb {
    int r, g, b;
};

Rgb mix(Rgb a, Rgb b, int coverage /* 0..255 */) {
    auto m = [coverage](int x, int y) { return x + (y - x) * coverage / 255; };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

class Canvas {
public:
    explicit Canvas(Picture& p) : p_(p) {}

    Rgb get(int x, int y) const {
        const uint8_t* px = at(x, y);
        return {px[2], px[1], px[0]};
    }
    void set(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= p_.width || y >= p_.height) return;
        uint8_t* px = at(x, y);
        px[0] = uint8_t(std::clamp(c.b, 0, 255));
        px[1] = uint8_t(std::clamp(c.g, 0, 255));
        px[2] = uint8_t(std::clamp(c.r, 0, 255));
        px[3] = 0xff;
    }
    void blend(int x, int y, Rgb c, int coverage) {
        if (x < 0 || y < 0 || x >= p_.width || y >= p_.height) return;
        set(x, y, mix(get(x, y), c, coverage));
    }
    void fill(int x0, int y0, int w, int h, Rgb c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) set(x, y, c);
    }
    void verticalGradient(int x0, int y0, int w, int h, Rgb top, Rgb bottom) {
        for (int y = 0; y < h; ++y)
            fill(x0, y0 + y, w, 1, mix(top, bottom, y * 255 / std::max(1, h - 1)));
    }
    void horizontalGradient(int x0, int y0, int w, int h, Rgb left, Rgb right) {
        for (int x = 0; x < w; ++x)
            fill(x0 + x, y0, 1, h, mix(left, right, x * 255 / std::max(1, w - 1)));
    }
    void frame(int x0, int y0, int w, int h, Rgb c) {
        fill(x0, y0, w, 1, c);
        fill(x0, y0 + h - 1, w, 1, c);
        fill(x0, y0, 1, h, c);
        fill(x0 + w - 1, y0, 1, h, c);
    }
    int width() const { return p_.width; }
    int height() const { return p_.height; }

private:
    uint8_t* at(int x, int y) const {
        return p_.bgrx.data() + size_t(y) * p_.stride() + size_t(x) * 4;
    }
    Picture& p_;
};

// A made-up font: each glyph is a few strokes on a small grid, drawn with soft edges so that
// text brings in in-between colours the way anti-aliased screen text does.
class GlyphSet {
public:
    static constexpr int kCount = 94;

    GlyphSet(int cellW, int cellH, uint64_t seed, bool softEdges)
        : w_(cellW), h_(cellH), coverage_(size_t(kCount) * cellW * cellH, 0) {
        Random rnd(seed);
        for (int g = 0; g < kCount; ++g) drawGlyph(g, rnd);
        if (softEdges) soften();
    }

    int width() const { return w_; }
    int height() const { return h_; }

    void draw(Canvas& c, int glyph, int x0, int y0, Rgb ink) const {
        const uint8_t* cov = &coverage_[size_t(glyph) * w_ * h_];
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x)
                if (int a = cov[y * w_ + x]) c.blend(x0 + x, y0 + y, ink, a);
    }

private:
    void plot(int g, int x, int y) {
        if (x >= 1 && y >= 2 && x < w_ - 1 && y < h_ - 2)
            coverage_[(size_t(g) * h_ + y) * w_ + x] = 255;
    }
    void drawGlyph(int g, Random& rnd) {
        const int strokes = 2 + rnd.below(3);
        for (int s = 0; s < strokes; ++s) {
            int x0 = 1 + rnd.below(w_ - 2), y0 = 2 + rnd.below(h_ - 4);
            int x1 = 1 + rnd.below(w_ - 2), y1 = 2 + rnd.below(h_ - 4);
            if (rnd.below(3) == 0)
                x1 = x0;  // many strokes are straight, as in real letters
            else if (rnd.below(2) == 0)
                y1 = y0;
            const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1;
            for (int i = 0; i < steps; ++i)
                plot(g, x0 + (x1 - x0) * i / std::max(1, steps - 1),
                     y0 + (y1 - y0) * i / std::max(1, steps - 1));
        }
    }
    void soften() {
        std::vector<uint8_t> out = coverage_;
        for (int g = 0; g < kCount; ++g)
            for (int y = 0; y < h_; ++y)
                for (int x = 0; x < w_; ++x) {
                    auto at = [&](int xx, int yy) -> int {
                        if (xx < 0 || yy < 0 || xx >= w_ || yy >= h_) return 0;
                        return coverage_[(size_t(g) * h_ + yy) * w_ + xx];
                    };
                    if (at(x, y)) continue;
                    const int side = at(x - 1, y) + at(x + 1, y) + at(x, y - 1) + at(x, y + 1);
                    out[(size_t(g) * h_ + y) * w_ + x] = uint8_t(std::min(160, side * 3 / 10));
                }
        coverage_ = std::move(out);
    }

    int w_, h_;
    std::vector<uint8_t> coverage_;
};

// Writes words of random glyphs until the line is full; returns nothing, keeps it simple.
void textLine(Canvas& c, const GlyphSet& font, Random& rnd, int x0, int y0, int maxWidth, Rgb ink) {
    int x = x0;
    while (x + font.width() <= x0 + maxWidth) {
        const int word = 2 + rnd.below(8);
        for (int i = 0; i < word && x + font.width() <= x0 + maxWidth; ++i, x += font.width())
            font.draw(c, rnd.below(GlyphSet::kCount), x, y0, ink);
        x += font.width();
        if (rnd.below(12) == 0) break;  // ragged right margin
    }
}

Picture blank(const std::string& name, int width, int height) {
    Picture p;
    p.name = name;
    p.width = width;
    p.height = height;
    p.bgrx.assign(size_t(width) * height * 4, 0xff);
    return p;
}

void button(Canvas& c, const GlyphSet& font, Random& rnd, int x, int y, int w, int h) {
    c.verticalGradient(x, y, w, h, {250, 250, 250}, {222, 222, 226});
    c.frame(x, y, w, h, {160, 160, 170});
    textLine(c, font, rnd, x + 10, y + (h - font.height()) / 2, w - 20, {20, 20, 20});
}

void icon(Canvas& c, Random& rnd, int x, int y, int size) {
    const Rgb base{rnd.below(200) + 30, rnd.below(200) + 30, rnd.below(200) + 30};
    c.verticalGradient(x, y, size, size, base, mix(base, {255, 255, 255}, 120));
    c.frame(x, y, size, size, mix(base, {0, 0, 0}, 100));
    c.fill(x + size / 4, y + size / 4, size / 2, size / 2, {255, 255, 255});
}

void uiWindow(Canvas& c, const GlyphSet& font, Random& rnd, int x, int y, int w, int h) {
    c.fill(x, y, w, h, {246, 246, 246});
    c.frame(x - 1, y - 1, w + 2, h + 2, {120, 120, 130});
    c.verticalGradient(x, y, w, 30, {70, 110, 180}, {40, 80, 150});  // title bar
    textLine(c, font, rnd, x + 12, y + 9, w / 3, {255, 255, 255});
    c.fill(x, y + 30, w, 34, {232, 232, 236});  // tool bar
    for (int i = 0; i < 12 && 8 + i * 30 < w - 30; ++i) icon(c, rnd, x + 8 + i * 30, y + 35, 24);
    const int side = std::min(260, w / 4);
    c.fill(x, y + 64, side, h - 64, {236, 238, 242});  // side panel with a list
    for (int row = 0; y + 76 + row * 22 < y + h - 22; ++row) {
        if (row == 3) c.fill(x, y + 72 + row * 22, side, 22, {200, 215, 240});
        textLine(c, font, rnd, x + 12, y + 76 + row * 22, side - 24, {40, 40, 40});
    }
    c.fill(x + side, y + 64, 1, h - 64, {200, 200, 205});
    const int tx = x + side + 20, tw = w - side - 40;
    c.horizontalGradient(tx, y + 76, tw, 40, {255, 245, 220}, {220, 235, 255});  // banner
    textLine(c, font, rnd, tx + 16, y + 90, tw / 2, {60, 50, 30});
    int ty = y + 132;
    while (ty < y + h - 60) {
        const int paragraph = 2 + rnd.below(6);
        for (int i = 0; i < paragraph && ty < y + h - 60; ++i, ty += font.height() + 4)
            textLine(c, font, rnd, tx, ty, tw,
                     rnd.below(10) == 0 ? Rgb{20, 60, 200} : Rgb{30, 30, 30});
        ty += 12;
    }
    for (int i = 0; i < 3; ++i) button(c, font, rnd, x + w - 3 * 110 + i * 105, y + h - 44, 95, 28);
}

// Smooth value noise in 0..1 on a grid of the given cell size.
class ValueNoise {
public:
    ValueNoise(int width, int height, int cell, Random& rnd)
        : cell_(cell), cols_(width / cell + 2), values_(size_t(cols_) * (height / cell + 2)) {
        for (float& v : values_) v = float(rnd.next() % 10000) / 10000.0f;
    }
    float at(int x, int y) const {
        const int cx = x / cell_, cy = y / cell_;
        const float fx = smooth(float(x % cell_) / cell_), fy = smooth(float(y % cell_) / cell_);
        const float top = lerp(value(cx, cy), value(cx + 1, cy), fx);
        const float bottom = lerp(value(cx, cy + 1), value(cx + 1, cy + 1), fx);
        return lerp(top, bottom, fy);
    }

private:
    static float smooth(float t) { return t * t * (3 - 2 * t); }
    static float lerp(float a, float b, float t) { return a + (b - a) * t; }
    float value(int cx, int cy) const { return values_[size_t(cy) * cols_ + cx]; }

    int cell_, cols_;
    std::vector<float> values_;
};

}  // namespace

Picture makeUiPicture(int width, int height) {
    Picture p = blank("ui", width, height);
    Canvas c(p);
    Random rnd(1);
    const GlyphSet font(7, 13, 11, true);
    c.verticalGradient(0, 0, width, height, {58, 110, 165}, {30, 60, 100});  // desktop
    uiWindow(c, font, rnd, 60, 40, width * 2 / 3, height * 3 / 4);
    uiWindow(c, font, rnd, width / 2, height / 3, width / 2 - 40, height / 2);
    c.fill(0, height - 36, width, 36, {32, 34, 40});  // task bar
    for (int i = 0; i < 10; ++i) icon(c, rnd, 8 + i * 40, height - 30, 24);
    textLine(c, font, rnd, width - 120, height - 24, 100, {230, 230, 230});
    return p;
}

Picture makeTerminalPicture(int width, int height) {
    Picture p = blank("terminal", width, height);
    Canvas c(p);
    Random rnd(2);
    const GlyphSet font(9, 18, 22, true);
    const Rgb background{24, 24, 28};
    const std::array<Rgb, 5> inks = {Rgb{204, 204, 204}, Rgb{98, 200, 98}, Rgb{100, 150, 240},
                                     Rgb{230, 200, 90}, Rgb{230, 90, 80}};
    c.fill(0, 0, width, height, background);
    c.fill(0, 0, width, 28, {50, 50, 56});  // window title
    textLine(c, font, rnd, 10, 5, 300, inks[0]);
    for (int y = 32; y + font.height() <= height; y += font.height()) {
        if (rnd.below(9) == 0) continue;  // blank line
        int x = 4;
        const int end = 4 + font.width() * (10 + rnd.below(190));
        while (x < std::min(end, width - font.width())) {
            const Rgb ink = inks[rnd.below(8) < 5 ? 0 : rnd.below(int(inks.size()))];
            const int run = 1 + rnd.below(14);
            for (int i = 0; i < run && x < width - font.width(); ++i, x += font.width())
                font.draw(c, rnd.below(GlyphSet::kCount), x, y, ink);
            x += font.width();
        }
    }
    return p;
}

Picture makePhotoPicture(int width, int height) {
    Picture p = blank("photo", width, height);
    Canvas c(p);
    Random rnd(3);
    const ValueNoise coarse(width, height, 240, rnd), medium(width, height, 60, rnd),
        fine(width, height, 12, rnd), tint(width, height, 400, rnd);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float light =
                0.55f * coarse.at(x, y) + 0.3f * medium.at(x, y) + 0.15f * fine.at(x, y);
            const float t = tint.at(x, y);
            const float sky = float(y) / height;
            const int grain = rnd.below(7) - 3;  // sensor noise
            c.set(x, y,
                  {int(255 * light * (0.6f + 0.5f * t)) + grain,
                   int(255 * light * (0.7f + 0.2f * sky)) + grain,
                   int(255 * light * (1.0f - 0.5f * t)) + grain});
        }
    return p;
}

}  // namespace bench
