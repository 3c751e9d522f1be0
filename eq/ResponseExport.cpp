#include "eq/ResponseExport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <utility>

#include "eq/ResponseChart.h"
#include "settings/AtomicFile.h"

namespace {
std::string Fixed(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string s = text;
  // A level that rounds to zero is written without a sign.
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

std::string Header(const ResponseCurve& curve, const std::string& name) {
  std::string text = std::string("# ") + kComputedNote;
  if (!name.empty()) text += " of " + name;
  text += "\n# " + ResponseSummary(curve) + "\n";
  return text;
}

// The length of the valid UTF-8 sequence at s[i], or 0.
size_t Utf8Length(const std::string& s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  size_t n;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) n = 2;
  else if (c >= 0xE0 && c <= 0xEF) n = 3;
  else if (c >= 0xF0 && c <= 0xF4) n = 4;
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  // No overlong forms, surrogates or code points beyond U+10FFFF.
  if (c == 0xE0 && byte(i + 1) < 0xA0) return 0;
  if (c == 0xED && byte(i + 1) > 0x9F) return 0;
  if (c == 0xF0 && byte(i + 1) < 0x90) return 0;
  if (c == 0xF4 && byte(i + 1) > 0x8F) return 0;
  return n;
}

// Text for an XML text node or attribute: markup characters escaped,
// control characters and bytes that are not UTF-8 as "?".
std::string Xml(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = Utf8Length(s, i);
    if (n == 0 || (c < 0x20 && c != '\t') || c == 0x7F) {
      out += '?';
      i += n == 0 ? 1 : n;
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out.append(s, i, n);
    }
    i += n;
  }
  return out;
}

std::string Num(double v) { return Fixed(v, 2); }

// The SVG picture's design: lengths in its own pixels.
constexpr double kFontSize = 12;
constexpr double kLeft = 44, kRight = 14, kTop = 26, kBottom = 22;
// Roughly how wide the sans-serif digits and letters of the labels run.
double TextWidth(const std::string& text) { return 0.6 * kFontSize * double(text.size()); }

struct Plot {
  ResponseAxes axes;
  double x, y, w, h;
  double X(double hz) const { return x + w * axes.XFraction(hz); }
  double Y(double db) const { return y + h * axes.YFraction(db); }
};

struct Point {
  double x, y;
};

// The part of the segment from a to b inside the plot (Liang-Barsky), as
// the fractions of the way from a where it enters and leaves; nothing
// when it misses the plot.
std::optional<std::pair<double, double>> InsidePart(const Plot& plot, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  double enter = 0, leave = 1;
  // Each edge as p·t <= q: left, right, top, bottom.
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - plot.x, plot.x + plot.w - a.x, a.y - plot.y, plot.y + plot.h - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return std::nullopt;  // parallel to the edge, outside it
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0)
      enter = std::max(enter, t);
    else
      leave = std::min(leave, t);
  }
  if (enter > leave) return std::nullopt;
  return std::make_pair(enter, leave);
}

// A curve cut to the plot: one polyline per stretch inside it, each cut
// where the curve crosses the plot's edge, so that every renderer draws
// it alike (no clip path to honour).
std::string ClippedCurve(const Plot& plot, const std::vector<double>& hz, const std::vector<double>& db,
                         const std::string& id, const std::string& style) {
  std::vector<std::vector<Point>> runs;
  bool open = false;
  for (size_t i = 1; i < hz.size() && i < db.size(); ++i) {
    const Point a{plot.X(hz[i - 1]), plot.Y(db[i - 1])}, b{plot.X(hz[i]), plot.Y(db[i])};
    const bool finite = std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(b.x) && std::isfinite(b.y);
    const auto part = finite ? InsidePart(plot, a, b) : std::nullopt;
    // A stretch starts only where the curve truly enters, not where it
    // merely grazes an edge.
    if (!part || (!open && part->second <= part->first)) {
      open = false;
      continue;
    }
    const auto at = [&](double t) { return Point{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}; };
    if (!open) runs.push_back({at(part->first)});
    runs.back().push_back(at(part->second));
    open = part->second >= 1;
  }
  std::string svg = "<g id=\"" + id + "\" fill=\"none\" " + style + ">\n";
  for (const std::vector<Point>& run : runs) {
    std::string points;
    for (const Point& point : run) {
      if (!points.empty()) points += ' ';
      points += Num(point.x) + "," + Num(point.y);
    }
    svg += "<polyline points=\"" + points + "\"/>\n";
  }
  return svg + "</g>\n";
}

std::string Line(double x1, double y1, double x2, double y2, const std::string& style) {
  return "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" +
         Num(y2) + "\" " + style + "/>\n";
}

std::string Text(double x, double y, const std::string& anchor, const std::string& text,
                 const std::string& extra = "") {
  return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" text-anchor=\"" + anchor + "\"" +
         (extra.empty() ? "" : " " + extra) + ">" + Xml(text) + "</text>\n";
}
}  // namespace

std::string ResponseText(const ResponseCurve& curve, const std::string& name) {
  std::string text = Header(curve, name) + "# frequency (Hz)\tlevel (dB)\n";
  for (size_t i = 0; i < curve.hz.size(); ++i)
    text += Fixed(curve.hz[i], 2) + "\t" + Fixed(curve.totalDb[i], 2) + "\n";
  return text;
}

std::string ResponseCsv(const ResponseCurve& curve) {
  std::string text = "frequency_hz,computed_db\n";
  for (size_t i = 0; i < curve.hz.size(); ++i)
    text += Fixed(curve.hz[i], 2) + "," + Fixed(curve.totalDb[i], 2) + "\n";
  return text;
}

std::string ResponseSvg(const ResponseModel& model, const ResponseCurve& curve,
                        const std::string& name, const SvgPicture& picture) {
  const double width = std::max(200, picture.width), height = std::max(120, picture.height);
  Plot plot{AxesFor(model, picture.sliderRange, curve), kLeft, kTop,
            width - kLeft - kRight, height - kTop - kBottom};
  const std::string title = std::string(kComputedNote) + (name.empty() ? "" : " of " + name);

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + Num(width) +
         "\" height=\"" + Num(height) + "\" viewBox=\"0 0 " + Num(width) + " " + Num(height) +
         "\" font-family=\"DejaVu Sans, Arial, sans-serif\" font-size=\"" + Num(kFontSize) + "\">\n";
  svg += "<title>" + Xml(title) + "</title>\n";
  svg += "<desc>" + Xml(ResponseSummary(curve)) + "</desc>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";

  // The grid: a line at each band's centre, the labels that fit below.
  svg += "<g id=\"grid\" stroke=\"#d4d4d4\" stroke-width=\"1\">\n";
  for (int b = 1; b <= kBandCount; ++b)
    svg += Line(plot.X(BandCentreHz(b)), plot.y, plot.X(BandCentreHz(b)), plot.y + plot.h, "");
  const double step = DbGridStep(plot.axes, plot.h, kFontSize / 2);
  for (double db : DbGridLevels(plot.axes, step))
    svg += Line(plot.x, plot.Y(db), plot.x + plot.w, plot.Y(db),
                db == 0 ? "stroke=\"#808080\"" : "");
  svg += "</g>\n";
  svg += "<rect id=\"plot\" x=\"" + Num(plot.x) + "\" y=\"" + Num(plot.y) + "\" width=\"" + Num(plot.w) +
         "\" height=\"" + Num(plot.h) + "\" fill=\"none\" stroke=\"#808080\"/>\n";
  svg += "<g id=\"labels\" fill=\"#000000\">\n";
  for (int b : LabelledBands(plot.axes, plot.w, TextWidth, kFontSize / 2))
    svg += Text(plot.X(BandCentreHz(b)), plot.y + plot.h + 1.2 * kFontSize, "middle",
                CompactBandLabel(b));
  svg += Text(plot.x - 4, plot.y + plot.h + 1.2 * kFontSize, "end", "Hz");
  // Level labels centred on their lines, the ends' kept inside the plot:
  // the ends, 0 and as many evenly spaced lines between as leave room.
  const auto labelMiddle = [&](double db) {
    return std::clamp(plot.Y(db), plot.y + kFontSize / 2, plot.y + plot.h - kFontSize / 2);
  };
  const auto labelTop = [&](double db) { return labelMiddle(db) - kFontSize / 2; };
  for (double db : LabelledDbLevels(plot.axes, labelTop, kFontSize, kFontSize / 4))
    svg += Text(plot.x - 4, labelMiddle(db) + kFontSize * 0.35, "end", DbGridLabel(db));
  // The title row: "dB" over the level labels, what the curve is of and its
  // state, and the computed note on the right.
  const double titleLine = 1.3 * kFontSize;
  svg += Text(plot.x - 4, titleLine, "end", "dB");
  std::string subject = name;
  if (curve.mute || curve.bypass)
    subject += std::string(subject.empty() ? "" : " \xe2\x80\x93 ") + (curve.mute ? "Muted" : "Bypassed");
  if (!subject.empty()) svg += Text(plot.x, titleLine, "start", subject, "font-weight=\"bold\"");
  svg += Text(plot.x + plot.w, titleLine, "end", kComputedNote, "fill=\"#606060\" font-style=\"italic\"");
  svg += "</g>\n";

  if (picture.bands && curve.bandDb.size() == size_t(kBandCount))
    for (int b = 0; b < kBandCount; ++b)
      svg += ClippedCurve(plot, curve.hz, curve.bandDb[b], "band-" + std::to_string(b + 1),
                      "stroke=\"#8fb0d8\" stroke-width=\"1\"");
  const bool held = curve.mute || curve.bypass;
  svg += ClippedCurve(plot, curve.hz, curve.totalDb, "total",
                  held ? "stroke=\"#a8a8c8\" stroke-width=\"1.5\""
                       : "stroke=\"#00247d\" stroke-width=\"2.5\" stroke-linejoin=\"round\"");
  if (curve.bypass && !curve.mute)
    svg += Line(plot.x, plot.Y(0), plot.x + plot.w, plot.Y(0),
                "id=\"bypassed\" stroke=\"#00247d\" stroke-width=\"2.5\"");
  if (curve.mute)
    svg += Text(plot.x + plot.w / 2, plot.y + plot.h / 2 + kFontSize, "middle", "Muted",
                "id=\"muted\" font-size=\"" + Num(3 * kFontSize) + "\" fill=\"#b03030\"");
  // The filters' corners, marked and named inside the bottom of the plot,
  // over the curve on a light backing.
  const auto corner = [&](const char* id, const char* label, double hz, bool right) {
    const double x = plot.X(hz);
    const std::string text = std::string(label) + " " + CornerText(hz);
    const double w = TextWidth(text), left = right ? x + 3 : x - 3 - w;
    return "<g id=\"" + std::string(id) + "\">\n" +
           Line(x, plot.y, x, plot.y + plot.h, "stroke=\"#b03030\" stroke-dasharray=\"4 3\"") +
           "<rect x=\"" + Num(left) + "\" y=\"" + Num(plot.y + plot.h - 2 - kFontSize * 1.2) +
           "\" width=\"" + Num(w) + "\" height=\"" + Num(kFontSize * 1.2) +
           "\" fill=\"#ffffff\" fill-opacity=\"0.65\"/>\n" +
           Text(left, plot.y + plot.h - 2 - kFontSize * 0.3, "start", text, "fill=\"#b03030\"") +
           "</g>\n";
  };
  if (curve.highPassHz) svg += corner("high-pass", "HP", *curve.highPassHz, true);
  if (curve.lowPassHz) svg += corner("low-pass", "LP", *curve.lowPassHz, false);
  svg += "</svg>\n";
  return svg;
}

void WriteResponseFile(const std::string& path, const std::string& contents) {
  try {
    WriteFileAtomically(path, contents);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("Cannot write response file \"" + path + "\": " + e.what());
  }
}
