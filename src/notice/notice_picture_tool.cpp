// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the start-up notice picture and writes it as an uncompressed 24-bit
// Windows bitmap: 685 x 361 pixels, rows bottom-up, each padded to a multiple
// of four bytes (742,270 bytes in all). Run at build time; the output is the
// same on every machine, since nothing here depends on fonts or libraries.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <vector>

namespace {

constexpr int kWidth = 685;
constexpr int kHeight = 361;
constexpr double kPi = 3.14159265358979323846;

struct Colour {
    double r, g, b;
};

Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour rgb(int r, int g, int b) {
    return {r / 255.0, g / 255.0, b / 255.0};
}

double clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

double smooth(double edge0, double edge1, double x) {
    const double t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

struct Point {
    double x, y;
};

double segmentDistance(Point p, Point a, Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    const double t = lengthSquared > 0 ? clamp01(((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared) : 0;
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Capital letters as polylines in a box one unit high (y down) and `advance`
// units wide.
using Polyline = std::vector<Point>;
struct Glyph {
    double advance;
    std::vector<Polyline> strokes;
};

Polyline arc(double cx, double cy, double rx, double ry, double fromDegrees, double toDegrees) {
    Polyline points;
    constexpr int kSteps = 24;
    for (int i = 0; i <= kSteps; ++i) {
        const double a = (fromDegrees + (toDegrees - fromDegrees) * i / kSteps) * kPi / 180;
        points.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return points;
}

Polyline joined(Polyline head, const Polyline& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Glyph glyph(char c) {
    switch (c) {
    case 'A':
        return {0.7, {{{0, 1}, {0.35, 0}, {0.7, 1}}, {{0.13, 0.62}, {0.57, 0.62}}}};
    case 'D':
        return {0.66,
                {joined(joined({{0, 1}, {0, 0}, {0.2, 0}}, arc(0.2, 0.5, 0.46, 0.5, -90, 90)), {{0, 1}})}};
    case 'E':
        return {0.58, {{{0.58, 0}, {0, 0}, {0, 1}, {0.58, 1}}, {{0, 0.5}, {0.48, 0.5}}}};
    case 'I':
        return {0, {{{0, 0}, {0, 1}}}};
    case 'L':
        return {0.52, {{{0, 0}, {0, 1}, {0.52, 1}}}};
    case 'M':
        return {0.8, {{{0, 1}, {0, 0}, {0.4, 0.68}, {0.8, 0}, {0.8, 1}}}};
    case 'O':
        return {0.92, {arc(0.46, 0.5, 0.46, 0.5, 0, 360)}};
    case 'P':
        return {
            0.6,
            {joined(joined({{0, 1}, {0, 0}, {0.3, 0}}, arc(0.3, 0.27, 0.3, 0.27, -90, 90)), {{0, 0.54}})}};
    case 'R':
        return {0.62,
                {joined(joined({{0, 1}, {0, 0}, {0.3, 0}}, arc(0.3, 0.27, 0.3, 0.27, -90, 90)), {{0, 0.54}}),
                 {{0.3, 0.54}, {0.62, 1}}}};
    case 'T':
        return {0.64, {{{0, 0}, {0.64, 0}}, {{0.32, 0}, {0.32, 1}}}};
    case 'V':
        return {0.68, {{{0, 0}, {0.34, 1}, {0.68, 0}}}};
    case 'Y':
        return {0.64, {{{0, 0}, {0.32, 0.5}, {0.64, 0}}, {{0.32, 0.5}, {0.32, 1}}}};
    default: // a blank
        return {0.3, {}};
    }
}

// Text laid out as segments in pixels.
struct Text {
    std::vector<std::array<Point, 2>> segments;
    double left = 0, top = 0, right = 0, bottom = 0;

    double distance(Point p) const {
        double best = 1e9;
        for (const auto& s : segments)
            best = std::min(best, segmentDistance(p, s[0], s[1]));
        return best;
    }
};

Text layOut(std::string_view text, double left, double top, double capHeight, double spacing) {
    Text out;
    out.left = left;
    out.top = top;
    out.bottom = top + capHeight;
    double x = left;
    for (const char c : text) {
        const Glyph g = glyph(c);
        for (const Polyline& stroke : g.strokes)
            for (std::size_t i = 1; i < stroke.size(); ++i)
                out.segments.push_back(
                    {Point{x + stroke[i - 1].x * capHeight, top + stroke[i - 1].y * capHeight},
                     Point{x + stroke[i].x * capHeight, top + stroke[i].y * capHeight}});
        x += (g.advance + spacing) * capHeight;
    }
    out.right = x - spacing * capHeight;
    return out;
}

// Coverage of a stroke of half width `half` at distance `d`, anti-aliased
// over one pixel.
double strokeCoverage(double d, double half) {
    return clamp01(half + 0.5 - d);
}

double triangleCoverage(Point p, const std::array<Point, 3>& t) {
    double inside = 1e9;
    for (int i = 0; i < 3; ++i) {
        const Point a = t[i], b = t[(i + 1) % 3];
        const double nx = b.y - a.y, ny = a.x - b.x; // outward for clockwise-on-screen order
        const double length = std::hypot(nx, ny);
        inside = std::min(inside, -((p.x - a.x) * nx + (p.y - a.y) * ny) / length);
    }
    return clamp01(inside + 0.5);
}

double roundedBoxCoverage(Point p, double left, double top, double right, double bottom, double radius) {
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double hx = (right - left) / 2 - radius, hy = (bottom - top) / 2 - radius;
    const double qx = std::abs(p.x - cx) - hx, qy = std::abs(p.y - cy) - hy;
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0);
    return clamp01(radius + 0.5 - outside);
}

// A fixed pseudo-random sequence, so the picture never changes.
struct Lcg {
    std::uint32_t state = 20260510u;
    double next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0;
    }
};

struct Star {
    Point at;
    double radius, brightness;
};

class Picture {
public:
    Picture() {
        Lcg random;
        for (int i = 0; i < 70; ++i) {
            const Point at{40 + random.next() * 630, 12 + random.next() * 290};
            stars_.push_back({at, 0.6 + random.next() * 1.3, 0.25 + random.next() * 0.6});
        }
    }

    Colour at(Point p) const {
        Colour c = background(p);
        c = emblem(p, c);
        c = title(p, c);
        c = equaliser(p, c);
        c = progress(p, c);
        return c;
    }

private:
    Colour background(Point p) const {
        const double t = clamp01((p.x / kWidth) * 0.6 + (p.y / kHeight) * 0.4);
        Colour c = mix(rgb(10, 18, 46), rgb(44, 16, 78), t);
        // A teal glow behind the emblem and a warm one under the title.
        const double glow =
            std::exp(-std::pow(std::hypot(p.x - emblemCentre_.x, p.y - emblemCentre_.y) / 150, 2));
        c = mix(c, rgb(20, 120, 140), 0.45 * glow);
        const double warm = std::exp(-std::pow(std::hypot((p.x - 470) / 260, (p.y - 150) / 90), 2));
        c = mix(c, rgb(90, 40, 120), 0.35 * warm);
        for (const Star& s : stars_) {
            const double d = std::hypot(p.x - s.at.x, p.y - s.at.y);
            if (d < 4)
                c = mix(c, rgb(220, 230, 255), s.brightness * clamp01(s.radius + 0.5 - d));
        }
        // Darker corners.
        const double vx = p.x / kWidth - 0.5, vy = p.y / kHeight - 0.5;
        return mix(c, rgb(0, 0, 0), 0.55 * smooth(0.25, 0.75, std::hypot(vx, vy)));
    }

    Colour emblem(Point p, Colour c) const {
        const double d = std::hypot(p.x - emblemCentre_.x, p.y - emblemCentre_.y);
        constexpr double kRadius = 92;
        // Soft halo, then a disc shading from amber to rose, a light ring and
        // the play triangle.
        c = mix(c, rgb(255, 140, 60), 0.35 * clamp01(1 - (d - kRadius) / 18) * (d > kRadius ? 1 : 0));
        const double inDisc = clamp01(kRadius + 0.5 - d);
        if (inDisc > 0) {
            const double t = clamp01((p.y - (emblemCentre_.y - kRadius)) / (2 * kRadius));
            Colour disc = mix(rgb(255, 168, 40), rgb(226, 40, 120), t);
            const double highlight = smooth(
                kRadius, 0, std::hypot(p.x - (emblemCentre_.x - 30), (p.y - (emblemCentre_.y - 45)) * 1.4));
            disc = mix(disc, rgb(255, 236, 200), 0.35 * highlight);
            c = mix(c, disc, inDisc);
        }
        c = mix(c, rgb(255, 245, 235), 0.9 * strokeCoverage(std::abs(d - 78), 2.2));
        const std::array<Point, 3> play{Point{emblemCentre_.x - 26, emblemCentre_.y - 42},
                                        Point{emblemCentre_.x + 46, emblemCentre_.y},
                                        Point{emblemCentre_.x - 26, emblemCentre_.y + 42}};
        const std::array<Point, 3> shadow{Point{play[0].x + 3, play[0].y + 4},
                                          Point{play[1].x + 3, play[1].y + 4},
                                          Point{play[2].x + 3, play[2].y + 4}};
        c = mix(c, rgb(110, 20, 60), 0.45 * triangleCoverage(p, shadow));
        return mix(c, rgb(255, 255, 255), triangleCoverage(p, play));
    }

    Colour title(Point p, Colour c) const {
        if (p.x > title_.left - 20 && p.x < title_.right + 20 && p.y > title_.top - 20 &&
            p.y < title_.bottom + 20) {
            const double shadow = title_.distance({p.x - 3, p.y - 4});
            c = mix(c, rgb(0, 0, 10), 0.5 * clamp01((kTitleHalf + 4 - shadow) / 6));
            const double t = clamp01((p.y - title_.top) / (title_.bottom - title_.top));
            c = mix(c, mix(rgb(255, 255, 255), rgb(200, 190, 255), t),
                    strokeCoverage(title_.distance(p), kTitleHalf));
        }
        if (p.x > tagline_.left - 4 && p.x < tagline_.right + 4 && p.y > tagline_.top - 4 &&
            p.y < tagline_.bottom + 4)
            c = mix(c, rgb(120, 230, 225), strokeCoverage(tagline_.distance(p), 1.5));
        return c;
    }

    Colour equaliser(Point p, Colour c) const {
        constexpr double kLeft = 282, kBottom = 292, kBar = 9, kGap = 4, kMaxHeight = 50;
        constexpr int kBars = 28;
        if (p.x < kLeft - 1 || p.x > kLeft + kBars * (kBar + kGap) || p.y > kBottom + 1)
            return c;
        const int i = static_cast<int>((p.x - kLeft) / (kBar + kGap));
        const double left = kLeft + i * (kBar + kGap);
        const double level = 0.2 + 0.8 * std::abs(std::sin(i * 0.55 + 0.4) * std::cos(i * 0.23)) *
                                       (1 - 0.4 * std::abs(i - 13.5) / 13.5);
        const double top = kBottom - kMaxHeight * level;
        const double cover = roundedBoxCoverage(p, left, top, left + kBar, kBottom, 2.5);
        const Colour bar = mix(rgb(40, 220, 200), rgb(170, 110, 255), clamp01((kBottom - p.y) / kMaxHeight));
        return mix(c, bar, 0.9 * cover);
    }

    Colour progress(Point p, Colour c) const {
        constexpr double kY = 322, kLeft = 40, kRight = 645, kDone = 0.38;
        const double knobX = kLeft + (kRight - kLeft) * kDone;
        const double track = strokeCoverage(segmentDistance(p, {kLeft, kY}, {kRight, kY}), 2);
        c = mix(c, rgb(90, 90, 130), 0.8 * track);
        c = mix(c, rgb(255, 150, 60), strokeCoverage(segmentDistance(p, {kLeft, kY}, {knobX, kY}), 2));
        return mix(c, rgb(255, 240, 225), clamp01(7.5 - std::hypot(p.x - knobX, p.y - kY)));
    }

    static constexpr double kTitleHalf = 6.5;
    Point emblemCentre_{150, 170};
    Text title_ = layOut("TOVIMO", 280, 100, 70, 0.3);
    Text tagline_ = layOut("MEDIA PLAYER", 283, 196, 17, 0.5);
    std::vector<Star> stars_;
};

void putU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint8_t channel(double v) {
    return static_cast<std::uint8_t>(std::lround(clamp01(v) * 255));
}

std::vector<std::uint8_t> bitmapFile(const Picture& picture) {
    constexpr std::uint32_t kHeaders = 14 + 40;
    constexpr std::uint32_t kRowBytes = (kWidth * 3 + 3) / 4 * 4;
    constexpr std::uint32_t kPixelBytes = kRowBytes * kHeight;
    constexpr std::uint32_t kPixelsPerMetre = 3780; // 96 per inch

    std::vector<std::uint8_t> out;
    out.reserve(kHeaders + kPixelBytes);
    out.push_back('B');
    out.push_back('M');
    putU32(out, kHeaders + kPixelBytes);
    putU32(out, 0);
    putU32(out, kHeaders);
    putU32(out, 40);
    putU32(out, kWidth);
    putU32(out, kHeight); // positive: bottom row first
    putU16(out, 1);
    putU16(out, 24);
    putU32(out, 0); // uncompressed
    putU32(out, kPixelBytes);
    putU32(out, kPixelsPerMetre);
    putU32(out, kPixelsPerMetre);
    putU32(out, 0);
    putU32(out, 0);
    for (int y = kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kWidth; ++x) {
            // Pixel centres, four samples each.
            Colour sum{0, 0, 0};
            for (const double sx : {0.25, 0.75})
                for (const double sy : {0.25, 0.75}) {
                    const Colour c = picture.at({x + sx, y + sy});
                    sum = {sum.r + c.r / 4, sum.g + c.g / 4, sum.b + c.b / 4};
                }
            out.push_back(channel(sum.b));
            out.push_back(channel(sum.g));
            out.push_back(channel(sum.r));
        }
        out.resize(out.size() + (kRowBytes - kWidth * 3), 0);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.bmp\n", argv[0]);
        return 2;
    }
    const std::vector<std::uint8_t> bytes = bitmapFile(Picture());
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
