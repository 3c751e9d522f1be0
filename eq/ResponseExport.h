#pragma once
// The computed response as the program and varlo-cli hand it out: text
// (a line per frequency, for the clipboard and the terminal), CSV and an
// SVG picture drawn like the frame's response panel. Each says that the
// levels are computed, not measured.
#include <string>

#include "eq/ResponseModel.h"

// "# " lines naming what was computed (`name`, when not empty) and the
// curve's summary, then one line per point: the frequency in Hz and the
// level in dB with two decimals, separated by a tab. Levels are those of
// the settings, also while the unit is muted or bypassed (the summary line
// says so).
std::string ResponseText(const ResponseCurve& curve, const std::string& name);

// A header row "frequency_hz,computed_db", then one row per point, as in
// ResponseText.
std::string ResponseCsv(const ResponseCurve& curve);

struct SvgPicture {
  int width = 960;
  int height = 360;
  // The slider range in steps: the level axis covers it (AxesFor).
  int sliderRange = kDefaultSliderRange;
  // Each band's own contribution drawn thin below the total.
  bool bands = false;
};

// A standalone SVG document of the picture, laid out as the frame's panel
// draws it: a title row with the name, the state and the computed note,
// the grid with the band labels, the level axis, the filters' corners, the
// total as a bold line (bypassed: a bold flat line at 0 dB over the curve
// held, drawn faintly; muted: the curve faint and "Muted" across it).
// The curves are cut where they cross the plot's edges (no clip path,
// which some renderers draw only in part).
// Texts are escaped for XML; bytes that are not UTF-8 become "?".
std::string ResponseSvg(const ResponseModel& model, const ResponseCurve& curve,
                        const std::string& name, const SvgPicture& picture = {});

// Replaces (or creates) the file at path with contents, atomically (the
// previous file stays when the write fails). Throws std::runtime_error
// "Cannot write response file "PATH": " and the cause.
void WriteResponseFile(const std::string& path, const std::string& contents);
